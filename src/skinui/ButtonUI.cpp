// Buttons, options and check boxes: events, selection, state images.
#include "skinui/ButtonUI.h"

#include "logging/TextFormat.h"

#include <algorithm>

namespace SkinUI {

// ------------------------------------------------------------------ button

CButtonUI::CButtonUI() = default;

std::wstring CButtonUI::GetClass() const { return L"Button"; }

CControlUI* CButtonUI::QueryControlInterface(const std::wstring& name)
{
    return name == L"Button" ? this : CLabelUI::QueryControlInterface(name);
}

UINT CButtonUI::ControlFlags() const
{
    return IsKeyboardEnabled() ? 1u : 0u;   // a tab stop
}

bool CButtonUI::Activate()
{
    if (!CControlUI::Activate())
        return false;
    if (pHost != nullptr)
        pHost->EmitNotify(this, L"click", 0, 0);
    return true;
}

void CButtonUI::SetEnabled(bool enabled)
{
    CControlUI::SetEnabled(enabled);
    if (!IsEnabled())
        uButtonState = 0;
}

void CButtonUI::HandleEvent(ControlEvent& event)
{
    // A control with the mouse switched off passes mouse input on.
    if (PassMouseEventOn(event))
        return;
    const bool inside = RectContains(rcItem, event.ptMouse);
    switch (event.Type) {
    case kEvent_SetFocus:
    case kEvent_KillFocus:
        Invalidate();
        break;   // the base keeps the focused flag
    case kEvent_KeyDown:
        if (IsKeyboardEnabled() && IsEnabled()) {
            if (event.chKey == VK_SPACE || event.chKey == VK_RETURN) {
                Activate();
                return;
            }
        }
        break;
    case kEvent_ButtonDown:
    case kEvent_DblClick:
        if (inside && IsEnabled()) {
            uButtonState |= kState_Pushed | kState_Captured;
            Invalidate();
        }
        return;
    case kEvent_MouseMove:
        if ((uButtonState & kState_Captured) != 0) {
            if (inside)
                uButtonState |= kState_Pushed;
            else
                uButtonState &= ~kState_Pushed;
            Invalidate();
        }
        return;
    case kEvent_ButtonUp:
        if ((uButtonState & kState_Captured) != 0) {
            // The state ends before the click is sent: a listener may hide
            // or even remove this button.
            uButtonState &= ~(kState_Pushed | kState_Captured);
            Invalidate();
            if (inside && IsEnabled())
                Activate();
        }
        return;
    case kEvent_MouseEnter:
    case kEvent_MouseLeave: {
        // Fading runs from the normal to the hot look and back.
        const HoverStep step = TrackHover(event, &uButtonState);
        if ((step == HoverStep::Enter || step == HoverStep::Leave) && nFadeDelta > 0 && pHost != nullptr)
            pHost->SetTimer(this, kFadeTimerId, kFadeTimerElapse);
        return;
    }
    case kEvent_SetCursor:
        if (pHost != nullptr)
            pHost->SetCursorShape(kCursor_Hand);
        return;
    case kEvent_ContextMenu:
        if (bMenuUsed && IsEnabled()) {
            if (pHost != nullptr)
                pHost->EmitNotify(this, L"menu", event.wParam, event.lParam);
            return;
        }
        break;
    case kEvent_Timer:
        if (event.wParam == kFadeTimerId) {
            bool done;
            if ((uButtonState & kState_Hot) != 0) {
                nFadeAlpha = std::max(0, nFadeAlpha - nFadeDelta);
                done = nFadeAlpha == 0;
            } else {
                nFadeAlpha = std::min(255, nFadeAlpha + nFadeDelta);
                done = nFadeAlpha == 255;
            }
            if (done && pHost != nullptr)
                pHost->KillTimer(this, kFadeTimerId);
            Invalidate();
            return;
        }
        break;
    default:
        break;
    }
    CLabelUI::HandleEvent(event);
}

void CButtonUI::SetNormalImage(const std::wstring& image)
{
    imgNormal.Set(image);
    imgFadeNormal.Set(std::wstring());
    Invalidate();
}

void CButtonUI::SetHotImage(const std::wstring& image)
{
    imgHot.Set(image);
    imgFadeHot.Set(std::wstring());
    Invalidate();
}

void CButtonUI::SetPushedImage(const std::wstring& image)
{
    imgPushed.Set(image);
    Invalidate();
}

void CButtonUI::SetFocusedImage(const std::wstring& image)
{
    imgFocused.Set(image);
    Invalidate();
}

void CButtonUI::SetDisabledImage(const std::wstring& image)
{
    imgDisabled.Set(image);
    Invalidate();
}

void CButtonUI::SetForeImage(const std::wstring& image)
{
    imgFore.Set(image);
    Invalidate();
}

void CButtonUI::SetHotForeImage(const std::wstring& image)
{
    imgHotFore.Set(image);
    Invalidate();
}

void CButtonUI::SetHotBkColor(DWORD color)
{
    dwHotBkColor = color;
    Invalidate();
}

void CButtonUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    typedef CButtonUI B;
    typedef const std::wstring& V;
    static const AttributeEntry<CButtonUI> kTable[] = {
        {L"normalimage", [](B& c, V v) { c.SetNormalImage(v); }},
        {L"hotimage", [](B& c, V v) { c.SetHotImage(v); }},
        {L"pushedimage", [](B& c, V v) { c.SetPushedImage(v); }},
        {L"focusedimage", [](B& c, V v) { c.SetFocusedImage(v); }},
        {L"disabledimage", [](B& c, V v) { c.SetDisabledImage(v); }},
        {L"foreimage", [](B& c, V v) { c.SetForeImage(v); }},
        {L"hotforeimage", [](B& c, V v) { c.SetHotForeImage(v); }},
        {L"pushedforeimage", [](B& c, V v) { c.imgPushedFore.Set(v); }},
        {L"fivestatusimage", [](B& c, V v) { c.imgFiveStatus.Set(v); }},
        {L"fadedelta", [](B& c, V v) { c.SetFadeDelta(std::max(0, std::min(255, ParseInt(v)))); }},
        {L"hotbkcolor", [](B& c, V v) { c.SetHotBkColor(ParseColor(v)); }},
        {L"hottextcolor", [](B& c, V v) { c.SetHotTextColor(ParseColor(v)); }},
        {L"pushedtextcolor", [](B& c, V v) { c.SetPushedTextColor(ParseColor(v)); }},
        {L"focusedtextcolor", [](B& c, V v) { c.SetFocusedTextColor(ParseColor(v)); }},
    };
    if (!ApplyAttributeEntry(kTable, *this, name, value))
        CLabelUI::SetAttribute(name, value);
}

