// Containers, the two stack layouts and the tab layout. The layout
// arithmetic is portable; only the clipping while painting needs Windows.
#include "skinui/ContainerUI.h"

#include <algorithm>

namespace SkinUI {

// ---------------------------------------------------------------- container

CContainerUI::~CContainerUI()
{
    if (bAutoDestroy) {
        for (CControlUI* child : vecChildren)
            child->Delete();
    }
    vecChildren.clear();
}

std::wstring CContainerUI::GetClass() const { return L"Container"; }

CControlUI* CContainerUI::QueryControlInterface(const std::wstring& name)
{
    if (name == L"IContainer")
        return this;
    if (name == L"Container")
        return this;
    return CControlUI::QueryControlInterface(name);
}

CControlUI* CContainerUI::GetChildAt(int index) const
{
    if (index < 0 || index >= static_cast<int>(vecChildren.size()))
        return nullptr;
    return vecChildren[static_cast<size_t>(index)];
}

int CContainerUI::IndexOfChild(CControlUI* control) const
{
    auto it = std::find(vecChildren.begin(), vecChildren.end(), control);
    return it == vecChildren.end() ? -1 : static_cast<int>(it - vecChildren.begin());
}

bool CContainerUI::MoveChildTo(CControlUI* control, int index)
{
    int from = IndexOfChild(control);
    if (from < 0 || index < 0 || index >= GetCount())
        return false;
    vecChildren.erase(vecChildren.begin() + from);
    vecChildren.insert(vecChildren.begin() + index, control);
    NeedUpdate();
    return true;
}

int CContainerUI::GetCount() const { return static_cast<int>(vecChildren.size()); }

void CContainerUI::AdoptChild(CControlUI* control)
{
    if (pHost != nullptr)
        pHost->BindControls(control, this);
    else
        control->SetHost(nullptr, this, false);
    if (IsVisible())
        NeedUpdate();
    else
        control->SetVisibleByParent(false);
}

bool CContainerUI::Add(CControlUI* control)
{
    if (control == nullptr || IndexOfChild(control) >= 0)
        return false;
    AdoptChild(control);
    vecChildren.push_back(control);
    return true;
}

bool CContainerUI::AddAt(CControlUI* control, int index)
{
    if (control == nullptr || IndexOfChild(control) >= 0 || index < 0 || index > GetCount())
        return false;
    AdoptChild(control);
    vecChildren.insert(vecChildren.begin() + index, control);
    return true;
}

void CContainerUI::DestroyChild(CControlUI* control)
{
    if (!bAutoDestroy)
        return;
    if (bDelayedDestroy && pHost != nullptr)
        pHost->QueueDelayedDelete(control);
    else
        control->Delete();
}

bool CContainerUI::Remove(CControlUI* control)
{
    return RemoveAt(IndexOfChild(control));
}

bool CContainerUI::RemoveAt(int index)
{
    CControlUI* control = GetChildAt(index);
    if (control == nullptr)
        return false;
    vecChildren.erase(vecChildren.begin() + index);
    DestroyChild(control);
    NeedUpdate();
    return true;
}

void CContainerUI::RemoveAll()
{
    std::vector<CControlUI*> children;
    children.swap(vecChildren);
    for (CControlUI* child : children)
        DestroyChild(child);
    NeedUpdate();
}

void CContainerUI::SetInset(RECT inset)
{
    rcInset = ClampRect(inset);
    NeedUpdate();
}

int CContainerUI::GetChildPadding() const { return nChildPadding; }

void CContainerUI::SetChildPadding(int padding)
{
    nChildPadding = ClampCoordinate(padding);
    NeedUpdate();
}

int CContainerUI::GetChildAlign() const { return nChildAlign; }

void CContainerUI::SetChildAlign(int align)
{
    nChildAlign = align;
    NeedUpdate();
}

UINT CContainerUI::GetChildVAlign() const { return uChildVAlign; }

void CContainerUI::SetChildVAlign(UINT align)
{
    uChildVAlign = align;
    NeedUpdate();
}

bool CContainerUI::IsAutoDestroy() const { return bAutoDestroy; }
void CContainerUI::SetAutoDestroy(bool autoDestroy) { bAutoDestroy = autoDestroy; }
bool CContainerUI::IsDelayedDestroy() const { return bDelayedDestroy; }
void CContainerUI::SetDelayedDestroy(bool delayed) { bDelayedDestroy = delayed; }
bool CContainerUI::IsMouseChildEnabled() const { return bMouseChildEnabled; }
void CContainerUI::SetMouseChildEnabled(bool enabled) { bMouseChildEnabled = enabled; }

SIZE CContainerUI::GetScrollPos() const { return MakeSize(0, 0); }
SIZE CContainerUI::GetScrollRange() const { return MakeSize(0, 0); }
void CContainerUI::SetScrollPos(SIZE) {}

void CContainerUI::EnableScrollBar(bool vertical, bool horizontal)
{
    bScrollVertical = vertical;
    bScrollHorizontal = horizontal;
}

CControlUI* CContainerUI::GetVerticalScrollBar() const { return nullptr; }
CControlUI* CContainerUI::GetHorizontalScrollBar() const { return nullptr; }

void CContainerUI::PlaceScrollBars(RECT, int, int) {}

// extent × fraction as a coordinate; fractions far outside 0..1 (or not a
// number) cannot overflow the conversion.
static int FractionOf(int extent, double fraction)
{
    double value = extent * fraction;
    if (!(value == value))
        return 0;
    if (value > kMaxCoordinate)
        return kMaxCoordinate;
    if (value < -kMaxCoordinate)
        return -kMaxCoordinate;
    return static_cast<int>(value);
}

void CContainerUI::PlaceFloatChild(int index)
{
    CControlUI* child = GetChildAt(index);
    if (child == nullptr || !child->IsFloat() || !child->IsVisible())
        return;
    const int width = RectWidth(rcItem);
    const int height = RectHeight(rcItem);
    double fractions[4] = {0, 0, 0, 0};
    child->GetFloatAnchor(fractions);
    const bool anchored = fractions[0] != 0 || fractions[1] != 0 || fractions[2] != 0 || fractions[3] != 0;
    RECT rc;
    if (anchored) {
        // Fractions of the parent's size; a zero extent takes the fixed size.
        rc.left = rcItem.left + FractionOf(width, fractions[0]);
        rc.top = rcItem.top + FractionOf(height, fractions[1]);
        rc.right = rcItem.left + FractionOf(width, fractions[2]);
        rc.bottom = rcItem.top + FractionOf(height, fractions[3]);
        if (rc.right <= rc.left)
            rc.right = rc.left + child->GetFixedWidth();
        if (rc.bottom <= rc.top)
            rc.bottom = rc.top + child->GetFixedHeight();
    } else {
        SIZE offset = child->GetFloatOffset();
        SIZE size = child->MeasureSize(MakeSize(width, height));
        int cx = std::max(std::min(static_cast<int>(size.cx), child->GetMaxWidth()), child->GetMinWidth());
        int cy = std::max(std::min(static_cast<int>(size.cy), child->GetMaxHeight()), child->GetMinHeight());
        rc.left = rcItem.left + offset.cx;
        rc.top = rcItem.top + offset.cy;
        rc.right = rc.left + cx;
        rc.bottom = rc.top + cy;
    }
    child->SetPos(rc, false);
}

RECT CContainerUI::GetContentRect() const
{
    RECT rc = rcItem;
    rc.left += rcInset.left;
    rc.top += rcInset.top;
    rc.right -= rcInset.right;
    rc.bottom -= rcInset.bottom;
    return rc;
}

void CContainerUI::SetHost(IControlHostUI* host, CControlUI* parent, bool init)
{
    for (CControlUI* child : vecChildren)
        child->SetHost(host, this, init);
    CControlUI::SetHost(host, parent, init);
}

void CContainerUI::PassVisibilityOn()
{
    CControlUI::PassVisibilityOn();
    for (CControlUI* child : vecChildren)
        child->SetVisibleByParent(IsVisible());
}

void CContainerUI::SetPos(RECT rc, bool needInvalidate)
{
    CControlUI::SetPos(rc, needInvalidate);
    if (vecChildren.empty())
        return;
    RECT content = GetContentRect();
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* child = vecChildren[static_cast<size_t>(i)];
        if (!child->IsVisible())
            continue;
        if (child->IsFloat())
            PlaceFloatChild(i);
        else
            child->SetPos(content, false);
    }
}

