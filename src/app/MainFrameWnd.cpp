// The window itself: its notifications, start-up around the first frame,
// the page states, the home page with the folder area and the licence, the
// Install click, and closing. The download page lives in
// MainFrameDownload.cpp, the hand-off and the finish page in
// MainFrameFinish.cpp.
#include "app/MainFrameWnd.h"

#include <shlobj.h>

#include <thread>

#include "app/Analytics.h"
#include "app/InstallSteps.h"
#include "app/StartUp.h"
#include "config/ResourcePackage.h"
#include "logging/Log.h"
#include "net/ProxySignIn.h"
#include "net/SecureChannel.h"
#include "skinui/ButtonUI.h"
#include "skinui/ContainerUI.h"
#include "skinui/EditUI.h"
#include "skinui/LabelUI.h"
#include "skinui/ProgressUI.h"
#include "system/Process.h"
#include "system/SystemInfo.h"
#include "system/SystemLibrary.h"

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
    SetProxyCredentialPrompt([this](const std::wstring& proxyHost, const std::wstring& realm, int attempt,
                                    std::wstring& user, CSecretText& password) {
        return AskProxySignIn(proxyHost, realm, attempt, user, password);
    });
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
    // The system libraries of the requests first, then the TLS stack: the
    // thread loads them while the home page shows, so that Install seldom
    // waits for them.
    StartSecureChannelWarmUp(&LoadNetworkLibraries);
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
        if (FileExists(tip))
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
    downloadUrls = lang.GetDownloadUrls();
    strUrlInUse = downloadUrls.front();
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
    SetEvent(hClosing.Get());
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
    // However the window goes, a worker waiting for the sign-in stops.
    SetEvent(hClosing.Get());
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
    if (message == kMsgProxySignIn) {
        ShowProxySignIn();
        handled = true;
        return 0;
    }
    return WindowImplBase::HandleOtherMessage(message, wParam, lParam, handled);
}

// ------------------------------------------------------- the Install click

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
    // No request before every library the request stacks load by name is in
    // the process from the system folder: the size query and the analytics
    // event start below, and the warm-up may still be loading them (this
    // waits for it then).
    LoadNetworkLibraries();
    StartInstallRequest();
    LOG_INFO("send ga begin");
    SendAnalyticsEvent(true);
    LOG_INFO("send ga end");
    LOG_INFO("change page downloading begin");
    UpdateWindowSate(kWindow_Downloading);
    LOG_INFO("change page downloading end");
}
