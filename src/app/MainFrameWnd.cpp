#include "app/MainFrameWnd.h"

#include <shlobj.h>

#include <cstdio>
#include <thread>

#include "app/Analytics.h"
#include "app/InstallSteps.h"
#include "app/StartUp.h"
#include "config/ResourcePackage.h"
#include "logging/Log.h"
#include "net/HttpDownload.h"
#include "net/SecureChannel.h"
#include "skinui/ButtonUI.h"
#include "skinui/ContainerUI.h"
#include "skinui/EditUI.h"
#include "skinui/LabelUI.h"
#include "skinui/ProgressUI.h"
#include "system/Process.h"
#include "system/SystemInfo.h"

using namespace SkinUI;

std::atomic<int32_t> nLastProgress{0};
int nBannerIndex = 1;
bool bCloseAsked = false;
bool bCancelDownload = false;

namespace {

// PrepareDataFolder runs once per process.
bool bDataFolderPrepared = false;

// Box flags added in a right-to-left language: RTL reading, right
// alignment, foreground.
constexpr UINT kRtlBoxFlags = MB_RTLREADING | MB_RIGHT | MB_SETFOREGROUND;

std::wstring GetOwnPath()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

bool FileReadable(const std::wstring& path)
{
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr)
        return false;
    fclose(file);
    return true;
}

template <typename T>
T* As(CControlUI* control)
{
    return dynamic_cast<T*>(control);
}

} // namespace

const NotifyMapEntry CMainFrameWnd::kFrameEntries[] = {
    PW_NOTIFY_HANDLER(L"click", L"", &CMainFrameWnd::HandleClick),
    PW_NOTIFY_HANDLER(L"selectchanged", L"", &CMainFrameWnd::HandleSelectChanged),
    PW_NOTIFY_HANDLER(L"textchanged", L"", &CMainFrameWnd::HandleTextChanged),
    PW_NOTIFY_END,
};
const NotifyMap CMainFrameWnd::kFrameMap = {&WindowImplBase::kMap, CMainFrameWnd::kFrameEntries};

CMainFrameWnd::CMainFrameWnd(const CommandLineOptions& options)
    : languageManager(LanguageFactsFor(options)),
      strPresetInstallDir(options.strInstallDir),
      bNoAnalytics(options.bNoAnalytics),
      dwUiThreadId(GetCurrentThreadId())
{
}

// The taskbar object lives until the process ends.
CMainFrameWnd::~CMainFrameWnd() = default;

const NotifyMap* CMainFrameWnd::MessageMap() const { return &kFrameMap; }

CControlUI* CMainFrameWnd::FindControl(const wchar_t* name) { return host.LookupControl(name); }

void CMainFrameWnd::RunOnUiThread(std::function<void()> request)
{
    if (GetCurrentThreadId() == dwUiThreadId) {
        request();
        return;
    }
    if (uiRequests.Push(std::move(request)))
        ::PostMessageW(hWnd, kMsgUiRequests, 0, 0);
}

int CMainFrameWnd::ShowMessage(const std::wstring& text, UINT type)
{
    // A closing window asks nothing more: 0 is no answer.
    if (bClosing)
        return 0;
    if (languageManager.IsRtl())
        type |= kRtlBoxFlags;
    return MessageBoxW(hWnd, text.c_str(), languageManager.GetText(L"STR_MESSAGEBOX_TITLE").c_str(), type);
}

// ---------------------------------------------------------------- start-up

std::wstring CMainFrameWnd::SkinFileName()
{
    PrepareDataFolder();
    return languageManager.IsRtl() ? L"main_rtl.xml" : L"main.xml";
}

// The icon, the taskbar progress, the banner files and the TLS stack are not
// part of the first frame: FinishStart adds them right after it.
void CMainFrameWnd::PrepareWindow()
{
    InitData();
    PrepareAnalyticsUrls();
}

void CMainFrameWnd::FinishStart()
{
    if (bStartFinished)
        return;
    bStartFinished = true;
    SetIcon(101);
    CreateTaskbarProgress();
    ExtractOptions banners;
    banners.accept = IsBannerEntry;
    LOG_INFO("the banners, after the first frame");
    ::ExtractPackageResource(strDataDir + L"language\\", nullptr, banners);
    StartSecureChannelWarmUp();
}

