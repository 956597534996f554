// Extracting a package archive from memory into a folder, and decoding the
// custom tag resource.
#include "common/TestSupport.h"
#include "config/ResourcePackage.h"
#include "logging/FileSystem.h"
#include "logging/PathUtil.h"
#include "logging/TextEncoding.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <vector>

namespace {

// A stored (uncompressed) ZIP archive built byte by byte, so tests can put
// in names no archiver would write.
class ZipBuilder {
public:
    void Add(const std::string& name, const std::string& data)
    {
        const uint32_t crc = static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
        const uint32_t offset = static_cast<uint32_t>(body.size());
        Put32(body, 0x04034b50);
        Put16(body, 20); Put16(body, 0); Put16(body, 0);       // version, flags, stored
        Put16(body, 0); Put16(body, 0x21);                      // time, date
        Put32(body, crc); Put32(body, static_cast<uint32_t>(data.size()));
        Put32(body, static_cast<uint32_t>(data.size()));
        Put16(body, static_cast<uint16_t>(name.size())); Put16(body, 0);
        body += name;
        body += data;

        Put32(central, 0x02014b50);
        Put16(central, 20); Put16(central, 20); Put16(central, 0); Put16(central, 0);
        Put16(central, 0); Put16(central, 0x21);
        Put32(central, crc); Put32(central, static_cast<uint32_t>(data.size()));
        Put32(central, static_cast<uint32_t>(data.size()));
        Put16(central, static_cast<uint16_t>(name.size()));
        Put16(central, 0); Put16(central, 0); Put16(central, 0); Put16(central, 0);
        Put32(central, name.back() == '/' ? 0x10 : 0x20);
        Put32(central, offset);
        central += name;
        ++count;
    }

    std::string Bytes() const
    {
        std::string out = body + central;
        Put32(out, 0x06054b50);
        Put16(out, 0); Put16(out, 0);
        Put16(out, count); Put16(out, count);
        Put32(out, static_cast<uint32_t>(central.size()));
        Put32(out, static_cast<uint32_t>(body.size()));
        Put16(out, 0);
        return out;
    }

private:
    static void Put16(std::string& s, uint16_t v) { s += static_cast<char>(v & 0xFF); s += static_cast<char>(v >> 8); }
    static void Put32(std::string& s, uint32_t v) { Put16(s, v & 0xFFFF); Put16(s, v >> 16); }

    std::string body;
    std::string central;
    uint16_t count = 0;
};

std::string ReadIn(const std::wstring& folder, const std::wstring& relative)
{
    return testsupport::ReadFileBytes(folder + L"\\" + relative);
}

} // namespace

TEST(ResourcePackage, ExtractsFoldersAndFilesInOrder)
{
    ZipBuilder zip;
    zip.Add("language.ini", "[Language]\r\n1033=English\r\n");
    zip.Add("English/", "");
    zip.Add("English/text.ini", std::string("\xFF\xFE[\0", 4));
    zip.Add("Empty/", "");
    zip.Add("Deep/Er/file.bin", std::string("\0\1\2\r\n", 5));   // no directory entries before it
    zip.Add("English/empty.txt", "");
    const std::string bytes = zip.Bytes();

    const std::wstring root = testsupport::MakeTempDir("extract");
    const std::wstring target = root + L"\\language\\";
    const ExtractResult result = ExtractArchiveToFolder(bytes.data(), bytes.size(), target);
    EXPECT_TRUE(result.opened);
    EXPECT_EQ(result.written, 4);
    EXPECT_EQ(result.folders, 2);
    EXPECT_EQ(result.skipped, 0);
    EXPECT_EQ(ReadIn(root, L"language\\language.ini"), "[Language]\r\n1033=English\r\n");
    EXPECT_EQ(ReadIn(root, L"language\\English\\text.ini"), std::string("\xFF\xFE[\0", 4));
    EXPECT_EQ(ReadIn(root, L"language\\Deep\\Er\\file.bin"), std::string("\0\1\2\r\n", 5));
    EXPECT_TRUE(PathExists(root + L"\\language\\Empty"));
    // An empty file stays a file, not a folder.
    ASSERT_TRUE(PathExists(root + L"\\language\\English\\empty.txt"));
    EXPECT_FALSE(FsIsDirectory(root + L"\\language\\English\\empty.txt"));

    // A second run leaves the files that already hold their bytes and
    // rewrites those changed since: longer, cut short, or the same size with
    // other bytes.
    const ExtractResult again = ExtractArchiveToFolder(bytes.data(), bytes.size(), target);
    EXPECT_EQ(again.written, 0);
    EXPECT_EQ(again.unchanged, 4);
    testsupport::WriteFileBytes(root + L"\\language\\language.ini", "changed and longer than before");
    testsupport::WriteFileBytes(root + L"\\language\\English\\text.ini", std::string("\xFF\xFE", 2));
    testsupport::WriteFileBytes(root + L"\\language\\Deep\\Er\\file.bin", std::string("\0\1\2\n\n", 5));
    const ExtractResult mended = ExtractArchiveToFolder(bytes.data(), bytes.size(), target);
    EXPECT_EQ(mended.written, 3);
    EXPECT_EQ(mended.unchanged, 1);
    EXPECT_EQ(ReadIn(root, L"language\\language.ini"), "[Language]\r\n1033=English\r\n");
    EXPECT_EQ(ReadIn(root, L"language\\English\\text.ini"), std::string("\xFF\xFE[\0", 4));
    EXPECT_EQ(ReadIn(root, L"language\\Deep\\Er\\file.bin"), std::string("\0\1\2\r\n", 5));

    // Entries the filter refuses are not written.
    const std::wstring other = root + L"\\other\\";
    ExtractOptions onlyIni;
    onlyIni.accept = [](const std::wstring& name) { return name.size() > 4 && name.substr(name.size() - 4) == L".ini"; };
    const ExtractResult some = ExtractArchiveToFolder(bytes.data(), bytes.size(), other, onlyIni);
    EXPECT_EQ(some.written, 2);
    EXPECT_TRUE(PathExists(other + L"English\\text.ini"));
    EXPECT_FALSE(PathExists(other + L"Deep\\Er\\file.bin"));
    EXPECT_FALSE(PathExists(other + L"Empty"));
    testsupport::RemoveTree(root);
}

