#include "system/PayloadVerifier.h"
#include "system/Process.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <sddl.h>
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

#ifdef _WIN32
// Start Now runs the product elevated only when no one but Administrators,
// SYSTEM and TrustedInstaller could have replaced it: the decision over real
// descriptors, built from SDDL as the system reads them.
TEST(ProgramReplaceRisk, DescriptorTable)
{
    const std::wstring ti = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
    const std::wstring driveRoot = L"O:" + ti + L"D:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)"
                                   L"(A;OICIIO;SDGXGWGR;;;AU)(A;;LC;;;AU)";
    struct Case { const char* what; std::wstring sddl; bool nearProgram; const wchar_t* risk; };  // risk "": none
    const Case cases[] = {
        {"Program Files-like folder", L"O:" + ti + L"D:PAI(A;;FA;;;" + ti + L")(A;CIIO;GA;;;" + ti +
             L")(A;;0x1301bf;;;SY)(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)"
             L"(A;OICIIO;GXGR;;;BU)(A;OICIIO;GA;;;CO)", true, L""},
        {"drive root above: users may only add folders", driveRoot, false, L""},
        {"drive root holding the program: a planted file", driveRoot, true, L"S-1-5-11 may change it"},
        {"folder made under C:\\ (Authenticated Users modify)",
         L"O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)(A;ID;0x1301bf;;;AU)"
         L"(A;OICIIOID;SDGXGWGR;;;AU)", false, L"S-1-5-11 may change it (access 0x001301BF, inherited)"},
        {"Everyone write", L"O:BAD:P(A;;FA;;;BA)(A;;FW;;;WD)", true, L"S-1-1-0 may change it"},
        {"inherited Users modify", L"O:BAD:AI(A;;FA;;;BA)(A;ID;0x1301bf;;;BU)", true, L"S-1-5-32-545"},
        {"deny entries grant nothing", L"O:BAD:P(A;;FA;;;BA)(A;;FA;;;SY)(D;;FA;;;WD)", true, L""},
        {"a deny does not cancel an allow", L"O:BAD:P(D;;WD;;;BU)(A;;0x1301bf;;;BU)(A;;FA;;;BA)", true,
         L"S-1-5-32-545"},
        // No access list at all, as a null one: Wine reads D:NO_ACCESS_CONTROL as an empty list.
        {"null DACL", L"O:BA", false, L"no access list"},
        {"owned by a user", L"O:S-1-5-21-1-2-3-1001D:P(A;;FA;;;BA)", false, L"owned by S-1-5-21-1-2-3-1001"},
        {"owner rights of a trusted owner", L"O:BAD:P(A;;FA;;;S-1-3-4)", true, L""},
    };
    for (const Case& c : cases) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(c.sddl.c_str(), SDDL_REVISION_1,
                                                                         &descriptor, nullptr))
            << c.what << ", error " << GetLastError();
        const std::wstring risk = ReplaceRisk(ReadObjectSecurity(descriptor, L"X"), c.nearProgram);
        LocalFree(descriptor);
        if (*c.risk == L'\0')
            EXPECT_EQ(risk, L"") << c.what;
        else
            EXPECT_NE(risk.find(c.risk), std::wstring::npos) << c.what << ": " << testing::PrintToString(risk);
    }
}
#endif

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
