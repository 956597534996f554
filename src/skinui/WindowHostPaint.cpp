// The window host's painting: the dirty area, layout before a paint, the
// off-screen buffer the tree is painted into, the focus ring, per-pixel
// layering with UpdateLayeredWindow, and the window-size messages that lead
// to a new layout.
#ifdef _WIN32
#include "skinui/WindowHostUI.h"

#include <algorithm>

#include "logging/Log.h"
#include "skinui/Dib32.h"
#include "skinui/SkinRenderer.h"
#include "skinui/SkinValues.h"

namespace SkinUI {

void CWindowHostUI::SetOpacity(BYTE opacity)
{
    if (hWndPaint == nullptr)
        return;
    typedef BOOL(WINAPI * SetLayeredProc)(HWND, COLORREF, BYTE, DWORD);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    auto proc = user32 != nullptr ? reinterpret_cast<SetLayeredProc>(
                                        reinterpret_cast<void*>(GetProcAddress(user32, "SetLayeredWindowAttributes")))
                                  : nullptr;
    if (proc == nullptr)
        return;
    LONG style = GetWindowLongW(hWndPaint, GWL_EXSTYLE);
    SetWindowLongW(hWndPaint, GWL_EXSTYLE, style | WS_EX_LAYERED);
    proc(hWndPaint, 0, opacity, LWA_ALPHA);
}

void CWindowHostUI::SetLayered(bool on)
{
    if (hWndPaint == nullptr || on == bLayered)
        return;
    if ((GetWindowLongW(hWndPaint, GWL_STYLE) & WS_CHILD) != 0)
        return;
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr || GetProcAddress(user32, "UpdateLayeredWindow") == nullptr)
        return;
    bLayered = on;
    LONG style = GetWindowLongW(hWndPaint, GWL_EXSTYLE);
    if (on) {
        SetWindowLongW(hWndPaint, GWL_EXSTYLE, style | WS_EX_LAYERED);
        ::SetTimer(hWndPaint, kLayeredTimerId, 10, nullptr);
    } else {
        ::KillTimer(hWndPaint, kLayeredTimerId);
        SetWindowLongW(hWndPaint, GWL_EXSTYLE, style & ~WS_EX_LAYERED);
    }
    DropOffscreen();
    if (pRoot != nullptr)
        pRoot->Invalidate();
}

// ---- Painting -------------------------------------------------------

void CWindowHostUI::Invalidate(const RECT& rc)
{
    if (hWndPaint == nullptr)
        return;
    if (bLayered) {
        RECT client;
        GetClientRect(hWndPaint, &client);
        RECT clipped = RectIntersect(rc, client);
        if (RectEmpty(rcLayeredDirty))
            rcLayeredDirty = clipped;
        else if (!RectEmpty(clipped))
            UnionRect(&rcLayeredDirty, &rcLayeredDirty, &clipped);
    }
    ::InvalidateRect(hWndPaint, &rc, FALSE);
}

void CWindowHostUI::DropOffscreen()
{
    if (hDcOffscreen != nullptr) {
        if (hbmpOffscreenOld != nullptr)
            SelectObject(hDcOffscreen, hbmpOffscreenOld);
        DeleteDC(hDcOffscreen);
    }
    if (hbmpOffscreen != nullptr)
        DeleteObject(hbmpOffscreen);
    hDcOffscreen = nullptr;
    hbmpOffscreen = nullptr;
    hbmpOffscreenOld = nullptr;
    pOffscreenBits = nullptr;
    szOffscreen = MakeSize(0, 0);
}

// ---- Focus ring -----------------------------------------------------

namespace {

// The ring: two pixels wide, one pixel clear of the control, with rounded
// corners.
constexpr int kRingWidth = 2;
constexpr int kRingGap = 1;
constexpr int kRingRound = 6;

} // namespace

// Around the control, or around the part of it the skin names with
// focusrect="l,t,r,b" (relative to the control, like an image's dest): a
// check box whose box is smaller than the control.
RECT CWindowHostUI::FocusRingRect(CControlUI* control) const
{
    RECT rc = control->GetPos();
    const std::wstring part = control->CustomAttribute(L"focusrect");
    if (!part.empty()) {
        const RECT area = ParseRect(part);
        rc = MakeRect(rc.left + area.left, rc.top + area.top, rc.left + area.right, rc.top + area.bottom);
    }
    InflateRect(&rc, kRingWidth + kRingGap, kRingWidth + kRingGap);
    return rc;
}

