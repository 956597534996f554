// Entry point of the installer. For now it sets up the log in the data folder
// and records the facts about the machine; the main window joins later.
#include "logging/Log.h"
#include "system/SystemInfo.h"

#include <windows.h>

namespace {

std::wstring GetOwnPath()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    const std::wstring dataDir = GetDataFolder();
    LogInit(L"corvane_down.log", (dataDir + L"Log").c_str());
    LOG_INFO_W(L"Windows Version:%ls", GetWindowsProductName().c_str());
    LOG_INFO_W(L"Windows Bit:%ls", IsNativeX64() ? L"x64" : L"x86");
    LOG_INFO_W(L"downloader version:%ls", GetFileVersionString(GetOwnPath()).c_str());
    return 0;
}
