// The installer's only window: home page (Install, consent, install folder)
// and download page (banner, progress, Hide), the page states, the install
// flow from the Install click to Start Now, and closing.
//
// Threads: the window, its controls and bCloseAsked belong to the UI thread.
// Worker threads (install request, download, installer) call the flow's
// operations directly; every change they make to controls or the taskbar is
// queued with RunOnUiThread and runs on the UI thread in the order each
// worker asked for it. Their message boxes are owned by the window.
//
// Lifetime: the window object is never destroyed while the process runs.
// wWinMain ends the process right after the modal loop, without leaving its
// scope, so no worker thread holding `this` can outlive the object; workers
// are never joined. Before the window goes, closing stops the download: it
// raises the engine's cancel flag, waits (up to kCloseWaitMs) until every
// running engine has closed its file, and then deletes the downloaded file.
// Once closing has begun no download starts and no worker shows anything.
//
// Its members are defined in MainFrameWnd.cpp (the window, the home page,
// closing), MainFrameDownload.cpp (the download page) and
// MainFrameFinish.cpp (the hand-off and the finish page).
//
// Classes in this file: CMainFrameWnd.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/InstallFlow.h"
#include "app/InstallSteps.h"
#include "app/SpeedLine.h"
#include "app/TaskbarProgress.h"
#include "app/UiRequestQueue.h"
#include "config/LanguageManager.h"
#include "logging/SecretText.h"
#include "net/DownloadMeter.h"
#include "net/HttpDownload.h"
#include "skinui/WindowImplBase.h"
#include "system/WinHandle.h"

namespace SkinUI {
class CControlUI;
class CEditUI;
class CLabelUI;
class COptionUI;
class CProgressUI;
class CTabLayoutUI;
}

class CMainFrameWnd : public SkinUI::WindowImplBase {
public:
    // The switches preset the window: install folder, language, analytics.
    explicit CMainFrameWnd(const CommandLineOptions& options = CommandLineOptions());
    ~CMainFrameWnd() override;

    // Window base.
    LPCWSTR WindowClassName() const override { return L"SkinMainFrame"; }
    void PrepareWindow() override;
    void HandleClick(SkinUI::NotifyMsg& msg) override;
    std::wstring SkinFolder() override { return std::wstring(); }
    std::wstring SkinFileName() override;
    int SkinSourceKind() const override { return 4; }
    std::wstring SkinArchiveName() const override { return L"skin.zip"; }
    LPCWSTR SkinResourceId() const override { return MAKEINTRESOURCEW(104); }
    LRESULT HandleCloseMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    LRESULT HandleDestroyMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    LRESULT HandleOtherMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

    void Notify(SkinUI::NotifyMsg& msg) override;
    const SkinUI::NotifyMap* MessageMap() const override;
    void HandleSelectChanged(SkinUI::NotifyMsg& msg);
    void HandleTextChanged(SkinUI::NotifyMsg& msg);

    // Start-up.
    void PrepareDataFolder();
    // What the first frame does not need: the window icon, the taskbar
    // progress (with COM), the banner files. Runs once, right after the first
    // frame, or earlier when Install, Browse or a banner needs it first.
    void FinishStart();
    void InitData();
    void ApplyTexts();

    // Page states and the small operations of the home page.
    void UpdateWindowSate(WindowState state);
    void ApplyFoldState();
    void ApplyAgreeState();
    void ShowPathTip(const std::wstring& text);
    void OpenLicenceUrl();

    // Install request.
    void BrowseForFolder();
    void OnClickInstall();
    void PrepareAnalyticsUrls();
    // Runs the download on the calling thread (the size query's worker).
    // approvedSize: the size the free-space check approved; the engine
    // downloads exactly that many bytes or fails (HttpDownload.h).
    bool StartDownload(const std::vector<std::wstring>& urls, const std::wstring& file, int32_t approvedSize);
    static void OnDownloadEvent(int event, int value1, int value2, void* userData);
    // The proxy credential prompt (net/ProxySignIn.h), on a worker thread:
    // has the UI thread show the sign-in dialog (ShowProxySignIn) and waits
    // for the answer; false when the user cancelled or the window closes
    // meanwhile. One worker asks at a time (the sign-in store sees to it).
    bool AskProxySignIn(const std::wstring& proxyHost, const std::wstring& realm, int attempt, std::wstring& user,
                        CSecretText& password);
    void ShowProxySignIn();

    // Hand-off and finish.
    void DownloadSuccess();
    void DownloadFailed();
    // The download file could not be opened or written: the Retry/Cancel
    // question naming the disk and the space needed (Cancel closes).
    void DownloadDiskFailed();
    void StartInstallExe();
    void InstallExeFinish();
    void KillSilentInstallProcess();
    void DeleteDownloadedFiles();
    void LaunchInstalledProduct();

