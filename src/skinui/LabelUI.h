// Text controls. CLabelUI draws a text (plain or markup) in its rectangle
// with its font, colours and DrawText style, and estimates its size from
// the text. CTextUI adds the links of a markup text: up to eight link
// rectangles found by the last paint, a "link" notification on click.
//
// Classes in this file: CLabelUI, CTextUI.
#pragma once

#include "skinui/ControlUI.h"

namespace SkinUI {

class CLabelUI : public CControlUI {
public:
    CLabelUI();

    std::wstring GetClass() const override;
    CControlUI* QueryControlInterface(const std::wstring& name) override;
    void SetText(const std::wstring& text) override;
    void SetAttribute(const std::wstring& name, const std::wstring& value) override;
    SIZE MeasureSize(SIZE available) override;
    void PaintText(HDC hDC, const RECT& rcPaint) override;

    int GetFont() const { return nFontId; }
    void SetFont(int id);
    DWORD GetTextColor() const { return dwTextColor; }
    void SetTextColor(DWORD color);
    DWORD GetDisabledTextColor() const { return dwDisabledTextColor; }
    void SetDisabledTextColor(DWORD color);
    UINT GetTextStyle() const { return uTextStyle; }
    void SetTextStyle(UINT style);
    RECT GetTextPadding() const { return rcTextPadding; }
    void SetTextPadding(RECT padding);
    bool IsShowHtml() const { return bShowHtml; }
    void SetShowHtml(bool show = true);
    bool IsEffectEnabled() const { return bEnableEffect; }
    // Whether `text` fits on one line of the text rectangle, measured as the
    // paint draws it (true without a host: there is nothing to measure).
    bool FitsOnOneLine(const std::wstring& text) const;

protected:
    // The text rectangle: the item rectangle minus the text padding.
    RECT TextRect() const;
    // Takes the host's default colours for the ones the skin left at 0.
    void ResolveDefaultColors();
    // Draws the text in `color` (plain or markup; with links when given).
    void DrawTextIn(HDC hDC, DWORD color, RECT* links = nullptr, std::wstring* linkTexts = nullptr,
                    int* linkCount = nullptr);
    // The estimate changes with the text, the font and the style.
    void TextSettingsChanged();
    // For a control with the mouse switched off: hands a mouse event on to
    // the parent (or to the label's handling without one). True when it did.
    bool PassMouseEventOn(ControlEvent& event);
    // One line of text: the fixed size when a height is set, else the fixed
    // width by the font height plus 8 (at 96 DPI; scaled like the skin).
    SIZE MeasureTextLine();
    // Sets the kState_Focused and kState_Disabled bits of `state` from the
    // control.
    void SyncStateFlags(UINT& state) const;
    // The hot look of buttons, edit boxes and texts, for mouse enter and
    // leave events (None for any other event). Entering the enabled control
    // is Enter. A leave while the point is still inside (the mouse went to a
    // native child window or a cover over the control) is Deferred: the
    // control joins the host's mouse-leave list and hears the leave again
    // when the mouse really goes; any other leave is Leave and takes the
    // control off that list. With `state`, Enter sets and Leave clears its
    // kState_Hot bit, and the control repaints.
    enum class HoverStep { None, Enter, Leave, Deferred };
    HoverStep TrackHover(const ControlEvent& event, UINT* state = nullptr);
    // The size estimate is out of date (see MeasureSize).
    void SizeConstraintsChanged() override;

    int nFontId = -1;
    DWORD dwTextColor = 0;
    DWORD dwDisabledTextColor = 0;
    UINT uTextStyle = DT_VCENTER | DT_SINGLELINE;
    RECT rcTextPadding = {0, 0, 0, 0};
    bool bShowHtml = false;

    // Text effects: parsed and stored only.
    bool bEnableEffect = false;
    bool bEnableLuminous = false;
    float fLuminousFuzzy = 3.0f;
    int nGradientAngle = 0;
    bool bEnableStroke = false;
    bool bEnableShadow = false;
    int nGradientLength = 0;
    SIZE szShadowOffset = {0, 0};
    DWORD dwTextColor1 = 0;
    DWORD dwTextShadowColorA = 0;
    DWORD dwTextShadowColorB = 0;
    DWORD dwStrokeColor = 0;

    // Estimate cache.
    bool bEstimateValid = false;
    SIZE szEstimateFor = {0, 0};
    SIZE szEstimate = {0, 0};
};

class CTextUI : public CLabelUI {
public:
    enum { kMaxLinks = 8 };

    std::wstring GetClass() const override;
    CControlUI* QueryControlInterface(const std::wstring& name) override;
    void HandleEvent(ControlEvent& event) override;
    void PaintText(HDC hDC, const RECT& rcPaint) override;

    int GetLinkCount() const { return nLinks; }
    std::wstring GetLinkText(int index) const;
    RECT GetLinkRect(int index) const;
    int GetHoverLink() const { return nHoverLink; }

private:
    int LinkAt(POINT pt) const;

    RECT rcLinks[kMaxLinks] = {};
    std::wstring strLinks[kMaxLinks];
    int nLinks = 0;          // found by the last paint
    int nHoverLink = -1;
};

} // namespace SkinUI
