#include "system/PayloadVerifier.h"
#include "system/Process.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace {

std::wstring Expected(const std::wstring& quotedFolder)
{
    return L" /verysilent /corvane_down /wait_run /path=\"" + quotedFolder + L"\"";
}

} // namespace

// A folder ending in "\" must not escape its closing quote: the backslashes
// before it are doubled, and the system's own split reads the folder back.
TEST(SilentInstallerCommandLine, TrailingBackslashCannotEscapeTheQuote)
{
    struct Case { const wchar_t* folder; const wchar_t* quoted; };
    const Case cases[] = {
        {L"C:\\Program Files\\", L"C:\\Program Files\\\\"},
        {L"D:\\Apps", L"D:\\Apps"},
        {L"C:\\dir with spaces\\x\\", L"C:\\dir with spaces\\x\\\\"},
        {L"C:\\a\\\\", L"C:\\a\\\\\\\\"},
        {L"", L""},
    };
    for (const Case& c : cases) {
        std::wstring line = L"unchanged";
        ASSERT_TRUE(BuildSilentInstallerCommandLine(c.folder, line)) << testing::PrintToString(c.folder);
        EXPECT_EQ(line, Expected(c.quoted));
#ifdef _WIN32
        int count = 0;
        LPWSTR* argv = CommandLineToArgvW((L"setup.exe" + line).c_str(), &count);
        ASSERT_NE(argv, nullptr);
        EXPECT_EQ(count, 5) << testing::PrintToString(line);
        if (count == 5) {
            EXPECT_EQ(std::wstring(argv[4]), L"/path=" + std::wstring(c.folder));
        }
        LocalFree(argv);
#endif
    }
    std::wstring line = L"untouched";
    EXPECT_FALSE(BuildSilentInstallerCommandLine(L"C:\\x\" /evil\\", line));
    EXPECT_EQ(line, L"untouched");
    EXPECT_EQ(std::wstring(kSilentInstallerSwitches).size(), 44u);
}

TEST(SilentInstallerCommandLine, FolderMustFitTheBuffer)
{
    struct Case { size_t length; bool fits; };
    const Case cases[] = {{1, true}, {209, true}, {210, true}, {211, false}, {300, false}};
    for (const Case& c : cases) {
        // Ending in "\", as every install root does: the widest line.
        std::wstring folder = L"C:\\" + std::wstring(c.length, L'a');
        folder.resize(c.length - 1);
        folder += L'\\';
        std::wstring line = L"untouched";
        EXPECT_EQ(BuildSilentInstallerCommandLine(folder, line), c.fits) << "length " << c.length;
        if (c.fits) {
            EXPECT_EQ(line, Expected(folder + L'\\'));
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
