#include "system/Process.h"

#include "logging/Log.h"
#include "logging/TextFormat.h"
#include "system/SystemInfo.h"
#include "system/SystemLibrary.h"
#include "system/WinHandle.h"

#include <aclapi.h>
#include <exdisp.h>
#include <sddl.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// A process found by name is opened to be ended, waited for and asked its
// creation time: nothing that reads or writes its memory or starts code in it.
constexpr DWORD kKillAccess = PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION;

// Parents are looked up this many links up at most.
constexpr int kMaxAncestry = 32;

// The service of the desktop's top-level browser (SID_STopLevelBrowser).
// The interfaces and classes are named by __uuidof, whose values the
// headers carry; only this service identifier has none there, and defining
// it here spares the program the import library of identifiers.
constexpr GUID kSidTopLevelBrowser = {0x4c96be40, 0x915c, 0x11cf, {0x99, 0xd3, 0x00, 0xaa, 0x00, 0x4a, 0xe8, 0x37}};

// wdc.dll's entry that starts a program as the logged-on interactive user.
typedef HRESULT(WINAPI* RunTaskAsInteractiveUserFn)(const wchar_t* commandLine, const wchar_t* reserved,
                                                     DWORD flags);
constexpr DWORD kInteractiveUserFlags = 57;

// Owns one COM interface pointer.
template <typename T>
class CComRef {
public:
    CComRef() = default;
    ~CComRef() { Reset(); }
    CComRef(const CComRef&) = delete;
    CComRef& operator=(const CComRef&) = delete;
    T* Get() const { return pValue; }
    T* operator->() const { return pValue; }
    T** Receive() { Reset(); return &pValue; }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
    void Reset()
    {
        if (pValue != nullptr)
            pValue->Release();
        pValue = nullptr;
    }

private:
    T* pValue = nullptr;
};

// Owns a BSTR.
class CScopedBstr {
public:
    explicit CScopedBstr(const std::wstring& text) : bstrValue(SysAllocString(text.c_str())) {}
    ~CScopedBstr() { SysFreeString(bstrValue); }
    CScopedBstr(const CScopedBstr&) = delete;
    CScopedBstr& operator=(const CScopedBstr&) = delete;
    BSTR Get() const { return bstrValue; }

private:
    BSTR bstrValue;
};

