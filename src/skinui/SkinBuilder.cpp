// The skin builder: resource elements, window attributes, the element walk
// with Include, and the class table.
#include "skinui/SkinBuilder.h"

#include <vector>

#include "logging/Log.h"
#include "skinui/ButtonUI.h"
#include "skinui/ContainerUI.h"
#include "skinui/EditUI.h"
#include "skinui/LabelUI.h"
#include "skinui/ProgressUI.h"
#include "skinui/SkinSource.h"
#include "skinui/SkinValues.h"

#ifdef _WIN32
#include "config/ResourcePackage.h"
#endif

namespace SkinUI {

namespace {

bool IsTrue(const wchar_t* value) { return SameNoCase(value, L"true"); }

// A decimal attribute of a resource element; `fallback` when it is absent.
int ReadDecimal(const wchar_t* value, int fallback)
{
    return value == nullptr ? fallback : ParseInt(value);
}

// The attribute values of one resource element, by lower-case name; a
// later occurrence wins.
struct Attributes {
    std::vector<std::pair<std::wstring, std::wstring>> items;
    explicit Attributes(const CSkinMarkupNode& node)
    {
        int count = node.GetAttributeCount();
        for (int i = 0; i < count; ++i) {
            const wchar_t* value = node.GetAttributeValue(i);
            items.emplace_back(LowerCase(node.GetAttributeName(i)), value != nullptr ? value : L"");
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

bool IsResourceElement(const wchar_t* name)
{
    return SameNoCase(name, L"Font") || SameNoCase(name, L"Image") || SameNoCase(name, L"Default") ||
           SameNoCase(name, L"MultiLanguage");
}

} // namespace

// The state of one element walk: its host, the parent's container interface
// (asked once per walk) and whether the build has ended.
struct CSkinBuilder::Walk {
    IBuilderHostUI* manager = nullptr;
    IContainerUI* container = nullptr;
    bool containerAsked = false;
    bool aborted = false;
};

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
                                 IBuilderHostUI* manager, CControlUI* parent)
{
    if (xml.strText.empty() && xml.nResourceId != 0) {
#ifdef _WIN32
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
#else
        return nullptr;   // no executable resources here
#endif
    } else if (!xml.strText.empty() && xml.strText[0] == L'<') {
        if (!markup.Load(xml.strText.c_str()))
            return nullptr;
    } else {
        if (!markup.LoadFromFile(xml.strText, kMarkupEncoding_Utf8))
            return nullptr;
    }
    return Create(callback, manager, parent);
}

void CSkinBuilder::ReadResourceElements(CSkinMarkupNode root, IBuilderHostUI* manager)
{
    for (CSkinMarkupNode node = root.GetChild(); node.IsValid(); node = node.GetSibling()) {
        const wchar_t* name = node.GetName();
        if (!IsResourceElement(name))
            continue;
        Attributes a(node);
        if (SameNoCase(name, L"Font")) {
            const int id = ReadDecimal(a.Get(L"id"), -1);
            const wchar_t* face = a.Get(L"name");
            if (id >= 0 && face != nullptr)
                manager->AddSkinFont(id, face, ReadDecimal(a.Get(L"size"), 12), IsTrue(a.Get(L"bold")),
                                     IsTrue(a.Get(L"underline")), IsTrue(a.Get(L"italic")),
                                     IsTrue(a.Get(L"shared")), IsTrue(a.Get(L"default")));
        } else if (SameNoCase(name, L"Image")) {
            const wchar_t* image = a.Get(L"name");
            const wchar_t* restype = a.Get(L"restype");
            const wchar_t* mask = a.Get(L"mask");
            if (image != nullptr)
                manager->AddSkinImage(image, restype != nullptr ? restype : L"", mask != nullptr ? ParseColor(mask) : 0,
                                      IsTrue(a.Get(L"shared")));
        } else if (SameNoCase(name, L"Default")) {
            const wchar_t* element = a.Get(L"name");
            const wchar_t* value = a.Get(L"value");
            if (element != nullptr)
                manager->AddSkinClassDefaults(element, value != nullptr ? value : L"", IsTrue(a.Get(L"shared")));
        } else {
            const int id = ReadDecimal(a.Get(L"id"), -1);
            const wchar_t* value = a.Get(L"value");
            if (id >= 0 && value != nullptr)
                manager->AddSkinLangString(id, value);
        }
    }
}

CControlUI* CSkinBuilder::Create(IDialogBuilderCallback* callback, IBuilderHostUI* manager, CControlUI* parent)
{
    if (pState != nullptr)
        return Build(callback, manager, parent);
    // The outermost build: its Include elements share this state.
    BuildState state;
    pState = &state;
    CControlUI* first = Build(callback, manager, parent);
    pState = nullptr;
    strBuildError = state.strError;
    if (!strBuildError.empty())
        LOG_INFO_W(L"the layout could not be built: %ls", strBuildError.c_str());
    return first;
}

CControlUI* CSkinBuilder::Build(IDialogBuilderCallback* callback, IBuilderHostUI* manager, CControlUI* parent)
{
    pCallback = callback;
    CSkinMarkupNode root = markup.GetRoot();
    if (!root.IsValid())
        return nullptr;
    if (manager != nullptr) {
        ReadResourceElements(root, manager);
        if (SameNoCase(root.GetName(), L"Window") && manager->HasWindow()) {
            int count = root.GetAttributeCount();
            for (int i = 0; i < count; ++i)
                manager->ApplyWindowAttribute(root.GetAttributeName(i), root.GetAttributeValue(i));
        }
    }
    Walk walk;
    walk.manager = manager;
    CControlUI* first = BuildChildren(root, parent, walk);
    return walk.aborted ? nullptr : first;
}

void CSkinBuilder::Fail(Walk& walk, const std::wstring& error)
{
    if (pState != nullptr && pState->strError.empty())
        pState->strError = error;
    walk.aborted = true;
}

CControlUI* CSkinBuilder::BuildChildren(CSkinMarkupNode node, CControlUI* parent, Walk& walk)
{
    CControlUI* first = nullptr;
    for (CSkinMarkupNode child = node.GetChild(); child.IsValid() && !walk.aborted; child = child.GetSibling()) {
        const wchar_t* name = child.GetName();
        if (IsResourceElement(name) || SameNoCase(name, L"TreeNode"))
            continue;
        CControlUI* built = SameNoCase(name, L"Include") ? BuildInclude(child, parent, walk)
                                                         : BuildElement(child, parent, walk);
        if (built == nullptr || walk.aborted)
            continue;
        if (first == nullptr)
            first = built;
        else if (parent == nullptr)
            built->Delete();   // only the first top-level control reaches the caller
    }
    // An aborted build hands nothing back: a first top-level control that
    // has no parent to own it would be lost.
    if (walk.aborted && parent == nullptr && first != nullptr) {
        first->Delete();
        first = nullptr;
    }
    return first;
}

CControlUI* CSkinBuilder::BuildInclude(CSkinMarkupNode node, CControlUI* parent, Walk& walk)
{
    if (!node.HasAttributes() || node.GetAttributeValue(L"source") == nullptr)
        return nullptr;
    const std::wstring source = BoundedValue(node, L"source", 498);
    const int count =
        node.GetAttributeValue(L"count") == nullptr ? 1 : ParseInt(BoundedValue(node, L"count", 498));
    if (nDepth >= kMaxIncludeDepth) {
        Fail(walk, L"Include nested too deeply: " + source);
        return nullptr;
    }
    if (count > kMaxIncludeCount) {
        Fail(walk, L"Include count too large: " + source);
        return nullptr;
    }
    CSkinBuilder included;
    included.pState = pState;
    included.nDepth = nDepth + 1;
    CControlUI* first = nullptr;
    for (int i = 0; i < count; ++i) {
        CControlUI* built = nullptr;
        if (included.markup.IsValid())
            built = included.Create(pCallback, walk.manager, parent);
        else if (bFromResource)
            built = included.Create(Source(static_cast<UINT>(ParseInt(source))), strResourceType.c_str(), pCallback,
                                    walk.manager, parent);
        else
            built = included.Create(Source(source), nullptr, pCallback, walk.manager, parent);
        if (pState != nullptr && !pState->strError.empty()) {
            walk.aborted = true;
            if (parent == nullptr && built != nullptr)
                built->Delete();
            break;
        }
        if (first == nullptr)
            first = built;
        else if (parent == nullptr && built != nullptr)
            built->Delete();   // nobody could ever reach or free it
        if (!included.markup.IsValid())
            break;   // the file cannot be loaded; no further copies
    }
    return first;
}

CControlUI* CSkinBuilder::BuildElement(CSkinMarkupNode node, CControlUI* parent, Walk& walk)
{
    const std::wstring element = node.GetName() != nullptr ? node.GetName() : L"";
    CControlUI* control = CreateFromClassTable(element);
    if (control == nullptr && pCallback != nullptr)
        control = pCallback->CreateCustomControl(element);
    if (control == nullptr)
        return nullptr;   // unknown: skipped with its subtree
    if (pState != nullptr && ++pState->nControls > kMaxControls) {
        control->Delete();
        Fail(walk, L"Too many controls");
        return nullptr;
    }

    if (node.HasChildren()) {
        Walk inner;
        inner.manager = walk.manager;
        BuildChildren(node, control, inner);
        if (inner.aborted) {
            control->Delete();
            walk.aborted = true;
            return nullptr;
        }
    }

    if (parent != nullptr) {
        if (BoundedValue(node, L"cover", 254) == L"true") {
            parent->SetOverlay(control);
        } else {
            if (!walk.containerAsked) {
                walk.containerAsked = true;
                walk.container = dynamic_cast<IContainerUI*>(parent->QueryControlInterface(L"IContainer"));
            }
            if (walk.container == nullptr) {
                control->Delete();
                walk.aborted = true;
                return nullptr;
            }
            if (!walk.container->Add(control)) {
                control->Delete();
                return nullptr;
            }
        }
    }

    if (walk.manager != nullptr) {
        control->SetHost(walk.manager->BuildControlHost(), nullptr, false);
        std::wstring defaults = walk.manager->SkinClassDefaults(element);
        if (!defaults.empty())
            control->ApplyAttributeText(defaults);
    }
    int count = node.GetAttributeCount();
    for (int i = 0; i < count; ++i)
        control->SetAttribute(node.GetAttributeName(i), node.GetAttributeValue(i));
    if (walk.manager != nullptr)
        control->SetHost(nullptr, nullptr, false);
    return control;
}

} // namespace SkinUI
