// Buttons and selectable buttons. CButtonUI draws a state image (normal,
// hot, pushed, focused, disabled; optional fading between normal and hot)
// and sends "click" when released over itself. COptionUI adds a selected
// state, optionally shared with an option group of the host ("selectchanged").
// CCheckBoxUI is an option with its own class name.
//
// Classes in this file: CButtonUI, COptionUI, CCheckBoxUI.
#pragma once

#include "skinui/LabelUI.h"

namespace SkinUI {

class CButtonUI : public CLabelUI {
public:
    enum { kFadeTimerId = 11, kFadeTimerElapse = 30 };

    CButtonUI();

    std::wstring GetClass() const override;
    CControlUI* QueryControlInterface(const std::wstring& name) override;
    UINT ControlFlags() const override;
    bool Activate() override;
    void SetEnabled(bool enabled = true) override;
    void HandleEvent(ControlEvent& event) override;
    void SetAttribute(const std::wstring& name, const std::wstring& value) override;
    SIZE MeasureSize(SIZE available) override;
    void PaintStateImage(HDC hDC, const RECT& rcPaint) override;
    void PaintText(HDC hDC, const RECT& rcPaint) override;

    UINT GetButtonState() const { return uButtonState; }
    int GetFadeAlpha() const { return nFadeAlpha; }
    void SetFadeDelta(int delta) { nFadeDelta = delta; }
    std::wstring GetNormalImage() const { return imgNormal.Text(); }
    void SetNormalImage(const std::wstring& image);
    void SetHotImage(const std::wstring& image);
    void SetPushedImage(const std::wstring& image);
    void SetFocusedImage(const std::wstring& image);
    void SetDisabledImage(const std::wstring& image);
    void SetForeImage(const std::wstring& image);
    void SetHotForeImage(const std::wstring& image);
    void SetHotBkColor(DWORD color);
    void SetHotTextColor(DWORD color) { dwHotTextColor = color; }
    void SetPushedTextColor(DWORD color) { dwPushedTextColor = color; }
    void SetFocusedTextColor(DWORD color) { dwFocusedTextColor = color; }

protected:
    // The text colour for the current state (before option overrides).
    DWORD StateTextColor();
    // Draws `image` at the fade alpha (0-255) by way of a fade variant.
    bool DrawFaded(HDC hDC, CImageSlot& image, const RECT& rcPaint, int alpha);

    UINT uButtonState = 0;
    CImageSlot imgNormal;
    CImageSlot imgHot;
    CImageSlot imgPushed;
    CImageSlot imgFocused;
    CImageSlot imgDisabled;
    CImageSlot imgFore;
    CImageSlot imgHotFore;
    CImageSlot imgPushedFore;
    CImageSlot imgFiveStatus;
    CImageSlot imgFadeNormal;   // normal and hot images at the fade alpha
    CImageSlot imgFadeHot;
    int nFadeDelta = 0;         // 0: no fading
    int nFadeAlpha = 255;
    DWORD dwHotBkColor = 0;
    DWORD dwHotTextColor = 0;
    DWORD dwPushedTextColor = 0;
    DWORD dwFocusedTextColor = 0;
};

class COptionUI : public CButtonUI {
public:
    ~COptionUI() override;

    std::wstring GetClass() const override;
    CControlUI* QueryControlInterface(const std::wstring& name) override;
    void SetHost(IControlHostUI* host, CControlUI* parent, bool init = true) override;
    bool Activate() override;
    void SetAttribute(const std::wstring& name, const std::wstring& value) override;
    void PaintStateImage(HDC hDC, const RECT& rcPaint) override;
    void PaintText(HDC hDC, const RECT& rcPaint) override;

    std::wstring GetGroup() const { return strGroup; }
    // Moves the option from its previous group of the host to this one.
    void SetGroup(const std::wstring& group);
    bool IsSelected() const { return bSelected; }
    // No change: nothing. Selecting a grouped option deselects the others;
    // with notify, every option that changed sends "selectchanged".
    void SetSelected(bool selected, bool notify = true);
    void SetSelectedImage(const std::wstring& image);
    void SetSelectedHotImage(const std::wstring& image);
    void SetSelectedBkColor(DWORD color);
    void SetSelectedTextColor(DWORD color) { dwSelectedTextColor = color; }

private:
    std::wstring strGroup;
    bool bSelected = false;
    CImageSlot imgSelected;
    CImageSlot imgSelectedHot;
    CImageSlot imgOptionFore;
    DWORD dwSelectedBkColor = 0;
    DWORD dwSelectedTextColor = 0;
};

class CCheckBoxUI : public COptionUI {
public:
    std::wstring GetClass() const override;
    CControlUI* QueryControlInterface(const std::wstring& name) override;
};

} // namespace SkinUI