// COM for the calling thread for as long as the object lives; a thread that
// already uses COM in another mode keeps it.
class CComScope {
public:
    CComScope() : hrInit(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~CComScope()
    {
        if (SUCCEEDED(hrInit))
            CoUninitialize();
    }
    bool Usable() const { return SUCCEEDED(hrInit) || hrInit == RPC_E_CHANGED_MODE; }

private:
    HRESULT hrInit;
};

// False when wdc.dll or its export is missing; otherwise started tells
// whether the call reported success.
bool RunThroughInteractiveUserTask(const std::wstring& programPath, bool& started)
{
    CScopedModule library(LoadSystemLibrary("wdc.dll"));
    if (!library)
        return false;
    auto run = reinterpret_cast<RunTaskAsInteractiveUserFn>(
        reinterpret_cast<void*>(GetProcAddress(library.Get(), "WdcRunTaskAsInteractiveUser")));
    if (run == nullptr) {
        LOG_INFO("GetProcAddress(WdcRunTaskAsInteractiveUser) failed, error %lu", GetLastError());
        return false;
    }
    HRESULT hr = run(programPath.c_str(), nullptr, kInteractiveUserFlags);
    LOG_INFO("WdcRunTaskAsInteractiveUser returned 0x%08lX", static_cast<unsigned long>(hr));
    started = SUCCEEDED(hr);
    // The library stays loaded: the task it schedules may still be using it
    // when the call returns, and the program closes right after the start.
    library.Release();
    return true;
}

// Asks the desktop's shell (which runs as the logged-on user) to start the
// program, so it does not inherit this process's elevation. False when there
// is no desktop shell to ask or it refuses.
bool RunThroughDesktopShell(const std::wstring& programPath)
{
    CComScope com;
    if (!com.Usable())
        return false;
    CComRef<IShellWindows> windows;
    HRESULT hr = CoCreateInstance(__uuidof(ShellWindows), nullptr, CLSCTX_LOCAL_SERVER, __uuidof(IShellWindows),
                                  windows.ReceiveVoid());
    if (FAILED(hr)) {
        LOG_INFO("CoCreateInstance(ShellWindows) failed, hr 0x%08lX", static_cast<unsigned long>(hr));
        return false;
    }
    VARIANT location;
    VariantInit(&location);
    VARIANT root;
    VariantInit(&root);
    long desktopWindow = 0;
    CComRef<IDispatch> desktop;
    hr = windows->FindWindowSW(&location, &root, SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH,
                               desktop.Receive());
    if (hr != S_OK || desktop.Get() == nullptr) {
        LOG_INFO("IShellWindows::FindWindowSW(desktop) failed, hr 0x%08lX", static_cast<unsigned long>(hr));
        return false;
    }
    CComRef<IServiceProvider> services;
    CComRef<IShellBrowser> browser;
    CComRef<IShellView> view;
    CComRef<IDispatch> background;
    CComRef<IShellFolderViewDual> folderView;
    CComRef<IDispatch> application;
    CComRef<IShellDispatch2> shell;
    hr = desktop->QueryInterface(__uuidof(IServiceProvider), services.ReceiveVoid());
    if (SUCCEEDED(hr))
        hr = services->QueryService(kSidTopLevelBrowser, __uuidof(IShellBrowser), browser.ReceiveVoid());
    if (SUCCEEDED(hr))
        hr = browser->QueryActiveShellView(view.Receive());
    if (SUCCEEDED(hr))
        hr = view->GetItemObject(SVGIO_BACKGROUND, __uuidof(IDispatch), background.ReceiveVoid());
    if (SUCCEEDED(hr))
        hr = background->QueryInterface(__uuidof(IShellFolderViewDual), folderView.ReceiveVoid());
    if (SUCCEEDED(hr))
        hr = folderView->get_Application(application.Receive());
    if (SUCCEEDED(hr))
        hr = application->QueryInterface(__uuidof(IShellDispatch2), shell.ReceiveVoid());
    if (FAILED(hr) || shell.Get() == nullptr) {
        LOG_INFO("desktop shell not reachable, hr 0x%08lX", static_cast<unsigned long>(hr));
        return false;
    }
    CScopedBstr file(programPath);
    CScopedBstr verb(L"open");
    VARIANT arguments;
    VariantInit(&arguments);
    VARIANT directory;
    VariantInit(&directory);
    VARIANT operation;
    VariantInit(&operation);
    operation.vt = VT_BSTR;
    operation.bstrVal = verb.Get();
    VARIANT show;
    VariantInit(&show);
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    hr = shell->ShellExecute(file.Get(), arguments, directory, operation, show);
    if (FAILED(hr)) {
        LOG_INFO("IShellDispatch2::ShellExecute failed, hr 0x%08lX", static_cast<unsigned long>(hr));
        return false;
    }
    return true;
}

bool RunThroughShell(const std::wstring& programPath)
{
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    // The caller tells the user when the start fails; the shell shows no
    // error box of its own.
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.hwnd = nullptr;
    info.lpVerb = L"open";
    info.lpFile = programPath.c_str();
    info.lpParameters = L"";
    info.lpDirectory = nullptr;
    info.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&info))
        return true;
    LOG_INFO_W(L"ShellExecuteExW failed, error %lu: %ls", GetLastError(), programPath.c_str());
    return false;
}

const wchar_t* PathName(RunProgramPath path)
{
    switch (path) {
    case kRunShellElevated: return L"shell, elevated";
    case kRunInteractiveUser: return L"wdc.dll interactive user";
    case kRunDesktopShell: return L"desktop shell, not elevated";
    case kRunShellNotElevated: return L"shell, not elevated";
    case kRunShellFallback: return L"shell fallback, elevated";
    }
    return L"?";
}

