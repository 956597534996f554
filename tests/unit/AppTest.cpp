// The install flow's rules, the command line, the UI-thread request queue and
// the speed line.
#include "app/CommandLine.h"
#include "app/InstallFlow.h"
#include "app/SpeedLine.h"
#include "app/UiRequestQueue.h"
#include "logging/TextEncoding.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <thread>
#include <vector>

TEST(InstallFlowTest, StateNames)
{
    EXPECT_STREQ("kWindow_Init", WindowStateName(kWindow_Init));
    EXPECT_STREQ("kWindow_Downloading", WindowStateName(kWindow_Downloading));
    EXPECT_STREQ("kWindow_Installing", WindowStateName(kWindow_Installing));
    EXPECT_STREQ("kWindow_Finish", WindowStateName(kWindow_Finish));
    EXPECT_STREQ("", WindowStateName(kWindow_None));
    EXPECT_STREQ("", WindowStateName(4));
}

TEST(InstallFlowTest, CloseDecision)
{
    struct Case {
        uintptr_t code;
        bool startVisible, hasSwitch, asked;
        CloseAction expected;
    } cases[] = {
        {1000, false, true, false, kClose_Immediate},
        {1000, true, true, true, kClose_Immediate},
        {1, true, true, false, kClose_AfterFinish},
        {0, true, false, true, kClose_AfterFinish},
        {1, false, true, false, kClose_Ask},
        {0, false, true, false, kClose_Ask},
        {1, false, true, true, kClose_Ignore},
        {1, false, false, false, kClose_Ignore},
        {999, false, true, false, kClose_Ask},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, DecideClose(c.code, c.startVisible, c.hasSwitch, c.asked)) << c.code;
}

TEST(InstallFlowTest, InstallRootFromField)
{
    EXPECT_EQ(L"", InstallRootFromField(L""));   // no folder, refused by Install
    EXPECT_EQ(L"C:\\", InstallRootFromField(L"C:\\"));
    EXPECT_EQ(L"D:\\New Folder\\", InstallRootFromField(L"D:\\New Folder"));
    EXPECT_EQ(L"C:\\Program Files (x86)\\", InstallRootFromField(L"C:\\Program Files (x86)\\"));
    EXPECT_EQ(L"C:\\pw\\x\\", InstallRootFromField(L"C:/pw/x"));
}

// One validator for the window and /S; each refusal names its reason.
TEST(InstallFlowTest, InstallRootValidatorRefusesUnsafeForms)
{
    struct Case { const wchar_t* field; const char* reason; };   // reason nullptr: accepted
    const Case cases[] = {
        {L"C:\\Program Files", nullptr},
        {L"c:/pw silent/", nullptr},
        {L"D:\\", nullptr},
        {L"C:\\console\\nul1\\COM10\\x.y", nullptr},      // only the exact device names
        {L"", "no folder"},
        {L"pw", "not an absolute path"},
        {L"C:pw", "not an absolute path"},
        {L"\\\\server\\share", "network (UNC)"},
        {L"\\\\?\\C:\\pw", "device path"},
        {L"C:\\x\" /evil", "double quote"},
        {L"C:\\x\ty", "control character"},
        {L"C:\\x:stream", "no file name may hold"},
        {L"C:\\a\\\\b", "empty component"},
        {L"C:\\x.", "ending in a dot or a blank"},
        {L"C:\\x \\y", "ending in a dot or a blank"},
        {L"C:\\a\\..\\Windows", "ending in a dot or a blank"},
        {L"C:\\NUL", "reserved device name"},
        {L"C:\\NUL.txt", "reserved device name"},
        {L"C:\\aux .tar.gz", "reserved device name"},
        {L"C:\\x\\lpt1\\y", "reserved device name"},
        {L"C:\\COM\u00B9", "reserved device name"},
    };
    for (const Case& c : cases) {
        const char* reason = InstallRootProblem(InstallRootFromField(c.field));
        const std::string shown = WideToUtf8(c.field);
        if (c.reason == nullptr) {
            EXPECT_EQ(reason, nullptr) << shown << ": " << reason;
        } else {
            ASSERT_NE(reason, nullptr) << shown << " accepted";
            EXPECT_NE(std::string(reason).find(c.reason), std::string::npos) << shown << ": " << reason;
        }
    }
    EXPECT_STREQ(InstallRootProblem(L"C:\\" + std::wstring(207, L'a') + L"\\"), "longer than 210 characters");
}