    // Progress and banner.
    void SetProgressPercent(int percent);
    void OnProgressReport(int32_t value, int32_t total);
    void CreateTaskbarProgress();
    bool ShowBannerImage(int index);
    void StartBannerTimer();
    LRESULT HandleTimer(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

    // The speed line under the progress bar (UI thread): its timer runs
    // while the download page downloads, and each tick shows what the
    // download meter measured.
    void StartSpeedLine();
    void StopSpeedLine();
    void UpdateSpeedLine();

    // Runs the request at once on the UI thread, else queues it for the UI
    // thread and wakes it.
    void RunOnUiThread(std::function<void()> request);

    // The private message that makes the UI thread run the queued requests.
    static constexpr UINT kMsgUiRequests = WM_APP + 0x51;
    // Makes the UI thread show the proxy sign-in dialog.
    static constexpr UINT kMsgProxySignIn = WM_APP + 0x52;
    // The banner's timer, and the speed line's (it does not turn the
    // banner: HandleOtherMessage takes it before HandleTimer).
    static constexpr UINT_PTR kBannerTimerId = 11;
    static constexpr UINT_PTR kSpeedTimerId = 12;
    // Set by the first paint: runs FinishStart.
    static constexpr UINT_PTR kStartTimerId = 13;
    static constexpr UINT kSpeedPeriodMs = 1000;
    // How long closing waits for a running download to stop (a read blocked
    // on a silent server ends with the network stack's receive time-out).
    static constexpr DWORD kCloseWaitMs = 35000;
    // How long closing waits for a downloaded installer that is still running
    // to release its file after its silent copy was ended.
    static constexpr DWORD kDeleteWaitMs = 5000;

    static const SkinUI::NotifyMapEntry kFrameEntries[];
    static const SkinUI::NotifyMap kFrameMap;

private:
    // The size probe, the free-space check and the download's start, on a
    // worker thread: after Install, and again for every Retry, so that a file
    // that changed on the server is checked afresh.
    void StartInstallRequest();
    void InstallRequestWorker();
    void DownloadWorker(std::vector<std::wstring> urls, std::wstring file, int32_t approvedSize);
    void InstallerWorker();
    // Download worker: the Abort/Retry/Ignore question after a download that
    // failed or was refused, with the text of key above the operating tip.
    void AskAfterFailedDownload(const wchar_t* key);
    // Installer worker (download worker for an unreadable download): the
    // installer could not be read, failed or installed nothing.
    void InstallFailed();
    // UI thread: the finish page in one request, so the home page with the
    // Install button is never painted between its steps.
    void ShowFinishPage();
    // UI thread, on close: stops the download and deletes the downloaded
    // installer (see the lifetime rule at the top).
    void CleanUpForClose();
    void DownloadEngineEnded();
    bool DeleteDownloadedFile(DWORD waitMs);
    int ShowMessage(const std::wstring& text, UINT type);
    std::wstring DownloadedFilePath() const { return strDataDir + L"corvane-download.exe"; }
    std::wstring ProductFolder() const;
    SkinUI::CControlUI* FindControl(const wchar_t* name);
    void SetProgressOnUiThread(int percent);

public:
    std::wstring strDataDir;
    std::wstring strInstallDir;
    // The download URL, then its mirrors; and the one last asked, which
    // Ignore opens (written by the size probe and the engine, one at a time).
    std::vector<std::wstring> downloadUrls;
    std::wstring strUrlInUse;
    std::atomic<int> nWindowState{kWindow_None};
    SkinUI::CEditUI* pEditPath = nullptr;
    SkinUI::CLabelUI* pLabelTip = nullptr;
    SkinUI::COptionUI* pChkFold = nullptr;
    SkinUI::CLabelUI* pLabelProgress = nullptr;
    SkinUI::CProgressUI* pProgressDownload = nullptr;
    SkinUI::CLabelUI* pLabelSpeed = nullptr;
    CTaskbarProgress* pTaskbarProgress = nullptr;
    LanguageManager languageManager;

private:
    // Set from the command line at construction.
    std::wstring strPresetInstallDir;
    bool bNoAnalytics = false;
    SkinUI::CTabLayoutUI* pSwitch = nullptr;
    DWORD dwUiThreadId = 0;
    // The first paint has set the start timer; FinishStart has run (UI thread).
    bool bStartPosted = false;
    bool bStartFinished = false;
    CUiRequestQueue uiRequests;
    // Measures every download (the engine feeds it, the speed line reads it).
    CDownloadMeter meter;
    // What a failed download wrote, for the next one (Retry); emptied when
    // the downloaded file is deleted. Written by the engine before its end
    // event, read by the next download.
    DownloadKept kept;
    std::unique_ptr<CSpeedLine> pSpeedLine;
    // Set once when the window starts closing; read by every thread.
    std::atomic<bool> bClosing{false};
    // Guards the check of bClosing with the start of a download against the
    // close, and the count of engines that have not yet closed their file;
    // the event is set while that count is 0.
    std::mutex mtxDownloads;
    int nEnginesRunning = 0;
    // The installer last started (guarded by mtxDownloads): only what it
    // started is ended by the clean-up.
    ProcessStamp installerStamp;
    CScopedHandle hEnginesIdle{CreateEventW(nullptr, TRUE, TRUE, nullptr)};
    // The proxy sign-in question: filled by the asking worker before it posts
    // kMsgProxySignIn, answered by the UI thread before it sets the event.
    struct ProxyQuestion {
        std::wstring strHost;
        std::wstring strRealm;
        int nAttempt = 0;
        bool bOk = false;
        std::wstring strUser;
        CSecretText strPassword;
    } proxyQuestion;
    CScopedHandle hProxyAnswered{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    // Set when the window starts closing or goes: a worker waiting for the
    // sign-in stops waiting.
    CScopedHandle hClosing{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

// Process-wide values used with the window.
extern std::atomic<int32_t> nLastProgress;
extern int nBannerIndex;
extern bool bCloseAsked;
extern bool bCancelDownload;
#endif
