// Under Wine, before any window or device context exists: the X11 driver
// hands every activated top-level window to the window manager and, when
// such a window is hidden or destroyed, waits up to two seconds for the
// manager's answer. The test display (Xvfb) runs no window manager, so each
// activated test window would cost those two seconds. This executable's
// windows are therefore left unmanaged, set per executable in the test
// prefix's registry; nothing happens outside Wine.
#include <windows.h>

#include <string>

namespace {

bool RunsUnderWine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool LeaveWindowsUnmanaged()
{
    if (!RunsUnderWine())
        return false;
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    std::wstring exe(path, length);
    exe = exe.substr(exe.find_last_of(L"\\/") + 1);
    const std::wstring key = L"Software\\Wine\\AppDefaults\\" + exe + L"\\X11 Driver";
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const wchar_t value[] = L"N";
    LONG status = RegSetValueExW(handle, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof(value));
    RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

const bool kUnmanaged = LeaveWindowsUnmanaged();

} // namespace