TEST(InstallFlowTest, RootLengthLimitOfTheInstallerCommandLine)
{
    // 210 characters fit the installer's command line, 211 do not.
    const std::wstring fits = L"C:\\" + std::wstring(206, L'a') + L"\\";
    ASSERT_EQ(210u, fits.size());
    EXPECT_TRUE(InstallRootFitsCommandLine(fits));
    const std::wstring tooLong = L"C:\\" + std::wstring(207, L'a') + L"\\";
    EXPECT_FALSE(InstallRootFitsCommandLine(tooLong));
    EXPECT_TRUE(InstallRootFitsCommandLine(L"C:\\"));
}

TEST(InstallFlowTest, DriveOfRoot)
{
    EXPECT_EQ(L"C:", DriveOfRoot(L"C:\\Program Files\\"));
    EXPECT_EQ(L"D:", DriveOfRoot(L"D:\\a:b\\"));
    EXPECT_EQ(L"", DriveOfRoot(L"\\\\server\\share\\"));
    EXPECT_EQ(L"", DriveOfRoot(L"\\"));
    EXPECT_TRUE(IsAbsoluteInstallRoot(L"c:\\pw silent\\"));
    EXPECT_FALSE(IsAbsoluteInstallRoot(L"C:pw\\"));              // relative to the drive's current folder
    EXPECT_FALSE(IsAbsoluteInstallRoot(L"pw\\"));
    EXPECT_FALSE(IsAbsoluteInstallRoot(L"\\\\server\\share\\"));
}

TEST(InstallFlowTest, SpaceCheckAndMessage)
{
    EXPECT_EQ(100, FileSizeToMB(100 << 20));
    EXPECT_EQ(0, FileSizeToMB(1048575));
    EXPECT_EQ(0, FileSizeToMB(0));
    EXPECT_TRUE(HasEnoughSpace(300, 100));    // exactly three times is enough
    EXPECT_FALSE(HasEnoughSpace(299, 100));
    EXPECT_TRUE(HasEnoughSpace(0, 0));        // unknown size: the check passes
    EXPECT_TRUE(HasEnoughSpace(4000000000u, 700));
    EXPECT_EQ(L"Insuficient storage. Storage required:  300 MB",
              FormatStorageText(L"Insuficient storage. Storage required: ", 100, L""));
    EXPECT_EQ(L"Speicher 9 MiB", FormatStorageText(L"Speicher", 3, L"MiB"));
    // Three times the installer, rounded up to whole megabytes.
    EXPECT_EQ(L"Disk C: is full: 2 MB needed", FormatDiskFailedText(L"Disk {drive} is full: {size} needed", L"C:",
                                                                     639480, L""));
    EXPECT_EQ(L"T: 3 MiB", FormatDiskFailedText(L"{drive} {size}", L"T:", 1 << 20, L"MiB"));
}

TEST(InstallFlowTest, AnalyticsUrlCarriesTheClientTwiceUnencoded)
{
    EXPECT_EQ(L"https://collect.example:47443/collect?v=1&t=event&tid=UA-1-2&cid={ABC}"
              L"&ec=Brisklane Pathwick (Windows version)&ea=Downloader_Start_Install&el={ABC}",
              BuildAnalyticsUrl(L"collect.example:47443", L"UA-1-2", L"{ABC}", L"Brisklane Pathwick",
                                L"Downloader_Start_Install"));
}

