// The window host and assistive technology: the accessible object it hands
// out for the client area (WM_GETOBJECT), the events a reader hears of
// (NotifyWinEvent, with the child ids of AccessibleTree.h), and the default
// action a reader asked for, performed after the reader's call returned.
#ifdef _WIN32
#include "skinui/WindowHostUI.h"

#include <oleacc.h>

#include "logging/Log.h"
#include "skinui/AccessibleTree.h"
#include "skinui/AccessibleUI.h"

namespace SkinUI {

namespace {

bool IsWithin(CControlUI* control, CControlUI* ancestor)
{
    for (CControlUI* c = control; c != nullptr; c = c->GetParent()) {
        if (c == ancestor)
            return true;
    }
    return false;
}

DWORD WinEventOf(AccessEvent event)
{
    switch (event) {
    case AccessEvent::Focus:
        return EVENT_OBJECT_FOCUS;
    case AccessEvent::StateChange:
        return EVENT_OBJECT_STATECHANGE;
    case AccessEvent::NameChange:
        return EVENT_OBJECT_NAMECHANGE;
    case AccessEvent::ValueChange:
        return EVENT_OBJECT_VALUECHANGE;
    case AccessEvent::Show:
        return EVENT_OBJECT_SHOW;
    default:
        return EVENT_OBJECT_HIDE;
    }
}

} // namespace

void CWindowHostUI::DisconnectAccessible()
{
    if (pAccessible == nullptr)
        return;
    pAccessible->Disconnect();
    pAccessible->Release();
    pAccessible = nullptr;
}

// WM_GETOBJECT: this host answers for the client area; every other object
// of the window (frame, caret, ...) is the system's.
bool CWindowHostUI::OnGetObject(WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (static_cast<LONG>(lParam) != OBJID_CLIENT || pRoot == nullptr)
        return false;
    if (pAccessible == nullptr)
        pAccessible = new CAccessibleUI(this);
    const LRESULT answer = LresultFromObject(__uuidof(IAccessible), wParam, pAccessible);
    if (FAILED(static_cast<HRESULT>(answer))) {
        LOG_INFO("LresultFromObject failed with error 0x%08lX", static_cast<unsigned long>(answer));
        return false;
    }
    result = answer;
    return true;
}

// Shown or hidden, the event goes to every listed control inside (the page
// of a tab layout holds many); a shown one only when it can be seen now.
void CWindowHostUI::NotifyAccessibility(CControlUI* control, AccessEvent event)
{
    if (hWndPaint == nullptr || pRoot == nullptr || control == nullptr)
        return;
    const DWORD winEvent = WinEventOf(event);
    if (event != AccessEvent::Show && event != AccessEvent::Hide) {
        const long id = AccessibleChildId(pRoot, control);
        if (id != 0)
            NotifyWinEvent(winEvent, hWndPaint, OBJID_CLIENT, id);
        return;
    }
    const std::vector<CControlUI*> list = AccessibleControls(pRoot);
    for (size_t i = 0; i < list.size(); ++i) {
        if (IsWithin(list[i], control) && (event == AccessEvent::Hide || list[i]->IsVisible()))
            NotifyWinEvent(winEvent, hWndPaint, OBJID_CLIENT, static_cast<LONG>(i + 1));
    }
}

bool CWindowHostUI::PostAccessibleAction(long childId)
{
    return hWndPaint != nullptr &&
           PostMessageW(hWndPaint, kMsgAccessibleAction, static_cast<WPARAM>(childId), nTreeGeneration) != FALSE;
}

// kMsgAccessibleAction: the control with that child id, in the tree the
// reader saw, does what a click would do.
bool CWindowHostUI::OnAccessibleAction(WPARAM wParam, LPARAM lParam, LRESULT&)
{
    if (static_cast<UINT>(lParam) != nTreeGeneration)
        return true;
    const std::vector<CControlUI*> list = AccessibleControls(pRoot);
    if (wParam >= 1 && wParam <= list.size())
        list[wParam - 1]->Activate();
    return true;
}

} // namespace SkinUI

#endif // _WIN32