TEST(ResourcePackage, UnsafeNamesAreNeverWrittenOutsideTheFolder)
{
    ZipBuilder zip;
    zip.Add("../escaped.txt", "bad");
    zip.Add("English/../../escaped2.txt", "bad");
    zip.Add("..\\escaped3.txt", "bad");
    zip.Add("/absolute.txt", "bad");
    zip.Add("\\absolute2.txt", "bad");
    zip.Add("C:/drive.txt", "bad");
    zip.Add("../", "");
    zip.Add("good.txt:stream", "bad");
    zip.Add("good.txt", "good");
    const std::string bytes = zip.Bytes();

    const std::wstring root = testsupport::MakeTempDir("unsafe");
    const std::wstring target = root + L"\\pkg\\inner";
    const ExtractResult result = ExtractArchiveToFolder(bytes.data(), bytes.size(), target);
    EXPECT_TRUE(result.opened);
    EXPECT_EQ(result.written, 1);
    EXPECT_EQ(result.skipped, 8);
    EXPECT_EQ(ReadIn(root, L"pkg\\inner\\good.txt"), "good");
    for (const wchar_t* name : {L"pkg\\escaped.txt", L"escaped2.txt", L"pkg\\escaped2.txt", L"pkg\\escaped3.txt",
                                L"absolute.txt", L"drive.txt", L"pkg\\inner\\drive.txt"})
        EXPECT_FALSE(PathExists(root + L"\\" + name)) << WideToUtf8(name);
    testsupport::RemoveTree(root);
}

TEST(ResourcePackage, BadArchivesWriteNothingAndReportIt)
{
    ZipBuilder zip;
    zip.Add("a.txt", "first entry text");
    zip.Add("b.txt", "second entry text");
    const std::string good = zip.Bytes();

    struct Case { const char* what; std::string bytes; bool opened; int written; };
    std::string noDirectory = good;
    noDirectory[noDirectory.find("PK\x01\x02")] = 'X';   // first central directory record
    std::string flipped = good;
    flipped[30 + 5 + 2] ^= 0x55;   // a byte of a.txt's data: its CRC no longer matches
    const Case cases[] = {
        {"empty", "", false, 0},
        {"not an archive", "this is plain text, not a ZIP archive at all", false, 0},
        {"truncated", good.substr(0, good.size() / 2), false, 0},
        {"directory damaged", noDirectory, true, 0},
        {"damaged entry", flipped, true, 1},
    };
    for (const Case& c : cases) {
        const std::wstring root = testsupport::MakeTempDir("badzip");
        const ExtractResult result = ExtractArchiveToFolder(c.bytes.data(), c.bytes.size(), root + L"\\pkg");
        EXPECT_EQ(result.opened, c.opened) << c.what;
        EXPECT_EQ(result.written, c.written) << c.what;
        // The folder is made even when the archive is unusable.
        EXPECT_TRUE(PathExists(root + L"\\pkg")) << c.what;
        EXPECT_FALSE(PathExists(root + L"\\pkg\\a.txt")) << c.what << ": no partial file of a damaged entry";
        testsupport::RemoveTree(root);
    }
    const ExtractResult none = ExtractArchiveToFolder(nullptr, 0, testsupport::MakeTempDir("nullzip"));
    EXPECT_FALSE(none.opened);
}

TEST(ResourcePackage, CustomTagDecoding)
{
    struct Case { std::string bytes; std::wstring tag; };
    const Case cases[] = {
        {"com_english\r\n", L"com_english"},
        {"a\r\nb\r\n", L"ab"},
        {"lone\rcr\n", L"lone\rcr\n"},
        {std::string("cut\0after", 9), L"cut"},
        {"", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecodeCustomTag(c.bytes.data(), c.bytes.size()), c.tag) << testing::PrintToString(c.bytes);
    EXPECT_EQ(CustomTagLogText("com_english\r\n", 13), "com_english\r\n");
    EXPECT_EQ(DecodeCustomTag(nullptr, 10), L"");
}

TEST(ResourcePackage, OversizedCustomTagIsCutTo254Bytes)
{
    for (size_t size : {254u, 255u, 256u, 4000u}) {
        const std::string bytes(size, 't');
        EXPECT_EQ(DecodeCustomTag(bytes.data(), bytes.size()), std::wstring(std::min<size_t>(size, 254), L't'))
            << size;
        EXPECT_EQ(CustomTagLogText(bytes.data(), bytes.size()).size(), std::min<size_t>(size, 254)) << size;
    }
}
