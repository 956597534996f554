#include "skinui/SkinResources.h"

#include "common/TestSupport.h"
#include "config/ZipArchive.h"

#include <gtest/gtest.h>

#include <windows.h>

using SkinUI::CSkinResources;
using SkinUI::CSkinSource;
using SkinUI::TFontInfo;
using SkinUI::TImageInfo;
using namespace testsupport;

namespace {

std::string Fixture(const char* name)
{
    return ReadFileBytes(FixturePath(std::string("skin/") + name));
}

// Pixel i of an image as 0xAARRGGBB (bytes blue, green, red, alpha).
DWORD PixelAt(const TImageInfo* image, int i)
{
    const BYTE* p = image->pBits + i * 4;
    return static_cast<DWORD>(p[3]) << 24 | static_cast<DWORD>(p[2]) << 16 | static_cast<DWORD>(p[1]) << 8 | p[0];
}

// Every test starts with the skin archive of the fixtures in memory and
// empty shared tables, and leaves them empty.
class SkinResourcesTest : public testing::Test {
protected:
    void SetUp() override
    {
        CSkinSource::ResetSkinSource();
        CSkinResources::ReleaseSharedResources();
        strZip = Fixture("skin.zip");
        ASSERT_FALSE(strZip.empty());
        ASSERT_TRUE(CSkinSource::SetSkinArchive(strZip.data(), strZip.size()));
    }
    void TearDown() override
    {
        CSkinResources::ReleaseSharedResources();
        CSkinResources::RemoveAllLangStrings();
        CSkinSource::ResetSkinSource();
        if (!strTemp.empty())
            RemoveTree(strTemp);
    }
    std::string strZip;
    std::wstring strTemp;
};

} // namespace

TEST_F(SkinResourcesTest, LayoutNamesFindArchiveImages)
{
    CSkinResources host;
    struct Case { const wchar_t* name; int size; DWORD pixel; };
    const Case cases[] = {
        {L"img\\button_normal.png", 4, 0xFF0000C8},
        {L"img/checked.png", 14, 0xFF008000},
        {L"IMG\\CLOSE-DF.PNG", 3, 0xFF323C46},
    };
    for (const Case& c : cases) {
        const TImageInfo* image = host.FindOrLoadImage(c.name);
        ASSERT_NE(image, nullptr) << testing::PrintToString(std::wstring(c.name));
        EXPECT_EQ(image->nWidth, c.size);
        EXPECT_EQ(image->nHeight, c.size);
        EXPECT_FALSE(image->bAlpha);
        EXPECT_EQ(PixelAt(image, 0), c.pixel) << std::hex << PixelAt(image, 0);
        // Cached under the name as written: the second look-up is the same record.
        EXPECT_EQ(host.FindImage(c.name), image);
        EXPECT_EQ(host.FindOrLoadImage(c.name), image);
    }
}

TEST_F(SkinResourcesTest, PixelsArePremultipliedTopDown)
{
    CSkinResources host;
    const TImageInfo* image = host.FindOrLoadImage(L"img/semi.png");
    ASSERT_NE(image, nullptr);
    // (red 200, alpha 128) becomes red 100; the opaque pixel is unchanged.
    EXPECT_EQ(PixelAt(image, 0), 0x80640000u) << std::hex << PixelAt(image, 0);
    EXPECT_EQ(PixelAt(image, 1), 0xFF0A141Eu) << std::hex << PixelAt(image, 1);
    EXPECT_TRUE(image->bAlpha);
    BITMAP bm = {};
    ASSERT_NE(GetObjectW(image->hBitmap, sizeof(bm), &bm), 0);
    EXPECT_EQ(bm.bmBitsPixel, 32);
    EXPECT_EQ(bm.bmWidth, 2);
}

