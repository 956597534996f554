// Labels and texts: attributes, size estimate, text drawing and links.
#include "skinui/LabelUI.h"

#include <algorithm>
#include <cwchar>

namespace SkinUI {

CLabelUI::CLabelUI() = default;

std::wstring CLabelUI::GetClass() const { return L"Label"; }

CControlUI* CLabelUI::QueryControlInterface(const std::wstring& name)
{
    return name == L"Label" ? this : CControlUI::QueryControlInterface(name);
}

void CLabelUI::TextSettingsChanged()
{
    bEstimateValid = false;
    // Without a fixed size the estimate depends on the text: the stack the
    // label sits in must place it anew.
    if (cxyFixed.cx == 0 || cxyFixed.cy == 0)
        NeedParentUpdate();
    Invalidate();
}

void CLabelUI::SetText(const std::wstring& text)
{
    if (strText == text)
        return;
    CControlUI::SetText(text);
    TextSettingsChanged();
}

void CLabelUI::SetFont(int id)
{
    nFontId = id;
    TextSettingsChanged();
}

void CLabelUI::SetTextColor(DWORD color)
{
    dwTextColor = color;
    Invalidate();
}

void CLabelUI::SetDisabledTextColor(DWORD color)
{
    dwDisabledTextColor = color;
    Invalidate();
}

void CLabelUI::SetTextStyle(UINT style)
{
    uTextStyle = style;
    TextSettingsChanged();
}

void CLabelUI::SetTextPadding(RECT padding)
{
    rcTextPadding = padding;
    TextSettingsChanged();
}

void CLabelUI::SetShowHtml(bool show)
{
    if (bShowHtml == show)
        return;
    bShowHtml = show;
    TextSettingsChanged();
}

void CLabelUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    if (name == L"align") {
        // Substrings of the value; later words win.
        UINT style = uTextStyle;
        if (value.find(L"left") != std::wstring::npos)
            style &= ~(DT_CENTER | DT_RIGHT);
        if (value.find(L"center") != std::wstring::npos) {
            style &= ~(DT_LEFT | DT_RIGHT);
            style |= DT_CENTER;
        }
        if (value.find(L"right") != std::wstring::npos) {
            style &= ~(DT_LEFT | DT_CENTER);
            style |= DT_RIGHT;
        }
        SetTextStyle(style);
    } else if (name == L"valign") {
        UINT style = uTextStyle;
        if (value.find(L"top") != std::wstring::npos)
            style &= ~(DT_BOTTOM | DT_VCENTER);
        if (value.find(L"vcenter") != std::wstring::npos) {
            style &= ~(DT_TOP | DT_BOTTOM);
            style |= DT_VCENTER;
        }
        if (value.find(L"bottom") != std::wstring::npos) {
            style &= ~(DT_TOP | DT_VCENTER);
            style |= DT_BOTTOM;
        }
        SetTextStyle(style);
    } else if (name == L"endellipsis") {
        SetTextStyle(ParseBool(value) ? (uTextStyle | DT_END_ELLIPSIS) : (uTextStyle & ~DT_END_ELLIPSIS));
    } else if (name == L"multiline") {
        if (ParseBool(value))
            SetTextStyle((uTextStyle & ~DT_SINGLELINE) | DT_WORDBREAK);
        else
            SetTextStyle(uTextStyle | DT_SINGLELINE);
    } else if (name == L"font") {
        SetFont(ParseInt(value));
    } else if (name == L"textcolor") {
        SetTextColor(ParseColor(value));
    } else if (name == L"disabledtextcolor") {
        SetDisabledTextColor(ParseColor(value));
    } else if (name == L"textpadding") {
        SetTextPadding(ParseRect(value));
    } else if (name == L"showhtml") {
        SetShowHtml(ParseBool(value));
    } else if (name == L"enabledeffect") {
        bEnableEffect = ParseBool(value);
    } else if (name == L"enabledluminous") {
        bEnableLuminous = ParseBool(value);
    } else if (name == L"luminousfuzzy") {
        fLuminousFuzzy = static_cast<float>(std::wcstod(value.c_str(), nullptr));
    } else if (name == L"gradientangle") {
        nGradientAngle = ParseInt(value);
    } else if (name == L"enabledstroke") {
        bEnableStroke = ParseBool(value);
    } else if (name == L"enabledshadow") {
        bEnableShadow = ParseBool(value);
    } else if (name == L"gradientlength") {
        nGradientLength = ParseInt(value);
    } else if (name == L"shadowoffset") {
        szShadowOffset = ParseSize(value);
    } else if (name == L"textcolor1") {
        dwTextColor1 = ParseColor(value);
    } else if (name == L"textshadowcolora") {
        dwTextShadowColorA = ParseColor(value);
    } else if (name == L"textshadowcolorb") {
        dwTextShadowColorB = ParseColor(value);
    } else if (name == L"strokecolor") {
        dwStrokeColor = ParseColor(value);
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

SIZE CLabelUI::MeasureSize(SIZE available)
{
    if (cxyFixed.cx > 0 && cxyFixed.cy > 0)
        return cxyFixed;
    const bool singleLine = (uTextStyle & DT_SINGLELINE) != 0;
    if (bEstimateValid && (singleLine || (szEstimateFor.cx == available.cx && szEstimateFor.cy == available.cy)))
        return szEstimate;
    if (pHost == nullptr)
        return cxyFixed;   // nothing to measure with yet; not cached
    const int padX = static_cast<int>(rcTextPadding.left + rcTextPadding.right);
    const int padY = static_cast<int>(rcTextPadding.top + rcTextPadding.bottom);
    SIZE size;
    if (singleLine) {
        size.cy = cxyFixed.cy != 0 ? cxyFixed.cy : padY + pHost->FontHeight(nFontId) + 8;
        if (cxyFixed.cx != 0) {
            size.cx = cxyFixed.cx;
        } else if (strText.empty()) {
            size.cx = 0;   // an empty label stretches
        } else {
            UINT style = uTextStyle & ~(DT_CENTER | DT_RIGHT);
            size.cx = pHost->MeasureText(strText, nFontId, style, 9999, bShowHtml).cx + padX;
        }
    } else {
        size.cx = cxyFixed.cx != 0 ? cxyFixed.cx : available.cx;
        const int wrap = std::max(0, static_cast<int>(size.cx) - padX);
        size.cy = strText.empty() ? 0 : pHost->MeasureText(strText, nFontId, uTextStyle, wrap, bShowHtml).cy + padY;
        if (cxyFixed.cy != 0)
            size.cy = cxyFixed.cy;
    }
    szEstimate = size;
    szEstimateFor = available;
    bEstimateValid = true;
    return size;
}

RECT CLabelUI::TextRect() const
{
    return MakeRect(static_cast<int>(rcItem.left + rcTextPadding.left), static_cast<int>(rcItem.top + rcTextPadding.top),
                    static_cast<int>(rcItem.right - rcTextPadding.right),
                    static_cast<int>(rcItem.bottom - rcTextPadding.bottom));
}

void CLabelUI::ResolveDefaultColors()
{
    if (pHost == nullptr)
        return;
    if (dwTextColor == 0)
        dwTextColor = pHost->DefaultTextColor();
    if (dwDisabledTextColor == 0)
        dwDisabledTextColor = pHost->DefaultDisabledColor();
}

std::wstring CTextUI::GetClass() const { return L"Text"; }

CControlUI* CTextUI::QueryControlInterface(const std::wstring& name)
{
    return name == L"Text" ? this : CLabelUI::QueryControlInterface(name);
}

std::wstring CTextUI::GetLinkText(int index) const
{
    return index >= 0 && index < nLinks ? strLinks[index] : std::wstring();
}

RECT CTextUI::GetLinkRect(int index) const
{
    return index >= 0 && index < nLinks ? rcLinks[index] : MakeRect(0, 0, 0, 0);
}

int CTextUI::LinkAt(POINT pt) const
{
    for (int i = 0; i < nLinks; ++i) {
        if (RectContains(rcLinks[i], pt))
            return i;
    }
    return -1;
}

void CTextUI::HandleEvent(ControlEvent& event)
{
    switch (event.Type) {
    case kEvent_SetCursor:
        if (LinkAt(event.ptMouse) >= 0) {
            if (pHost != nullptr)
                pHost->SetCursorShape(kCursor_Hand);
            return;
        }
        break;
    case kEvent_ButtonDown:
    case kEvent_DblClick:
        if (IsEnabled() && LinkAt(event.ptMouse) >= 0) {
            Invalidate();
            return;
        }
        break;
    case kEvent_ButtonUp:
        if (IsEnabled()) {
            int link = LinkAt(event.ptMouse);
            if (link >= 0) {
                if (pHost != nullptr)
                    pHost->EmitNotify(this, L"link", static_cast<WPARAM>(link), 0);
                return;
            }
        }
        break;
    case kEvent_ContextMenu:
        return;
    case kEvent_MouseMove: {
        int link = nLinks > 0 ? LinkAt(event.ptMouse) : -1;
        if (link != nHoverLink) {
            nHoverLink = link;
            Invalidate();
        }
        return;
    }
    case kEvent_MouseLeave:
        if (nLinks > 0 && IsEnabled()) {
            if (RectContains(rcItem, event.ptMouse)) {
                if (pHost != nullptr)
                    pHost->AddMouseLeaveNeeded(this);
                return;
            }
            if (pHost != nullptr)
                pHost->RemoveMouseLeaveNeeded(this);
            if (nHoverLink != -1) {
                nHoverLink = -1;
                Invalidate();
            }
            return;
        }
        break;
    default:
        break;
    }
    CLabelUI::HandleEvent(event);
}

#ifdef _WIN32

void CLabelUI::DrawTextIn(HDC hDC, DWORD color, RECT* links, std::wstring* linkTexts, int* linkCount)
{
    RECT rc = TextRect();
    CSkinResources* resources = pHost->Resources();
    if (bShowHtml) {
        int count = linkCount != nullptr ? *linkCount : 0;
        CSkinRenderer::DrawMarkupText(hDC, resources, rc, strText, color, links, linkTexts, count, nFontId,
                                      uTextStyle);
        if (linkCount != nullptr)
            *linkCount = count;
    } else {
        CSkinRenderer::DrawPlainText(hDC, resources, rc, strText, color, nFontId, uTextStyle);
    }
}

// The text effects (luminous, stroke, shadow, gradient) are not used by any
// skin of this program: with `enabledeffect` the text is drawn plainly in its
// text colour.
void CLabelUI::PaintText(HDC hDC, const RECT&)
{
    if (strText.empty() || pHost == nullptr)
        return;
    ResolveDefaultColors();
    DrawTextIn(hDC, IsEnabled() ? dwTextColor : dwDisabledTextColor);
}

void CTextUI::PaintText(HDC hDC, const RECT&)
{
    if (strText.empty() || pHost == nullptr) {
        nLinks = 0;
        return;
    }
    ResolveDefaultColors();
    DWORD color = IsEnabled() ? dwTextColor : dwDisabledTextColor;
    if (bShowHtml) {
        int count = kMaxLinks;
        DrawTextIn(hDC, color, rcLinks, strLinks, &count);
        nLinks = std::min(std::max(count, 0), static_cast<int>(kMaxLinks));
    } else {
        nLinks = 0;
        DrawTextIn(hDC, color);
    }
}

#else

void CLabelUI::DrawTextIn(HDC, DWORD, RECT*, std::wstring*, int*) {}
void CLabelUI::PaintText(HDC, const RECT&) {}
void CTextUI::PaintText(HDC, const RECT&) {}

#endif

} // namespace SkinUI
