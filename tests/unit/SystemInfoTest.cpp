#include "system/SystemInfo.h"

#include "common/TestSupport.h"
#include "logging/TextEncoding.h"

#include <gtest/gtest.h>

TEST(SystemInfo, FileNameFromPath)
{
    struct Case { const wchar_t* in; const wchar_t* out; };
    const Case cases[] = {
        {L"C:\\Program Files\\Setup.exe", L"Setup.exe"},
        {L"C:/a/b/c.txt", L"c.txt"},
        {L"mixed/dir\\name.ext", L"name.ext"},
        {L"bare", L"bare"},
        {L"ends\\", L""},
        {L"", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetFileNameFromPath(c.in), c.out) << WideToUtf8(c.in);
}

TEST(SystemInfo, DataFolderDropsOnlyTheLastExtension)
{
    const std::wstring pf = L"C:\\Program Files\\";
    EXPECT_EQ(MakeDataFolder(pf, L"D:\\dl\\Setup.exe"), L"C:\\Program Files\\corvane_down\\Setup\\");
    EXPECT_EQ(MakeDataFolder(pf, L"D:\\dl\\Setup"), L"C:\\Program Files\\corvane_down\\Setup\\");
    EXPECT_EQ(MakeDataFolder(pf, L"D:\\dl\\Setup.full.exe"), L"C:\\Program Files\\corvane_down\\Setup.full\\");
    EXPECT_EQ(MakeDataFolder(L"\\", L"x.exe"), L"\\corvane_down\\x\\");
}

TEST(SystemInfo, MiBAndClientIdFormat)
{
    EXPECT_EQ(BytesToMiB(1536ull << 20), 1536u);                     // 1.5 GiB
    EXPECT_EQ(BytesToMiB((1ull << 20) - 1), 0u);                     // rounds down
    EXPECT_EQ(BytesToMiB(5ull << 40), static_cast<uint32_t>(5u << 20));  // 5 TiB still fits

    const uint8_t tail[8] = {0xAB, 0xCD, 0x01, 0x23, 0x45, 0x67, 0x89, 0xEF};
    EXPECT_EQ(FormatClientId(0x1a2b3c4d, 0xbeef, 0xCAFE, tail), L"1A2B3C4D-BEEF-cafe-ABCD-0123456789EF");
    EXPECT_EQ(FormatClientId(0, 0, 0, tail).size(), 36u);
}

TEST(SystemInfo, AnsiConversionAndFileExists)
{
    EXPECT_EQ(AnsiToWide("com_english"), L"com_english");
    EXPECT_EQ(WideToAnsi(L"com_english"), "com_english");
    EXPECT_EQ(AnsiToWide(""), L"");
    EXPECT_EQ(WideToAnsi(L""), "");

    const std::wstring dir = testsupport::MakeTempDir("exists");
    EXPECT_FALSE(FileExists(dir + L"\\none.png"));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir + L"\\pr_1.png", "png"));
    EXPECT_TRUE(FileExists(dir + L"\\pr_1.png"));
    testsupport::RemoveTree(dir);
}
