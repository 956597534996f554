// Entry point of the installer: the command line, one instance per
// executable base name, the log; then one of three ways: the usage box (/?
// or a refused command line), the silent run (/S, which never creates a
// window), or the UI framework's module and skin path and the main window as
// a modal window, preset by the switches (the window loads the TLS stack
// once the home page is drawn; the process waits for that thread before it
// ends, see SecureChannel.h). The process exits with 0 right
// after the window is gone (without destroying the window object, see
// CMainFrameWnd), with the silent run's code after it, -1 when another
// instance runs (see CommandLine.h for every code). Before any of that, and
// before the C runtime starts, the program's first code restricts where DLLs
// are looked for (see src/system/SystemLibrary.h).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <string>

#include "app/CommandLine.h"
#include "app/MainFrameWnd.h"
#include "app/SilentInstall.h"
#include "app/StartUp.h"
#include "logging/Log.h"
#include "net/ProxySignIn.h"
#include "net/SecureChannel.h"
#include "skinui/SkinSource.h"
#include "system/SystemLibrary.h"

namespace {

// The first code of the program: the loader calls the TLS callbacks once it
// has loaded the direct imports, before the C runtime's start-up, the static
// constructors and wWinMain. From here on, a DLL loaded without a folder
// (by the runtime, a system DLL or this program) comes from the system
// folder, never from the folder the program was started from (where the
// loader cannot restrict that, see RestrictDllSearch).
void WINAPI RestrictDllSearchFirst(PVOID, DWORD reason, PVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        RestrictDllSearch();
}

// The runtime's TLS callbacks sit in .CRT$XLC and later; .CRT$XLB runs first.
__attribute__((used, section(".CRT$XLB"))) PIMAGE_TLS_CALLBACK restrictDllSearchCallback = RestrictDllSearchFirst;

// The file name without folder and extension: the d - b - 1 characters after
// the last "\" (b) up to the last "." (d).
std::wstring BaseNameOf(const std::wstring& path)
{
    const size_t slash = path.rfind(L'\\');
    const size_t begin = slash == std::wstring::npos ? 0 : slash + 1;
    const size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos || dot < begin)
        return path.substr(begin);
    return path.substr(begin, dot - begin);
}

} // namespace

#if defined(__GLIBCXX__)
// An exception that nothing catches ends the process through this handler.
// The runtime's own prints the exception's type demangled, and the name
// demangler it links costs about 46 KB of the executable; this one prints the
// type's mangled name to standard error and aborts the same way.
namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    const std::type_info* type = abi::__cxa_current_exception_type();
    std::fputs("terminate called (", stderr);
    std::fputs(type ? type->name() : "no active exception", stderr);
    std::fputs(")\n", stderr);
    std::abort();
}
} // namespace __gnu_cxx
#endif

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const CommandLineOptions options = ReadProcessCommandLine();
    // Never closed: it marks this instance until the process ends. A refused
    // second instance shows and logs nothing (the running one owns the log).
    HANDLE mutex = CreateMutexW(nullptr, FALSE, BaseNameOf(path).c_str());
    if (mutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS)
        return kExit_AnotherInstance;

    InitRunLog(options);
    if (!DllSearchRestricted())
        LOG_INFO("DLL search: no SetDefaultDllDirectories; system DLLs by full path");
    if (options.bHelp || !options.bValid)
        ExitProcess(static_cast<UINT>(ShowUsage(options)));
    if (options.bSilent) {
        CSilentInstall silent(options);
        ExitProcess(static_cast<UINT>(silent.Run()));
    }

    SkinUI::CSkinSource::SetModule(instance);
    SkinUI::CSkinSource::SetSkinPath(SkinUI::CSkinSource::GetModuleFolder());

    CMainFrameWnd frame(options);
    // Created hidden and shown by RunModal once centred, with its first
    // frame painted at once: the window never appears unpainted or elsewhere.
    if (frame.Create(nullptr, L"", 0x96C80000 & ~WS_VISIBLE, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                     CW_USEDEFAULT, nullptr) == nullptr)
        return 0;
    frame.CenterOnOwner();
    frame.RunModal();
    // The process ends by ExitProcess: the proxy sign-in is wiped here rather
    // than left to destructors that may not run.
    ClearProxyCredentials();
    WaitSecureChannelWarmUp(3000);
    // Worker threads may still hold the window: the process ends here, while
    // the window object is alive, and never returns from this scope.
    ExitProcess(0);
}
