#ifdef _WIN32
#include "skinui/SkinRenderer.h"

#include "skinui/Dib32.h"

#include "logging/Log.h"
#include "system/SystemLibrary.h"
#include "system/WinHandle.h"

#include <algorithm>
#include <cwchar>
#include <vector>

namespace SkinUI {

namespace {

using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
using GradientFillFn = BOOL(WINAPI*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);

bool g_forceOwnAlphaBlend = false;

// msimg32 is looked up at run time (older systems may lack it or its calls),
// in the system folder only.
HMODULE Msimg32()
{
    static HMODULE module = LoadSystemLibrary("msimg32.dll");
    return module;
}

AlphaBlendFn SystemAlphaBlend()
{
    static AlphaBlendFn fn =
        Msimg32() ? reinterpret_cast<AlphaBlendFn>(reinterpret_cast<void*>(GetProcAddress(Msimg32(), "AlphaBlend")))
                  : nullptr;
    return g_forceOwnAlphaBlend ? nullptr : fn;
}

GradientFillFn SystemGradientFill()
{
    static GradientFillFn fn =
        Msimg32()
            ? reinterpret_cast<GradientFillFn>(reinterpret_cast<void*>(GetProcAddress(Msimg32(), "GradientFill")))
            : nullptr;
    return fn;
}

COLORREF ToColorRef(DWORD color)
{
    return RGB(color >> 16 & 0xFF, color >> 8 & 0xFF, color & 0xFF);
}

struct DcTraits {
    static HDC Invalid() { return nullptr; }
    static bool Valid(HDC h) { return h != nullptr; }
    static void Close(HDC h) { DeleteDC(h); }
};
using CScopedMemoryDC = CScopedWinHandle<HDC, DcTraits>;

// Selects an object into a DC for one scope.
class CSelectObject {
public:
    CSelectObject(HDC dc, HGDIOBJ object) : hDC(dc), hOld(SelectObject(dc, object)) {}
    ~CSelectObject()
    {
        if (hOld != nullptr && hOld != HGDI_ERROR)
            SelectObject(hDC, hOld);
    }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    HDC hDC;
    HGDIOBJ hOld;
};

bool BlendPart(HDC dcDest, int xd, int yd, int wd, int hd, HDC dcSrc, int xs, int ys, int ws, int hs, BYTE fade,
               bool perPixel)
{
    if (AlphaBlendFn fn = SystemAlphaBlend()) {
        BLENDFUNCTION bf = {AC_SRC_OVER, 0, fade, static_cast<BYTE>(perPixel ? AC_SRC_ALPHA : 0)};
        if (fn(dcDest, xd, yd, wd, hd, dcSrc, xs, ys, ws, hs, bf))
            return true;
    }
    return CSkinRenderer::OwnAlphaBlend(dcDest, xd, yd, wd, hd, dcSrc, xs, ys, ws, hs, fade, perPixel);
}

// Copies or blends one part of the nine-part image.
void DrawPart(HDC dc, HDC dcImage, const RECT& dest, const RECT& rcPaint, int xs, int ys, int ws, int hs,
              bool alpha, BYTE fade)
{
    const int wd = dest.right - dest.left;
    const int hd = dest.bottom - dest.top;
    if (wd <= 0 || hd <= 0 || ws <= 0 || hs <= 0)
        return;
    RECT visible;
    if (!IntersectRect(&visible, &dest, &rcPaint))
        return;
    if (alpha || fade < 255) {
        BlendPart(dc, dest.left, dest.top, wd, hd, dcImage, xs, ys, ws, hs, fade, true);
    } else if (wd == ws && hd == hs) {
        BitBlt(dc, dest.left, dest.top, wd, hd, dcImage, xs, ys, SRCCOPY);
    } else {
        const int oldMode = SetStretchBltMode(dc, HALFTONE);
        POINT oldOrg;
        SetBrushOrgEx(dc, 0, 0, &oldOrg);
        StretchBlt(dc, dest.left, dest.top, wd, hd, dcImage, xs, ys, ws, hs, SRCCOPY);
        SetBrushOrgEx(dc, oldOrg.x, oldOrg.y, nullptr);
        SetStretchBltMode(dc, oldMode);
    }
}

RECT ToRect(const SkinRect& r)
{
    return RECT{r.left, r.top, r.right, r.bottom};
}

SkinRect ToSkinRect(const RECT& r)
{
    SkinRect out;
    out.left = r.left;
    out.top = r.top;
    out.right = r.right;
    out.bottom = r.bottom;
    return out;
}

} // namespace

void CImageDrawRecord::SetText(const std::wstring& text)
{
    strText = text;
    Reset();
}

void CImageDrawRecord::Reset()
{
    bParsed = false;
    attributes = ImageAttribute();
    pImage = nullptr;
    bTried = false;
}

void CImageDrawRecord::Parse(int dpi)
{
    if (bParsed && dpi == nParsedDpi)
        return;
    if (bParsed) {
        pImage = nullptr;
        bTried = false;
    }
    attributes = ParseImageAttribute(strText, dpi);
    nParsedDpi = dpi;
    bParsed = true;
}

// ---- Clip -------------------------------------------------------------------

CRenderClip::~CRenderClip()
{
    Restore();
}

void CRenderClip::Restore()
{
    if (!bActive)
        return;
    SelectClipRgn(hDC, hOldRgn);
    if (hOldRgn != nullptr)
        DeleteObject(hOldRgn);
    hOldRgn = nullptr;
    hDC = nullptr;
    bActive = false;
}

void CSkinRenderer::MakeRoundClip(HDC dc, const RECT& rc, const RECT& rcItem, int width, int height,
                                  CRenderClip& clip)
{
    clip.Restore();
    HRGN old = CreateRectRgn(0, 0, 0, 0);
    if (old != nullptr && GetClipRgn(dc, old) != 1) {
        DeleteObject(old);
        old = nullptr;
    }
    clip.hDC = dc;
    clip.hOldRgn = old;
    clip.bActive = true;

    CScopedGdiObject rect(CreateRectRgnIndirect(&rc));
    CScopedGdiObject round(CreateRoundRectRgn(rcItem.left, rcItem.top, rcItem.right + 1, rcItem.bottom + 1, width,
                                              height));
    if (!rect || !round)
        return;
    HRGN region = static_cast<HRGN>(rect.Get());
    CombineRgn(region, region, static_cast<HRGN>(round.Get()), RGN_AND);
    // Regions are in device units; follow a moved origin (off-screen painting).
    POINT origin = {0, 0};
    LPtoDP(dc, &origin, 1);
    OffsetRgn(region, origin.x, origin.y);
    ExtSelectClipRgn(dc, region, RGN_AND);
}

// ---- Images -----------------------------------------------------------------

const TImageInfo* CSkinRenderer::ResolveImage(CSkinResources* host, CImageDrawRecord& record)
{
    if (host == nullptr || record.strText.empty())
        return nullptr;
    record.Parse(host->GetDpi());
    const ImageAttribute& a = record.attributes;
    // A kept image may have been replaced in the cache since it was resolved.
    if (record.pImage != nullptr && record.nImageGeneration != CSkinResources::ImageGeneration()) {
        record.pImage = nullptr;
        record.bTried = false;
    }
    if (!record.bTried) {
        record.bTried = true;
        record.pImage = host->FindOrLoadImage(a.strImageName, a.strResType, a.dwMask, a.bHsl);
        record.nImageGeneration = CSkinResources::ImageGeneration();
    }
    return record.pImage;
}

bool CSkinRenderer::DrawImage(HDC dc, CSkinResources* host, const RECT& rc, const RECT& rcPaint,
                              CImageDrawRecord& record)
{
    if (dc == nullptr)
        return false;
    const TImageInfo* image = ResolveImage(host, record);
    if (image == nullptr)
        return false;
    const ImageAttribute& a = record.attributes;

    const SkinRect source = ImageSourceRect(a.rcSource, image->nWidth, image->nHeight);
    const RECT dest = ToRect(ImageDestRect(ToSkinRect(rc), a.rcDest));
    RECT meet;
    if (!IntersectRect(&meet, &dest, &rc) || !IntersectRect(&meet, &dest, &rcPaint))
        return true;
    DrawImagePart(dc, image->hBitmap, dest, rcPaint, ToRect(source), ToRect(a.rcCorner), image->bAlpha, a.uFade,
                  a.bHole, a.bXTiled, a.bYTiled);
    return true;
}

void CSkinRenderer::DrawImagePart(HDC dc, HBITMAP bitmap, const RECT& rc, const RECT& rcPaint, const RECT& rcBmpPart,
                                  const RECT& rcCorners, bool alpha, BYTE fade, bool hole, bool tiledX, bool tiledY)
{
    if (dc == nullptr || bitmap == nullptr)
        return;
    CScopedMemoryDC dcImage(CreateCompatibleDC(dc));
    if (!dcImage)
        return;
    CSelectObject select(dcImage.Get(), bitmap);
    const std::vector<ImagePart> parts = LayoutImageParts(ToSkinRect(rc), ToSkinRect(rcBmpPart), ToSkinRect(rcCorners),
                                                          hole, tiledX, tiledY, ToSkinRect(rcPaint));
    for (const ImagePart& part : parts)
        DrawPart(dc, dcImage.Get(), ToRect(part.rcDest), rcPaint, part.rcSource.left, part.rcSource.top,
                 part.rcSource.Width(), part.rcSource.Height(), alpha, fade);
}

bool CSkinRenderer::OwnAlphaBlend(HDC dcDest, int xDest, int yDest, int wDest, int hDest, HDC dcSrc, int xSrc,
                                  int ySrc, int wSrc, int hSrc, BYTE constantAlpha, bool sourceAlpha)
{
    if (wDest <= 0 || hDest <= 0 || wSrc <= 0 || hSrc <= 0)
        return false;
    // Source pixels straight from the bitmap selected into the source DC.
    HBITMAP srcBitmap = static_cast<HBITMAP>(GetCurrentObject(dcSrc, OBJ_BITMAP));
    BITMAP info = {};
    if (srcBitmap == nullptr || GetObjectW(srcBitmap, sizeof(info), &info) == 0)
        return false;
    const int bw = info.bmWidth;
    const int bh = info.bmHeight;
    if (xSrc < 0 || ySrc < 0 || xSrc + wSrc > bw || ySrc + hSrc > bh)
        return false;
    std::vector<DWORD> src(static_cast<size_t>(bw) * static_cast<size_t>(bh));
    BITMAPINFO bmi = Dib32Info(bw, bh);
    // GetDIBits wants the bitmap not selected anywhere on some systems; a
    // temporary swap keeps the source DC usable.
    HBITMAP placeholder = CreateCompatibleBitmap(dcSrc, 1, 1);
    SelectObject(dcSrc, placeholder);
    const int lines = GetDIBits(dcSrc, srcBitmap, 0, static_cast<UINT>(bh), src.data(), &bmi, DIB_RGB_COLORS);
    SelectObject(dcSrc, srcBitmap);
    DeleteObject(placeholder);
    if (lines != bh)
        return false;

    // Destination pixels through a DIB section copy.
    DWORD* dst = nullptr;
    CScopedGdiObject dstBitmap(CreateDib32(wDest, hDest, &dst));
    if (!dstBitmap)
        return false;
    CScopedMemoryDC dcWork(CreateCompatibleDC(dcDest));
    if (!dcWork)
        return false;
    CSelectObject select(dcWork.Get(), dstBitmap.Get());
    if (!BitBlt(dcWork.Get(), 0, 0, wDest, hDest, dcDest, xDest, yDest, SRCCOPY))
        return false;
    GdiFlush();
    for (int y = 0; y < hDest; ++y) {
        const int sy = ySrc + y * hSrc / hDest;
        for (int x = 0; x < wDest; ++x) {
            const int sx = xSrc + x * wSrc / wDest;
            DWORD s = src[static_cast<size_t>(sy) * bw + sx];
            if (!sourceAlpha)
                s |= 0xFF000000u;
            DWORD& d = dst[static_cast<size_t>(y) * wDest + x];
            // Premultiplied source over destination, both scaled by the
            // constant alpha: d = s * ca + d * (1 - sa * ca).
            const unsigned sa = (s >> 24) * constantAlpha / 255;
            DWORD out = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                const unsigned sc = (s >> shift & 0xFF) * constantAlpha / 255;
                const unsigned dc = d >> shift & 0xFF;
                const unsigned v = std::min(255u, sc + dc * (255 - sa) / 255);
                out |= static_cast<DWORD>(v) << shift;
            }
            d = out;
        }
    }
    return BitBlt(dcDest, xDest, yDest, wDest, hDest, dcWork.Get(), 0, 0, SRCCOPY) != FALSE;
}

