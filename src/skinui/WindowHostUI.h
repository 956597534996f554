// The window host: everything the controls of one native window share. It
// owns the root control (and so the whole tree), keeps focus, hover, capture
// and the key-down control, runs control timers over native timers, queues
// and delivers notifications, shows tooltips, and paints the tree through an
// off-screen buffer. It is also the window's resource tables and skin source
// (through CSkinResources). The listener and filter interfaces are borrowed.
// UI thread only.
//
// Classes in this file: INotifyUI, IMessageFilterUI, ITranslateAcceleratorUI,
// CWindowHostUI. Its code is in four files by responsibility:
// WindowHostUI.cpp (the control tree: binding, focus and the tab order,
// timers, notifications, window attributes), WindowHostPaint.cpp (painting,
// the focus ring and layering), WindowHostInput.cpp (mouse, keys, tooltips,
// message translation and the message filter) and WindowHostAccess.cpp
// (the accessible object and the events assistive technology hears of).
//
// Keyboard use: Tab and Shift+Tab visit the tab stops in visual order
// (TabOrder.h; the window attribute direction="rtl" reads rows from the
// right), wrapping at both ends; with no tab stop focused, Tab goes to the
// control marked defaultfocus="true" when it can take the focus. The focused
// control shows a ring in the window's `focusringcolor` (around its
// `focusrect` when the skin gives one) once the keyboard has been used (Tab,
// an arrow key or Alt), until the next mouse press.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>
#include <vector>

#include "skinui/ControlUI.h"
#include "skinui/HostUI.h"
#include "skinui/SkinBuilder.h"
#include "skinui/SkinResources.h"

namespace SkinUI {

class CAccessibleUI;

class INotifyUI {
public:
    virtual ~INotifyUI() = default;
    virtual void Notify(NotifyMsg& msg) = 0;
};

// Sees window messages before the host; sets handled to stop them.
class IMessageFilterUI {
public:
    virtual ~IMessageFilterUI() = default;
    virtual LRESULT FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) = 0;
};

class ITranslateAcceleratorUI {
public:
    virtual ~ITranslateAcceleratorUI() = default;
    virtual LRESULT TranslateAccelerator(MSG* msg) = 0;   // S_OK when handled
};

// The DPI of the display a window is on, as the window's process sees it:
// GetDpiForWindow where the system has it (a process that is not DPI aware
// gets 96), else the screen's.
int WindowDpi(HWND window);

// The private message that delivers queued notifications.
constexpr UINT kMsgAsyncNotify = WM_APP + 1;
// The native timer of per-pixel layering.
constexpr UINT kLayeredTimerId = 8192;
// The private message that performs a reader's default action (wParam: the
// child id, lParam: the tree it was meant for).
constexpr UINT kMsgAccessibleAction = WM_APP + 2;

class CWindowHostUI : public CSkinResources, public IControlHostUI, public IBuilderHostUI {
public:
    CWindowHostUI();
    ~CWindowHostUI() override;
    CWindowHostUI(const CWindowHostUI&) = delete;
    CWindowHostUI& operator=(const CWindowHostUI&) = delete;

    // Binds the host to its window (clears the host's tables and timers) and
    // takes the window's DPI as its display scale.
    void Init(HWND window);
    HWND HostWindow() const override { return hWndPaint; }
    // The window is being destroyed: lets go of its device context and the
    // off-screen buffer made for it. Called on WM_DESTROY (by FilterMessage)
    // and again, harmlessly, when the window is gone.
    void ReleaseWindowResources();

    // Takes ownership of the tree; an earlier tree goes to delayed deletion.
    bool AttachRootControl(CControlUI* root);
    CControlUI* GetRoot() const override { return pRoot; }
    void BindControls(CControlUI* control, CControlUI* parent) override;
    void ForgetControl(CControlUI* control) override;
    void QueueDelayedDelete(CControlUI* control) override;

    // Look-ups: the topmost visible control under a client point (of this
    // host), and by name.
    CControlUI* LookupControl(POINT pt) const;
    CControlUI* LookupControl(const std::wstring& name) const;

    // Listeners and filters (borrowed; remove before they go away).
    bool AddNotifyListener(INotifyUI* listener);
    bool RemoveNotifyListener(INotifyUI* listener);
    bool AddPreFilter(IMessageFilterUI* filter);
    bool RemovePreFilter(IMessageFilterUI* filter);
    bool AddMessageListener(IMessageFilterUI* filter);
    bool RemoveMessageListener(IMessageFilterUI* filter);
    bool AddTranslateAccelerator(ITranslateAcceleratorUI* translator);
    bool RemoveTranslateAccelerator(ITranslateAcceleratorUI* translator);
    bool AddPostPaint(CControlUI* control);
    bool RemovePostPaint(CControlUI* control);