SIZE CButtonUI::MeasureSize(SIZE)
{
    return MeasureTextLine();
}

DWORD CButtonUI::StateTextColor()
{
    ResolveDefaultColors();
    DWORD color = IsEnabled() ? dwTextColor : dwDisabledTextColor;
    if ((uButtonState & kState_Pushed) != 0 && dwPushedTextColor != 0)
        color = dwPushedTextColor;
    else if ((uButtonState & kState_Hot) != 0 && dwHotTextColor != 0)
        color = dwHotTextColor;
    else if ((uButtonState & kState_Focused) != 0 && dwFocusedTextColor != 0)
        color = dwFocusedTextColor;
    return color;
}

// ------------------------------------------------------------------ option

COptionUI::~COptionUI()
{
    if (pHost != nullptr && !strGroup.empty())
        pHost->RemoveOptionGroup(strGroup, this);
}

std::wstring COptionUI::GetClass() const { return L"Option"; }

CControlUI* COptionUI::QueryControlInterface(const std::wstring& name)
{
    return name == L"Option" ? this : CButtonUI::QueryControlInterface(name);
}

void COptionUI::SetHost(IControlHostUI* host, CControlUI* parent, bool init)
{
    if (pHost != nullptr && pHost != host && !strGroup.empty())
        pHost->RemoveOptionGroup(strGroup, this);
    CButtonUI::SetHost(host, parent, init);
    if (pHost != nullptr && !strGroup.empty())
        pHost->AddOptionGroup(strGroup, this);
}

