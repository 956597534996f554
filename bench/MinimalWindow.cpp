// The smallest useful Win32 window: a 650x360 top-level window, centred like
// the installer's, that paints a solid background, a framed panel and one line
// of text in WM_PAINT. bench/startup.sh times it side by side with the
// installer under the same Wine to separate Wine's own start-up cost from the
// installer's.
#include <windows.h>

namespace {

const wchar_t kClassName[] = L"PathwickBenchWindow";
const int kWidth = 650;
const int kHeight = 360;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT client;
        GetClientRect(hwnd, &client);
        HBRUSH background = CreateSolidBrush(RGB(0x1E, 0x5A, 0x9C));
        FillRect(dc, &client, background);
        DeleteObject(background);
        RECT panel = {40, 60, client.right - 40, client.bottom - 60};
        HBRUSH panelBrush = CreateSolidBrush(RGB(0xF4, 0xF4, 0xF4));
        FillRect(dc, &panel, panelBrush);
        DeleteObject(panelBrush);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0x20, 0x20, 0x20));
        DrawTextW(dc, L"Bench window", -1, &panel, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.lpszClassName = kClassName;
    if (!RegisterClassExW(&wc)) {
        return 1;
    }
    const int x = (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
    HWND hwnd = CreateWindowExW(0, kClassName, L"Pathwick Bench Window", WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX,
                                x, y, kWidth, kHeight, nullptr, nullptr, instance, nullptr);
    if (!hwnd) {
        return 1;
    }
    ShowWindow(hwnd, showCommand == SW_HIDE ? SW_SHOWNORMAL : showCommand);
    UpdateWindow(hwnd);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
