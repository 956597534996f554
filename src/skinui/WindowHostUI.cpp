// The window host: focus, hover, capture, timers, notifications, tooltips,
// message filtering and double-buffered painting of one window.
#ifdef _WIN32
#include "skinui/WindowHostUI.h"

#include <windowsx.h>

#include <algorithm>
#include <cwctype>

#include "logging/Log.h"
#include "skinui/Dib32.h"
#include "skinui/SkinRenderer.h"

namespace SkinUI {

namespace {

// Every live host; TranslateMessage walks it.
std::vector<CWindowHostUI*>& LiveHosts()
{
    static std::vector<CWindowHostUI*> hosts;
    return hosts;
}

bool SameNoCase(const std::wstring& a, const wchar_t* b)
{
    size_t n = wcslen(b);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        if (towlower(a[i]) != towlower(b[i]))
            return false;
    }
    return true;
}

template <typename T>
bool AddUnique(std::vector<T*>& list, T* item)
{
    if (item == nullptr || std::find(list.begin(), list.end(), item) != list.end())
        return false;
    list.push_back(item);
    return true;
}

template <typename T>
bool RemoveItem(std::vector<T*>& list, T* item)
{
    auto it = std::find(list.begin(), list.end(), item);
    if (it == list.end())
        return false;
    list.erase(it);
    return true;
}

CControlUI* AnyControl(CControlUI* control, void*) { return control; }

// Two decimal numbers separated by one character ("650,360").
SIZE ParsePair(const std::wstring& value)
{
    SIZE sz = ParseSize(value);
    return sz;
}

} // namespace

CWindowHostUI::CWindowHostUI()
{
    LiveHosts().push_back(this);
}

CWindowHostUI::~CWindowHostUI()
{
    RemoveItem(LiveHosts(), this);
    ClearTimers();
    if (hwndTooltip != nullptr && IsWindow(hwndTooltip))
        DestroyWindow(hwndTooltip);
    hwndTooltip = nullptr;
    vecAsyncNotify.clear();
    DeleteDelayed();
    if (pRoot != nullptr) {
        CControlUI* root = pRoot;
        pRoot = nullptr;
        root->Delete();
    }
    DeleteDelayed();
    DropOffscreen();
    if (hDcPaint != nullptr && hWndPaint != nullptr)
        ReleaseDC(hWndPaint, hDcPaint);
    SetPaintDC(nullptr);
}

void CWindowHostUI::Init(HWND window)
{
    mapNames.clear();
    RemoveAllOwnResources();
    mapWindowAttributes.clear();
    ClearTimers();
    if (hDcPaint != nullptr && hWndPaint != nullptr)
        ReleaseDC(hWndPaint, hDcPaint);
    hWndPaint = window;
    hDcPaint = window != nullptr ? GetDC(window) : nullptr;
    SetPaintDC(hDcPaint);
    if (std::find(LiveHosts().begin(), LiveHosts().end(), this) == LiveHosts().end())
        LiveHosts().push_back(this);
}

// ---- Tree -----------------------------------------------------------

bool CWindowHostUI::AttachRootControl(CControlUI* root)
{
    HideToolTip();
    pFocus = nullptr;
    pEventHover = nullptr;
    pEventClick = nullptr;
    pEventKey = nullptr;
    pFocusNeededControl = nullptr;
    if (pRoot != nullptr) {
        // Notifications queued from the old tree never reach a listener.
        vecAsyncNotify.clear();
        vecPostPaint.clear();
        QueueDelayedDelete(pRoot);
        if (hWndPaint != nullptr && !bAsyncNotifyPosted) {
            bAsyncNotifyPosted = PostMessageW(hWndPaint, kMsgAsyncNotify, 0, 0) != FALSE;
        }
    }
    mapNames.clear();
    mapOptionGroups.clear();
    pRoot = root;
    bUpdateNeeded = true;
    bFirstLayout = true;
    bFocusNeeded = true;
    if (pRoot == nullptr)
        return false;
    BindControls(pRoot, nullptr);
    if (hWndPaint != nullptr)
        InvalidateRect(hWndPaint, nullptr, FALSE);
    return true;
}

void CWindowHostUI::BindControls(CControlUI* control, CControlUI* parent)
{
    if (control == nullptr)
        return;
    control->SetHost(this, parent, true);
    control->LookupControl(
        [](CControlUI* c, void* data) -> CControlUI* {
            auto* self = static_cast<CWindowHostUI*>(data);
            const std::wstring name = c->GetName();
            if (!name.empty() && self->mapNames.count(name) == 0)
                self->mapNames[name] = c;
            return nullptr;
        },
        this, kFind_All);
}

void CWindowHostUI::ForgetControl(CControlUI* control)
{
    if (control == nullptr)
        return;
    if (pEventKey == control)
        pEventKey = nullptr;
    if (pEventHover == control)
        pEventHover = nullptr;
    if (pEventClick == control)
        pEventClick = nullptr;
    if (pFocus == control)
        pFocus = nullptr;
    if (pFocusNeededControl == control)
        pFocusNeededControl = nullptr;
    KillTimers(control);
    const std::wstring name = control->GetName();
    auto it = mapNames.find(name);
    if (it != mapNames.end() && it->second == control)
        mapNames.erase(it);
    for (NotifyMsg& msg : vecAsyncNotify) {
        if (msg.pSender == control)
            msg.pSender = nullptr;
    }
    for (auto& group : mapOptionGroups)
        RemoveItem(group.second, control);
    RemoveItem(vecPostPaint, control);
    RemoveItem(vecMouseLeaveNeeded, control);
    for (auto nit = mapNativeWindows.begin(); nit != mapNativeWindows.end();) {
        if (nit->second == control)
            nit = mapNativeWindows.erase(nit);
        else
            ++nit;
    }
}

void CWindowHostUI::QueueDelayedDelete(CControlUI* control)
{
    if (control != nullptr)
        AddUnique(vecDelayedCleanup, control);
}

void CWindowHostUI::DeleteDelayed()
{
    std::vector<CControlUI*> list;
    list.swap(vecDelayedCleanup);
    for (CControlUI* control : list)
        control->Delete();
}

