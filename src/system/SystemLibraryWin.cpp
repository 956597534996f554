#include "system/SystemLibrary.h"

#include "logging/Log.h"

#include <delayimp.h>

#include <string>

namespace {

// Set by RestrictDllSearch before the C runtime starts: a constant-initialised
// flag, read afterwards by any thread.
bool bSearchRestricted = false;

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

SetDefaultDllDirectoriesFn FindSetDefaultDllDirectories()
{
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel == nullptr ? nullptr
                             : reinterpret_cast<SetDefaultDllDirectoriesFn>(
                                   reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
}

// "<system folder>\<name>", or empty when the folder cannot be read.
std::wstring SystemLibraryPath(const wchar_t* name)
{
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    std::wstring path(folder, length);
    if (path.back() != L'\\')
        path += L'\\';
    return path + name;
}

HMODULE LoadFromSystemFolder(const wchar_t* name, DWORD flags)
{
    const std::wstring path = SystemLibraryPath(name);
    if (path.empty())
        return nullptr;
    return LoadLibraryExW(path.c_str(), nullptr, flags);
}

// Called by the delay-load helper before it loads a delay-imported DLL: the
// DLL comes from the system folder. Null (the DLL is not there) lets the
// helper try its own LoadLibraryA, which searches the process's default
// folders: the system folder alone once the program has started, where the
// loader has SetDefaultDllDirectories. Every DLL this program delay-imports
// is in the system folder of every Windows it runs on.
FARPROC WINAPI LoadDelayImportedLibrary(unsigned notification, PDelayLoadInfo info)
{
    if (notification != dliNotePreLoadLibrary || info == nullptr || info->szDll == nullptr)
        return nullptr;
    wchar_t name[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, info->szDll, -1, name, MAX_PATH) == 0)
        return nullptr;
    return reinterpret_cast<FARPROC>(LoadFromSystemFolder(name, SystemLibraryLoadFlags()));
}

// What the request and TLS stacks load by name (or delay-load) on their
// first use, under Windows and under Wine: the stacks themselves, the
// security packages and the TLS provider, the certificate, hashing and key
// providers, the network configuration and name resolution libraries, and
// the signature check's. A name that a Windows version lacks is skipped.
const wchar_t* const kNetworkLibraries[] = {
    L"winhttp.dll",  L"wininet.dll", L"secur32.dll",  L"sspicli.dll",  L"schannel.dll", L"kerberos.dll",
    L"msv1_0.dll",   L"crypt32.dll", L"cryptnet.dll", L"cryptsp.dll",  L"rsaenh.dll",   L"bcrypt.dll",
    L"ncrypt.dll",   L"iphlpapi.dll", L"dnsapi.dll",  L"nsi.dll",      L"winnsi.dll",   L"dhcpcsvc.dll",
    L"wintrust.dll", L"imagehlp.dll",
};

bool LoadEachNetworkLibrary()
{
    const ULONGLONG begin = GetTickCount64();
    const DWORD flags = SystemLibraryLoadFlags();
    int loaded = 0;
    std::wstring missing;
    for (const wchar_t* name : kNetworkLibraries) {
        if (LoadFromSystemFolder(name, flags) != nullptr) {
            ++loaded;
        } else {
            missing += missing.empty() ? L" (not in the system folder:" : L",";
            missing += L" ";
            missing += name;
        }
    }
    if (!missing.empty())
        missing += L")";
    LOG_INFO_W(L"network libraries: %d of %d loaded from the system folder, %u ms%ls", loaded,
               static_cast<int>(sizeof(kNetworkLibraries) / sizeof(kNetworkLibraries[0])),
               static_cast<unsigned>(GetTickCount64() - begin), missing.c_str());
    return true;
}

} // namespace

// Replaces the runtime's empty hook (it lives in an archive member of its
// own, which the linker then leaves out).
extern "C" {
PfnDliHook __pfnDliNotifyHook2 = LoadDelayImportedLibrary;
}

bool RestrictDllSearch()
{
    SetDefaultDllDirectoriesFn setDefault = FindSetDefaultDllDirectories();
    bSearchRestricted = setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
    if (!bSearchRestricted)
        SetDllDirectoryW(L"");
    return bSearchRestricted;
}

bool DllSearchRestricted()
{
    return bSearchRestricted;
}

DWORD SystemLibraryLoadFlags()
{
    // The loader takes the LOAD_LIBRARY_SEARCH_* flags exactly where it has
    // SetDefaultDllDirectories.
    static const DWORD flags =
        FindSetDefaultDllDirectories() != nullptr ? LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH;
    return flags;
}

HMODULE LoadSystemLibrary(const wchar_t* name)
{
    return LoadSystemLibrary(name, SystemLibraryLoadFlags());
}

HMODULE LoadSystemLibrary(const wchar_t* name, DWORD flags)
{
    HMODULE module = LoadFromSystemFolder(name, flags);
    if (module == nullptr)
        LOG_INFO_W(L"LoadLibraryExW(%ls, system folder) failed, error %lu", name, GetLastError());
    return module;
}

void LoadNetworkLibraries()
{
    // A function-local static: the first caller loads, callers that come
    // meanwhile wait for it, later ones find it done.
    static const bool loaded = LoadEachNetworkLibrary();
    (void)loaded;
}