void CMainFrameWnd::PrepareDataFolder()
{
    if (bDataFolderPrepared)
        return;
    bDataFolderPrepared = true;
    strDataDir = GetDataFolder();
    LogInit(L"corvane_down.log", (strDataDir + L"Log").c_str());
    ExtractOptions beforeFirstFrame;
    beforeFirstFrame.accept = [](const std::wstring& name) { return !IsBannerEntry(name); };
    ::LoadResZipFile(strDataDir + L"language\\", nullptr, beforeFirstFrame);
    languageManager.Init(strDataDir + L"language\\");
}

void CMainFrameWnd::InitData()
{
    pEditPath = nullptr;
    pLabelTip = nullptr;
    pChkFold = nullptr;
    pLabelProgress = nullptr;
    pTaskbarProgress = nullptr;
    nWindowState = kWindow_None;
    strInstallDir = strPresetInstallDir.empty() ? GetProgramFilesFolder() : strPresetInstallDir;
    PrepareDataFolder();
    ::LoadDomainFile(languageManager);
    pSwitch = As<CTabLayoutUI>(FindControl(L"switch"));
    UpdateWindowSate(kWindow_Init);
    ApplyTexts();
    if (CControlUI* control = FindControl(L"label_progress"))
        pLabelProgress = As<CLabelUI>(control);
    if (CControlUI* control = FindControl(L"label_tip"))
        pLabelTip = As<CLabelUI>(control);
    if (CControlUI* control = FindControl(L"progress_download"))
        pProgressDownload = As<CProgressUI>(control);
    pLabelSpeed = As<CLabelUI>(FindControl(L"label_speed"));
    LOG_INFO_W(L"Windows Version:%ls", GetWindowsProductName().c_str());
    LOG_INFO_W(L"Windows Bit:%ls", IsNativeX64() ? L"x64" : L"x86");
    LOG_INFO_W(L"downloader version:%ls", GetFileVersionString(GetOwnPath()).c_str());
    SetWindowTextW(hWnd, languageManager.GetText(L"STR_MESSAGEBOX_TITLE").c_str());
}

void CMainFrameWnd::ApplyTexts()
{
    const LanguageManager& lang = languageManager;
    for (size_t i = 0; i < kSkinTextCount; ++i) {
        if (CControlUI* c = FindControl(kSkinTexts[i].control))
            c->SetText(lang.GetText(kSkinTexts[i].key));
    }
    if (CControlUI* c = FindControl(L"control_tip")) {
        const std::wstring tip = strDataDir + L"language\\" + lang.GetLanguageName() + L"\\install_tips.png";
        if (FileReadable(tip))
            c->SetBkImage(tip);
    }
    if (CControlUI* c = FindControl(L"edit_path")) {
        pEditPath = As<CEditUI>(c);
        c->SetText(strInstallDir);
        if (pEditPath != nullptr)
            pEditPath->SetReadOnly(true);
    }
    if (auto* agree = As<COptionUI>(FindControl(L"chk_agree")))
        agree->SetSelected(true, true);
    if (auto* fold = As<COptionUI>(FindControl(L"chk_fold"))) {
        pChkFold = fold;
        fold->SetSelected(false, true);
    }
    strDownloadUrl = lang.GetDownloadUrl();
    pSpeedLine.reset(new CSpeedLine(
        {lang.GetText(L"STR_DOWNLOAD_SPEED"), lang.GetText(L"STR_DOWNLOAD_UNITS"), lang.GetText(L"STR_MB")}));
}

// ------------------------------------------------------------- page states

void CMainFrameWnd::UpdateWindowSate(WindowState state)
{
    if (nWindowState.load() == state)
        return;
    if (pSwitch == nullptr)
        return;
    LOG_INFO("UpdateWindowSate:%s", WindowStateName(state));
    nWindowState = state;
    switch (state) {
    case kWindow_Init:
        RunOnUiThread([this] {
            StopSpeedLine();
            pSwitch->SelectPage(0);
            if (CControlUI* start = FindControl(L"btn_start"))
                start->SetVisible(false);
        });
        break;
    case kWindow_Downloading:
        RunOnUiThread([this] {
            if (pChkFold != nullptr)
                pChkFold->SetSelected(false, true);
            pSwitch->SelectPage(1);
            SetProgressOnUiThread(0);
            ShowBannerImage(1);
            StartBannerTimer();
            StartSpeedLine();
        });
        break;
    case kWindow_Installing:
        RunOnUiThread([this] { StopSpeedLine(); });
        StartInstallExe();
        break;
    case kWindow_Finish:
        InstallExeFinish();
        break;
    default:
        break;
    }
}

