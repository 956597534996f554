// The INI reader over arbitrary bytes: parsing, every section read with a
// small and the full buffer, and single-key reads must neither crash nor
// overrun the buffer sizes they emulate.
#include "config/IniFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    CIniFile ini;
    ini.Parse(bytes);
    for (const wchar_t* section : {L"LANSTR", L"URL", L"PRODUCT", L"Language", L"a", L""}) {
        for (size_t capacity : {size_t(0), size_t(1), size_t(2), size_t(7), kIniSectionBuffer}) {
            const std::wstring block = ini.SectionBlock(section, capacity);
            if (block.size() > capacity)
                std::abort();
        }
        for (const wchar_t* key : {L"STR_INSTALL", L"1033", L"k", L""}) {
            if (ini.GetString(section, key, kIniStringBuffer).size() >= kIniStringBuffer)
                std::abort();
        }
    }
    return 0;
}
