// A small window host for the portable control tests: binds a control tree,
// lays it out, records notifications, invalidations and timers, keeps focus,
// capture and hover like the real host, and delivers synthetic mouse and key
// events. It has no window: tests that need one (painting, native child
// windows) run on the real window host (tests/win/HostTestWindow.h). On
// Windows it measures text with the real fonts of a memory device context.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "MakeControl.h"
#include "skinui/ContainerUI.h"
#include "skinui/HostUI.h"
#include "skinui/SkinBuilder.h"
#ifdef _WIN32
#include "skinui/SkinRenderer.h"
#endif

namespace testhost {

using namespace SkinUI;

struct Notification {
    std::wstring type;
    std::wstring sender;
    WPARAM wParam;
    LPARAM lParam;
};

class CTestHostUI : public IControlHostUI, public IBuilderHostUI {
public:
    CTestHostUI() = default;
    ~CTestHostUI() override
    {
        DeleteQueued();
        delete pRoot;
        pRoot = nullptr;
#ifdef _WIN32
        if (hMemDC != nullptr)
            DeleteDC(hMemDC);
#endif
    }

    // Takes ownership of the tree and binds it.
    void Attach(CControlUI* root)
    {
        pRoot = root;
        BindControls(root, nullptr);
    }
    CControlUI* GetRoot() const override { return pRoot; }

    void Layout(int width, int height)
    {
        rcClient = MakeRect(0, 0, width, height);
        pRoot->SetPos(rcClient, false);
        bLayoutNeeded = false;
    }
    // Lays out again when a control asked for it (as before a paint).
    void Relayout()
    {
        if (bLayoutNeeded)
            Layout(RectWidth(rcClient), RectHeight(rcClient));
    }
    bool LayoutNeeded() const { return bLayoutNeeded; }
    CControlUI* FocusNeeded() const { return pFocusNeeded; }

    CControlUI* Find(const std::wstring& name) const
    {
        auto it = mapNames.find(name);
        return it == mapNames.end() ? nullptr : it->second;
    }

    CControlUI* ControlAt(POINT pt)
    {
        if (pRoot == nullptr)
            return nullptr;
        return pRoot->LookupControl([](CControlUI* c, void*) { return c; }, &pt,
                                    kFind_Visible | kFind_HitTest | kFind_TopFirst);
    }

    // Synthetic input, as the real host delivers it.
    void MouseMove(int x, int y)
    {
        POINT pt = {x, y};
        ptMouse = pt;
        CControlUI* hit = ControlAt(pt);
        if (hit != pHover) {
            if (pHover != nullptr)
                Send(pHover, kEvent_MouseLeave, pt);
            pHover = hit;
            if (pHover != nullptr)
                Send(pHover, kEvent_MouseEnter, pt);
        }
        if (pPushed != nullptr)
            Send(pPushed, kEvent_MouseMove, pt);
        else if (pHover != nullptr)
            Send(pHover, kEvent_MouseMove, pt);
    }
    void ButtonDown(int x, int y)
    {
        POINT pt = {x, y};
        ptMouse = pt;
        CControlUI* hit = ControlAt(pt);
        if (hit == nullptr)
            return;
        pPushed = hit;
        hit->SetFocus();
        bCaptured = true;
        Send(hit, kEvent_ButtonDown, pt);
    }
    void ButtonUp(int x, int y)
    {
        POINT pt = {x, y};
        ptMouse = pt;
        bCaptured = false;
        if (pPushed == nullptr)
            return;
        CControlUI* pushed = pPushed;
        Send(pushed, kEvent_ButtonUp, pt);
        pPushed = nullptr;
    }
    void Click(int x, int y)
    {
        MouseMove(x, y);
        ButtonDown(x, y);
        ButtonUp(x, y);
    }
    void Click(CControlUI* control)
    {
        const RECT& rc = control->GetPos();
        Click(static_cast<int>((rc.left + rc.right) / 2), static_cast<int>((rc.top + rc.bottom) / 2));
    }
    void KeyDown(wchar_t key)
    {
        if (pFocus == nullptr)
            return;
        ControlEvent event;
        event.Type = kEvent_KeyDown;
        event.pSender = pFocus;
        event.chKey = key;
        pFocus->Event(event);
    }
    // Fires a pending control timer once (what the native timer would do).
    bool FireTimer(CControlUI* control, UINT id)
    {
        auto it = std::find_if(vecTimers.begin(), vecTimers.end(),
                               [&](const Timer& t) { return t.control == control && t.id == id && !t.killed; });
        if (it == vecTimers.end())
            return false;
        ControlEvent event;
        event.Type = kEvent_Timer;
        event.pSender = control;
        event.wParam = id;
        control->Event(event);
        return true;
    }
    bool TimerRunning(CControlUI* control, UINT id) const
    {
        return std::any_of(vecTimers.begin(), vecTimers.end(),
                           [&](const Timer& t) { return t.control == control && t.id == id && !t.killed; });
    }