void CWindowHostUI::InvalidateFocusRing(CControlUI* control)
{
    if (bFocusCues && control != nullptr && control->IsVisible())
        Invalidate(FocusRingRect(control));
}

void CWindowHostUI::ShowFocusCues(bool show)
{
    if (bFocusCues == show)
        return;
    if (!show)
        InvalidateFocusRing(pFocus);
    bFocusCues = show;
    InvalidateFocusRing(pFocus);
}

// Drawn over the whole tree, so no neighbour covers it; the buffer copy
// takes only the part inside the painted area.
void CWindowHostUI::PaintFocusRing(HDC hdc)
{
    const bool system = UsesSystemColors();
    const DWORD color = system ? SystemColor(COLOR_WINDOWTEXT) : dwFocusRingColor;
    if (!(bFocusCues || system) || pFocus == nullptr || !pFocus->IsVisible() || RectEmpty(pFocus->GetPos()) ||
        color == 0)
        return;
    CSkinRenderer::DrawRoundRect(hdc, FocusRingRect(pFocus), kRingWidth, kRingRound, kRingRound, color);
}

void CWindowHostUI::ReadHighContrast()
{
    HIGHCONTRASTW hc = {};
    hc.cbSize = sizeof(hc);
    bool on = bHighContrastForced;
    if (!on && SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(hc), &hc, 0))
        on = (hc.dwFlags & HCF_HIGHCONTRASTON) != 0;
    if (on == UsesSystemColors())
        return;
    UseSystemColors(on);
    RepaintWithChildren();
}

