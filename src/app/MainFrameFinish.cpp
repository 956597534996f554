// The hand-off and the finish page: the signature check of the downloaded
// installer, the questions after a failed download or installation, the
// silent installer's run, the finish page and Start Now.
#include "app/MainFrameWnd.h"

#include <thread>

#include "app/Analytics.h"
#include "app/InstallSteps.h"
#include "logging/Log.h"
#include "skinui/ButtonUI.h"
#include "skinui/ContainerUI.h"
#include "system/Process.h"
#include "system/SystemInfo.h"

using namespace SkinUI;

// ------------------------------------------------------ hand-off and finish

void CMainFrameWnd::DownloadSuccess()
{
    LOG_INFO("HttpDownloadEnd\xA3\xBA" "Success");
    const PayloadResult verdict = CheckInstallerSignature(DownloadedFilePath());
    // An installer that cannot be read (held by a scanner for too long) was
    // not refused: it is an installation that did not complete, with Retry.
    if (verdict == kPayload_Unreadable) {
        InstallFailed();
        return;
    }
    if (verdict != kPayload_Accepted) {
        DeleteDownloadedFile(0);
        AskAfterFailedDownload(L"STR_VERIFY_FAILED");
        return;
    }
    SendAnalyticsEvent(false);
    UpdateWindowSate(kWindow_Installing);
    SetProgressPercent(90);
}

void CMainFrameWnd::DownloadFailed()
{
    LOG_INFO("HttpDownloadEnd\xA3\xBA" "Failed");
    AskAfterFailedDownload(L"STR_NETWORK_ERROR");
}

void CMainFrameWnd::AskAfterFailedDownload(const wchar_t* key)
{
    RunOnUiThread([this] {
        if (pTaskbarProgress != nullptr)
            pTaskbarProgress->SetState(kTaskbar_Error);
    });
    const std::wstring text = languageManager.GetText(key) + L"\n\n" + languageManager.GetText(L"STR_OPERATE_TIP");
    const int answer = ShowMessage(text, MB_ABORTRETRYIGNORE | MB_ICONWARNING);
    if (answer == IDABORT) {
        ::PostMessageW(hWnd, WM_CLOSE, kCloseNow, 0);
    } else if (answer == IDRETRY) {
        // The bytes already downloaded are kept for the new attempt; the bar
        // follows what it reports, so the bar and the speed line agree.
        nLastProgress = 0;
        StartInstallRequest();
    } else if (answer == IDIGNORE) {
        OpenWebPage(hWnd, strUrlInUse);
        DeleteDownloadedFiles();
        SetProgressPercent(0);
        nLastProgress = 0;
        UpdateWindowSate(kWindow_Init);
    }
}

void CMainFrameWnd::DownloadDiskFailed()
{
    // Retry keeps the bytes written; Cancel ends the installation, and the
    // close deletes them.
    LOG_INFO("HttpDownloadEnd\xA3\xBA" "the download file cannot be written");
    const std::wstring text = FormatDiskFailedText(languageManager.GetText(L"STR_DISK_WRITE_FAILED"),
                                                   DriveOfRoot(DownloadedFilePath()), meter.Snapshot().nTotal,
                                                   languageManager.GetText(L"STR_MB"));
    if (ShowMessage(text, MB_RETRYCANCEL | MB_ICONERROR) != IDRETRY) {
        ::PostMessageW(hWnd, WM_CLOSE, kCloseNow, 0);
        return;
    }
    nLastProgress = 0;
    StartInstallRequest();
}

std::wstring CMainFrameWnd::ProductFolder() const
{
    return strInstallDir + languageManager.GetInstallSubfolder();
}

void CMainFrameWnd::StartInstallExe()
{
    const std::wstring name = languageManager.GetExeName();
    DWORD processId = 0;
    if (FindProcess(name, processId)) {
        LOG_INFO("StartInstallExe\xA3\xBA" "FindProcess");
        RunOnUiThread([this] {
            if (pTaskbarProgress != nullptr)
                pTaskbarProgress->SetState(kTaskbar_Paused);
        });
        if (ShowMessage(languageManager.GetText(L"STR_SOFT_RUN"), MB_OKCANCEL | MB_ICONWARNING) != IDOK) {
            ::PostMessageW(hWnd, WM_CLOSE, kCloseNow, 0);
            return;
        }
        KillProcess(processId);
        RunOnUiThread([this] {
            if (pTaskbarProgress != nullptr)
                pTaskbarProgress->SetState(kTaskbar_Normal);
        });
    }
    PrepareProductFolder(ProductFolder(), languageManager.GetCustomTag());
    if (bClosing)
        return;
    std::thread(&CMainFrameWnd::InstallerWorker, this).detach();
}

