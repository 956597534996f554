// The installer's command line and its exit codes. ParseCommandLine turns
// the line the system passed (and the system's split of it) into
// CommandLineOptions; it owns nothing and touches nothing outside its
// arguments, so it is the same in both builds.
//
// Switches (keys in any case, introduced by "/" or "-"):
//   /S              silent: no window, no question; the exit code tells the outcome
//   /D=<folder>     install root; last on the line, it takes the rest of the line,
//                   blanks included, without quotes
//   /LANG=<code>    UI language as a decimal language code (1031)
//   /LOG=<file>     log file
//   /NOANALYTICS    no usage events
//   /? or /HELP     the usage box
//
// Classes in this file: CommandLineOptions.
#pragma once

#include <string>
#include <vector>

// Exit codes of the process. Administrators script against them: the
// numbers never change.
enum SetupExitCode {
    kExit_Success = 0,
    kExit_AnotherInstance = -1,   // another instance runs; nothing was done
    kExit_BadCommandLine = 2,     // unknown or malformed switch (the usage box), or /? with /S
    kExit_FolderInvalid = 3,      // the install root cannot be used
    kExit_NotEnoughSpace = 4,     // the drive lacks 3 x the installer's size, its free space is unknown, or the download's disk failed
    kExit_DownloadFailed = 5,
    kExit_VerifyFailed = 6,       // the downloaded installer's signature was refused
    kExit_InstallerFailed = 7,    // the installer could not be read or started, failed, or installed nothing
    kExit_ProductRunning = 8,     // the product runs; the silent run never ends it
};

// "success", "another instance", "bad command line", ... for the log.
const char* ExitCodeText(int code);

struct CommandLineOptions {
    // False when an argument was refused; strRefused holds it.
    bool bValid = true;
    std::wstring strRefused;
    // True when anything followed the program name.
    bool bHasArguments = false;

    bool bSilent = false;
    bool bHelp = false;
    bool bNoAnalytics = false;
    std::wstring strInstallDir;   // "" when not given
    std::wstring strLanguage;     // decimal language code; "" when not given
    std::wstring strLogFile;      // "" when not given
};

// rawLine: the whole command line, program name first, as the system passed
// it. argv: the system's split of that same line (argv[0] is the program).
//
// "/D=" is looked for in the raw text: the first "/D=" or "-D=" that starts
// an argument outside double quotes. Everything after its "=" is the folder,
// with surrounding blanks and one enclosing pair of quotes removed. The
// switches are the arguments of argv before the one that starts with "/D="
// (an argument quoted whole, "/D=C:\x y", is taken from argv when it is the
// last). A refused line keeps what was read before the refused argument.
CommandLineOptions ParseCommandLine(const std::wstring& rawLine, const std::vector<std::wstring>& argv);