// The creation time of an open process; 0 when it cannot be read.
ULONGLONG CreationTimeOf(HANDLE process)
{
    FILETIME created = {};
    FILETIME exited = {};
    FILETIME kernel = {};
    FILETIME user = {};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
        return 0;
    return static_cast<ULONGLONG>(created.dwHighDateTime) << 32 | created.dwLowDateTime;
}

// The creation time of the process that holds the identifier now; 0 when
// none does (or it cannot be opened).
ULONGLONG CreationTimeOf(DWORD processId)
{
    CScopedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    return process ? CreationTimeOf(process.Get()) : 0;
}

// (process, parent) identifiers of one snapshot of the process list.
using ParentMap = std::vector<std::pair<DWORD, DWORD>>;

// Whether the process (identifier id, created at created) descends from the
// ancestor, following the parents of the snapshot; see EndDescendantsNamed.
bool DescendsFrom(const ParentMap& parents, DWORD id, ULONGLONG created, const ProcessStamp& ancestor)
{
    for (int depth = 0; depth < kMaxAncestry && created != 0; ++depth) {
        const auto link = std::find_if(parents.begin(), parents.end(), [id](const auto& p) { return p.first == id; });
        if (link == parents.end() || link->second == 0 || link->second == id)
            return false;
        const DWORD parent = link->second;
        // The process holding the parent's number now: the parent itself
        // when it was created first, else a later one that took the number.
        const ULONGLONG holder = CreationTimeOf(parent);
        if (parent == ancestor.dwId && ancestor.nCreated != 0 && ancestor.nCreated <= created)
            return holder == ancestor.nCreated || holder == 0 || holder > created;
        if (holder == 0 || holder > created)
            return false;
        id = parent;
        created = holder;
    }
    return false;
}

} // namespace

bool FindProcess(const std::wstring& name, DWORD& processId)
{
    // A longer name cannot be held, and a truncated one could match another
    // process, so it is never looked for.
    if (name.empty() || name.size() > kProcessNameMax) {
        LOG_INFO("process name of %u characters refused", static_cast<unsigned>(name.size()));
        return false;
    }
    wchar_t wanted[kProcessNameMax + 1] = {};
    name.copy(wanted, kProcessNameMax);

    CScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        LOG_INFO("CreateToolhelp32Snapshot failed, error %lu", GetLastError());
        return false;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
        if (lstrcmpW(entry.szExeFile, wanted) == 0) {
            processId = entry.th32ProcessID;
            return true;
        }
    }
    return false;
}

bool KillProcess(DWORD processId)
{
    CScopedHandle process(OpenProcess(kKillAccess, FALSE, processId));
    if (!process) {
        LOG_INFO("OpenProcess(%lu) failed, error %lu", static_cast<unsigned long>(processId), GetLastError());
        return false;
    }
    // The request is all that is asked for; the process ends on its own time.
    TerminateProcess(process.Get(), 0);
    return true;
}

int EndDescendantsNamed(const std::wstring& name, const ProcessStamp& ancestor)
{
    if (ancestor.dwId == 0 || name.empty() || name.size() > kProcessNameMax)
        return 0;
    CScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        LOG_INFO("CreateToolhelp32Snapshot failed, error %lu", GetLastError());
        return 0;
    }
    ParentMap parents;
    std::vector<DWORD> named;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
        parents.emplace_back(entry.th32ProcessID, entry.th32ParentProcessID);
        if (name == entry.szExeFile)
            named.push_back(entry.th32ProcessID);
    }
    int ended = 0;
    for (DWORD id : named) {
        // Held open from the check to the end, so the number cannot pass to
        // another process in between.
        CScopedHandle process(OpenProcess(kKillAccess, FALSE, id));
        if (!process)
            continue;
        if (!DescendsFrom(parents, id, CreationTimeOf(process.Get()), ancestor)) {
            LOG_INFO_W(L"%ls (process %lu) was not started by process %lu; it is left running", name.c_str(),
                       static_cast<unsigned long>(id), static_cast<unsigned long>(ancestor.dwId));
            continue;
        }
        TerminateProcess(process.Get(), 0);
        ++ended;
    }
    return ended;
}

