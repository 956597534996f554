#include "config/IniFile.h"

#include "config/TextUtil.h"
#include "logging/FileSystem.h"
#include "logging/TextEncoding.h"

#include <algorithm>
#include <cstdio>

namespace {

// Characters 0x80-0x9F of Windows-1252; the five unassigned ones map to the
// control character of the same number, as the system conversion does.
const wchar_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void AppendCodePoint(std::wstring& out, unsigned long cp)
{
    if (sizeof(wchar_t) == 2 && cp > 0xFFFF) {
        cp -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (cp >> 10));
        out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<wchar_t>(cp);
    }
}

std::wstring DecodeUtf16(const std::string& bytes, size_t start, bool bigEndian)
{
    std::wstring out;
    out.reserve((bytes.size() - start) / 2);
    for (size_t i = start; i + 1 < bytes.size(); i += 2) {
        const unsigned char b0 = static_cast<unsigned char>(bytes[i]);
        const unsigned char b1 = static_cast<unsigned char>(bytes[i + 1]);
        unsigned long unit = bigEndian ? (b0 << 8 | b1) : (b1 << 8 | b0);
        // Where wchar_t holds 32 bits, pairs of surrogates become one
        // character; a lone surrogate is kept as it stands.
        if (sizeof(wchar_t) > 2 && unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
            const unsigned char c0 = static_cast<unsigned char>(bytes[i + 2]);
            const unsigned char c1 = static_cast<unsigned char>(bytes[i + 3]);
            const unsigned long low = bigEndian ? (c0 << 8 | c1) : (c1 << 8 | c0);
            if (low >= 0xDC00 && low < 0xE000) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        AppendCodePoint(out, unit);
    }
    return out;
}

bool IsBlank(wchar_t c)
{
    // 0x1A is the old end-of-file mark, treated as a blank by the system.
    return c == L' ' || (c >= L'\t' && c <= L'\r') || c == 0x1A;
}

wchar_t FoldCase(wchar_t c)
{
    if (c >= L'A' && c <= L'Z')
        return static_cast<wchar_t>(c - L'A' + L'a');
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return static_cast<wchar_t>(c + 0x20);
    return c;
}

bool SameName(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    return true;
}

std::wstring Trim(const std::wstring& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

// Appends at most `room` - 1 characters of `text` and a terminating zero, as
// a bounded copy into the remaining buffer does; returns the characters used
// including the zero.
size_t CopyBounded(std::wstring& out, const std::wstring& text, size_t room)
{
    const size_t n = room == 0 ? 0 : std::min(text.size(), room - 1);
    out.append(text, 0, n);
    out += L'\0';
    return n + 1;
}

} // namespace

std::wstring DecodeIniText(const std::string& bytes)
{
    const auto byteAt = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 2 && byteAt(0) == 0xFF && byteAt(1) == 0xFE)
        return DecodeUtf16(bytes, 2, false);
    if (bytes.size() >= 2 && byteAt(0) == 0xFE && byteAt(1) == 0xFF)
        return DecodeUtf16(bytes, 2, true);
    if (bytes.size() >= 3 && byteAt(0) == 0xEF && byteAt(1) == 0xBB && byteAt(2) == 0xBF)
        return Utf8ToWide(bytes.substr(3));
    std::wstring out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char c = byteAt(i);
        out += (c >= 0x80 && c < 0xA0) ? kCp1252High[c - 0x80] : static_cast<wchar_t>(c);
    }
    return out;
}

bool CIniFile::Load(const std::wstring& path)
{
    sections.clear();
#ifdef _WIN32
    FILE* file = _wfopen(path.c_str(), L"rb");
#else
    FILE* file = std::fopen(FsNativePath(path).c_str(), "rb");
#endif
    if (file == nullptr)
        return false;
    std::string bytes;
    char buffer[16384];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), file)) > 0)
        bytes.append(buffer, n);
    std::fclose(file);
    Parse(bytes);
    return true;
}