CControlUI* CContainerUI::LookupControl(FindControlProc proc, void* data, UINT flags)
{
    if ((flags & kFind_Visible) != 0 && !IsVisible())
        return nullptr;
    if ((flags & kFind_Enabled) != 0 && !IsEnabled())
        return nullptr;
    const bool hitTest = (flags & kFind_HitTest) != 0;
    if (hitTest) {
        if (data == nullptr || !RectContains(rcItem, *static_cast<POINT*>(data)))
            return nullptr;
        if (!bMouseChildEnabled)
            return CControlUI::LookupControl(proc, data, flags);
    }
    if ((flags & kFind_MeFirst) != 0) {
        if (CControlUI* found = CControlUI::LookupControl(proc, data, flags))
            return found;
    }
    if (!hitTest || RectContains(GetContentRect(), *static_cast<POINT*>(data))) {
        const int count = GetCount();
        for (int n = 0; n < count; ++n) {
            int i = (flags & kFind_TopFirst) != 0 ? count - 1 - n : n;
            if (CControlUI* found = vecChildren[static_cast<size_t>(i)]->LookupControl(proc, data, flags))
                return found;
        }
    }
    if ((flags & kFind_MeFirst) == 0)
        return CControlUI::LookupControl(proc, data, flags);
    return nullptr;
}

void CContainerUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    typedef CContainerUI C;
    typedef const std::wstring& V;
    static const AttributeEntry<CContainerUI> kTable[] = {
        {L"inset", [](C& c, V v) { c.SetInset(ParseLengthRect(v, c.GetDpi())); }, true},
        {L"childpadding", [](C& c, V v) { c.SetChildPadding(ParseLength(v, c.GetDpi())); }, true},
        {L"childalign",
         [](C& c, V v) { c.SetChildAlign(v == L"center" ? kAlign_Center : v == L"right" ? kAlign_Right : kAlign_Left); }},
        {L"childvalign",
         [](C& c, V v) {
             c.SetChildVAlign(v == L"vcenter" ? static_cast<UINT>(DT_VCENTER)
                                              : v == L"bottom" ? static_cast<UINT>(DT_BOTTOM) : static_cast<UINT>(DT_TOP));
         }},
        {L"mousechild", [](C& c, V v) { c.SetMouseChildEnabled(ParseBool(v)); }},
        {L"vscrollbar", [](C& c, V v) { c.EnableScrollBar(ParseBool(v), c.bScrollHorizontal); }},
        {L"hscrollbar", [](C& c, V v) { c.EnableScrollBar(c.bScrollVertical, ParseBool(v)); }},
        {L"vscrollbarstyle", [](C& c, V v) { c.strVScrollStyle = v; }},
        {L"hscrollbarstyle", [](C& c, V v) { c.strHScrollStyle = v; }},
    };
    if (!ApplyAttributeEntry(kTable, *this, name, value))
        CControlUI::SetAttribute(name, value);
}

bool CContainerUI::Paint(HDC hDC, const RECT& rcPaint, CControlUI* stopControl)
{
    if (stopControl == this)
        return false;
    RECT rcClip = RectIntersect(rcPaint, rcItem);
    if (RectEmpty(rcClip))
        return true;
#ifdef _WIN32
    // Children never draw outside the container.
    int saved = SaveDC(hDC);
    IntersectClipRect(hDC, rcClip.left, rcClip.top, rcClip.right, rcClip.bottom);
#endif
    bool goOn = true;
    for (auto& handler : vecPaintHandlers) {
        if (!handler(this, hDC, rcPaint)) {
            goOn = false;
            break;
        }
    }
    if (goOn) {
        PaintContent(hDC, rcPaint);
        for (CControlUI* child : vecChildren) {
            if (!child->IsVisible())
                continue;
            if (!RectsMeet(rcClip, child->GetPos()))
                continue;
            if (!child->Paint(hDC, rcClip, stopControl)) {
                goOn = false;
                break;
            }
        }
    }
#ifdef _WIN32
    RestoreDC(hDC, saved);
#endif
    if (!goOn)
        return stopControl == nullptr;
    if (pCover != nullptr && pCover->IsVisible())
        return pCover->Paint(hDC, rcPaint, stopControl);
    return true;
}