    // Focus.
    void SetFocus(CControlUI* control) override { SetFocus(control, true); }
    void SetFocus(CControlUI* control, bool takeWindowFocus);
    CControlUI* GetFocus() const override { return pFocus; }
    void SetNextTabStop(bool forward = true) override;
    void SetFocusNeeded(CControlUI* control) override;
    // Focus moved by the keyboard or a reader, not by the mouse; true while
    // the "setfocus" of such a move is delivered.
    bool IsNavigatingFocus() const { return bNavigatingFocus; }
    void SetFocusByNavigation(CControlUI* control);
    void ReleaseCapture() override;
    void SetCapture();
    bool IsCaptured() const { return bMouseCapture; }
    void SetCursorShape(CursorShape shape) override;

    // Timers.
    bool SetTimer(CControlUI* control, UINT id, UINT elapse) override;
    bool KillTimer(CControlUI* control, UINT id) override;
    void KillTimers(CControlUI* control) override;
    void KillAllTimers();
    // The native id of a control's running timer; 0 when there is none or
    // it was killed (a restart takes the same id again).
    UINT NativeTimerId(CControlUI* control, UINT id) const;

    // Notifications.
    void EmitNotify(CControlUI* sender, const std::wstring& type, WPARAM wParam = 0, LPARAM lParam = 0,
                    bool async = false) override
    {
        EmitNotify(sender, type, wParam, lParam, async, false);
    }
    void EmitNotify(CControlUI* sender, const std::wstring& type, WPARAM wParam, LPARAM lParam, bool async,
                    bool noCoalesce);
    void EmitNotify(NotifyMsg& msg, bool async = false, bool noCoalesce = false);
    void SetVirtualWindowRouting(bool on) { bUsedVirtualWnd = on; }
    size_t PendingAsyncCount() const { return vecAsyncNotify.size(); }

    // Painting and layout.
    void Invalidate(const RECT& rc) override;
    void NeedUpdate() override { bUpdateNeeded = true; }
    bool IsUpdateNeeded() const { return bUpdateNeeded; }
    void SetOffscreenPainting(bool on) { bOffscreenPaint = on; }
    // High-contrast mode: read from the system when the window is bound and
    // again on WM_SYSCOLORCHANGE and WM_SETTINGCHANGE; while on, the window
    // draws in the system's colours and always shows the focus ring.
    void ReadHighContrast();
    // Tests only, never called by the program: Wine cannot switch the
    // system's mode on, so the tests force it here.
    void ForceHighContrast(bool on)
    {
        bHighContrastForced = on;
        ReadHighContrast();
    }

    // Display scale. The skin's lengths are read at the host's DPI (its
    // window's at Init). ChangeDpi moves a built window to another scale:
    // the host's fonts and images are made again at it, the window's and
    // every control's length attributes are applied again, and the tree is
    // laid out anew on the next paint. The window's own size is the
    // caller's (WM_DPICHANGED suggests one).
    int Dpi() const override { return GetDpi(); }
    void ChangeDpi(int dpi);

    // Window attributes (skin root element). Lengths are read at the host's
    // DPI.
    void ApplyWindowAttribute(const std::wstring& name, const std::wstring& value) override;
    std::wstring GetWindowCustomAttribute(const std::wstring& name) const;
    SIZE GetInitSize() const { return szInitWindowSize; }
    void SetInitSize(int cx, int cy);
    RECT GetSizeBox() const { return rcSizeBox; }
    void SetSizeBox(const RECT& rc) { rcSizeBox = rc; }
    RECT GetCaptionRect() const { return rcCaption; }
    void SetCaptionRect(const RECT& rc) { rcCaption = rc; }
    SIZE GetRoundCorner() const { return szRoundCorner; }
    void SetRoundCorner(int cx, int cy) { szRoundCorner = MakeSize(cx, cy); }
    SIZE GetMinInfo() const { return szMinWindow; }
    void SetMinInfo(int cx, int cy) { szMinWindow = MakeSize(cx, cy); }
    SIZE GetMaxInfo() const { return szMaxWindow; }
    void SetMaxInfo(int cx, int cy) { szMaxWindow = MakeSize(cx, cy); }
    bool IsShowDirty() const { return bShowDirty; }
    void SetShowDirty(bool on) { bShowDirty = on; }
    bool IsNoActivate() const { return bNoActivate; }
    void SetNoActivate(bool on) { bNoActivate = on; }
    void SetOpacity(BYTE opacity);
    bool IsLayered() const { return bLayered; }
    void SetLayered(bool on);
    BYTE GetLayeredOpacity() const { return nLayeredOpacity; }