void CSkinRenderer::ForceOwnAlphaBlend(bool force)
{
    g_forceOwnAlphaBlend = force;
}

// ---- Colours ----------------------------------------------------------------

void CSkinRenderer::DrawColor(HDC dc, const RECT& rc, DWORD color)
{
    const BYTE alpha = static_cast<BYTE>(color >> 24);
    if (dc == nullptr || alpha == 0 || rc.right <= rc.left || rc.bottom <= rc.top)
        return;
    if (alpha == 255) {
        const COLORREF old = SetBkColor(dc, ToColorRef(color));
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
        SetBkColor(dc, old);
        return;
    }
    // The blend takes premultiplied pixels, so the one pixel is stored so.
    DWORD* bits = nullptr;
    CScopedGdiObject pixel(CreateDib32(1, 1, &bits));
    if (!pixel)
        return;
    *bits = static_cast<DWORD>(alpha) << 24 | ((color >> 16 & 0xFF) * alpha / 255) << 16 |
            ((color >> 8 & 0xFF) * alpha / 255) << 8 | ((color & 0xFF) * alpha / 255);
    CScopedMemoryDC dcPixel(CreateCompatibleDC(dc));
    if (!dcPixel)
        return;
    CSelectObject select(dcPixel.Get(), pixel.Get());
    BlendPart(dc, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, dcPixel.Get(), 0, 0, 1, 1, 255, true);
}

