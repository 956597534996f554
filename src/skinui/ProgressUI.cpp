// The progress bar: range normalisation and the fore image's destination.
#include "skinui/ProgressUI.h"

#include <algorithm>
#include <climits>

namespace SkinUI {

CProgressUI::CProgressUI()
{
    uTextStyle = DT_SINGLELINE | DT_CENTER;
    cxyFixed.cy = 12;
}

std::wstring CProgressUI::GetClass() const { return L"Progress"; }

CControlUI* CProgressUI::QueryControlInterface(const std::wstring& name)
{
    return name == L"Progress" ? this : CLabelUI::QueryControlInterface(name);
}

void CProgressUI::SetHorizontal(bool horizontal)
{
    bHorizontal = horizontal;
    Invalidate();
}

void CProgressUI::SetMinValue(int value)
{
    nMin = value;
    Invalidate();
}

void CProgressUI::SetMaxValue(int value)
{
    nMax = value;
    Invalidate();
}

void CProgressUI::SetValue(int value)
{
    if (nValue == value)
        return;
    nValue = value;
    Invalidate();
    if (pHost != nullptr)
        pHost->NotifyAccessibility(this, AccessEvent::ValueChange);
}

void CProgressUI::SetForeImage(const std::wstring& image)
{
    imgFore.Set(image);
    Invalidate();
}

void CProgressUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    typedef CProgressUI P;
    typedef const std::wstring& V;
    static const AttributeEntry<CProgressUI> kTable[] = {
        {L"hor", [](P& c, V v) { c.SetHorizontal(ParseBool(v)); }},
        {L"min", [](P& c, V v) { c.SetMinValue(ParseInt(v)); }},
        {L"max", [](P& c, V v) { c.SetMaxValue(ParseInt(v)); }},
        {L"value", [](P& c, V v) { c.SetValue(ParseInt(v)); }},
        {L"foreimage", [](P& c, V v) { c.SetForeImage(v); }},
    };
    if (!ApplyAttributeEntry(kTable, *this, name, value))
        CLabelUI::SetAttribute(name, value);
}

RECT CProgressUI::ForeDestination()
{
    if (nMin >= nMax)
        nMax = nMin == INT_MAX ? INT_MAX : nMin + 1;
    if (nMin == nMax)   // only for a minimum of INT_MAX
        --nMin;
    nValue = std::max(nMin, std::min(nValue, nMax));
    // 64-bit products: a wide range times the width must not overflow.
    const long long range = static_cast<long long>(nMax) - nMin;
    const long long width = RectWidth(rcItem);
    const long long height = RectHeight(rcItem);
    if (bHorizontal) {
        long long right = width * (static_cast<long long>(nValue) - nMin) / range;
        return MakeRect(0, 0, static_cast<int>(right), static_cast<int>(height));
    }
    long long top = height * (static_cast<long long>(nMax) - nValue) / range;
    return MakeRect(0, static_cast<int>(top), static_cast<int>(width), static_cast<int>(height));
}

void CProgressUI::PaintStateImage(HDC hDC, const RECT& rcPaint)
{
    RECT dest = ForeDestination();
    if (RectEmpty(dest) || imgFore.Empty())
        return;
    RECT rc = MakeRect(static_cast<int>(rcItem.left + dest.left), static_cast<int>(rcItem.top + dest.top),
                       static_cast<int>(rcItem.left + dest.right), static_cast<int>(rcItem.top + dest.bottom));
    DrawImage(hDC, imgFore, rcPaint, rc);
}

} // namespace SkinUI