CControlUI* CWindowHostUI::LookupControl(POINT pt) const
{
    if (pRoot == nullptr)
        return nullptr;
    CControlUI* hit = pRoot->LookupControl(AnyControl, &pt, kFind_Visible | kFind_HitTest | kFind_TopFirst);
    if (hit != nullptr && hit->GetHost() != this)
        return nullptr;
    return hit;
}

CControlUI* CWindowHostUI::LookupControl(const std::wstring& name) const
{
    auto it = mapNames.find(name);
    return it == mapNames.end() ? nullptr : it->second;
}

// ---- Listeners ------------------------------------------------------

bool CWindowHostUI::AddNotifyListener(INotifyUI* listener) { return AddUnique(vecNotifiers, listener); }
bool CWindowHostUI::RemoveNotifyListener(INotifyUI* listener) { return RemoveItem(vecNotifiers, listener); }
bool CWindowHostUI::AddPreFilter(IMessageFilterUI* filter) { return AddUnique(vecPreFilters, filter); }
bool CWindowHostUI::RemovePreFilter(IMessageFilterUI* filter) { return RemoveItem(vecPreFilters, filter); }
bool CWindowHostUI::AddMessageListener(IMessageFilterUI* filter) { return AddUnique(vecMessageFilters, filter); }
bool CWindowHostUI::RemoveMessageListener(IMessageFilterUI* filter)
{
    return RemoveItem(vecMessageFilters, filter);
}
bool CWindowHostUI::AddTranslateAccelerator(ITranslateAcceleratorUI* translator)
{
    return AddUnique(vecTranslators, translator);
}
bool CWindowHostUI::RemoveTranslateAccelerator(ITranslateAcceleratorUI* translator)
{
    return RemoveItem(vecTranslators, translator);
}
bool CWindowHostUI::AddPostPaint(CControlUI* control) { return AddUnique(vecPostPaint, control); }
bool CWindowHostUI::RemovePostPaint(CControlUI* control) { return RemoveItem(vecPostPaint, control); }

void CWindowHostUI::AddMouseLeaveNeeded(CControlUI* control) { AddUnique(vecMouseLeaveNeeded, control); }
void CWindowHostUI::RemoveMouseLeaveNeeded(CControlUI* control) { RemoveItem(vecMouseLeaveNeeded, control); }

void CWindowHostUI::AddOptionGroup(const std::wstring& group, CControlUI* control)
{
    AddUnique(mapOptionGroups[group], control);
}

void CWindowHostUI::RemoveOptionGroup(const std::wstring& group, CControlUI* control)
{
    auto it = mapOptionGroups.find(group);
    if (it == mapOptionGroups.end())
        return;
    RemoveItem(it->second, control);
    if (it->second.empty())
        mapOptionGroups.erase(it);
}

std::vector<CControlUI*> CWindowHostUI::GetOptionGroup(const std::wstring& group) const
{
    auto it = mapOptionGroups.find(group);
    return it == mapOptionGroups.end() ? std::vector<CControlUI*>() : it->second;
}

void CWindowHostUI::AddNativeWindow(HWND window, CControlUI* owner)
{
    if (window != nullptr)
        mapNativeWindows[window] = owner;
}

void CWindowHostUI::RemoveNativeWindow(HWND window) { mapNativeWindows.erase(window); }

CControlUI* CWindowHostUI::NativeWindowOwner(HWND window) const
{
    auto it = mapNativeWindows.find(window);
    return it == mapNativeWindows.end() ? nullptr : it->second;
}

// ---- Text -----------------------------------------------------------

int CWindowHostUI::FontHeight(int fontId)
{
    const TFontInfo* info = FontDetails(fontId);
    return info != nullptr ? static_cast<int>(info->tm.tmHeight) : 0;
}

SIZE CWindowHostUI::MeasureText(const std::wstring& text, int fontId, UINT style, int width, bool markup)
{
    RECT rc = MakeRect(0, 0, width, 9999);
    HDC dc = hDcPaint;
    bool own = false;
    if (dc == nullptr) {
        dc = CreateCompatibleDC(nullptr);
        own = true;
    }
    if (markup) {
        int links = 0;
        CSkinRenderer::DrawMarkupText(dc, this, rc, text, 0, nullptr, nullptr, links, fontId, style | DT_CALCRECT);
    } else {
        CSkinRenderer::DrawPlainText(dc, this, rc, text, 0, fontId, style | DT_CALCRECT);
    }
    if (own)
        DeleteDC(dc);
    return MakeSize(RectWidth(rc), RectHeight(rc));
}

// ---- Events and notifications --------------------------------------

void CWindowHostUI::SendEvent(CControlUI* control, int type, WPARAM wParam, LPARAM lParam, wchar_t key)
{
    if (control == nullptr)
        return;
    ControlEvent event;
    event.Type = type;
    event.pSender = control;
    event.dwTimestamp = GetTickCount();
    event.ptMouse = ptLastMousePos;
    event.chKey = key;
    event.wKeyState = 0;
    event.wParam = wParam;
    event.lParam = lParam;
    control->Event(event);
}

void CWindowHostUI::EmitNotify(CControlUI* sender, const std::wstring& type, WPARAM wParam, LPARAM lParam,
                               bool async, bool noCoalesce)
{
    NotifyMsg msg;
    msg.pSender = sender;
    msg.sType = type;
    msg.wParam = wParam;
    msg.lParam = lParam;
    EmitNotify(msg, async, noCoalesce);
}

void CWindowHostUI::EmitNotify(NotifyMsg& msg, bool async, bool noCoalesce)
{
    msg.ptMouse = ptLastMousePos;
    msg.dwTimestamp = GetTickCount();
    if (bUsedVirtualWnd && msg.pSender != nullptr)
        msg.sVirtualWnd = msg.pSender->GetVirtualWnd();
    if (!async) {
        DeliverNotify(msg);
        return;
    }
    if (!noCoalesce) {
        for (NotifyMsg& queued : vecAsyncNotify) {
            if (queued.pSender == msg.pSender && queued.sType == msg.sType) {
                queued = msg;
                return;
            }
        }
    }
    vecAsyncNotify.push_back(msg);
    if (!bAsyncNotifyPosted && hWndPaint != nullptr)
        bAsyncNotifyPosted = PostMessageW(hWndPaint, kMsgAsyncNotify, 0, 0) != FALSE;
}

