// The window host's input: the message filter (one small handler per
// message, dispatched from one table), mouse tracking, hover and tooltips,
// capture and clicks, keys and Alt shortcuts, the pre-translation the modal
// loop asks for, and the messages native child windows send to the host.
#ifdef _WIN32
#include "skinui/WindowHostUI.h"

#include <windowsx.h>

#include <algorithm>
#include <cwctype>

#include "logging/Log.h"

namespace SkinUI {

namespace {

POINT PointOf(LPARAM lParam)
{
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    return pt;
}

bool IsReflectedMessage(UINT message)
{
    return message == WM_COMMAND || message == WM_NOTIFY || message == WM_CTLCOLOREDIT ||
           message == WM_CTLCOLORSTATIC;
}

} // namespace

const CWindowHostUI::MessageRoute CWindowHostUI::kMessageRoutes[] = {
    {kMsgAsyncNotify, &CWindowHostUI::OnAsyncNotify},
    {WM_CLOSE, &CWindowHostUI::OnClose},
    {WM_DESTROY, &CWindowHostUI::OnDestroy},
    {WM_ERASEBKGND, &CWindowHostUI::OnEraseBackground},
    {WM_PAINT, &CWindowHostUI::OnPaint},
    {WM_PRINTCLIENT, &CWindowHostUI::OnPrintClient},
    {WM_SYSCOLORCHANGE, &CWindowHostUI::OnSystemColorsChanged},
    {WM_SETTINGCHANGE, &CWindowHostUI::OnSystemColorsChanged},
    {WM_GETMINMAXINFO, &CWindowHostUI::OnGetMinMaxInfo},
    {WM_SIZE, &CWindowHostUI::OnSize},
    {WM_TIMER, &CWindowHostUI::OnTimer},
    {WM_MOUSEHOVER, &CWindowHostUI::OnMouseHover},
    {WM_MOUSELEAVE, &CWindowHostUI::OnMouseLeave},
    {WM_MOUSEMOVE, &CWindowHostUI::OnMouseMove},
    {WM_LBUTTONDOWN, &CWindowHostUI::OnLButtonDown},
    {WM_LBUTTONDBLCLK, &CWindowHostUI::OnLButtonDblClk},
    {WM_LBUTTONUP, &CWindowHostUI::OnLButtonUp},
    {WM_RBUTTONDOWN, &CWindowHostUI::OnRButtonDown},
    {WM_RBUTTONUP, &CWindowHostUI::OnRButtonUp},
    {WM_CONTEXTMENU, &CWindowHostUI::OnContextMenu},
    {WM_MOUSEWHEEL, &CWindowHostUI::OnMouseWheel},
    {WM_SETCURSOR, &CWindowHostUI::OnSetCursor},
    {WM_KEYDOWN, &CWindowHostUI::OnKeyDown},
    {WM_KEYUP, &CWindowHostUI::OnKeyUp},
    {WM_CHAR, &CWindowHostUI::OnChar},
    {WM_KILLFOCUS, &CWindowHostUI::OnKillFocus},
    {WM_MOUSEACTIVATE, &CWindowHostUI::OnMouseActivate},
    {WM_GETOBJECT, &CWindowHostUI::OnGetObject},
    {kMsgAccessibleAction, &CWindowHostUI::OnAccessibleAction},
};

// The message filters first (a mouse message they take still moves the
// recorded mouse point), then this host's handler for the message.
bool CWindowHostUI::FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (hWndPaint == nullptr)
        return false;
    for (IMessageFilterUI* filter : std::vector<IMessageFilterUI*>(vecMessageFilters)) {
        bool handled = false;
        LRESULT r = filter->FilterMessage(message, wParam, lParam, handled);
        if (handled) {
            result = r;
            RecordMousePoint(message, lParam);
            return true;
        }
    }
    if (IsReflectedMessage(message))
        return OnReflected(message, wParam, lParam, result);
    for (const MessageRoute& route : kMessageRoutes) {
        if (route.message == message)
            return (this->*route.handler)(wParam, lParam, result);
    }
    return false;
}