TEST(InstallFlowTest, ProgressMappingNeverMovesBack)
{
    std::atomic<int32_t> last{0};
    struct Step {
        int32_t value, total;
        int percent;
        int32_t last;
    } steps[] = {
        {0, 1000, 0, 0},
        {500, 1000, 45, 500},
        {300, 1000, 45, 510},    // smaller report: previous + 10
        {300, 1000, 46, 520},
        {995, 1000, 89, 995},
        {10, 1000, 90, 1000},    // + 10 capped at the total
        {5000, 1000, 90, 1000},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(s.percent, MapDownloadProgress(s.value, s.total, last)) << s.value;
        EXPECT_EQ(s.last, last.load()) << s.value;
    }
}

TEST(InstallFlowTest, ProgressWithoutTotalDoesNotDivide)
{
    std::atomic<int32_t> last{77};
    EXPECT_EQ(-1, MapDownloadProgress(100, 0, last));
    EXPECT_EQ(-1, MapDownloadProgress(100, -5, last));
    EXPECT_EQ(77, last.load());
}

TEST(InstallFlowTest, ProgressDisplays)
{
    EXPECT_EQ(30, ProgressBarValue(30, false));
    EXPECT_EQ(70, ProgressBarValue(30, true));
    EXPECT_EQ(100, ProgressBarValue(0, true));
    EXPECT_EQ(L"45 %", ProgressLabelText(45));
    EXPECT_EQ(L"0 %", ProgressLabelText(0));
}

TEST(InstallFlowTest, BannerCarouselWrapsAtTheFirstMissingImage)
{
    // Four images: the counter after each tick, from the state change on.
    const int images = 4;
    int index = 1;
    std::vector<int> shown;
    for (int tick = 0; tick < 8; ++tick) {
        const bool ok = index <= images;
        if (ok)
            shown.push_back(index);
        else
            shown.push_back(0);
        index = NextBannerIndex(index, ok);
    }
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 0, 1, 2, 3}), shown);
    EXPECT_EQ(L"C:\\d\\language\\English\\pr_12.png", BannerImagePath(L"C:\\d\\", L"English", 12));
    EXPECT_EQ(L"STR_BANNER_12", BannerTextKey(12));
    // The package entries that wait for the first frame: the banners only.
    EXPECT_TRUE(IsBannerEntry(L"English/pr_1.png"));
    EXPECT_TRUE(IsBannerEntry(L"pr_40.png"));
    for (const wchar_t* other : {L"English/text.ini", L"English/pr_.png", L"English/pr_1.png.bak", L"English/pr_x.png",
                                 L"English/install_tips.png", L"pr_1.png/"})
        EXPECT_FALSE(IsBannerEntry(other)) << WideToUtf8(other);
}

