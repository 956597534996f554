// CControlUI, the base of every skin element: a rectangle with a name, text,
// colours, images, border, size constraints and state. It reads its settings
// from skin attributes (one table), receives events from its host, and paints
// itself in a fixed order. A control owns its cover; its host and parent are
// borrowed.
//
// Classes in this file: CControlUI.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "skinui/HostUI.h"
#include "skinui/SkinValues.h"
#include "skinui/UIDefs.h"

#ifdef _WIN32
#include "skinui/SkinRenderer.h"
#endif

namespace SkinUI {

// One image attribute of a control: its text and, on Windows, the draw
// record that keeps the parsed form and the resolved image. Setting the
// text again (even the same text) makes the next draw try anew.
class CImageSlot {
public:
    void Set(const std::wstring& text)
    {
        strText = text;
#ifdef _WIN32
        record.SetText(text);
#endif
    }
    const std::wstring& Text() const { return strText; }
    bool Empty() const { return strText.empty(); }
#ifdef _WIN32
    CImageDrawRecord& Record() { return record; }
#endif

private:
    std::wstring strText;
#ifdef _WIN32
    CImageDrawRecord record;
#endif
};

// One row of a control's attribute table: the attribute name (compared
// exactly), the setter it maps to, and whether its value holds lengths (read
// with the length readers of SkinValues.h at the control's DPI).
template <typename T>
struct AttributeEntry {
    const wchar_t* name;
    void (*apply)(T& control, const std::wstring& value);
    bool length = false;
};

// Applies `name` through the table; false when the table does not know it.
// A length attribute is remembered with its text, so a new display scale
// can apply it again (CControlUI::ApplyDpi).
template <typename T, size_t N>
bool ApplyAttributeEntry(const AttributeEntry<T> (&table)[N], T& control, const std::wstring& name,
                         const std::wstring& value)
{
    for (const AttributeEntry<T>& entry : table) {
        if (name == entry.name) {
            entry.apply(control, value);
            if (entry.length)
                control.RememberLengthAttribute(name, value);
            return true;
        }
    }
    return false;
}

class CControlUI {
public:
    typedef std::function<bool(ControlEvent&)> EventHandler;   // false vetoes
    typedef std::function<void(CControlUI*)> InitHandler;
    typedef std::function<bool(CControlUI*, HDC, const RECT&)> PaintHandler;   // false vetoes
    typedef std::function<void(NotifyMsg&)> NotifyHandler;

    CControlUI();

    virtual void Delete();
    virtual ~CControlUI();

    virtual std::wstring GetName() const;
    virtual void SetName(const std::wstring& name);
    virtual std::wstring GetClass() const;
    virtual CControlUI* QueryControlInterface(const std::wstring& name);
    virtual UINT ControlFlags() const;
    virtual HWND GetNativeHandle() const;
    virtual bool Activate();
    virtual IControlHostUI* GetHost() const;
    virtual void SetHost(IControlHostUI* host, CControlUI* parent, bool init = true);
    virtual CControlUI* GetParent() const;
    virtual CControlUI* GetOverlay() const;
    virtual bool SetOverlay(CControlUI* cover);
    virtual std::wstring GetText() const;
    virtual void SetText(const std::wstring& text);

