// A real window with the real window host, for control tests: the tree is
// bound to the CWindowHostUI of a native top-level window, laid out and
// painted by the host's own WM_PAINT (off-screen buffer copied to the
// window) and read back from the window's pixels. Input goes in as window
// messages, so the controls see the host's own mouse, focus, capture and
// timer handling; notifications are recorded by a listener.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/MakeControl.h"
#include "skinui/ContainerUI.h"
#include "skinui/Dib32.h"
#include "skinui/WindowHostUI.h"
#include "skinui/WindowWnd.h"

namespace hosttest {

using namespace SkinUI;
using testhost::Make;

struct Notification {
    std::wstring type;
    std::wstring sender;
    WPARAM wParam;
    LPARAM lParam;
};

// Delivers what is queued, through the host's pre-translation as the modal
// loop does.
inline void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!CWindowHostUI::TranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

class CHostWindow : public CWindowWnd, public INotifyUI {
public:
    // A popup at the screen's top left, shown without activation: under
    // Wine's X11 driver an activated top-level window is handed to the
    // window manager, and with none running (Xvfb) destroying it waits two
    // seconds for an answer.
    explicit CHostWindow(int width = 200, int height = 100)
    {
        Create(nullptr, L"host test", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 0, width, height);
        ui.Init(hWnd);
        ui.AddNotifyListener(this);
        ::ShowWindow(hWnd, SW_SHOWNOACTIVATE);
    }
    ~CHostWindow() override
    {
        ui.RemoveNotifyListener(this);
        if (hWnd != nullptr)
            DestroyWindow(hWnd);
        if (hCopyDC != nullptr)
            DeleteDC(hCopyDC);
        if (hCopy != nullptr)
            DeleteObject(hCopy);
    }

    LPCWSTR WindowClassName() const override { return L"PwHostTestWindow"; }
    UINT WindowClassStyle() const override { return CS_DBLCLKS; }
    LRESULT ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        LRESULT result = 0;
        if (ui.FilterMessage(message, wParam, lParam, result))
            return result;
        return CWindowWnd::ProcessWindowMessage(message, wParam, lParam);
    }
    void Notify(NotifyMsg& msg) override
    {
        notes.push_back({msg.sType, msg.pSender != nullptr ? msg.pSender->GetName() : std::wstring(), msg.wParam,
                         msg.lParam});
    }

    // Takes ownership of the tree (the host owns it from now on).
    void Attach(CControlUI* root) { ui.AttachRootControl(root); }
    CControlUI* GetRoot() const { return ui.GetRoot(); }

