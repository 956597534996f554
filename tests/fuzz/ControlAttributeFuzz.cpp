// Skin attributes of any value on a small tree of every control kind, then
// layout, selection and clicks: nothing may crash, overflow or leak.
// Input: lines of "<control digit><name>=<value>"; the first two bytes set
// the host size.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "../common/TestHostUI.h"
#include "skinui/ButtonUI.h"
#include "skinui/ContainerUI.h"
#include "skinui/EditUI.h"
#include "skinui/LabelUI.h"
#include "skinui/ProgressUI.h"

using namespace SkinUI;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const int width = data[0] * 4;
    const int height = data[1] * 2;
    testhost::CTestHostUI host;
    auto* root = new CVerticalLayoutUI;
    auto* row = new CHorizontalLayoutUI;
    auto* tabs = new CTabLayoutUI;
    std::vector<CControlUI*> controls = {root, new CLabelUI, new CButtonUI, row, new COptionUI, new CCheckBoxUI,
                                         new CEditUI, tabs, new CTextUI, new CProgressUI};
    root->Add(controls[1]);
    root->Add(controls[2]);
    root->Add(row);
    row->Add(controls[4]);
    row->Add(controls[5]);
    row->Add(controls[6]);
    root->Add(tabs);
    tabs->Add(controls[8]);
    tabs->Add(new CContainerUI);
    root->Add(controls[9]);
    for (size_t i = 1; i < controls.size(); ++i)
        controls[i]->SetName(L"c" + std::to_wstring(i));
    controls[4]->SetAttribute(L"group", L"g");
    host.Attach(root);

    std::wstring line;
    for (size_t i = 2; i <= size; ++i) {
        if (i < size && data[i] != '\n') {
            line += static_cast<wchar_t>(data[i]);
            continue;
        }
        if (line.size() >= 1) {
            CControlUI* target = controls[static_cast<size_t>(line[0]) % controls.size()];
            std::wstring rest = line.substr(1);
            size_t eq = rest.find(L'=');
            if (eq == std::wstring::npos)
                target->ApplyAttributeText(rest);
            else
                target->SetAttribute(rest.substr(0, eq), rest.substr(eq + 1));
        }
        line.clear();
    }
    host.Layout(width, height);
    tabs->SelectPage(1);
    host.Relayout();
    for (CControlUI* control : controls) {
        if (control->IsVisible())
            host.Click(control);
        control->MeasureSize(MakeSize(width, height));
    }
    host.DeleteQueued();
    return 0;
}
