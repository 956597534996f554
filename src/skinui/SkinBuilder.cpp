// The skin builder: resource elements, window attributes, the element walk
// with Include, and the class table.
#ifdef _WIN32
#include "skinui/SkinBuilder.h"

#include <cwctype>
#include <vector>

#include "config/ResourcePackage.h"
#include "logging/Log.h"
#include "skinui/ButtonUI.h"
#include "skinui/ContainerUI.h"
#include "skinui/EditUI.h"
#include "skinui/LabelUI.h"
#include "skinui/ProgressUI.h"
#include "skinui/SkinSource.h"
#include "skinui/WindowHostUI.h"

namespace SkinUI {

namespace {

bool SameNoCase(const wchar_t* a, const wchar_t* b)
{
    if (a == nullptr || b == nullptr)
        return false;
    for (; *a != 0 && *b != 0; ++a, ++b) {
        if (towlower(*a) != towlower(*b))
            return false;
    }
    return *a == *b;
}

bool IsTrue(const wchar_t* value) { return value != nullptr && SameNoCase(value, L"true"); }

// Decimal with an optional sign; malformed reads as far as it goes.
int ReadDecimal(const wchar_t* value, int fallback)
{
    if (value == nullptr)
        return fallback;
    wchar_t* end = nullptr;
    long n = wcstol(value, &end, 10);
    return end == value ? 0 : static_cast<int>(n);
}

DWORD ReadHex(const wchar_t* value)
{
    if (value == nullptr)
        return 0;
    while (*value == L' ' || *value == L'#')
        ++value;
    return static_cast<DWORD>(wcstoul(value, nullptr, 16));
}

// The attribute values of one resource element, by lower-case name; a
// later occurrence wins.
struct Attributes {
    std::vector<std::pair<std::wstring, std::wstring>> items;
    explicit Attributes(const CSkinMarkupNode& node)
    {
        int count = node.GetAttributeCount();
        for (int i = 0; i < count; ++i) {
            std::wstring name = node.GetAttributeName(i);
            for (wchar_t& c : name)
                c = static_cast<wchar_t>(towlower(c));
            const wchar_t* value = node.GetAttributeValue(i);
            items.emplace_back(name, value != nullptr ? value : L"");
        }
    }
    const wchar_t* Get(const wchar_t* name) const
    {
        const wchar_t* found = nullptr;
        for (const auto& item : items) {
            if (item.first == name)
                found = item.second.c_str();
        }
        return found;
    }
};

// An attribute value limited to the given number of characters.
std::wstring BoundedValue(const CSkinMarkupNode& node, const wchar_t* name, size_t limit)
{
    const wchar_t* value = node.GetAttributeValue(name);
    if (value == nullptr)
        return std::wstring();
    std::wstring text(value);
    if (text.size() > limit)
        text.resize(limit);
    return text;
}

} // namespace

CControlUI* CSkinBuilder::CreateFromClassTable(const std::wstring& name)
{
    // GifAnim is matched exactly; it is not provided, so it is unknown.
    if (name == L"GifAnim")
        return nullptr;
    const wchar_t* n = name.c_str();
    if (SameNoCase(n, L"Control"))
        return new CControlUI;
    if (SameNoCase(n, L"Container"))
        return new CContainerUI;
    if (SameNoCase(n, L"Label"))
        return new CLabelUI;
    if (SameNoCase(n, L"Text"))
        return new CTextUI;
    if (SameNoCase(n, L"Button"))
        return new CButtonUI;
    if (SameNoCase(n, L"Option"))
        return new COptionUI;
    if (SameNoCase(n, L"CheckBox"))
        return new CCheckBoxUI;
    if (SameNoCase(n, L"Edit"))
        return new CEditUI;
    if (SameNoCase(n, L"Progress"))
        return new CProgressUI;
    if (SameNoCase(n, L"VerticalLayout") || SameNoCase(n, L"VBox"))
        return new CVerticalLayoutUI;
    if (SameNoCase(n, L"HorizontalLayout") || SameNoCase(n, L"HBox"))
        return new CHorizontalLayoutUI;
    if (SameNoCase(n, L"TabLayout"))
        return new CTabLayoutUI;
    return nullptr;
}

CControlUI* CSkinBuilder::Create(const Source& xml, const wchar_t* type, IDialogBuilderCallback* callback,
                                 CWindowHostUI* manager, CControlUI* parent)
{
    if (xml.strText.empty() && xml.nResourceId != 0) {
        HINSTANCE module = CSkinSource::GetResourceModule();
        const wchar_t* resType = type != nullptr ? type : L"xml";
        std::string bytes;
        if (!LoadResourceBytes(module, MAKEINTRESOURCEW(xml.nResourceId), resType, bytes)) {
            LOG_INFO("FindResourceW(%u) failed with error %lu", xml.nResourceId,
                     static_cast<unsigned long>(GetLastError()));
            return nullptr;
        }
        if (bytes.empty() || !markup.LoadFromMem(bytes.data(), bytes.size(), kMarkupEncoding_Utf8))
            return nullptr;
        strResourceType = resType;
        bFromResource = true;
    } else if (!xml.strText.empty() && xml.strText[0] == L'<') {
        if (!markup.Load(xml.strText.c_str()))
            return nullptr;
    } else {
        if (!markup.LoadFromFile(xml.strText, kMarkupEncoding_Utf8))
            return nullptr;
    }
    return Create(callback, manager, parent);
}

void CSkinBuilder::ReadResourceElements(CSkinMarkupNode root, CWindowHostUI* manager)
{
    for (CSkinMarkupNode node = root.GetChild(); node.IsValid(); node = node.GetSibling()) {
        const wchar_t* name = node.GetName();
        if (SameNoCase(name, L"Font")) {
            Attributes a(node);
            int id = ReadDecimal(a.Get(L"id"), -1);
            const wchar_t* face = a.Get(L"name");
            int size = ReadDecimal(a.Get(L"size"), 12);
            bool bold = IsTrue(a.Get(L"bold")), underline = IsTrue(a.Get(L"underline"));
            bool italic = IsTrue(a.Get(L"italic")), shared = IsTrue(a.Get(L"shared"));
            if (id >= 0 && face != nullptr) {
                manager->AddFontEntry(id, face, size, bold, underline, italic, shared);
                if (IsTrue(a.Get(L"default")))
                    manager->SetBaseFont(face, size, bold, underline, italic, shared);
            }
        } else if (SameNoCase(name, L"Image")) {
            Attributes a(node);
            const wchar_t* image = a.Get(L"name");
            if (image != nullptr) {
                const wchar_t* restype = a.Get(L"restype");
                manager->AddImageEntry(image, restype != nullptr ? restype : L"", ReadHex(a.Get(L"mask")),
                                       IsTrue(a.Get(L"shared")), false);
            }
        } else if (SameNoCase(name, L"Default")) {
            Attributes a(node);
            const wchar_t* element = a.Get(L"name");
            const wchar_t* value = a.Get(L"value");
            if (element != nullptr)
                manager->SetClassDefaults(element, value != nullptr ? value : L"", IsTrue(a.Get(L"shared")));
        } else if (SameNoCase(name, L"MultiLanguage")) {
            Attributes a(node);
            int id = ReadDecimal(a.Get(L"id"), -1);
            const wchar_t* value = a.Get(L"value");
            if (id >= 0 && value != nullptr)
                CSkinResources::AddLangString(id, value);
        }
    }
}

CControlUI* CSkinBuilder::Create(IDialogBuilderCallback* callback, CWindowHostUI* manager, CControlUI* parent)
{
    pCallback = callback;
    CSkinMarkupNode root = markup.GetRoot();
    if (!root.IsValid())
        return nullptr;
    if (manager != nullptr) {
        ReadResourceElements(root, manager);
        if (SameNoCase(root.GetName(), L"Window") && manager->HostWindow() != nullptr) {
            int count = root.GetAttributeCount();
            for (int i = 0; i < count; ++i)
                manager->ApplyWindowAttribute(root.GetAttributeName(i), root.GetAttributeValue(i));
        }
    }
    bool aborted = false;
    CControlUI* first = BuildChildren(root, parent, manager, aborted);
    return aborted ? nullptr : first;
}

CControlUI* CSkinBuilder::BuildChildren(CSkinMarkupNode node, CControlUI* parent, CWindowHostUI* manager,
                                        bool& aborted)
{
    IContainerUI* container = nullptr;
    bool containerAsked = false;
    CControlUI* first = nullptr;
    for (CSkinMarkupNode child = node.GetChild(); child.IsValid(); child = child.GetSibling()) {
        const wchar_t* name = child.GetName();
        if (SameNoCase(name, L"Font") || SameNoCase(name, L"Image") || SameNoCase(name, L"Default") ||
            SameNoCase(name, L"MultiLanguage"))
            continue;
        if (SameNoCase(name, L"Include")) {
            if (!child.HasAttributes())
                continue;
            int count = ReadDecimal(BoundedValue(child, L"count", 498).c_str(), 1);
            if (child.GetAttributeValue(L"count") == nullptr)
                count = 1;
            std::wstring source = BoundedValue(child, L"source", 498);
            if (child.GetAttributeValue(L"source") == nullptr)
                continue;
            CSkinBuilder included;
            for (int i = 0; i < count; ++i) {
                CControlUI* built = nullptr;
                if (included.markup.IsValid())
                    built = included.Create(pCallback, manager, parent);
                else if (bFromResource)
                    built = included.Create(Source(static_cast<UINT>(ReadDecimal(source.c_str(), 0))),
                                            strResourceType.c_str(), pCallback, manager, parent);
                else
                    built = included.Create(Source(source), nullptr, pCallback, manager, parent);
                if (first == nullptr)
                    first = built;
                else if (parent == nullptr && built != nullptr)
                    built->Delete();   // nobody could ever reach or free it
                if (!included.markup.IsValid())
                    break;   // the file cannot be loaded; no further copies
            }
            continue;
        }
        if (SameNoCase(name, L"TreeNode"))
            continue;

        const std::wstring element = name != nullptr ? name : L"";
        CControlUI* control = CreateFromClassTable(element);
        if (control == nullptr && pCallback != nullptr)
            control = pCallback->CreateCustomControl(element);
        if (control == nullptr)
            continue;   // unknown: skipped with its subtree

        if (child.HasChildren()) {
            BuildChildren(child, control, manager, aborted);
            if (aborted) {
                control->Delete();
                return nullptr;
            }
        }

        if (parent != nullptr) {
            if (BoundedValue(child, L"cover", 254) == L"true") {
                parent->SetOverlay(control);
            } else {
                if (!containerAsked) {
                    containerAsked = true;
                    container = dynamic_cast<IContainerUI*>(parent->QueryControlInterface(L"IContainer"));
                }
                if (container == nullptr) {
                    control->Delete();
                    aborted = true;
                    return nullptr;
                }
                if (!container->Add(control)) {
                    control->Delete();
                    continue;
                }
            }
        }

        if (manager != nullptr) {
            control->SetHost(manager, nullptr, false);
            std::wstring defaults = manager->GetClassDefaults(element);
            if (!defaults.empty())
                control->ApplyAttributeText(defaults);
        }
        int count = child.GetAttributeCount();
        for (int i = 0; i < count; ++i)
            control->SetAttribute(child.GetAttributeName(i), child.GetAttributeValue(i));
        if (manager != nullptr)
            control->SetHost(nullptr, nullptr, false);

        if (first == nullptr)
            first = control;
        else if (parent == nullptr)
            control->Delete();   // only the first top-level control reaches the caller
    }
    return first;
}

} // namespace SkinUI

#endif // _WIN32