TEST_F(SkinResourcesTest, MaskClearsMatchingPixels)
{
    struct Case { DWORD mask; DWORD first; DWORD second; bool alpha; };
    const Case cases[] = {
        {0xFFFF00FF, 0x00000000, 0xFF0000FF, true},   // the magenta pixel goes
        {0, 0xFFFF00FF, 0xFF0000FF, false},           // nothing matches 0
        {0xFF0000FF, 0xFFFF00FF, 0x00000000, true},   // the blue pixel goes
    };
    for (const Case& c : cases) {
        auto image = CSkinResources::LoadImageRecord(L"img/mask.png", L"", c.mask);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(PixelAt(image.get(), 0), c.first) << std::hex << c.mask;
        EXPECT_EQ(PixelAt(image.get(), 1), c.second) << std::hex << c.mask;
        EXPECT_EQ(image->bAlpha, c.alpha) << std::hex << c.mask;
        EXPECT_EQ(image->dwMask, c.mask);
    }
}

TEST_F(SkinResourcesTest, ColourImagesAndFailedLoads)
{
    CSkinResources host;
    const TImageInfo* colour = host.FindOrLoadImage(L"#80FF0000", L"*COLOR*");
    ASSERT_NE(colour, nullptr);
    EXPECT_EQ(colour->nWidth, 1);
    EXPECT_EQ(PixelAt(colour, 0), 0x80800000u) << std::hex << PixelAt(colour, 0);
    EXPECT_TRUE(colour->bAlpha);

    // Undecodable, missing and empty names: no record, nothing stored.
    for (const wchar_t* name : {L"img/broken.png", L"img/absent.png", L""}) {
        EXPECT_EQ(host.FindOrLoadImage(name), nullptr) << testing::PrintToString(std::wstring(name));
        EXPECT_EQ(host.FindImage(name), nullptr);
    }
}

TEST_F(SkinResourcesTest, PlainFileFallbackAndResourceTypeFallback)
{
    strTemp = MakeTempDir("skinres");
    const std::wstring path = strTemp + L"\\loose.png";
    // The checked image, written outside the skin.
    CZipArchive* archive = CSkinSource::GetSkinArchiveHandle();
    ASSERT_NE(archive, nullptr);
    std::string png;
    ASSERT_TRUE(archive->Read(archive->Find(L"img/checked.png"), png));
    ASSERT_TRUE(WriteFileBytes(path, png));

    CSkinResources host;
    const TImageInfo* file = host.FindOrLoadImage(path);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->nWidth, 14);
    EXPECT_TRUE(file->strResType.empty());
    // A resource type whose resource is missing falls back to the path too.
    const TImageInfo* resource = host.AddImageEntry(path, L"PNG", 0, false, false);
    ASSERT_NE(resource, nullptr);
    EXPECT_EQ(resource->strResType, L"PNG");
}

