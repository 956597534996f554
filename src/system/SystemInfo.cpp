// The portable helpers of SystemInfo.h.
#include "system/SystemInfo.h"

#include "logging/FileSystem.h"
#include "logging/TextFormat.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <vector>

std::wstring GetFileNameFromPath(const std::wstring& path)
{
    if (path.empty())
        return std::wstring();
    size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

std::wstring MakeDataFolder(const std::wstring& programFilesFolder, const std::wstring& executablePath)
{
    std::wstring name = GetFileNameFromPath(executablePath);
    size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos)
        name = name.substr(0, dot);
    return programFilesFolder + L"corvane_down\\" + name + L"\\";
}

std::wstring AnsiToWide(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    std::setlocale(LC_CTYPE, "");
    std::vector<wchar_t> buffer(text.size() * 2 + 1, L'\0');
    size_t n = std::mbstowcs(buffer.data(), text.c_str(), buffer.size() - 1);
    if (n == static_cast<size_t>(-1))
        return std::wstring();  // not valid in the user's code page
    return std::wstring(buffer.data());
}

std::string WideToAnsi(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    std::setlocale(LC_CTYPE, "");
    std::vector<char> buffer(text.size() * 4 + 1, '\0');
    size_t n = std::wcstombs(buffer.data(), text.c_str(), buffer.size() - 1);
    if (n == static_cast<size_t>(-1))
        return std::string();  // a character the code page cannot hold
    return std::string(buffer.data());
}

bool FileExists(const std::wstring& path)
{
    std::FILE* file = FsOpenFile(path, "r");
    if (file == nullptr)
        return false;
    std::fclose(file);
    return true;
}

uint32_t BytesToMiB(uint64_t bytes)
{
    return static_cast<uint32_t>(bytes >> 20);
}

std::wstring FormatClientId(uint32_t data1, uint16_t data2, uint16_t data3, const uint8_t data4[8])
{
    char text[64];
    FormatTextInto(text, sizeof(text), "%08X-%04X-%04x-%02X%02X-%02X%02X%02X%02X%02X%02X",
                  static_cast<unsigned>(data1), static_cast<unsigned>(data2),
                  static_cast<unsigned>(data3), data4[0], data4[1], data4[2], data4[3], data4[4],
                  data4[5], data4[6], data4[7]);
    return std::wstring(text, text + 36);
}
