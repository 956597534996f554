// The window host's control tree: binding and forgetting controls, look-ups,
// listeners, focus and the tab order, control timers, notifications (with
// their queue) and the window attributes of the skin. Painting is in
// WindowHostPaint.cpp, input and the message filter in WindowHostInput.cpp,
// assistive technology in WindowHostAccess.cpp.
#ifdef _WIN32
#include "skinui/WindowHostUI.h"

#include <algorithm>

#include "logging/Log.h"
#include "skinui/AccessibleTree.h"
#include "skinui/SkinRenderer.h"
#include "skinui/SkinValues.h"
#include "skinui/TabOrder.h"

namespace SkinUI {

namespace {

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

} // namespace

// Every live host; TranslateMessage walks it.
std::vector<CWindowHostUI*>& CWindowHostUI::LiveHosts()
{
    static std::vector<CWindowHostUI*> hosts;
    return hosts;
}

CWindowHostUI::CWindowHostUI()
{
    LiveHosts().push_back(this);
}

CWindowHostUI::~CWindowHostUI()
{
    DisconnectAccessible();
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
    ReleaseWindowResources();
}

int WindowDpi(HWND window)
{
    typedef UINT(WINAPI * GetDpiForWindowProc)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    int dpi = 0;
    if (getDpiForWindow != nullptr && window != nullptr)
        dpi = static_cast<int>(getDpiForWindow(window));
    if (dpi <= 0) {
        HDC screen = GetDC(nullptr);
        if (screen != nullptr) {
            dpi = GetDeviceCaps(screen, LOGPIXELSY);
            ReleaseDC(nullptr, screen);
        }
    }
    return dpi > 0 ? dpi : kBaseDpi;
}

void CWindowHostUI::Init(HWND window)
{
    DisconnectAccessible();
    mapNames.clear();
    RemoveAllOwnResources();
    mapWindowAttributes.clear();
    mapWindowLengths.clear();
    ClearTimers();
    ReleaseWindowResources();
    hWndPaint = window;
    hDcPaint = window != nullptr ? GetDC(window) : nullptr;
    SetPaintDC(hDcPaint);
    SetDpi(window != nullptr ? WindowDpi(window) : kBaseDpi);
    ReadHighContrast();
    if (std::find(LiveHosts().begin(), LiveHosts().end(), this) == LiveHosts().end())
        LiveHosts().push_back(this);
}

void CWindowHostUI::ReleaseWindowResources()
{
    DropOffscreen();
    if (hDcPaint != nullptr && hWndPaint != nullptr)
        ReleaseDC(hWndPaint, hDcPaint);
    hDcPaint = nullptr;
    SetPaintDC(nullptr);
}

// WM_DESTROY: the window still exists, so its device context can go back.
// Not handled: the window procedure goes on.
bool CWindowHostUI::OnDestroy(WPARAM, LPARAM, LRESULT&)
{
    DisconnectAccessible();
    ReleaseWindowResources();
    return false;
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
    }
    mapNames.clear();
    mapOptionGroups.clear();
    pRoot = root;
    ++nTreeGeneration;
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

// The control is deleted once the current message is done, when the
// private message arrives that also delivers queued notifications.
void CWindowHostUI::QueueDelayedDelete(CControlUI* control)
{
    if (control != nullptr && AddUnique(vecDelayedCleanup, control))
        PostAsyncNotify();
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
    PostAsyncNotify();
}

void CWindowHostUI::PostAsyncNotify()
{
    if (!bAsyncNotifyPosted && hWndPaint != nullptr)
        bAsyncNotifyPosted = PostMessageW(hWndPaint, kMsgAsyncNotify, 0, 0) != FALSE;
}

// The sender's own handlers first, then the listeners in the order they
// were added.
void CWindowHostUI::DeliverNotify(NotifyMsg& msg)
{
    if (msg.pSender != nullptr)
        msg.pSender->RunNotifyHandlers(msg);
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

// kMsgAsyncNotify: the queued notifications and the delayed clean-up.
bool CWindowHostUI::OnAsyncNotify(WPARAM, LPARAM, LRESULT&)
{
    DeliverAsyncQueue();
    return true;
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
    // Deliberate: a control that cannot take the focus (of another host,
    // hidden or disabled) is refused before the focused control is asked to
    // give it up, so a refused request leaves the focus where it was instead
    // of leaving no control focused.
    if (control != nullptr && (control->GetHost() != this || !control->IsVisible() || !control->IsEnabled()))
        return;
    if (pFocus != nullptr) {
        CControlUI* old = pFocus;
        InvalidateFocusRing(old);
        pFocus = nullptr;
        SendEvent(old, kEvent_KillFocus);
        EmitNotify(old, L"killfocus", 0, 0, false, false);
    }
    if (control != nullptr) {
        pFocus = control;
        InvalidateFocusRing(control);
        SendEvent(control, kEvent_SetFocus);
        NotifyAccessibility(control, AccessEvent::Focus);
        EmitNotify(control, L"setfocus", 0, 0, false, false);
    }
}

void CWindowHostUI::SetFocusByNavigation(CControlUI* control)
{
    const bool was = bNavigatingFocus;
    bNavigatingFocus = true;
    SetFocus(control, true);
    bNavigatingFocus = was;
}

void CWindowHostUI::SetFocusNeeded(CControlUI* control)
{
    pFocusNeededControl = control;
    bFocusNeeded = true;
}

// Tab stops (IsTabStop) in visual order, wrapping at both ends. When no tab
// stop has the focus (none at all, a page container, a control that went
// away), the skin's default control takes it if it can, else the first or
// last stop.
void CWindowHostUI::SetNextTabStop(bool forward)
{
    if (pRoot == nullptr)
        return;
    std::vector<CControlUI*> stops;
    pRoot->LookupControl(
        [](CControlUI* c, void* data) -> CControlUI* {
            if (IsTabStop(c))
                static_cast<std::vector<CControlUI*>*>(data)->push_back(c);
            return nullptr;
        },
        &stops, kFind_Visible | kFind_MeFirst);
    if (stops.empty())
        return;
    std::vector<TabStopPlace> places;
    for (CControlUI* c : stops)
        places.push_back({c->GetPos(), ParseInt(c->CustomAttribute(L"tabindex"))});
    std::vector<CControlUI*> order;
    for (size_t index : SortTabStops(places, bRightToLeft))
        order.push_back(stops[index]);
    CControlUI* next = nullptr;
    auto it = std::find(order.begin(), order.end(), pFocus);
    if (it != order.end()) {
        const size_t at = static_cast<size_t>(it - order.begin());
        next = order[forward ? (at + 1) % order.size() : (at + order.size() - 1) % order.size()];
    } else {
        auto preferred = std::find_if(order.begin(), order.end(), [](CControlUI* c) {
            return c->CustomAttribute(L"defaultfocus") == L"true";
        });
        next = preferred != order.end() ? *preferred : forward ? order.front() : order.back();
    }
    SetFocusByNavigation(next);
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

// WM_TIMER: the control timer with this native id, unless it was killed
// (the layered repaint timer is the painting code's).
bool CWindowHostUI::OnTimer(WPARAM wParam, LPARAM lParam, LRESULT&)
{
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

// ---- Window attributes ----------------------------------------------

void CWindowHostUI::SetInitSize(int cx, int cy)
{
    szInitWindowSize = MakeSize(cx, cy);
    if (pRoot == nullptr && hWndPaint != nullptr)
        SetWindowPos(hWndPaint, nullptr, 0, 0, cx, cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

void CWindowHostUI::ApplyWindowAttribute(const std::wstring& name, const std::wstring& value)
{
    // The attributes that hold lengths, read at the host's scale.
    static const wchar_t* const kLengths[] = {L"size", L"sizebox", L"caption", L"roundcorner", L"mininfo", L"maxinfo"};
    for (const wchar_t* length : kLengths) {
        if (SameNoCase(name, length))
            mapWindowLengths[LowerCase(name)] = value;
    }
    const int dpi = GetDpi();
    if (SameNoCase(name, L"size")) {
        SIZE sz = ParseLengthSize(value, dpi);
        SetInitSize(static_cast<int>(sz.cx), static_cast<int>(sz.cy));
    } else if (SameNoCase(name, L"sizebox")) {
        SetSizeBox(ParseLengthRect(value, dpi));
    } else if (SameNoCase(name, L"caption")) {
        SetCaptionRect(ParseLengthRect(value, dpi));
    } else if (SameNoCase(name, L"roundcorner")) {
        SIZE sz = ParseLengthSize(value, dpi);
        SetRoundCorner(static_cast<int>(sz.cx), static_cast<int>(sz.cy));
    } else if (SameNoCase(name, L"mininfo")) {
        SIZE sz = ParseLengthSize(value, dpi);
        SetMinInfo(static_cast<int>(sz.cx), static_cast<int>(sz.cy));
    } else if (SameNoCase(name, L"maxinfo")) {
        SIZE sz = ParseLengthSize(value, dpi);
        SetMaxInfo(static_cast<int>(sz.cx), static_cast<int>(sz.cy));
    } else if (SameNoCase(name, L"showdirty")) {
        SetShowDirty(ParseBool(value));
    } else if (name == L"noactivate") {
        SetNoActivate(ParseBool(value));
    } else if (SameNoCase(name, L"opacity")) {
        SetOpacity(static_cast<BYTE>(std::min(255, std::max(0, ParseInt(value)))));
    } else if (name == L"layeredopacity") {
        nLayeredOpacity = static_cast<BYTE>(std::min(255, std::max(0, ParseInt(value))));
    } else if (name == L"layeredimage") {
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
    } else if (name == L"focusringcolor") {
        dwFocusRingColor = ParseColor(value);
    } else if (name == L"direction") {
        bRightToLeft = value == L"rtl";
    } else {
        mapWindowAttributes.emplace(name, value);   // the first value stays
    }
}

void CWindowHostUI::ChangeDpi(int dpi)
{
    if (dpi <= 0)
        dpi = kBaseDpi;
    if (dpi == GetDpi())
        return;
    SetDpi(dpi);
    const std::map<std::wstring, std::wstring> lengths = mapWindowLengths;
    for (const auto& attribute : lengths)
        ApplyWindowAttribute(attribute.first, attribute.second);
    if (pRoot != nullptr) {
        pRoot->LookupControl(
            [](CControlUI* c, void*) -> CControlUI* {
                c->ApplyDpi();
                return nullptr;
            },
            nullptr, kFind_All);
        pRoot->NeedUpdate();
    }
    bUpdateNeeded = true;
    DropOffscreen();
    if (hWndPaint != nullptr)
        InvalidateRect(hWndPaint, nullptr, FALSE);
}

std::wstring CWindowHostUI::GetWindowCustomAttribute(const std::wstring& name) const
{
    auto it = mapWindowAttributes.find(name);
    return it == mapWindowAttributes.end() ? std::wstring() : it->second;
}

// ---- Building ------------------------------------------------------

void CWindowHostUI::AddSkinFont(int id, const std::wstring& face, int size, bool bold, bool underline, bool italic,
                                bool shared, bool makeDefault)
{
    AddFontEntry(id, face, size, bold, underline, italic, shared);
    if (makeDefault)
        SetBaseFont(face, size, bold, underline, italic, shared);
}

void CWindowHostUI::AddSkinImage(const std::wstring& name, const std::wstring& type, DWORD mask, bool useHSL)
{
    // The builder's "shared" marks an image for colour adjustment; the image
    // itself goes to this host's own table.
    AddImageEntry(name, type, mask, useHSL, false);
}

void CWindowHostUI::AddSkinClassDefaults(const std::wstring& element, const std::wstring& attributes, bool shared)
{
    SetClassDefaults(element, attributes, shared);
}

std::wstring CWindowHostUI::SkinClassDefaults(const std::wstring& element) const
{
    return GetClassDefaults(element);
}

void CWindowHostUI::AddSkinLangString(int id, const std::wstring& text)
{
    CSkinResources::AddLangString(id, text);
}

} // namespace SkinUI

#endif // _WIN32
