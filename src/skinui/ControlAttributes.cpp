// CControlUI's attributes: the table of the attributes every control takes
// (names, setters, which ones are lengths that follow the display scale),
// the custom attributes a control keeps for its owner, and the attribute
// text of the markup ("name=\"value\" name=\"value\"").
#include "skinui/ControlUI.h"

#include <algorithm>
#include <cwctype>

namespace SkinUI {

std::wstring CControlUI::CustomAttribute(const std::wstring& name) const
{
    auto it = mapCustomAttributes.find(name);
    return it == mapCustomAttributes.end() ? std::wstring() : it->second;
}

void CControlUI::CustomAttribute(const std::wstring& name, const std::wstring& value)
{
    mapCustomAttributes[name] = value;
}

namespace {

typedef void (*BaseSetter)(CControlUI& c, const std::wstring& v);

struct BaseAttribute {
    const wchar_t* name;
    BaseSetter apply;
    bool length;
};

void ApplyFloat(CControlUI& c, const std::wstring& v)
{
    if (v.find(L',') == std::wstring::npos) {
        c.SetFloat(ParseBool(v));
        return;
    }
    double fractions[4];
    ParseFractionList(v, fractions, 4);
    c.SetFloatAnchor(fractions);
    c.SetFloat(true);
}

void ApplyPos(CControlUI& c, const std::wstring& v)
{
    RECT rc = ParseLengthRect(v, c.GetDpi());
    c.SetFloatOffset(MakeSize(static_cast<int>(rc.left), static_cast<int>(rc.top)));
    c.SetFixedWidth(RectWidth(rc));
    c.SetFixedHeight(RectHeight(rc));
}

void ApplyBorderSize(CControlUI& c, const std::wstring& v)
{
    if (v.find(L',') == std::wstring::npos)
        c.SetBorderSize(ParseLength(v, c.GetDpi()));
    else
        c.SetBorderSize(ParseLengthRect(v, c.GetDpi()));
}

// Every attribute every control understands; names compare exactly.
const BaseAttribute kBaseAttributes[] = {
    {L"pos", ApplyPos, true},
    {L"padding", [](CControlUI& c, const std::wstring& v) { c.SetPadding(ParseLengthRect(v, c.GetDpi())); }, true},
    {L"bkcolor", [](CControlUI& c, const std::wstring& v) { c.SetBkColor(ParseColor(v)); }, false},
    {L"bkcolor1", [](CControlUI& c, const std::wstring& v) { c.SetBkColor(ParseColor(v)); }, false},
    {L"bkcolor2", [](CControlUI& c, const std::wstring& v) { c.SetBkColor2(ParseColor(v)); }, false},
    {L"bkcolor3", [](CControlUI& c, const std::wstring& v) { c.SetBkColor3(ParseColor(v)); }, false},
    {L"bordercolor", [](CControlUI& c, const std::wstring& v) { c.SetBorderColor(ParseColor(v)); }, false},
    {L"focusbordercolor", [](CControlUI& c, const std::wstring& v) { c.SetFocusBorderColor(ParseColor(v)); }, false},
    {L"colorhsl", [](CControlUI& c, const std::wstring& v) { c.SetColorHSL(ParseBool(v)); }, false},
    {L"bordersize", ApplyBorderSize, true},
    {L"borderstyle", [](CControlUI& c, const std::wstring& v) { c.SetBorderStyle(ParseInt(v)); }, false},
    {L"borderround", [](CControlUI& c, const std::wstring& v) { c.SetBorderRound(ParseLengthSize(v, c.GetDpi())); }, true},
    {L"bkimage", [](CControlUI& c, const std::wstring& v) { c.SetBkImage(v); }, false},
    {L"width", [](CControlUI& c, const std::wstring& v) { c.SetFixedWidth(ParseLength(v, c.GetDpi())); }, true},
    {L"height", [](CControlUI& c, const std::wstring& v) { c.SetFixedHeight(ParseLength(v, c.GetDpi())); }, true},
    {L"minwidth", [](CControlUI& c, const std::wstring& v) { c.SetMinWidth(ParseLength(v, c.GetDpi())); }, true},
    {L"minheight", [](CControlUI& c, const std::wstring& v) { c.SetMinHeight(ParseLength(v, c.GetDpi())); }, true},
    {L"maxwidth", [](CControlUI& c, const std::wstring& v) { c.SetMaxWidth(ParseLength(v, c.GetDpi())); }, true},
    {L"maxheight", [](CControlUI& c, const std::wstring& v) { c.SetMaxHeight(ParseLength(v, c.GetDpi())); }, true},
    {L"name", [](CControlUI& c, const std::wstring& v) { c.SetName(v); }, false},
    {L"text", [](CControlUI& c, const std::wstring& v) { c.SetText(v); }, false},
    {L"tooltip", [](CControlUI& c, const std::wstring& v) { c.SetToolTip(v); }, false},
    {L"userdata", [](CControlUI& c, const std::wstring& v) { c.SetUserData(v); }, false},
    {L"tag", [](CControlUI& c, const std::wstring& v) { c.SetTag(static_cast<uintptr_t>(ParseInt(v))); }, false},
    {L"enabled", [](CControlUI& c, const std::wstring& v) { c.SetEnabled(ParseBool(v)); }, false},
    {L"mouse", [](CControlUI& c, const std::wstring& v) { c.SetMouseEnabled(ParseBool(v)); }, false},
    {L"keyboard", [](CControlUI& c, const std::wstring& v) { c.SetKeyboardEnabled(ParseBool(v)); }, false},
    {L"visible", [](CControlUI& c, const std::wstring& v) { c.SetVisible(ParseBool(v)); }, false},
    {L"float", ApplyFloat, false},
    {L"shortcut", [](CControlUI& c, const std::wstring& v) { c.SetShortcut(v.empty() ? 0 : v[0]); }, false},
    {L"menu", [](CControlUI& c, const std::wstring& v) { c.SetWantsContextMenu(ParseBool(v)); }, false},
    {L"virtualwnd", [](CControlUI& c, const std::wstring& v) { c.SetVirtualWnd(v); }, false},
};

} // namespace

bool CControlUI::ApplyBaseAttribute(const std::wstring& name, const std::wstring& value)
{
    for (const BaseAttribute& attribute : kBaseAttributes) {
        if (name == attribute.name) {
            attribute.apply(*this, value);
            if (attribute.length)
                RememberLengthAttribute(name, value);
            return true;
        }
    }
    return false;
}

void CControlUI::RememberLengthAttribute(const std::wstring& name, const std::wstring& value)
{
    for (auto it = vecLengthAttributes.begin(); it != vecLengthAttributes.end(); ++it) {
        if (it->first == name) {
            vecLengthAttributes.erase(it);
            break;
        }
    }
    vecLengthAttributes.emplace_back(name, value);
}

void CControlUI::ApplyDpi()
{
    // A copy: applying an attribute remembers it again.
    const std::vector<std::pair<std::wstring, std::wstring>> lengths = vecLengthAttributes;
    for (const auto& attribute : lengths)
        SetAttribute(attribute.first, attribute.second);
    OnDpiChanged();
    NeedUpdate();
    if (pCover != nullptr)
        pCover->ApplyDpi();
}

void CControlUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    if (!ApplyBaseAttribute(name, value))
        CustomAttribute(name, value);
}

void CControlUI::ApplyAttributeText(const std::wstring& list)
{
    // name="value" items separated by exactly one space; a malformed item
    // ends the walk.
    size_t pos = 0;
    while (pos < list.size()) {
        size_t eq = list.find(L'=', pos);
        if (eq == std::wstring::npos || eq + 1 >= list.size() || list[eq + 1] != L'"')
            return;
        size_t close = list.find(L'"', eq + 2);
        if (close == std::wstring::npos)
            return;
        SetAttribute(list.substr(pos, eq - pos), list.substr(eq + 2, close - eq - 2));
        pos = close + 1;
        if (pos >= list.size())
            return;
        if (list[pos] != L' ')
            return;
        ++pos;
    }
}

} // namespace SkinUI