// ------------------------------------------------------------ stack layouts

namespace {

// One stack layout for both axes: "main" is the stacking axis (y for the
// vertical stack), "cross" the other one.
struct StackAxis {
    bool vertical;
    int Main(const SIZE& sz) const { return static_cast<int>(vertical ? sz.cy : sz.cx); }
    int Cross(const SIZE& sz) const { return static_cast<int>(vertical ? sz.cx : sz.cy); }
    int MainLen(const RECT& rc) const { return vertical ? RectHeight(rc) : RectWidth(rc); }
    int CrossLen(const RECT& rc) const { return vertical ? RectWidth(rc) : RectHeight(rc); }
    int MainStart(const RECT& rc) const { return static_cast<int>(vertical ? rc.top : rc.left); }
    int CrossStart(const RECT& rc) const { return static_cast<int>(vertical ? rc.left : rc.top); }
    int CrossEnd(const RECT& rc) const { return static_cast<int>(vertical ? rc.right : rc.bottom); }
    // Padding before / after along each axis.
    int MainBefore(const RECT& pad) const { return static_cast<int>(vertical ? pad.top : pad.left); }
    int MainAfter(const RECT& pad) const { return static_cast<int>(vertical ? pad.bottom : pad.right); }
    int CrossBefore(const RECT& pad) const { return static_cast<int>(vertical ? pad.left : pad.top); }
    int CrossAfter(const RECT& pad) const { return static_cast<int>(vertical ? pad.right : pad.bottom); }
    int FixedMain(const CControlUI* c) const { return vertical ? c->GetFixedHeight() : c->GetFixedWidth(); }
    int FixedCross(const CControlUI* c) const { return vertical ? c->GetFixedWidth() : c->GetFixedHeight(); }
    int MinMain(const CControlUI* c) const { return vertical ? c->GetMinHeight() : c->GetMinWidth(); }
    int MaxMain(const CControlUI* c) const { return vertical ? c->GetMaxHeight() : c->GetMaxWidth(); }
    int MinCross(const CControlUI* c) const { return vertical ? c->GetMinWidth() : c->GetMinHeight(); }
    int MaxCross(const CControlUI* c) const { return vertical ? c->GetMaxWidth() : c->GetMaxHeight(); }
    SIZE Make(int main, int cross) const { return vertical ? MakeSize(cross, main) : MakeSize(main, cross); }
    RECT MakeRc(int mainStart, int crossStart, int main, int cross) const
    {
        return vertical ? MakeRect(crossStart, mainStart, crossStart + cross, mainStart + main)
                        : MakeRect(mainStart, crossStart, mainStart + main, crossStart + cross);
    }
};

int Clamp(int value, int low, int high)
{
    return std::max(std::min(value, high), low);
}

// The size offered to a child's estimate: its fixed extent or its maximum,
// capped by the content (less the child's padding across the axis).
SIZE OfferedSize(const StackAxis& axis, CControlUI* child, const RECT& content, int mainFree)
{
    RECT pad = child->GetPadding();
    int cross = axis.FixedCross(child) != 0 ? axis.FixedCross(child) : axis.MaxCross(child);
    cross = std::min(cross, axis.CrossLen(content) - axis.CrossBefore(pad) - axis.CrossAfter(pad));
    int main = axis.FixedMain(child) != 0 ? axis.FixedMain(child) : axis.MaxMain(child);
    main = std::min(main, mainFree);
    return axis.Make(main, cross);
}

} // namespace