TEST(CommandLineTest, SwitchesAndTheFolderTakenFromTheRawLine)
{
    // raw line, the system's split, then what the parse yields: valid,
    // refused argument, silent, help, no analytics, folder, language, log.
    struct Case {
        const wchar_t* raw;
        std::vector<std::wstring> argv;
        bool valid;
        const wchar_t* refused;
        bool silent, help, noAnalytics;
        const wchar_t* dir;
        const wchar_t* lang;
        const wchar_t* log;
    } cases[] = {
        {L"setup.exe", {L"setup.exe"}, true, L"", false, false, false, L"", L"", L""},
        // The folder is the rest of the raw line, blanks kept, outer blanks dropped.
        {L"\"C:\\dl dir\\setup.exe\" /S /D=C:\\pw silent\\  ",
         {L"C:\\dl dir\\setup.exe", L"/S", L"/D=C:\\pw", L"silent\\"},
         true, L"", true, false, false, L"C:\\pw silent\\", L"", L""},
        // Keys in any case, "-" as well as "/".
        {L"setup.exe -s /lang=1031 -Log=C:\\l.txt /NoAnalytics -d=D:\\x",
         {L"setup.exe", L"-s", L"/lang=1031", L"-Log=C:\\l.txt", L"/NoAnalytics", L"-d=D:\\x"},
         true, L"", true, false, true, L"D:\\x", L"1031", L"C:\\l.txt"},
        {L"setup.exe /?", {L"setup.exe", L"/?"}, true, L"", false, true, false, L"", L"", L""},
        {L"setup.exe -HELP /S", {L"setup.exe", L"-HELP", L"/S"}, true, L"", true, true, false, L"", L"", L""},
        // A "/D=" inside a quoted value is no switch; the value keeps it.
        {L"setup.exe \"/LOG=C:\\a /D=b.log\" /D=C:\\c",
         {L"setup.exe", L"/LOG=C:\\a /D=b.log", L"/D=C:\\c"},
         true, L"", false, false, false, L"C:\\c", L"", L"C:\\a /D=b.log"},
        // A folder quoted after all, or quoted whole as the last argument.
        {L"setup.exe /D=\"C:\\q d\"", {L"setup.exe", L"/D=C:\\q d"}, true, L"", false, false, false, L"C:\\q d", L"", L""},
        {L"setup.exe \"/D=C:\\q d\"", {L"setup.exe", L"/D=C:\\q d"}, true, L"", false, false, false, L"C:\\q d", L"", L""},
        // Refused: unknown switches, a value where none belongs, malformed
        // values, a bare word, an empty folder, a quoted "/D=" before others.
        {L"setup.exe /S /X", {L"setup.exe", L"/S", L"/X"}, false, L"/X", true, false, false, L"", L"", L""},
        {L"setup.exe /S=1", {L"setup.exe", L"/S=1"}, false, L"/S=1", false, false, false, L"", L"", L""},
        {L"setup.exe /LANG=de", {L"setup.exe", L"/LANG=de"}, false, L"/LANG=de", false, false, false, L"", L"", L""},
        {L"setup.exe /LANG=65536", {L"setup.exe", L"/LANG=65536"}, false, L"/LANG=65536", false, false, false, L"", L"", L""},
        {L"setup.exe /LOG=", {L"setup.exe", L"/LOG="}, false, L"/LOG=", false, false, false, L"", L"", L""},
        {L"setup.exe install", {L"setup.exe", L"install"}, false, L"install", false, false, false, L"", L"", L""},
        {L"setup.exe /", {L"setup.exe", L"/"}, false, L"/", false, false, false, L"", L"", L""},
        {L"setup.exe /S /D=  ", {L"setup.exe", L"/S", L"/D="}, false, L"/D=", true, false, false, L"", L"", L""},
        {L"setup.exe \"/D=C:\\a b\" /S", {L"setup.exe", L"/D=C:\\a b", L"/S"}, false, L"/D=C:\\a b", false, false, false, L"", L"", L""},
    };
    for (const Case& c : cases) {
        const CommandLineOptions o = ParseCommandLine(c.raw, c.argv);
        const std::string row = std::string(c.raw, c.raw + wcslen(c.raw));
        EXPECT_EQ(c.valid, o.bValid) << row;
        EXPECT_EQ(c.refused, o.strRefused) << row;
        EXPECT_EQ(c.silent, o.bSilent) << row;
        EXPECT_EQ(c.help, o.bHelp) << row;
        EXPECT_EQ(c.noAnalytics, o.bNoAnalytics) << row;
        EXPECT_EQ(c.dir, o.strInstallDir) << row;
        EXPECT_EQ(c.lang, o.strLanguage) << row;
        EXPECT_EQ(c.log, o.strLogFile) << row;
        EXPECT_EQ(c.argv.size() > 1, o.bHasArguments) << row;
    }
}