// The native windows of the controls (an edit box while it edits) take
// their colours from the host as well, so they repaint with it.
void CWindowHostUI::RepaintWithChildren()
{
    if (hWndPaint != nullptr)
        RedrawWindow(hWndPaint, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// WM_SYSCOLORCHANGE, WM_SETTINGCHANGE: the mode or the colours may have
// changed; the window repaints either way. Not handled: the window
// procedure goes on.
bool CWindowHostUI::OnSystemColorsChanged(WPARAM, LPARAM, LRESULT&)
{
    ReadHighContrast();
    if (UsesSystemColors())
        RepaintWithChildren();
    return false;
}

// The first tab stop, or the control that asked for the focus, gets it
// before the first paint after a new tree or a re-focus request.
void CWindowHostUI::FocusNeededControl()
{
    if (!bFocusNeeded)
        return;
    bFocusNeeded = false;
    if (pFocusNeededControl != nullptr) {
        CControlUI* target = pFocusNeededControl;
        pFocusNeededControl = nullptr;
        SetFocus(target, false);
    } else if (pFocus == nullptr) {
        SetNextTabStop(true);
    }
}

// The whole tree when the root asked for a layout (dropping the buffers,
// whose size may change), else only the controls that asked; the first
// layout after a new tree sends "windowinit".
void CWindowHostUI::LayOut(const RECT& rcClient)
{
    if (pRoot->IsUpdateNeeded()) {
        DropOffscreen();
        RECT rc = rcClient;
        if (bLayered) {
            rc.left += rcLayeredInset.left;
            rc.top += rcLayeredInset.top;
            rc.right -= rcLayeredInset.right;
            rc.bottom -= rcLayeredInset.bottom;
        }
        pRoot->SetPos(rc, true);
    } else {
        std::vector<CControlUI*> dirty;
        pRoot->LookupControl(
            [](CControlUI* c, void* data) -> CControlUI* {
                if (c->IsUpdateNeeded())
                    static_cast<std::vector<CControlUI*>*>(data)->push_back(c);
                return nullptr;
            },
            &dirty, kFind_Visible | kFind_MeFirst);
        for (CControlUI* c : dirty) {
            if (c->IsUpdateNeeded())
                c->SetPos(c->GetPos(), true);
        }
    }
    if (bFirstLayout) {
        bFirstLayout = false;
        EmitNotify(pRoot, L"windowinit", 0, 0, false, false);
    }
}

// The off-screen buffer of the client size (a 32-bit DIB section for a
// layered window), made anew when the size changed. False without one.
bool CWindowHostUI::EnsureOffscreen(HDC compatible, const RECT& rcClient)
{
    const int cx = RectWidth(rcClient), cy = RectHeight(rcClient);
    if (hDcOffscreen != nullptr && (szOffscreen.cx != cx || szOffscreen.cy != cy))
        DropOffscreen();
    if (hDcOffscreen == nullptr && cx > 0 && cy > 0) {
        hDcOffscreen = CreateCompatibleDC(compatible);
        if (bLayered)
            hbmpOffscreen = CreateDib32(cx, cy, &pOffscreenBits);
        else
            hbmpOffscreen = CreateCompatibleBitmap(compatible, cx, cy);
        if (hDcOffscreen == nullptr || hbmpOffscreen == nullptr) {
            LOG_INFO("off-screen buffer of %dx%d could not be made", cx, cy);
            DropOffscreen();
        } else {
            hbmpOffscreenOld = static_cast<HBITMAP>(SelectObject(hDcOffscreen, hbmpOffscreen));
            szOffscreen = MakeSize(cx, cy);
        }
    }
    return hDcOffscreen != nullptr;
}

// Paints the area into the buffer, then onto the window: copied for a plain
// window, handed to UpdateLayeredWindow for a layered one (over the
// layered background image, on pixels cleared to transparent first).
void CWindowHostUI::PaintOffscreen(HDC hdc, const RECT& rcClient, const RECT& rcPaint)
{
    const int saved = SaveDC(hDcOffscreen);
    if (bLayered && pOffscreenBits != nullptr) {
        // Only pixels of the buffer: the dirty area may be older than a
        // resize that made the window smaller.
        const RECT rcClear = RectIntersect(rcPaint, MakeRect(0, 0, szOffscreen.cx, szOffscreen.cy));
        for (LONG y = rcClear.top; y < rcClear.bottom; ++y)
            std::fill(pOffscreenBits + y * szOffscreen.cx + rcClear.left,
                      pOffscreenBits + y * szOffscreen.cx + rcClear.right, 0u);
        if (!layeredImage.Empty())
            CSkinRenderer::DrawImage(hDcOffscreen, this, rcClient, rcPaint, layeredImage.Record());
    }
    pRoot->Paint(hDcOffscreen, rcPaint, nullptr);
    for (CControlUI* control : std::vector<CControlUI*>(vecPostPaint))
        control->Paint(hDcOffscreen, rcPaint, nullptr);
    PaintFocusRing(hDcOffscreen);
    RestoreDC(hDcOffscreen, saved);
    if (bLayered)
        PresentLayered();
    else
        BitBlt(hdc, rcPaint.left, rcPaint.top, RectWidth(rcPaint), RectHeight(rcPaint), hDcOffscreen, rcPaint.left,
               rcPaint.top, SRCCOPY);
}

void CWindowHostUI::PresentLayered()
{
    typedef BOOL(WINAPI * UpdateLayeredProc)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF, BLENDFUNCTION*,
                                            DWORD);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    auto proc = reinterpret_cast<UpdateLayeredProc>(
        reinterpret_cast<void*>(GetProcAddress(user32, "UpdateLayeredWindow")));
    RECT rcWnd;
    GetWindowRect(hWndPaint, &rcWnd);
    POINT ptPos = {rcWnd.left, rcWnd.top};
    SIZE size = szOffscreen;
    POINT ptSrc = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, nLayeredOpacity, AC_SRC_ALPHA};
    if (proc != nullptr)
        proc(hWndPaint, hDcPaint, &ptPos, &size, hDcOffscreen, &ptSrc, 0, &blend, ULW_ALPHA);
    rcLayeredDirty = MakeRect(0, 0, 0, 0);
}

// The show-dirty frame: a one-pixel red outline of the painted area.
void CWindowHostUI::FrameDirtyArea(HDC hdc, const RECT& rcPaint)
{
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(220, 0, 0));
    HGDIOBJ oldPen = SelectObject(hdc, pen);
    HGDIOBJ oldBrush = SelectObject(hdc, GetStockObject(HOLLOW_BRUSH));
    Rectangle(hdc, rcPaint.left, rcPaint.top, rcPaint.right, rcPaint.bottom);
    SelectObject(hdc, oldBrush);
    SelectObject(hdc, oldPen);
    DeleteObject(pen);
}

