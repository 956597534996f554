// Test windows under Wine on a display without a window manager (Xvfb).
// Wine's X11 driver hands every activated top-level window to the window
// manager and, when such a window is hidden or destroyed, waits up to two
// seconds for the manager's answer - which never comes here. Leaving the
// windows of a test program unmanaged (a per-executable setting in the test
// prefix's registry, read when the program first opens a window) removes
// that wait. Outside Wine nothing happens.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <string>

namespace testsupport {

inline bool RunsUnderWine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The file name of the running program ("win_tests.exe").
inline std::wstring OwnExecutableName()
{
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    std::wstring exe(path, length);
    return exe.substr(exe.find_last_of(L"\\/") + 1);
}

// Leaves the windows of the program with this file name unmanaged; must run
// before that program opens its first window. False outside Wine or when
// the setting could not be written.
inline bool LeaveWindowsUnmanagedUnderWine(const std::wstring& exeName)
{
    if (exeName.empty() || !RunsUnderWine())
        return false;
    const std::wstring key = L"Software\\Wine\\AppDefaults\\" + exeName + L"\\X11 Driver";
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const wchar_t value[] = L"N";
    LONG status = RegSetValueExW(handle, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof(value));
    RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

} // namespace testsupport

#endif // _WIN32