// The screen point a message carries (context menu, wheel), in client
// coordinates.
POINT CWindowHostUI::ClientPointOf(LPARAM lParam) const
{
    POINT pt = PointOf(lParam);
    ScreenToClient(hWndPaint, &pt);
    return pt;
}

void CWindowHostUI::RecordMousePoint(UINT message, LPARAM lParam)
{
    if (message == WM_MOUSEMOVE || message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK ||
        message == WM_LBUTTONUP) {
        ptLastMousePos = PointOf(lParam);
        SetMousePos(ptLastMousePos);
    }
}

// ---- Mouse ----------------------------------------------------------

void CWindowHostUI::HideToolTip()
{
    if (hwndTooltip != nullptr && IsWindow(hwndTooltip))
        SendMessageW(hwndTooltip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&toolTip));
}

// Asks once for the hover and leave messages, with the tooltip's delay as
// hover time when a tooltip exists.
void CWindowHostUI::TrackMouseOnce()
{
    if (bMouseTracking)
        return;
    TRACKMOUSEEVENT tme = {};
    tme.cbSize = sizeof(tme);
    tme.dwFlags = TME_HOVER | TME_LEAVE;
    tme.hwndTrack = hWndPaint;
    tme.dwHoverTime = hwndTooltip == nullptr
                          ? uHoverTime
                          : static_cast<DWORD>(SendMessageW(hwndTooltip, TTM_GETDELAYTIME, TTDT_INITIAL, 0));
    TrackMouseEvent(&tme);
    bMouseTracking = true;
}

// WM_MOUSEMOVE: enter and leave when the control under the mouse changes,
// then a move to the pushed control, else to the one under the mouse. The
// move to (-1, -1) that OnMouseLeave makes asks for no tracking: the mouse
// is over another window, and tracking it here would take the system's one
// tracking from that window, whose leave would ask again, without end.
bool CWindowHostUI::OnMouseMove(WPARAM, LPARAM lParam, LRESULT&)
{
    if (lParam != static_cast<LPARAM>(-1))
        TrackMouseOnce();
    const POINT pt = PointOf(lParam);
    ptLastMousePos = pt;
    SetMousePos(pt);
    CControlUI* hit = LookupControl(pt);
    if (hit != pEventHover) {
        if (pEventHover != nullptr) {
            CControlUI* old = pEventHover;
            pEventHover = nullptr;
            SendEvent(old, kEvent_MouseLeave);
            for (CControlUI* c : std::vector<CControlUI*>(vecMouseLeaveNeeded)) {
                if (c != old)
                    SendEvent(c, kEvent_MouseLeave);
            }
            HideToolTip();
        }
        pEventHover = hit;
        if (hit != nullptr)
            SendEvent(hit, kEvent_MouseEnter);
    }
    if (pEventClick != nullptr)
        SendEvent(pEventClick, kEvent_MouseMove);
    else if (pEventHover != nullptr)
        SendEvent(pEventHover, kEvent_MouseMove);
    return true;
}

// WM_MOUSEHOVER: a hover event, and the tooltip of the control under the
// point when it has one.
bool CWindowHostUI::OnMouseHover(WPARAM, LPARAM lParam, LRESULT&)
{
    bMouseTracking = false;
    const POINT pt = PointOf(lParam);
    CControlUI* hit = LookupControl(pt);
    if (hit == nullptr)
        return true;
    if (pEventHover != nullptr)
        SendEvent(pEventHover, kEvent_MouseHover);
    const std::wstring tip = ExpandLangTokens(hit->GetToolTip());
    if (!tip.empty())
        ShowToolTip(hit, pt, tip);
    return true;
}