    virtual const RECT& GetPos() const;
    virtual RECT GetPosInParent() const;         // item rectangle relative to the parent's
    virtual RECT GetContentRect() const;         // item rectangle minus any inner margin
    virtual void SetPos(RECT rc, bool needInvalidate = true);
    virtual void Move(SIZE offset, bool needInvalidate = true);
    virtual int GetWidth() const;
    virtual int GetHeight() const;
    virtual int GetX() const;
    virtual int GetY() const;
    virtual RECT GetPadding() const;
    virtual void SetPadding(RECT padding);
    virtual SIZE GetFloatOffset() const;         // fixed x, y
    virtual void SetFloatOffset(SIZE offset);
    virtual RECT GetFloatAnchor(double fractions[4]) const;
    virtual void SetFloatAnchor(const double fractions[4]);
    virtual int GetFixedWidth() const;
    virtual void SetFixedWidth(int cx);
    virtual int GetFixedHeight() const;
    virtual void SetFixedHeight(int cy);
    virtual int GetMinWidth() const;
    virtual void SetMinWidth(int cx);
    virtual int GetMaxWidth() const;
    virtual void SetMaxWidth(int cx);
    virtual int GetMinHeight() const;
    virtual void SetMinHeight(int cy);
    virtual int GetMaxHeight() const;
    virtual void SetMaxHeight(int cy);
    virtual std::wstring GetToolTip() const;
    virtual void SetToolTip(const std::wstring& text);
    virtual void SetToolTipWidth(int width);
    virtual int GetToolTipWidth() const;
    virtual wchar_t GetShortcut() const;
    virtual void SetShortcut(wchar_t ch);
    virtual bool WantsContextMenu() const;
    virtual void SetWantsContextMenu(bool menu);
    virtual std::wstring GetUserData() const;
    virtual void SetUserData(const std::wstring& text);
    virtual uintptr_t GetTag() const;
    virtual void SetTag(uintptr_t tag);
    virtual bool IsVisible() const;
    virtual void SetVisible(bool visible = true);
    virtual void SetVisibleByParent(bool visible);
    virtual bool IsEnabled() const;
    virtual void SetEnabled(bool enabled = true);
    virtual bool IsMouseEnabled() const;
    virtual void SetMouseEnabled(bool enabled = true);
    virtual bool IsKeyboardEnabled() const;
    virtual void SetKeyboardEnabled(bool enabled = true);
    virtual bool IsFocused() const;
    virtual void SetFocus();
    virtual bool IsFloat() const;
    virtual void SetFloat(bool isFloat = true);
    virtual CControlUI* LookupControl(FindControlProc proc, void* data, UINT flags);

    virtual void Init();
    virtual void OnInit();
    virtual void Event(ControlEvent& event);
    virtual void HandleEvent(ControlEvent& event);
    virtual std::wstring CustomAttribute(const std::wstring& name) const;
    virtual void SetAttribute(const std::wstring& name, const std::wstring& value);
    virtual void CustomAttribute(const std::wstring& name, const std::wstring& value);
    virtual void ApplyAttributeText(const std::wstring& list);
    virtual SIZE MeasureSize(SIZE available);

    virtual bool Paint(HDC hDC, const RECT& rcPaint, CControlUI* stopControl = nullptr);
    virtual void PaintContent(HDC hDC, const RECT& rcPaint);
    virtual void PaintBackColor(HDC hDC, const RECT& rcPaint);
    virtual void PaintBackImage(HDC hDC, const RECT& rcPaint);
    virtual void PaintStateImage(HDC hDC, const RECT& rcPaint);
    virtual void PaintText(HDC hDC, const RECT& rcPaint);
    virtual void PaintBorder(HDC hDC, const RECT& rcPaint);
    virtual void PaintAfter(HDC hDC, const RECT& rcPaint);

    // Display scale. The skin's lengths are read at the host's DPI (96
    // without a host). The length attributes a control was given (by the
    // skin or by SetAttribute) are remembered as written; ApplyDpi applies
    // them again at the host's current DPI, after the host's scale changed,
    // and drops what was measured with the old fonts. Lengths set through
    // the setters are pixels and stay as they are.
    int GetDpi() const { return pHost != nullptr ? pHost->Dpi() : kBaseDpi; }
    void ApplyDpi();
    void RememberLengthAttribute(const std::wstring& name, const std::wstring& value);

    // Non-virtual helpers.
    void Invalidate();
    bool IsUpdateNeeded() const { return bUpdateNeeded; }
    bool IsVisibleSelf() const { return bVisible; }   // ignoring the parents
    void NeedUpdate();
    void NeedParentUpdate();
    void AddEventHandler(EventHandler handler) { vecEventHandlers.push_back(std::move(handler)); }
    void AddInitHandler(InitHandler handler) { vecInitHandlers.push_back(std::move(handler)); }
    void AddPaintHandler(PaintHandler handler) { vecPaintHandlers.push_back(std::move(handler)); }
    // Handlers of the notifications this control sends; the host runs them,
    // in the order added, before its own listeners hear of the notification.
    void AddNotifyHandler(NotifyHandler handler) { vecNotifyHandlers.push_back(std::move(handler)); }
    void RunNotifyHandlers(NotifyMsg& msg);

