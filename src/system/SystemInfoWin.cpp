// The Windows answers of SystemInfo.h.
#include "system/SystemInfo.h"

#include "logging/Log.h"
#include "logging/TextFormat.h"
#include "system/WinHandle.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <vector>

const wchar_t kClientIdKey[] = L"SOFTWARE\\WOW6432Node\\Corvane\\CorvaneDown";
const wchar_t kClientIdValue[] = L"GUID";

std::wstring GetProgramFilesFolder()
{
    wchar_t buffer[MAX_PATH] = {};
    LPITEMIDLIST items = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_PROGRAM_FILES, &items)) && items) {
        SHGetPathFromIDListW(items, buffer);
        CoTaskMemFree(items);
    }
    return std::wstring(buffer) + L"\\";
}

std::wstring GetDataFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return MakeDataFolder(GetProgramFilesFolder(), path);
}

bool GetDiskFreeSpaceMB(const std::wstring& folder, uint32_t& freeMiB)
{
    ULARGE_INTEGER available, total, totalFree;
    if (!GetDiskFreeSpaceExW(folder.c_str(), &available, &total, &totalFree))
        return false;
    freeMiB = BytesToMiB(totalFree.QuadPart);
    return true;
}

namespace {

// The file's version resource; empty when it has none or it cannot be read.
std::vector<unsigned char> VersionBlock(const std::wstring& path)
{
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<unsigned char> block(size);
    if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, block.data()))
        block.clear();
    return block;
}

// The fixed part of a version resource; null when it has none.
const VS_FIXEDFILEINFO* FixedInfoOf(std::vector<unsigned char>& block)
{
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (block.empty() || !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) ||
        info == nullptr || infoSize < sizeof(VS_FIXEDFILEINFO) || info->dwSignature != VS_FFI_SIGNATURE)
        return nullptr;
    return info;
}

} // namespace

bool GetFileVersionNumber(const std::wstring& path, uint64_t& version)
{
    std::vector<unsigned char> block = VersionBlock(path);
    const VS_FIXEDFILEINFO* info = FixedInfoOf(block);
    if (info == nullptr)
        return false;
    version = static_cast<uint64_t>(info->dwFileVersionMS) << 32 | info->dwFileVersionLS;
    return true;
}

std::wstring GetFileVersionString(const std::wstring& path)
{
    std::vector<unsigned char> block = VersionBlock(path);
    void* translation = nullptr;
    UINT translationSize = 0;
    if (block.empty() || !VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &translation, &translationSize))
        return std::wstring();
    const VS_FIXEDFILEINFO* info = FixedInfoOf(block);
    if (info == nullptr)
        return std::wstring();
    wchar_t text[64];
    FormatTextInto(text, 64, L"%d.%d.%d.%d", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
             HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
    return text;
}

std::wstring GetWindowsProductName()
{
    CScopedRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0,
                      KEY_READ | KEY_WOW64_64KEY, key.Receive()) != ERROR_SUCCESS)
        return std::wstring();
    wchar_t buffer[1024] = {};  // 2048 bytes
    DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key.Get(), L"ProductName", nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer), &bytes) != ERROR_SUCCESS)
        return std::wstring();
    return buffer;
}

bool IsNativeX64()
{
    using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto getInfo = kernel ? reinterpret_cast<GetNativeSystemInfoFn>(
                                reinterpret_cast<void*>(GetProcAddress(kernel, "GetNativeSystemInfo")))
                          : nullptr;
    if (getInfo == nullptr)
        return false;
    SYSTEM_INFO info = {};
    getInfo(&info);
    return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
           info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
}

std::wstring GetUiLanguageCode()
{
    return IntToWide(GetUserDefaultUILanguage());
}

std::wstring GetClientId()
{
    CScopedRegKey writeKey;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kClientIdKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE, nullptr, writeKey.Receive(), &disposition) != ERROR_SUCCESS)
        return std::wstring();

    if (disposition == REG_OPENED_EXISTING_KEY) {
        CScopedRegKey readKey;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kClientIdKey, 0, KEY_READ | KEY_WOW64_64KEY,
                          readKey.Receive()) != ERROR_SUCCESS)
            return std::wstring();
        wchar_t buffer[1024] = {};  // 2048 bytes
        DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
        DWORD type = 0;
        if (RegQueryValueExW(readKey.Get(), kClientIdValue, nullptr, &type,
                             reinterpret_cast<BYTE*>(buffer), &bytes) == ERROR_SUCCESS)
            return buffer;
    }

    GUID guid = {};
    if (FAILED(CoCreateGuid(&guid)))
        return std::wstring();
    std::wstring id = FormatClientId(guid.Data1, guid.Data2, guid.Data3, guid.Data4);
    // A failed write still gives this run its identifier.
    RegSetValueExW(writeKey.Get(), kClientIdValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(id.c_str()),
                   static_cast<DWORD>((id.size() + 1) * sizeof(wchar_t)));
    return id;
}

bool WaitWhileFileHeld(const std::wstring& path, uint64_t& heldSince)
{
    const DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION)
        return false;
    const ULONGLONG now = GetTickCount64();
    if (heldSince == 0) {
        heldSince = now;
        LOG_INFO_W(L"%ls is held by another program: waiting", path.c_str());
    } else if (now - heldSince >= kHeldFileWaitMs) {
        return false;
    }
    Sleep(250);
    return true;
}