// Lays the children out along one axis in two passes: first the fixed
// extents and the stretch count, then the placement, where stretch children
// share what is left and the last one takes the remainder of the integer
// division.
static void LayoutStack(CContainerUI& box, const std::vector<CControlUI*>& children, const RECT& content,
                        int childPadding, int crossAlign, const StackAxis& axis)
{
    // Sums over many children are made in 64 bits; every single value is
    // within kMaxCoordinate.
    const long long available = axis.MainLen(content);
    struct Slot {
        bool counted = false;
        bool stretch = false;
    };
    std::vector<Slot> slots(children.size());

    // Pass 1: fixed extents, paddings and stretch children.
    long long stretchCount = 0;
    long long fixedSum = 0;
    long long counted = 0;
    for (size_t i = 0; i < children.size(); ++i) {
        CControlUI* child = children[i];
        if (!child->IsVisible() || child->IsFloat())
            continue;
        RECT pad = child->GetPadding();
        SIZE estimate = child->MeasureSize(OfferedSize(axis, child, content, ClampCoordinate(available)));
        if (axis.Main(estimate) == 0) {
            slots[i].stretch = true;
            ++stretchCount;
        } else {
            fixedSum += Clamp(axis.Main(estimate), axis.MinMain(child), axis.MaxMain(child));
        }
        fixedSum += static_cast<long long>(axis.MainBefore(pad)) + axis.MainAfter(pad);
        slots[i].counted = true;
        ++counted;
    }
    if (counted > 1)
        fixedSum += (counted - 1) * childPadding;
    const long long share = stretchCount > 0 ? std::max(0LL, (available - fixedSum) / stretchCount) : 0;

    // Pass 2: placement in child order.
    long long pos = axis.MainStart(content);
    long long stretchSeen = 0;
    for (size_t i = 0; i < children.size(); ++i) {
        CControlUI* child = children[i];
        if (!child->IsVisible())
            continue;
        if (child->IsFloat()) {
            box.PlaceFloatChild(static_cast<int>(i));
            continue;
        }
        if (!slots[i].counted)
            continue;
        RECT pad = child->GetPadding();
        pos += axis.MainBefore(pad);
        const long long mainFree = std::max(0LL, axis.MainStart(content) + available - pos);
        SIZE estimate = child->MeasureSize(OfferedSize(axis, child, content, ClampCoordinate(mainFree)));
        long long mainLong;
        if (slots[i].stretch) {
            ++stretchSeen;
            mainLong = share;
            if (stretchSeen == stretchCount)
                mainLong = std::max(0LL, available - fixedSum - share * (stretchCount - 1));
        } else {
            mainLong = axis.Main(estimate);
        }
        const int main = Clamp(ClampCoordinate(mainLong), axis.MinMain(child), axis.MaxMain(child));

        // Across the axis the estimate plays no part.
        int cross = axis.FixedCross(child) != 0 ? axis.FixedCross(child) : axis.MaxCross(child);
        cross = std::min(cross, axis.CrossLen(content) - axis.CrossBefore(pad) - axis.CrossAfter(pad));
        cross = std::max(cross, axis.MinCross(child));
        int crossStart;
        if (crossAlign == kAlign_Center) {
            int centre = (axis.CrossStart(content) + axis.CrossEnd(content)) / 2;
            crossStart = centre - cross / 2;
        } else if (crossAlign == kAlign_Right) {
            crossStart = axis.CrossEnd(content) - axis.CrossAfter(pad) - cross;
        } else {
            crossStart = axis.CrossStart(content) + axis.CrossBefore(pad);
        }
        child->SetPos(axis.MakeRc(ClampCoordinate(pos), crossStart, main, cross), false);
        pos += static_cast<long long>(main) + axis.MainAfter(pad) + childPadding;
    }
}

std::wstring CVerticalLayoutUI::GetClass() const { return L"VerticalLayout"; }

CControlUI* CVerticalLayoutUI::QueryControlInterface(const std::wstring& name)
{
    return name == L"VerticalLayout" ? this : CContainerUI::QueryControlInterface(name);
}

void CVerticalLayoutUI::SetPos(RECT rc, bool needInvalidate)
{
    CControlUI::SetPos(rc, needInvalidate);
    RECT content = GetContentRect();
    if (!vecChildren.empty())
        LayoutStack(*this, vecChildren, content, nChildPadding, nChildAlign, StackAxis{true});
    PlaceScrollBars(content, 0, 0);
}

std::wstring CHorizontalLayoutUI::GetClass() const { return L"HorizontalLayout"; }

CControlUI* CHorizontalLayoutUI::QueryControlInterface(const std::wstring& name)
{
    return name == L"HorizontalLayout" ? this : CContainerUI::QueryControlInterface(name);
}