    DWORD GetBkColor() const { return dwBackColor; }
    void SetBkColor(DWORD color);
    DWORD GetBkColor2() const { return dwBackColor2; }
    void SetBkColor2(DWORD color);
    DWORD GetBkColor3() const { return dwBackColor3; }
    void SetBkColor3(DWORD color);
    DWORD GetBorderColor() const { return dwBorderColor; }
    void SetBorderColor(DWORD color);
    DWORD GetFocusBorderColor() const { return dwFocusBorderColor; }
    void SetFocusBorderColor(DWORD color);
    RECT GetBorderSize() const { return rcBorderSize; }
    void SetBorderSize(RECT sizes);
    void SetBorderSize(int size);
    int GetBorderStyle() const { return nBorderStyle; }
    void SetBorderStyle(int style);
    SIZE GetBorderRound() const { return cxyBorderRound; }
    void SetBorderRound(SIZE round);
    std::wstring GetBkImage() const { return imgBk.Text(); }
    void SetBkImage(const std::wstring& image);
    // SetBkImage, and the image it replaces leaves the window's own image
    // cache: a control that turns through images keeps one of them decoded.
    // (Another control that draws the old image loads it again.)
    void ReplaceBkImage(const std::wstring& image);
    bool IsColorHSL() const { return bColorHSL; }
    void SetColorHSL(bool hsl);
    std::wstring GetVirtualWnd() const { return strVirtualWnd; }
    void SetVirtualWnd(const std::wstring& name);

protected:
    // The visibility changed: what is drawn with this control (its cover;
    // a container's children) follows it.
    virtual void PassVisibilityOn();
    // Draws one image into rc (the item rectangle unless given), limited to
    // the paint rectangle. False when there is no image.
    bool DrawImage(HDC hDC, CImageSlot& image, const RECT& rcPaint);
    bool DrawImage(HDC hDC, CImageSlot& image, const RECT& rcPaint, const RECT& rc);
    // The paint in the system's colours (high-contrast mode), in place of
    // the skin's colours and images (SystemColorPaint.cpp).
    void PaintSystemColors(HDC hDC, const RECT& rcPaint);
    // A fixed, minimum or maximum size changed; a control that caches a size
    // estimate drops it here.
    virtual void SizeConstraintsChanged() {}
    // The display scale changed (ApplyDpi): what was measured or made with
    // the old fonts goes. The base drops the size estimate.
    virtual void OnDpiChanged() { SizeConstraintsChanged(); }
    // The applies-to-every-control part of SetAttribute; false when the name
    // is not one of the base attributes.
    bool ApplyBaseAttribute(const std::wstring& name, const std::wstring& value);

    // Set by the host when bound.
    IControlHostUI* pHost = nullptr;
    CControlUI* pParent = nullptr;
    CControlUI* pCover = nullptr;   // owned

    std::wstring strName;
    std::wstring strText;
    std::wstring strToolTip;
    int nTooltipWidth = 300;
    std::wstring strUserData;
    uintptr_t nTag = 0;
    wchar_t chShortcut = 0;
    bool bMenuUsed = false;

    // Geometry: the item rectangle is set by the parent's layout.
    RECT rcItem = {0, 0, 0, 0};
    RECT rcPadding = {0, 0, 0, 0};
    SIZE cXY = {0, 0};
    SIZE cxyFixed = {0, 0};
    SIZE cxyMin = {0, 0};
    SIZE cxyMax = {9999, 9999};
    bool bFloat = false;
    double floatPercent[4] = {0, 0, 0, 0};

    bool bVisible = true;
    bool bInternVisible = true;
    bool bEnabled = true;
    bool bMouseEnabled = true;
    bool bKeyboardEnabled = true;
    bool bFocused = false;
    bool bUpdateNeeded = true;

    DWORD dwBackColor = 0;
    DWORD dwSystemTextColor = 0;   // set only during PaintSystemColors: every text takes it
    DWORD dwBackColor2 = 0;
    DWORD dwBackColor3 = 0;
    DWORD dwBorderColor = 0;
    DWORD dwFocusBorderColor = 0;
    RECT rcBorderSize = {0, 0, 0, 0};
    int nBorderStyle = PS_SOLID;
    SIZE cxyBorderRound = {0, 0};
    CImageSlot imgBk;
    bool bColorHSL = false;
    std::wstring strVirtualWnd;
    std::map<std::wstring, std::wstring> mapCustomAttributes;
    // Length attributes as written, in the order they were last applied.
    std::vector<std::pair<std::wstring, std::wstring>> vecLengthAttributes;

    std::vector<EventHandler> vecEventHandlers;
    std::vector<InitHandler> vecInitHandlers;
    std::vector<PaintHandler> vecPaintHandlers;
    std::vector<NotifyHandler> vecNotifyHandlers;

private:
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;
};

} // namespace SkinUI
