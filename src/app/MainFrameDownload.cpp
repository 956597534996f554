// The download page: the size probe and free-space check after Install, the
// download worker and the engine's events, the proxy sign-in question, the
// progress bar, the taskbar progress, the banner carousel and the speed line.
#include "app/MainFrameWnd.h"

#include <thread>

#include "app/Analytics.h"
#include "app/InstallSteps.h"
#include "app/ProxySignInDialog.h"
#include "logging/Log.h"
#include "net/HttpDownload.h"
#include "net/ProxySignIn.h"
#include "skinui/LabelUI.h"
#include "skinui/ProgressUI.h"
#include "system/SystemInfo.h"

using namespace SkinUI;

void CMainFrameWnd::StartInstallRequest()
{
    std::thread(&CMainFrameWnd::InstallRequestWorker, this).detach();
}

void CMainFrameWnd::InstallRequestWorker()
{
    LOG_INFO("get file size begin");
    const int32_t size = GetRemoteFileSize(downloadUrls, &strUrlInUse);
    LOG_INFO("get file size end");
    if (size == 0 && ProxySignInRefused()) {
        // The proxy's sign-in was cancelled: the download would ask again.
        DownloadFailed();
        return;
    }
    const std::wstring drive = DriveOfRoot(strInstallDir);
    LOG_INFO("get disk size begin");
    uint32_t freeMB = 0;
    const bool gotFree = GetDiskFreeSpaceMB(drive, freeMB);
    LOG_INFO("get disk size end");
    if (!gotFree) {
        LOG_INFO("OnClickInstall\xA3\xBA" "GetFreeSize Failed");
        if (bClosing)
            return;
        ShowMessage(languageManager.GetText(L"STR_FREE_SPACE_FAILED"), MB_OK | MB_ICONWARNING);
        SetProgressPercent(0);
        nLastProgress = 0;
        UpdateWindowSate(kWindow_Init);
        return;
    }
    const int32_t fileMB = FileSizeToMB(size);
    if (HasEnoughSpace(freeMB, fileMB)) {
        StartDownload(downloadUrls, DownloadedFilePath(), size);
        return;
    }
    LOG_INFO("OnClickInstall\xA3\xBA" "filesize:%dMB--FreeSize:%dMB", static_cast<int>(fileMB),
             static_cast<int>(freeMB));
    if (bClosing)
        return;
    const std::wstring text = FormatStorageText(languageManager.GetText(L"STR_STORAGE"), fileMB,
                                                languageManager.GetText(L"STR_MB"));
    if (ShowMessage(text, 0) == IDOK) {
        SetProgressPercent(0);
        nLastProgress = 0;
        UpdateWindowSate(kWindow_Init);
    }
}

void CMainFrameWnd::PrepareAnalyticsUrls()
{
    PrepareAnalytics(languageManager, bNoAnalytics);
}

bool CMainFrameWnd::StartDownload(const std::vector<std::wstring>& urls, const std::wstring& file, int32_t approvedSize)
{
    if (urls.empty() || urls.front().empty() || file.empty())
        return false;
    {
        std::lock_guard<std::mutex> lock(mtxDownloads);
        if (bClosing) {
            LOG_INFO("StartDownload: the window is closing; no download started");
            return false;
        }
        if (nEnginesRunning++ == 0)
            ResetEvent(hEnginesIdle.Get());
    }
    // The speed line shows nothing of an earlier download.
    meter.Start(0);
    // The size query's thread goes on as the download's worker: one thread
    // fewer than handing the download to a new one.
    DownloadWorker(urls, file, approvedSize);
    return true;
}

void CMainFrameWnd::DownloadEngineEnded()
{
    std::lock_guard<std::mutex> lock(mtxDownloads);
    if (--nEnginesRunning == 0)
        SetEvent(hEnginesIdle.Get());
}

void CMainFrameWnd::DownloadWorker(std::vector<std::wstring> urls, std::wstring file, int32_t approvedSize)
{
    DownloadParam param;
    param.nApprovedSize = approvedSize;
    param.nDownloadThread = 5;
    param.pUserData = this;
    param.pMeter = &meter;
    param.pKept = &kept;
    param.strDownloadUrl = urls.front();
    param.mirrorUrls.assign(urls.begin() + 1, urls.end());
    // Written before the end event, whose failure question reads it.
    param.pUrlInUse = &strUrlInUse;
    param.strSavePath = file;
    HttpDownload(&param, &CMainFrameWnd::OnDownloadEvent, &bCancelDownload);
}

void CMainFrameWnd::OnDownloadEvent(int event, int value1, int value2, void* userData)
{
    auto* window = static_cast<CMainFrameWnd*>(userData);
    if (window == nullptr)
        return;
    if (event == kDownloadStart) {
        // The engine cleared the flag as it started; a close that came before
        // must still stop it.
        if (window->bClosing)
            __atomic_store_n(&bCancelDownload, true, __ATOMIC_RELAXED);
    } else if (event == kDownloadProgress) {
        window->OnProgressReport(value1, value2);
    } else if (event == kDownloadEnd) {
        // The engine has closed its file: a close waiting for it may go on.
        window->DownloadEngineEnded();
        if (window->bClosing)
            return;
        if (value1 == kDownloadOk)
            window->DownloadSuccess();
        else if (value1 == kDownloadDiskFailed)
            window->DownloadDiskFailed();
        else if (value1 == kDownloadNoSize || value1 == kDownloadFailed || value1 == kDownloadBadParam ||
                 value1 == kDownloadProxySignIn)
            window->DownloadFailed();
    }
}