void CIniFile::Parse(const std::string& bytes)
{
    sections.clear();
    const std::wstring text = DecodeIniText(bytes);
    // Lines before the first header belong to a section without a name,
    // which no read with a named section reaches.
    sections.push_back(Section());
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of(L"\r\n", pos);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(pos, end - pos);
        pos = end;
        while (pos < text.size() && (text[pos] == L'\r' || text[pos] == L'\n'))
            ++pos;
        // A zero character ends the line's text.
        const size_t zero = line.find(L'\0');
        if (zero != std::wstring::npos)
            line.erase(zero);
        line = Trim(line);
        if (line.empty())
            continue;
        if (line[0] == L'[') {
            const size_t close = line.rfind(L']');
            if (close != std::wstring::npos) {
                Section section;
                section.name = Trim(line.substr(1, close - 1));
                sections.push_back(std::move(section));
            }
            // A header without "]" is ignored; its lines stay with the
            // section before.
            continue;
        }
        Line entry;
        std::wstring name;
        std::wstring value;
        entry.hasValue = SplitAtFirst(line, L"=", name, value);
        entry.name = entry.hasValue ? Trim(name) : line;
        entry.value = entry.hasValue ? Trim(value) : std::wstring();
        sections.back().lines.push_back(std::move(entry));
    }
}

const CIniFile::Section* CIniFile::FindSection(const std::wstring& name) const
{
    // Only the first section of a name is ever read. Header names are read
    // without their blanks; the name asked for is taken as it stands.
    for (size_t i = 1; i < sections.size(); ++i)
        if (SameName(sections[i].name, name))
            return &sections[i];
    return nullptr;
}

std::wstring CIniFile::SectionBlock(const std::wstring& sectionName, size_t capacity) const
{
    std::wstring out;
    if (capacity < 2)
        return capacity == 1 ? std::wstring(1, L'\0') : out;
    const Section* section = FindSection(sectionName);
    size_t room = capacity;
    if (section != nullptr) {
        for (const Line& line : section->lines) {
            if (room <= 2)
                break;
            if (!line.name.empty() && line.name[0] == L';')
                continue;  // comment
            room -= CopyBounded(out, line.name, room - 1);
            if (room < 2)
                break;
            if (line.hasValue) {
                out.back() = L'=';
                room -= CopyBounded(out, line.value, room - 1);
            }
        }
    }
    out += L'\0';
    return out;
}

std::wstring CIniFile::GetString(const std::wstring& sectionName, const std::wstring& key, size_t capacity,
                                 bool* found) const
{
    if (found != nullptr)
        *found = false;
    const Section* section = FindSection(sectionName);
    if (section == nullptr || capacity == 0)
        return std::wstring();
    const std::wstring wanted = Trim(key);
    for (const Line& line : section->lines) {
        if (!SameName(line.name, wanted))
            continue;
        if (!line.hasValue)
            return std::wstring();
        if (found != nullptr)
            *found = true;
        std::wstring value = line.value;
        // A value in a matching pair of quotes is read without them.
        if (value.size() >= 2 && (value[0] == L'"' || value[0] == L'\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        if (value.size() > capacity - 1)
            value.resize(capacity - 1);
        return value;
    }
    return std::wstring();
}

bool ReadIniSection(const std::wstring& file, const std::wstring& section,
                    std::map<std::wstring, std::wstring>& values)
{
    CIniFile ini;
    if (!ini.Load(file))
        return true;
    const std::wstring block = ini.SectionBlock(section, kIniSectionBuffer);
    size_t pos = 0;
    while (pos < block.size() && block[pos] != L'\0') {
        size_t end = block.find(L'\0', pos);
        if (end == std::wstring::npos)
            end = block.size();
        std::wstring key;
        std::wstring value;
        SplitAtFirst(block.substr(pos, end - pos), L"=", key, value);
        values.emplace(key, value);  // the first occurrence wins
        pos = end + 1;
    }
    return true;
}

std::wstring ReadIniString(const std::wstring& file, const std::wstring& section, const std::wstring& key)
{
    CIniFile ini;
    if (!ini.Load(file))
        return std::wstring();
    return ini.GetString(section, key, kIniStringBuffer);
}
