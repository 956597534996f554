#include "app/SilentInstall.h"

#include "app/Analytics.h"
#include "app/InstallFlow.h"
#include "app/InstallSteps.h"
#include "app/StartUp.h"
#include "logging/Assert.h"
#include "logging/Log.h"
#include "net/HttpDownload.h"
#include "net/SecureChannel.h"
#include "system/Process.h"
#include "system/SystemInfo.h"
#include "system/SystemLibrary.h"

namespace {

// A failed assertion is logged instead of asking anyone.
bool LogAssertion(const std::string& text, const std::string& caption)
{
    LOG_INFO("%s %s", caption.c_str(), text.c_str());
    return false;
}

// Keeps the engine's end result; progress is not logged (the engine logs
// its own steps).
void OnSilentDownloadEvent(int event, int value1, int, void* userData)
{
    if (event == kDownloadEnd)
        *static_cast<int*>(userData) = value1;
}

} // namespace

CSilentInstall::CSilentInstall(const CommandLineOptions& startOptions)
    : options(startOptions), languageManager(LanguageFactsFor(startOptions))
{
}

int CSilentInstall::Run()
{
    // Critical errors, faults and missing files are reported to this
    // process (and the installer it starts) instead of in a system box.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetAssertHook(&LogAssertion);
    LOG_INFO("silent: unattended installation, no window");
    strDataDir = PrepareRunData(languageManager);
    downloadUrls = languageManager.GetDownloadUrls();
    PrepareAnalytics(languageManager, options.bNoAnalytics);
    const int code = Install();
    WaitForAnalyticsEvents(kAnalyticsWaitMs);
    LOG_INFO("silent: exit code %d (%s)", code, ExitCodeText(code));
    return code;
}

int CSilentInstall::Install()
{
    strInstallDir =
        InstallRootFromField(options.strInstallDir.empty() ? GetProgramFilesFolder() : options.strInstallDir);
    LOG_INFO_W(L"silent: install root %ls%ls", strInstallDir.c_str(),
               options.strInstallDir.empty() ? L" (the default)" : L"");
    // The same check as the window's Install: the form, then the parent.
    if (const char* problem = InstallRootProblem(strInstallDir)) {
        LOG_INFO("silent: the install root is refused: %s", problem);
        return kExit_FolderInvalid;
    }
    bool exists = false;
    if (!CheckFolderPath(strInstallDir, exists)) {
        LOG_INFO("silent: the install root is refused: its parent folder does not exist");
        return kExit_FolderInvalid;
    }
    LOG_INFO("silent: the install root is accepted (%s)", exists ? "it exists" : "it will be created");
    // Before the first request, as the window does: the libraries that the
    // request stacks load by name come from the system folder (see
    // system/SystemLibrary.h), then the TLS stack is loaded.
    LoadNetworkLibraries();
    const ULONGLONG begin = GetTickCount64();
    const bool loaded = WarmUpSecureChannel();
    LOG_INFO("silent: secure channel loaded: %s, %u ms", loaded ? "yes" : "no",
             static_cast<unsigned>(GetTickCount64() - begin));
    SendAnalyticsEvent(true);
    if (ProductRunning())
        return kExit_ProductRunning;

    const int32_t size = GetRemoteFileSize(downloadUrls);
    const std::wstring drive = DriveOfRoot(strInstallDir);
    uint32_t freeMB = 0;
    if (!GetDiskFreeSpaceMB(drive, freeMB)) {
        LOG_INFO_W(L"silent: the free space of %ls cannot be read", drive.c_str());
        return kExit_NotEnoughSpace;
    }
    const int32_t fileMB = FileSizeToMB(size);
    const bool enough = HasEnoughSpace(freeMB, fileMB);
    LOG_INFO("silent: installer %d bytes (%d MB), %u MB free, %s", static_cast<int>(size), static_cast<int>(fileMB),
             static_cast<unsigned>(freeMB), enough ? "enough" : "not enough: three times the installer is needed");
    if (!enough)
        return kExit_NotEnoughSpace;

    const int downloaded = DownloadAndVerify(size);
    if (downloaded != kExit_Success)
        return downloaded;
    SendAnalyticsEvent(false);
    // The product may have been started during the download.
    int code = kExit_ProductRunning;
    ProcessStamp installer;
    if (!ProductRunning()) {
        const std::wstring folder = strInstallDir + languageManager.GetInstallSubfolder();
        PrepareProductFolder(folder, languageManager.GetCustomTag());
        LOG_INFO("silent: running the installer");
        DWORD exitCode = 0;
        const bool ran = RunSilentInstaller(DownloadedFilePath(), strInstallDir, &exitCode, nullptr, &installer);
        const std::wstring product = strInstallDir + languageManager.GetProductExePath();
        code = InstallerSucceeded(ran, exitCode, product) ? kExit_Success : kExit_InstallerFailed;
        if (code == kExit_Success)
            LOG_INFO_W(L"silent: installed %ls; it is not started", product.c_str());
    }
    EndSilentInstallation(installer);
    DeleteFileWaiting(DownloadedFilePath(), 5000);
    return code;
}

bool CSilentInstall::ProductRunning()
{
    const std::wstring name = languageManager.GetExeName();
    DWORD processId = 0;
    if (!FindProcess(name, processId))
        return false;
    LOG_INFO_W(L"silent: %ls is running (process %lu); it is left running and nothing is installed", name.c_str(),
               static_cast<unsigned long>(processId));
    return true;
}

int CSilentInstall::DownloadAndVerify(int32_t approvedSize)
{
    LOG_INFO_W(L"silent: downloading %ls", UrlForLog(downloadUrls.front()).c_str());
    DownloadParam param;
    param.nApprovedSize = approvedSize;
    param.nDownloadThread = 5;
    int result = kDownloadBadParam;
    param.pUserData = &result;
    param.strDownloadUrl = downloadUrls.front();
    param.mirrorUrls.assign(downloadUrls.begin() + 1, downloadUrls.end());
    param.strSavePath = DownloadedFilePath();
    bool cancel = false;
    HttpDownload(&param, &OnSilentDownloadEvent, &cancel);
    if (result == kDownloadDiskFailed) {
        LOG_INFO("silent: the download file could not be written: the disk is full or failing (result -6)");
        DeleteFileWaiting(DownloadedFilePath(), 0);
        return kExit_NotEnoughSpace;
    }
    if (result != kDownloadOk) {
        if (result == kDownloadProxySignIn)
            LOG_INFO("silent: the proxy needs a sign-in; nobody can give one in a silent run");
        LOG_INFO("silent: the download failed (result %d)", result);
        DeleteFileWaiting(DownloadedFilePath(), 0);
        return kExit_DownloadFailed;
    }
    LOG_INFO("silent: downloaded");
    const PayloadResult verdict = CheckInstallerSignature(DownloadedFilePath());
    if (verdict != kPayload_Accepted) {
        DeleteFileWaiting(DownloadedFilePath(), 0);
        // Unreadable is not refused: the installer did not start.
        return verdict == kPayload_Unreadable ? kExit_InstallerFailed : kExit_VerifyFailed;
    }
    return kExit_Success;
}
