// The portable INI reader: decoding, name matching, duplicate handling and
// the two buffer cuts. The same fixtures are compared with the system's own
// functions by the Windows conformance test.
#include "common/TestSupport.h"
#include "config/IniFile.h"
#include "logging/TextEncoding.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// A byte string literal with its embedded zeros.
template <size_t N>
std::string Bytes(const char (&text)[N])
{
    return std::string(text, N - 1);
}

std::string Utf16File(const std::wstring& text)
{
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        unsigned long cp = static_cast<unsigned long>(c);
        if (cp > 0xFFFF) {
            cp -= 0x10000;
            const unsigned long hi = 0xD800 + (cp >> 10), lo = 0xDC00 + (cp & 0x3FF);
            bytes += static_cast<char>(hi & 0xFF);
            bytes += static_cast<char>(hi >> 8);
            bytes += static_cast<char>(lo & 0xFF);
            bytes += static_cast<char>(lo >> 8);
        } else {
            bytes += static_cast<char>(cp & 0xFF);
            bytes += static_cast<char>(cp >> 8);
        }
    }
    return bytes;
}

std::map<std::wstring, std::wstring> Section(const std::string& fixture, const std::wstring& section)
{
    std::map<std::wstring, std::wstring> values;
    EXPECT_TRUE(ReadIniSection(testsupport::FixturePath(fixture), section, values));
    return values;
}

} // namespace

TEST(IniFile, DecodesByByteOrderMark)
{
    struct Case { std::string bytes; std::wstring text; };
    const Case cases[] = {
        {Bytes("\xFF\xFE" "a\0=\0\xE9\0"), L"a=\u00e9"},
        {Bytes("\xFE\xFF" "\0a\0=\0\xE9"), L"a=\u00e9"},
        {"\xEF\xBB\xBF" "a=\xC3\xA9", L"a=\u00e9"},
        {"a=\xE9\x80", L"a=\u00e9\u20ac"},           // Windows-1252
        {"", L""},
        {"\xFF\xFE" "a", L""},                        // odd byte dropped
    };
    for (const Case& c : cases)
        EXPECT_EQ(WideToUtf8(DecodeIniText(c.bytes)), WideToUtf8(c.text)) << testing::PrintToString(c.bytes);
}

TEST(IniFile, SurrogatePairsSurviveOnBothWidths)
{
    CIniFile ini;
    ini.Parse(Utf16File(L"[S]\r\nk=x\U0001F600y\r\n"));
    EXPECT_EQ(WideToUtf8(ini.GetString(L"S", L"k", kIniStringBuffer)), "x\xF0\x9F\x98\x80y");
}

TEST(IniFile, SectionEntriesAsTheSystemGivesThem)
{
    const auto alpha = Section("ini/utf16.ini", L"ALPHA");
    const std::map<std::wstring, std::wstring> expected = {
        {L"Key1", L"one"},
        {L"Spaced Key", L"spaced value"},
        {L"two", L"a=b=c"},                      // only the first "=" splits
        {L"dup", L"first"},
        {L"DUP", L"second"},                     // map keys keep their case
        {L"no equals sign here", L""},
        {L"", L"value without name"},
        {L"empty", L""},
        {L"quoted", L"\"in quotes\""},           // the section read keeps quotes
        {L"half", L"\"open quote"},
        {L"nbsp", L"Start\u00a0Now"},
        {L"unicode", L"\u65e5\u672c\u8a9e \ud55c\uad6d\uc5b4 \u00c4\u00d6\u00dc"},
        {L"tabbed", L"tab value"},
    };
    EXPECT_EQ(alpha, expected);
    // A second section of the same name is never read.
    EXPECT_EQ(alpha.count(L"late"), 0u);
}

TEST(IniFile, MissingFileOrSectionAddsNothing)
{
    std::map<std::wstring, std::wstring> values = {{L"kept", L"1"}};
    EXPECT_TRUE(ReadIniSection(testsupport::FixturePath("ini/no-such.ini"), L"Alpha", values));
    EXPECT_TRUE(ReadIniSection(testsupport::FixturePath("ini/utf16.ini"), L"Nowhere", values));
    EXPECT_TRUE(ReadIniSection(testsupport::FixturePath("ini/utf16.ini"), L"Empty", values));
    EXPECT_EQ(values.size(), 1u);
    EXPECT_EQ(ReadIniString(testsupport::FixturePath("ini/no-such.ini"), L"Alpha", L"Key1"), L"");
}