    std::vector<Notification> notes;
    // What a reader would have heard: the sender's name and the event; the
    // hook sees each as it happens.
    std::vector<std::pair<std::wstring, AccessEvent>> accessEvents;
    std::function<void(CControlUI*, AccessEvent)> onAccessEvent;
    std::vector<RECT> invalidated;
    CursorShape lastCursor = kCursor_Arrow;
    int nTabStops = 0;
    std::vector<CControlUI*> mouseLeaveNeeded;

    std::vector<std::wstring> NotesOfType(const std::wstring& type) const
    {
        std::vector<std::wstring> out;
        for (const Notification& n : notes) {
            if (n.type == type)
                out.push_back(n.sender);
        }
        return out;
    }
    void DeleteQueued()
    {
        for (CControlUI* c : vecDelayed)
            c->Delete();
        vecDelayed.clear();
    }

    // The display scale the skin is read at (96 unless a test sets it).
    int nDpi = kBaseDpi;
    int Dpi() const override { return nDpi; }

    // IControlHostUI
    void Invalidate(const RECT& rc) override { invalidated.push_back(rc); }
    void NotifyAccessibility(CControlUI* control, AccessEvent event) override
    {
        accessEvents.push_back({control != nullptr ? control->GetName() : std::wstring(), event});
        if (onAccessEvent)
            onAccessEvent(control, event);
    }
    void NeedUpdate() override { bLayoutNeeded = true; }
    void EmitNotify(CControlUI* sender, const std::wstring& type, WPARAM wParam, LPARAM lParam, bool) override
    {
        NotifyMsg msg;
        msg.sType = type;
        msg.pSender = sender;
        msg.wParam = wParam;
        msg.lParam = lParam;
        if (sender != nullptr)
            sender->RunNotifyHandlers(msg);
        notes.push_back({type, sender != nullptr ? sender->GetName() : std::wstring(), wParam, lParam});
    }

