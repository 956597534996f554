// Containers and stack layouts. CContainerUI owns an ordered list of
// children and lays them out inside its inner margin; CVerticalLayoutUI and
// CHorizontalLayoutUI stack them along one axis, sharing the free space
// among the children without a fixed size; CTabLayoutUI shows one child at
// a time. Containers own their children (deleted with them unless
// auto-destroy is switched off).
//
// Classes in this file: IContainerUI, CContainerUI, CVerticalLayoutUI,
// CHorizontalLayoutUI, CTabLayoutUI.
#pragma once

#include <vector>

#include "skinui/ControlUI.h"

namespace SkinUI {

class IContainerUI {
public:
    virtual ~IContainerUI() = default;
    virtual CControlUI* GetChildAt(int index) const = 0;
    virtual int IndexOfChild(CControlUI* control) const = 0;
    virtual bool MoveChildTo(CControlUI* control, int index) = 0;
    virtual int GetCount() const = 0;
    virtual bool Add(CControlUI* control) = 0;
    virtual bool AddAt(CControlUI* control, int index) = 0;
    virtual bool Remove(CControlUI* control) = 0;
    virtual bool RemoveAt(int index) = 0;
    virtual void RemoveAll() = 0;
};

// Child alignment across a vertical stack (`childalign`).
enum { kAlign_Left = 0, kAlign_Center = 1, kAlign_Right = 2 };

class CContainerUI : public CControlUI, public IContainerUI {
public:
    CContainerUI() = default;
    ~CContainerUI() override;

    std::wstring GetClass() const override;
    CControlUI* QueryControlInterface(const std::wstring& name) override;

    CControlUI* GetChildAt(int index) const override;
    int IndexOfChild(CControlUI* control) const override;
    bool MoveChildTo(CControlUI* control, int index) override;
    int GetCount() const override;
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    bool RemoveAt(int index) override;
    void RemoveAll() override;

    virtual RECT GetInset() const { return rcInset; }
    virtual void SetInset(RECT inset);
    virtual int GetChildPadding() const;
    virtual void SetChildPadding(int padding);
    virtual int GetChildAlign() const;
    virtual void SetChildAlign(int align);
    virtual UINT GetChildVAlign() const;
    virtual void SetChildVAlign(UINT align);
    virtual bool IsAutoDestroy() const;
    virtual void SetAutoDestroy(bool autoDestroy);
    virtual bool IsDelayedDestroy() const;
    virtual void SetDelayedDestroy(bool delayed);
    virtual bool IsMouseChildEnabled() const;
    virtual void SetMouseChildEnabled(bool enabled = true);

    // Scrolling. The skin uses no scroll bars: these keep the requested
    // flags but create no bar, the scroll position stays at 0,0 and the
    // layout is that of a container without bars.
    virtual SIZE GetScrollPos() const;
    virtual SIZE GetScrollRange() const;
    virtual void SetScrollPos(SIZE pos);
    virtual void EnableScrollBar(bool vertical = true, bool horizontal = false);
    virtual CControlUI* GetVerticalScrollBar() const;
    virtual CControlUI* GetHorizontalScrollBar() const;

    virtual void PlaceFloatChild(int index);
    virtual void PlaceScrollBars(RECT rc, int cxNeeded, int cyNeeded);

    RECT GetContentRect() const override;
    void SetHost(IControlHostUI* host, CControlUI* parent, bool init = true) override;
    void SetPos(RECT rc, bool needInvalidate = true) override;
    CControlUI* LookupControl(FindControlProc proc, void* data, UINT flags) override;
    void SetAttribute(const std::wstring& name, const std::wstring& value) override;
    bool Paint(HDC hDC, const RECT& rcPaint, CControlUI* stopControl = nullptr) override;

protected:
    void PassVisibilityOn() override;
    // Ties a new child to this container (host, parent, visibility).
    void AdoptChild(CControlUI* control);
    void DestroyChild(CControlUI* control);

    std::vector<CControlUI*> vecChildren;   // owned when bAutoDestroy
    RECT rcInset = {0, 0, 0, 0};
    int nChildPadding = 0;
    int nChildAlign = kAlign_Left;
    UINT uChildVAlign = DT_TOP;
    bool bMouseChildEnabled = true;
    bool bAutoDestroy = true;
    bool bDelayedDestroy = true;
    bool bScrollVertical = false;     // requested only; no bar is made
    bool bScrollHorizontal = false;
    std::wstring strVScrollStyle;
    std::wstring strHScrollStyle;
};

class CVerticalLayoutUI : public CContainerUI {
public:
    std::wstring GetClass() const override;
    CControlUI* QueryControlInterface(const std::wstring& name) override;
    void SetPos(RECT rc, bool needInvalidate = true) override;
};

class CHorizontalLayoutUI : public CContainerUI {
public:
    std::wstring GetClass() const override;
    CControlUI* QueryControlInterface(const std::wstring& name) override;
    void SetPos(RECT rc, bool needInvalidate = true) override;
};

class CTabLayoutUI : public CContainerUI {
public:
    std::wstring GetClass() const override;
    CControlUI* QueryControlInterface(const std::wstring& name) override;

    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    void RemoveAll() override;

    int GetSelectedIndex() const { return nSelected; }
    // Shows page `index`, hides the others and sends "tabselect"
    // (wParam new, lParam old). False for an index outside the pages.
    bool SelectPage(int index);
    bool SelectPage(CControlUI* page);

    void SetPos(RECT rc, bool needInvalidate = true) override;
    void SetAttribute(const std::wstring& name, const std::wstring& value) override;

private:
    int nSelected = -1;
};

} // namespace SkinUI
