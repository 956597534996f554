// The accessible description of controls: listing, roles, names, values,
// states and default actions.
#include "skinui/AccessibleTree.h"

#include "skinui/ButtonUI.h"
#include "skinui/EditUI.h"
#include "skinui/LabelUI.h"
#include "skinui/MarkupText.h"
#include "skinui/ProgressUI.h"

#include "logging/TextFormat.h"

namespace SkinUI {

namespace {

struct RoleName {
    const wchar_t* name;
    AccessRole role;
};

const RoleName kRoleNames[] = {
    {L"button", AccessRole::PushButton}, {L"checkbox", AccessRole::CheckBox}, {L"radio", AccessRole::RadioButton},
    {L"link", AccessRole::Link},         {L"text", AccessRole::Text},         {L"progress", AccessRole::ProgressBar},
    {L"static", AccessRole::StaticText}, {L"graphic", AccessRole::Graphic},   {L"none", AccessRole::None},
};

// A label's text as a reader hears it: without the markup tags.
std::wstring ReadableText(CControlUI* control)
{
    auto* label = dynamic_cast<CLabelUI*>(control);
    if (label != nullptr && label->IsShowHtml())
        return MarkupPlainText(control->GetText());
    return control->GetText();
}

CControlUI* FindByName(CControlUI* root, const std::wstring& name)
{
    if (root == nullptr || name.empty())
        return nullptr;
    return root->LookupControl(
        [](CControlUI* c, void* data) -> CControlUI* {
            return c->GetName() == *static_cast<const std::wstring*>(data) ? c : nullptr;
        },
        const_cast<std::wstring*>(&name), kFind_MeFirst);
}

std::wstring ProgressText(CProgressUI* progress, bool reversed)
{
    const long long range = static_cast<long long>(progress->GetMaxValue()) - progress->GetMinValue();
    if (range <= 0)
        return L"0 %";
    long long value = static_cast<long long>(progress->GetValue()) - progress->GetMinValue();
    value = value < 0 ? 0 : value > range ? range : value;
    if (reversed)
        value = range - value;
    return IntToWide(value * 100 / range) + L" %";
}

} // namespace

AccessRole AccessibleRoleOf(CControlUI* control)
{
    if (control == nullptr)
        return AccessRole::None;
    const std::wstring role = control->CustomAttribute(L"accrole");
    if (!role.empty()) {
        for (const RoleName& entry : kRoleNames) {
            if (role == entry.name)
                return entry.role;
        }
    }
    const std::wstring cls = control->GetClass();
    if (cls == L"Button")
        return AccessRole::PushButton;
    if (cls == L"CheckBox")
        return AccessRole::CheckBox;
    if (auto* option = dynamic_cast<COptionUI*>(control))
        return option->GetGroup().empty() ? AccessRole::CheckBox : AccessRole::RadioButton;
    if (cls == L"Edit")
        return AccessRole::Text;
    if (cls == L"Progress")
        return AccessRole::ProgressBar;
    if (cls == L"Label" || cls == L"Text")
        return AccessRole::StaticText;
    // Any other control is a picture to a reader, worth listing only when
    // the skin says what it shows.
    return control->CustomAttribute(L"accname").empty() ? AccessRole::None : AccessRole::Graphic;
}

std::vector<CControlUI*> AccessibleControls(CControlUI* root)
{
    std::vector<CControlUI*> list;
    if (root == nullptr)
        return list;
    root->LookupControl(
        [](CControlUI* c, void* data) -> CControlUI* {
            if (AccessibleRoleOf(c) != AccessRole::None)
                static_cast<std::vector<CControlUI*>*>(data)->push_back(c);
            return nullptr;
        },
        &list, kFind_MeFirst);
    return list;
}

long AccessibleChildId(CControlUI* root, CControlUI* control)
{
    if (control == nullptr || AccessibleRoleOf(control) == AccessRole::None)
        return 0;
    const std::vector<CControlUI*> list = AccessibleControls(root);
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i] == control)
            return static_cast<long>(i + 1);
    }
    return 0;
}

bool IsTabStop(CControlUI* control)
{
    return control != nullptr && (control->ControlFlags() & 1u) != 0 && control->IsVisible() &&
           control->IsEnabled() && control->IsKeyboardEnabled() && control->CustomAttribute(L"tabstop") != L"false";
}

AccessibleInfo DescribeAccessible(CControlUI* control, CControlUI* root)
{
    AccessibleInfo info;
    info.eRole = AccessibleRoleOf(control);
    if (info.eRole == AccessRole::None)
        return info;
    info.strName = control->CustomAttribute(L"accname");
    if (info.strName.empty()) {
        CControlUI* label = FindByName(root, control->CustomAttribute(L"acclabel"));
        if (label != nullptr)
            info.strName = ReadableText(label);
        else if (info.eRole != AccessRole::Text)   // an edit box's text is its value
            info.strName = ReadableText(control);
    }
    auto* option = dynamic_cast<COptionUI*>(control);
    const bool checked = option != nullptr && option->IsSelected();
    auto* edit = dynamic_cast<CEditUI*>(control);
    if (edit != nullptr && edit->IsPassword()) {
        // A reader hears how many characters there are, as the field shows.
        info.strValue.assign(edit->GetText().size(), edit->GetPasswordChar());
        info.uStates |= kAccState_Protected;
    } else if (info.eRole == AccessRole::Text) {
        info.strValue = control->GetText();
    } else if (auto* progress = dynamic_cast<CProgressUI*>(control)) {
        info.strValue = ProgressText(progress, control->CustomAttribute(L"accreversed") == L"true");
    }
    switch (info.eRole) {
    case AccessRole::PushButton:
        info.strDefaultAction = L"Press";
        break;
    case AccessRole::CheckBox:
        info.strDefaultAction = checked ? L"Uncheck" : L"Check";
        break;
    case AccessRole::RadioButton:
        info.strDefaultAction = L"Check";
        break;
    case AccessRole::Link:
        info.strDefaultAction = L"Jump";
        info.uStates |= kAccState_Linked;
        break;
    default:
        break;
    }
    // A text with nothing to say is not shown to a reader either.
    const bool empty = info.eRole == AccessRole::StaticText && info.strName.empty();
    if (!control->IsVisible() || empty)
        info.uStates |= kAccState_Invisible;
    if (!control->IsEnabled())
        info.uStates |= kAccState_Unavailable;
    if (control->IsFocused())
        info.uStates |= kAccState_Focused;
    if (IsTabStop(control))
        info.uStates |= kAccState_Focusable;
    if (checked)
        info.uStates |= kAccState_Checked;
    if (edit != nullptr && edit->IsReadOnly())
        info.uStates |= kAccState_ReadOnly;
    return info;
}

} // namespace SkinUI
