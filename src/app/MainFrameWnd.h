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
// Classes in this file: CMainFrameWnd.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "app/InstallFlow.h"
#include "app/TaskbarProgress.h"
#include "app/UiRequestQueue.h"
#include "config/LanguageManager.h"
#include "skinui/WindowImplBase.h"

namespace SkinUI {
class CControlUI;
class CEditUI;
class CLabelUI;
class COptionUI;
class CProgressUI;
class CTabLayoutUI;
}

// Whether the folder can be used as install root: an existing folder, or a
// missing last folder under an existing parent.
bool CheckFolderPath(const std::wstring& path, bool& exists);

class CMainFrameWnd : public SkinUI::WindowImplBase {
public:
    CMainFrameWnd();
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
    bool StartDownload(const std::wstring& url, const std::wstring& file);
    static void OnDownloadEvent(int event, int value1, int value2, void* userData);

    // Hand-off and finish.
    void DownloadSuccess();
    void DownloadFailed();
    void StartInstallExe();
    void WriteDomainFile();
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

    // Runs the request at once on the UI thread, else queues it for the UI
    // thread and wakes it.
    void RunOnUiThread(std::function<void()> request);

    // The private message that makes the UI thread run the queued requests.
    static constexpr UINT kMsgUiRequests = WM_APP + 0x51;
    // The banner's timer.
    static constexpr UINT_PTR kBannerTimerId = 11;

    static const SkinUI::NotifyMapEntry kFrameEntries[];
    static const SkinUI::NotifyMap kFrameMap;

private:
    void InstallRequestWorker();
    void DownloadWorker(std::wstring url, std::wstring file);
    void InstallerWorker();
    int ShowMessage(const std::wstring& text, UINT type);
    std::wstring DownloadedFilePath() const { return strDataDir + L"corvane-download.exe"; }
    std::wstring ProductFolder() const;
    SkinUI::CControlUI* FindControl(const wchar_t* name);
    void SetProgressOnUiThread(int percent);

public:
    std::wstring strDataDir;
    std::wstring strInstallDir;
    std::wstring strDownloadUrl;
    std::atomic<int> nWindowState{kWindow_None};
    SkinUI::CEditUI* pEditPath = nullptr;
    SkinUI::CLabelUI* pLabelTip = nullptr;
    SkinUI::COptionUI* pChkFold = nullptr;
    SkinUI::CLabelUI* pLabelProgress = nullptr;
    SkinUI::CProgressUI* pProgressDownload = nullptr;
    CTaskbarProgress* pTaskbarProgress = nullptr;
    LanguageManager languageManager;

private:
    SkinUI::CTabLayoutUI* pSwitch = nullptr;
    DWORD dwUiThreadId = 0;
    CUiRequestQueue uiRequests;
};

// Process-wide values used with the window.
extern std::atomic<int32_t> nLastProgress;
extern int nBannerIndex;
extern bool bCloseAsked;
extern bool bCancelDownload;
#endif
