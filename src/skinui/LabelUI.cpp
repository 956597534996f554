// Labels and texts: attributes, size estimate, text drawing and links.
#include "skinui/LabelUI.h"

#include <algorithm>

namespace SkinUI {

// The space a one-line label adds to its font's height, in 96-DPI pixels.
static const int kLineSpace = 8;

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
    rcTextPadding = ClampRect(padding);
    TextSettingsChanged();
}

void CLabelUI::SetShowHtml(bool show)
{
    if (bShowHtml == show)
        return;
    bShowHtml = show;
    TextSettingsChanged();
}

// `align` and `valign` look for words in the value; later words win.
static UINT ApplyAlign(UINT style, const std::wstring& value)
{
    if (value.find(L"left") != std::wstring::npos)
        style &= ~(DT_CENTER | DT_RIGHT);
    if (value.find(L"center") != std::wstring::npos)
        style = (style & ~(DT_LEFT | DT_RIGHT)) | DT_CENTER;
    if (value.find(L"right") != std::wstring::npos)
        style = (style & ~(DT_LEFT | DT_CENTER)) | DT_RIGHT;
    return style;
}

static UINT ApplyVAlign(UINT style, const std::wstring& value)
{
    if (value.find(L"top") != std::wstring::npos)
        style &= ~(DT_BOTTOM | DT_VCENTER);
    if (value.find(L"vcenter") != std::wstring::npos)
        style = (style & ~(DT_TOP | DT_BOTTOM)) | DT_VCENTER;
    if (value.find(L"bottom") != std::wstring::npos)
        style = (style & ~(DT_TOP | DT_VCENTER)) | DT_BOTTOM;
    return style;
}

void CLabelUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    typedef CLabelUI L;
    typedef const std::wstring& V;
    static const AttributeEntry<CLabelUI> kTable[] = {
        {L"align", [](L& c, V v) { c.SetTextStyle(ApplyAlign(c.uTextStyle, v)); }},
        {L"valign", [](L& c, V v) { c.SetTextStyle(ApplyVAlign(c.uTextStyle, v)); }},
        {L"endellipsis",
         [](L& c, V v) {
             c.SetTextStyle(ParseBool(v) ? (c.uTextStyle | DT_END_ELLIPSIS) : (c.uTextStyle & ~DT_END_ELLIPSIS));
         }},
        {L"multiline",
         [](L& c, V v) {
             c.SetTextStyle(ParseBool(v) ? ((c.uTextStyle & ~DT_SINGLELINE) | DT_WORDBREAK)
                                         : (c.uTextStyle | DT_SINGLELINE));
         }},
        {L"font", [](L& c, V v) { c.SetFont(ParseInt(v)); }},
        {L"textcolor", [](L& c, V v) { c.SetTextColor(ParseColor(v)); }},
        {L"disabledtextcolor", [](L& c, V v) { c.SetDisabledTextColor(ParseColor(v)); }},
        {L"textpadding", [](L& c, V v) { c.SetTextPadding(ParseLengthRect(v, c.GetDpi())); }, true},
        {L"showhtml", [](L& c, V v) { c.SetShowHtml(ParseBool(v)); }},
        // Text effects: kept, not drawn.
        {L"enabledeffect", [](L& c, V v) { c.bEnableEffect = ParseBool(v); }},
        {L"enabledluminous", [](L& c, V v) { c.bEnableLuminous = ParseBool(v); }},
        {L"luminousfuzzy", [](L& c, V v) { c.fLuminousFuzzy = static_cast<float>(ParseFraction(v)); }},
        {L"gradientangle", [](L& c, V v) { c.nGradientAngle = ParseInt(v); }},
        {L"enabledstroke", [](L& c, V v) { c.bEnableStroke = ParseBool(v); }},
        {L"enabledshadow", [](L& c, V v) { c.bEnableShadow = ParseBool(v); }},
        {L"gradientlength", [](L& c, V v) { c.nGradientLength = ParseInt(v); }},
        {L"shadowoffset", [](L& c, V v) { c.szShadowOffset = ParseLengthSize(v, c.GetDpi()); }, true},
        {L"textcolor1", [](L& c, V v) { c.dwTextColor1 = ParseColor(v); }},
        {L"textshadowcolora", [](L& c, V v) { c.dwTextShadowColorA = ParseColor(v); }},
        {L"textshadowcolorb", [](L& c, V v) { c.dwTextShadowColorB = ParseColor(v); }},
        {L"strokecolor", [](L& c, V v) { c.dwStrokeColor = ParseColor(v); }},
    };
    if (!ApplyAttributeEntry(kTable, *this, name, value))
        CControlUI::SetAttribute(name, value);
}

bool CLabelUI::PassMouseEventOn(ControlEvent& event)
{
    if (IsMouseEnabled() || event.Type < kEvent_MouseMove || event.Type > kEvent_ScrollWheel)
        return false;
    if (pParent != nullptr)
        pParent->HandleEvent(event);
    else
        CLabelUI::HandleEvent(event);
    return true;
}

SIZE CLabelUI::MeasureTextLine()
{
    if (cxyFixed.cy != 0)
        return cxyFixed;
    int height = pHost != nullptr ? pHost->FontHeight(nFontId) + ScaleLength(kLineSpace, GetDpi()) : 0;
    return MakeSize(static_cast<int>(cxyFixed.cx), height);
}

void CLabelUI::SyncStateFlags(UINT& state) const
{
    if (IsFocused())
        state |= kState_Focused;
    else
        state &= ~kState_Focused;
    if (!IsEnabled())
        state |= kState_Disabled;
    else
        state &= ~kState_Disabled;
}

CLabelUI::HoverStep CLabelUI::TrackHover(const ControlEvent& event, UINT* state)
{
    const bool inside = RectContains(rcItem, event.ptMouse);
    HoverStep step = HoverStep::None;
    if (event.Type == kEvent_MouseEnter) {
        if (!inside || !IsEnabled())
            return HoverStep::None;
        step = HoverStep::Enter;
    } else if (event.Type == kEvent_MouseLeave) {
        if (inside) {
            if (pHost != nullptr)
                pHost->AddMouseLeaveNeeded(this);
            return HoverStep::Deferred;
        }
        if (pHost != nullptr)
            pHost->RemoveMouseLeaveNeeded(this);
        step = HoverStep::Leave;
    } else {
        return HoverStep::None;
    }
    if (state != nullptr) {
        if (step == HoverStep::Enter)
            *state |= kState_Hot;
        else
            *state &= ~kState_Hot;
        Invalidate();
    }
    return step;
}

void CLabelUI::SizeConstraintsChanged()
{
    bEstimateValid = false;
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
        size.cy = cxyFixed.cy != 0 ? cxyFixed.cy : padY + pHost->FontHeight(nFontId) + ScaleLength(kLineSpace, GetDpi());
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

bool CLabelUI::FitsOnOneLine(const std::wstring& text) const
{
    if (pHost == nullptr)
        return true;
    const UINT style = (uTextStyle | DT_SINGLELINE) & ~(DT_END_ELLIPSIS | DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM);
    return pHost->MeasureText(text, nFontId, style, 9999, bShowHtml).cx <= RectWidth(TextRect());
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
        // Only a text with links has a hot look: the link under the mouse.
        if (nLinks == 0 || !IsEnabled())
            break;
        if (TrackHover(event) == HoverStep::Leave && nHoverLink != -1) {
            nHoverLink = -1;
            Invalidate();
        }
        return;
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
    if (dwSystemTextColor != 0)
        color = dwSystemTextColor;
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
