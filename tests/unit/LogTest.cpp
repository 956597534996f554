// The log facility: record layout, roll-over, the one-time set-up of a
// process (through the log_probe helper, each case in a fresh process), the
// fault record and the qualified function names.
#include "logging/FileSystem.h"
#include "logging/Log.h"
#include "logging/PathUtil.h"
#include "logging/RollingFileAppender.h"
#include "logging/TextEncoding.h"
#include "logging/TextFormat.h"

#include "common/TestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <regex>

#ifdef PW_HAVE_LOG4CPP
#include <log4cpp/PatternLayout.hh>
#include <log4cpp/RollingFileAppender.hh>
#include <log4cpp/LoggingEvent.hh>
#endif

using namespace testsupport;

namespace {

#ifdef _WIN32
const char kEol[] = "\r\n";
const wchar_t kProbeExt[] = L".exe";
#else
const char kEol[] = "\n";
const wchar_t kProbeExt[] = L"";
#endif

// Replaces each "YYYY-MM-DD HH:MM:SS,mmm" with "<T>" and CR LF with LF, so
// files written at different moments and on different systems compare.
std::string MaskRecords(const std::string& bytes)
{
    static const std::regex stamp(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2},\d{3})");
    std::string lf = std::regex_replace(bytes, std::regex("\r\n"), "\n");
    return std::regex_replace(lf, stamp, "<T>");
}

std::wstring ProbePath()
{
    return HostPath(PW_LOG_PROBE);
}

// Copies the probe into its own folder under the given file name, so its
// module name and "Log" folder are the test's own.
std::wstring PlaceProbe(const std::wstring& dir, const std::wstring& name)
{
    const std::wstring target = dir + L"\\" + name;
    EXPECT_TRUE(CopyFileTo(ProbePath(), target)) << WideToUtf8(target);
    return target;
}

class LogFacilityTest : public testing::Test {
protected:
    void SetUp() override { dir = MakeTempDir("log"); }
    void TearDown() override { RemoveTree(dir); }
    std::wstring dir;
};

} // namespace

TEST(RollingFileAppender, RecordLayoutAndLineEnds)
{
    const std::wstring dir = MakeTempDir("layout");
    const std::wstring file = dir + L"\\layout.log";
    {
        CRollingFileAppender appender("layout", file, kLogMaxFileSize, kLogBackupCount);
        const auto base = std::chrono::system_clock::time_point(std::chrono::seconds(1700000000));
        appender.Append("first", base + std::chrono::milliseconds(7));
        appender.Append("second", base + std::chrono::milliseconds(250));
        appender.Append("third");
    }
    const std::string bytes = ReadFileBytes(file);
    const std::string eol = kEol;
    // Every record after the first starts with the blank the layout leaves
    // after each line break.
    const std::regex layout("\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2},007 first" + eol +
                            " \\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2},250 second" + eol +
                            " \\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2},\\d{3} third" + eol + " ");
    EXPECT_TRUE(std::regex_match(bytes, layout)) << "file bytes:\n" << bytes;
#ifdef _WIN32
    EXPECT_EQ(bytes.find("\n "), bytes.find("\r\n ") + 1) << "a line break without CR";
#endif
    RemoveTree(dir);
}