void CMainFrameWnd::InstallerWorker()
{
    DWORD exitCode = 0;
    // The installer runs only if the window is not closing by then; once it
    // runs, a close ends it (CleanUpForClose).
    ProcessStamp started;
    const bool ran = RunSilentInstaller(DownloadedFilePath(), strInstallDir, &exitCode, [this, &started] {
        std::lock_guard<std::mutex> lock(mtxDownloads);
        installerStamp = started;
        return !bClosing;
    }, &started);
    LOG_INFO("StartInstallExe\xA3\xBA" "SilentInstallation");
    // A closing window ended the installer itself; it shows nothing more.
    if (bClosing)
        return;
    if (!InstallerSucceeded(ran, exitCode, strInstallDir + languageManager.GetProductExePath())) {
        InstallFailed();
        return;
    }
    UpdateWindowSate(kWindow_Finish);
}

void CMainFrameWnd::InstallFailed()
{
    RunOnUiThread([this] {
        if (pTaskbarProgress != nullptr)
            pTaskbarProgress->SetState(kTaskbar_Error);
    });
    // That run is over: a Retry downloads the installer afresh.
    DeleteDownloadedFiles();
    if (ShowMessage(languageManager.GetText(L"STR_INSTALL_FAILED"), MB_RETRYCANCEL | MB_ICONERROR) != IDRETRY) {
        ::PostMessageW(hWnd, WM_CLOSE, kCloseNow, 0);
        return;
    }
    nLastProgress = 0;
    UpdateWindowSate(kWindow_Downloading);
    StartInstallRequest();
}

void CMainFrameWnd::InstallExeFinish()
{
    LOG_INFO("InstallExeFinish");
    RunOnUiThread([this] { ShowFinishPage(); });
    KillSilentInstallProcess();
    DeleteFileW(DownloadedFilePath().c_str());
    Sleep(1000);
    RunOnUiThread([this] {
        if (pTaskbarProgress != nullptr)
            pTaskbarProgress->SetState(kTaskbar_None);
    });
    const std::wstring url = languageManager.GetInstallUrl();
    if (!url.empty() && !bClosing)
        OpenWebPage(hWnd, url);
}

void CMainFrameWnd::ShowFinishPage()
{
    // A closing window stays hidden.
    if (bClosing)
        return;
    KillTimer(hWnd, kBannerTimerId);
    StopSpeedLine();
    // The page is made up before it is selected, so that selecting it gives
    // Start Now the focus (Install, focused on the home page, is gone).
    if (CControlUI* start = FindControl(L"btn_start"))
        start->SetVisible(true);
    if (CControlUI* install = FindControl(L"btn_install"))
        install->SetVisible(false);
    if (CControlUI* line = FindControl(L"lineLayout"))
        line->SetAttribute(L"visible", L"false");
    if (CControlUI* custom = FindControl(L"customLayout"))
        custom->SetAttribute(L"visible", L"false");
    if (CControlUI* tip = FindControl(L"control_tip"))
        tip->SetVisible(false);
    pSwitch->SelectPage(0);
    if (pTaskbarProgress != nullptr) {
        pTaskbarProgress->SetState(kTaskbar_Normal);
        pTaskbarProgress->SetValue(100, 100);
    }
    if (!IsWindowVisible(hWnd)) {
        ShowWindow(true, true);
        ::SetFocus(hWnd);
    }
}

void CMainFrameWnd::KillSilentInstallProcess()
{
    ProcessStamp installer;
    {
        std::lock_guard<std::mutex> lock(mtxDownloads);
        installer = installerStamp;
    }
    EndSilentInstallation(installer);
}

void CMainFrameWnd::DeleteDownloadedFiles()
{
    KillSilentInstallProcess();
    DeleteDownloadedFile(0);
    kept = DownloadKept();
}

bool CMainFrameWnd::DeleteDownloadedFile(DWORD waitMs)
{
    return DeleteFileWaiting(DownloadedFilePath(), waitMs);
}

void CMainFrameWnd::LaunchInstalledProduct()
{
    const bool asAdmin = languageManager.IsRunAsAdmin();
    const std::wstring path = strInstallDir + languageManager.GetProductExePath();
    // A start that is scheduled elsewhere cannot see a missing file, so that
    // is checked here first.
    if (!FileExists(path) || !RunProgram(path, asAdmin)) {
        LOG_INFO_W(L"LaunchInstalledProduct: %ls could not be started", path.c_str());
        ShowMessage(languageManager.GetText(L"STR_START_FAILED"), MB_OK | MB_ICONERROR);
        return;
    }
    ::PostMessageW(hWnd, WM_CLOSE, kCloseNow, 0);
}
