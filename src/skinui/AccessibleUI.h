// The window's accessible object (Microsoft Active Accessibility): the
// client area of a host window as one object whose children are the
// controls a user needs (AccessibleTree.h), each a simple element with a
// child id. It reads the host's current tree on every call and keeps no
// pointer into it.
//
// Lifetime: the host makes the object on the first WM_GETOBJECT for the
// client area and holds one reference; it disconnects the object when its
// window goes (WM_DESTROY) or the host itself does. A reader may hold the
// object longer: every call then answers CO_E_OBJNOTCONNECTED.
//
// Threads: the UI thread. Calls from readers in other processes arrive
// there through COM, as messages of the thread's single-threaded apartment.
// accDoDefaultAction only posts the action to the window (a click may open
// a modal dialog, which must not hold the reader's call).
//
// Classes in this file: CAccessibleUI.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <oleacc.h>

namespace SkinUI {

class CControlUI;
class CWindowHostUI;

class CAccessibleUI final : public IAccessible {
public:
    explicit CAccessibleUI(CWindowHostUI* host);
    // The host is going away: from now on every call fails.
    void Disconnect() { pHost = nullptr; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch: not offered; readers use the IAccessible methods.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;
    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override;
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override;
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override;
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override;
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override;
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override;
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override;
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override;
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override;
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override;

private:
    ~CAccessibleUI() = default;   // through Release only
    // The control a child id names; nullptr for the object itself.
    // E_INVALIDARG for an id outside the list, CO_E_OBJNOTCONNECTED after
    // Disconnect.
    HRESULT Resolve(const VARIANT& child, CControlUI** control) const;

    volatile LONG nRefs = 1;
    CWindowHostUI* pHost;
};

} // namespace SkinUI

#endif // _WIN32
