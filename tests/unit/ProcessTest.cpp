#include "system/PayloadVerifier.h"
#include "system/Process.h"

#include <gtest/gtest.h>

namespace {

std::wstring Expected(const std::wstring& folder)
{
    return L" /verysilent /corvane_down /wait_run /path=\"" + folder + L"\"";
}

} // namespace

TEST(SilentInstallerCommandLine, FolderIsQuotedExactlyAsGiven)
{
    const std::wstring folders[] = {
        L"C:\\Program Files\\",        // trailing separator stays: ...\"
        L"D:\\Apps",
        L"C:\\dir with spaces\\x\\",
        L"",
    };
    for (const std::wstring& folder : folders) {
        std::wstring line = L"unchanged";
        ASSERT_TRUE(BuildSilentInstallerCommandLine(folder, line)) << testing::PrintToString(folder);
        EXPECT_EQ(line, Expected(folder));
    }
    std::wstring line;
    ASSERT_TRUE(BuildSilentInstallerCommandLine(L"C:\\Root\\", line));
    EXPECT_EQ(line.substr(line.size() - 2), L"\\\"");  // backslash, then the closing quote
    EXPECT_EQ(std::wstring(kSilentInstallerSwitches).size(), 44u);
}

TEST(SilentInstallerCommandLine, FolderMustFitTheBuffer)
{
    struct Case { size_t length; bool fits; };
    const Case cases[] = {{1, true}, {209, true}, {210, true}, {211, false}, {300, false}};
    for (const Case& c : cases) {
        std::wstring folder = L"C:\\" + std::wstring(c.length - 1, L'a');
        folder.resize(c.length, L'a');
        std::wstring line = L"untouched";
        EXPECT_EQ(BuildSilentInstallerCommandLine(folder, line), c.fits) << "length " << c.length;
        if (c.fits) {
            EXPECT_EQ(line, Expected(folder));
            EXPECT_LE(line.size() + 1, kInstallerCommandLineBuffer) << "length " << c.length;
        } else {
            EXPECT_EQ(line, L"untouched") << "length " << c.length;
        }
    }
}

// The root pin of the installer's signature check: exactly 64 hex digits.
// Anything a lenient number parser would take (blanks, "0x", signs) refuses.
TEST(PayloadRootPin, OnlySixtyFourHexDigits)
{
    const std::wstring digits = L"00112233445566778899aabbccddeeffFFEEDDCCBBAA99887766554433221100";
    Sha256Digest digest{};
    ASSERT_TRUE(ParseSha256Hex(digits, digest));
    EXPECT_EQ(digest[0], 0x00);
    EXPECT_EQ(digest[5], 0x55);
    EXPECT_EQ(digest[15], 0xff);
    EXPECT_EQ(digest[16], 0xff);
    EXPECT_EQ(digest[31], 0x00);
    const std::wstring refused[] = {
        L"", digits.substr(1), digits + L"0", L" " + digits.substr(1), L"0x" + digits.substr(2),
        L"-" + digits.substr(1), digits.substr(0, 63) + L"g",
    };
    for (const std::wstring& text : refused) {
        Sha256Digest untouched{};
        untouched[0] = 0x42;
        EXPECT_FALSE(ParseSha256Hex(text, untouched)) << text.size();
        EXPECT_EQ(untouched[0], 0x42);
    }
}

// The lowest accepted version of the downloaded installer: up to four
// decimal parts of 0 to 65535, missing ones 0; nothing else.
TEST(PayloadMinVersion, ReadsUpToFourPartsAndNothingElse)
{
    const struct {
        const wchar_t* text;
        uint64_t version;
    } read[] = {{L"2", 0x0002000000000000}, {L"2.3", 0x0002000300000000}, {L"1.2.3.4", 0x0001000200030004},
                {L"65535.0.0.65535", 0xFFFF00000000FFFF}, {L"007.1", 0x0007000100000000}};
    for (const auto& c : read) {
        uint64_t version = 0;
        EXPECT_TRUE(ParseFileVersion(c.text, version)) << testing::PrintToString(std::wstring(c.text));
        EXPECT_EQ(version, c.version) << testing::PrintToString(std::wstring(c.text));
    }
    for (const wchar_t* text : {L"", L".", L"1.", L".1", L"1..2", L"1.2.3.4.5", L"65536", L"99999999999", L" 1",
                                L"1 ", L"+1", L"-1", L"1,2", L"0x10", L"1.2a"}) {
        uint64_t untouched = 42;
        EXPECT_FALSE(ParseFileVersion(text, untouched)) << testing::PrintToString(std::wstring(text));
        EXPECT_EQ(untouched, 42u);
    }
}
