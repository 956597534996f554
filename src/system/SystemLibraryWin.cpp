#include "system/SystemLibrary.h"

#include "logging/Log.h"

#include <delayimp.h>

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

// LoadLibraryExW of "<system folder>\<name>"; the names are plain ASCII.
HMODULE LoadFromSystemFolder(const char* name, DWORD flags)
{
    wchar_t path[MAX_PATH + 32];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    if (path[length - 1] != L'\\')
        path[length++] = L'\\';
    for (size_t i = 0; name[i] != '\0' && length < MAX_PATH + 31; ++i)
        path[length++] = static_cast<wchar_t>(static_cast<unsigned char>(name[i]));
    path[length] = L'\0';
    return LoadLibraryExW(path, nullptr, flags);
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
    return reinterpret_cast<FARPROC>(LoadFromSystemFolder(info->szDll, SystemLibraryLoadFlags()));
}

// What the request and TLS stacks load by name (or delay-load) on their
// first use, under Windows and under Wine: the stacks themselves, the
// security packages and the TLS provider, the certificate, hashing and key
// providers, the network configuration and name resolution libraries, and
// the signature check's. A name that a Windows version lacks is skipped.
const char* const kNetworkLibraries[] = {
    "winhttp.dll",  "wininet.dll",  "secur32.dll", "sspicli.dll", "schannel.dll", "kerberos.dll", "msv1_0.dll",
    "crypt32.dll",  "cryptnet.dll", "cryptsp.dll", "rsaenh.dll",  "bcrypt.dll",   "ncrypt.dll",   "iphlpapi.dll",
    "dnsapi.dll",   "nsi.dll",      "winnsi.dll",  "dhcpcsvc.dll", "wintrust.dll", "imagehlp.dll",
};

bool LoadEachNetworkLibrary()
{
    const ULONGLONG begin = GetTickCount64();
    const DWORD flags = SystemLibraryLoadFlags();
    int loaded = 0;
    for (const char* name : kNetworkLibraries) {
        if (LoadFromSystemFolder(name, flags) != nullptr)
            ++loaded;
        else
            LOG_INFO("network library %s: not in the system folder", name);
    }
    LOG_INFO("network libraries: %d of %d loaded from the system folder, %u ms", loaded,
             static_cast<int>(sizeof(kNetworkLibraries) / sizeof(kNetworkLibraries[0])),
             static_cast<unsigned>(GetTickCount64() - begin));
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
    return FindSetDefaultDllDirectories() != nullptr ? LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH;
}

HMODULE LoadSystemLibrary(const char* name)
{
    return LoadSystemLibrary(name, SystemLibraryLoadFlags());
}

HMODULE LoadSystemLibrary(const char* name, DWORD flags)
{
    HMODULE module = LoadFromSystemFolder(name, flags);
    if (module == nullptr)
        LOG_INFO("LoadLibraryExW(%s, system folder) failed, error %lu", name, GetLastError());
    return module;
}

void LoadNetworkLibraries()
{
    // A function-local static: the first caller loads, callers that come
    // meanwhile wait for it, later ones find it done.
    static const bool loaded = LoadEachNetworkLibrary();
    (void)loaded;
}
