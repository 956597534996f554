#include "skinui/ImageAttribute.h"

#include <algorithm>
#include <cstdint>

#include "skinui/SkinValues.h"

namespace SkinUI {

const wchar_t* const kColorImageType = L"*COLOR*";

namespace {

// A tiled centre of tiny tiles over a huge area stops after this many parts.
constexpr size_t kMaxImageParts = 100000;

bool Intersects(const SkinRect& a, const SkinRect& b)
{
    return std::max(a.left, b.left) < std::min(a.right, b.right) &&
           std::max(a.top, b.top) < std::min(a.bottom, b.bottom);
}

int Clamp(int value, int low, int high)
{
    return value < low ? low : (value > high ? high : value);
}

} // namespace

static SkinRect ParseSkinRect(const std::wstring& text, int dpi)
{
    const RECT rc = ParseLengthRect(text, dpi);
    return SkinRect{static_cast<int>(rc.left), static_cast<int>(rc.top), static_cast<int>(rc.right),
                    static_cast<int>(rc.bottom)};
}

ImageAttribute ParseImageAttribute(const std::wstring& text, int dpi)
{
    enum class NameKind { File, Res, Color };
    ImageAttribute attr;
    attr.strImageName = text;
    NameKind kind = NameKind::File;
    std::wstring resType;

    size_t pos = 0;
    const size_t n = text.size();
    for (;;) {
        while (pos < n && IsBlank(text[pos]))
            ++pos;
        if (pos >= n)
            break;
        const size_t keyStart = pos;
        while (pos < n && !IsBlank(text[pos]) && text[pos] != L'=' && text[pos] != L'\'')
            ++pos;
        if (pos == keyStart)
            break;
        const std::wstring key = text.substr(keyStart, pos - keyStart);
        while (pos < n && IsBlank(text[pos]))
            ++pos;
        if (pos >= n || text[pos] != L'=')
            break;
        ++pos;
        while (pos < n && IsBlank(text[pos]))
            ++pos;
        if (pos >= n || text[pos] != L'\'')
            break;
        ++pos;
        const size_t close = text.find(L'\'', pos);
        if (close == std::wstring::npos)
            break;
        const std::wstring value = text.substr(pos, close - pos);
        pos = close + 1;
        if (value.empty())
            continue;

        if (key == L"file") {
            attr.strImageName = value;
            kind = NameKind::File;
        } else if (key == L"res") {
            attr.strImageName = value;
            kind = NameKind::Res;
        } else if (key == L"restype") {
            resType = value;
        } else if (key == L"color") {
            attr.strImageName = value;
            kind = NameKind::Color;
        } else if (key == L"dest") {
            attr.rcDest = ParseSkinRect(value, dpi);
        } else if (key == L"source") {
            attr.rcSource = ParseSkinRect(value, dpi);
        } else if (key == L"corner" || key == L"scale9") {
            attr.rcCorner = ParseSkinRect(value, dpi);
        } else if (key == L"mask") {
            attr.dwMask = ParseColor(value);
        } else if (key == L"fade") {
            attr.uFade = static_cast<uint8_t>(Clamp(ParseInt(value), 0, 255));
        } else if (key == L"hole") {
            attr.bHole = value == L"true";
        } else if (key == L"xtiled") {
            attr.bXTiled = value == L"true";
        } else if (key == L"ytiled") {
            attr.bYTiled = value == L"true";
        } else if (key == L"hsl") {
            attr.bHsl = value == L"true";
        }
        // Unknown keys are ignored.
    }

    // A negative source or corner has no meaning and would read outside the image.
    for (SkinRect* rc : {&attr.rcSource, &attr.rcCorner}) {
        rc->left = std::max(rc->left, 0);
        rc->top = std::max(rc->top, 0);
        rc->right = std::max(rc->right, 0);
        rc->bottom = std::max(rc->bottom, 0);
    }
    if (kind == NameKind::Res)
        attr.strResType = resType;
    else if (kind == NameKind::Color)
        attr.strResType = kColorImageType;
    return attr;
}

SkinRect ImageDestRect(const SkinRect& control, const SkinRect& dest)
{
    if (dest.IsZero())
        return control;
    SkinRect rc;
    rc.left = control.left + dest.left;
    rc.top = control.top + dest.top;
    rc.right = std::min(control.right, control.left + dest.right);
    rc.bottom = std::min(control.bottom, control.top + dest.bottom);
    return rc;
}

SkinRect ImageSourceRect(const SkinRect& source, int imageWidth, int imageHeight)
{
    imageWidth = std::max(imageWidth, 0);
    imageHeight = std::max(imageHeight, 0);
    if (source.IsZero()) {
        SkinRect whole;
        whole.right = imageWidth;
        whole.bottom = imageHeight;
        return whole;
    }
    SkinRect rc;
    rc.left = Clamp(source.left, 0, imageWidth);
    rc.top = Clamp(source.top, 0, imageHeight);
    rc.right = Clamp(source.right, 0, imageWidth);
    rc.bottom = Clamp(source.bottom, 0, imageHeight);
    return rc;
}

std::vector<ImagePart> LayoutImageParts(const SkinRect& dest, const SkinRect& source, const SkinRect& corner,
                                        bool hole, bool xTiled, bool yTiled, const SkinRect& paint)
{
    std::vector<ImagePart> parts;
    if (source.IsEmpty() || dest.IsEmpty())
        return parts;

    // Corners never take more than the source has.
    const int sw = source.Width();
    const int sh = source.Height();
    const int l = Clamp(corner.left, 0, sw);
    const int r = Clamp(corner.right, 0, sw - l);
    const int t = Clamp(corner.top, 0, sh);
    const int b = Clamp(corner.bottom, 0, sh - t);

    auto add = [&](int dl, int dt, int dr, int db, int sl, int st, int sr, int sb) {
        ImagePart part;
        part.rcDest = SkinRect{dl, dt, dr, db};
        part.rcSource = SkinRect{sl, st, sr, sb};
        if (part.rcDest.IsEmpty() || part.rcSource.IsEmpty() || !Intersects(part.rcDest, paint))
            return;
        if (parts.size() < kMaxImageParts)
            parts.push_back(part);
    };

    // Centre.
    if (!hole) {
        const SkinRect dc{dest.left + l, dest.top + t, dest.right - r, dest.bottom - b};
        const SkinRect sc{source.left + l, source.top + t, source.right - r, source.bottom - b};
        if (!dc.IsEmpty() && !sc.IsEmpty()) {
            if (!xTiled && !yTiled) {
                add(dc.left, dc.top, dc.right, dc.bottom, sc.left, sc.top, sc.right, sc.bottom);
            } else {
                // Along a tiled axis copies are source-sized and the last one
                // is cut; along the other axis one copy is stretched. Copies
                // before the paint rectangle are skipped without being made.
                const int stepX = xTiled ? sc.Width() : dc.Width();
                const int stepY = yTiled ? sc.Height() : dc.Height();
                int firstX = dc.left;
                if (xTiled && paint.left > dc.left)
                    firstX += (paint.left - dc.left) / stepX * stepX;
                int firstY = dc.top;
                if (yTiled && paint.top > dc.top)
                    firstY += (paint.top - dc.top) / stepY * stepY;
                const int endX = std::min(dc.right, std::max(paint.right, dc.left));
                const int endY = std::min(dc.bottom, std::max(paint.bottom, dc.top));
                for (int y = firstY; y < endY && parts.size() < kMaxImageParts; y += stepY) {
                    const int h = std::min(stepY, dc.bottom - y);
                    const int srcBottom = yTiled ? sc.top + h : sc.bottom;
                    for (int x = firstX; x < endX && parts.size() < kMaxImageParts; x += stepX) {
                        const int w = std::min(stepX, dc.right - x);
                        const int srcRight = xTiled ? sc.left + w : sc.right;
                        add(x, y, x + w, y + h, sc.left, sc.top, srcRight, srcBottom);
                    }
                }
            }
        }
    }

    // Corners at their size.
    add(dest.left, dest.top, dest.left + l, dest.top + t, source.left, source.top, source.left + l, source.top + t);
    add(dest.right - r, dest.top, dest.right, dest.top + t, source.right - r, source.top, source.right,
        source.top + t);
    add(dest.left, dest.bottom - b, dest.left + l, dest.bottom, source.left, source.bottom - b, source.left + l,
        source.bottom);
    add(dest.right - r, dest.bottom - b, dest.right, dest.bottom, source.right - r, source.bottom - b, source.right,
        source.bottom);

    // Edges stretched along their side.
    add(dest.left, dest.top + t, dest.left + l, dest.bottom - b, source.left, source.top + t, source.left + l,
        source.bottom - b);
    add(dest.left + l, dest.top, dest.right - r, dest.top + t, source.left + l, source.top, source.right - r,
        source.top + t);
    add(dest.right - r, dest.top + t, dest.right, dest.bottom - b, source.right - r, source.top + t, source.right,
        source.bottom - b);
    add(dest.left + l, dest.bottom - b, dest.right - r, dest.bottom, source.left + l, source.bottom - b,
        source.right - r, source.bottom);
    return parts;
}

} // namespace SkinUI
