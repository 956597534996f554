// Process control: find a running process by its executable file name, end
// it, open a URL or file with the shell, run the downloaded installer
// silently and wait for it, and start the installed product either with this
// program's rights or as the interactive (non-elevated) user.
//
// Nothing here keeps state or handles between calls. The command-line builder
// at the top is portable; the process functions exist in the Windows build
// only. RunSilentInstaller blocks until the installer exits and belongs on a
// worker thread; the others are safe from any thread.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

// Longest process name FindProcess compares (its name buffer holds 64 wide
// characters including the terminator).
constexpr size_t kProcessNameMax = 63;

// The silent installer's command line lives in a buffer of 256 wide
// characters: the fixed switches (44), the install folder, a closing quote
// and the terminator, so the folder may hold at most 210 characters.
constexpr size_t kInstallerCommandLineBuffer = 256;
extern const wchar_t kSilentInstallerSwitches[];   // " /verysilent /corvane_down /wait_run /path=\""
constexpr size_t kInstallFolderMax = 210;

// " /verysilent /corvane_down /wait_run /path=\"<folder>\"" with the folder
// exactly as given (a trailing "\" stays). False, and the line untouched, when
// the folder does not fit the buffer.
bool BuildSilentInstallerCommandLine(const std::wstring& installFolder, std::wstring& commandLine);

#ifdef _WIN32
#include <windows.h>

// A process this program started: its identifier and its creation time (as
// one number of 100-ns units). The identifier alone names the process only
// while it runs; once it has ended, the system may give the number to
// another. dwId 0: none was started.
struct ProcessStamp {
    DWORD dwId = 0;
    ULONGLONG nCreated = 0;
};

// True and the identifier set for the first process in the system's list
// whose executable file name equals the name exactly (case-sensitive); false,
// the identifier untouched, when none runs, the name is empty or longer than
// kProcessNameMax, or the process list cannot be read.
bool FindProcess(const std::wstring& name, DWORD& processId);

// Requests termination (exit code 0) without waiting for it. False when the
// process cannot be opened (for example because it has already exited).
// Processes are opened with the rights to end, wait for and name them, and
// no more.
bool KillProcess(DWORD processId);

// Ends, like KillProcess, every process of this name (compared as by
// FindProcess) that descends from the ancestor: its chain of parents, read
// from one snapshot of the process list, leads to it. Each link must hold a
// parent created no later than its child, and the ancestor's identifier
// counts only for a child created after the ancestor and only while no
// other process created before that child holds the identifier now, so a
// number reused after its process ended makes no stranger a descendant.
// Returns how many were asked to end; 0 for an ancestor of identifier 0.
int EndDescendantsNamed(const std::wstring& name, const ProcessStamp& ancestor);

// ShellExecuteW with the verb "Open"; the shell's result is passed back as is.
HINSTANCE ShellOpen(HWND owner, const std::wstring& target);

// Starts the installer with the silent switches and the install folder, and
// waits without a time limit until its process exits. True once it ran and
// exited: its exit code is logged and stored in *exitCode when given; its
// stamp is stored in *started as soon as it exists, before mayRun is asked
// (a window's clean-up ends what the installer started). False,
// with nothing started, when the folder is longer than kInstallFolderMax or
// the process cannot be created (logged with the error). With `mayRun`, the
// process is created suspended and runs only when mayRun() answers true;
// otherwise it ends before it ran a single instruction of its own and the
// call returns false (a window that is closing decides under its own lock,
// so that an installer either runs and is ended by the close, or never runs).
bool RunSilentInstaller(const std::wstring& installerPath, const std::wstring& installFolder,
                        DWORD* exitCode = nullptr, const std::function<bool()>& mayRun = nullptr,
                        ProcessStamp* started = nullptr);

// How RunProgram started (or tried to start) the program, for the log and tests.
enum RunProgramPath {
    kRunShellElevated = 0,    // ShellExecuteExW "open": inherits this program's rights
    kRunInteractiveUser = 1,  // WdcRunTaskAsInteractiveUser of wdc.dll
    kRunDesktopShell = 2,     // the desktop shell's ShellExecute (runs as the logged-on user)
    kRunShellNotElevated = 3, // ShellExecuteExW from a process that is itself not elevated
    kRunShellFallback = 4,    // ShellExecuteExW because no unelevated way was available
};

// Starts the program. Elevated: through the shell, inheriting this program's
// rights. Not elevated: as the interactive user through wdc.dll; where that
// library or its export is missing, through the desktop shell, and when that
// is not available either, through ShellExecuteExW (unelevated only when this
// program itself is not elevated). True when the way taken accepted the start
// (wdc.dll only schedules it, so a missing file is not seen there); failures
// are logged. The way taken lands in *pathTaken when given.
bool RunProgram(const std::wstring& programPath, bool elevated, RunProgramPath* pathTaken = nullptr);

// Whether this process's token is elevated; false when that cannot be told.
bool IsProcessElevated();

#endif