void CWindowHostUI::DeliverNotify(NotifyMsg& msg)
{
    // A listener may remove itself (or others) while being called.
    std::vector<INotifyUI*> listeners = vecNotifiers;
    for (INotifyUI* listener : listeners) {
        if (std::find(vecNotifiers.begin(), vecNotifiers.end(), listener) != vecNotifiers.end())
            listener->Notify(msg);
    }
}

void CWindowHostUI::DeliverAsyncQueue()
{
    bAsyncNotifyPosted = false;
    DeleteDelayed();
    while (!vecAsyncNotify.empty()) {
        NotifyMsg msg = vecAsyncNotify.front();
        vecAsyncNotify.erase(vecAsyncNotify.begin());
        DeliverNotify(msg);
    }
}

// ---- Focus and capture ----------------------------------------------

void CWindowHostUI::SetFocus(CControlUI* control, bool takeWindowFocus)
{
    if (takeWindowFocus && !bNoActivate && hWndPaint != nullptr) {
        HWND focused = ::GetFocus();
        if (focused != hWndPaint && control != GetFocus())
            ::SetFocus(hWndPaint);
    }
    if (control == pFocus)
        return;
    if (control != nullptr && (control->GetHost() != this || !control->IsVisible() || !control->IsEnabled()))
        return;
    if (pFocus != nullptr) {
        CControlUI* old = pFocus;
        pFocus = nullptr;
        SendEvent(old, kEvent_KillFocus);
        EmitNotify(old, L"killfocus", 0, 0, false, false);
    }
    if (control != nullptr) {
        pFocus = control;
        SendEvent(control, kEvent_SetFocus);
        EmitNotify(control, L"setfocus", 0, 0, false, false);
    }
}

void CWindowHostUI::SetFocusNeeded(CControlUI* control)
{
    pFocusNeededControl = control;
    bFocusNeeded = true;
}

// Tab stops are visible, enabled, keyboard-enabled controls whose flags
// include 1, visited in tree order with wrap-around at both ends.
void CWindowHostUI::SetNextTabStop(bool forward)
{
    if (pRoot == nullptr)
        return;
    std::vector<CControlUI*> stops;
    pRoot->LookupControl(
        [](CControlUI* c, void* data) -> CControlUI* {
            if ((c->ControlFlags() & 1u) != 0 && c->IsEnabled() && c->IsKeyboardEnabled())
                static_cast<std::vector<CControlUI*>*>(data)->push_back(c);
            return nullptr;
        },
        &stops, kFind_Visible | kFind_MeFirst);
    if (stops.empty())
        return;
    auto it = std::find(stops.begin(), stops.end(), pFocus);
    size_t next;
    if (it == stops.end())
        next = forward ? 0 : stops.size() - 1;
    else {
        size_t index = static_cast<size_t>(it - stops.begin());
        next = forward ? (index + 1) % stops.size() : (index + stops.size() - 1) % stops.size();
    }
    SetFocus(stops[next], true);
}

void CWindowHostUI::SetCapture()
{
    if (hWndPaint != nullptr)
        ::SetCapture(hWndPaint);
    bMouseCapture = true;
}

void CWindowHostUI::ReleaseCapture()
{
    if (bMouseCapture)
        ::ReleaseCapture();
    bMouseCapture = false;
}

void CWindowHostUI::SetCursorShape(CursorShape shape)
{
    LPCWSTR id = IDC_ARROW;
    if (shape == kCursor_Hand)
        id = IDC_HAND;
    else if (shape == kCursor_IBeam)
        id = IDC_IBEAM;
    ::SetCursor(LoadCursorW(nullptr, id));
}

// ---- Timers ---------------------------------------------------------

bool CWindowHostUI::SetTimer(CControlUI* control, UINT id, UINT elapse)
{
    if (control == nullptr || hWndPaint == nullptr)
        return false;
    for (TimerEntry& t : vecTimers) {
        if (t.pSender == control && t.hWnd == hWndPaint && t.nLocalId == id) {
            if (!t.bKilled)
                return false;
            if (::SetTimer(hWndPaint, t.uNativeId, elapse, nullptr) == 0)
                return false;
            t.bKilled = false;
            return true;
        }
    }
    // The counter wraps after 255 timers; an id still held by an entry (or
    // 0) is skipped, so two timers never share a native id. With every id
    // taken the timer cannot be started.
    UINT nativeId = 0;
    for (int tries = 0; tries < 255 && nativeId == 0; ++tries) {
        uTimerCounter = (uTimerCounter + 1) % 255;
        UINT candidate = uTimerCounter;
        bool used = candidate == 0;
        for (const TimerEntry& t : vecTimers)
            used = used || (t.uNativeId == candidate && t.hWnd == hWndPaint);
        if (!used)
            nativeId = candidate;
    }
    if (nativeId == 0)
        return false;
    if (::SetTimer(hWndPaint, nativeId, elapse, nullptr) == 0) {
        LOG_INFO("SetTimer failed with error %lu", static_cast<unsigned long>(GetLastError()));
        return false;
    }
    vecTimers.push_back({control, id, hWndPaint, nativeId, false});
    return true;
}

bool CWindowHostUI::KillTimer(CControlUI* control, UINT id)
{
    for (TimerEntry& t : vecTimers) {
        if (t.pSender == control && t.hWnd == hWndPaint && t.nLocalId == id) {
            if (!t.bKilled) {
                if (IsWindow(t.hWnd))
                    ::KillTimer(t.hWnd, t.uNativeId);
                t.bKilled = true;
                return true;
            }
        }
    }
    return false;
}

void CWindowHostUI::KillTimers(CControlUI* control)
{
    for (auto it = vecTimers.begin(); it != vecTimers.end();) {
        if (it->pSender == control) {
            if (!it->bKilled && IsWindow(it->hWnd))
                ::KillTimer(it->hWnd, it->uNativeId);
            it = vecTimers.erase(it);
        } else {
            ++it;
        }
    }
}

void CWindowHostUI::KillAllTimers() { ClearTimers(); }

