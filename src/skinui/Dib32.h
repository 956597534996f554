// Top-down 32-bit DIB sections: the pixel buffers the renderer, the image
// cache and the layered window paint into (BGRA, first row at the top).
#pragma once

#ifdef _WIN32

#include "logging/Log.h"

#include <windows.h>

namespace SkinUI {

// The header of a top-down 32-bit BI_RGB bitmap of width x height.
inline BITMAPINFO Dib32Info(int width, int height)
{
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    return bmi;
}

// A top-down 32-bit DIB section; nullptr (logged) on failure. bits, when
// given, receives the pixels (nullptr on failure).
inline HBITMAP CreateDib32(int width, int height, void** bits = nullptr)
{
    if (bits != nullptr)
        *bits = nullptr;
    BITMAPINFO bmi = Dib32Info(width, height);
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (bitmap == nullptr || pixels == nullptr) {
        LOG_INFO("CreateDIBSection failed for %dx%d, error %lu", width, height,
                 static_cast<unsigned long>(GetLastError()));
        if (bitmap != nullptr)
            DeleteObject(bitmap);
        return nullptr;
    }
    if (bits != nullptr)
        *bits = pixels;
    return bitmap;
}

// The same with the pixels typed (DWORD per pixel, or BYTE per channel).
template <class T>
HBITMAP CreateDib32(int width, int height, T** bits)
{
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDib32(width, height, &pixels);
    *bits = static_cast<T*>(pixels);
    return bitmap;
}

} // namespace SkinUI

#endif // _WIN32
