#include "skinui/SkinSource.h"

#include "common/TestSupport.h"
#include "config/ZipArchive.h"
#include "skinui/SkinMarkup.h"

#include <gtest/gtest.h>

using SkinUI::CSkinSource;
using SkinUI::SkinReadStatus;
using namespace testsupport;

namespace {

// Every test starts from an empty skin source and leaves one behind.
class SkinSourceTest : public testing::Test {
protected:
    void SetUp() override { CSkinSource::ResetSkinSource(); }
    void TearDown() override
    {
        CSkinSource::ResetSkinSource();
        if (!strTemp.empty())
            RemoveTree(strTemp);
    }
    std::wstring Temp()
    {
        if (strTemp.empty())
            strTemp = MakeTempDir("skinsource");
        return strTemp;
    }
    std::wstring strTemp;
};

std::string Fixture(const char* name)
{
    return ReadFileBytes(FixturePath(std::string("skin/") + name));
}

} // namespace

TEST_F(SkinSourceTest, SkinPathGetsOneTrailingSeparator)
{
    struct Case { const wchar_t* in; const wchar_t* out; };
    const Case cases[] = {
        {L"C:\\app", L"C:\\app\\"},
        {L"C:\\app/", L"C:\\app/"},
        {L"C:\\app\\", L"C:\\app\\"},
        {L"", L""},
    };
    for (const Case& c : cases) {
        CSkinSource::SetSkinPath(c.in);
        EXPECT_EQ(CSkinSource::GetSkinPath(), c.out) << testing::PrintToString(std::wstring(c.in));
    }
}

