// The skinned window base: message dispatch, skin loading, hit testing,
// min/max info, the round-corner region and the message maps.
#ifdef _WIN32
#include "skinui/WindowImplBase.h"

#include <windowsx.h>

#include "logging/Log.h"
#include "skinui/SkinSource.h"
#include "skinui/SkinValues.h"

namespace SkinUI {

namespace {

const NotifyMapEntry kNoEntries[] = {PW_NOTIFY_END};

} // namespace

// ---- CNotifyPump ----------------------------------------------------

const NotifyMap CNotifyPump::kBaseMap = {nullptr, kNoEntries};

const NotifyMap* CNotifyPump::MessageMap() const { return &kBaseMap; }

bool CNotifyPump::AddVirtualWnd(const std::wstring& name, CNotifyPump* pump)
{
    if (pump == nullptr)
        return false;
    return mapVirtualWnd.emplace(LowerCase(name), pump).second;
}

bool CNotifyPump::RemoveVirtualWnd(const std::wstring& name) { return mapVirtualWnd.erase(LowerCase(name)) > 0; }

bool CNotifyPump::RunEntry(const NotifyMapEntry& entry, NotifyMsg& msg)
{
    if (entry.kind == 1 && entry.paramHandler != nullptr) {
        (this->*entry.paramHandler)(msg.wParam, msg.lParam);
        return true;
    }
    if (entry.kind == 2 && entry.notifyHandler != nullptr) {
        (this->*entry.notifyHandler)(msg);
        return true;
    }
    return false;
}

bool CNotifyPump::DispatchNotify(NotifyMsg& msg)
{
    if (!msg.sVirtualWnd.empty()) {
        auto it = mapVirtualWnd.find(LowerCase(msg.sVirtualWnd));
        if (it != mapVirtualWnd.end() && it->second != this)
            return it->second->DispatchNotify(msg);
    }
    const std::wstring sender = msg.pSender != nullptr ? msg.pSender->GetName() : std::wstring();
    for (const NotifyMap* map = MessageMap(); map != nullptr; map = map->base) {
        const NotifyMapEntry* any = nullptr;
        for (const NotifyMapEntry* e = map->entries; e != nullptr && e->type != nullptr; ++e) {
            if (msg.sType != e->type)
                continue;
            const wchar_t* control = e->control != nullptr ? e->control : L"";
            if (control[0] == 0) {
                if (any == nullptr)
                    any = e;
            } else if (sender == control) {
                return RunEntry(*e, msg);
            }
        }
        if (any != nullptr)
            return RunEntry(*any, msg);
    }
    return false;
}

// ---- WindowImplBase: message map ------------------------------------

const NotifyMapEntry WindowImplBase::kEntries[] = {
    PW_NOTIFY_HANDLER(L"click", L"", &WindowImplBase::HandleClick),
    PW_NOTIFY_END,
};
const NotifyMap WindowImplBase::kMap = {&CNotifyPump::kBaseMap, WindowImplBase::kEntries};

const NotifyMap* WindowImplBase::MessageMap() const { return &kMap; }

void WindowImplBase::Notify(NotifyMsg& msg) { DispatchNotify(msg); }

void WindowImplBase::HandleClick(NotifyMsg& msg)
{
    const std::wstring name = msg.pSender != nullptr ? msg.pSender->GetName() : std::wstring();
    if (name == L"closebtn")
        Close(1);
    else if (name == L"minbtn")
        SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    else if (name == L"maxbtn")
        SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    else if (name == L"restorebtn")
        SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
}

bool WindowImplBase::OnDefaultKey(WPARAM key)
{
    if (key == VK_ESCAPE) {
        Close(1);
        return true;
    }
    return false;
}

LRESULT WindowImplBase::FilterMessage(UINT message, WPARAM wParam, LPARAM, bool& handled)
{
    if (message == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE))
        handled = OnDefaultKey(wParam);
    return 0;
}

CControlUI* WindowImplBase::CreateCustomControl(const std::wstring&) { return nullptr; }

