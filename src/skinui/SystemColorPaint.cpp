// The paint of every control in high-contrast mode, in one place: the same
// order as the skin's paint (background, images, text, frame), with the
// system's colours in place of the skin's, and no image behind a text.
//
//   window and layouts   COLOR_WINDOW where the skin paints a background;
//                        a line (3 pixels or thinner) and a skin border in
//                        COLOR_WINDOWTEXT
//   text                 COLOR_WINDOWTEXT, disabled COLOR_GRAYTEXT; a link
//                        button (accrole="link") and the links of markup
//                        text COLOR_HOTLIGHT (CSkinResources)
//   push button          COLOR_BTNFACE / COLOR_BTNTEXT, COLOR_HIGHLIGHT /
//                        COLOR_HIGHLIGHTTEXT when hot, pressed or focused,
//                        a 1-pixel COLOR_WINDOWTEXT frame; its images only
//                        when it has no text (a glyph button)
//   check box            its tick images beside the text, text as above
//   progress bar         the done part COLOR_HIGHLIGHT on COLOR_WINDOW, framed
//   picture              (an image and no text: banner, logo) drawn as it
//                        is, framed in COLOR_WINDOWTEXT; one with see-through
//                        parts on a plate of the skin's background under it
//                        (a dark logo would vanish on a black COLOR_WINDOW)
#ifdef _WIN32

#include "skinui/ButtonUI.h"
#include "skinui/ControlUI.h"
#include "skinui/ProgressUI.h"
#include "skinui/SkinRenderer.h"

namespace SkinUI {

namespace {

DWORD Sys(int index) { return CSkinResources::SystemColor(index); }

// The opaque colour the skin paints under a control: its own background or
// the nearest ancestor's; white when none has one.
DWORD SkinBackground(const CControlUI* control)
{
    for (; control != nullptr; control = control->GetParent()) {
        if ((control->GetBkColor() >> 24) == 0xFF)
            return control->GetBkColor();
    }
    return 0xFFFFFFFF;
}

} // namespace

void CControlUI::PaintSystemColors(HDC hDC, const RECT& rcPaint)
{
    const RECT shown = RectIntersect(rcItem, rcPaint);
    const bool hasText = !strText.empty();
    auto* button = dynamic_cast<CButtonUI*>(this);
    auto* progress = dynamic_cast<CProgressUI*>(this);
    const bool option = QueryControlInterface(L"Option") != nullptr;
    const bool link = button != nullptr && CustomAttribute(L"accrole") == L"link";
    DWORD text = !IsEnabled() ? Sys(COLOR_GRAYTEXT) : link ? Sys(COLOR_HOTLIGHT) : Sys(COLOR_WINDOWTEXT);
    DWORD frame = 0;

    if (button != nullptr && !option && !link) {
        const UINT state = button->GetButtonState();
        const bool lit = IsEnabled() && (IsFocused() || (state & (kState_Hot | kState_Pushed)) != 0);
        CSkinRenderer::DrawColor(hDC, shown, lit ? Sys(COLOR_HIGHLIGHT) : Sys(COLOR_BTNFACE));
        text = !IsEnabled() ? Sys(COLOR_GRAYTEXT) : lit ? Sys(COLOR_HIGHLIGHTTEXT) : Sys(COLOR_BTNTEXT);
        if (!hasText)
            PaintStateImage(hDC, rcPaint);
        frame = Sys(COLOR_WINDOWTEXT);
    } else if (progress != nullptr) {
        CSkinRenderer::DrawColor(hDC, shown, Sys(COLOR_WINDOW));
        // A bar drawn reversed (its fore image is the track) fills the rest.
        RECT done = progress->ForeDestination();
        OffsetRect(&done, rcItem.left, rcItem.top);
        if (CustomAttribute(L"accreversed") == L"true") {
            const bool horizontal = progress->IsHorizontal();
            done = horizontal ? MakeRect(done.right, rcItem.top, rcItem.right, rcItem.bottom)
                              : MakeRect(rcItem.left, rcItem.top, rcItem.right, done.top);
        }
        CSkinRenderer::DrawColor(hDC, RectIntersect(done, rcPaint), Sys(COLOR_HIGHLIGHT));
        frame = Sys(COLOR_WINDOWTEXT);
    } else {
        const bool line = RectHeight(rcItem) <= 3 || RectWidth(rcItem) <= 3;
        if (dwBackColor != 0 || (hasText && !imgBk.Empty()))
            CSkinRenderer::DrawColor(hDC, shown, line ? Sys(COLOR_WINDOWTEXT) : Sys(COLOR_WINDOW));
        if (!hasText && !imgBk.Empty()) {
            const TImageInfo* image = CSkinRenderer::ResolveImage(pHost->Resources(), imgBk.Record());
            if (image != nullptr && image->bAlpha)
                CSkinRenderer::DrawColor(hDC, shown, SkinBackground(this));
            if (DrawImage(hDC, imgBk, rcPaint))
                frame = Sys(COLOR_WINDOWTEXT);
        }
        // Tick and fold marks sit beside the text, at their own place.
        if (option)
            PaintStateImage(hDC, rcPaint);
        if (rcBorderSize.left > 0)
            frame = Sys(COLOR_WINDOWTEXT);
    }
    if (hasText) {
        dwSystemTextColor = text;
        PaintText(hDC, rcPaint);
        dwSystemTextColor = 0;
    }
    if (frame != 0)
        CSkinRenderer::DrawRect(hDC, rcItem, 1, frame);
}

} // namespace SkinUI

#endif // _WIN32