TEST(UiRequestQueueTest, RunsInPushOrderAndWakesOnce)
{
    CUiRequestQueue queue;
    std::vector<int> order;
    EXPECT_TRUE(queue.Push([&] { order.push_back(1); }));
    EXPECT_FALSE(queue.Push([&] { order.push_back(2); }));
    EXPECT_FALSE(queue.Push([&] { order.push_back(3); }));
    EXPECT_EQ(3, queue.Drain());
    EXPECT_EQ((std::vector<int>{1, 2, 3}), order);
    EXPECT_TRUE(queue.Empty());
    EXPECT_EQ(0, queue.Drain());
    EXPECT_TRUE(queue.Push([&] { order.push_back(4); }));   // empty again: wake again
    EXPECT_EQ(1, queue.Drain());
}

TEST(UiRequestQueueTest, EachWorkerKeepsItsOrderUnderContention)
{
    CUiRequestQueue queue;
    constexpr int kWorkers = 4;
    constexpr int kPerWorker = 2000;
    std::vector<std::vector<int>> seen(kWorkers);   // touched only by the draining thread
    std::atomic<int> wakeups{0};
    std::atomic<bool> done{false};
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&, w] {
            for (int i = 0; i < kPerWorker; ++i) {
                if (queue.Push([&seen, w, i] { seen[w].push_back(i); }))
                    wakeups.fetch_add(1);
            }
        });
    }
    int ran = 0;
    std::thread drainer([&] {
        while (!done.load() || !queue.Empty())
            ran += queue.Drain();
    });
    for (auto& t : workers)
        t.join();
    done = true;
    drainer.join();
    EXPECT_EQ(kWorkers * kPerWorker, ran);
    EXPECT_GE(wakeups.load(), 1);
    for (int w = 0; w < kWorkers; ++w) {
        ASSERT_EQ(static_cast<size_t>(kPerWorker), seen[w].size());
        for (int i = 0; i < kPerWorker; ++i)
            ASSERT_EQ(i, seen[w][i]) << "worker " << w;
    }
}

TEST(UiRequestQueueTest, UndrainedRequestsAreFreed)
{
    auto counter = std::make_shared<int>(0);
    {
        CUiRequestQueue queue;
        queue.Push([counter] { ++*counter; });
        EXPECT_EQ(2, counter.use_count());
    }
    EXPECT_EQ(1, counter.use_count());
    EXPECT_EQ(0, *counter);
}

// ---- The speed line -------------------------------------------------

namespace {

const SpeedLineTexts kEnglishSpeed = {L"{done} of {total} \u00b7 {rate} \u00b7 about {left} left", L".|s|min|h", L""};
constexpr int64_t kMB = 1048576;

DownloadSnapshot Snap(uint32_t ms, int64_t done, int64_t total, double rate)
{
    DownloadSnapshot s;
    s.nElapsedMs = ms;
    s.nBytesDone = done;
    s.nTotal = total;
    s.dBytesPerSecond = rate;
    return s;
}

} // namespace

TEST(SpeedLineTest, MegabytesAndTimeLeftAreRoundedForReading)
{
    const CSpeedLine line(kEnglishSpeed);
    const CSpeedLine german({L"", L",|s|min|Std.", L"MiB"});
    struct Sizes {
        const CSpeedLine& with;
        double bytes;
        bool small, down;
        const wchar_t* text;
    } sizes[] = {
        {line, 25270682, false, true, L"24.1 MB"},
        {line, 86 * kMB - 1, false, true, L"85.9 MB"},   // never the total before it is reached
        {line, 86 * kMB - 1, false, false, L"86.0 MB"},
        {line, 0.3 * kMB, true, true, L"0.30 MB"},
        {line, kMB - 1, true, true, L"0.99 MB"},
        {line, 0, true, true, L"0.00 MB"},
        {german, 3.25 * kMB, false, false, L"3,3 MiB"},
    };
    for (const Sizes& c : sizes)
        EXPECT_EQ(c.text, c.with.Megabytes(c.bytes, c.small, c.down)) << c.bytes;
    struct Times {
        const CSpeedLine& with;
        double seconds;
        const wchar_t* text;
    } times[] = {
        {line, 0.2, L"1 s"},    {line, 27, L"27 s"},   {line, 26.3, L"27 s"},
        {line, 59.4, L"1 min"}, {line, 89, L"1 min"},  {line, 150, L"3 min"},
        {line, 3570, L"1 h"},   {line, 5000, L"1 h 25 min"},
        {german, 7300, L"2 Std."}, {line, 99 * 3600 + 1, L""}, {line, -1, L""},
    };
    for (const Times& c : times)
        EXPECT_EQ(c.text, c.with.TimeLeft(c.seconds)) << c.seconds;
}