void CWindowHostUI::ClearTimers()
{
    for (TimerEntry& t : vecTimers) {
        if (!t.bKilled && t.hWnd != nullptr && IsWindow(t.hWnd))
            ::KillTimer(t.hWnd, t.uNativeId);
    }
    vecTimers.clear();
}

UINT CWindowHostUI::NativeTimerId(CControlUI* control, UINT id) const
{
    for (const TimerEntry& t : vecTimers) {
        if (t.pSender == control && t.nLocalId == id && !t.bKilled)
            return t.uNativeId;
    }
    return 0;
}

// ---- Window attributes ----------------------------------------------

void CWindowHostUI::SetInitSize(int cx, int cy)
{
    szInitWindowSize = MakeSize(cx, cy);
    if (pRoot == nullptr && hWndPaint != nullptr)
        SetWindowPos(hWndPaint, nullptr, 0, 0, cx, cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

void CWindowHostUI::SetOpacity(BYTE opacity)
{
    if (hWndPaint == nullptr)
        return;
    typedef BOOL(WINAPI * SetLayeredProc)(HWND, COLORREF, BYTE, DWORD);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    auto proc = user32 != nullptr ? reinterpret_cast<SetLayeredProc>(
                                        reinterpret_cast<void*>(GetProcAddress(user32, "SetLayeredWindowAttributes")))
                                  : nullptr;
    if (proc == nullptr)
        return;
    LONG style = GetWindowLongW(hWndPaint, GWL_EXSTYLE);
    SetWindowLongW(hWndPaint, GWL_EXSTYLE, style | WS_EX_LAYERED);
    proc(hWndPaint, 0, opacity, LWA_ALPHA);
}

void CWindowHostUI::SetLayered(bool on)
{
    if (hWndPaint == nullptr || on == bLayered)
        return;
    if ((GetWindowLongW(hWndPaint, GWL_STYLE) & WS_CHILD) != 0)
        return;
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr || GetProcAddress(user32, "UpdateLayeredWindow") == nullptr)
        return;
    bLayered = on;
    LONG style = GetWindowLongW(hWndPaint, GWL_EXSTYLE);
    if (on) {
        SetWindowLongW(hWndPaint, GWL_EXSTYLE, style | WS_EX_LAYERED);
        ::SetTimer(hWndPaint, kLayeredTimerId, 10, nullptr);
    } else {
        ::KillTimer(hWndPaint, kLayeredTimerId);
        SetWindowLongW(hWndPaint, GWL_EXSTYLE, style & ~WS_EX_LAYERED);
    }
    DropOffscreen();
    if (pRoot != nullptr)
        pRoot->Invalidate();
}

void CWindowHostUI::ApplyWindowAttribute(const std::wstring& name, const std::wstring& value)
{
    if (SameNoCase(name, L"size")) {
        SIZE sz = ParsePair(value);
        SetInitSize(static_cast<int>(sz.cx), static_cast<int>(sz.cy));
    } else if (SameNoCase(name, L"sizebox")) {
        SetSizeBox(ParseRect(value));
    } else if (SameNoCase(name, L"caption")) {
        SetCaptionRect(ParseRect(value));
    } else if (SameNoCase(name, L"roundcorner")) {
        SIZE sz = ParsePair(value);
        SetRoundCorner(static_cast<int>(sz.cx), static_cast<int>(sz.cy));
    } else if (SameNoCase(name, L"mininfo")) {
        SIZE sz = ParsePair(value);
        SetMinInfo(static_cast<int>(sz.cx), static_cast<int>(sz.cy));
    } else if (SameNoCase(name, L"maxinfo")) {
        SIZE sz = ParsePair(value);
        SetMaxInfo(static_cast<int>(sz.cx), static_cast<int>(sz.cy));
    } else if (SameNoCase(name, L"showdirty")) {
        SetShowDirty(value == L"true");
    } else if (name == L"noactivate") {
        SetNoActivate(value == L"true");
    } else if (SameNoCase(name, L"opacity")) {
        SetOpacity(static_cast<BYTE>(std::min(255, std::max(0, ParseInt(value)))));
    } else if (name == L"layeredopacity") {
        nLayeredOpacity = static_cast<BYTE>(std::min(255, std::max(0, ParseInt(value))));
    } else if (name == L"layeredimage") {
        strLayeredImage = value;
        layeredImage.Set(value);
        SetLayered(true);
    } else if (SameNoCase(name, L"disabledfontcolor")) {
        SetDefaultDisabledColor(ParseColor(value));
    } else if (SameNoCase(name, L"defaultfontcolor")) {
        SetDefaultFontColor(ParseColor(value));
    } else if (SameNoCase(name, L"linkfontcolor")) {
        SetDefaultLinkFontColor(ParseColor(value));
    } else if (SameNoCase(name, L"linkhoverfontcolor")) {
        SetDefaultLinkHoverFontColor(ParseColor(value));
    } else if (SameNoCase(name, L"selectedcolor")) {
        SetDefaultSelectedBkColor(ParseColor(value));
    } else {
        mapWindowAttributes.emplace(name, value);   // the first value stays
    }
}

std::wstring CWindowHostUI::GetWindowCustomAttribute(const std::wstring& name) const
{
    auto it = mapWindowAttributes.find(name);
    return it == mapWindowAttributes.end() ? std::wstring() : it->second;
}

// ---- Painting -------------------------------------------------------

void CWindowHostUI::Invalidate(const RECT& rc)
{
    if (hWndPaint == nullptr)
        return;
    if (bLayered) {
        RECT client;
        GetClientRect(hWndPaint, &client);
        RECT clipped = RectIntersect(rc, client);
        if (RectEmpty(rcLayeredDirty))
            rcLayeredDirty = clipped;
        else if (!RectEmpty(clipped))
            UnionRect(&rcLayeredDirty, &rcLayeredDirty, &clipped);
    }
    ::InvalidateRect(hWndPaint, &rc, FALSE);
}

void CWindowHostUI::DropOffscreen()
{
    if (hDcOffscreen != nullptr) {
        if (hbmpOffscreenOld != nullptr)
            SelectObject(hDcOffscreen, hbmpOffscreenOld);
        DeleteDC(hDcOffscreen);
    }
    if (hbmpOffscreen != nullptr)
        DeleteObject(hbmpOffscreen);
    hDcOffscreen = nullptr;
    hbmpOffscreen = nullptr;
    hbmpOffscreenOld = nullptr;
    pOffscreenBits = nullptr;
    szOffscreen = MakeSize(0, 0);
}

bool CWindowHostUI::HandlePaint()
{
    RECT rcPaint = {0, 0, 0, 0};
    if (bLayered) {
        rcPaint = rcLayeredDirty;
        if (RectEmpty(rcPaint)) {
            ValidateRect(hWndPaint, nullptr);
            return true;
        }
    } else if (!GetUpdateRect(hWndPaint, &rcPaint, FALSE)) {
        return true;
    }
    if (pRoot == nullptr) {
        PAINTSTRUCT ps;
        BeginPaint(hWndPaint, &ps);
        EndPaint(hWndPaint, &ps);
        return true;
    }

    RECT rcClient;
    GetClientRect(hWndPaint, &rcClient);

    if (bFocusNeeded) {
        bFocusNeeded = false;
        if (pFocusNeededControl != nullptr) {
            CControlUI* target = pFocusNeededControl;
            pFocusNeededControl = nullptr;
            SetFocus(target, false);
        } else if (pFocus == nullptr) {
            SetNextTabStop(true);
        }
    }

    if (bUpdateNeeded) {
        bUpdateNeeded = false;
        if (!RectEmpty(rcClient)) {
            if (pRoot->IsUpdateNeeded()) {
                DropOffscreen();
                RECT rc = rcClient;
                if (bLayered) {
                    rc.left += rcLayeredInset.left;
                    rc.top += rcLayeredInset.top;
                    rc.right -= rcLayeredInset.right;
                    rc.bottom -= rcLayeredInset.bottom;
                }
                pRoot->SetPos(rc, true);
            } else {
                // Only the controls that asked for it lay out again.
                std::vector<CControlUI*> dirty;
                pRoot->LookupControl(
                    [](CControlUI* c, void* data) -> CControlUI* {
                        if (c->IsUpdateNeeded())
                            static_cast<std::vector<CControlUI*>*>(data)->push_back(c);
                        return nullptr;
                    },
                    &dirty, kFind_Visible | kFind_MeFirst);
                for (CControlUI* c : dirty) {
                    if (c->IsUpdateNeeded())
                        c->SetPos(c->GetPos(), true);
                }
            }
            if (bFirstLayout) {
                bFirstLayout = false;
                EmitNotify(pRoot, L"windowinit", 0, 0, false, false);
            }
        }
        // Layout may have invalidated more.
        if (!bLayered)
            GetUpdateRect(hWndPaint, &rcPaint, FALSE);
        else
            rcPaint = rcLayeredDirty;
    }

    PAINTSTRUCT ps;
    BeginPaint(hWndPaint, &ps);
    if (!bLayered) {
        RECT merged;
        UnionRect(&merged, &rcPaint, &ps.rcPaint);
        rcPaint = RectIntersect(merged, rcClient);
    }

    if (bOffscreenPaint || bLayered) {
        int cx = RectWidth(rcClient), cy = RectHeight(rcClient);
        if (hDcOffscreen != nullptr && (szOffscreen.cx != cx || szOffscreen.cy != cy))
            DropOffscreen();
        if (hDcOffscreen == nullptr && cx > 0 && cy > 0) {
            hDcOffscreen = CreateCompatibleDC(ps.hdc);
            if (bLayered) {
                hbmpOffscreen = CreateDib32(cx, cy, &pOffscreenBits);
            } else {
                hbmpOffscreen = CreateCompatibleBitmap(ps.hdc, cx, cy);
            }
            if (hDcOffscreen == nullptr || hbmpOffscreen == nullptr) {
                LOG_INFO("off-screen buffer of %dx%d could not be made", cx, cy);
                DropOffscreen();
            } else {
                hbmpOffscreenOld = static_cast<HBITMAP>(SelectObject(hDcOffscreen, hbmpOffscreen));
                szOffscreen = MakeSize(cx, cy);
            }
        }
    }

    if (hDcOffscreen != nullptr) {
        int saved = SaveDC(hDcOffscreen);
        if (bLayered && pOffscreenBits != nullptr) {
            // Clear the dirty area to transparent before repainting it.
            for (LONG y = rcPaint.top; y < rcPaint.bottom; ++y)
                for (LONG x = rcPaint.left; x < rcPaint.right; ++x)
                    pOffscreenBits[y * szOffscreen.cx + x] = 0;
            if (!layeredImage.Empty())
                CSkinRenderer::DrawImage(hDcOffscreen, this, rcClient, rcPaint, layeredImage.Record());
        }
        pRoot->Paint(hDcOffscreen, rcPaint, nullptr);
        for (CControlUI* control : std::vector<CControlUI*>(vecPostPaint))
            control->Paint(hDcOffscreen, rcPaint, nullptr);
        RestoreDC(hDcOffscreen, saved);
        if (bLayered) {
            typedef BOOL(WINAPI * UpdateLayeredProc)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF,
                                                    BLENDFUNCTION*, DWORD);
            HMODULE user32 = GetModuleHandleW(L"user32.dll");
            auto proc = reinterpret_cast<UpdateLayeredProc>(
                reinterpret_cast<void*>(GetProcAddress(user32, "UpdateLayeredWindow")));
            RECT rcWnd;
            GetWindowRect(hWndPaint, &rcWnd);
            POINT ptPos = {rcWnd.left, rcWnd.top};
            SIZE size = szOffscreen;
            POINT ptSrc = {0, 0};
            BLENDFUNCTION blend = {AC_SRC_OVER, 0, nLayeredOpacity, AC_SRC_ALPHA};
            if (proc != nullptr)
                proc(hWndPaint, hDcPaint, &ptPos, &size, hDcOffscreen, &ptSrc, 0, &blend, ULW_ALPHA);
            rcLayeredDirty = MakeRect(0, 0, 0, 0);
        } else {
            BitBlt(ps.hdc, rcPaint.left, rcPaint.top, RectWidth(rcPaint), RectHeight(rcPaint), hDcOffscreen,
                   rcPaint.left, rcPaint.top, SRCCOPY);
        }
    } else {
        int saved = SaveDC(ps.hdc);
        pRoot->Paint(ps.hdc, rcPaint, nullptr);
        RestoreDC(ps.hdc, saved);
    }

    if (bShowDirty && !bLayered) {
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(220, 0, 0));
        HGDIOBJ oldPen = SelectObject(ps.hdc, pen);
        HGDIOBJ oldBrush = SelectObject(ps.hdc, GetStockObject(HOLLOW_BRUSH));
        Rectangle(ps.hdc, rcPaint.left, rcPaint.top, rcPaint.right, rcPaint.bottom);
        SelectObject(ps.hdc, oldBrush);
        SelectObject(ps.hdc, oldPen);
        DeleteObject(pen);
    }
    EndPaint(hWndPaint, &ps);

    // A layout during painting may have asked for another pass.
    if (bUpdateNeeded)
        InvalidateRect(hWndPaint, nullptr, FALSE);
    return true;
}

