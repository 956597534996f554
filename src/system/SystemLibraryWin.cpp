#include "system/SystemLibrary.h"

#include "logging/Log.h"

#include <delayimp.h>

namespace {

// Called by the delay-load helper before it loads a delay-imported DLL: the
// DLL comes from the system folder. Null (the DLL is not there) lets the
// helper try its own LoadLibraryA, which searches the process's default
// folders: the system folder alone once the program has started.
FARPROC WINAPI LoadDelayImportedLibrary(unsigned notification, PDelayLoadInfo info)
{
    if (notification != dliNotePreLoadLibrary || info == nullptr || info->szDll == nullptr)
        return nullptr;
    return reinterpret_cast<FARPROC>(LoadLibraryExA(info->szDll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}

} // namespace

// Replaces the runtime's empty hook (it lives in an archive member of its
// own, which the linker then leaves out).
extern "C" {
PfnDliHook __pfnDliNotifyHook2 = LoadDelayImportedLibrary;
}

HMODULE LoadSystemLibrary(const wchar_t* name)
{
    HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr)
        LOG_INFO_W(L"LoadLibraryExW(%ls, system folder) failed, error %lu", name, GetLastError());
    return module;
}
