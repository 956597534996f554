// window_text.exe TITLE
//
// Prints, as UTF-8, the texts of every visible top-level window whose title
// is TITLE and of its visible child windows, one line each:
//
//   window <width>x<height>
//   child <class> <x> <y> <width> <height> <text>
//
// with the child's rectangle in the client coordinates of its top-level
// window (which are the X window's own coordinates under Wine without a
// window manager), so that a case can click a box's buttons.
// The end-to-end cases read message boxes with it (their texts are not
// visible from the X side). Exit code 0 when at least one window was found,
// 1 when none, 2 on a usage error.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Search {
    std::wstring title;
    std::vector<HWND> windows;
};

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) {
        return std::string();
    }
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring TextOf(HWND hwnd) {
    // WM_GETTEXT through SendMessageTimeout, so that a hung window cannot
    // hang the reader.
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) {
        return std::wstring();
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), SMTO_ABORTIFHUNG,
                             2000, &copied)) {
        return std::wstring();
    }
    text.resize(copied);
    // One line per text: line breaks become "\n".
    std::wstring flat;
    for (wchar_t c : text) {
        if (c == L'\r') {
            continue;
        }
        if (c == L'\n') {
            flat += L"\\n";
        } else {
            flat += c;
        }
    }
    return flat;
}

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM param) {
    Search* search = reinterpret_cast<Search*>(param);
    if (IsWindowVisible(hwnd) && TextOf(hwnd) == search->title) {
        search->windows.push_back(hwnd);
    }
    return TRUE;
}

BOOL CALLBACK PrintChild(HWND hwnd, LPARAM param) {
    if (!IsWindowVisible(hwnd)) {
        return TRUE;
    }
    wchar_t cls[128] = {};
    GetClassNameW(hwnd, cls, 127);
    RECT rc = {};
    GetWindowRect(hwnd, &rc);
    MapWindowPoints(HWND_DESKTOP, reinterpret_cast<HWND>(param), reinterpret_cast<POINT*>(&rc), 2);
    std::printf("child %s %ld %ld %ld %ld %s\n", ToUtf8(cls).c_str(), rc.left, rc.top, rc.right - rc.left,
                rc.bottom - rc.top, ToUtf8(TextOf(hwnd)).c_str());
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_text.exe TITLE\n");
        return 2;
    }
    Search search;
    search.title = argv[1];
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    for (HWND hwnd : search.windows) {
        RECT rc = {};
        GetWindowRect(hwnd, &rc);
        std::printf("window %ldx%ld\n", rc.right - rc.left, rc.bottom - rc.top);
        EnumChildWindows(hwnd, PrintChild, reinterpret_cast<LPARAM>(hwnd));
    }
    std::fflush(stdout);
    return search.windows.empty() ? 1 : 0;
}