// ---- Mouse ----------------------------------------------------------

void CWindowHostUI::HideToolTip()
{
    if (hwndTooltip != nullptr && IsWindow(hwndTooltip))
        SendMessageW(hwndTooltip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&toolTip));
}

CControlUI* CWindowHostUI::PressedControl(LPARAM lParam, bool trackMouse)
{
    if (!bNoActivate)
        ::SetFocus(hWndPaint);
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ptLastMousePos = pt;
    if (trackMouse)
        SetMousePos(pt);
    return LookupControl(pt);
}

void CWindowHostUI::HandleMouseMove(POINT pt)
{
    if (!bMouseTracking) {
        TRACKMOUSEEVENT tme = {};
        tme.cbSize = sizeof(tme);
        tme.dwFlags = TME_HOVER | TME_LEAVE;
        tme.hwndTrack = hWndPaint;
        tme.dwHoverTime = hwndTooltip == nullptr ? uHoverTime
                                                 : static_cast<DWORD>(SendMessageW(
                                                       hwndTooltip, TTM_GETDELAYTIME, TTDT_INITIAL, 0));
        TrackMouseEvent(&tme);
        bMouseTracking = true;
    }
    ptLastMousePos = pt;
    SetMousePos(pt);
    CControlUI* hit = LookupControl(pt);
    if (hit != pEventHover) {
        if (pEventHover != nullptr) {
            CControlUI* old = pEventHover;
            pEventHover = nullptr;
            SendEvent(old, kEvent_MouseLeave);
            for (CControlUI* c : std::vector<CControlUI*>(vecMouseLeaveNeeded)) {
                if (c != old)
                    SendEvent(c, kEvent_MouseLeave);
            }
            HideToolTip();
        }
        pEventHover = hit;
        if (hit != nullptr)
            SendEvent(hit, kEvent_MouseEnter);
    }
    if (pEventClick != nullptr)
        SendEvent(pEventClick, kEvent_MouseMove);
    else if (pEventHover != nullptr)
        SendEvent(pEventHover, kEvent_MouseMove);
}

