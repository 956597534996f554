// Progress on the window's taskbar button through the shell's taskbar list.
// When the shell object cannot be created every operation does nothing.
//
// Classes in this file: CTaskbarProgress.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <commctrl.h>
#include <cstdint>

struct ITaskbarList3;

// Progress states of the taskbar button.
enum TaskbarState {
    kTaskbar_None = 0,
    kTaskbar_Indeterminate = 1,
    kTaskbar_Normal = 2,
    kTaskbar_Error = 4,
    kTaskbar_Paused = 8,
};

class CTaskbarProgress {
public:
    CTaskbarProgress() = default;
    ~CTaskbarProgress();
    CTaskbarProgress(const CTaskbarProgress&) = delete;
    CTaskbarProgress& operator=(const CTaskbarProgress&) = delete;

    // Image list, COM on the calling thread, the taskbar object.
    void Create();
    // Binds to the window (a second try at the taskbar object when the first
    // failed) and shows the indeterminate state.
    void Attach(HWND window);
    void SetState(int flags);
    void SetValue(uint64_t completed, uint64_t total);
    bool HasTaskbar() const { return pTaskbar != nullptr; }

private:
    HIMAGELIST hImageList = nullptr;
    ITaskbarList3* pTaskbar = nullptr;
    HWND hWnd = nullptr;
};
#endif