TEST_F(SkinResourcesTest, ScaledDisplaysTakeTheTwinOrResampleSmoothly)
{
    // A plain image with its twin beside it, as a banner with pr_N@2x.png,
    // and one without: the 2 x 1 mask image (magenta, blue) and the 14 x 14
    // checked mark as the twin.
    CZipArchive* archive = CSkinSource::GetSkinArchiveHandle();
    ASSERT_NE(archive, nullptr);
    std::string plain, twin;
    ASSERT_TRUE(archive->Read(archive->Find(L"img/mask.png"), plain));
    ASSERT_TRUE(archive->Read(archive->Find(L"img/checked.png"), twin));
    strTemp = MakeTempDir("skinres");
    ASSERT_TRUE(WriteFileBytes(strTemp + L"\\banner.png", plain) && WriteFileBytes(strTemp + L"\\banner@2x.png", twin) &&
                WriteFileBytes(strTemp + L"\\alone.png", plain));

    struct Case { const wchar_t* name; int dpi; int width; int height; };
    const Case cases[] = {
        {L"banner.png", 96, 2, 1},      // 100 %: the plain image as it is
        {L"banner.png", 144, 11, 11},   // the twin, 14 * 144 / 192 = 10.5
        {L"banner.png", 192, 14, 14},   // the twin as it is
        {L"alone.png", 144, 3, 2},      // no twin: the plain image made larger
    };
    for (const Case& c : cases) {
        auto image = CSkinResources::LoadImageRecord(strTemp + L"\\" + c.name, L"", 0, c.dpi);
        ASSERT_NE(image, nullptr);
        EXPECT_TRUE(image->nWidth == c.width && image->nHeight == c.height)
            << testing::PrintToString(std::wstring(c.name)) << " at " << c.dpi << ": " << image->nWidth << "x"
            << image->nHeight;
    }
    EXPECT_EQ(PixelAt(CSkinResources::LoadImageRecord(strTemp + L"\\banner.png", L"", 0, 192).get(), 0), 0xFF008000u);
    // Grown smoothly: the middle column mixes magenta and blue, where the
    // nearest pixel would repeat one of them.
    auto grown = CSkinResources::LoadImageRecord(strTemp + L"\\alone.png", L"", 0, 144);
    const DWORD middle = PixelAt(grown.get(), 1);
    EXPECT_TRUE(middle != 0xFFFF00FFu && middle != 0xFF0000FFu && (middle & 0xFF00FF00u) == 0xFF000000u)
        << std::hex << middle;

    // A host's loaded images follow its scale, under the same name.
    CSkinResources host;
    host.SetDpi(144);
    ASSERT_NE(host.FindOrLoadImage(L"img/checked.png"), nullptr);
    EXPECT_EQ(host.FindImage(L"img/checked.png")->nWidth, 21);
    host.SetDpi(96);
    ASSERT_NE(host.FindImage(L"img/checked.png"), nullptr);
    EXPECT_EQ(host.FindImage(L"img/checked.png")->nWidth, 14);
}

TEST_F(SkinResourcesTest, OwnTableFirstSharedSecond)
{
    CSkinResources first;
    CSkinResources second;
    ASSERT_NE(first.AddImageEntry(L"img/checked.png", L"", 0, false, true), nullptr);
    const TImageInfo* shared = second.FindImage(L"img/checked.png");
    ASSERT_NE(shared, nullptr);
    // An own image of that name hides the shared one for its host only.
    ASSERT_NE(second.AddImageEntry(L"img/checked.png", L"", 0xFF008000, false, false), nullptr);
    EXPECT_NE(second.FindImage(L"img/checked.png"), shared);
    EXPECT_EQ(first.FindImage(L"img/checked.png"), shared);
    // The host's flag routes every add to the shared tables.
    first.SetSharedResourcesMode(true);
    first.AddImageEntry(L"img/close-df.png");
    first.AddFontEntry(3, L"Tahoma", 12, false, false, false);
    first.SetClassDefaults(L"Button", L"height=\"30\"");
    EXPECT_NE(second.FindImage(L"img/close-df.png"), nullptr);
    EXPECT_EQ(second.GetFontId(second.GetFont(3)), 3);
    EXPECT_EQ(second.GetClassDefaults(L"Button"), L"height=\"30\"");
    // The own table of a host goes with RemoveAllOwnResources.
    second.RemoveAllOwnResources();
    EXPECT_EQ(second.FindImage(L"img/checked.png"), shared);
}

TEST_F(SkinResourcesTest, ReplacingAnImageDeletesTheOldBitmap)
{
    CSkinResources host;
    const TImageInfo* old = host.AddImageEntry(L"img/checked.png");
    ASSERT_NE(old, nullptr);
    HBITMAP oldBitmap = old->hBitmap;
    const unsigned generation = CSkinResources::ImageGeneration();
    CGdiObjectLog log;
    ASSERT_NE(host.AddImageEntry(L"img/checked.png"), nullptr);
    EXPECT_EQ(GetObjectType(oldBitmap), 0u);
    EXPECT_EQ(log.Created(), 1u) << "the new image's bitmap";
    EXPECT_EQ(log.Alive(), 1u);
    EXPECT_NE(CSkinResources::ImageGeneration(), generation);
}

