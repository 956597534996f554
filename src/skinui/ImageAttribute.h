// The image attribute language of the skin, parsed into a plain record that
// drawing code uses as it stands, plus the rectangle arithmetic of image
// drawing (destination inside the control, source clamped to the image, the
// nine parts with tiling). No Windows here: the drawing itself lives with the
// renderer, which keeps one ImageAttribute per draw record.
//
//   normalimage="img\browse-df.png"                       (a bare image name)
//   selectedimage="file='img/checked.png' dest='0,8,14,22'"
//
// Types in this file: SkinRect, ImageAttribute, ImagePart.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace SkinUI {

// A rectangle in pixels; right and bottom are exclusive, as in GDI.
struct SkinRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool IsZero() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    bool operator==(const SkinRect& other) const
    {
        return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
    }
    bool operator!=(const SkinRect& other) const { return !(*this == other); }
};

// Resource type of a solid colour image; the name is then the colour.
extern const wchar_t* const kColorImageType;

// One parsed image attribute. Every field has its default when the text does
// not set it.
struct ImageAttribute {
    // Name to look the image up by: the whole text when it is not a key list,
    // else the value of file, res or color (the last one given wins).
    std::wstring strImageName;
    // "" for a skin file, the restype value for res, kColorImageType for color.
    std::wstring strResType;
    uint32_t dwMask = 0;            // mask colour for loading, 0xAARRGGBB
    SkinRect rcDest;                // offsets inside the control; all 0 = whole control
    SkinRect rcSource;              // part of the image; all 0 = whole image
    SkinRect rcCorner;              // fixed border widths of a nine-part image
                                    // (the three in pixels of the display scale)
    uint8_t uFade = 255;            // constant alpha
    bool bHole = false;             // leave the centre empty
    bool bXTiled = false;           // tile the centre horizontally
    bool bYTiled = false;           // tile the centre vertically
    bool bHsl = false;              // ask for the colour-adjusted variant
};

// Parses an image attribute. A text that is not a list of key='value' items
// is one image name; parsing stops at the first item that is not of that
// shape and keeps what was read. Empty values and unknown keys are ignored;
// numbers and colours read as SkinValues.h reads them; source and corner
// values below 0 read as 0; a fade outside 0..255 is clamped. dest, source
// and corner are lengths of the skin: they are read at `dpi`, for an image
// loaded at that scale.
ImageAttribute ParseImageAttribute(const std::wstring& text, int dpi = 96);

// Where the image goes: the control's rectangle, or, when any dest value is
// non-zero, (left + l, top + t) to (min(right, left + r), min(bottom, top + b)).
SkinRect ImageDestRect(const SkinRect& control, const SkinRect& dest);
// The part of the image to use: all zeros means the whole image; right and
// bottom are clamped to the image size, left and top to the image too.
SkinRect ImageSourceRect(const SkinRect& source, int imageWidth, int imageHeight);

// One blit of image drawing: source rectangle into destination rectangle
// (stretched when the sizes differ).
struct ImagePart {
    SkinRect rcDest;
    SkinRect rcSource;
};

// Splits an image draw into its parts: the centre (unless hole; stretched, or
// repeated at source size along a tiled axis with the last copy cut off at
// the destination edge), the four corners at their size, and the four edges
// stretched along their edge. Only parts with positive size on both sides
// that meet the paint rectangle are returned. Corner widths are first reduced
// to fit the source rectangle, so no part ever reads outside it.
std::vector<ImagePart> LayoutImageParts(const SkinRect& dest, const SkinRect& source, const SkinRect& corner,
                                        bool hole, bool xTiled, bool yTiled, const SkinRect& paint);

} // namespace SkinUI
