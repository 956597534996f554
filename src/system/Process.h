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
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Longest process name FindProcess compares (its name buffer holds 64 wide
// characters including the terminator).
constexpr size_t kProcessNameMax = 63;

// The silent installer's command line lives in a buffer of 257 wide
// characters: the fixed switches (44), the install folder (at most 210
// characters), the second backslash that keeps the folder's trailing one
// from escaping the closing quote, the closing quote and the terminator.
constexpr size_t kInstallerCommandLineBuffer = 257;
extern const wchar_t kSilentInstallerSwitches[];   // " /verysilent /corvane_down /wait_run /path=\""
constexpr size_t kInstallFolderMax = 210;

// " /verysilent /corvane_down /wait_run /path=\"<folder>\"", quoted so that
// a program splitting its line the usual Windows way (CommandLineToArgvW, the
// C runtime) reads back exactly the folder: the backslashes right before the
// closing quote are doubled ("C:\x\" is written "C:\x\\"), the others stay
// as they are. False, and the line untouched, when the folder holds a double
// quote (it could end the quoted text early) or is longer than
// kInstallFolderMax.
bool BuildSilentInstallerCommandLine(const std::wstring& installFolder, std::wstring& commandLine);

// Who could replace a program before it is started with administrator
// rights: the decision over the owners and access lists of the program file
// and of the folders above it, portable so that it needs no live system.

// One entry of an access list as the system reports it.
struct AccessEntry {
    bool bAllow = true;          // false: a deny entry, which grants nothing
    bool bInherited = false;     // came from the folder above
    bool bInheritOnly = false;   // applies only to what is made below, not to this object
    uint32_t nMask = 0;
    std::wstring strSid;         // "S-1-5-32-544"; "?" for an entry of a kind not read
};

// The owner and access list of one file or folder.
struct ObjectSecurity {
    std::wstring strPath;        // for the reason
    std::wstring strOwnerSid;    // "" when unknown
    bool bHasDacl = true;        // false: no access list at all, which lets everyone do everything
    std::vector<AccessEntry> vecEntries;
};

// Why someone other than Administrators, SYSTEM and TrustedInstaller (and
// an owner who is one of them) could change the object, or "" when nobody
// else can. nearProgram: the program file, or the folder holding it, where
// writing and appending count (a changed program, a library planted beside
// it) as well as deleting, deleting a child and changing the permissions or
// the owner; for the folders above only the rights that can replace what
// lies below count, as creating a new entry there replaces nothing. Deny
// entries are not read (they can only narrow what an allow entry grants, and
// for whom is not known here); entries that apply only below are skipped, as
// each object below is read itself. An owner who is not one of the trusted
// principals can always change the permissions.
std::wstring ReplaceRisk(const ObjectSecurity& object, bool nearProgram);

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
// the process cannot be created (logged with the error; a file another
// program holds is waited for, up to kHeldFileWaitMs). With `mayRun`, the
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
// rights, but only when ProgramReplaceRisk finds that no one but the
// administrators could have replaced the file; otherwise (logged with the
// reason) it starts as when not elevated. Not elevated: as the interactive user through wdc.dll; where that
// library or its export is missing, through the desktop shell, and when that
// is not available either, through ShellExecuteExW (unelevated only when this
// program itself is not elevated). True when the way taken accepted the start
// (wdc.dll only schedules it, so a missing file is not seen there); failures
// are logged. The way taken lands in *pathTaken when given.
bool RunProgram(const std::wstring& programPath, bool elevated, RunProgramPath* pathTaken = nullptr);

// Opens a web page in the browser as the interactive user through wdc.dll,
// as RunProgram does when not elevated, so that no browser starts with this
// program's administrator rights; where wdc.dll or its export is missing,
// through ShellOpen as before. The way taken is logged and lands in
// *pathTaken when given. True when that way accepted the page.
bool OpenWebPage(HWND owner, const std::wstring& url, RunProgramPath* pathTaken = nullptr);

// Whether this process's token is elevated; false when that cannot be told.
bool IsProcessElevated();

// The owner and access list of a security descriptor, as ReplaceRisk reads them.
ObjectSecurity ReadObjectSecurity(PSECURITY_DESCRIPTOR descriptor, const std::wstring& path);

// ReplaceRisk over the program file, its folder and every folder above it up
// to the drive's root: "" when only the trusted principals can replace it,
// else the first reason found. A path not of the form "X:\..." or a
// descriptor that cannot be read counts as a risk too.
std::wstring ProgramReplaceRisk(const std::wstring& programPath);

#endif