TEST(IniFile, FirstOccurrenceWinsAcrossReads)
{
    std::map<std::wstring, std::wstring> values = {{L"Key1", L"earlier"}};
    ReadIniSection(testsupport::FixturePath("ini/utf16.ini"), L"Alpha", values);
    EXPECT_EQ(values[L"Key1"], L"earlier");
    EXPECT_EQ(values[L"two"], L"a=b=c");
}

TEST(IniFile, SingleValues)
{
    struct Case { const char* file; const wchar_t* section; const wchar_t* key; const wchar_t* value; };
    const Case cases[] = {
        {"ini/utf16.ini", L"alpha", L"KEY1", L"one"},
        {"ini/utf16.ini", L"Alpha", L"dup", L"first"},
        {"ini/utf16.ini", L"Alpha", L"quoted", L"in quotes"},
        {"ini/utf16.ini", L"Alpha", L"half", L"\"open quote"},
        {"ini/utf16.ini", L"Alpha", L"late", L""},
        {"ini/utf16.ini", L"Alpha", L"stray", L""},
        {"ini/utf16.ini", L"Gamma", L"afterbadheader", L""},
        {"ini/utf16.ini", L"Empty", L"afterbadheader", L""},
        {"ini/utf16.ini", L"spaced header", L"trailing nbsp", L"ends in a no-break space\u00a0"},
        {"ini/utf16.ini", L"Last", L"final", L"no line end"},
        {"ini/ansi.ini", L"ansi", L"accent", L"caf\u00e9 na\u00efve"},
        {"ini/ansi.ini", L"ANSI", L"euro", L"price \u20ac 5"},
        {"ini/ansi.ini", L"Ansi", L"mixedCASE", L"Value"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WideToUtf8(ReadIniString(testsupport::FixturePath(c.file), c.section, c.key)), WideToUtf8(c.value))
            << c.file << " " << WideToUtf8(c.section) << " " << WideToUtf8(c.key);
}

TEST(IniFile, StringReadIsCutAt255Characters)
{
    const std::wstring file = testsupport::FixturePath("ini/long.ini");
    const std::wstring longValue = ReadIniString(file, L"Wide", L"long");
    ASSERT_EQ(longValue.size(), 255u);
    EXPECT_EQ(longValue.substr(0, 3), L"abc");
    EXPECT_EQ(ReadIniString(file, L"Wide", L"exact"), std::wstring(255, L'x'));
}

TEST(IniFile, SectionReadIsCutAt4096Characters)
{
    const std::wstring file = testsupport::FixturePath("ini/long.ini");
    std::map<std::wstring, std::wstring> values;
    ReadIniSection(file, L"Long", values);
    // Each entry takes 46 characters with its zero: 89 fill 4094 of them, and
    // the last two hold the closing zeros.
    ASSERT_EQ(values.size(), 89u);
    EXPECT_EQ(values[L"entry088"], L"value088-value088-value088-value088-");
    EXPECT_EQ(values.count(L"entry089"), 0u);

    CIniFile ini;
    ASSERT_TRUE(ini.Load(file));
    const std::wstring block = ini.SectionBlock(L"Long", kIniSectionBuffer);
    EXPECT_LE(block.size(), kIniSectionBuffer);
    ASSERT_GE(block.size(), 2u);
    EXPECT_EQ(block[block.size() - 1], L'\0');
    EXPECT_EQ(block[block.size() - 2], L'\0');

    values.clear();
    ReadIniSection(file, L"Cut", values);
    // "k=", the value, its zero and the closing zero fill the 4096 exactly.
    EXPECT_EQ(values[L"k"], std::wstring(4092, L'y'));
}

TEST(IniFile, MalformedBytesNeverCrash)
{
    const std::string inputs[] = {
        std::string("\xFF\xFE[\0", 4), "[", "]", "[]", "=", "==", "[a]\r\n=\r\n", std::string("[a]\0k=v", 7),
        "\r\r\n\n", std::string("\xFF\xFE\x00\xD8", 4), "[a\r\nk=v",
    };
    for (const std::string& bytes : inputs) {
        CIniFile ini;
        ini.Parse(bytes);
        const std::wstring block = ini.SectionBlock(L"a", 8);
        EXPECT_LE(block.size(), 8u) << testing::PrintToString(bytes);
        EXPECT_LE(ini.GetString(L"a", L"k", 2).size(), 1u);
    }
}