LONG WindowImplBase::GetStyle()
{
    LONG style = GetWindowLongW(hWnd, GWL_STYLE);
    return style & ~WS_CAPTION;
}

void WindowImplBase::OnWindowGone(HWND)
{
    host.RemovePreFilter(this);
    host.RemoveNotifyListener(this);
    host.ForgetControl(host.GetRoot());
    host.ReleaseWindowResources();
}

// ---- Dispatch -------------------------------------------------------

LRESULT WindowImplBase::ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    bool handled = true;
    switch (message) {
    case WM_CREATE: result = HandleCreateMessage(message, wParam, lParam, handled); break;
    case WM_CLOSE: result = HandleCloseMessage(message, wParam, lParam, handled); break;
    case WM_DESTROY: result = HandleDestroyMessage(message, wParam, lParam, handled); break;
    case WM_NCACTIVATE: result = HandleNcActivateMessage(message, wParam, lParam, handled); break;
    case WM_NCCALCSIZE: result = HandleNcCalcSizeMessage(message, wParam, lParam, handled); break;
    case WM_NCPAINT: result = HandleNcPaintMessage(message, wParam, lParam, handled); break;
    case WM_NCHITTEST: result = HandleNcHitTestMessage(message, wParam, lParam, handled); break;
    case WM_GETMINMAXINFO: result = HandleGetMinMaxInfoMessage(message, wParam, lParam, handled); break;
    case WM_MOUSEWHEEL: result = HandleMouseWheelMessage(message, wParam, lParam, handled); break;
    case WM_SIZE: result = HandleSizeMessage(message, wParam, lParam, handled); break;
    case WM_CHAR: result = HandleCharMessage(message, wParam, lParam, handled); break;
    case WM_SYSCOMMAND: result = HandleSysCommandMessage(message, wParam, lParam, handled); break;
    case WM_KEYDOWN: result = HandleKeyDownMessage(message, wParam, lParam, handled); break;
    case WM_KILLFOCUS: result = HandleKillFocusMessage(message, wParam, lParam, handled); break;
    case WM_SETFOCUS: result = HandleSetFocusMessage(message, wParam, lParam, handled); break;
    case WM_LBUTTONUP: result = HandleLButtonUpMessage(message, wParam, lParam, handled); break;
    case WM_LBUTTONDOWN: result = HandleLButtonDownMessage(message, wParam, lParam, handled); break;
    case WM_MOUSEMOVE: result = HandleMouseMoveMessage(message, wParam, lParam, handled); break;
    case WM_MOUSEHOVER: result = HandleMouseHoverMessage(message, wParam, lParam, handled); break;
    case WM_DPICHANGED: result = HandleDpiChangedMessage(message, wParam, lParam, handled); break;
    default: handled = false; break;
    }
    if (handled)
        return result;
    result = HandleOtherMessage(message, wParam, lParam, handled);
    if (handled)
        return result;
    if (host.FilterMessage(message, wParam, lParam, result))
        return result;
    return CWindowWnd::ProcessWindowMessage(message, wParam, lParam);
}

#define PW_NOT_HANDLED(name)                                                           \
    LRESULT WindowImplBase::name(UINT, WPARAM, LPARAM, bool& handled)                  \
    {                                                                                  \
        handled = false;                                                               \
        return 0;                                                                      \
    }
PW_NOT_HANDLED(HandleCloseMessage)
PW_NOT_HANDLED(HandleDestroyMessage)
PW_NOT_HANDLED(HandleMouseWheelMessage)
PW_NOT_HANDLED(HandleMouseHoverMessage)
PW_NOT_HANDLED(HandleCharMessage)
PW_NOT_HANDLED(HandleKeyDownMessage)
PW_NOT_HANDLED(HandleKillFocusMessage)
PW_NOT_HANDLED(HandleSetFocusMessage)
PW_NOT_HANDLED(HandleLButtonDownMessage)
PW_NOT_HANDLED(HandleLButtonUpMessage)
PW_NOT_HANDLED(HandleMouseMoveMessage)
PW_NOT_HANDLED(HandleOtherMessage)
#undef PW_NOT_HANDLED