void CSkinRenderer::DrawGradient(HDC dc, const RECT& rc, DWORD color1, DWORD color2, bool vertical, int steps)
{
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    if (dc == nullptr || width <= 0 || height <= 0)
        return;
    const BYTE alpha = static_cast<BYTE>(((color1 >> 24) + (color2 >> 24)) / 2);
    if (alpha == 0)
        return;
    // The gradient is drawn opaque into a work bitmap, then copied or blended.
    CScopedGdiObject work(CreateDib32(width, height, nullptr));
    CScopedMemoryDC dcWork(CreateCompatibleDC(dc));
    if (!work || !dcWork)
        return;
    CSelectObject select(dcWork.Get(), work.Get());
    bool done = false;
    if (GradientFillFn fill = SystemGradientFill()) {
        TRIVERTEX v[2] = {};
        v[0].x = 0;
        v[0].y = 0;
        v[0].Red = static_cast<COLOR16>((color1 >> 16 & 0xFF) << 8);
        v[0].Green = static_cast<COLOR16>((color1 >> 8 & 0xFF) << 8);
        v[0].Blue = static_cast<COLOR16>((color1 & 0xFF) << 8);
        v[0].Alpha = 0xFF00;
        v[1].x = width;
        v[1].y = height;
        v[1].Red = static_cast<COLOR16>((color2 >> 16 & 0xFF) << 8);
        v[1].Green = static_cast<COLOR16>((color2 >> 8 & 0xFF) << 8);
        v[1].Blue = static_cast<COLOR16>((color2 & 0xFF) << 8);
        v[1].Alpha = 0xFF00;
        GRADIENT_RECT mesh = {0, 1};
        done = fill(dcWork.Get(), v, 2, &mesh, 1, vertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H) != FALSE;
    }
    if (!done) {
        // Without GradientFill: bands of solid colour.
        const int count = std::max(1, steps);
        const int length = vertical ? height : width;
        for (int i = 0; i < count; ++i) {
            const int from = length * i / count;
            const int to = length * (i + 1) / count;
            auto mix = [&](int shift) {
                const int a = static_cast<int>(color1 >> shift & 0xFF);
                const int b = static_cast<int>(color2 >> shift & 0xFF);
                return static_cast<DWORD>(a + (b - a) * i / std::max(1, count - 1));
            };
            const DWORD band = 0xFF000000u | mix(16) << 16 | mix(8) << 8 | mix(0);
            const RECT part = vertical ? RECT{0, from, width, to} : RECT{from, 0, to, height};
            DrawColor(dcWork.Get(), part, band);
        }
    }
    if (alpha == 255) {
        BitBlt(dc, rc.left, rc.top, width, height, dcWork.Get(), 0, 0, SRCCOPY);
        return;
    }
    BlendPart(dc, rc.left, rc.top, width, height, dcWork.Get(), 0, 0, width, height, alpha, false);
}

