#include "logging/FileSystem.h"
#include "logging/PathUtil.h"
#include "logging/TextEncoding.h"

#include "common/TestSupport.h"

#include <gtest/gtest.h>

TEST(PathUtil, NormalizeCollapsesPairsLeftToRight)
{
    struct Case { const wchar_t* in; const wchar_t* out; };
    const Case cases[] = {
        {L"a//b\\\\c", L"a\\b\\c"},
        {L"a///b", L"a\\\\b"},  // a run of three becomes two
        {L"a////b", L"a\\\\b"},
        {L"C:/x/y/", L"C:\\x\\y\\"},
        {L"", L""},
        {L"plain", L"plain"},
        {L"\\\\server\\share", L"\\server\\share"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NormalizePath(c.in), c.out) << WideToUtf8(c.in);
}

TEST(PathUtil, StripTrailingSeparator)
{
    struct Case { const wchar_t* in; const wchar_t* out; };
    const Case cases[] = {
        {L"C:\\dir\\", L"C:\\dir"},
        {L"C:/dir//", L"C:\\dir"},
        {L"\\", L"\\"},  // too short to lose its separator
        {L"a\\", L"a"},
        {L"", L""},
        {L"dir", L"dir"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StripTrailingSeparator(c.in), c.out) << WideToUtf8(c.in);
}

TEST(PathUtil, CreateDirectoryChainMakesEveryMissingLevel)
{
    const std::wstring root = testsupport::MakeTempDir("chain");
    const std::wstring deep = root + L"/one//two\\three/";
    EXPECT_FALSE(PathExists(root + L"\\one"));
    EXPECT_TRUE(CreateDirectoryChain(deep));
    EXPECT_TRUE(FsIsDirectory(root + L"\\one\\two\\three"));
    EXPECT_TRUE(CreateDirectoryChain(deep)) << "an existing folder is a success";
    EXPECT_FALSE(CreateDirectoryChain(L""));

    // A file in the way cannot become a folder.
    ASSERT_TRUE(testsupport::WriteFileBytes(root + L"\\file", "x"));
    EXPECT_FALSE(CreateDirectoryChain(root + L"\\file\\below"));
    testsupport::RemoveTree(root);
}

TEST(TextEncoding, Utf8RoundTripAndMalformedInput)
{
    const std::wstring text = L"Gr\u00fc\u00dfe \u65e5\u672c \U0001F600";
    EXPECT_EQ(Utf8ToWide(WideToUtf8(text)), text);
    EXPECT_EQ(WideToUtf8(L"\u00e9"), "\xC3\xA9");
    EXPECT_EQ(WideToUtf8(L"\U0001F600"), "\xF0\x9F\x98\x80");

    struct Case { std::string in; std::wstring out; };
    const Case cases[] = {
        {"\xC3", L"\uFFFD"},                   // truncated at the end
        {"\xC3(", L"\uFFFD("},                 // bad continuation
        {"\xC0\xAF", L"\uFFFD\uFFFD"},         // overlong form
        {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},  // encoded surrogate
        {"\xFF", L"\uFFFD"},
        {"ok", L"ok"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Utf8ToWide(c.in), c.out) << testing::PrintToString(c.in);
}
