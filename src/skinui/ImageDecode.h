// Decoding the skin's and the banners' image files (PNG) into the pixels the
// renderer draws: top-down rows of 32-bit blue, green, red, alpha, with the
// colour channels premultiplied by alpha, and resampling them to the size a
// display scale asks for. The image cache (SkinResources) puts these pixels
// into DIB sections. No Windows API.
//
// Types in this file: DecodedImage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace SkinUI {

// Images wider or taller than this are refused: no skin needs them, and a
// damaged header must not make the program allocate gigabytes.
constexpr int kMaxImageSide = 4096;

struct DecodedImage {
    int nWidth = 0;
    int nHeight = 0;
    std::vector<uint8_t> pixels;   // nWidth * nHeight * 4 bytes, BGRA
    bool bAlpha = false;           // some pixel not opaque, or cleared by the mask
};

// Decodes a PNG file (the format of every skin and banner image; other
// formats are refused). A pixel whose
// finished value (read as 0xAARRGGBB) equals `mask` becomes fully
// transparent. False, with `why` set, for data that is not an image of at
// most kMaxImageSide pixels a side.
bool DecodeImagePixels(const void* data, size_t size, uint32_t mask, DecodedImage& image, std::string* why = nullptr);

// The 1 x 1 image of a colour written as text (hexadecimal 0xAARRGGBB).
DecodedImage ColorImagePixels(const std::wstring& colorText);

// One side of an image made for `sourceDpi` (96 for a plain image, 192 for
// its "@2x" twin) when it is drawn at `dpi`: side * dpi / sourceDpi, rounded
// to the nearest pixel, at least 1 and at most kMaxImageSide.
int ScaledImageSide(int side, int sourceDpi, int dpi);

// Resamples decoded pixels to width x height with a smooth filter (Mitchell
// when shrinking, Catmull-Rom when growing; never the nearest pixel), in
// premultiplied form, so a transparent pixel lends no colour to its
// neighbours. The result stays premultiplied (no colour above its alpha).
// False, `out` empty, for a size outside 1..kMaxImageSide or an empty image.
bool ResampleImage(const DecodedImage& in, int width, int height, DecodedImage& out);

} // namespace SkinUI