// A click into the read-only folder field opens the folder dialog. Tab only
// focuses it (a dialog on every Tab would trap a keyboard user between the
// field and Browse); Enter in the field opens the dialog then. Either way the
// focus goes to Browse afterwards, so the field does not take it again.
void CMainFrameWnd::Notify(NotifyMsg& msg)
{
    const bool field = msg.pSender != nullptr && msg.pSender->GetName() == L"edit_path";
    if (field && ((msg.sType == L"setfocus" && !host.IsNavigatingFocus()) || msg.sType == L"return")) {
        BrowseForFolder();
        if (CControlUI* browse = FindControl(L"btn_browse"))
            browse->SetFocus();
    }
    WindowImplBase::Notify(msg);
}

void CMainFrameWnd::HandleClick(NotifyMsg& msg)
{
    const std::wstring name = msg.pSender != nullptr ? msg.pSender->GetName() : std::wstring();
    if (name == L"btn_install")
        OnClickInstall();
    else if (name == L"btn_browse")
        BrowseForFolder();
    else if (name == L"btn_hide")
        SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    else if (name == L"btn_start")
        LaunchInstalledProduct();
    else if (name == L"btn_lisence")
        OpenLicenceUrl();
    WindowImplBase::HandleClick(msg);
}

void CMainFrameWnd::HandleSelectChanged(NotifyMsg& msg)
{
    const std::wstring name = msg.pSender != nullptr ? msg.pSender->GetName() : std::wstring();
    if (name == L"examine") {
        if (pSwitch != nullptr)
            pSwitch->SelectPage(0);
    } else if (name == L"trojan") {
        if (pSwitch != nullptr)
            pSwitch->SelectPage(1);
    } else if (name == L"chk_fold") {
        ApplyFoldState();
    } else if (name == L"chk_agree") {
        ApplyAgreeState();
    }
}

void CMainFrameWnd::HandleTextChanged(NotifyMsg& msg)
{
    if (msg.pSender != nullptr && msg.pSender->GetName() == L"edit_path")
        ShowPathTip(std::wstring());
}

void CMainFrameWnd::ApplyFoldState()
{
    RECT client = {};
    GetClientRect(hWnd, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    CControlUI* bottom = FindControl(L"bottomLayout");
    if (bottom == nullptr)
        return;
    const bool open = pChkFold != nullptr && pChkFold->IsSelected();
    bottom->SetAttribute(L"visible", open ? L"true" : L"false");
    // The area's height at the window's display scale.
    const int fold = ScaleLength(kFoldHeight, host.GetDpi());
    ResizeClientArea(width, open ? height + fold : height - fold);
}

void CMainFrameWnd::ApplyAgreeState()
{
    auto* agree = As<COptionUI>(FindControl(L"chk_agree"));
    CControlUI* install = FindControl(L"btn_install");
    if (agree != nullptr && install != nullptr)
        install->SetEnabled(agree->IsSelected());
}

void CMainFrameWnd::ShowPathTip(const std::wstring& text)
{
    if (pLabelTip == nullptr)
        pLabelTip = As<CLabelUI>(FindControl(L"label_tip"));
    if (pLabelTip == nullptr)
        return;
    pLabelTip->SetText(text);
    pLabelTip->SetVisible(!text.empty());
    if (!text.empty() && pChkFold != nullptr)
        pChkFold->SetSelected(true, true);
}

void CMainFrameWnd::OpenLicenceUrl()
{
    OpenWebPage(hWnd, languageManager.GetLicenseUrl());
}

// ------------------------------------------------------------------ closing

LRESULT CMainFrameWnd::HandleCloseMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    CControlUI* start = FindControl(L"btn_start");
    const bool startVisible = start != nullptr && start->IsVisible();
    switch (DecideClose(wParam, startVisible, pSwitch != nullptr, bCloseAsked)) {
    case kClose_Immediate:
    case kClose_AfterFinish:
        CleanUpForClose();
        return WindowImplBase::HandleCloseMessage(message, wParam, lParam, handled);
    case kClose_Ask: {
        bCloseAsked = true;
        std::wstring text = languageManager.GetText(L"STR_CLOSE_TIP1");
        if (pSwitch->GetSelectedIndex() == 1)
            text = languageManager.GetText(L"STR_CLOSE_TIP2");
        const int answer = ShowMessage(text, MB_YESNO | MB_ICONQUESTION);
        bCloseAsked = false;
        if (answer == IDYES) {
            CleanUpForClose();
            return WindowImplBase::HandleCloseMessage(message, wParam, lParam, handled);
        }
        handled = true;
        return 0;
    }
    default:
        handled = true;
        return 0;
    }
}