TEST(RollingFileAppender, RollsOverAtTenMiBKeepingOneBackup)
{
    const std::wstring dir = MakeTempDir("roll");
    const std::wstring file = dir + L"\\roll.log";
    const std::string megabyte(1u << 20, 'x');
    uint64_t size = 0;
    {
        CRollingFileAppender appender("roll", file, kLogMaxFileSize, kLogBackupCount);
        for (int i = 0; i < 9; ++i)
            appender.Append(megabyte);
        ASSERT_TRUE(FsFileSize(file, size));
        EXPECT_LT(size, kLogMaxFileSize);
        EXPECT_FALSE(FsPathExists(file + L".1"));

        appender.Append(megabyte);  // the tenth MiB crosses the limit
        ASSERT_TRUE(FsFileSize(file + L".1", size));
        EXPECT_GE(size, kLogMaxFileSize);
        ASSERT_TRUE(FsFileSize(file, size));
        EXPECT_EQ(size, 0u) << "a fresh file follows the roll-over";

        appender.Append("after the roll");
        for (int i = 0; i < 10; ++i)
            appender.Append(megabyte);  // a second roll-over replaces the backup
        appender.Append("newest");
    }
    EXPECT_FALSE(FsPathExists(file + L".2"));
    const std::string backup = ReadFileBytes(file + L".1");
    EXPECT_EQ(backup.find("after the roll"), backup.find(" after the roll") + 1) << "backup holds the second batch";
    EXPECT_NE(backup.find("after the roll"), std::string::npos);
    EXPECT_TRUE(std::regex_match(ReadFileBytes(file), std::regex(R"(\S+ \S+ newest\r?\n )")));
    RemoveTree(dir);
}

#ifdef PW_HAVE_LOG4CPP
// The built-in appender stands in for log4cpp where that is missing; both
// must leave the same bytes, roll-over included.
TEST(RollingFileAppender, WritesTheSameBytesAsLog4cpp)
{
    const std::wstring dir = MakeTempDir("same");
    const std::wstring ours = dir + L"\\ours.log";
    const std::wstring theirs = dir + L"\\theirs.log";
    const unsigned limit = 200;

    CRollingFileAppender builtin("ours", ours, limit, 1);
    log4cpp::RollingFileAppender reference("theirs", FsNativePath(theirs), limit, 1, true, 0644);
    auto* layout = new log4cpp::PatternLayout();
    layout->setConversionPattern("%d %m%n ");
    reference.setLayout(layout);

    const char* messages[] = {"one", "two with blanks  ", "", "three\nwith a line break",
                              "a longer record that pushes the file over the small limit", "after", "x",
                              "y", "z", "a final record"};
    for (const char* message : messages) {
        builtin.Append(message);
        reference.doAppend(log4cpp::LoggingEvent("root", message, "", log4cpp::Priority::INFO));
    }
    reference.close();
    EXPECT_EQ(MaskRecords(ReadFileBytes(ours)), MaskRecords(ReadFileBytes(theirs)));
    EXPECT_EQ(MaskRecords(ReadFileBytes(ours + L".1")), MaskRecords(ReadFileBytes(theirs + L".1")));
    EXPECT_FALSE(ReadFileBytes(ours + L".1").empty());
    RemoveTree(dir);
}
#endif

TEST_F(LogFacilityTest, RecordsMatchTheGoldenFileInEitherBuild)
{
    // Natively the records go through log4cpp, in the Windows build through
    // the built-in appender; both must give these bytes.
    const std::wstring probe = PlaceProbe(dir, std::wstring(L"records") + kProbeExt);
    ASSERT_EQ(RunAndWait(probe, {L"records", dir + L"\\out"}), 0);
    const std::string bytes = ReadFileBytes(dir + L"\\out\\records.log");
    const std::string golden = ReadFileBytes(FixturePath("log/records.golden"));
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(MaskRecords(bytes), golden) << "file bytes:\n" << bytes;
#ifdef _WIN32
    EXPECT_NE(bytes.find("\r\n "), std::string::npos);
#endif
}

TEST_F(LogFacilityTest, FirstRecordWithoutInitCreatesTheDefaultFileNamedToTheFirstDot)
{
    const std::wstring probe = PlaceProbe(dir, L"a.b.exe");
    ASSERT_EQ(RunAndWait(probe, {L"default"}), 0);
    const std::string bytes = ReadFileBytes(dir + L"\\Log\\a.log");
    EXPECT_NE(bytes.find("default record"), std::string::npos) << bytes;
    EXPECT_FALSE(FsPathExists(dir + L"\\Log\\a.b.log"));
}

