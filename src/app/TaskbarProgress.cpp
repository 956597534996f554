#include "app/TaskbarProgress.h"

#include <objbase.h>
#include <shobjidl.h>

CTaskbarProgress::~CTaskbarProgress()
{
    if (pTaskbar != nullptr)
        pTaskbar->Release();
    if (hImageList != nullptr)
        ImageList_Destroy(hImageList);
}

void CTaskbarProgress::Create()
{
    hImageList = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 0, 0);
    CoInitialize(nullptr);
    void* taskbar = nullptr;
    if (SUCCEEDED(CoCreateInstance(__uuidof(TaskbarList), nullptr, CLSCTX_INPROC_SERVER, __uuidof(ITaskbarList3), &taskbar)))
        pTaskbar = static_cast<ITaskbarList3*>(taskbar);
}

void CTaskbarProgress::Attach(HWND window)
{
    hWnd = window;
    if (pTaskbar == nullptr) {
        void* taskbar = nullptr;
        if (SUCCEEDED(CoCreateInstance(__uuidof(TaskbarList), nullptr, CLSCTX_ALL, __uuidof(ITaskbarList3), &taskbar)))
            pTaskbar = static_cast<ITaskbarList3*>(taskbar);
    }
    SetState(kTaskbar_Indeterminate);
}

void CTaskbarProgress::SetState(int flags)
{
    if (pTaskbar != nullptr && hWnd != nullptr)
        pTaskbar->SetProgressState(hWnd, static_cast<TBPFLAG>(flags));
}

void CTaskbarProgress::SetValue(uint64_t completed, uint64_t total)
{
    if (pTaskbar != nullptr && hWnd != nullptr)
        pTaskbar->SetProgressValue(hWnd, completed, total);
}