// The tooltip window is made once; its one tool (the host window) gets the
// control's text, rectangle and width and is shown in tracking mode at the
// mouse. The text lives in the host: the tool record points to it.
void CWindowHostUI::ShowToolTip(CControlUI* control, POINT pt, const std::wstring& text)
{
    if (hwndTooltip == nullptr) {
        hwndTooltip = CreateWindowExW(0, L"tooltips_class32", nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hWndPaint,
                                      nullptr, GetModule(), nullptr);
        if (hwndTooltip == nullptr) {
            LOG_INFO("CreateWindowExW(tooltips_class32) failed with error %lu",
                     static_cast<unsigned long>(GetLastError()));
            return;
        }
        toolTip = {};
        toolTip.cbSize = TTTOOLINFOW_V1_SIZE;
        toolTip.uFlags = TTF_IDISHWND;
        toolTip.hwnd = hWndPaint;
        toolTip.uId = reinterpret_cast<UINT_PTR>(hWndPaint);
        toolTip.hinst = GetModule();
        toolTip.lpszText = const_cast<LPWSTR>(L"");
        toolTip.rect = control->GetPos();
        SendMessageW(hwndTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&toolTip));
    }
    strToolTipText = text;
    toolTip.lpszText = const_cast<LPWSTR>(strToolTipText.c_str());
    toolTip.rect = control->GetPos();
    SendMessageW(hwndTooltip, TTM_SETMAXTIPWIDTH, 0, control->GetToolTipWidth());
    SendMessageW(hwndTooltip, TTM_SETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&toolTip));
    POINT screen = pt;
    ClientToScreen(hWndPaint, &screen);
    SendMessageW(hwndTooltip, TTM_TRACKPOSITION, 0, MAKELPARAM(screen.x, screen.y));
    SendMessageW(hwndTooltip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&toolTip));
}

std::wstring CWindowHostUI::ShownToolTipText() const
{
    return hwndTooltip != nullptr && toolTip.lpszText != nullptr ? std::wstring(toolTip.lpszText) : std::wstring();
}