TEST_F(SkinResourcesTest, SameFontIdTwiceDeletesTheFirstFont)
{
    CSkinResources host;
    HFONT first = host.AddFontEntry(1, L"Tahoma", 12, false, false, false);
    ASSERT_NE(first, nullptr);
    CGdiObjectLog log;
    HFONT second = host.AddFontEntry(1, L"Tahoma", 14, true, true, false);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetObjectType(first), 0u) << "the first font handle is still alive";
    EXPECT_EQ(GetObjectType(second), static_cast<DWORD>(OBJ_FONT));
    EXPECT_EQ(host.GetFont(1), second);

    // Many replacements leak nothing either: each old handle is gone.
    HFONT previous = second;
    for (int i = 0; i < 200; ++i) {
        HFONT next = host.AddFontEntry(1, L"Tahoma", 10 + i % 5, i % 2 == 0, false, false);
        ASSERT_NE(next, nullptr);
        ASSERT_EQ(GetObjectType(previous), 0u) << "round " << i;
        previous = next;
    }
    // Of everything made on the way (fonts, measuring contexts), only the
    // font in the table is left.
    EXPECT_GE(log.Created(), 201u);
    EXPECT_EQ(log.Alive(), 1u);
}

TEST_F(SkinResourcesTest, FontsAreBuiltFromTheStockFont)
{
    CSkinResources host;
    LOGFONTW stock = {};
    ASSERT_NE(GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(stock), &stock), 0);
    const std::wstring longFace(40, L'F');
    struct Case { const wchar_t* face; int size; bool bold; bool underline; bool italic; };
    const Case cases[] = {
        {L"Tahoma", 12, false, false, false},
        {L"Tahoma", 16, true, true, true},
        {longFace.c_str(), 9, false, true, false},
    };
    int id = 10;
    for (const Case& c : cases) {
        HFONT font = host.AddFontEntry(id, c.face, c.size, c.bold, c.underline, c.italic);
        ASSERT_NE(font, nullptr);
        LOGFONTW lf = {};
        ASSERT_NE(GetObjectW(font, sizeof(lf), &lf), 0);
        EXPECT_EQ(lf.lfHeight, -c.size);
        EXPECT_EQ(lf.lfWeight, stock.lfWeight + (c.bold ? 700 : 0));
        EXPECT_EQ(lf.lfUnderline != 0, c.underline);
        EXPECT_EQ(lf.lfItalic != 0, c.italic);
        EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);
        EXPECT_EQ(std::wstring(lf.lfFaceName), std::wstring(c.face).substr(0, 31));
        // The record keeps the face as given.
        const TFontInfo* info = host.FontDetails(id);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->hFont, font);
        EXPECT_EQ(info->strFaceName, c.face);
        EXPECT_TRUE(info->bMetricsValid);
        EXPECT_GT(info->tm.tmHeight, 0);
        EXPECT_EQ(host.GetFont(c.face, c.size, c.bold, c.underline, c.italic), font);
        EXPECT_EQ(host.FontDetails(font), info);
        ++id;
    }
    EXPECT_EQ(host.GetFont(L"Tahoma", 13, false, false, false), nullptr);
}

TEST_F(SkinResourcesTest, DefaultFontServesUnknownIds)
{
    CSkinResources host;
    const TFontInfo* shared = host.GetDefaultFontInfo();
    ASSERT_NE(shared, nullptr);
    LOGFONTW stock = {};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(stock), &stock);
    EXPECT_EQ(shared->strFaceName, stock.lfFaceName);
    EXPECT_EQ(host.GetFont(77), shared->hFont);
    EXPECT_EQ(host.FontDetails(77), shared);

    // The host's own default, once the skin sets one, serves this host only.
    HFONT own = host.SetBaseFont(L"Tahoma", 20, false, false, false);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(host.GetFont(77), own);
    CSkinResources other;
    EXPECT_EQ(other.GetFont(77), shared->hFont);
    // Replacing the own default deletes the previous one.
    ASSERT_NE(host.SetBaseFont(L"Tahoma", 21, false, false, false), nullptr);
    EXPECT_EQ(GetObjectType(own), 0u);
}

