// The native window wrapper: registration, creation, the window procedure
// and the modal loop.
#ifdef _WIN32
#include "skinui/WindowWnd.h"

#include "logging/Log.h"
#include "skinui/SkinSource.h"
#include "skinui/WindowHostUI.h"

namespace SkinUI {

namespace {
const wchar_t kObjectProperty[] = L"WndX";

HINSTANCE Instance()
{
    HINSTANCE module = CSkinSource::GetModule();
    return module != nullptr ? module : GetModuleHandleW(nullptr);
}

// Whether a class registration took: it did, or the class is there already
// (a second window of the kind). `call` names the call in the log line.
bool Registered(ATOM atom, const wchar_t* call, LPCWSTR className)
{
    if (atom != 0)
        return true;
    DWORD error = GetLastError();
    if (error == ERROR_CLASS_ALREADY_EXISTS)
        return true;
    LOG_INFO_W(L"%ls(%ls) failed with error %lu", call, className, static_cast<unsigned long>(error));
    return false;
}
} // namespace

CWindowWnd::~CWindowWnd()
{
    // A window that outlives its object keeps showing the icons.
    if (hWnd == nullptr)
        DropIcons();
}

void CWindowWnd::DropIcons()
{
    if (hIconBig != nullptr)
        DestroyIcon(hIconBig);
    if (hIconSmall != nullptr)
        DestroyIcon(hIconSmall);
    hIconBig = nullptr;
    hIconSmall = nullptr;
}

LPCWSTR CWindowWnd::SuperclassName() const { return nullptr; }
UINT CWindowWnd::WindowClassStyle() const { return 0; }

LRESULT CWindowWnd::ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return CallWindowProcW(pfnOldWndProc, hWnd, message, wParam, lParam);
}

void CWindowWnd::OnWindowGone(HWND) {}

bool CWindowWnd::RegisterWindowKind()
{
    WNDCLASSW wc = {};
    wc.style = WindowClassStyle();
    wc.lpfnWndProc = &CWindowWnd::WindowProc;
    wc.hInstance = Instance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = nullptr;
    wc.lpszClassName = WindowClassName();
    return Registered(RegisterClassW(&wc), L"RegisterClassW", WindowClassName());
}

bool CWindowWnd::RegisterSuperclassKind()
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    if (!GetClassInfoExW(nullptr, SuperclassName(), &wc) && !GetClassInfoExW(Instance(), SuperclassName(), &wc)) {
        LOG_INFO_W(L"GetClassInfoExW(%ls) failed with error %lu", SuperclassName(),
                   static_cast<unsigned long>(GetLastError()));
        return false;
    }
    pfnOldWndProc = wc.lpfnWndProc;
    wc.lpfnWndProc = &CWindowWnd::ControlProc;
    wc.hInstance = Instance();
    wc.lpszClassName = WindowClassName();
    return Registered(RegisterClassExW(&wc), L"RegisterClassExW", WindowClassName());
}

HWND CWindowWnd::Create(HWND parent, LPCWSTR name, DWORD style, DWORD exStyle, const RECT& rc, HMENU menu)
{
    return Create(parent, name, style, exStyle, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, menu);
}

HWND CWindowWnd::Create(HWND parent, LPCWSTR name, DWORD style, DWORD exStyle, int x, int y, int cx, int cy,
                        HMENU menu)
{
    if (SuperclassName() != nullptr) {
        if (!RegisterSuperclassKind())
            return nullptr;
    } else if (!RegisterWindowKind()) {
        return nullptr;
    }
    HWND created = CreateWindowExW(exStyle, WindowClassName(), name, style, x, y, cx, cy, parent, menu, Instance(),
                                   this);
    if (created == nullptr)
        LOG_INFO_W(L"CreateWindowExW(%ls) failed with error %lu", WindowClassName(),
                   static_cast<unsigned long>(GetLastError()));
    return created;
}