// ---- Lines and frames ------------------------------------------------------

void CSkinRenderer::DrawLine(HDC dc, const RECT& rc, int size, DWORD color, int penStyle)
{
    if (dc == nullptr)
        return;
    CScopedGdiObject pen(CreatePen(penStyle, size, ToColorRef(color)));
    if (!pen)
        return;
    CSelectObject select(dc, pen.Get());
    POINT old;
    MoveToEx(dc, rc.left, rc.top, &old);
    LineTo(dc, rc.right, rc.bottom);
    MoveToEx(dc, old.x, old.y, nullptr);
}

void CSkinRenderer::DrawRect(HDC dc, const RECT& rc, int size, DWORD color, int penStyle)
{
    if (dc == nullptr)
        return;
    CScopedGdiObject pen(CreatePen(penStyle | PS_INSIDEFRAME, size, ToColorRef(color)));
    if (!pen)
        return;
    CSelectObject selectPen(dc, pen.Get());
    CSelectObject selectBrush(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, rc.left, rc.top, rc.right, rc.bottom);
}

void CSkinRenderer::DrawRoundRect(HDC dc, const RECT& rc, int size, int width, int height, DWORD color,
                                  int penStyle)
{
    if (dc == nullptr)
        return;
    CScopedGdiObject pen(CreatePen(penStyle | PS_INSIDEFRAME, size, ToColorRef(color)));
    if (!pen)
        return;
    CSelectObject selectPen(dc, pen.Get());
    CSelectObject selectBrush(dc, GetStockObject(NULL_BRUSH));
    RoundRect(dc, rc.left, rc.top, rc.right, rc.bottom, width, height);
}

