// Entry point of the installer: one instance per executable base name, the
// UI framework's module and skin path, then the main window as a modal
// window. The process exits with 0 right after the window is gone (without
// destroying the window object, see CMainFrameWnd), -1 when another instance
// runs.
#include <windows.h>

#include <string>

#include "app/MainFrameWnd.h"
#include "skinui/SkinSource.h"

namespace {

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

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    // Never closed: it marks this instance until the process ends.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, BaseNameOf(path).c_str());
    if (mutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS)
        return -1;

    SkinUI::CSkinSource::SetModule(instance);
    SkinUI::CSkinSource::SetSkinPath(SkinUI::CSkinSource::GetModuleFolder());

    CMainFrameWnd frame;
    if (frame.Create(nullptr, L"", 0x96C80000, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                     nullptr) == nullptr)
        return 0;
    frame.CenterOnOwner();
    frame.RunModal();
    // Worker threads may still hold the window: the process ends here, while
    // the window object is alive, and never returns from this scope.
    ExitProcess(0);
}
