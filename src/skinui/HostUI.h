// The calls a control makes on the window host it is bound to. The window
// host of a real window implements this interface; the tests bind controls
// to a small host of their own. Everything runs on the UI thread.
//
// Classes in this file: NotifyMsg, AccessEvent, IControlHostUI.
#pragma once

#include <string>
#include <vector>

#include "skinui/SkinValues.h"
#include "skinui/UIDefs.h"

#ifdef _WIN32
#include "skinui/SkinResources.h"
#endif

namespace SkinUI {

// The notification record: what happened (type), to whom (sender) and when.
// The host fills in the time, the mouse point and, with virtual-window
// routing on, the sender's virtual window name.
struct NotifyMsg {
    std::wstring sType;
    std::wstring sVirtualWnd;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse = {0, 0};
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// What assistive technology hears of a control: it took the focus, its
// state (checked, enabled), name (text) or value changed, it was shown or
// hidden (for a container: everything in it).
enum class AccessEvent { Focus, StateChange, NameChange, ValueChange, Show, Hide };

class IControlHostUI {
public:
    virtual ~IControlHostUI() = default;

    // Painting and layout: the area needs repainting; some control asked
    // for a new layout (done before the next paint).
    virtual void Invalidate(const RECT& rc) = 0;
    virtual void NeedUpdate() = 0;

    // Notifications: synchronous ones reach the sender's own notify
    // handlers and then the listeners before this returns; asynchronous ones
    // are queued and delivered the same way later.
    virtual void EmitNotify(CControlUI* sender, const std::wstring& type, WPARAM wParam = 0,
                            LPARAM lParam = 0, bool async = false) = 0;

    // Control timers, identified per control by the control's own id.
    virtual bool SetTimer(CControlUI* control, UINT id, UINT elapse) = 0;
    virtual bool KillTimer(CControlUI* control, UINT id) = 0;
    virtual void KillTimers(CControlUI* control) = 0;

    // Focus and capture.
    virtual void SetFocus(CControlUI* control) = 0;
    virtual CControlUI* GetFocus() const = 0;
    virtual void SetNextTabStop(bool forward = true) = 0;
    virtual void SetFocusNeeded(CControlUI* control) = 0;   // re-focus on the next paint
    virtual void ReleaseCapture() = 0;
    virtual void SetCursorShape(CursorShape shape) = 0;

    // Tree membership: binding a subtree (host, parents, names, groups),
    // forgetting a control that goes away, deleting one after the current
    // message.
    virtual void BindControls(CControlUI* control, CControlUI* parent) = 0;
    virtual void ForgetControl(CControlUI* control) = 0;
    virtual void QueueDelayedDelete(CControlUI* control) = 0;
    virtual CControlUI* GetRoot() const = 0;

    // Controls whose mouse-leave waits until the mouse really leaves them.
    virtual void AddMouseLeaveNeeded(CControlUI* control) = 0;
    virtual void RemoveMouseLeaveNeeded(CControlUI* control) = 0;

    // Option groups by name.
    virtual void AddOptionGroup(const std::wstring& group, CControlUI* control) = 0;
    virtual void RemoveOptionGroup(const std::wstring& group, CControlUI* control) = 0;
    virtual std::vector<CControlUI*> GetOptionGroup(const std::wstring& group) const = 0;

    // Text: the character height of a font (-1: the default font), the size
    // of a text drawn with a font and style within a width (plain or
    // markup), and the default colours.
    virtual int FontHeight(int fontId) = 0;
    virtual SIZE MeasureText(const std::wstring& text, int fontId, UINT style, int width, bool markup) = 0;
    virtual DWORD DefaultTextColor() const = 0;
    virtual DWORD DefaultDisabledColor() const = 0;

    // A control changed in a way a reader should hear of. A host without a
    // window has no one to tell.
    virtual void NotifyAccessibility(CControlUI* control, AccessEvent event)
    {
        (void)control;
        (void)event;
    }

    // The display scale the host draws at: the skin's lengths, written for
    // 96 DPI, are read at this DPI (SkinValues.h).
    virtual int Dpi() const { return kBaseDpi; }

#ifdef _WIN32
    // The native window, the resource tables (images, fonts, colours) the
    // renderer draws with, and the native child windows that belong to a
    // control (edit boxes while editing).
    virtual HWND HostWindow() const = 0;
    virtual CSkinResources* Resources() = 0;
    virtual void AddNativeWindow(HWND window, CControlUI* owner) = 0;
    virtual void RemoveNativeWindow(HWND window) = 0;
#endif
};

} // namespace SkinUI