void CWindowHostUI::HandleMouseHover(POINT pt)
{
    bMouseTracking = false;
    CControlUI* hit = LookupControl(pt);
    if (hit == nullptr)
        return;
    if (pEventHover != nullptr)
        SendEvent(pEventHover, kEvent_MouseHover);
    std::wstring tip = ExpandLangTokens(hit->GetToolTip());
    if (tip.empty())
        return;
    if (hwndTooltip == nullptr) {
        hwndTooltip = CreateWindowExW(0, L"tooltips_class32", nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hWndPaint,
                                      nullptr, GetModule(), nullptr);
        if (hwndTooltip == nullptr) {
            LOG_INFO("CreateWindowExW(tooltips_class32) failed with error %lu",
                     static_cast<unsigned long>(GetLastError()));
            return;
        }
        toolTip = {};
        toolTip.cbSize = TTTOOLINFOW_V1_SIZE;
        toolTip.uFlags = TTF_IDISHWND;
        toolTip.hwnd = hWndPaint;
        toolTip.uId = reinterpret_cast<UINT_PTR>(hWndPaint);
        toolTip.hinst = GetModule();
        toolTip.lpszText = const_cast<LPWSTR>(L"");
        toolTip.rect = hit->GetPos();
        SendMessageW(hwndTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&toolTip));
    }
    static std::wstring shownTip;   // the tool keeps a pointer to the text
    shownTip = tip;
    toolTip.lpszText = const_cast<LPWSTR>(shownTip.c_str());
    toolTip.rect = hit->GetPos();
    SendMessageW(hwndTooltip, TTM_SETMAXTIPWIDTH, 0, hit->GetToolTipWidth());
    SendMessageW(hwndTooltip, TTM_SETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&toolTip));
    POINT screen = pt;
    ClientToScreen(hWndPaint, &screen);
    SendMessageW(hwndTooltip, TTM_TRACKPOSITION, 0, MAKELPARAM(screen.x, screen.y));
    SendMessageW(hwndTooltip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&toolTip));
}

// ---- Keys -----------------------------------------------------------

// Alt + letter: the first visible, enabled control with that shortcut (in
// tree order, either case) is focused and activated. A label never takes
// the focus: its shortcut goes to the next visible, enabled control after
// it that is neither a label nor a container.
bool CWindowHostUI::HandleShortcut(wchar_t ch)
{
    if (pRoot == nullptr)
        return false;
    struct Find {
        wchar_t ch;
        bool pickNext;
    } find = {static_cast<wchar_t>(towupper(ch)), false};
    CControlUI* target = pRoot->LookupControl(
        [](CControlUI* c, void* data) -> CControlUI* {
            auto* f = static_cast<Find*>(data);
            if (!c->IsEnabled())
                return nullptr;
            const bool label = c->GetClass() == L"Label";
            if (f->pickNext)
                return label || c->QueryControlInterface(L"IContainer") != nullptr ? nullptr : c;
            if (c->GetShortcut() == 0 || static_cast<wchar_t>(towupper(c->GetShortcut())) != f->ch)
                return nullptr;
            if (!label)
                return c;
            f->pickNext = true;
            return nullptr;
        },
        &find, kFind_Visible | kFind_MeFirst);
    if (target == nullptr)
        return false;
    SetFocus(target, true);
    target->Activate();
    return true;
}