bool CMainFrameWnd::AskProxySignIn(const std::wstring& proxyHost, const std::wstring& realm, int attempt,
                                   std::wstring& user, CSecretText& password)
{
    LOG_INFO("proxy sign-in: asking, attempt %d", attempt);
    proxyQuestion.strHost = proxyHost;
    proxyQuestion.strRealm = realm;
    proxyQuestion.nAttempt = attempt;
    proxyQuestion.bOk = false;
    ::PostMessageW(hWnd, kMsgProxySignIn, 0, 0);
    const HANDLE waits[] = {hProxyAnswered.Get(), hClosing.Get()};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 || !proxyQuestion.bOk) {
        LOG_INFO("proxy sign-in: no answer");
        return false;
    }
    user.swap(proxyQuestion.strUser);
    password = std::move(proxyQuestion.strPassword);   // wipes the question's copy
    return true;
}

void CMainFrameWnd::ShowProxySignIn()
{
    ProxyQuestion& q = proxyQuestion;
    if (!bClosing) {
        CProxySignInWnd dialog(languageManager, q.strHost, q.strRealm, q.nAttempt);
        q.bOk = dialog.Ask(hWnd, q.strUser, q.strPassword);
    }
    // An answer nobody takes (cancelled, or the window closing) goes now.
    if (!q.bOk || bClosing)
        q.strPassword.Wipe();
    SetEvent(hProxyAnswered.Get());
}

// --------------------------------------------------- progress and banner

void CMainFrameWnd::SetProgressPercent(int percent)
{
    RunOnUiThread([this, percent] { SetProgressOnUiThread(percent); });
}

void CMainFrameWnd::SetProgressOnUiThread(int percent)
{
    if (pProgressDownload != nullptr)
        pProgressDownload->SetValue(ProgressBarValue(percent, languageManager.IsRtl()));
    if (pLabelProgress != nullptr)
        pLabelProgress->SetText(ProgressLabelText(percent));
    if (pTaskbarProgress != nullptr) {
        pTaskbarProgress->SetState(kTaskbar_Normal);
        pTaskbarProgress->SetValue(static_cast<uint64_t>(percent), 100);
    }
}

void CMainFrameWnd::OnProgressReport(int32_t value, int32_t total)
{
    const int percent = MapDownloadProgress(value, total, nLastProgress);
    if (percent >= 0)
        SetProgressPercent(percent);
}

void CMainFrameWnd::CreateTaskbarProgress()
{
    if (pTaskbarProgress != nullptr)
        return;
    pTaskbarProgress = new CTaskbarProgress();   // kept until the process ends
    pTaskbarProgress->Create();
    pTaskbarProgress->Attach(hWnd);
    pTaskbarProgress->SetState(kTaskbar_Normal);
}

bool CMainFrameWnd::ShowBannerImage(int index)
{
    FinishStart();   // the banner files are there
    CControlUI* banner = FindControl(L"banner");
    if (banner == nullptr)
        return false;
    const std::wstring path = BannerImagePath(strDataDir, languageManager.GetLanguageName(), index);
    if (!FileExists(path))
        return false;
    banner->ReplaceBkImage(path);
    // The headline over the picture, empty for a package without one (its
    // pictures then carry their own).
    if (CControlUI* headline = FindControl(L"label_banner"))
        headline->SetText(languageManager.GetText(BannerTextKey(index)));
    return true;
}

void CMainFrameWnd::StartBannerTimer()
{
    ::SetTimer(hWnd, kBannerTimerId, 5000, nullptr);
}

LRESULT CMainFrameWnd::HandleTimer(UINT, WPARAM, LPARAM, bool& handled)
{
    if (FindControl(L"banner") != nullptr)
        nBannerIndex = NextBannerIndex(nBannerIndex, ShowBannerImage(nBannerIndex));
    handled = true;
    return 0;
}

void CMainFrameWnd::StartSpeedLine()
{
    if (pSpeedLine != nullptr)
        pSpeedLine->Reset();
    if (pLabelSpeed != nullptr)
        pLabelSpeed->SetText(std::wstring());
    ::SetTimer(hWnd, kSpeedTimerId, kSpeedPeriodMs, nullptr);
}

void CMainFrameWnd::StopSpeedLine()
{
    KillTimer(hWnd, kSpeedTimerId);
    if (pLabelSpeed != nullptr)
        pLabelSpeed->SetText(std::wstring());
}

void CMainFrameWnd::UpdateSpeedLine()
{
    if (pSpeedLine == nullptr || pLabelSpeed == nullptr)
        return;
    const DownloadSnapshot snapshot = meter.Snapshot();
    pSpeedLine->Update(snapshot);
    if (snapshot.bWaiting) {
        pLabelSpeed->SetText(languageManager.GetText(L"STR_NETWORK_WAITING"));
        return;
    }
    pLabelSpeed->SetText(pSpeedLine->Fitted([this](const std::wstring& line) { return pLabelSpeed->FitsOnOneLine(line); }));
}