    // IBuilderHostUI: what a skin gives its host is kept for the test to read.
    IControlHostUI* BuildControlHost() override { return this; }
    bool HasWindow() const override { return true; }
    void ApplyWindowAttribute(const std::wstring& name, const std::wstring& value) override
    {
        windowAttributes.emplace(name, value);
    }
    void AddSkinFont(int id, const std::wstring& face, int, bool, bool, bool, bool, bool) override
    {
        fonts[id] = face;
    }
    void AddSkinImage(const std::wstring& name, const std::wstring&, DWORD, bool) override { images.push_back(name); }
    void AddSkinClassDefaults(const std::wstring& element, const std::wstring& attributes, bool) override
    {
        classDefaults[element] = attributes;
    }
    std::wstring SkinClassDefaults(const std::wstring& element) const override
    {
        auto it = classDefaults.find(element);
        return it == classDefaults.end() ? std::wstring() : it->second;
    }
    void AddSkinLangString(int id, const std::wstring& text) override { langStrings[id] = text; }
    std::map<std::wstring, std::wstring> windowAttributes;
    std::map<int, std::wstring> fonts;
    std::vector<std::wstring> images;
    std::map<std::wstring, std::wstring> classDefaults;
    std::map<int, std::wstring> langStrings;
    bool SetTimer(CControlUI* control, UINT id, UINT) override
    {
        for (Timer& t : vecTimers) {
            if (t.control == control && t.id == id) {
                if (!t.killed)
                    return false;
                t.killed = false;
                return true;
            }
        }
        vecTimers.push_back({control, id, false});
        return true;
    }
    bool KillTimer(CControlUI* control, UINT id) override
    {
        for (Timer& t : vecTimers) {
            if (t.control == control && t.id == id && !t.killed) {
                t.killed = true;
                return true;
            }
        }
        return false;
    }
    void KillTimers(CControlUI* control) override
    {
        vecTimers.erase(std::remove_if(vecTimers.begin(), vecTimers.end(),
                                       [&](const Timer& t) { return t.control == control; }),
                        vecTimers.end());
    }
    void SetFocus(CControlUI* control) override
    {
        if (control == pFocus)
            return;
        if (control != nullptr && (control->GetHost() != this || !control->IsVisible() || !control->IsEnabled()))
            return;
        if (pFocus != nullptr) {
            CControlUI* old = pFocus;
            pFocus = nullptr;
            Send(old, kEvent_KillFocus, ptMouse);
            EmitNotify(old, L"killfocus", 0, 0, false);
        }
        if (control != nullptr) {
            pFocus = control;
            Send(control, kEvent_SetFocus, ptMouse);
            EmitNotify(control, L"setfocus", 0, 0, false);
        }
    }
    CControlUI* GetFocus() const override { return pFocus; }
    void SetNextTabStop(bool) override { ++nTabStops; }
    void SetFocusNeeded(CControlUI* control) override { pFocusNeeded = control; }
    void ReleaseCapture() override { bCaptured = false; }
    void SetCursorShape(CursorShape shape) override { lastCursor = shape; }
    void BindControls(CControlUI* control, CControlUI* parent) override
    {
        control->SetHost(this, parent, true);
        control->LookupControl(
            [](CControlUI* c, void* data) -> CControlUI* {
                auto* self = static_cast<CTestHostUI*>(data);
                if (!c->GetName().empty() && self->mapNames.count(c->GetName()) == 0)
                    self->mapNames[c->GetName()] = c;
                return nullptr;
            },
            this, kFind_All);
    }
    void ForgetControl(CControlUI* control) override
    {
        if (pFocus == control)
            pFocus = nullptr;
        if (pHover == control)
            pHover = nullptr;
        if (pPushed == control)
            pPushed = nullptr;
        if (pFocusNeeded == control)
            pFocusNeeded = nullptr;
        KillTimers(control);
        for (auto it = mapNames.begin(); it != mapNames.end();) {
            if (it->second == control)
                it = mapNames.erase(it);
            else
                ++it;
        }
        for (auto& group : mapGroups)
            group.second.erase(std::remove(group.second.begin(), group.second.end(), control), group.second.end());
        RemoveMouseLeaveNeeded(control);
    }
    void QueueDelayedDelete(CControlUI* control) override { vecDelayed.push_back(control); }
    void AddMouseLeaveNeeded(CControlUI* control) override
    {
        if (std::find(mouseLeaveNeeded.begin(), mouseLeaveNeeded.end(), control) == mouseLeaveNeeded.end())
            mouseLeaveNeeded.push_back(control);
    }
    void RemoveMouseLeaveNeeded(CControlUI* control) override
    {
        mouseLeaveNeeded.erase(std::remove(mouseLeaveNeeded.begin(), mouseLeaveNeeded.end(), control),
                               mouseLeaveNeeded.end());
    }
    void AddOptionGroup(const std::wstring& group, CControlUI* control) override
    {
        auto& members = mapGroups[group];
        if (std::find(members.begin(), members.end(), control) == members.end())
            members.push_back(control);
    }
    void RemoveOptionGroup(const std::wstring& group, CControlUI* control) override
    {
        auto it = mapGroups.find(group);
        if (it != mapGroups.end())
            it->second.erase(std::remove(it->second.begin(), it->second.end(), control), it->second.end());
    }
    std::vector<CControlUI*> GetOptionGroup(const std::wstring& group) const override
    {
        auto it = mapGroups.find(group);
        return it == mapGroups.end() ? std::vector<CControlUI*>() : it->second;
    }
    DWORD DefaultTextColor() const override { return 0xFF000000; }
    DWORD DefaultDisabledColor() const override { return 0xFFA7A6AA; }

#ifdef _WIN32
    int FontHeight(int fontId) override
    {
        resources.SetPaintDC(MemDC());
        const TFontInfo* info = resources.FontDetails(fontId);
        return info != nullptr ? static_cast<int>(info->tm.tmHeight) : 0;
    }
    SIZE MeasureText(const std::wstring& text, int fontId, UINT style, int width, bool markup) override
    {
        RECT rc = MakeRect(0, 0, width, 9999);
        if (markup) {
            int links = 0;
            CSkinRenderer::DrawMarkupText(MemDC(), &resources, rc, text, 0, nullptr, nullptr, links, fontId,
                                          style | DT_CALCRECT);
        } else {
            CSkinRenderer::DrawPlainText(MemDC(), &resources, rc, text, 0, fontId, style | DT_CALCRECT);
        }
        return MakeSize(RectWidth(rc), RectHeight(rc));
    }
    // No window: native child windows (edit boxes) cannot open here.
    HWND HostWindow() const override { return nullptr; }
    CSkinResources* Resources() override { return &resources; }
    void AddNativeWindow(HWND, CControlUI*) override {}
    void RemoveNativeWindow(HWND) override {}
    CSkinResources resources;

