// The window's accessible object: the client area and its listed controls
// as simple elements, answered from the host's current tree.
#ifdef _WIN32
#include "skinui/AccessibleUI.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "skinui/AccessibleTree.h"
#include "skinui/WindowHostUI.h"

namespace SkinUI {

namespace {

long PlatformRole(AccessRole role)
{
    switch (role) {
    case AccessRole::PushButton:
        return ROLE_SYSTEM_PUSHBUTTON;
    case AccessRole::CheckBox:
        return ROLE_SYSTEM_CHECKBUTTON;
    case AccessRole::RadioButton:
        return ROLE_SYSTEM_RADIOBUTTON;
    case AccessRole::Link:
        return ROLE_SYSTEM_LINK;
    case AccessRole::Text:
        return ROLE_SYSTEM_TEXT;
    case AccessRole::ProgressBar:
        return ROLE_SYSTEM_PROGRESSBAR;
    case AccessRole::StaticText:
        return ROLE_SYSTEM_STATICTEXT;
    case AccessRole::Graphic:
        return ROLE_SYSTEM_GRAPHIC;
    default:
        return ROLE_SYSTEM_CLIENT;
    }
}

long PlatformStates(UINT states)
{
    static const struct {
        UINT own;
        long platform;
    } kStates[] = {
        {kAccState_Unavailable, STATE_SYSTEM_UNAVAILABLE}, {kAccState_Focused, STATE_SYSTEM_FOCUSED},
        {kAccState_Checked, STATE_SYSTEM_CHECKED},         {kAccState_ReadOnly, STATE_SYSTEM_READONLY},
        {kAccState_Invisible, STATE_SYSTEM_INVISIBLE},     {kAccState_Focusable, STATE_SYSTEM_FOCUSABLE},
        {kAccState_Linked, STATE_SYSTEM_LINKED},           {kAccState_Protected, STATE_SYSTEM_PROTECTED},
    };
    long platform = 0;
    for (const auto& state : kStates) {
        if ((states & state.own) != 0)
            platform |= state.platform;
    }
    return platform;
}

// S_FALSE and no string for an empty text, as readers expect.
HRESULT ReturnText(const std::wstring& text, BSTR* out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (text.empty())
        return S_FALSE;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT ReturnChild(long id, VARIANT* out)
{
    out->vt = VT_I4;
    out->lVal = id;
    return S_OK;
}

HRESULT ReturnNothing(VARIANT* out)
{
    out->vt = VT_EMPTY;
    return S_FALSE;
}

} // namespace

CAccessibleUI::CAccessibleUI(CWindowHostUI* host) : pHost(host) {}

HRESULT CAccessibleUI::QueryInterface(REFIID riid, void** object)
{
    if (object == nullptr)
        return E_POINTER;
    if (IsEqualIID(riid, __uuidof(IUnknown)) || IsEqualIID(riid, __uuidof(IDispatch)) ||
        IsEqualIID(riid, __uuidof(IAccessible))) {
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CAccessibleUI::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&nRefs)); }

ULONG CAccessibleUI::Release()
{
    const LONG refs = InterlockedDecrement(&nRefs);
    if (refs == 0)
        delete this;
    return static_cast<ULONG>(refs);
}

HRESULT CAccessibleUI::GetTypeInfoCount(UINT* count)
{
    if (count == nullptr)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT CAccessibleUI::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
HRESULT CAccessibleUI::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
HRESULT CAccessibleUI::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
{
    return E_NOTIMPL;
}

HRESULT CAccessibleUI::Resolve(const VARIANT& child, CControlUI** control) const
{
    *control = nullptr;
    if (pHost == nullptr)
        return CO_E_OBJNOTCONNECTED;
    if (child.vt != VT_I4)
        return E_INVALIDARG;
    if (child.lVal == CHILDID_SELF)
        return S_OK;
    const std::vector<CControlUI*> list = AccessibleControls(pHost->GetRoot());
    if (child.lVal < 1 || static_cast<size_t>(child.lVal) > list.size())
        return E_INVALIDARG;
    *control = list[static_cast<size_t>(child.lVal) - 1];
    return S_OK;
}

HRESULT CAccessibleUI::get_accParent(IDispatch** parent)
{
    if (parent == nullptr)
        return E_POINTER;
    *parent = nullptr;
    if (pHost == nullptr)
        return CO_E_OBJNOTCONNECTED;
    return CreateStdAccessibleObject(pHost->HostWindow(), OBJID_WINDOW, __uuidof(IDispatch), reinterpret_cast<void**>(parent));
}

HRESULT CAccessibleUI::get_accChildCount(long* count)
{
    if (count == nullptr)
        return E_POINTER;
    if (pHost == nullptr)
        return CO_E_OBJNOTCONNECTED;
    *count = static_cast<long>(AccessibleControls(pHost->GetRoot()).size());
    return S_OK;
}

HRESULT CAccessibleUI::get_accChild(VARIANT child, IDispatch** object)
{
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    CControlUI* control = nullptr;
    HRESULT hr = Resolve(child, &control);
    if (FAILED(hr))
        return hr;
    // The children are simple elements of this object.
    return control != nullptr ? S_FALSE : E_INVALIDARG;
}

HRESULT CAccessibleUI::get_accName(VARIANT child, BSTR* name)
{
    CControlUI* control = nullptr;
    HRESULT hr = Resolve(child, &control);
    if (FAILED(hr))
        return hr;
    if (control != nullptr)
        return ReturnText(DescribeAccessible(control, pHost->GetRoot()).strName, name);
    wchar_t title[256] = {};
    GetWindowTextW(pHost->HostWindow(), title, 256);
    return ReturnText(title, name);
}

HRESULT CAccessibleUI::get_accValue(VARIANT child, BSTR* value)
{
    CControlUI* control = nullptr;
    HRESULT hr = Resolve(child, &control);
    if (FAILED(hr))
        return hr;
    return ReturnText(control != nullptr ? DescribeAccessible(control, pHost->GetRoot()).strValue : std::wstring(),
                      value);
}

HRESULT CAccessibleUI::get_accDescription(VARIANT child, BSTR* description)
{
    CControlUI* control = nullptr;
    HRESULT hr = Resolve(child, &control);
    if (FAILED(hr))
        return hr;
    return ReturnText(control != nullptr ? control->GetToolTip() : std::wstring(), description);
}

HRESULT CAccessibleUI::get_accRole(VARIANT child, VARIANT* role)
{
    if (role == nullptr)
        return E_POINTER;
    CControlUI* control = nullptr;
    HRESULT hr = Resolve(child, &control);
    if (FAILED(hr))
        return hr;
    return ReturnChild(control != nullptr ? PlatformRole(AccessibleRoleOf(control)) : ROLE_SYSTEM_CLIENT, role);
}

HRESULT CAccessibleUI::get_accState(VARIANT child, VARIANT* state)
{
    if (state == nullptr)
        return E_POINTER;
    CControlUI* control = nullptr;
    HRESULT hr = Resolve(child, &control);
    if (FAILED(hr))
        return hr;
    if (control != nullptr)
        return ReturnChild(PlatformStates(DescribeAccessible(control, pHost->GetRoot()).uStates), state);
    long own = STATE_SYSTEM_FOCUSABLE;
    if (::GetFocus() == pHost->HostWindow())
        own |= STATE_SYSTEM_FOCUSED;
    return ReturnChild(own, state);
}

HRESULT CAccessibleUI::get_accHelp(VARIANT child, BSTR* help)
{
    CControlUI* control = nullptr;
    HRESULT hr = Resolve(child, &control);
    return FAILED(hr) ? hr : ReturnText(std::wstring(), help);
}

HRESULT CAccessibleUI::get_accHelpTopic(BSTR* file, VARIANT, long* topic)
{
    if (file != nullptr)
        *file = nullptr;
    if (topic != nullptr)
        *topic = -1;
    return pHost == nullptr ? CO_E_OBJNOTCONNECTED : DISP_E_MEMBERNOTFOUND;
}

HRESULT CAccessibleUI::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut)
{
    CControlUI* control = nullptr;
    HRESULT hr = Resolve(child, &control);
    if (FAILED(hr))
        return hr;
    std::wstring text;
    if (control != nullptr && control->GetShortcut() != 0)
        text = std::wstring(L"Alt+") + control->GetShortcut();
    return ReturnText(text, shortcut);
}

HRESULT CAccessibleUI::get_accFocus(VARIANT* child)
{
    if (child == nullptr)
        return E_POINTER;
    if (pHost == nullptr)
        return CO_E_OBJNOTCONNECTED;
    const long id = AccessibleChildId(pHost->GetRoot(), pHost->GetFocus());
    if (id != 0)
        return ReturnChild(id, child);
    if (::GetFocus() == pHost->HostWindow())
        return ReturnChild(CHILDID_SELF, child);
    return ReturnNothing(child);
}

HRESULT CAccessibleUI::get_accSelection(VARIANT* children)
{
    if (children == nullptr)
        return E_POINTER;
    return pHost == nullptr ? CO_E_OBJNOTCONNECTED : ReturnNothing(children);
}

HRESULT CAccessibleUI::get_accDefaultAction(VARIANT child, BSTR* action)
{
    CControlUI* control = nullptr;
    HRESULT hr = Resolve(child, &control);
    if (FAILED(hr))
        return hr;
    return ReturnText(
        control != nullptr ? DescribeAccessible(control, pHost->GetRoot()).strDefaultAction : std::wstring(), action);
}

// Only taking the focus is offered: nothing here can be selected.
HRESULT CAccessibleUI::accSelect(long flags, VARIANT child)
{
    CControlUI* control = nullptr;
    HRESULT hr = Resolve(child, &control);
    if (FAILED(hr))
        return hr;
    if (control == nullptr || flags != SELFLAG_TAKEFOCUS)
        return DISP_E_MEMBERNOTFOUND;
    pHost->SetFocusByNavigation(control);
    return pHost->GetFocus() == control ? S_OK : S_FALSE;
}

HRESULT CAccessibleUI::accLocation(long* left, long* top, long* width, long* height, VARIANT child)
{
    if (left == nullptr || top == nullptr || width == nullptr || height == nullptr)
        return E_POINTER;
    *left = *top = *width = *height = 0;
    CControlUI* control = nullptr;
    HRESULT hr = Resolve(child, &control);
    if (FAILED(hr))
        return hr;
    RECT rc;
    if (control == nullptr) {
        GetClientRect(pHost->HostWindow(), &rc);
    } else {
        // A hidden control has no place on the screen.
        if (!control->IsVisible())
            return S_FALSE;
        rc = control->GetPos();
    }
    // Client to screen coordinates; a mirrored window maps right to left.
    MapWindowPoints(pHost->HostWindow(), nullptr, reinterpret_cast<POINT*>(&rc), 2);
    *left = std::min(rc.left, rc.right);
    *top = rc.top;
    *width = std::labs(rc.right - rc.left);
    *height = rc.bottom - rc.top;
    return S_OK;
}

HRESULT CAccessibleUI::accNavigate(long direction, VARIANT start, VARIANT* end)
{
    if (end == nullptr)
        return E_POINTER;
    end->vt = VT_EMPTY;
    CControlUI* control = nullptr;
    HRESULT hr = Resolve(start, &control);
    if (FAILED(hr))
        return hr;
    const long count = static_cast<long>(AccessibleControls(pHost->GetRoot()).size());
    if (control == nullptr) {
        if (direction == NAVDIR_FIRSTCHILD && count > 0)
            return ReturnChild(1, end);
        if (direction == NAVDIR_LASTCHILD && count > 0)
            return ReturnChild(count, end);
        return ReturnNothing(end);
    }
    if (direction == NAVDIR_NEXT && start.lVal < count)
        return ReturnChild(start.lVal + 1, end);
    if (direction == NAVDIR_PREVIOUS && start.lVal > 1)
        return ReturnChild(start.lVal - 1, end);
    if (direction == NAVDIR_FIRSTCHILD || direction == NAVDIR_LASTCHILD)
        return E_INVALIDARG;   // a simple element has no children
    return ReturnNothing(end);
}

HRESULT CAccessibleUI::accHitTest(long x, long y, VARIANT* child)
{
    if (child == nullptr)
        return E_POINTER;
    child->vt = VT_EMPTY;
    if (pHost == nullptr)
        return CO_E_OBJNOTCONNECTED;
    POINT pt = {x, y};
    ScreenToClient(pHost->HostWindow(), &pt);
    RECT client;
    GetClientRect(pHost->HostWindow(), &client);
    if (!PtInRect(&client, pt))
        return ReturnNothing(child);
    // The topmost listed control under the point: the last in tree order.
    const std::vector<CControlUI*> list = AccessibleControls(pHost->GetRoot());
    for (size_t i = list.size(); i-- > 0;) {
        if (list[i]->IsVisible() && RectContains(list[i]->GetPos(), pt))
            return ReturnChild(static_cast<long>(i + 1), child);
    }
    return ReturnChild(CHILDID_SELF, child);
}

HRESULT CAccessibleUI::accDoDefaultAction(VARIANT child)
{
    CControlUI* control = nullptr;
    HRESULT hr = Resolve(child, &control);
    if (FAILED(hr))
        return hr;
    if (control == nullptr || DescribeAccessible(control, pHost->GetRoot()).strDefaultAction.empty())
        return DISP_E_MEMBERNOTFOUND;
    if (!control->IsVisible() || !control->IsEnabled())
        return E_FAIL;
    return pHost->PostAccessibleAction(child.lVal) ? S_OK : E_FAIL;
}

HRESULT CAccessibleUI::put_accName(VARIANT, BSTR) { return E_NOTIMPL; }
HRESULT CAccessibleUI::put_accValue(VARIANT, BSTR) { return E_NOTIMPL; }

} // namespace SkinUI

#endif // _WIN32
