// CWindowWnd wraps one native window: class registration (own class or a
// superclass of a system class), creation with the object as creation
// parameter, the window procedure that routes messages to the object, and
// the modal message loop. The object does not own the window's lifetime
// beyond its handle: OnWindowGone runs after WM_NCDESTROY.
//
// Classes in this file: CWindowWnd.
#pragma once

#ifdef _WIN32
#include <windows.h>

namespace SkinUI {

class CWindowWnd {
public:
    CWindowWnd() = default;
    virtual ~CWindowWnd();
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    HWND GetHWND() const { return hWnd; }
    operator HWND() const { return hWnd; }

    // Registers the class (or superclass) and creates the window; nullptr
    // when registration or creation fails.
    HWND Create(HWND parent, LPCWSTR name, DWORD style, DWORD exStyle, int x = CW_USEDEFAULT,
                int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT, int cy = CW_USEDEFAULT, HMENU menu = nullptr);
    HWND Create(HWND parent, LPCWSTR name, DWORD style, DWORD exStyle, const RECT& rc, HMENU menu = nullptr);
    // Subclasses an existing window; Unsubclass restores it.
    HWND Subclass(HWND window);
    void Unsubclass();

    void ShowWindow(bool show = true, bool takeFocus = true);
    // Shows the window, disables the owner and pumps messages until the
    // window is gone; returns the wParam of the WM_CLOSE that ended it.
    UINT RunModal();
    void Close(UINT result = IDOK);
    void CenterOnOwner();
    // Loads the big and small icons of the resource module and gives them to
    // the window; they are kept until they are replaced or the window is gone.
    void SetIcon(UINT resourceId);
    void ResizeClientArea(int cx, int cy);

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    bool RegisterWindowKind();
    bool RegisterSuperclassKind();

    // Slot 0 to 4 of the window's behaviour.
    virtual LPCWSTR WindowClassName() const = 0;
    virtual LPCWSTR SuperclassName() const;
    virtual UINT WindowClassStyle() const;
    virtual LRESULT ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void OnWindowGone(HWND window);

protected:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hWnd = nullptr;
    WNDPROC pfnOldWndProc = ::DefWindowProcW;
    bool bSubclassed = false;

private:
    void DropIcons();
    void ForgetWindow(HWND window);
    HICON hIconBig = nullptr;     // owned, set by SetIcon
    HICON hIconSmall = nullptr;   // owned, set by SetIcon
};

} // namespace SkinUI

#endif // _WIN32