void CHorizontalLayoutUI::SetPos(RECT rc, bool needInvalidate)
{
    CControlUI::SetPos(rc, needInvalidate);
    RECT content = GetContentRect();
    int align = uChildVAlign == DT_VCENTER ? kAlign_Center : uChildVAlign == DT_BOTTOM ? kAlign_Right : kAlign_Left;
    if (!vecChildren.empty())
        LayoutStack(*this, vecChildren, content, nChildPadding, align, StackAxis{false});
    PlaceScrollBars(content, 0, 0);
}

// --------------------------------------------------------------- tab layout

std::wstring CTabLayoutUI::GetClass() const { return L"TabLayout"; }

CControlUI* CTabLayoutUI::QueryControlInterface(const std::wstring& name)
{
    return name == L"TabLayout" ? this : CContainerUI::QueryControlInterface(name);
}

bool CTabLayoutUI::Add(CControlUI* control)
{
    if (!CContainerUI::Add(control))
        return false;
    // The page's own flag decides, so pages added to a hidden tab layout
    // still get a selected page.
    if (nSelected == -1 && control->IsVisibleSelf())
        nSelected = IndexOfChild(control);
    else
        control->SetVisible(false);
    return true;
}

bool CTabLayoutUI::AddAt(CControlUI* control, int index)
{
    if (!CContainerUI::AddAt(control, index))
        return false;
    if (nSelected == -1 && control->IsVisibleSelf()) {
        nSelected = index;
    } else {
        if (nSelected >= index)
            ++nSelected;
        control->SetVisible(false);
    }
    return true;
}

bool CTabLayoutUI::Remove(CControlUI* control)
{
    int index = IndexOfChild(control);
    if (!CContainerUI::Remove(control))
        return false;
    if (index == nSelected) {
        nSelected = -1;
        if (GetCount() > 0)
            SelectPage(0);
    } else if (index < nSelected) {
        --nSelected;
    }
    return true;
}

void CTabLayoutUI::RemoveAll()
{
    nSelected = -1;
    CContainerUI::RemoveAll();
}

bool CTabLayoutUI::SelectPage(int index)
{
    if (index < 0 || index >= GetCount())
        return false;
    if (index == nSelected)
        return true;
    int old = nSelected;
    nSelected = index;
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* page = vecChildren[static_cast<size_t>(i)];
        if (i == index) {
            page->SetVisible(true);
            page->SetFocus();
        } else {
            page->SetVisible(false);
        }
    }
    NeedParentUpdate();
    if (pHost != nullptr) {
        pHost->SetNextTabStop();
        pHost->EmitNotify(this, L"tabselect", static_cast<WPARAM>(nSelected), static_cast<LPARAM>(old));
    }
    return true;
}

bool CTabLayoutUI::SelectPage(CControlUI* page)
{
    return SelectPage(IndexOfChild(page));
}

void CTabLayoutUI::SetPos(RECT rc, bool needInvalidate)
{
    CControlUI::SetPos(rc, needInvalidate);
    RECT content = GetContentRect();
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* child = vecChildren[static_cast<size_t>(i)];
        if (!child->IsVisible())
            continue;
        if (child->IsFloat()) {
            PlaceFloatChild(i);
            continue;
        }
        if (i != nSelected)
            continue;
        RECT pad = child->GetPadding();
        RECT area = MakeRect(content.left + pad.left, content.top + pad.top, content.right - pad.right,
                             content.bottom - pad.bottom);
        SIZE estimate = child->MeasureSize(MakeSize(RectWidth(area), RectHeight(area)));
        int cx = estimate.cx != 0 ? static_cast<int>(estimate.cx) : RectWidth(area);
        int cy = estimate.cy != 0 ? static_cast<int>(estimate.cy) : RectHeight(area);
        cx = Clamp(cx, child->GetMinWidth(), child->GetMaxWidth());
        cy = Clamp(cy, child->GetMinHeight(), child->GetMaxHeight());
        child->SetPos(MakeRect(area.left, area.top, area.left + cx, area.top + cy), false);
    }
}

void CTabLayoutUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    if (name == L"selectedid")
        SelectPage(ParseInt(value));
    else
        CContainerUI::SetAttribute(name, value);
}

} // namespace SkinUI
