// WindowImplBase: the ready-made skinned window. It removes the native frame,
// loads the skin while handling WM_CREATE, answers hit tests from the skin's
// caption band and resize borders, and turns control notifications into calls
// of the subclass through a static message map (CNotifyPump). It owns its
// window host, which owns the control tree.
//
// Classes in this file: NotifyMapEntry, NotifyMap, CNotifyPump,
// WindowImplBase. Macros: PW_NOTIFY_HANDLER, PW_NOTIFY_PARAMS.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <map>
#include <string>

#include "skinui/SkinBuilder.h"
#include "skinui/WindowHostUI.h"
#include "skinui/WindowWnd.h"

namespace SkinUI {

class CNotifyPump;

// One message map entry: the notification type, the control name ("" for any
// sender), the handler kind (1: wParam/lParam, 2: the notification) and the
// handler.
struct NotifyMapEntry {
    const wchar_t* type;
    const wchar_t* control;
    int kind;
    void (CNotifyPump::*paramHandler)(WPARAM, LPARAM);
    void (CNotifyPump::*notifyHandler)(NotifyMsg&);
};

// A class's map: its entries (ended by an entry with a null type) and the
// base class's map.
struct NotifyMap {
    const NotifyMap* base;
    const NotifyMapEntry* entries;
};

#define PW_NOTIFY_HANDLER(type, control, method) \
    {type, control, 2, nullptr, static_cast<void (::SkinUI::CNotifyPump::*)(::SkinUI::NotifyMsg&)>(method)}
#define PW_NOTIFY_PARAMS(type, control, method) \
    {type, control, 1, static_cast<void (::SkinUI::CNotifyPump::*)(WPARAM, LPARAM)>(method), nullptr}
#define PW_NOTIFY_END {nullptr, nullptr, 0, nullptr, nullptr}

class CNotifyPump {
public:
    virtual ~CNotifyPump() = default;
    // The class's map; the pump's own map is empty.
    virtual const NotifyMap* MessageMap() const;
    // Routes one notification; true when some entry handled it.
    bool DispatchNotify(NotifyMsg& msg);
    // Pumps that receive the notifications of one virtual window.
    bool AddVirtualWnd(const std::wstring& name, CNotifyPump* pump);
    bool RemoveVirtualWnd(const std::wstring& name);

    static const NotifyMap kBaseMap;

private:
    bool RunEntry(const NotifyMapEntry& entry, NotifyMsg& msg);
    std::map<std::wstring, CNotifyPump*> mapVirtualWnd;   // lower-case names; borrowed
};

class WindowImplBase : public CWindowWnd,
                       public CNotifyPump,
                       public INotifyUI,
                       public IMessageFilterUI,
                       public IDialogBuilderCallback {
public:
    WindowImplBase() = default;
    ~WindowImplBase() override = default;

    // Slots 0 to 4.
    LPCWSTR WindowClassName() const override = 0;
    LPCWSTR SuperclassName() const override { return nullptr; }
    UINT WindowClassStyle() const override { return CS_DBLCLKS; }
    LRESULT ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnWindowGone(HWND window) override;

    virtual void PrepareWindow() {}
    virtual void HandleClick(NotifyMsg& msg);
    virtual std::wstring SkinFolder() = 0;
    virtual std::wstring SkinFileName() = 0;
    virtual bool OnDefaultKey(WPARAM key);
    virtual int SkinSourceKind() const { return 1; }
    virtual std::wstring SkinArchiveName() const { return std::wstring(); }
    virtual LPCWSTR SkinResourceId() const { return nullptr; }

    virtual LRESULT HandleCloseMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT HandleDestroyMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT HandleNcActivateMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT HandleNcCalcSizeMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT HandleNcPaintMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT HandleNcHitTestMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT HandleGetMinMaxInfoMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT HandleMouseWheelMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT HandleMouseHoverMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT HandleSizeMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT HandleCharMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT HandleSysCommandMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT HandleCreateMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT HandleKeyDownMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT HandleKillFocusMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT HandleSetFocusMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT HandleLButtonDownMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT HandleLButtonUpMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT HandleMouseMoveMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT HandleOtherMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    // WM_DPICHANGED (the window moved to a display of another scale, or the
    // scale changed): the host takes the new DPI, the window takes the
    // rectangle the system suggests, and the tree is laid out anew.
    virtual LRESULT HandleDpiChangedMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LONG GetStyle();

    // INotifyUI, IMessageFilterUI, IDialogBuilderCallback.
    void Notify(NotifyMsg& msg) override;
    LRESULT FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    CControlUI* CreateCustomControl(const std::wstring& className) override;

    const NotifyMap* MessageMap() const override;
    CWindowHostUI& Host() { return host; }

    // What happens when the skin yields no root: the failure box, then the
    // process ends with exit code 1. Tests may replace the ending.
    static void (*pfnSkinLoadFailed)();
    static void DefaultSkinLoadFailed();

protected:
    void OpenSkinSource();
    static const NotifyMapEntry kEntries[];
    static const NotifyMap kMap;

    CWindowHostUI host;
};

} // namespace SkinUI

#endif // _WIN32
