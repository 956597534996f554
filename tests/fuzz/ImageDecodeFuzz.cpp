// Image decoding as the image cache does it: the bytes are an image file
// (PNG is decoded, anything else refused). A decoded image has sides of 1 to
// kMaxImageSide pixels, one BGRA pixel each, premultiplied: no colour above
// its alpha. So has the image resampled to 150 % (as at 144 DPI), of the
// size asked for.
#include <cstddef>
#include <cstdint>

#include "skinui/ImageDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SkinUI::DecodedImage image;
    if (!SkinUI::DecodeImagePixels(data, size, 0xFF00FF00u, image))
        return 0;
    if (image.nWidth < 1 || image.nHeight < 1 || image.nWidth > SkinUI::kMaxImageSide ||
        image.nHeight > SkinUI::kMaxImageSide ||
        image.pixels.size() != static_cast<size_t>(image.nWidth) * static_cast<size_t>(image.nHeight) * 4)
        __builtin_trap();
    for (size_t i = 0; i < image.pixels.size(); i += 4) {
        const uint8_t alpha = image.pixels[i + 3];
        if (image.pixels[i] > alpha || image.pixels[i + 1] > alpha || image.pixels[i + 2] > alpha)
            __builtin_trap();
        if (alpha != 255 && !image.bAlpha)
            __builtin_trap();
    }
    // Large images only cost time: the resampling is the same for them.
    if (image.nWidth > 256 || image.nHeight > 256)
        return 0;
    SkinUI::DecodedImage scaled;
    const int width = SkinUI::ScaledImageSide(image.nWidth, 96, 144);
    const int height = SkinUI::ScaledImageSide(image.nHeight, 96, 144);
    if (!SkinUI::ResampleImage(image, width, height, scaled) || scaled.nWidth != width || scaled.nHeight != height ||
        scaled.pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 4)
        __builtin_trap();
    for (size_t i = 0; i < scaled.pixels.size(); i += 4) {
        const uint8_t alpha = scaled.pixels[i + 3];
        if (scaled.pixels[i] > alpha || scaled.pixels[i + 1] > alpha || scaled.pixels[i + 2] > alpha)
            __builtin_trap();
    }
    return 0;
}