    // Message handling. TranslateMessage is called by the modal loop for
    // every message; true when some host consumed it.
    static bool TranslateMessage(const MSG* msg);
    bool TranslateKeyAccelerator(MSG* msg);
    bool PreFilterMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Assistive technology (WindowHostAccess.cpp): the events a reader
    // hears of, and the default action a reader asked for, performed once
    // the current message is done. False when it cannot be posted.
    void NotifyAccessibility(CControlUI* control, AccessEvent event) override;
    bool PostAccessibleAction(long childId);

    // IControlHostUI remainder.
    void AddMouseLeaveNeeded(CControlUI* control) override;
    void RemoveMouseLeaveNeeded(CControlUI* control) override;
    void AddOptionGroup(const std::wstring& group, CControlUI* control) override;
    void RemoveOptionGroup(const std::wstring& group, CControlUI* control) override;
    std::vector<CControlUI*> GetOptionGroup(const std::wstring& group) const override;
    int FontHeight(int fontId) override;
    SIZE MeasureText(const std::wstring& text, int fontId, UINT style, int width, bool markup) override;
    DWORD DefaultTextColor() const override { return GetDefaultFontColor(); }
    DWORD DefaultDisabledColor() const override { return GetDefaultDisabledColor(); }
    CSkinResources* Resources() override { return this; }
    void AddNativeWindow(HWND window, CControlUI* owner) override;
    void RemoveNativeWindow(HWND window) override;
    // The control a native child window belongs to; nullptr when none.
    CControlUI* NativeWindowOwner(HWND window) const;
    // The text of the tooltip this host showed last ("" before the first).
    std::wstring ShownToolTipText() const;

    // IBuilderHostUI: the skin builder fills this host's tables.
    IControlHostUI* BuildControlHost() override { return this; }
    bool HasWindow() const override { return hWndPaint != nullptr; }
    void AddSkinFont(int id, const std::wstring& face, int size, bool bold, bool underline, bool italic, bool shared,
                     bool makeDefault) override;
    void AddSkinImage(const std::wstring& name, const std::wstring& type, DWORD mask, bool useHSL) override;
    void AddSkinClassDefaults(const std::wstring& element, const std::wstring& attributes, bool shared) override;
    std::wstring SkinClassDefaults(const std::wstring& element) const override;
    void AddSkinLangString(int id, const std::wstring& text) override;

private:
    struct TimerEntry {
        CControlUI* pSender;
        UINT nLocalId;
        HWND hWnd;
        UINT uNativeId;
        bool bKilled;
    };

    // One handler per window message (FilterMessage dispatches); true when
    // the message is handled, its result in `result`.
    typedef bool (CWindowHostUI::*MessageHandler)(WPARAM wParam, LPARAM lParam, LRESULT& result);
    struct MessageRoute {
        UINT message;
        MessageHandler handler;
    };
    static const MessageRoute kMessageRoutes[];
    // Every live host; TranslateMessage walks it.
    static std::vector<CWindowHostUI*>& LiveHosts();