bool CWindowHostUI::TranslateKeyAccelerator(MSG* msg)
{
    for (ITranslateAcceleratorUI* translator : std::vector<ITranslateAcceleratorUI*>(vecTranslators)) {
        if (translator->TranslateAccelerator(msg) == S_OK)
            return true;
    }
    return false;
}

bool CWindowHostUI::TranslateMessage(const MSG* msg)
{
    if (msg == nullptr || msg->hwnd == nullptr)
        return false;
    UINT style = static_cast<UINT>(GetWindowLongW(msg->hwnd, GWL_STYLE));
    MSG copy = *msg;
    if ((style & WS_CHILD) != 0) {
        std::vector<CWindowHostUI*> hosts = LiveHosts();
        for (CWindowHostUI* host : hosts) {
            if (std::find(LiveHosts().begin(), LiveHosts().end(), host) == LiveHosts().end())
                continue;
            HWND hwnd = msg->hwnd;
            bool related = false;
            for (HWND walk = hwnd; walk != nullptr; walk = GetParent(walk)) {
                if (walk == host->hWndPaint) {
                    related = true;
                    break;
                }
                if ((GetWindowLongW(walk, GWL_STYLE) & WS_CHILD) == 0)
                    break;
            }
            if (!related)
                continue;
            if (host->TranslateKeyAccelerator(&copy))
                return true;
            LRESULT result = 0;
            if (host->PreFilterMessage(msg->message, msg->wParam, msg->lParam, result))
                return true;
        }
        return false;
    }
    for (CWindowHostUI* host : std::vector<CWindowHostUI*>(LiveHosts())) {
        if (host->hWndPaint == msg->hwnd) {
            if (host->TranslateKeyAccelerator(&copy))
                return true;
            LRESULT result = 0;
            return host->PreFilterMessage(msg->message, msg->wParam, msg->lParam, result);
        }
    }
    return false;
}

bool CWindowHostUI::PreFilterMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    for (IMessageFilterUI* filter : std::vector<IMessageFilterUI*>(vecPreFilters)) {
        bool handled = false;
        LRESULT r = filter->FilterMessage(message, wParam, lParam, handled);
        if (handled) {
            result = r;
            return true;
        }
    }
    switch (message) {
    case WM_KEYDOWN:
        if (wParam == VK_TAB) {
            if (pFocus != nullptr && pFocus->IsVisible() && pFocus->IsEnabled() &&
                pFocus->GetClass() == L"RichEdit" && pFocus->CustomAttribute(L"wanttab") == L"true")
                return false;
            SetNextTabStop((GetKeyState(VK_SHIFT) & 0x8000) == 0);
            return true;
        }
        break;
    case WM_SYSKEYDOWN:
        if (pFocus != nullptr)
            SendEvent(pFocus, kEvent_SysKey, wParam, lParam, static_cast<wchar_t>(wParam));
        break;
    case WM_SYSCHAR:
        return HandleShortcut(static_cast<wchar_t>(wParam));
    default:
        break;
    }
    return false;
}

// ---- The message switch ---------------------------------------------

bool CWindowHostUI::ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    HWND child = nullptr;
    if (message == WM_NOTIFY) {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header != nullptr)
            child = header->hwndFrom;
    } else {
        child = reinterpret_cast<HWND>(lParam);
    }
    // Only a child of this window gets the reflected message: the range
    // above 0x2000 means other things to other windows.
    if (child == nullptr || !IsChild(hWndPaint, child))
        return false;
    result = SendMessageW(child, message + 0x2000, wParam, lParam);
    return true;
}

