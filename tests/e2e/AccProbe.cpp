// acc_probe.exe tree TITLE
// acc_probe.exe do TITLE NAME [ROLE]
// acc_probe.exe events TITLE SECONDS
//
// Reads a window as assistive technology does, through oleacc from another
// process: the window is the largest visible top-level window titled TITLE
// (the installer's main window, not its message boxes), its object the one
// AccessibleObjectFromWindow gives for the client area.
//
//   tree    one line per child of the client object:
//             client <width> <height>
//             child <id>\t<role>\t<states>\t<x>,<y>,<w>,<h>\t<name>\t<value>\t<action>
//           roles and states in fixed English words, the rectangle in the
//           client area's coordinates ("-" for none).
//   do      performs the default action of the child named NAME (with that
//           role, in the words of tree, when given).
//   events  prints every focus, state, name, value, show and hide event of
//           the window's process for up to SECONDS or until the window is
//           gone, one line each as it comes, with the object it names:
//             <event>\t<role>\t<states>\t<name>\t<value>
//
// Exit code 0 on success, 1 when the window or the child is not found or a
// call fails, 2 for a bad command line.
#include <windows.h>
#include <oleacc.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "logging/TextEncoding.h"

namespace {

struct Search {
    const wchar_t* title;
    HWND best = nullptr;
    long area = 0;
};

BOOL CALLBACK Visit(HWND hwnd, LPARAM param)
{
    auto* search = reinterpret_cast<Search*>(param);
    wchar_t text[256] = {};
    if (!IsWindowVisible(hwnd) || GetWindowTextW(hwnd, text, 256) == 0 || wcscmp(text, search->title) != 0)
        return TRUE;
    RECT rc;
    GetWindowRect(hwnd, &rc);
    const long area = (rc.right - rc.left) * (rc.bottom - rc.top);
    if (area > search->area) {
        search->area = area;
        search->best = hwnd;
    }
    return TRUE;
}

HWND FindTarget(const wchar_t* title)
{
    Search search;
    search.title = title;
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    return search.best;
}

const char* RoleWord(long role)
{
    switch (role) {
    case ROLE_SYSTEM_PUSHBUTTON: return "push button";
    case ROLE_SYSTEM_CHECKBUTTON: return "check box";
    case ROLE_SYSTEM_RADIOBUTTON: return "radio button";
    case ROLE_SYSTEM_LINK: return "link";
    case ROLE_SYSTEM_TEXT: return "editable text";
    case ROLE_SYSTEM_PROGRESSBAR: return "progress bar";
    case ROLE_SYSTEM_STATICTEXT: return "static text";
    case ROLE_SYSTEM_GRAPHIC: return "graphic";
    case ROLE_SYSTEM_CLIENT: return "client";
    case ROLE_SYSTEM_WINDOW: return "window";
    default: return "other";
    }
}

std::string StateWords(long states)
{
    static const struct {
        long bit;
        const char* word;
    } kWords[] = {
        {STATE_SYSTEM_FOCUSED, "focused"},   {STATE_SYSTEM_FOCUSABLE, "focusable"},
        {STATE_SYSTEM_CHECKED, "checked"},   {STATE_SYSTEM_UNAVAILABLE, "unavailable"},
        {STATE_SYSTEM_INVISIBLE, "invisible"}, {STATE_SYSTEM_READONLY, "readonly"},
        {STATE_SYSTEM_LINKED, "linked"},     {STATE_SYSTEM_PROTECTED, "protected"},
    };
    std::string out;
    for (const auto& w : kWords) {
        if ((states & w.bit) != 0)
            out += (out.empty() ? "" : ",") + std::string(w.word);
    }
    return out.empty() ? "-" : out;
}

std::wstring Take(BSTR text)
{
    std::wstring out = text != nullptr ? std::wstring(text, SysStringLen(text)) : std::wstring();
    SysFreeString(text);
    return out;
}

// Role, states, name and value of one element, tab-separated.
std::string Describe(IAccessible* acc, VARIANT child)
{
    VARIANT role, state;
    VariantInit(&role);
    VariantInit(&state);
    acc->get_accRole(child, &role);
    acc->get_accState(child, &state);
    BSTR name = nullptr, value = nullptr;
    acc->get_accName(child, &name);
    acc->get_accValue(child, &value);
    return std::string(role.vt == VT_I4 ? RoleWord(role.lVal) : "other") + "\t" +
           StateWords(state.vt == VT_I4 ? state.lVal : 0) + "\t" + WideToUtf8(Take(name)) + "\t" + WideToUtf8(Take(value));
}

VARIANT Child(long id)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

IAccessible* ClientObject(HWND hwnd)
{
    IAccessible* acc = nullptr;
    HRESULT hr = AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                            reinterpret_cast<void**>(&acc));
    if (FAILED(hr)) {
        std::fprintf(stderr, "AccessibleObjectFromWindow failed: 0x%08lX\n", static_cast<unsigned long>(hr));
        return nullptr;
    }
    return acc;
}

