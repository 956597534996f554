// CControlUI: fields, state, events, look-up and the paint
// sequence. The paint operations draw through CSkinRenderer on Windows; the
// native build keeps them as no-ops so layout and events are testable there.
#include "skinui/ControlUI.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

namespace SkinUI {

RECT RectIntersect(const RECT& a, const RECT& b)
{
    RECT rc = MakeRect(static_cast<int>(std::max(a.left, b.left)), static_cast<int>(std::max(a.top, b.top)),
                       static_cast<int>(std::min(a.right, b.right)),
                       static_cast<int>(std::min(a.bottom, b.bottom)));
    if (RectEmpty(rc))
        rc = MakeRect(0, 0, 0, 0);
    return rc;
}

static void ReplaceAllText(std::wstring& text, const std::wstring& from, const std::wstring& to)
{
    for (size_t pos = text.find(from); pos != std::wstring::npos; pos = text.find(from, pos + to.size()))
        text.replace(pos, from.size(), to);
}

CControlUI::CControlUI() = default;

void CControlUI::Delete()
{
    delete this;
}

CControlUI::~CControlUI()
{
    delete pCover;
    pCover = nullptr;
    if (pHost != nullptr)
        pHost->ForgetControl(this);
}

std::wstring CControlUI::GetName() const { return strName; }
void CControlUI::SetName(const std::wstring& name) { strName = name; }
std::wstring CControlUI::GetClass() const { return L"Control"; }

CControlUI* CControlUI::QueryControlInterface(const std::wstring& name)
{
    return name == L"Control" ? this : nullptr;
}

UINT CControlUI::ControlFlags() const { return 0; }
HWND CControlUI::GetNativeHandle() const { return nullptr; }

bool CControlUI::Activate()
{
    return IsVisible() && IsEnabled();
}

IControlHostUI* CControlUI::GetHost() const { return pHost; }

void CControlUI::SetHost(IControlHostUI* host, CControlUI* parent, bool init)
{
    if (pCover != nullptr)
        pCover->SetHost(host, this, init);
    // A host the control leaves keeps no reference to it: the skin builder
    // binds controls only while their attributes apply, and one of them (a
    // tab layout's selected page) may have taken the focus by then.
    if (pHost != nullptr && pHost != host)
        pHost->ForgetControl(this);
    pHost = host;
    pParent = parent;
    if (init && pParent != nullptr)
        Init();
}

CControlUI* CControlUI::GetParent() const { return pParent; }
CControlUI* CControlUI::GetOverlay() const { return pCover; }

bool CControlUI::SetOverlay(CControlUI* cover)
{
    if (cover == pCover)
        return true;
    delete pCover;
    pCover = cover;
    if (pCover != nullptr) {
        if (pHost != nullptr)
            pHost->BindControls(pCover, this);
        else
            pCover->SetHost(nullptr, this, false);
        pCover->SetVisibleByParent(IsVisible());
        if (!RectEmpty(rcItem))
            pCover->SetPos(rcItem);
    }
    return true;
}

std::wstring CControlUI::GetText() const { return strText; }

void CControlUI::SetText(const std::wstring& text)
{
    if (strText == text)
        return;
    strText = text;
    Invalidate();
    if (pHost != nullptr)
        pHost->NotifyAccessibility(this, AccessEvent::NameChange);
}

const RECT& CControlUI::GetPos() const { return rcItem; }

RECT CControlUI::GetPosInParent() const
{
    RECT rc = rcItem;
    if (pParent != nullptr) {
        const RECT& parent = pParent->GetPos();
        rc.left -= parent.left;
        rc.right -= parent.left;
        rc.top -= parent.top;
        rc.bottom -= parent.top;
    }
    return rc;
}

RECT CControlUI::GetContentRect() const { return rcItem; }

void CControlUI::SetPos(RECT rc, bool needInvalidate)
{
    rc = ClampRect(rc);
    if (rc.right < rc.left)
        rc.right = rc.left;
    if (rc.bottom < rc.top)
        rc.bottom = rc.top;
    if (needInvalidate)
        Invalidate();   // the old place
    rcItem = rc;
    bUpdateNeeded = false;
    if (needInvalidate)
        Invalidate();
    if (pCover != nullptr && pCover->IsVisible())
        pCover->SetPos(rc, needInvalidate);
}

void CControlUI::Move(SIZE offset, bool needInvalidate)
{
    RECT rc = rcItem;
    rc.left += offset.cx;
    rc.right += offset.cx;
    rc.top += offset.cy;
    rc.bottom += offset.cy;
    SetPos(rc, needInvalidate);
}

int CControlUI::GetWidth() const { return RectWidth(rcItem); }
int CControlUI::GetHeight() const { return RectHeight(rcItem); }
int CControlUI::GetX() const { return static_cast<int>(rcItem.left); }
int CControlUI::GetY() const { return static_cast<int>(rcItem.top); }
RECT CControlUI::GetPadding() const { return rcPadding; }

void CControlUI::SetPadding(RECT padding)
{
    rcPadding = ClampRect(padding);
    NeedParentUpdate();
}

SIZE CControlUI::GetFloatOffset() const { return cXY; }

void CControlUI::SetFloatOffset(SIZE offset)
{
    cXY = MakeSize(ClampCoordinate(offset.cx), ClampCoordinate(offset.cy));
    NeedParentUpdate();
}

RECT CControlUI::GetFloatAnchor(double fractions[4]) const
{
    for (int i = 0; i < 4; ++i)
        fractions[i] = floatPercent[i];
    return MakeRect(0, 0, 0, 0);
}

void CControlUI::SetFloatAnchor(const double fractions[4])
{
    for (int i = 0; i < 4; ++i)
        floatPercent[i] = fractions[i];
    NeedParentUpdate();
}

int CControlUI::GetFixedWidth() const { return static_cast<int>(cxyFixed.cx); }

void CControlUI::SetFixedWidth(int cx)
{
    if (cx < 0)
        return;
    cxyFixed.cx = ClampCoordinate(cx);
    SizeConstraintsChanged();
    NeedParentUpdate();
}

int CControlUI::GetFixedHeight() const { return static_cast<int>(cxyFixed.cy); }

void CControlUI::SetFixedHeight(int cy)
{
    if (cy < 0)
        return;
    cxyFixed.cy = ClampCoordinate(cy);
    SizeConstraintsChanged();
    NeedParentUpdate();
}

int CControlUI::GetMinWidth() const { return static_cast<int>(cxyMin.cx); }

void CControlUI::SetMinWidth(int cx)
{
    if (cx < 0 || cxyMin.cx == cx)
        return;
    cxyMin.cx = ClampCoordinate(cx);
    SizeConstraintsChanged();
    NeedParentUpdate();
}

int CControlUI::GetMaxWidth() const { return static_cast<int>(std::max(cxyMax.cx, cxyMin.cx)); }

void CControlUI::SetMaxWidth(int cx)
{
    if (cx < 0 || cxyMax.cx == cx)
        return;
    cxyMax.cx = ClampCoordinate(cx);
    SizeConstraintsChanged();
    NeedParentUpdate();
}

int CControlUI::GetMinHeight() const { return static_cast<int>(cxyMin.cy); }

void CControlUI::SetMinHeight(int cy)
{
    if (cy < 0 || cxyMin.cy == cy)
        return;
    cxyMin.cy = ClampCoordinate(cy);
    SizeConstraintsChanged();
    NeedParentUpdate();
}

int CControlUI::GetMaxHeight() const { return static_cast<int>(std::max(cxyMax.cy, cxyMin.cy)); }

void CControlUI::SetMaxHeight(int cy)
{
    if (cy < 0 || cxyMax.cy == cy)
        return;
    cxyMax.cy = ClampCoordinate(cy);
    SizeConstraintsChanged();
    NeedParentUpdate();
}

std::wstring CControlUI::GetToolTip() const { return strToolTip; }

void CControlUI::SetToolTip(const std::wstring& text)
{
    strToolTip = text;
    ReplaceAllText(strToolTip, L"<n>", L"\r\n");
}

void CControlUI::SetToolTipWidth(int width) { nTooltipWidth = width; }
int CControlUI::GetToolTipWidth() const { return nTooltipWidth; }
wchar_t CControlUI::GetShortcut() const { return chShortcut; }
void CControlUI::SetShortcut(wchar_t ch) { chShortcut = ch; }
bool CControlUI::WantsContextMenu() const { return bMenuUsed; }
void CControlUI::SetWantsContextMenu(bool menu) { bMenuUsed = menu; }
std::wstring CControlUI::GetUserData() const { return strUserData; }
void CControlUI::SetUserData(const std::wstring& text) { strUserData = text; }
uintptr_t CControlUI::GetTag() const { return nTag; }
void CControlUI::SetTag(uintptr_t tag) { nTag = tag; }

bool CControlUI::IsVisible() const { return bVisible && bInternVisible; }

void CControlUI::SetVisible(bool visible)
{
    if (bVisible == visible)
        return;
    bVisible = visible;
    if (bFocused && !IsVisible() && pHost != nullptr && pHost->GetFocus() == this)
        pHost->SetFocus(nullptr);
    NeedParentUpdate();
    PassVisibilityOn();
    // Once everything inside has its new visibility.
    if (pHost != nullptr)
        pHost->NotifyAccessibility(this, visible ? AccessEvent::Show : AccessEvent::Hide);
}

void CControlUI::SetVisibleByParent(bool visible)
{
    bInternVisible = visible;
    if (bFocused && !IsVisible() && pHost != nullptr && pHost->GetFocus() == this)
        pHost->SetFocus(nullptr);
    PassVisibilityOn();
}

void CControlUI::PassVisibilityOn()
{
    if (pCover != nullptr)
        pCover->SetVisibleByParent(IsVisible());
}

bool CControlUI::IsEnabled() const { return bEnabled; }

void CControlUI::SetEnabled(bool enabled)
{
    if (bEnabled == enabled)
        return;
    bEnabled = enabled;
    Invalidate();
    if (pHost != nullptr)
        pHost->NotifyAccessibility(this, AccessEvent::StateChange);
}

bool CControlUI::IsMouseEnabled() const { return bMouseEnabled; }
void CControlUI::SetMouseEnabled(bool enabled) { bMouseEnabled = enabled; }
bool CControlUI::IsKeyboardEnabled() const { return bKeyboardEnabled; }
void CControlUI::SetKeyboardEnabled(bool enabled) { bKeyboardEnabled = enabled; }
bool CControlUI::IsFocused() const { return bFocused; }

void CControlUI::SetFocus()
{
    if (pHost != nullptr)
        pHost->SetFocus(this);
}

bool CControlUI::IsFloat() const { return bFloat; }

void CControlUI::SetFloat(bool isFloat)
{
    if (bFloat == isFloat)
        return;
    bFloat = isFloat;
    NeedParentUpdate();
}

CControlUI* CControlUI::LookupControl(FindControlProc proc, void* data, UINT flags)
{
    if ((flags & kFind_Visible) != 0 && !IsVisible())
        return nullptr;
    if ((flags & kFind_Enabled) != 0 && !IsEnabled())
        return nullptr;
    if ((flags & kFind_HitTest) != 0 &&
        (!bMouseEnabled || data == nullptr || !RectContains(rcItem, *static_cast<POINT*>(data))))
        return nullptr;
    return proc(this, data);
}

void CControlUI::Init()
{
    OnInit();
    for (auto& handler : vecInitHandlers)
        handler(this);
}

void CControlUI::OnInit() {}

void CControlUI::RunNotifyHandlers(NotifyMsg& msg)
{
    // A copy: a handler may add handlers (they hear the next notification)
    // or even delete this control.
    const std::vector<NotifyHandler> handlers = vecNotifyHandlers;
    for (const NotifyHandler& handler : handlers)
        handler(msg);
}

void CControlUI::Event(ControlEvent& event)
{
    for (auto& handler : vecEventHandlers) {
        if (!handler(event))
            return;
    }
    HandleEvent(event);
}

void CControlUI::HandleEvent(ControlEvent& event)
{
    switch (event.Type) {
    case kEvent_SetCursor:
        if (pHost != nullptr)
            pHost->SetCursorShape(kCursor_Arrow);
        return;
    case kEvent_SetFocus:
        bFocused = true;
        Invalidate();
        return;
    case kEvent_KillFocus:
        bFocused = false;
        Invalidate();
        return;
    case kEvent_Timer:
        if (pHost != nullptr)
            pHost->EmitNotify(this, L"timer", event.wParam, event.lParam);
        return;
    case kEvent_ContextMenu:
        if (bMenuUsed) {
            if (pHost != nullptr)
                pHost->EmitNotify(this, L"menu", event.wParam, event.lParam);
            return;
        }
        break;
    default:
        break;
    }
    if (pParent != nullptr)
        pParent->HandleEvent(event);
}

SIZE CControlUI::MeasureSize(SIZE /*available*/)
{
    return cxyFixed;
}

void CControlUI::Invalidate()
{
    if (!IsVisible() || pHost == nullptr)
        return;
    RECT rc = rcItem;
    for (CControlUI* parent = pParent; parent != nullptr; parent = parent->GetParent()) {
        rc = RectIntersect(rc, parent->GetPos());
        if (RectEmpty(rc))
            return;
    }
    pHost->Invalidate(rc);
}

void CControlUI::NeedUpdate()
{
    if (!IsVisible())
        return;
    bUpdateNeeded = true;
    Invalidate();
    if (pHost != nullptr)
        pHost->NeedUpdate();
}

void CControlUI::NeedParentUpdate()
{
    if (pParent != nullptr) {
        pParent->NeedUpdate();
        pParent->Invalidate();
    } else {
        NeedUpdate();
    }
    if (pHost != nullptr)
        pHost->NeedUpdate();
}

void CControlUI::SetBkColor(DWORD color)
{
    if (dwBackColor == color)
        return;
    dwBackColor = color;
    Invalidate();
}

void CControlUI::SetBkColor2(DWORD color)
{
    if (dwBackColor2 == color)
        return;
    dwBackColor2 = color;
    Invalidate();
}

void CControlUI::SetBkColor3(DWORD color)
{
    if (dwBackColor3 == color)
        return;
    dwBackColor3 = color;
    Invalidate();
}

void CControlUI::SetBorderColor(DWORD color)
{
    dwBorderColor = color;
    Invalidate();
}

void CControlUI::SetFocusBorderColor(DWORD color)
{
    dwFocusBorderColor = color;
    Invalidate();
}

void CControlUI::SetBorderSize(RECT sizes)
{
    rcBorderSize = ClampRect(sizes);
    Invalidate();
}

void CControlUI::SetBorderSize(int size)
{
    SetBorderSize(MakeRect(size, size, size, size));
}

void CControlUI::SetBorderStyle(int style)
{
    nBorderStyle = style;
    Invalidate();
}

void CControlUI::SetBorderRound(SIZE round)
{
    cxyBorderRound = MakeSize(ClampCoordinate(round.cx), ClampCoordinate(round.cy));
    Invalidate();
}

void CControlUI::SetBkImage(const std::wstring& image)
{
    imgBk.Set(image);
    Invalidate();
}

void CControlUI::ReplaceBkImage(const std::wstring& image)
{
    const std::wstring previous = imgBk.Text();
    SetBkImage(image);
#ifdef _WIN32
    const std::wstring oldName = ParseImageAttribute(previous).strImageName;
    if (!oldName.empty() && oldName != ParseImageAttribute(image).strImageName && GetHost() != nullptr &&
        GetHost()->Resources() != nullptr)
        GetHost()->Resources()->RemoveImage(oldName);
#endif
}

void CControlUI::SetColorHSL(bool hsl)
{
    if (bColorHSL == hsl)
        return;
    bColorHSL = hsl;
    Invalidate();
}

void CControlUI::SetVirtualWnd(const std::wstring& name) { strVirtualWnd = name; }

bool CControlUI::Paint(HDC hDC, const RECT& rcPaint, CControlUI* stopControl)
{
    if (stopControl == this)
        return false;
    if (!RectsMeet(rcPaint, rcItem))
        return true;
    for (auto& handler : vecPaintHandlers) {
        if (!handler(this, hDC, rcPaint))
            return true;
    }
    PaintContent(hDC, rcPaint);
    if (pCover != nullptr && pCover->IsVisible())
        return pCover->Paint(hDC, rcPaint, stopControl);
    return true;
}

#ifndef _WIN32
// Natively nothing is drawn; the layout and events above are all there is.
void CControlUI::PaintContent(HDC, const RECT&) {}
void CControlUI::PaintBackColor(HDC, const RECT&) {}
void CControlUI::PaintBackImage(HDC, const RECT&) {}
void CControlUI::PaintStateImage(HDC, const RECT&) {}
void CControlUI::PaintText(HDC, const RECT&) {}
void CControlUI::PaintBorder(HDC, const RECT&) {}
void CControlUI::PaintAfter(HDC, const RECT&) {}
bool CControlUI::DrawImage(HDC, CImageSlot&, const RECT&) { return false; }
bool CControlUI::DrawImage(HDC, CImageSlot&, const RECT&, const RECT&) { return false; }
#else
bool CControlUI::DrawImage(HDC hDC, CImageSlot& image, const RECT& rcPaint)
{
    return DrawImage(hDC, image, rcPaint, rcItem);
}

bool CControlUI::DrawImage(HDC hDC, CImageSlot& image, const RECT& rcPaint, const RECT& rc)
{
    if (image.Empty() || pHost == nullptr)
        return false;
    return CSkinRenderer::DrawImage(hDC, pHost->Resources(), rc, rcPaint, image.Record());
}

// The fixed paint order: back colour, back image, state image, text, border;
// in high-contrast mode the same order in the system's colours.
void CControlUI::PaintContent(HDC hDC, const RECT& rcPaint)
{
    if (pHost != nullptr && pHost->Resources() != nullptr && pHost->Resources()->UsesSystemColors()) {
        PaintSystemColors(hDC, rcPaint);
        return;
    }
    CRenderClip clip;
    if (cxyBorderRound.cx > 0 || cxyBorderRound.cy > 0)
        CSkinRenderer::MakeRoundClip(hDC, rcPaint, rcItem, static_cast<int>(cxyBorderRound.cx),
                                     static_cast<int>(cxyBorderRound.cy), clip);
    PaintBackColor(hDC, rcPaint);
    PaintBackImage(hDC, rcPaint);
    PaintStateImage(hDC, rcPaint);
    PaintText(hDC, rcPaint);
    PaintBorder(hDC, rcPaint);
}

void CControlUI::PaintBackColor(HDC hDC, const RECT& rcPaint)
{
    if (dwBackColor == 0)
        return;
    if (dwBackColor2 == 0) {
        // An opaque colour covers only what is repainted; a translucent one
        // is blended over the whole item once.
        if ((dwBackColor >> 24) == 0xFF)
            CSkinRenderer::DrawColor(hDC, RectIntersect(rcItem, rcPaint), dwBackColor);
        else
            CSkinRenderer::DrawColor(hDC, rcItem, dwBackColor);
        return;
    }
    if (dwBackColor3 == 0) {
        CSkinRenderer::DrawGradient(hDC, rcItem, dwBackColor, dwBackColor2, true, 16);
        return;
    }
    RECT upper = rcItem;
    upper.bottom = (rcItem.top + rcItem.bottom) / 2;
    RECT lower = rcItem;
    lower.top = upper.bottom;
    CSkinRenderer::DrawGradient(hDC, upper, dwBackColor, dwBackColor2, true, 8);
    CSkinRenderer::DrawGradient(hDC, lower, dwBackColor2, dwBackColor3, true, 8);
}

void CControlUI::PaintBackImage(HDC hDC, const RECT& rcPaint)
{
    DrawImage(hDC, imgBk, rcPaint);
}

void CControlUI::PaintStateImage(HDC, const RECT&) {}
void CControlUI::PaintText(HDC, const RECT&) {}

void CControlUI::PaintBorder(HDC hDC, const RECT&)
{
    if (rcBorderSize.left <= 0 || (dwBorderColor == 0 && dwFocusBorderColor == 0))
        return;
    DWORD color = (IsFocused() && dwFocusBorderColor != 0) ? dwFocusBorderColor : dwBorderColor;
    // Only the focused colour set and not focused: nothing (0 is "no colour",
    // not black).
    if (color == 0)
        return;
    const int l = static_cast<int>(rcBorderSize.left);
    const int t = static_cast<int>(rcBorderSize.top);
    const int r = static_cast<int>(rcBorderSize.right);
    const int b = static_cast<int>(rcBorderSize.bottom);
    if (cxyBorderRound.cx > 0 || cxyBorderRound.cy > 0) {
        CSkinRenderer::DrawRoundRect(hDC, rcItem, l, static_cast<int>(cxyBorderRound.cx),
                                     static_cast<int>(cxyBorderRound.cy), color, nBorderStyle);
        return;
    }
    if (l == t && l == r && l == b) {
        CSkinRenderer::DrawRect(hDC, rcItem, l, color, nBorderStyle);
        return;
    }
    // One line per side, each centred half its width inside its edge; the
    // horizontal lines run between the inner edges of the side lines.
    const int x0 = static_cast<int>(rcItem.left) + l / 2;
    CSkinRenderer::DrawLine(hDC, MakeRect(x0, rcItem.top, x0, rcItem.bottom), l, color, nBorderStyle);
    const int innerLeft = static_cast<int>(rcItem.left) + l;
    const int innerRight = static_cast<int>(rcItem.right) - std::max(r, 0);
    if (t > 0) {
        const int y = static_cast<int>(rcItem.top) + t / 2;
        CSkinRenderer::DrawLine(hDC, MakeRect(innerLeft, y, innerRight, y), t, color, nBorderStyle);
    }
    if (r > 0) {
        const int x = static_cast<int>(rcItem.right) - (r + 1) / 2;
        CSkinRenderer::DrawLine(hDC, MakeRect(x, rcItem.top, x, rcItem.bottom), r, color, nBorderStyle);
    }
    if (b > 0) {
        const int y = static_cast<int>(rcItem.bottom) - (b + 1) / 2;
        CSkinRenderer::DrawLine(hDC, MakeRect(innerLeft, y, innerRight, y), b, color, nBorderStyle);
    }
}

void CControlUI::PaintAfter(HDC, const RECT&) {}
#endif

} // namespace SkinUI
