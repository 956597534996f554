// DLLs come from the system folder only. The installer runs elevated from
// wherever the user saved it, usually a folder any program of the user can
// write to, so a DLL placed beside it must never load:
//   - the program's first code (a TLS callback in src/app/main.cpp, before
//     the C runtime starts) calls RestrictDllSearch;
//   - every DLL loaded by name goes through LoadSystemLibrary: by its full
//     path in the system folder;
//   - the delay-load helper loads the delay-imported DLLs the same way: its
//     hook is defined in SystemLibraryWin.cpp, beside LoadSystemLibrary, so
//     every program that uses one has the other;
//   - before the first request, LoadNetworkLibraries loads the DLLs that the
//     system's request and TLS stacks load by name on their first use, so
//     that those loads find them in the process instead of searching.
// The implicit imports are DLLs the system always takes from its own folder
// (cmake/DelayImport.cmake delay-loads the rest).
//
// Functions in this file: RestrictDllSearch, DllSearchRestricted,
// SystemLibraryLoadFlags, LoadSystemLibrary, LoadNetworkLibraries.
#pragma once

#ifdef _WIN32
#include <windows.h>

// Makes the system folder the process's only default DLL folder:
// SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32), looked up at run
// time, since Windows Vista and 7 have it only with the 2011 loader update
// and a program importing it does not start without. Where it is missing
// (or fails) the current folder leaves the search path (SetDllDirectoryW
// with an empty string) and the program's own folder stays in it: only the
// libraries loaded by full path, and what they import, are then safe.
// True when the default folders were set. Called once, before the C
// runtime starts: uses nothing but kernel32.
bool RestrictDllSearch();
// What RestrictDllSearch returned (false before it ran).
bool DllSearchRestricted();

// The loader flags for a DLL loaded by its full path in the system folder,
// so that the DLLs it imports come from there too:
// LOAD_LIBRARY_SEARCH_SYSTEM32 where the loader knows the flag (it has
// SetDefaultDllDirectories), else LOAD_WITH_ALTERED_SEARCH_PATH (the DLL's
// own folder first, and the program's folder not at all).
DWORD SystemLibraryLoadFlags();

// The DLL of that name (plain ASCII, "msimg32.dll") in the system folder,
// by its full path, never one found elsewhere. Null, logged with the error,
// when it is not there. Any thread.
HMODULE LoadSystemLibrary(const char* name);
// The same with the loader flags given (tests load with both kinds).
HMODULE LoadSystemLibrary(const char* name, DWORD flags);

// Loads, each by LoadSystemLibrary and for the rest of the process, the
// DLLs that WinHTTP, WinINet, the TLS stack and the certificate checks load
// by name the first time they are used: a DLL already in the process is
// taken by its name without any search, whichever folder the loader would
// have looked in (Wine's loader resolves the delay imports of its own DLLs
// with the program's folder first, whatever the default folders say). The
// first call loads them and logs how many and how long; calls made while it
// runs wait for it to end, later ones return at once. Call it before the
// first request of the process. Any thread.
void LoadNetworkLibraries();
#endif
