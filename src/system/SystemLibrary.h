// DLLs come from the system folder only. The installer runs elevated from
// wherever the user saved it, usually a folder any program of the user can
// write to, so a DLL placed beside it must never load:
//   - the program's first code (a TLS callback in src/app/main.cpp, before
//     the C runtime starts) makes the system folder the process's only
//     default DLL folder (SetDefaultDllDirectories);
//   - every DLL loaded by name goes through LoadSystemLibrary;
//   - the delay-load helper loads the delay-imported DLLs the same way: its
//     hook is defined in SystemLibraryWin.cpp, beside LoadSystemLibrary, so
//     every program that uses one has the other.
// The implicit imports are DLLs the system always takes from its own folder
// (cmake/DelayImport.cmake delay-loads the rest).
#pragma once

#ifdef _WIN32
#include <windows.h>

// LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32): the DLL of
// that name in the system folder, never one found elsewhere. Null, logged
// with the error, when it is not there. Any thread.
HMODULE LoadSystemLibrary(const wchar_t* name);
#endif