void CMainFrameWnd::CleanUpForClose()
{
    {
        std::lock_guard<std::mutex> lock(mtxDownloads);
        bClosing = true;
    }
    // The engine reads the flag from its own threads.
    __atomic_store_n(&bCancelDownload, true, __ATOMIC_RELAXED);
    HANDLE idle = hEnginesIdle.Get();
    if (WaitForSingleObject(idle, 0) != WAIT_OBJECT_0) {
        LOG_INFO("closing: waiting for the download to stop");
        ::ShowWindow(hWnd, SW_HIDE);
        const ULONGLONG deadline = GetTickCount64() + kCloseWaitMs;
        DWORD wait = WAIT_TIMEOUT;
        for (ULONGLONG now = GetTickCount64(); now < deadline; now = GetTickCount64()) {
            // Messages sent by other threads (a worker's box owned by this
            // window) are answered while waiting; nothing else is dispatched.
            wait = MsgWaitForMultipleObjects(1, &idle, FALSE, static_cast<DWORD>(deadline - now), QS_SENDMESSAGE);
            if (wait != WAIT_OBJECT_0 + 1)
                break;
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        LOG_INFO(wait == WAIT_OBJECT_0 ? "closing: the download stopped" : "closing: the download did not stop in time");
    }
    KillSilentInstallProcess();
    DeleteDownloadedFile(kDeleteWaitMs);
}

LRESULT CMainFrameWnd::HandleDestroyMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    PostQuitMessage(18);
    return WindowImplBase::HandleDestroyMessage(message, wParam, lParam, handled);
}

LRESULT CMainFrameWnd::HandleOtherMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    if (message == WM_TIMER && wParam == kSpeedTimerId) {
        UpdateSpeedLine();
        handled = true;
        return 0;
    }
    if (message == WM_TIMER && wParam == kStartTimerId) {
        KillTimer(hWnd, kStartTimerId);
        FinishStart();
        handled = true;
        return 0;
    }
    if (message == WM_TIMER)
        return HandleTimer(message, wParam, lParam, handled);
    if (message == WM_PAINT && !bStartPosted) {
        // The first frame is being painted. A timer's message comes only
        // once nothing else is due, so the frame is on the screen before the
        // rest of the start runs; an action that needs it first runs it.
        bStartPosted = true;
        ::SetTimer(hWnd, kStartTimerId, USER_TIMER_MINIMUM, nullptr);
    }
    if (message == kMsgUiRequests) {
        uiRequests.Drain();
        handled = true;
        return 0;
    }
    return WindowImplBase::HandleOtherMessage(message, wParam, lParam, handled);
}

// --------------------------------------------------------- install request

void CMainFrameWnd::BrowseForFolder()
{
    FinishStart();   // COM is initialised for the dialog
    wchar_t displayName[MAX_PATH] = {};
    const std::wstring title = languageManager.GetText(L"STR_SELECT_FOLDER");
    BROWSEINFOW info = {};
    info.hwndOwner = hWnd;
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    if (item == nullptr)
        return;
    wchar_t path[MAX_PATH] = {};
    const bool inFileSystem = SHGetPathFromIDListW(item, path) && path[0] != L'\0';
    CoTaskMemFree(item);
    if (!inFileSystem) {
        // A virtual shell folder has no path to install to; the field keeps
        // its folder.
        LOG_INFO("BrowseForFolder: the chosen item is not a file-system folder");
        ShowPathTip(languageManager.GetText(L"STR_PATH_INVALID"));
        return;
    }
    if (pEditPath != nullptr)
        pEditPath->SetText(path);
    ShowPathTip(std::wstring());
}