// WM_PAINT: (layout), the tree into the buffer, the buffer onto the window.
bool CWindowHostUI::OnPaint(WPARAM, LPARAM, LRESULT&)
{
    RECT rcPaint = {0, 0, 0, 0};
    if (bLayered) {
        rcPaint = rcLayeredDirty;
        if (RectEmpty(rcPaint)) {
            ValidateRect(hWndPaint, nullptr);
            return true;
        }
    } else if (!GetUpdateRect(hWndPaint, &rcPaint, FALSE)) {
        return true;
    }
    PAINTSTRUCT ps;
    if (pRoot == nullptr) {
        BeginPaint(hWndPaint, &ps);
        EndPaint(hWndPaint, &ps);
        return true;
    }
    RECT rcClient;
    GetClientRect(hWndPaint, &rcClient);
    FocusNeededControl();
    if (bUpdateNeeded) {
        bUpdateNeeded = false;
        if (!RectEmpty(rcClient))
            LayOut(rcClient);
        // Layout may have invalidated more.
        if (!bLayered)
            GetUpdateRect(hWndPaint, &rcPaint, FALSE);
        else
            rcPaint = rcLayeredDirty;
    }
    BeginPaint(hWndPaint, &ps);
    if (!bLayered)
        UnionRect(&rcPaint, &rcPaint, &ps.rcPaint);
    rcPaint = RectIntersect(rcPaint, rcClient);
    if ((bOffscreenPaint || bLayered) && EnsureOffscreen(ps.hdc, rcClient)) {
        PaintOffscreen(ps.hdc, rcClient, rcPaint);
    } else {
        const int saved = SaveDC(ps.hdc);
        pRoot->Paint(ps.hdc, rcPaint, nullptr);
        IntersectClipRect(ps.hdc, rcPaint.left, rcPaint.top, rcPaint.right, rcPaint.bottom);
        PaintFocusRing(ps.hdc);
        RestoreDC(ps.hdc, saved);
    }
    if (bShowDirty && !bLayered)
        FrameDirtyArea(ps.hdc, rcPaint);
    EndPaint(hWndPaint, &ps);
    // A layout during painting may have asked for another pass.
    if (bUpdateNeeded)
        InvalidateRect(hWndPaint, nullptr, FALSE);
    return true;
}

// WM_PRINTCLIENT: the whole tree into the given device context.
bool CWindowHostUI::OnPrintClient(WPARAM wParam, LPARAM, LRESULT& result)
{
    if (pRoot == nullptr)
        return false;
    RECT rcClient;
    GetClientRect(hWndPaint, &rcClient);
    HDC dc = reinterpret_cast<HDC>(wParam);
    const int saved = SaveDC(dc);
    pRoot->Paint(dc, rcClient, nullptr);
    PaintFocusRing(dc);
    RestoreDC(dc, saved);
    result = 0;
    return true;
}

// WM_ERASEBKGND: nothing is erased; the paint covers everything.
bool CWindowHostUI::OnEraseBackground(WPARAM, LPARAM, LRESULT& result)
{
    result = 1;
    return true;
}

// WM_SIZE: the focused control hears of it, and the tree lays out anew.
bool CWindowHostUI::OnSize(WPARAM, LPARAM, LRESULT&)
{
    if (pFocus != nullptr)
        SendEvent(pFocus, kEvent_WindowSize);
    if (pRoot != nullptr)
        pRoot->NeedUpdate();
    bUpdateNeeded = true;
    InvalidateRect(hWndPaint, nullptr, FALSE);
    return true;
}

// WM_GETMINMAXINFO: the skin's tracking sizes where they are set. Not
// handled: the window procedure goes on.
bool CWindowHostUI::OnGetMinMaxInfo(WPARAM, LPARAM lParam, LRESULT&)
{
    auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
    if (info == nullptr)
        return false;
    if (szMinWindow.cx > 0)
        info->ptMinTrackSize.x = szMinWindow.cx;
    if (szMinWindow.cy > 0)
        info->ptMinTrackSize.y = szMinWindow.cy;
    if (szMaxWindow.cx > 0)
        info->ptMaxTrackSize.x = szMaxWindow.cx;
    if (szMaxWindow.cy > 0)
        info->ptMaxTrackSize.y = szMaxWindow.cy;
    return false;
}

} // namespace SkinUI

#endif // _WIN32
