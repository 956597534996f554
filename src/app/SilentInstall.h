// The unattended installation (/S): the install flow's steps run one after
// the other on the calling thread, without a window. This module creates no
// window and shows no message box, and it keeps others from doing so in
// this process: the system's error boxes are switched off (the installer it
// starts inherits that) and a failed assertion becomes a log record. It
// never ends a running product, never starts the installed one and opens no
// web page. Every decision is logged; the outcome is the exit code
// (CommandLine.h).
//
// Classes in this file: CSilentInstall.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "config/LanguageManager.h"

class CSilentInstall {
public:
    explicit CSilentInstall(const CommandLineOptions& options);

    // The whole run; returns the process's exit code. Main thread only.
    int Run();

    // How long the end of the run waits for the usage events still on their way.
    static constexpr DWORD kAnalyticsWaitMs = 10000;

private:
    int Install();
    bool ProductRunning();
    // approvedSize: what the free-space check approved (HttpDownload.h).
    int DownloadAndVerify(int32_t approvedSize);
    std::wstring DownloadedFilePath() const { return strDataDir + L"corvane-download.exe"; }

    CommandLineOptions options;
    LanguageManager languageManager;
    // valid after Run has prepared the data folder
    std::wstring strDataDir;
    std::wstring strInstallDir;
    std::vector<std::wstring> downloadUrls;   // the download URL, then its mirrors
};
#endif