LRESULT WindowImplBase::HandleNcActivateMessage(UINT, WPARAM wParam, LPARAM, bool& handled)
{
    if (IsIconic(hWnd)) {
        handled = false;
        return 0;
    }
    return wParam == 0 ? TRUE : FALSE;
}

LRESULT WindowImplBase::HandleNcCalcSizeMessage(UINT, WPARAM wParam, LPARAM lParam, bool&)
{
    if (wParam != 0 && lParam != 0 && IsZoomed(hWnd)) {
        auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam);
        MONITORINFO mi = {};
        mi.cbSize = sizeof(mi);
        GetMonitorInfoW(MonitorFromWindow(hWnd, MONITOR_DEFAULTTONEAREST), &mi);
        params->rgrc[0] = mi.rcWork;
    }
    // Otherwise the whole window is client area.
    return 0;
}

LRESULT WindowImplBase::HandleNcPaintMessage(UINT, WPARAM, LPARAM, bool&) { return 0; }

LRESULT WindowImplBase::HandleNcHitTestMessage(UINT, WPARAM, LPARAM lParam, bool&)
{
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(hWnd, &pt);
    RECT rcClient;
    GetClientRect(hWnd, &rcClient);
    if (!IsZoomed(hWnd)) {
        RECT box = host.GetSizeBox();
        if (pt.y < rcClient.top + box.top) {
            if (pt.x < rcClient.left + box.left)
                return HTTOPLEFT;
            if (pt.x > rcClient.right - box.right)
                return HTTOPRIGHT;
            return HTTOP;
        }
        if (pt.y > rcClient.bottom - box.bottom) {
            if (pt.x < rcClient.left + box.left)
                return HTBOTTOMLEFT;
            if (pt.x > rcClient.right - box.right)
                return HTBOTTOMRIGHT;
            return HTBOTTOM;
        }
        if (pt.x < rcClient.left + box.left)
            return HTLEFT;
        if (pt.x > rcClient.right - box.right)
            return HTRIGHT;
    }
    RECT caption = host.GetCaptionRect();
    if (pt.x >= rcClient.left + caption.left && pt.x < rcClient.right - caption.right && pt.y >= caption.top &&
        pt.y < caption.bottom) {
        CControlUI* control = host.LookupControl(pt);
        if (control != nullptr) {
            const std::wstring cls = control->GetClass();
            if (!SameNoCase(cls, L"Button") && !SameNoCase(cls, L"Option") && !SameNoCase(cls, L"Text"))
                return HTCAPTION;
        }
    }
    return HTCLIENT;
}

LRESULT WindowImplBase::HandleGetMinMaxInfoMessage(UINT, WPARAM, LPARAM lParam, bool& handled)
{
    auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
    if (info != nullptr) {
        MONITORINFO mi = {};
        mi.cbSize = sizeof(mi);
        GetMonitorInfoW(MonitorFromWindow(hWnd, MONITOR_DEFAULTTONEAREST), &mi);
        info->ptMaxPosition.x = mi.rcWork.left - mi.rcMonitor.left;
        info->ptMaxPosition.y = mi.rcWork.top - mi.rcMonitor.top;
        info->ptMaxTrackSize.x = mi.rcWork.right - mi.rcWork.left;
        info->ptMaxTrackSize.y = mi.rcWork.bottom - mi.rcWork.top;
        info->ptMinTrackSize.x = host.GetMinInfo().cx;
        info->ptMinTrackSize.y = host.GetMinInfo().cy;
    }
    handled = false;   // the host applies its limits as well
    return 0;
}

LRESULT WindowImplBase::HandleSizeMessage(UINT, WPARAM wParam, LPARAM, bool& handled)
{
    SIZE round = host.GetRoundCorner();
    if (wParam != SIZE_MINIMIZED && (round.cx != 0 || round.cy != 0)) {
        RECT rc;
        GetWindowRect(hWnd, &rc);
        OffsetRect(&rc, -rc.left, -rc.top);
        HRGN region = CreateRoundRectRgn(rc.left, rc.top, rc.right + 1, rc.bottom + 1, round.cx, round.cy);
        if (SetWindowRgn(hWnd, region, TRUE) == 0)
            DeleteObject(region);   // the window did not take it
    }
    handled = false;
    return 0;
}

