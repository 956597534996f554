// Stateless drawing operations on a GDI device context that controls call
// while painting: colour fills and gradients, lines and (rounded) rectangles,
// clipping to a rounded rectangle, images described by the skin's image
// attribute text, plain text, and the brace-tag markup text with links.
//
// CImageDrawRecord belongs to one image attribute of a control: it keeps the
// text, its parsed form (parsed on the first draw) and the resolved image of
// the host's cache (resolved once; a failed resolve is not retried until the
// text is set again). CRenderClip owns a clip region selected into a DC and
// restores the previous clip when it ends. CSkinRenderer owns nothing.
// UI thread only.
//
// Classes in this file: CImageDrawRecord, CRenderClip, CSkinRenderer.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <functional>
#include <string>

#include "skinui/ImageAttribute.h"
#include "skinui/SkinResources.h"

namespace SkinUI {

class CImageDrawRecord {
public:
    CImageDrawRecord() = default;
    explicit CImageDrawRecord(const std::wstring& text) { SetText(text); }

    // Sets the attribute text and forgets the parse and the resolved image,
    // so the next draw tries again.
    void SetText(const std::wstring& text);
    const std::wstring& GetText() const { return strText; }
    bool IsEmpty() const { return strText.empty(); }
    // Forgets the parse and the resolved image; the text stays.
    void Reset();

    // Valid after the first draw (or Parse).
    const ImageAttribute& Attributes() const { return attributes; }
    const TImageInfo* ResolvedImage() const { return pImage; }
    bool ResolveTried() const { return bTried; }

    // Parses the text for a display of `dpi` once; later calls at the same
    // DPI do nothing. At another DPI the text is parsed again and the image
    // is resolved anew (it is loaded at the scale too).
    void Parse(int dpi = 96);

private:
    friend class CSkinRenderer;
    std::wstring strText;
    bool bParsed = false;
    int nParsedDpi = 0;
    ImageAttribute attributes;
    const TImageInfo* pImage = nullptr;
    unsigned nImageGeneration = 0;  // CSkinResources::ImageGeneration at resolve
    bool bTried = false;
};

// A clip region selected into a DC; the DC's previous clip region comes back
// when the object ends.
class CRenderClip {
public:
    CRenderClip() = default;
    ~CRenderClip();
    CRenderClip(const CRenderClip&) = delete;
    CRenderClip& operator=(const CRenderClip&) = delete;

private:
    friend class CSkinRenderer;
    void Restore();
    HDC hDC = nullptr;
    HRGN hOldRgn = nullptr;    // copy of the previous clip; nullptr = none
    bool bActive = false;
};

class CSkinRenderer {
public:
    // Resolves the record's image through the host (FindOrLoadImage) and
    // draws it into rc (the control's rectangle), limited to rcPaint. False
    // when there is no image (nothing drawn).
    static bool DrawImage(HDC dc, CSkinResources* host, const RECT& rc, const RECT& rcPaint,
                          CImageDrawRecord& record);
    // The record's image from the host's cache (loaded on the first call, as
    // DrawImage does); nullptr when there is none.
    static const TImageInfo* ResolveImage(CSkinResources* host, CImageDrawRecord& record);

    // Draws source part rcBmpPart of the bitmap into rc with fixed corners
    // rcCorners (nine-part), limited to rcPaint. With alpha or fade < 255 the
    // parts are blended (premultiplied source), else copied or stretched.
    static void DrawImagePart(HDC dc, HBITMAP bitmap, const RECT& rc, const RECT& rcPaint,
                              const RECT& rcBmpPart, const RECT& rcCorners, bool alpha, BYTE fade,
                              bool hole = false, bool tiledX = false, bool tiledY = false);

    // Alpha 0: nothing; opaque: ExtTextOutW fill; translucent: a stretched
    // 1x1 pixel blended over rc.
    static void DrawColor(HDC dc, const RECT& rc, DWORD color);
    // Gradient from color1 to color2 (vertical: top to bottom). The mean alpha
    // decides: 0 nothing, below 255 blended with it as constant alpha.
    static void DrawGradient(HDC dc, const RECT& rc, DWORD color1, DWORD color2, bool vertical,
                             int steps);

    // Pens drop the alpha byte.
    static void DrawLine(HDC dc, const RECT& rc, int size, DWORD color, int penStyle = PS_SOLID);
    static void DrawRect(HDC dc, const RECT& rc, int size, DWORD color, int penStyle = PS_SOLID);
    static void DrawRoundRect(HDC dc, const RECT& rc, int size, int width, int height, DWORD color,
                              int penStyle = PS_SOLID);

    // Clips dc to rc intersected with the rounded rcItem; clip restores the
    // previous clip region when it ends.
    static void MakeRoundClip(HDC dc, const RECT& rc, const RECT& rcItem, int width, int height,
                              CRenderClip& clip);

    // DrawTextW with style | DT_NOPREFIX, the host's font for the id, the
    // colour without alpha, transparent background; multi-language tokens
    // expanded. With DT_CALCRECT rc receives the measured size.
    static void DrawPlainText(HDC dc, CSkinResources* host, RECT& rc, const std::wstring& text,
                              DWORD color, int font, UINT style);

    // Brace-tag markup text. links/linkTexts (may be nullptr) receive at most
    // linkCount entries on input; linkCount is set to the number recorded.
    // With DT_CALCRECT nothing is drawn and rc becomes the measured extent.
    static void DrawMarkupText(HDC dc, CSkinResources* host, RECT& rc, const std::wstring& text,
                               DWORD color, RECT* links, std::wstring* linkTexts, int& linkCount,
                               int font, UINT style);

    // A new 32-bit bitmap of rc's size holding what paint draws there (paint
    // gets a DC whose origin is moved so rc's coordinates apply), with the
    // colour laid over it. The caller owns the bitmap; nullptr on failure.
    static HBITMAP RenderToBitmap(CSkinResources* host, const std::function<void(HDC, const RECT&)>& paint,
                                  const RECT& rc, DWORD bkColor);

    // Per-pixel source-over blend of a premultiplied 32-bit source with a
    // constant alpha, for systems without AlphaBlend; without sourceAlpha the
    // source counts as opaque (constant alpha only). False when the bitmaps cannot be read.
    static bool OwnAlphaBlend(HDC dcDest, int xDest, int yDest, int wDest, int hDest, HDC dcSrc,
                              int xSrc, int ySrc, int wSrc, int hSrc, BYTE constantAlpha,
                              bool sourceAlpha = true);
    // Test hook: ignore the system AlphaBlend and use OwnAlphaBlend.
    static void ForceOwnAlphaBlend(bool force);
};

} // namespace SkinUI

#endif // _WIN32