HINSTANCE ShellOpen(HWND owner, const std::wstring& target)
{
    HINSTANCE result = ShellExecuteW(owner, L"Open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    // A URL is logged without its query; a file path as it is.
    const std::wstring shown = target.find(L"://") != std::wstring::npos ? UrlForLog(target) : target;
    LOG_INFO_W(L"ShellExecuteW(Open) returned %ld: %ls", static_cast<long>(reinterpret_cast<INT_PTR>(result)),
               shown.c_str());
    return result;
}

bool RunSilentInstaller(const std::wstring& installerPath, const std::wstring& installFolder, DWORD* exitCode,
                        const std::function<bool()>& mayRun, ProcessStamp* started)
{
    std::wstring line;
    if (!BuildSilentInstallerCommandLine(installFolder, line)) {
        LOG_INFO("install folder of %u characters does not fit the command line; not started",
                 static_cast<unsigned>(installFolder.size()));
        return false;
    }
    wchar_t commandLine[kInstallerCommandLineBuffer] = {};
    line.copy(commandLine, kInstallerCommandLineBuffer - 1);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    // A scanner may still hold the fresh installer: waited for.
    uint64_t heldSince = 0;
    BOOL created;
    while (!(created = CreateProcessW(installerPath.c_str(), commandLine, nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                                      nullptr, nullptr, &startup, &info)) &&
           WaitWhileFileHeld(installerPath, heldSince)) {
    }
    if (!created) {
        LOG_INFO_W(L"CreateProcessW failed, error %lu: %ls", GetLastError(), installerPath.c_str());
        return false;
    }
    CScopedHandle process(info.hProcess);
    CScopedHandle thread(info.hThread);
    if (started != nullptr)
        *started = ProcessStamp{info.dwProcessId, CreationTimeOf(process.Get())};
    if (mayRun && !mayRun()) {
        TerminateProcess(process.Get(), 1);
        WaitForSingleObject(process.Get(), 5000);
        LOG_INFO("silent installer process %lu ended before it ran", static_cast<unsigned long>(info.dwProcessId));
        return false;
    }
    ResumeThread(thread.Get());
    WaitForSingleObject(process.Get(), INFINITE);
    DWORD code = 0;
    if (!GetExitCodeProcess(process.Get(), &code)) {
        code = static_cast<DWORD>(-1);
        LOG_INFO("GetExitCodeProcess failed, error %lu", GetLastError());
    }
    LOG_INFO("silent installer process %lu ended with exit code %lu", static_cast<unsigned long>(info.dwProcessId),
             static_cast<unsigned long>(code));
    if (exitCode != nullptr)
        *exitCode = code;
    return true;
}

namespace {

std::wstring SidText(PSID sid)
{
    wchar_t* text = nullptr;
    if (sid == nullptr || !ConvertSidToStringSidW(sid, &text))
        return std::wstring();
    std::wstring result = text;
    LocalFree(text);
    return result;
}

} // namespace

ObjectSecurity ReadObjectSecurity(PSECURITY_DESCRIPTOR descriptor, const std::wstring& path)
{
    ObjectSecurity object;
    object.strPath = path;
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (GetSecurityDescriptorOwner(descriptor, &owner, &defaulted))
        object.strOwnerSid = SidText(owner);
    BOOL present = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present || dacl == nullptr) {
        object.bHasDacl = false;
        return object;
    }
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* raw = nullptr;
        if (!GetAce(dacl, i, &raw))
            continue;
        const auto* header = static_cast<const ACE_HEADER*>(raw);
        AccessEntry entry;
        entry.bInherited = (header->AceFlags & INHERITED_ACE) != 0;
        entry.bInheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
        if (header->AceType == ACCESS_ALLOWED_ACE_TYPE || header->AceType == ACCESS_DENIED_ACE_TYPE) {
            // Both kinds share the layout: header, mask, then the SID.
            const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(raw);
            entry.bAllow = header->AceType == ACCESS_ALLOWED_ACE_TYPE;
            entry.nMask = ace->Mask;
            entry.strSid = SidText(const_cast<DWORD*>(&ace->SidStart));
        } else {
            // A kind not read here may grant anything to anyone.
            entry.nMask = 0xFFFFFFFF;
            entry.strSid = L"? (entry of type " + IntToWide(header->AceType) + L")";
        }
        object.vecEntries.push_back(entry);
    }
    return object;
}