HWND CWindowWnd::Subclass(HWND window)
{
    if (window == nullptr || !IsWindow(window))
        return nullptr;
    pfnOldWndProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWindowWnd::ControlProc)));
    if (pfnOldWndProc == nullptr) {
        pfnOldWndProc = ::DefWindowProcW;
        return nullptr;
    }
    bSubclassed = true;
    hWnd = window;
    SetPropW(window, kObjectProperty, this);
    return hWnd;
}

void CWindowWnd::Unsubclass()
{
    if (!bSubclassed || hWnd == nullptr || !IsWindow(hWnd))
        return;
    SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pfnOldWndProc));
    pfnOldWndProc = ::DefWindowProcW;
    RemovePropW(hWnd, kObjectProperty);
    bSubclassed = false;
    hWnd = nullptr;
}

// The last message of the window has been handled: the object lets go of it.
void CWindowWnd::ForgetWindow(HWND window)
{
    if (bSubclassed)
        Unsubclass();
    hWnd = nullptr;
    DropIcons();
    OnWindowGone(window);
}

LRESULT CALLBACK CWindowWnd::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWindowWnd* self = nullptr;
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<LPCREATESTRUCTW>(lParam);
        self = static_cast<CWindowWnd*>(create->lpCreateParams);
        self->hWnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<CWindowWnd*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (message == WM_NCDESTROY && self != nullptr) {
            LRESULT result = CallWindowProcW(self->pfnOldWndProc, hwnd, message, wParam, lParam);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->ForgetWindow(hwnd);
            return result;
        }
    }
    if (self != nullptr)
        return self->ProcessWindowMessage(message, wParam, lParam);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK CWindowWnd::ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWindowWnd* self = nullptr;
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<LPCREATESTRUCTW>(lParam);
        self = static_cast<CWindowWnd*>(create->lpCreateParams);
        if (self != nullptr) {
            SetPropW(hwnd, kObjectProperty, self);
            self->hWnd = hwnd;
        }
    } else {
        self = static_cast<CWindowWnd*>(GetPropW(hwnd, kObjectProperty));
        if (message == WM_NCDESTROY && self != nullptr) {
            LRESULT result = CallWindowProcW(self->pfnOldWndProc, hwnd, message, wParam, lParam);
            RemovePropW(hwnd, kObjectProperty);
            self->ForgetWindow(hwnd);
            return result;
        }
    }
    if (self != nullptr)
        return self->ProcessWindowMessage(message, wParam, lParam);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void CWindowWnd::ShowWindow(bool show, bool takeFocus)
{
    if (hWnd == nullptr || !IsWindow(hWnd))
        return;
    ::ShowWindow(hWnd, show ? (takeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

UINT CWindowWnd::RunModal()
{
    if (hWnd == nullptr || !IsWindow(hWnd))
        return static_cast<UINT>(-1);
    UINT result = 0;
    HWND owner = GetWindow(hWnd, GW_OWNER);
    ::ShowWindow(hWnd, SW_SHOWNORMAL);
    // The first frame now, not after the messages already queued.
    ::UpdateWindow(hWnd);
    if (owner != nullptr)
        EnableWindow(owner, FALSE);
    MSG msg = {};
    bool quit = false;
    while (hWnd != nullptr && IsWindow(hWnd)) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            quit = got == 0;
            break;
        }
        if (msg.message == WM_CLOSE && msg.hwnd == hWnd) {
            result = static_cast<UINT>(msg.wParam);
            if (owner != nullptr) {
                EnableWindow(owner, TRUE);
                ::SetFocus(owner);
            }
        }
        if (!CWindowHostUI::TranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (owner != nullptr) {
        EnableWindow(owner, TRUE);
        ::SetFocus(owner);
    }
    if (quit)
        PostQuitMessage(static_cast<int>(msg.wParam));
    return result;
}

void CWindowWnd::Close(UINT result)
{
    if (hWnd == nullptr || !IsWindow(hWnd))
        return;
    ::PostMessageW(hWnd, WM_CLOSE, static_cast<WPARAM>(result), 0);
}

void CWindowWnd::CenterOnOwner()
{
    if (hWnd == nullptr || !IsWindow(hWnd))
        return;
    RECT rcDlg;
    GetWindowRect(hWnd, &rcDlg);
    HWND owner = GetWindow(hWnd, GW_OWNER);
    if ((GetWindowLongW(hWnd, GWL_STYLE) & WS_CHILD) != 0)
        owner = GetParent(hWnd);
    MONITORINFO mi = {};
    mi.cbSize = sizeof(mi);
    GetMonitorInfoW(MonitorFromWindow(hWnd, MONITOR_DEFAULTTONEAREST), &mi);
    RECT rcArea = mi.rcWork;
    RECT rcCenter = rcArea;
    if (owner != nullptr && IsWindowVisible(owner) && !IsIconic(owner))
        GetWindowRect(owner, &rcCenter);
    int w = rcDlg.right - rcDlg.left;
    int h = rcDlg.bottom - rcDlg.top;
    int x = (rcCenter.left + rcCenter.right) / 2 - w / 2;
    int y = (rcCenter.top + rcCenter.bottom) / 2 - h / 2;
    if (x + w > rcArea.right)
        x = rcArea.right - w;
    if (x < rcArea.left)
        x = rcArea.left;
    if (y + h > rcArea.bottom)
        y = rcArea.bottom - h;
    if (y < rcArea.top)
        y = rcArea.top;
    SetWindowPos(hWnd, nullptr, x, y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::SetIcon(UINT resourceId)
{
    if (hWnd == nullptr)
        return;
    auto roundUp = [](int v) { return (v + 15) / 16 * 16; };
    HINSTANCE module = CSkinSource::GetResourceModule();
    HICON big = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(resourceId), IMAGE_ICON,
                                              roundUp(GetSystemMetrics(SM_CXICON)),
                                              roundUp(GetSystemMetrics(SM_CYICON)), LR_DEFAULTCOLOR));
    if (big != nullptr) {
        ::SendMessageW(hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
        if (hIconBig != nullptr)
            DestroyIcon(hIconBig);
        hIconBig = big;
    }
    HICON small = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(resourceId), IMAGE_ICON,
                                                roundUp(GetSystemMetrics(SM_CXSMICON)),
                                                roundUp(GetSystemMetrics(SM_CYSMICON)), LR_DEFAULTCOLOR));
    if (small != nullptr) {
        ::SendMessageW(hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
        if (hIconSmall != nullptr)
            DestroyIcon(hIconSmall);
        hIconSmall = small;
    }
}

void CWindowWnd::ResizeClientArea(int cx, int cy)
{
    if (hWnd == nullptr)
        return;
    RECT rcClient;
    if (!GetClientRect(hWnd, &rcClient))
        return;
    if (cx != -1)
        rcClient.right = cx;
    if (cy != -1)
        rcClient.bottom = cy;
    DWORD style = static_cast<DWORD>(GetWindowLongW(hWnd, GWL_STYLE));
    DWORD exStyle = static_cast<DWORD>(GetWindowLongW(hWnd, GWL_EXSTYLE));
    if (!AdjustWindowRectEx(&rcClient, style, GetMenu(hWnd) != nullptr && (style & WS_CHILD) == 0, exStyle))
        return;
    SetWindowPos(hWnd, nullptr, 0, 0, rcClient.right - rcClient.left, rcClient.bottom - rcClient.top,
                 SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

LRESULT CWindowWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::SendMessageW(hWnd, message, wParam, lParam);
}

LRESULT CWindowWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::PostMessageW(hWnd, message, wParam, lParam);
}

} // namespace SkinUI

#endif // _WIN32