void COptionUI::SetGroup(const std::wstring& group)
{
    if (group == strGroup)
        return;
    if (pHost != nullptr && !strGroup.empty())
        pHost->RemoveOptionGroup(strGroup, this);
    strGroup = group;
    if (pHost != nullptr && !strGroup.empty())
        pHost->AddOptionGroup(strGroup, this);
}

void COptionUI::SetSelected(bool selected, bool notify)
{
    if (bSelected == selected)
        return;
    bSelected = selected;
    if (bSelected)
        uButtonState |= kState_Selected;
    else
        uButtonState &= ~kState_Selected;
    if (pHost != nullptr) {
        if (strGroup.empty()) {
            if (notify)
                pHost->EmitNotify(this, L"selectchanged", 0, 0);
        } else if (bSelected) {
            // Deselect the rest of the group; each one that was selected
            // reports its own change.
            for (CControlUI* member : pHost->GetOptionGroup(strGroup)) {
                auto* option = static_cast<COptionUI*>(member->QueryControlInterface(L"Option"));
                if (option == nullptr || option == this || !option->IsSelected())
                    continue;
                option->SetSelected(false, false);
                if (notify)
                    pHost->EmitNotify(option, L"selectchanged", 0, 0);
            }
            if (notify)
                pHost->EmitNotify(this, L"selectchanged", 0, 0);
        }
        pHost->NotifyAccessibility(this, AccessEvent::StateChange);
    }
    Invalidate();
}

bool COptionUI::Activate()
{
    if (!CButtonUI::Activate())
        return false;
    if (!strGroup.empty())
        SetSelected(true);
    else
        SetSelected(!bSelected);
    return true;
}

void COptionUI::SetSelectedImage(const std::wstring& image)
{
    imgSelected.Set(image);
    Invalidate();
}

void COptionUI::SetSelectedHotImage(const std::wstring& image)
{
    imgSelectedHot.Set(image);
    Invalidate();
}

void COptionUI::SetSelectedBkColor(DWORD color)
{
    dwSelectedBkColor = color;
    Invalidate();
}

void COptionUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    typedef COptionUI O;
    typedef const std::wstring& V;
    static const AttributeEntry<COptionUI> kTable[] = {
        {L"group", [](O& c, V v) { c.SetGroup(v); }},
        {L"selected", [](O& c, V v) { c.SetSelected(ParseBool(v), true); }},
        {L"selectedimage", [](O& c, V v) { c.SetSelectedImage(v); }},
        {L"selectedhotimage", [](O& c, V v) { c.SetSelectedHotImage(v); }},
        {L"foreimage",
         [](O& c, V v) {
             c.imgOptionFore.Set(v);
             c.Invalidate();
         }},
        {L"selectedbkcolor", [](O& c, V v) { c.SetSelectedBkColor(ParseColor(v)); }},
        {L"selectedtextcolor", [](O& c, V v) { c.SetSelectedTextColor(ParseColor(v)); }},
    };
    if (!ApplyAttributeEntry(kTable, *this, name, value))
        CButtonUI::SetAttribute(name, value);
}

std::wstring CCheckBoxUI::GetClass() const { return L"CheckBox"; }

CControlUI* CCheckBoxUI::QueryControlInterface(const std::wstring& name)
{
    return name == L"CheckBox" ? this : COptionUI::QueryControlInterface(name);
}

// ---------------------------------------------------------------- painting

#ifdef _WIN32

bool CButtonUI::DrawFaded(HDC hDC, CImageSlot& image, const RECT& rcPaint, int alpha)
{
    if (image.Empty())
        return false;
    if (alpha >= 255)
        return DrawImage(hDC, image, rcPaint);
    CImageSlot& faded = (&image == &imgHot) ? imgFadeHot : imgFadeNormal;
    // A plain file name becomes file='...' so the fade item can follow.
    std::wstring text = image.Text();
    if (text.find(L'=') == std::wstring::npos)
        text = L"file='" + text + L"'";
    text += L" fade='" + IntToWide(std::max(alpha, 0)) + L"'";
    if (faded.Text() != text)
        faded.Set(text);
    return DrawImage(hDC, faded, rcPaint);
}

