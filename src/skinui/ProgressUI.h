// CProgressUI: a bar that draws the part of its fore image that matches the
// value between minimum and maximum (horizontally from the left, vertically
// from the bottom), over the background colour and border of CControlUI.
//
// Classes in this file: CProgressUI.
#pragma once

#include "skinui/LabelUI.h"

namespace SkinUI {

class CProgressUI : public CLabelUI {
public:
    CProgressUI();

    std::wstring GetClass() const override;
    CControlUI* QueryControlInterface(const std::wstring& name) override;
    void SetAttribute(const std::wstring& name, const std::wstring& value) override;
    void PaintStateImage(HDC hDC, const RECT& rcPaint) override;

    bool IsHorizontal() const { return bHorizontal; }
    void SetHorizontal(bool horizontal = true);
    int GetMinValue() const { return nMin; }
    void SetMinValue(int value);
    int GetMaxValue() const { return nMax; }
    void SetMaxValue(int value);
    int GetValue() const { return nValue; }
    void SetValue(int value);
    std::wstring GetForeImage() const { return imgFore.Text(); }
    void SetForeImage(const std::wstring& image);

    // Normalises the range (a minimum not below the maximum makes the
    // maximum minimum + 1; the value is clamped into the range) and returns
    // the fore image's destination relative to the item rectangle.
    RECT ForeDestination();

private:
    bool bHorizontal = true;
    int nMin = 0;
    int nMax = 100;
    int nValue = 0;
    CImageSlot imgFore;
};

} // namespace SkinUI