std::wstring ProgramReplaceRisk(const std::wstring& programPath)
{
    const std::wstring& p = programPath;
    if (p.size() < 4 || p[1] != L':' || p[2] != L'\\')
        return p + L": not a path from the top of a drive";
    // The program, then each folder above it up to the drive's root ("X:\").
    std::wstring object = p;
    for (int depth = 0;; ++depth) {
        const DWORD wanted = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
        DWORD needed = 0;
        GetFileSecurityW(object.c_str(), wanted, nullptr, 0, &needed);
        std::vector<BYTE> buffer(needed);
        if (needed == 0 || !GetFileSecurityW(object.c_str(), wanted, buffer.data(), needed, &needed))
            return object + L": its permissions cannot be read (error " + IntToWide(GetLastError()) + L")";
        const std::wstring risk = ReplaceRisk(ReadObjectSecurity(buffer.data(), object), depth < 2);
        if (!risk.empty())
            return risk;
        if (object.size() <= 3)
            return std::wstring();
        const size_t slash = object.find_last_of(L'\\', object.size() - (object.back() == L'\\' ? 2 : 1));
        object = object.substr(0, slash < 3 ? 3 : slash);
    }
}

bool RunProgram(const std::wstring& programPath, bool elevated, RunProgramPath* pathTaken)
{
    RunProgramPath path = kRunShellElevated;
    bool started = false;
    if (elevated) {
        // An elevated start of a file a non-administrator could have
        // replaced would hand that user administrator rights.
        const std::wstring risk = ProgramReplaceRisk(programPath);
        if (!risk.empty()) {
            LOG_INFO_W(L"RunProgram: not elevated, a non-administrator could have replaced the program: %ls",
                       risk.c_str());
            elevated = false;
        } else {
            LOG_INFO_W(L"RunProgram: elevated, only administrators can replace %ls", programPath.c_str());
        }
    }
    if (elevated) {
        started = RunThroughShell(programPath);
    } else if (RunThroughInteractiveUserTask(programPath, started)) {
        path = kRunInteractiveUser;
    } else if (!IsProcessElevated()) {
        // Nothing to shed: a start through the shell is already unelevated.
        path = kRunShellNotElevated;
        started = RunThroughShell(programPath);
    } else if (RunThroughDesktopShell(programPath)) {
        path = kRunDesktopShell;
        started = true;
    } else {
        path = kRunShellFallback;
        started = RunThroughShell(programPath);
    }
    LOG_INFO_W(L"RunProgram %ls %ls by: %ls", started ? L"started" : L"could not start", programPath.c_str(),
               PathName(path));
    if (pathTaken != nullptr)
        *pathTaken = path;
    return started;
}

bool OpenWebPage(HWND owner, const std::wstring& url, RunProgramPath* pathTaken)
{
    bool started = false;
    RunProgramPath path = kRunInteractiveUser;
    if (!RunThroughInteractiveUserTask(url, started)) {
        // Without wdc.dll the page opens as it always did, through this
        // program's shell (not elevated only when this program is not).
        path = IsProcessElevated() ? kRunShellFallback : kRunShellNotElevated;
        started = reinterpret_cast<INT_PTR>(ShellOpen(owner, url)) > 32;
    }
    LOG_INFO_W(L"OpenWebPage %ls %ls by: %ls", started ? L"opened" : L"could not open", UrlForLog(url).c_str(),
               PathName(path));
    if (pathTaken != nullptr)
        *pathTaken = path;
    return started;
}

bool IsProcessElevated()
{
    CScopedHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive()))
        return false;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    if (!GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof(elevation), &size))
        return false;
    return elevation.TokenIsElevated != 0;
}
