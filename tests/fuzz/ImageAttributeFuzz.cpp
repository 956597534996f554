// Fuzz target of the image attribute parser and the image rectangle
// arithmetic: the bytes are a UTF-8 attribute text; the parsed record is laid
// out over a control and an image whose sizes come from the record itself.
#include "skinui/ImageAttribute.h"

#include "logging/TextEncoding.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::wstring text = Utf8ToWide(std::string(reinterpret_cast<const char*>(data), size));
    const SkinUI::ImageAttribute attr = SkinUI::ParseImageAttribute(text);

    const SkinUI::SkinRect control{10, 20, 10 + 650, 20 + 360};
    const SkinUI::SkinRect dest = SkinUI::ImageDestRect(control, attr.rcDest);
    const int imageWidth = static_cast<int>(attr.dwMask & 0x3FF);
    const int imageHeight = static_cast<int>((attr.dwMask >> 10) & 0x3FF);
    const SkinUI::SkinRect source = SkinUI::ImageSourceRect(attr.rcSource, imageWidth, imageHeight);
    const std::vector<SkinUI::ImagePart> parts =
        SkinUI::LayoutImageParts(dest, source, attr.rcCorner, attr.bHole, attr.bXTiled, attr.bYTiled, control);
    for (const SkinUI::ImagePart& part : parts) {
        // Every part reads inside the source rectangle and has a real size.
        if (part.rcSource.left < source.left || part.rcSource.right > source.right ||
            part.rcSource.top < source.top || part.rcSource.bottom > source.bottom ||
            part.rcDest.IsEmpty() || part.rcSource.IsEmpty())
            __builtin_trap();
    }
    return 0;
}
