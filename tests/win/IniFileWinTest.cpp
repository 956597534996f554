// The portable INI reader against the system's private-profile functions:
// the same fixture files read both ways must give the same section blocks
// and the same single values.
#include "common/TestSupport.h"
#include "config/IniFile.h"
#include "logging/TextEncoding.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

namespace {

// A section block made visible: zeros as "|".
std::string Show(const std::wstring& block)
{
    std::wstring shown = block;
    for (wchar_t& c : shown)
        if (c == L'\0')
            c = L'|';
    return WideToUtf8(shown);
}

std::wstring SystemSection(const std::wstring& file, const std::wstring& section, size_t capacity)
{
    std::vector<wchar_t> buffer(capacity, L'\0');
    GetPrivateProfileSectionW(section.c_str(), buffer.data(), static_cast<DWORD>(capacity), file.c_str());
    return std::wstring(buffer.data(), buffer.size());
}

// The entries of a block as a reader walks them: up to the first empty one.
std::wstring Entries(const std::wstring& block)
{
    size_t end = 0;
    while (end < block.size() && block[end] != L'\0') {
        const size_t zero = block.find(L'\0', end);
        if (zero == std::wstring::npos)
            return block + L'\0';
        end = zero + 1;
    }
    return block.substr(0, end) + L'\0';
}

std::wstring SystemString(const std::wstring& file, const std::wstring& section, const std::wstring& key)
{
    wchar_t buffer[kIniStringBuffer] = {};
    GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", buffer, kIniStringBuffer, file.c_str());
    return buffer;
}

struct SectionCase {
    const char* file;
    const wchar_t* section;
    size_t capacity;
};

struct StringCase {
    const char* file;
    const wchar_t* section;
    const wchar_t* key;
};

} // namespace

TEST(IniFileConformance, SectionBlocksMatchTheSystem)
{
    const SectionCase cases[] = {
        {"ini/utf16.ini", L"Alpha", kIniSectionBuffer},
        {"ini/utf16.ini", L"alpha", kIniSectionBuffer},
        {"ini/utf16.ini", L"ALPHA", kIniSectionBuffer},
        {"ini/utf16.ini", L"beta", kIniSectionBuffer},
        {"ini/utf16.ini", L"Empty", kIniSectionBuffer},
        {"ini/utf16.ini", L"Last", kIniSectionBuffer},
        {"ini/utf16.ini", L"Missing", kIniSectionBuffer},
        {"ini/utf16.ini", L"Gamma", kIniSectionBuffer},
        {"ini/utf16.ini", L" alpha ", kIniSectionBuffer},
        {"ini/utf16.ini", L"Spaced Header", kIniSectionBuffer},
        {"ini/ansi.ini", L"Ansi", kIniSectionBuffer},
        {"ini/ansi.ini", L"other", kIniSectionBuffer},
        {"ini/long.ini", L"Long", kIniSectionBuffer},
        {"ini/long.ini", L"Long", 100},
        {"ini/long.ini", L"Long", 31},
        {"ini/long.ini", L"Wide", kIniSectionBuffer},
        {"ini/long.ini", L"Cut", kIniSectionBuffer},
        {"ini/missing-file.ini", L"Alpha", kIniSectionBuffer},
    };
    for (const SectionCase& c : cases) {
        const std::wstring file = testsupport::FixturePath(c.file);
        CIniFile ini;
        ini.Load(file);
        EXPECT_EQ(Show(Entries(SystemSection(file, c.section, c.capacity))),
                  Show(Entries(ini.SectionBlock(c.section, c.capacity))))
            << c.file << " [" << WideToUtf8(c.section) << "] capacity " << c.capacity;
    }
}

TEST(IniFileConformance, SingleValuesMatchTheSystem)
{
    const StringCase cases[] = {
        {"ini/utf16.ini", L"Alpha", L"Key1"},
        {"ini/utf16.ini", L"alpha", L"key1"},
        {"ini/utf16.ini", L"Alpha", L"Spaced Key"},
        {"ini/utf16.ini", L"Alpha", L"spaced key"},
        {"ini/utf16.ini", L"Alpha", L"two"},
        {"ini/utf16.ini", L"Alpha", L"dup"},
        {"ini/utf16.ini", L"Alpha", L"no equals sign here"},
        {"ini/utf16.ini", L"Alpha", L"empty"},
        {"ini/utf16.ini", L"Alpha", L"quoted"},
        {"ini/utf16.ini", L"Alpha", L"half"},
        {"ini/utf16.ini", L"Alpha", L"nbsp"},
        {"ini/utf16.ini", L"Alpha", L"unicode"},
        {"ini/utf16.ini", L"Alpha", L"tabbed"},
        {"ini/utf16.ini", L"Alpha", L"late"},
        {"ini/utf16.ini", L"Alpha", L"stray"},
        {"ini/utf16.ini", L"BETA", L"KEY"},
        {"ini/utf16.ini", L"Gamma", L"afterbadheader"},
        {"ini/utf16.ini", L"Empty", L"afterbadheader"},
        {"ini/utf16.ini", L"Last", L"final"},
        {"ini/utf16.ini", L"spaced header", L"trailing nbsp"},
        {"ini/utf16.ini", L"Nowhere", L"final"},
        {"ini/ansi.ini", L"ansi", L"accent"},
        {"ini/ansi.ini", L"ansi", L"euro"},
        {"ini/ansi.ini", L"ansi", L"mixedcase"},
        {"ini/long.ini", L"Wide", L"long"},
        {"ini/long.ini", L"Wide", L"exact"},
        {"ini/long.ini", L"Long", L"entry119"},
        {"ini/missing-file.ini", L"Alpha", L"Key1"},
    };
    for (const StringCase& c : cases) {
        const std::wstring file = testsupport::FixturePath(c.file);
        EXPECT_EQ(WideToUtf8(SystemString(file, c.section, c.key)),
                  WideToUtf8(ReadIniString(file, c.section, c.key)))
            << c.file << " [" << WideToUtf8(c.section) << "] " << WideToUtf8(c.key);
    }
}

TEST(IniFileConformance, ShippedPackageFilesMatchTheSystem)
{
    const std::string package = std::string(PW_SOURCE_DIR) + "/resources/package/";
    struct FileSection { std::string file; const wchar_t* section; };
    std::vector<FileSection> cases = {{"language.ini", L"Language"}, {"productInfo.ini", L"PRODUCT"}};
    for (const char* lang : {"ChineseTW", "Dutch", "English", "French", "German", "Italian", "Japanese", "Korean",
                             "Portuguese", "Spanish"})
        cases.push_back({std::string(lang) + "/text.ini", L"LANSTR"});
    for (const FileSection& c : cases) {
        const std::wstring file = testsupport::HostPath(package + c.file);
        CIniFile ini;
        ASSERT_TRUE(ini.Load(file)) << c.file;
        const std::wstring system = Entries(SystemSection(file, c.section, kIniSectionBuffer));
        EXPECT_GT(system.size(), 100u) << c.file;
        EXPECT_EQ(Show(system), Show(Entries(ini.SectionBlock(c.section, kIniSectionBuffer)))) << c.file;
    }
    const std::wstring languages = testsupport::HostPath(package + "language.ini");
    for (const wchar_t* code : {L"1033", L"1028", L"1043", L"1036", L"1031", L"1040", L"1041", L"3082", L"2070",
                                L"1042", L"2057", L"1046"})
        EXPECT_EQ(WideToUtf8(SystemString(languages, L"Language", code)),
                  WideToUtf8(ReadIniString(languages, L"Language", code)))
            << WideToUtf8(code);
}
