// The skin builder over any document: the bytes are a UTF-8 layout, built
// into a control tree for a host without a window (resource elements, window
// attributes, default attribute lists, Include elements, custom controls),
// then laid out and clicked. Include names resolve to two small layouts
// (one of them includes itself) and never to files.
#include <cstddef>
#include <cstdint>
#include <string>

#include "../common/TestHostUI.h"
#include "skinui/ContainerUI.h"
#include "skinui/SkinBuilder.h"
#include "skinui/SkinValues.h"

using namespace SkinUI;

namespace {

class CFuzzCallback : public IDialogBuilderCallback {
public:
    CControlUI* CreateCustomControl(const std::wstring& name) override
    {
        return SameNoCase(name, L"Custom") ? new CHorizontalLayoutUI : nullptr;
    }
};

bool LoadIncluded(CSkinMarkup& markup, const std::wstring& name, int)
{
    if (SameNoCase(name, L"row.xml"))
        return markup.Load(L"<Window><Label name=\"row\" text=\"r\" height=\"20\"/><Button name=\"b\"/></Window>");
    if (SameNoCase(name, L"self.xml"))
        return markup.Load(L"<Window><Include source=\"self.xml\" count=\"2\"/></Window>");
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool hooked = [] {
        CSkinMarkup::SetFileSource(&LoadIncluded);
        return true;
    }();
    (void)hooked;
    testhost::CTestHostUI host;
    CFuzzCallback callback;
    CSkinBuilder builder;
    if (!builder.GetSkinMarkup().LoadFromMem(data, size, kMarkupEncoding_Utf8))
        return 0;
    CControlUI* root = builder.Create(&callback, &host, nullptr);
    if (root == nullptr)
        return 0;
    host.Attach(root);
    host.Layout(650, 360);
    host.Relayout();
    host.Click(root);
    host.DeleteQueued();
    return 0;
}