TEST_F(SkinSourceTest, MessagesOfEveryReadFailure)
{
    struct Case { SkinReadStatus status; const wchar_t* message; };
    const Case cases[] = {
        {SkinReadStatus::Ok, L""},
        {SkinReadStatus::OpenFailed, L"Error opening file"},
        {SkinReadStatus::Empty, L"File is empty"},
        {SkinReadStatus::TooLarge, L"File too large"},
        {SkinReadStatus::ReadFailed, L"Could not read file"},
        {SkinReadStatus::ArchiveOpenFailed, L"Error opening zip file"},
        {SkinReadStatus::ItemNotFound, L"Could not find ziped file"},
        {SkinReadStatus::InflateFailed, L"Could not unzip file"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(SkinReadStatusMessage(c.status), c.message);
}

TEST_F(SkinSourceTest, ArchiveNamesIgnoreCaseAndSeparator)
{
    const std::string zip = Fixture("skin.zip");
    ASSERT_FALSE(zip.empty());
    ASSERT_TRUE(CSkinSource::SetSkinArchive(zip.data(), zip.size()));
    EXPECT_EQ(CSkinSource::GetSkinArchive(), L"membuffer");
    ASSERT_NE(CSkinSource::GetSkinArchiveHandle(), nullptr);

    struct Case { const wchar_t* name; SkinReadStatus status; size_t size; };
    const Case cases[] = {
        {L"img\\button_normal.png", SkinReadStatus::Ok, 74},
        {L"img/checked.png", SkinReadStatus::Ok, 79},
        {L"IMG\\CLOSE-DF.PNG", SkinReadStatus::Ok, 74},
        {L"img\\missing.png", SkinReadStatus::ItemNotFound, 0},
        {L"img/", SkinReadStatus::Empty, 0},
    };
    for (const Case& c : cases) {
        std::string bytes;
        EXPECT_EQ(CSkinSource::ReadSkinFile(c.name, bytes), c.status) << testing::PrintToString(std::wstring(c.name));
        EXPECT_EQ(bytes.size(), c.size) << testing::PrintToString(std::wstring(c.name));
    }
    // The PNG signature proves the inflated bytes, not just their count.
    std::string bytes;
    ASSERT_EQ(CSkinSource::ReadSkinFile(L"img/checked.png", bytes), SkinReadStatus::Ok);
    EXPECT_EQ(bytes.substr(1, 3), "PNG");
}

TEST_F(SkinSourceTest, NamesOf256CharactersAreNeverFound)
{
    const std::string zip = Fixture("skin.zip");
    ASSERT_TRUE(CSkinSource::SetSkinArchive(zip.data(), zip.size()));
    const std::wstring name255 = L"img/" + std::wstring(247, L'y') + L".png";
    const std::wstring name256 = L"img/" + std::wstring(248, L'x') + L".png";
    ASSERT_EQ(name255.size(), 255u);
    ASSERT_EQ(name256.size(), 256u);
    // Both items are in the archive; only the shorter name can reach its item.
    ASSERT_GE(CSkinSource::GetSkinArchiveHandle()->Find(name256), 0);
    std::string bytes;
    EXPECT_EQ(CSkinSource::ReadSkinFile(name255, bytes), SkinReadStatus::Ok);
    EXPECT_EQ(CSkinSource::ReadSkinFile(name256, bytes), SkinReadStatus::ItemNotFound);
}

TEST_F(SkinSourceTest, SecondMemoryArchiveIsIgnored)
{
    const std::string first = Fixture("skin.zip");
    const std::string second = Fixture("other.zip");
    ASSERT_TRUE(CSkinSource::SetSkinArchive(first.data(), first.size()));
    EXPECT_FALSE(CSkinSource::SetSkinArchive(second.data(), second.size()));
    std::string bytes;
    EXPECT_EQ(CSkinSource::ReadSkinFile(L"img/checked.png", bytes), SkinReadStatus::Ok);
    EXPECT_EQ(CSkinSource::ReadSkinFile(L"img/other.png", bytes), SkinReadStatus::ItemNotFound);
}

TEST_F(SkinSourceTest, ArchiveFileCachedAndUncached)
{
    const std::wstring dir = Temp();
    ASSERT_TRUE(WriteFileBytes(dir + L"/skin.zip", Fixture("skin.zip")));
    CSkinSource::SetSkinPath(dir);
    for (bool cached : {true, false}) {
        ASSERT_TRUE(CSkinSource::SetSkinArchive(L"skin.zip", cached));
        EXPECT_EQ(CSkinSource::IsSkinArchiveCached(), cached);
        EXPECT_EQ(CSkinSource::GetSkinArchiveHandle() != nullptr, cached);
        std::string bytes;
        EXPECT_EQ(CSkinSource::ReadSkinFile(L"main.xml", bytes), SkinReadStatus::Ok);
        EXPECT_NE(bytes.find("<Window"), std::string::npos);
    }
    // A missing archive: caching reports it at once, every read says so.
    for (bool cached : {true, false}) {
        CSkinSource::ResetSkinSource();
        CSkinSource::SetSkinPath(dir);
        EXPECT_EQ(CSkinSource::SetSkinArchive(L"absent.zip", cached), !cached);
        std::string bytes;
        EXPECT_EQ(CSkinSource::ReadSkinFile(L"main.xml", bytes), SkinReadStatus::ArchiveOpenFailed);
    }
}

TEST_F(SkinSourceTest, FolderReadsAndTheirFailures)
{
    const std::wstring dir = Temp();
    ASSERT_TRUE(WriteFileBytes(dir + L"/main.xml", "<Window/>"));
    ASSERT_TRUE(WriteFileBytes(dir + L"/empty.xml", ""));
    ASSERT_TRUE(WriteFileBytes(dir + L"/big.xml", std::string(CSkinSource::kMaxSkinFileSize + 1, 'x')));
    ASSERT_TRUE(WriteFileBytes(dir + L"/limit.xml", std::string(CSkinSource::kMaxSkinFileSize, 'x')));
    CSkinSource::SetSkinPath(dir);

    struct Case { const wchar_t* name; SkinReadStatus status; size_t size; };
    const Case cases[] = {
        {L"main.xml", SkinReadStatus::Ok, 9},
        {L"empty.xml", SkinReadStatus::Empty, 0},
        {L"big.xml", SkinReadStatus::TooLarge, 0},
        {L"limit.xml", SkinReadStatus::Ok, CSkinSource::kMaxSkinFileSize},
        {L"absent.xml", SkinReadStatus::OpenFailed, 0},
    };
    for (const Case& c : cases) {
        std::string bytes;
        EXPECT_EQ(CSkinSource::ReadSkinFile(c.name, bytes), c.status) << testing::PrintToString(std::wstring(c.name));
        EXPECT_EQ(bytes.size(), c.size);
    }
}

TEST_F(SkinSourceTest, CorruptArchiveIsReportedNotRead)
{
    const std::string junk = "PK\x03\x04 this is not really an archive";
    EXPECT_FALSE(CSkinSource::SetSkinArchive(junk.data(), junk.size()));
    std::string bytes;
    EXPECT_EQ(CSkinSource::ReadSkinFile(L"main.xml", bytes), SkinReadStatus::ArchiveOpenFailed);
    EXPECT_TRUE(bytes.empty());
}

TEST_F(SkinSourceTest, ExtractWritesFoldersFirstAndStaysInside)
{
    const std::wstring dir = Temp() + L"/out/deeper";
    const std::string zip = Fixture("extract.zip");
    ASSERT_TRUE(SkinUI::ExtractArchiveToFolder(zip.data(), zip.size(), dir));
    EXPECT_EQ(ReadFileBytes(dir + L"/English/text.ini"), "[text]\nSTR_A=1\n");
    EXPECT_EQ(ReadFileBytes(dir + L"/top.txt"), "top");
    // No folder item before it: files do not create their parent folders.
    EXPECT_EQ(ReadFileBytes(dir + L"/Orphan/file.txt"), "");
    // A zero-byte item becomes a directory.
    EXPECT_TRUE(WriteFileBytes(dir + L"/emptyfolder/probe", "x"));
    // "../escape.txt" would land beside the target; it is skipped.
    EXPECT_EQ(ReadFileBytes(Temp() + L"/out/escape.txt"), "");

    // A second run overwrites what is there.
    ASSERT_TRUE(WriteFileBytes(dir + L"/top.txt", "changed by hand"));
    ASSERT_TRUE(SkinUI::ExtractArchiveToFolder(zip.data(), zip.size(), dir));
    EXPECT_EQ(ReadFileBytes(dir + L"/top.txt"), "top");
}

TEST_F(SkinSourceTest, ExtractOfNonArchiveFails)
{
    const std::string junk = "not a zip";
    EXPECT_FALSE(SkinUI::ExtractArchiveToFolder(junk.data(), junk.size(), Temp() + L"/x"));
    EXPECT_FALSE(SkinUI::ExtractArchiveToFolder(nullptr, 0, Temp() + L"/y"));
}

TEST_F(SkinSourceTest, LayoutFilesLoadThroughTheSkinSource)
{
    // Archive in memory, cached and uncached.
    const std::string zip = Fixture("skin.zip");
    for (bool cached : {true, false}) {
        CSkinSource::ResetSkinSource();
        if (!cached) {
            // Caching off first (no archive set yet), then the memory block.
            CSkinSource::SetSkinArchive(L"", false);
        }
        ASSERT_TRUE(CSkinSource::SetSkinArchive(zip.data(), zip.size()));
        SkinUI::CSkinMarkup markup;
        ASSERT_TRUE(markup.LoadFromFile(L"MAIN.XML")) << markup.GetLastErrorMessage();
        EXPECT_STREQ(markup.GetRoot().GetName(), L"Window");
        EXPECT_FALSE(markup.LoadFromFile(L"absent.xml"));
        EXPECT_STREQ(markup.GetLastErrorMessage(), L"Could not find ziped file");
    }
    // Skin folder.
    CSkinSource::ResetSkinSource();
    const std::wstring dir = Temp();
    ASSERT_TRUE(WriteFileBytes(dir + L"/home.xml", "<Window><Button/></Window>"));
    CSkinSource::SetSkinPath(dir);
    SkinUI::CSkinMarkup markup;
    ASSERT_TRUE(markup.LoadFromFile(L"home.xml")) << markup.GetLastErrorMessage();
    EXPECT_STREQ(markup.GetRoot().GetChild().GetName(), L"Button");
    EXPECT_FALSE(markup.LoadFromFile(L"absent.xml"));
    EXPECT_STREQ(markup.GetLastErrorMessage(), L"Error opening file");
    // Archive file that is missing.
    CSkinSource::SetSkinArchive(L"absent.zip", true);
    EXPECT_FALSE(markup.LoadFromFile(L"home.xml"));
    EXPECT_STREQ(markup.GetLastErrorMessage(), L"Error opening zip file");
}
