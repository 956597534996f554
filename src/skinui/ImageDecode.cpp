// Image decoding with stb_image into premultiplied BGRA pixels, and their
// resampling with stb_image_resize.
#include "skinui/ImageDecode.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

#include "skinui/SkinValues.h"

// The skin's and the banners' images are PNG files, and only the PNG decoder
// is built: fuzzing found the library's JPEG decoder writing past the end of
// its Huffman tables on damaged input.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_FAILURE_USERMSG
#define STBI_MAX_DIMENSIONS 4096
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include <stb_image.h>
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#define STB_IMAGE_RESIZE_STATIC
#include <stb_image_resize.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

static_assert(STBI_MAX_DIMENSIONS == SkinUI::kMaxImageSide, "one limit for image sides");

namespace SkinUI {

namespace {

// One pixel from red, green, blue, alpha into premultiplied BGRA; true when
// it is not opaque.
bool StorePixel(const uint8_t* rgba, uint8_t* bgra)
{
    const unsigned alpha = rgba[3];
    bgra[0] = static_cast<uint8_t>(rgba[2] * alpha / 255);
    bgra[1] = static_cast<uint8_t>(rgba[1] * alpha / 255);
    bgra[2] = static_cast<uint8_t>(rgba[0] * alpha / 255);
    bgra[3] = static_cast<uint8_t>(alpha);
    return alpha != 255;
}

// A PNG file whose chunks all fit in the data: the signature, then chunks
// of a 4-byte big-endian length, a 4-byte type, the data and a 4-byte CRC,
// up to IEND. The library reserves a chunk's stated length before reading
// it, so a damaged length would make it ask for gigabytes.
bool PngChunksFit(const uint8_t* data, size_t size)
{
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size < 8 || std::memcmp(data, kSignature, 8) != 0)
        return false;
    size_t pos = 8;
    while (size - pos >= 12) {
        const uint32_t length = static_cast<uint32_t>(data[pos]) << 24 | static_cast<uint32_t>(data[pos + 1]) << 16 |
                                static_cast<uint32_t>(data[pos + 2]) << 8 | data[pos + 3];
        if (length > size - pos - 12)
            return false;
        if (std::memcmp(data + pos + 4, "IEND", 4) == 0)
            return true;
        pos += 12 + static_cast<size_t>(length);
    }
    return false;
}

} // namespace

bool DecodeImagePixels(const void* data, size_t size, uint32_t mask, DecodedImage& image, std::string* why)
{
    image = DecodedImage();
    if (data == nullptr || size == 0 || size > static_cast<size_t>(INT_MAX)) {
        if (why != nullptr)
            *why = "no data";
        return false;
    }
    if (!PngChunksFit(static_cast<const uint8_t*>(data), size)) {
        if (why != nullptr)
            *why = "not a complete PNG file";
        return false;
    }
    int width = 0, height = 0, channels = 0;
    stbi_uc* rgba = stbi_load_from_memory(static_cast<const stbi_uc*>(data), static_cast<int>(size), &width, &height,
                                          &channels, 4);
    if (rgba == nullptr) {
        if (why != nullptr)
            *why = stbi_failure_reason();
        return false;
    }
    std::unique_ptr<stbi_uc, void (*)(void*)> owner(rgba, &stbi_image_free);
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    image.nWidth = width;
    image.nHeight = height;
    image.pixels.resize(count * 4);
    for (size_t i = 0; i < count; ++i) {
        uint8_t* pixel = &image.pixels[i * 4];
        if (StorePixel(rgba + i * 4, pixel))
            image.bAlpha = true;
        const uint32_t value = static_cast<uint32_t>(pixel[3]) << 24 | static_cast<uint32_t>(pixel[2]) << 16 |
                               static_cast<uint32_t>(pixel[1]) << 8 | pixel[0];
        if (value == mask) {
            std::memset(pixel, 0, 4);
            image.bAlpha = true;
        }
    }
    return true;
}

DecodedImage ColorImagePixels(const std::wstring& colorText)
{
    const uint32_t color = ParseColor(colorText);
    const uint8_t rgba[4] = {static_cast<uint8_t>(color >> 16), static_cast<uint8_t>(color >> 8),
                             static_cast<uint8_t>(color), static_cast<uint8_t>(color >> 24)};
    DecodedImage image;
    image.nWidth = image.nHeight = 1;
    image.pixels.resize(4);
    image.bAlpha = StorePixel(rgba, image.pixels.data());
    return image;
}

int ScaledImageSide(int side, int sourceDpi, int dpi)
{
    if (side <= 0 || sourceDpi <= 0 || dpi <= 0)
        return 1;
    const long long scaled = (static_cast<long long>(side) * dpi + sourceDpi / 2) / sourceDpi;
    return static_cast<int>(std::max(1LL, std::min<long long>(scaled, kMaxImageSide)));
}

bool ResampleImage(const DecodedImage& in, int width, int height, DecodedImage& out)
{
    out = DecodedImage();
    if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide || in.nWidth <= 0 ||
        in.nHeight <= 0 || in.pixels.size() != static_cast<size_t>(in.nWidth) * static_cast<size_t>(in.nHeight) * 4)
        return false;
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    // Alpha is the fourth channel of BGRA; the filter is the library's
    // default for each direction.
    if (!stbir_resize_uint8_generic(in.pixels.data(), in.nWidth, in.nHeight, in.nWidth * 4, pixels.data(), width,
                                    height, width * 4, 4, 3, STBIR_FLAG_ALPHA_PREMULTIPLIED, STBIR_EDGE_CLAMP,
                                    STBIR_FILTER_DEFAULT, STBIR_COLORSPACE_LINEAR, nullptr))
        return false;
    // The sharpening filters can overshoot: a colour above its alpha is no
    // premultiplied colour and would brighten what the image is blended on.
    out.bAlpha = false;
    for (size_t i = 0; i < pixels.size(); i += 4) {
        const uint8_t alpha = pixels[i + 3];
        for (size_t c = 0; c < 3; ++c)
            pixels[i + c] = std::min(pixels[i + c], alpha);
        if (alpha != 255)
            out.bAlpha = true;
    }
    out.nWidth = width;
    out.nHeight = height;
    out.pixels = std::move(pixels);
    return true;
}

} // namespace SkinUI