LRESULT WindowImplBase::HandleDpiChangedMessage(UINT, WPARAM wParam, LPARAM lParam, bool&)
{
    // wParam carries the DPI twice (x and y); they are the same.
    host.ChangeDpi(HIWORD(wParam));
    const auto* suggested = reinterpret_cast<const RECT*>(lParam);
    if (suggested != nullptr)
        SetWindowPos(hWnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
}

LRESULT WindowImplBase::HandleSysCommandMessage(UINT message, WPARAM wParam, LPARAM lParam, bool&)
{
    if ((wParam & 0xFFF0) == SC_CLOSE) {
        SendMessage(WM_CLOSE, 0, 0);
        return 0;
    }
    BOOL zoomed = IsZoomed(hWnd);
    LRESULT result = CWindowWnd::ProcessWindowMessage(message, wParam, lParam);
    if (IsZoomed(hWnd) != zoomed) {
        CControlUI* maxButton = host.LookupControl(std::wstring(L"maxbtn"));
        CControlUI* restoreButton = host.LookupControl(std::wstring(L"restorebtn"));
        if (maxButton != nullptr && restoreButton != nullptr) {
            maxButton->SetVisible(!IsZoomed(hWnd));
            restoreButton->SetVisible(IsZoomed(hWnd) != FALSE);
        }
    }
    return result;
}

// ---- Creation -------------------------------------------------------

void (*WindowImplBase::pfnSkinLoadFailed)() = &WindowImplBase::DefaultSkinLoadFailed;

void WindowImplBase::DefaultSkinLoadFailed()
{
    MessageBoxW(nullptr, L"\x52A0\x8F7D\x8D44\x6E90\x6587\x4EF6\x5931\x8D25", L"SkinUI", MB_OK | MB_ICONERROR);
    ExitProcess(1);
}

void WindowImplBase::OpenSkinSource()
{
    if (CSkinSource::GetSkinPath().empty())
        CSkinSource::SetSkinPath(CSkinSource::GetModuleFolder() + SkinFolder());
    switch (SkinSourceKind()) {
    case 2:
        CSkinSource::SetSkinArchive(SkinArchiveName(), true);
        break;
    case 4:
        if (!CSkinSource::SetSkinArchiveResource(SkinResourceId(), L"ZIPRES"))
            LOG_INFO("the skin archive resource is missing or empty");
        break;
    default:
        break;
    }
}

LRESULT WindowImplBase::HandleCreateMessage(UINT, WPARAM, LPARAM, bool&)
{
    LONG style = GetStyle() | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    SetWindowLongW(hWnd, GWL_STYLE, style);
    RECT rc;
    GetClientRect(hWnd, &rc);
    SetWindowPos(hWnd, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    host.Init(hWnd);
    host.AddPreFilter(this);

    OpenSkinSource();

    CSkinBuilder builder;
    CControlUI* root = nullptr;
    const std::wstring file = SkinFileName();
    if (SkinSourceKind() == 3)
        root = builder.Create(CSkinBuilder::Source(static_cast<UINT>(_wtoi(file.c_str()))), L"xml", this, &host);
    else
        root = builder.Create(CSkinBuilder::Source(file), nullptr, this, &host);
    if (root == nullptr) {
        LOG_INFO_W(L"the layout %ls could not be built: %ls %ls", file.c_str(),
                   builder.GetSkinMarkup().GetLastErrorMessage(), builder.GetSkinMarkup().GetLastErrorLocation());
        pfnSkinLoadFailed();
        return -1;
    }
    host.AttachRootControl(root);
    host.AddNotifyListener(this);
    PrepareWindow();
    return 0;
}

} // namespace SkinUI

#endif // _WIN32