    // Control tree (WindowHostUI.cpp).
    void SendEvent(CControlUI* control, int type, WPARAM wParam = 0, LPARAM lParam = 0, wchar_t key = 0);
    void DeliverNotify(NotifyMsg& msg);
    void DeliverAsyncQueue();
    void PostAsyncNotify();
    void DeleteDelayed();
    void ClearTimers();
    bool OnAsyncNotify(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnTimer(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnDestroy(WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Painting and layering (WindowHostPaint.cpp). The focus ring shows
    // after keyboard use, until the next mouse press, and always in
    // high-contrast mode.
    void ShowFocusCues(bool show);
    RECT FocusRingRect(CControlUI* control) const;
    void InvalidateFocusRing(CControlUI* control);
    void PaintFocusRing(HDC hdc);
    void DropOffscreen();
    bool EnsureOffscreen(HDC compatible, const RECT& rcClient);
    void FocusNeededControl();
    void LayOut(const RECT& rcClient);
    void PaintOffscreen(HDC hdc, const RECT& rcClient, const RECT& rcPaint);
    void PresentLayered();
    void FrameDirtyArea(HDC hdc, const RECT& rcPaint);
    bool OnPaint(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnPrintClient(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnSystemColorsChanged(WPARAM wParam, LPARAM lParam, LRESULT& result);
    void RepaintWithChildren();
    bool OnEraseBackground(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnSize(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnGetMinMaxInfo(WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Assistive technology (WindowHostAccess.cpp).
    void DisconnectAccessible();
    bool OnGetObject(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnAccessibleAction(WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Input (WindowHostInput.cpp).
    void RecordMousePoint(UINT message, LPARAM lParam);
    POINT ClientPointOf(LPARAM lParam) const;
    // A button press at lParam: activates the window (unless it must not),
    // records the point (and, with trackMouse, the mouse position) and
    // returns the control under it, nullptr when none.
    CControlUI* PressedControl(LPARAM lParam, bool trackMouse);
    void TrackMouseOnce();
    void ShowToolTip(CControlUI* control, POINT pt, const std::wstring& text);
    void HideToolTip();
    bool HandleShortcut(wchar_t ch);
    bool OnMouseMove(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnMouseHover(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnMouseLeave(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnLButtonDown(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnLButtonDblClk(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnLButtonUp(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnRButtonDown(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnRButtonUp(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnContextMenu(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnMouseWheel(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnSetCursor(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnKeyDown(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnKeyUp(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnChar(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnMouseActivate(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnKillFocus(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnClose(WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Bound by Init.
    HWND hWndPaint = nullptr;
    HDC hDcPaint = nullptr;
    // Off-screen buffer, made on the first paint.
    HDC hDcOffscreen = nullptr;
    HBITMAP hbmpOffscreen = nullptr;
    HBITMAP hbmpOffscreenOld = nullptr;
    DWORD* pOffscreenBits = nullptr;
    SIZE szOffscreen = {0, 0};

    CControlUI* pRoot = nullptr;   // owned
    CControlUI* pFocus = nullptr;
    CControlUI* pEventHover = nullptr;
    CControlUI* pEventClick = nullptr;
    CControlUI* pEventKey = nullptr;
    CControlUI* pFocusNeededControl = nullptr;
    POINT ptLastMousePos = {-1, -1};

    HWND hwndTooltip = nullptr;
    TOOLINFOW toolTip = {};
    std::wstring strToolTipText;   // the tool record points into it
    UINT uHoverTime = 1000;

    SIZE szInitWindowSize = {0, 0};
    SIZE szMinWindow = {0, 0};
    SIZE szMaxWindow = {0, 0};
    RECT rcSizeBox = {0, 0, 0, 0};
    RECT rcCaption = {0, 0, 0, 0};
    SIZE szRoundCorner = {0, 0};
    RECT rcLayeredDirty = {0, 0, 0, 0};
    RECT rcLayeredInset = {0, 0, 0, 0};

    bool bShowDirty = false;
    bool bNoActivate = false;
    bool bUpdateNeeded = false;
    bool bFirstLayout = true;
    bool bFocusNeeded = false;
    bool bOffscreenPaint = true;
    bool bLayered = false;
    BYTE nLayeredOpacity = 255;
    bool bMouseTracking = false;
    bool bMouseCapture = false;
    bool bUsedVirtualWnd = false;
    bool bAsyncNotifyPosted = false;
    bool bNavigatingFocus = false;
    bool bFocusCues = false;
    bool bHighContrastForced = false;   // tests only, see ForceHighContrast
    bool bRightToLeft = false;
    DWORD dwFocusRingColor = 0xFF0078D7;
    // Made on the first WM_GETOBJECT; one reference held (AccessibleUI.h).
    CAccessibleUI* pAccessible = nullptr;
    // Counts the trees attached, so a posted default action finds its own.
    UINT nTreeGeneration = 0;
    CImageSlot layeredImage;

    std::vector<IMessageFilterUI*> vecPreFilters;
    std::vector<INotifyUI*> vecNotifiers;
    std::vector<IMessageFilterUI*> vecMessageFilters;
    std::vector<ITranslateAcceleratorUI*> vecTranslators;
    std::vector<CControlUI*> vecPostPaint;
    std::vector<CControlUI*> vecMouseLeaveNeeded;
    std::map<HWND, CControlUI*> mapNativeWindows;
    std::vector<CControlUI*> vecDelayedCleanup;
    std::vector<TimerEntry> vecTimers;
    UINT uTimerCounter = 4096;
    std::vector<NotifyMsg> vecAsyncNotify;
    std::map<std::wstring, CControlUI*> mapNames;
    std::map<std::wstring, std::vector<CControlUI*>> mapOptionGroups;
    std::map<std::wstring, std::wstring> mapWindowAttributes;
    // The window attributes that hold lengths, as written (for ChangeDpi).
    std::map<std::wstring, std::wstring> mapWindowLengths;
};

} // namespace SkinUI

#endif // _WIN32