int Tree(HWND hwnd)
{
    IAccessible* acc = ClientObject(hwnd);
    if (acc == nullptr)
        return 1;
    RECT client;
    GetClientRect(hwnd, &client);
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    std::printf("client %ld %ld\n", client.right, client.bottom);
    long count = 0;
    acc->get_accChildCount(&count);
    for (long id = 1; id <= count; ++id) {
        VARIANT child = Child(id);
        long x = 0, y = 0, w = 0, h = 0;
        std::string place = "-";
        if (acc->accLocation(&x, &y, &w, &h, child) == S_OK)
            place = std::to_string(x - origin.x) + "," + std::to_string(y - origin.y) + "," + std::to_string(w) + "," +
                    std::to_string(h);
        BSTR action = nullptr;
        acc->get_accDefaultAction(child, &action);
        const std::string text = Describe(acc, child);
        // Describe gives role, states, name, value: the place goes after the states.
        const size_t afterStates = text.find('\t', text.find('\t') + 1);
        std::printf("child %ld\t%s\t%s%s\t%s\n", id, text.substr(0, afterStates).c_str(), place.c_str(),
                    text.substr(afterStates).c_str(), WideToUtf8(Take(action)).c_str());
    }
    acc->Release();
    return 0;
}

int Do(HWND hwnd, const wchar_t* name, const std::string& role)
{
    IAccessible* acc = ClientObject(hwnd);
    if (acc == nullptr)
        return 1;
    long count = 0;
    acc->get_accChildCount(&count);
    int rc = 1;
    for (long id = 1; id <= count && rc == 1; ++id) {
        BSTR text = nullptr;
        acc->get_accName(Child(id), &text);
        if (Take(text) != name)
            continue;
        VARIANT got;
        VariantInit(&got);
        acc->get_accRole(Child(id), &got);
        if (!role.empty() && (got.vt != VT_I4 || role != RoleWord(got.lVal)))
            continue;
        HRESULT hr = acc->accDoDefaultAction(Child(id));
        std::printf("done 0x%08lX\n", static_cast<unsigned long>(hr));
        rc = SUCCEEDED(hr) ? 0 : 1;
    }
    if (rc == 1)
        std::fprintf(stderr, "no child could do it\n");
    acc->Release();
    return rc;
}

const char* EventWord(DWORD event)
{
    switch (event) {
    case EVENT_OBJECT_FOCUS: return "focus";
    case EVENT_OBJECT_STATECHANGE: return "state";
    case EVENT_OBJECT_NAMECHANGE: return "name";
    case EVENT_OBJECT_VALUECHANGE: return "value";
    case EVENT_OBJECT_SHOW: return "show";
    case EVENT_OBJECT_HIDE: return "hide";
    default: return nullptr;
    }
}

void CALLBACK OnEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD)
{
    const char* word = EventWord(event);
    if (word == nullptr || hwnd == nullptr || object != OBJID_CLIENT)
        return;
    IAccessible* acc = nullptr;
    VARIANT id;
    VariantInit(&id);
    if (FAILED(AccessibleObjectFromEvent(hwnd, object, child, &acc, &id)) || acc == nullptr)
        return;
    std::printf("%s\t%s\n", word, Describe(acc, id).c_str());
    std::fflush(stdout);
    acc->Release();
}

int Events(HWND hwnd, int seconds)
{
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_VALUECHANGE, nullptr, OnEvent, process, 0,
                                         WINEVENT_OUTOFCONTEXT);
    if (hook == nullptr)
        return 1;
    std::printf("listening\n");
    std::fflush(stdout);
    const DWORD end = GetTickCount() + static_cast<DWORD>(seconds) * 1000;
    while (GetTickCount() < end && IsWindow(hwnd)) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    UnhookWinEvent(hook);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3 || (wcscmp(argv[1], L"tree") != 0 && argc < 4)) {
        std::fprintf(stderr, "usage: acc_probe.exe tree|do|events TITLE [NAME|SECONDS]\n");
        return 2;
    }
    CoInitialize(nullptr);
    HWND hwnd = FindTarget(argv[2]);
    if (hwnd == nullptr) {
        std::fprintf(stderr, "no visible window titled so\n");
        return 1;
    }
    int rc = 2;
    if (wcscmp(argv[1], L"tree") == 0)
        rc = Tree(hwnd);
    else if (wcscmp(argv[1], L"do") == 0)
        rc = Do(hwnd, argv[3], argc > 4 ? WideToUtf8(argv[4]) : std::string());
    else if (wcscmp(argv[1], L"events") == 0)
        rc = Events(hwnd, _wtoi(argv[3]));
    std::fflush(stdout);
    CoUninitialize();
    return rc;
}