void CMainFrameWnd::OnClickInstall()
{
    LOG_INFO("OnClickInstall");
    FinishStart();   // the taskbar progress and the banner files
    ShowPathTip(std::wstring());
    const std::wstring path = InstallRootFromField(pEditPath != nullptr ? pEditPath->GetText() : std::wstring());
    strInstallDir = path;
    LOG_INFO_W(L"sel path:%ls", path.c_str());
    // The same check as /S: the form first, then whether the parent exists.
    if (const char* problem = InstallRootProblem(path)) {
        LOG_INFO("sel path refused: %s", problem);
        ShowPathTip(languageManager.GetText(L"STR_PATH_INVALID"));
        return;
    }
    SetLastError(0);
    bool exists = false;
    if (!CheckFolderPath(path, exists)) {
        ShowPathTip(languageManager.GetText(L"STR_PATH_INVALID"));
        return;
    }
    LOG_INFO("sel path end");
    StartInstallRequest();
    LOG_INFO("send ga begin");
    SendAnalyticsEvent(true);
    LOG_INFO("send ga end");
    LOG_INFO("change page downloading begin");
    UpdateWindowSate(kWindow_Downloading);
    LOG_INFO("change page downloading end");
}

void CMainFrameWnd::StartInstallRequest()
{
    std::thread(&CMainFrameWnd::InstallRequestWorker, this).detach();
}

void CMainFrameWnd::InstallRequestWorker()
{
    LOG_INFO("get file size begin");
    const int32_t size = GetRemoteFileSize(strDownloadUrl);
    LOG_INFO("get file size end");
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
        StartDownload(strDownloadUrl, DownloadedFilePath(), size);
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

bool CMainFrameWnd::StartDownload(const std::wstring& url, const std::wstring& file, int32_t approvedSize)
{
    if (url.empty() || file.empty())
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
    std::thread(&CMainFrameWnd::DownloadWorker, this, url, file, approvedSize).detach();
    return true;
}

void CMainFrameWnd::DownloadEngineEnded()
{
    std::lock_guard<std::mutex> lock(mtxDownloads);
    if (--nEnginesRunning == 0)
        SetEvent(hEnginesIdle.Get());
}

void CMainFrameWnd::DownloadWorker(std::wstring url, std::wstring file, int32_t approvedSize)
{
    DownloadParam param;
    param.nApprovedSize = approvedSize;
    param.nDownloadThread = 5;
    param.pUserData = this;
    param.pMeter = &meter;
    param.strDownloadUrl = url;
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
        else if (value1 == kDownloadNoSize || value1 == kDownloadFailed)
            window->DownloadFailed();
    }
}

// ------------------------------------------------------ hand-off and finish

void CMainFrameWnd::DownloadSuccess()
{
    LOG_INFO("HttpDownloadEnd\xA3\xBA" "Success");
    if (!VerifyDownloadedInstaller()) {
        AskAfterFailedDownload(L"STR_VERIFY_FAILED");
        return;
    }
    SendAnalyticsEvent(false);
    UpdateWindowSate(kWindow_Installing);
    SetProgressPercent(90);
}

bool CMainFrameWnd::VerifyDownloadedInstaller()
{
    if (CheckInstallerSignature(DownloadedFilePath()))
        return true;
    DeleteDownloadedFile(0);
    return false;
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
        DeleteDownloadedFiles();
        StartInstallRequest();
    } else if (answer == IDIGNORE) {
        OpenWebPage(hWnd, strDownloadUrl);
        DeleteDownloadedFiles();
        SetProgressPercent(0);
        nLastProgress = 0;
        UpdateWindowSate(kWindow_Init);
    }
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
    if (!FileReadable(path))
        return false;
    banner->ReplaceBkImage(path);
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
    pSpeedLine->Update(meter.Snapshot());
    pLabelSpeed->SetText(pSpeedLine->Fitted([this](const std::wstring& line) { return pLabelSpeed->FitsOnOneLine(line); }));
}