// One download as the window's timer sees it, snapshot by snapshot.
TEST(SpeedLineTest, NothingBeforeASecondOfDataThenASmoothedLine)
{
    const int64_t total = 86 * kMB;
    const double rate = 3.2 * kMB;
    struct Step {
        DownloadSnapshot snapshot;
        const wchar_t* line;
    } steps[] = {
        {Snap(0, 0, 0, 0), L""},                       // size not known yet
        {Snap(300, 0, total, 0), L""},                 // no bytes yet
        {Snap(900, kMB, total, 0), L""},               // first bytes
        {Snap(1800, 2 * kMB, total, rate), L""},       // 0.9 s of data
        {Snap(2000, 25270682, total, rate),
         L"24.1 MB of 86.0 MB \u00b7 3.2 MB/s \u00b7 about 20 s left"},
        // Three times slower: the new estimate (56 s) is followed slowly.
        {Snap(3000, 26 * kMB, total, rate / 3), L"26.0 MB of 86.0 MB \u00b7 1.1 MB/s \u00b7 about 26 s left"},
        // A stall: no rate, no time left; a range that took bytes back does
        // not move the count back.
        {Snap(8000, 25 * kMB, total, 0), L"26.0 MB of 86.0 MB \u00b7 0.00 MB/s"},
        // A fresh estimate close to the end: at least 1 s, never 0.
        {Snap(9000, total - 1000, total, rate), L"85.9 MB of 86.0 MB \u00b7 3.2 MB/s \u00b7 about 1 s left"},
        {Snap(9500, total, total, rate), L"86.0 MB of 86.0 MB \u00b7 3.2 MB/s"},
        // A retry starts over: nothing again until a second of data.
        {Snap(200, 0, total, 0), L""},
        {Snap(1500, 10, total, 0), L""},
        // A crawl whose end lies beyond 99 hours shows no time.
        {Snap(2600, 10, total, 1), L"0.0 MB of 86.0 MB \u00b7 0.00 MB/s"},
    };
    CSpeedLine line(kEnglishSpeed);
    for (const Step& step : steps)
        EXPECT_EQ(step.line, line.Update(step.snapshot)) << step.snapshot.nElapsedMs;
}

// A line too long for its place leaves out the megabytes, then the rate;
// the time left stays even when nothing fits.
TEST(SpeedLineTest, ATooLongLineLeavesPartsOut)
{
    CSpeedLine line(kEnglishSpeed);
    line.Update(Snap(0, kMB, 86 * kMB, 0));
    line.Update(Snap(2000, 25270682, 86 * kMB, 3.2 * kMB));
    struct {
        size_t room;
        const wchar_t* line;
    } cases[] = {
        {100, L"24.1 MB of 86.0 MB \u00b7 3.2 MB/s \u00b7 about 20 s left"},
        {40, L"3.2 MB/s \u00b7 about 20 s left"},
        {20, L"about 20 s left"},
        {5, L"about 20 s left"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.line, line.Fitted([&c](const std::wstring& t) { return t.size() <= c.room; })) << c.room;
}