// WM_MOUSELEAVE: the tooltip goes; the mouse state is brought up to date by
// a move to where the cursor is now, or to (-1, -1) when it left the window.
bool CWindowHostUI::OnMouseLeave(WPARAM, LPARAM, LRESULT&)
{
    HideToolTip();
    if (!bMouseTracking)
        return true;
    bMouseTracking = false;
    POINT pt;
    RECT rc;
    GetCursorPos(&pt);
    GetWindowRect(hWndPaint, &rc);
    if (GetActiveWindow() == hWndPaint && PtInRect(&rc, pt)) {
        ScreenToClient(hWndPaint, &pt);
        SendMessageW(hWndPaint, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
    } else {
        SendMessageW(hWndPaint, WM_MOUSEMOVE, 0, static_cast<LPARAM>(-1));
    }
    return true;
}

// WM_LBUTTONDOWN: the control under the point is pushed, focused and gets
// the capture and a button-down event.
bool CWindowHostUI::OnLButtonDown(WPARAM wParam, LPARAM lParam, LRESULT&)
{
    CControlUI* hit = PressedControl(lParam, true);
    if (hit == nullptr)
        return true;
    pEventClick = hit;
    hit->SetFocus();
    SetCapture();
    SendEvent(hit, kEvent_ButtonDown, wParam, lParam);
    return true;
}

// WM_LBUTTONDBLCLK: as a press, with a double-click event.
bool CWindowHostUI::OnLButtonDblClk(WPARAM wParam, LPARAM lParam, LRESULT&)
{
    CControlUI* hit = PressedControl(lParam, false);
    if (hit == nullptr)
        return true;
    SetCapture();
    pEventClick = hit;
    SendEvent(hit, kEvent_DblClick, wParam, lParam);
    return true;
}

// WM_LBUTTONUP: the capture ends; the pushed control gets the button-up.
bool CWindowHostUI::OnLButtonUp(WPARAM wParam, LPARAM lParam, LRESULT&)
{
    ptLastMousePos = PointOf(lParam);
    SetMousePos(ptLastMousePos);
    ReleaseCapture();
    if (pEventClick == nullptr)
        return true;
    CControlUI* click = pEventClick;
    SendEvent(click, kEvent_ButtonUp, wParam, lParam);
    pEventClick = nullptr;
    return true;
}

// WM_RBUTTONDOWN: as a left press, with a right-button event.
bool CWindowHostUI::OnRButtonDown(WPARAM wParam, LPARAM lParam, LRESULT&)
{
    CControlUI* hit = PressedControl(lParam, false);
    if (hit == nullptr)
        return true;
    hit->SetFocus();
    SetCapture();
    pEventClick = hit;
    SendEvent(hit, kEvent_RButtonDown, wParam, lParam);
    return true;
}

// WM_RBUTTONUP: the capture ends; the pushed control gets a button-up.
bool CWindowHostUI::OnRButtonUp(WPARAM wParam, LPARAM lParam, LRESULT&)
{
    ReleaseCapture();
    if (pEventClick != nullptr) {
        CControlUI* click = pEventClick;
        pEventClick = nullptr;
        SendEvent(click, kEvent_ButtonUp, wParam, lParam);
    }
    return true;
}

// WM_CONTEXTMENU: a context-menu event to the pushed control, which the
// event's lParam names.
bool CWindowHostUI::OnContextMenu(WPARAM wParam, LPARAM lParam, LRESULT&)
{
    if (pRoot == nullptr)
        return false;
    ptLastMousePos = ClientPointOf(lParam);
    if (pEventClick == nullptr)
        return false;
    ReleaseCapture();
    CControlUI* click = pEventClick;
    pEventClick = nullptr;
    SendEvent(click, kEvent_ContextMenu, wParam, reinterpret_cast<LPARAM>(click));
    return true;
}

// WM_MOUSEWHEEL: to the control under the pointer (wParam 1 towards the
// user), then a move at the last point refreshes the hover states.
bool CWindowHostUI::OnMouseWheel(WPARAM wParam, LPARAM lParam, LRESULT&)
{
    if (pRoot == nullptr)
        return false;
    ptLastMousePos = ClientPointOf(lParam);
    CControlUI* hit = LookupControl(ptLastMousePos);
    if (hit == nullptr)
        return false;
    const int delta = static_cast<short>(HIWORD(wParam));
    SendEvent(hit, kEvent_ScrollWheel, delta < 0 ? 1 : 0, lParam);
    SendMessageW(hWndPaint, WM_MOUSEMOVE, 0, MAKELPARAM(ptLastMousePos.x, ptLastMousePos.y));
    return true;
}

// WM_SETCURSOR in the client area without capture: the control under the
// cursor chooses the cursor.
bool CWindowHostUI::OnSetCursor(WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (LOWORD(lParam) != HTCLIENT || bMouseCapture)
        return false;
    POINT pt;
    GetCursorPos(&pt);
    ScreenToClient(hWndPaint, &pt);
    CControlUI* hit = LookupControl(pt);
    if (hit == nullptr)
        return false;
    SendEvent(hit, kEvent_SetCursor, wParam, lParam);
    result = TRUE;
    return true;
}

// WM_MOUSEACTIVATE: a no-activate window does not take activation.
bool CWindowHostUI::OnMouseActivate(WPARAM, LPARAM, LRESULT& result)
{
    if (!bNoActivate)
        return false;
    result = MA_NOACTIVATE;
    return true;
}

// A press of a mouse button ends the keyboard's focus ring.
CControlUI* CWindowHostUI::PressedControl(LPARAM lParam, bool trackMouse)
{
    ShowFocusCues(false);
    if (!bNoActivate)
        ::SetFocus(hWndPaint);
    POINT pt = PointOf(lParam);
    ptLastMousePos = pt;
    if (trackMouse)
        SetMousePos(pt);
    return LookupControl(pt);
}

// ---- Keys -----------------------------------------------------------

// WM_KEYDOWN, WM_KEYUP, WM_CHAR: to the focused control; the key up goes to
// the control that got the key down.
bool CWindowHostUI::OnKeyDown(WPARAM wParam, LPARAM lParam, LRESULT&)
{
    if (pFocus == nullptr)
        return false;
    pEventKey = pFocus;
    SendEvent(pFocus, kEvent_KeyDown, wParam, lParam, static_cast<wchar_t>(wParam));
    return true;
}

bool CWindowHostUI::OnKeyUp(WPARAM wParam, LPARAM lParam, LRESULT&)
{
    if (pEventKey == nullptr)
        return false;
    SendEvent(pEventKey, kEvent_KeyUp, wParam, lParam, static_cast<wchar_t>(wParam));
    pEventKey = nullptr;
    return true;
}

bool CWindowHostUI::OnChar(WPARAM wParam, LPARAM lParam, LRESULT&)
{
    if (pFocus == nullptr)
        return false;
    SendEvent(pFocus, kEvent_Char, wParam, lParam, static_cast<wchar_t>(wParam));
    return true;
}

// WM_KILLFOCUS to a native child window of a control (an edit box's): that
// control is the focused one now. Not handled.
bool CWindowHostUI::OnKillFocus(WPARAM wParam, LPARAM, LRESULT&)
{
    auto it = mapNativeWindows.find(reinterpret_cast<HWND>(wParam));
    if (it != mapNativeWindows.end() && it->second != nullptr && it->second != pFocus)
        SetFocus(it->second, false);
    return false;
}

// WM_CLOSE: the mouse leaves, a pushed control is released, the focus is
// cleared (and handed back to the owner), the tooltip window goes. Not
// handled: the window procedure goes on.
bool CWindowHostUI::OnClose(WPARAM, LPARAM, LRESULT&)
{
    if (pEventHover != nullptr) {
        CControlUI* hover = pEventHover;
        pEventHover = nullptr;
        SendEvent(hover, kEvent_MouseLeave);
    }
    if (pEventClick != nullptr) {
        CControlUI* click = pEventClick;
        pEventClick = nullptr;
        SendEvent(click, kEvent_ButtonUp);
    }
    SetFocus(nullptr, false);
    if (GetActiveWindow() == hWndPaint) {
        HWND parent = GetWindow(hWndPaint, GW_OWNER);
        if ((GetWindowLongW(hWndPaint, GWL_STYLE) & WS_CHILD) != 0)
            parent = GetParent(hWndPaint);
        if (parent != nullptr)
            ::SetFocus(parent);
    }
    if (hwndTooltip != nullptr) {
        DestroyWindow(hwndTooltip);
        hwndTooltip = nullptr;
    }
    return false;
}

// Alt + letter: the first visible, enabled control with that shortcut (in
// tree order, either case) is focused and activated. A label never takes
// the focus: its shortcut goes to the next visible, enabled control after
// it that is neither a label nor a container.
bool CWindowHostUI::HandleShortcut(wchar_t ch)
{
    if (pRoot == nullptr)
        return false;
    struct Find {
        wchar_t ch;
        bool pickNext;
    } find = {static_cast<wchar_t>(towupper(ch)), false};
    CControlUI* target = pRoot->LookupControl(
        [](CControlUI* c, void* data) -> CControlUI* {
            auto* f = static_cast<Find*>(data);
            if (!c->IsEnabled())
                return nullptr;
            const bool label = c->GetClass() == L"Label";
            if (f->pickNext)
                return label || c->QueryControlInterface(L"IContainer") != nullptr ? nullptr : c;
            if (c->GetShortcut() == 0 || static_cast<wchar_t>(towupper(c->GetShortcut())) != f->ch)
                return nullptr;
            if (!label)
                return c;
            f->pickNext = true;
            return nullptr;
        },
        &find, kFind_Visible | kFind_MeFirst);
    if (target == nullptr)
        return false;
    SetFocusByNavigation(target);
    target->Activate();
    return true;
}

bool CWindowHostUI::TranslateKeyAccelerator(MSG* msg)
{
    for (ITranslateAcceleratorUI* translator : std::vector<ITranslateAcceleratorUI*>(vecTranslators)) {
        if (translator->TranslateAccelerator(msg) == S_OK)
            return true;
    }
    return false;
}

bool CWindowHostUI::TranslateMessage(const MSG* msg)
{
    if (msg == nullptr || msg->hwnd == nullptr)
        return false;
    UINT style = static_cast<UINT>(GetWindowLongW(msg->hwnd, GWL_STYLE));
    MSG copy = *msg;
    if ((style & WS_CHILD) != 0) {
        std::vector<CWindowHostUI*> hosts = LiveHosts();
        for (CWindowHostUI* host : hosts) {
            if (std::find(LiveHosts().begin(), LiveHosts().end(), host) == LiveHosts().end())
                continue;
            HWND hwnd = msg->hwnd;
            bool related = false;
            for (HWND walk = hwnd; walk != nullptr; walk = GetParent(walk)) {
                if (walk == host->hWndPaint) {
                    related = true;
                    break;
                }
                if ((GetWindowLongW(walk, GWL_STYLE) & WS_CHILD) == 0)
                    break;
            }
            if (!related)
                continue;
            if (host->TranslateKeyAccelerator(&copy))
                return true;
            LRESULT result = 0;
            if (host->PreFilterMessage(msg->message, msg->wParam, msg->lParam, result))
                return true;
        }
        return false;
    }
    for (CWindowHostUI* host : std::vector<CWindowHostUI*>(LiveHosts())) {
        if (host->hWndPaint == msg->hwnd) {
            if (host->TranslateKeyAccelerator(&copy))
                return true;
            LRESULT result = 0;
            return host->PreFilterMessage(msg->message, msg->wParam, msg->lParam, result);
        }
    }
    return false;
}

bool CWindowHostUI::PreFilterMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    // Tab, an arrow key or Alt: the user works with the keyboard, and the
    // focused control shows its ring.
    if ((message == WM_KEYDOWN && (wParam == VK_TAB || (wParam >= VK_LEFT && wParam <= VK_DOWN))) ||
        message == WM_SYSKEYDOWN)
        ShowFocusCues(true);
    for (IMessageFilterUI* filter : std::vector<IMessageFilterUI*>(vecPreFilters)) {
        bool handled = false;
        LRESULT r = filter->FilterMessage(message, wParam, lParam, handled);
        if (handled) {
            result = r;
            return true;
        }
    }
    switch (message) {
    case WM_KEYDOWN:
        if (wParam == VK_TAB) {
            if (pFocus != nullptr && pFocus->IsVisible() && pFocus->IsEnabled() &&
                pFocus->GetClass() == L"RichEdit" && pFocus->CustomAttribute(L"wanttab") == L"true")
                return false;
            SetNextTabStop((GetKeyState(VK_SHIFT) & 0x8000) == 0);
            return true;
        }
        break;
    case WM_SYSKEYDOWN:
        if (pFocus != nullptr)
            SendEvent(pFocus, kEvent_SysKey, wParam, lParam, static_cast<wchar_t>(wParam));
        break;
    case WM_SYSCHAR:
        return HandleShortcut(static_cast<wchar_t>(wParam));
    default:
        break;
    }
    return false;
}

// ---- Native child windows -------------------------------------------

// WM_COMMAND, WM_NOTIFY and the colour messages: reflected to the native
// child window that sent them as the same message plus 0x2000.
bool CWindowHostUI::OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (lParam == 0)
        return false;
    HWND child = nullptr;
    if (message == WM_NOTIFY) {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header != nullptr)
            child = header->hwndFrom;
    } else {
        child = reinterpret_cast<HWND>(lParam);
    }
    // Only a child of this window gets the reflected message: the range
    // above 0x2000 means other things to other windows.
    if (child == nullptr || !IsChild(hWndPaint, child))
        return false;
    result = SendMessageW(child, message + 0x2000, wParam, lParam);
    return true;
}

} // namespace SkinUI

#endif // _WIN32