// ---- Text ---------------------------------------------------------------------

void CSkinRenderer::DrawPlainText(HDC dc, CSkinResources* host, RECT& rc, const std::wstring& text, DWORD color,
                                  int font, UINT style)
{
    if (dc == nullptr || host == nullptr || text.empty())
        return;
    const std::wstring expanded = CSkinResources::ExpandLangTokens(text);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColor = SetTextColor(dc, ToColorRef(color));
    CSelectObject select(dc, host->GetFont(font));
    DrawTextW(dc, expanded.c_str(), static_cast<int>(expanded.size()), &rc, style | DT_NOPREFIX);
    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
}

// ---- Off-screen capture -----------------------------------------------------

HBITMAP CSkinRenderer::RenderToBitmap(CSkinResources* host, const std::function<void(HDC, const RECT&)>& paint,
                                      const RECT& rc, DWORD bkColor)
{
    (void)host;
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    if (width <= 0 || height <= 0)
        return nullptr;
    CScopedGdiObject bitmap(CreateDib32(width, height, nullptr));
    CScopedMemoryDC dc(CreateCompatibleDC(nullptr));
    if (!bitmap || !dc)
        return nullptr;
    {
        CSelectObject select(dc.Get(), bitmap.Get());
        POINT oldOrigin;
        SetWindowOrgEx(dc.Get(), rc.left, rc.top, &oldOrigin);
        if (paint)
            paint(dc.Get(), rc);
        DrawColor(dc.Get(), rc, bkColor);
        SetWindowOrgEx(dc.Get(), oldOrigin.x, oldOrigin.y, nullptr);
        GdiFlush();
    }
    return static_cast<HBITMAP>(bitmap.Release());
}

} // namespace SkinUI

#endif // _WIN32