    HDC MemDC()
    {
        if (hMemDC == nullptr)
            hMemDC = CreateCompatibleDC(nullptr);
        return hMemDC;
    }
#else
    int FontHeight(int) override { return 12; }
    // Natively every character is 7 pixels wide and a line 12 high.
    SIZE MeasureText(const std::wstring& text, int, UINT style, int width, bool) override
    {
        int w = static_cast<int>(text.size()) * 7;
        if ((style & DT_SINGLELINE) != 0 || width <= 0 || w <= width)
            return MakeSize(w, 12);
        int lines = (w + width - 1) / width;
        return MakeSize(width, 12 * lines);
    }
#endif

private:
    struct Timer {
        CControlUI* control;
        UINT id;
        bool killed;
    };
    void Send(CControlUI* control, int type, POINT pt)
    {
        ControlEvent event;
        event.Type = type;
        event.pSender = control;
        event.ptMouse = pt;
        control->Event(event);
    }

    CControlUI* pRoot = nullptr;
    CControlUI* pFocus = nullptr;
    CControlUI* pHover = nullptr;
    CControlUI* pPushed = nullptr;
    CControlUI* pFocusNeeded = nullptr;
    bool bCaptured = false;
    bool bLayoutNeeded = false;
    POINT ptMouse = {0, 0};
    RECT rcClient = {0, 0, 0, 0};
    std::map<std::wstring, CControlUI*> mapNames;
    std::map<std::wstring, std::vector<CControlUI*>> mapGroups;
    std::vector<Timer> vecTimers;
    std::vector<CControlUI*> vecDelayed;
#ifdef _WIN32
    HDC hMemDC = nullptr;
#endif
};

} // namespace testhost