void CButtonUI::PaintStateImage(HDC hDC, const RECT& rcPaint)
{
    SyncStateFlags(uButtonState);

    bool drawn = false;
    if ((uButtonState & kState_Disabled) != 0) {
        drawn = DrawImage(hDC, imgDisabled, rcPaint);
    } else if ((uButtonState & kState_Pushed) != 0) {
        if (!DrawImage(hDC, imgPushed, rcPaint))
            DrawImage(hDC, imgNormal, rcPaint);
        if (DrawImage(hDC, imgPushedFore, rcPaint))
            return;
        drawn = true;
    } else if ((uButtonState & kState_Hot) != 0) {
        if (nFadeDelta > 0) {
            DrawFaded(hDC, imgNormal, rcPaint, nFadeAlpha);
            DrawFaded(hDC, imgHot, rcPaint, 255 - nFadeAlpha);
        } else if (!DrawImage(hDC, imgHot, rcPaint)) {
            DrawImage(hDC, imgNormal, rcPaint);
        }
        if (DrawImage(hDC, imgHotFore, rcPaint))
            return;
        // Without a hot fore image the hot colour fills the control over
        // whatever image the hot state drew, and ends the state paint.
        if (dwHotBkColor != 0) {
            CSkinRenderer::DrawColor(hDC, RectIntersect(rcItem, rcPaint), dwHotBkColor);
            return;
        }
        drawn = true;
    } else if ((uButtonState & kState_Focused) != 0) {
        drawn = DrawImage(hDC, imgFocused, rcPaint);
    }
    if (!drawn) {
        if (nFadeDelta > 0)
            DrawFaded(hDC, imgNormal, rcPaint, nFadeAlpha);
        else
            DrawImage(hDC, imgNormal, rcPaint);
    }
    DrawImage(hDC, imgFore, rcPaint);
}

void CButtonUI::PaintText(HDC hDC, const RECT&)
{
    if (strText.empty() || pHost == nullptr)
        return;
    DrawTextIn(hDC, StateTextColor());
}

void COptionUI::PaintStateImage(HDC hDC, const RECT& rcPaint)
{
    bool done = false;
    if (bSelected) {
        if ((uButtonState & kState_Hot) != 0 && DrawImage(hDC, imgSelectedHot, rcPaint))
            done = true;
        else if (DrawImage(hDC, imgSelected, rcPaint))
            done = true;
        else if (dwSelectedBkColor != 0) {
            CSkinRenderer::DrawColor(hDC, RectIntersect(rcItem, rcPaint), dwSelectedBkColor);
            done = true;
        }
    }
    if (!done) {
        // The button's images, without the pushed look.
        UINT saved = uButtonState;
        uButtonState &= ~kState_Pushed;
        CButtonUI::PaintStateImage(hDC, rcPaint);
        uButtonState = (saved & ~(kState_Focused | kState_Disabled)) |
                       (uButtonState & (kState_Focused | kState_Disabled));
    }
    DrawImage(hDC, imgOptionFore, rcPaint);
}

void COptionUI::PaintText(HDC hDC, const RECT&)
{
    if (strText.empty() || pHost == nullptr)
        return;
    DWORD color = StateTextColor();
    if (bSelected && dwSelectedTextColor != 0)
        color = dwSelectedTextColor;
    DrawTextIn(hDC, color);
}

#else

bool CButtonUI::DrawFaded(HDC, CImageSlot&, const RECT&, int) { return false; }
void CButtonUI::PaintStateImage(HDC, const RECT&) {}
void CButtonUI::PaintText(HDC, const RECT&) {}
void COptionUI::PaintStateImage(HDC, const RECT&) {}
void COptionUI::PaintText(HDC, const RECT&) {}

#endif

} // namespace SkinUI