    // Sizes the client area and lets the host lay the tree out on its
    // paint. The host focuses the first tab stop on its first layout; the
    // tests begin with nothing focused.
    void Layout(int width, int height)
    {
        SetWindowPos(hWnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(hWnd, nullptr, FALSE);
        UpdateWindow(hWnd);
        if (!bSettled) {
            bSettled = true;
            ui.SetFocus(nullptr);
            notes.clear();
        }
    }

    // Repaints the whole window over a background of `clear` (the root's
    // back colour) and copies the window's pixels for Pixel().
    void Paint(DWORD clear = 0xFFFFFF)
    {
        if (!bSettled) {
            RECT rc;
            GetClientRect(hWnd, &rc);
            Layout(static_cast<int>(rc.right), static_cast<int>(rc.bottom));
        }
        ui.GetRoot()->SetBkColor(0xFF000000 | clear);
        InvalidateRect(hWnd, nullptr, FALSE);
        UpdateWindow(hWnd);
        RECT rc;
        GetClientRect(hWnd, &rc);
        if (hCopy == nullptr || szCopy.cx != rc.right || szCopy.cy != rc.bottom) {
            if (hCopyDC != nullptr)
                DeleteDC(hCopyDC);
            if (hCopy != nullptr)
                DeleteObject(hCopy);
            szCopy = MakeSize(static_cast<int>(rc.right), static_cast<int>(rc.bottom));
            hCopy = CreateDib32(static_cast<int>(szCopy.cx), static_cast<int>(szCopy.cy), &pCopyBits);
            hCopyDC = CreateCompatibleDC(nullptr);
            SelectObject(hCopyDC, hCopy);
        }
        HDC window = GetDC(hWnd);
        BitBlt(hCopyDC, 0, 0, static_cast<int>(szCopy.cx), static_cast<int>(szCopy.cy), window, 0, 0, SRCCOPY);
        ReleaseDC(hWnd, window);
        GdiFlush();
    }
    // The pixel as 0x00RRGGBB.
    DWORD Pixel(int x, int y) const { return pCopyBits[y * szCopy.cx + x] & 0x00FFFFFF; }
    // Pixels of a rectangle with this colour (text is anti-aliased: only
    // some of its pixels have the exact colour).
    int CountInRect(const RECT& rc, DWORD color) const
    {
        int n = 0;
        for (int y = rc.top; y < rc.bottom; ++y)
            n += CountInRow(y, rc.left, rc.right, color);
        return n;
    }
    int CountInRow(int y, int x0, int x1, DWORD color) const
    {
        int n = 0;
        for (int x = x0; x < x1; ++x)
            n += Pixel(x, y) == color ? 1 : 0;
        return n;
    }

    // Mouse input as the window receives it.
    void MouseMove(int x, int y) { ::SendMessageW(hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y)); }
    void ButtonDown(int x, int y) { ::SendMessageW(hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
    void ButtonUp(int x, int y) { ::SendMessageW(hWnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }
    void Click(int x, int y)
    {
        MouseMove(x, y);
        ButtonDown(x, y);
        ButtonUp(x, y);
    }
    void Click(CControlUI* control)
    {
        const RECT& rc = control->GetPos();
        Click(static_cast<int>((rc.left + rc.right) / 2), static_cast<int>((rc.top + rc.bottom) / 2));
    }

    // A running control timer elapses once (its native timer's WM_TIMER);
    // false when the control has no such timer running.
    bool FireTimer(CControlUI* control, UINT id)
    {
        UINT native = ui.NativeTimerId(control, id);
        if (native == 0)
            return false;
        ::SendMessageW(hWnd, WM_TIMER, native, 0);
        return true;
    }
    bool TimerRunning(CControlUI* control, UINT id) const { return ui.NativeTimerId(control, id) != 0; }

    // The shape of the cursor the thread shows now.
    static CursorShape Cursor()
    {
        HCURSOR current = GetCursor();
        if (current == LoadCursorW(nullptr, IDC_HAND))
            return kCursor_Hand;
        if (current == LoadCursorW(nullptr, IDC_IBEAM))
            return kCursor_IBeam;
        return kCursor_Arrow;
    }

    std::vector<std::wstring> NotesOfType(const std::wstring& type) const
    {
        std::vector<std::wstring> out;
        for (const Notification& n : notes) {
            if (n.type == type)
                out.push_back(n.sender);
        }
        return out;
    }

    CWindowHostUI ui;
    std::vector<Notification> notes;

private:
    bool bSettled = false;
    HBITMAP hCopy = nullptr;
    HDC hCopyDC = nullptr;
    DWORD* pCopyBits = nullptr;
    SIZE szCopy = {0, 0};
};

// A high-contrast colour scheme unlike the skin's (black window, yellow
// text, dark blue buttons) for the length of a test; the prefix's own
// colours come back when it ends. Wine cannot switch the mode itself on
// (SPI_SETHIGHCONTRAST fails there): tests force it on the host as well
// (CWindowHostUI::ForceHighContrast).
class CHighContrastScheme {
public:
    CHighContrastScheme()
    {
        for (int i = 0; i < kCount; ++i)
            saved[i] = GetSysColor(kKinds[i]);
        ok = SetSysColors(kCount, kKinds, kScheme) != FALSE;
    }
    ~CHighContrastScheme() { SetSysColors(kCount, kKinds, saved); }
    CHighContrastScheme(const CHighContrastScheme&) = delete;
    CHighContrastScheme& operator=(const CHighContrastScheme&) = delete;
    bool Set() const { return ok; }

private:
    static constexpr int kCount = 8;
    static constexpr int kKinds[kCount] = {COLOR_WINDOW,    COLOR_WINDOWTEXT,    COLOR_BTNFACE,  COLOR_BTNTEXT,
                                           COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT, COLOR_GRAYTEXT, COLOR_HOTLIGHT};
    static constexpr COLORREF kScheme[kCount] = {RGB(0, 0, 0),     RGB(255, 255, 0), RGB(0, 0, 96),
                                                 RGB(255, 255, 255), RGB(26, 235, 255), RGB(0, 0, 0),
                                                 RGB(63, 242, 63),  RGB(128, 128, 255)};
    COLORREF saved[kCount] = {};
    bool ok = false;
};

} // namespace hosttest