bool CWindowHostUI::FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (hWndPaint == nullptr)
        return false;
    for (IMessageFilterUI* filter : std::vector<IMessageFilterUI*>(vecMessageFilters)) {
        bool handled = false;
        LRESULT r = filter->FilterMessage(message, wParam, lParam, handled);
        if (handled) {
            result = r;
            switch (message) {
            case WM_MOUSEMOVE:
            case WM_LBUTTONDOWN:
            case WM_LBUTTONDBLCLK:
            case WM_LBUTTONUP: {
                POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                ptLastMousePos = pt;
                SetMousePos(pt);
                break;
            }
            default:
                break;
            }
            return true;
        }
    }

    switch (message) {
    case kMsgAsyncNotify:
        DeliverAsyncQueue();
        return true;
    case WM_CLOSE: {
        if (pEventHover != nullptr) {
            CControlUI* hover = pEventHover;
            pEventHover = nullptr;
            SendEvent(hover, kEvent_MouseLeave);
        }
        if (pEventClick != nullptr) {
            CControlUI* click = pEventClick;
            pEventClick = nullptr;
            SendEvent(click, kEvent_ButtonUp);
        }
        SetFocus(nullptr, false);
        if (GetActiveWindow() == hWndPaint) {
            HWND parent = GetWindow(hWndPaint, GW_OWNER);
            if ((GetWindowLongW(hWndPaint, GWL_STYLE) & WS_CHILD) != 0)
                parent = GetParent(hWndPaint);
            if (parent != nullptr)
                ::SetFocus(parent);
        }
        if (hwndTooltip != nullptr) {
            DestroyWindow(hwndTooltip);
            hwndTooltip = nullptr;
        }
        return false;
    }
    case WM_ERASEBKGND:
        result = 1;
        return true;
    case WM_PAINT:
        return HandlePaint();
    case WM_PRINTCLIENT: {
        if (pRoot == nullptr)
            break;
        RECT rcClient;
        GetClientRect(hWndPaint, &rcClient);
        HDC dc = reinterpret_cast<HDC>(wParam);
        int saved = SaveDC(dc);
        pRoot->Paint(dc, rcClient, nullptr);
        RestoreDC(dc, saved);
        result = 0;
        return true;
    }
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        if (info == nullptr)
            break;
        if (szMinWindow.cx > 0)
            info->ptMinTrackSize.x = szMinWindow.cx;
        if (szMinWindow.cy > 0)
            info->ptMinTrackSize.y = szMinWindow.cy;
        if (szMaxWindow.cx > 0)
            info->ptMaxTrackSize.x = szMaxWindow.cx;
        if (szMaxWindow.cy > 0)
            info->ptMaxTrackSize.y = szMaxWindow.cy;
        break;
    }
    case WM_SIZE:
        if (pFocus != nullptr)
            SendEvent(pFocus, kEvent_WindowSize);
        if (pRoot != nullptr)
            pRoot->NeedUpdate();
        bUpdateNeeded = true;
        InvalidateRect(hWndPaint, nullptr, FALSE);
        return true;
    case WM_TIMER: {
        if (wParam == kLayeredTimerId && bLayered) {
            if (!RectEmpty(rcLayeredDirty))
                InvalidateRect(hWndPaint, &rcLayeredDirty, FALSE);
            return true;
        }
        for (const TimerEntry& t : std::vector<TimerEntry>(vecTimers)) {
            if (t.hWnd == hWndPaint && t.uNativeId == wParam && !t.bKilled) {
                SendEvent(t.pSender, kEvent_Timer, t.nLocalId, lParam);
                break;
            }
        }
        return true;
    }
    case WM_MOUSEHOVER: {
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        HandleMouseHover(pt);
        return true;
    }
    case WM_MOUSELEAVE: {
        HideToolTip();
        if (bMouseTracking) {
            bMouseTracking = false;
            POINT pt;
            RECT rc;
            GetCursorPos(&pt);
            GetWindowRect(hWndPaint, &rc);
            if (GetActiveWindow() == hWndPaint && PtInRect(&rc, pt)) {
                ScreenToClient(hWndPaint, &pt);
                SendMessageW(hWndPaint, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
            } else {
                SendMessageW(hWndPaint, WM_MOUSEMOVE, 0, static_cast<LPARAM>(-1));
            }
        }
        return true;
    }
    case WM_MOUSEMOVE: {
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        HandleMouseMove(pt);
        return true;
    }
    case WM_LBUTTONDOWN: {
        CControlUI* hit = PressedControl(lParam, true);
        if (hit == nullptr)
            return true;
        pEventClick = hit;
        hit->SetFocus();
        SetCapture();
        SendEvent(hit, kEvent_ButtonDown, wParam, lParam);
        return true;
    }
    case WM_LBUTTONDBLCLK: {
        CControlUI* hit = PressedControl(lParam, false);
        if (hit == nullptr)
            return true;
        SetCapture();
        pEventClick = hit;
        SendEvent(hit, kEvent_DblClick, wParam, lParam);
        return true;
    }
    case WM_LBUTTONUP: {
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ptLastMousePos = pt;
        SetMousePos(pt);
        ReleaseCapture();
        if (pEventClick == nullptr)
            return true;
        CControlUI* click = pEventClick;
        SendEvent(click, kEvent_ButtonUp, wParam, lParam);
        pEventClick = nullptr;
        return true;
    }
    case WM_RBUTTONDOWN: {
        CControlUI* hit = PressedControl(lParam, false);
        if (hit == nullptr)
            return true;
        hit->SetFocus();
        SetCapture();
        pEventClick = hit;
        SendEvent(hit, kEvent_RButtonDown, wParam, lParam);
        return true;
    }
    case WM_RBUTTONUP:
        ReleaseCapture();
        if (pEventClick != nullptr) {
            CControlUI* click = pEventClick;
            pEventClick = nullptr;
            SendEvent(click, kEvent_ButtonUp, wParam, lParam);
        }
        return true;
    case WM_CONTEXTMENU: {
        if (pRoot == nullptr)
            break;
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ScreenToClient(hWndPaint, &pt);
        ptLastMousePos = pt;
        if (pEventClick == nullptr)
            break;
        ReleaseCapture();
        CControlUI* click = pEventClick;
        pEventClick = nullptr;
        SendEvent(click, kEvent_ContextMenu, wParam, reinterpret_cast<LPARAM>(click));
        return true;
    }
    case WM_MOUSEWHEEL: {
        if (pRoot == nullptr)
            break;
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ScreenToClient(hWndPaint, &pt);
        ptLastMousePos = pt;
        CControlUI* hit = LookupControl(pt);
        if (hit == nullptr)
            break;
        int delta = static_cast<short>(HIWORD(wParam));
        SendEvent(hit, kEvent_ScrollWheel, delta < 0 ? 1 : 0, lParam);
        SendMessageW(hWndPaint, WM_MOUSEMOVE, 0, MAKELPARAM(ptLastMousePos.x, ptLastMousePos.y));
        return true;
    }
    case WM_SETCURSOR: {
        if (LOWORD(lParam) != HTCLIENT || bMouseCapture)
            break;
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(hWndPaint, &pt);
        CControlUI* hit = LookupControl(pt);
        if (hit == nullptr)
            break;
        SendEvent(hit, kEvent_SetCursor, wParam, lParam);
        result = TRUE;
        return true;
    }
    case WM_KEYDOWN:
        if (pFocus == nullptr)
            break;
        pEventKey = pFocus;
        SendEvent(pFocus, kEvent_KeyDown, wParam, lParam, static_cast<wchar_t>(wParam));
        return true;
    case WM_KEYUP:
        if (pEventKey == nullptr)
            break;
        SendEvent(pEventKey, kEvent_KeyUp, wParam, lParam, static_cast<wchar_t>(wParam));
        pEventKey = nullptr;
        return true;
    case WM_CHAR:
        if (pFocus == nullptr)
            break;
        SendEvent(pFocus, kEvent_Char, wParam, lParam, static_cast<wchar_t>(wParam));
        return true;
    case WM_KILLFOCUS: {
        HWND to = reinterpret_cast<HWND>(wParam);
        auto it = mapNativeWindows.find(to);
        if (it != mapNativeWindows.end() && it->second != nullptr && it->second != pFocus) {
            // The control's own native window took the keyboard: it is the
            // focused control now.
            SetFocus(it->second, false);
        }
        break;
    }
    case WM_MOUSEACTIVATE:
        if (bNoActivate) {
            result = MA_NOACTIVATE;
            return true;
        }
        break;
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        if (lParam == 0)
            break;
        return ReflectToChild(message, wParam, lParam, result);
    default:
        break;
    }
    return false;
}

} // namespace SkinUI

#endif // _WIN32