TEST_F(SkinResourcesTest, DefaultColoursAndClassDefaults)
{
    CSkinResources host;
    EXPECT_EQ(host.GetDefaultDisabledColor(), 0xFFA7A6AAu);
    EXPECT_EQ(host.GetDefaultFontColor(), 0xFF000000u);
    EXPECT_EQ(host.GetDefaultLinkFontColor(), 0xFF0000FFu);
    EXPECT_EQ(host.GetDefaultLinkHoverFontColor(), 0xFFD3215Fu);
    EXPECT_EQ(host.GetDefaultSelectedBkColor(), 0xFFBAE4FFu);
    host.SetDefaultFontColor(0xFF112233);
    EXPECT_EQ(CSkinResources().GetDefaultFontColor(), 0xFF000000u);
    host.SetDefaultFontColor(0xFF112233, true);
    EXPECT_EQ(CSkinResources().GetDefaultFontColor(), 0xFF112233u);
    host.SetDefaultFontColor(0xFF000000, true);

    host.SetClassDefaults(L"Edit", L"shared", true);
    EXPECT_EQ(host.GetClassDefaults(L"Edit"), L"shared");
    host.SetClassDefaults(L"Edit", L"own");
    EXPECT_EQ(host.GetClassDefaults(L"Edit"), L"own");
    EXPECT_EQ(CSkinResources().GetClassDefaults(L"Edit"), L"shared");
    EXPECT_EQ(host.GetClassDefaults(L"Label"), L"");
}

TEST_F(SkinResourcesTest, LanguageTokensExpand)
{
    CSkinResources::AddLangString(1, L"Install");
    CSkinResources::AddLangString(22, L"Now %{1}");
    EXPECT_EQ(CSkinResources::GetLangString(22), L"Now %{1}");
    EXPECT_EQ(CSkinResources::GetLangString(3), L"");
    struct Case { const wchar_t* in; const wchar_t* out; };
    const Case cases[] = {
        {L"%{1}", L"Install"},
        {L"a %{1} b %{1}", L"a Install b Install"},
        {L"%{22}!", L"Now %{1}!"},        // replaced text is not expanded again
        {L"%{3} stays", L"%{3} stays"},   // no such string
        {L"%{} %{x} %{1", L"%{} %{x} %{1"},
        {L"%%{1}}", L"%Install}"},
        // Leading zeros name the same string while the digits fit an int.
        {L"%{0001}", L"Install"}, {L"%{0000000001}", L"%{0000000001}"},
        {L"plain", L"plain"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CSkinResources::ExpandLangTokens(c.in), c.out) << testing::PrintToString(std::wstring(c.in));
}

TEST_F(SkinResourcesTest, ModuleFolderAndArchiveResource)
{
    HINSTANCE previous = CSkinSource::GetModule();
    CSkinSource::SetModule(nullptr);
    EXPECT_EQ(CSkinSource::GetModuleFolder(), L"");
    CSkinSource::SetModule(GetModuleHandleW(nullptr));
    const std::wstring folder = CSkinSource::GetModuleFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), L'\\');
    EXPECT_NE(GetFileAttributesW((folder + L"win_tests.exe").c_str()), INVALID_FILE_ATTRIBUTES) << folder.c_str();
    // No resource module set: the instance is searched.
    EXPECT_EQ(CSkinSource::GetResourceModule(), GetModuleHandleW(nullptr));

    // This test program carries no skin resource: the source stays as it is.
    CSkinSource::ResetSkinSource();
    EXPECT_FALSE(CSkinSource::SetSkinArchiveResource(MAKEINTRESOURCEW(104)));
    EXPECT_EQ(CSkinSource::GetSkinArchive(), L"");
    CSkinSource::SetModule(previous);
}