TEST_F(LogFacilityTest, InitAfterTheFirstRecordChangesNothing)
{
    const std::wstring probe = PlaceProbe(dir, std::wstring(L"late") + kProbeExt);
    ASSERT_EQ(RunAndWait(probe, {L"late-init", dir + L"\\other"}), 0);
    const std::string bytes = ReadFileBytes(dir + L"\\Log\\late.log");
    EXPECT_NE(bytes.find("before init"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("after init"), std::string::npos) << bytes;
    EXPECT_FALSE(FsPathExists(dir + L"\\other\\late.log"));
}

TEST_F(LogFacilityTest, SecondInitChangesNothingAndMissingFoldersAreCreated)
{
    const std::wstring probe = PlaceProbe(dir, std::wstring(L"twice") + kProbeExt);
    const std::wstring nested = dir + L"\\x\\y\\z";
    ASSERT_EQ(RunAndWait(probe, {L"init-twice", nested}), 0);
    EXPECT_NE(ReadFileBytes(nested + L"\\one.log").find("after two inits"), std::string::npos);
    EXPECT_FALSE(FsPathExists(nested + L"\\two.log"));
}

TEST(LogFunctionName, QualifiedNameFromCompilerSignatures)
{
    struct Case { const char* signature; const char* name; };
    const Case cases[] = {
        {"void CMainFrameWnd::InitData()", "CMainFrameWnd::InitData"},
        {"static unsigned int CHttpBeacon::BeaconThreadProc(void*)", "CHttpBeacon::BeaconThreadProc"},
        {"virtual bool SkinUI::CControlUI::Event(SkinUI::ControlEvent&) const", "SkinUI::CControlUI::Event"},
        {"std::map<int, std::basic_string<char> > Foo::Bar(std::vector<int>)", "Foo::Bar"},
        {"int main(int, char**)", "main"},
        {"CMainFrameWnd::CMainFrameWnd()", "CMainFrameWnd::CMainFrameWnd"},
        {"void Foo::operator()(int)", "Foo::operator()"},
        {"CMainFrameWnd::OnClickInstall()::<lambda()>", "CMainFrameWnd::OnClickInstall"},
        {"plain", "plain"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LogFunctionName(c.signature), c.name) << c.signature;
    EXPECT_EQ(LogFunctionName(nullptr), "");
}

// Every module formats through these: on Windows the system runtime's
// functions, whose buffer rules differ from the standard ones.
TEST(TextFormat, SameTextInBothBuildsAndBuffersThatDoNotFit)
{
    EXPECT_EQ(FormatText("%s=%d %08lX %03d %x %u", "a", -5, 0xBEEFul, 7, 255u, 3000000000u),
              "a=-5 0000BEEF 007 ff 3000000000");
    EXPECT_EQ(FormatText("%ls", L"wide in narrow"), "wide in narrow");
    EXPECT_EQ(FormatText(L"%ls|%d|%lu|%ls", L"w\u00e9\u4e2d", 3, 4000000000ul, L""), L"w\u00e9\u4e2d|3|4000000000|");
    EXPECT_EQ(FormatText("%s", ""), "");
    const std::wstring line(1000, L'x');  // longer than a first guess at the size
    EXPECT_EQ(FormatText(L"[%ls]", line.c_str()), L"[" + line + L"]");

    // Into a fixed buffer: always terminated; a text that fills it exactly
    // (no room for the terminator) or is longer does not fit.
    char narrow[4];
    EXPECT_EQ(FormatTextInto(narrow, sizeof(narrow), "%d", 123), 3);
    EXPECT_STREQ(narrow, "123");
    EXPECT_EQ(FormatTextInto(narrow, sizeof(narrow), "%d", 4567), -1);
    EXPECT_STREQ(narrow, "456");
    wchar_t wide[4];
    EXPECT_EQ(FormatTextInto(wide, 4, L"%d", 98765), -1);
    EXPECT_EQ(std::wstring(wide), L"987");

    for (long long value : {0LL, 7LL, -42LL, 2147483648LL, LLONG_MIN, LLONG_MAX})
        EXPECT_EQ(WideToUtf8(IntToWide(value)), std::to_string(value));
}
