#include "skinui/SkinRenderer.h"
#include "skinui/Dib32.h"

#include "common/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

using SkinUI::CImageDrawRecord;
using SkinUI::CRenderClip;
using SkinUI::CSkinRenderer;
using SkinUI::CSkinResources;
using SkinUI::CSkinSource;
using namespace testsupport;

namespace {

// A memory DC over a top-down 32-bit DIB section, filled with one colour.
class CTestCanvas {
public:
    CTestCanvas(int width, int height, COLORREF fill = RGB(255, 255, 255)) : nWidth(width), nHeight(height)
    {
        hBitmap = SkinUI::CreateDib32(width, height, &pBits);
        hDC = CreateCompatibleDC(nullptr);
        hOld = SelectObject(hDC, hBitmap);
        Fill(fill);
    }
    ~CTestCanvas()
    {
        SelectObject(hDC, hOld);
        DeleteDC(hDC);
        DeleteObject(hBitmap);
    }
    void Fill(COLORREF color)
    {
        HBRUSH brush = CreateSolidBrush(color);
        RECT all = {0, 0, nWidth, nHeight};
        FillRect(hDC, &all, brush);
        DeleteObject(brush);
    }
    // 0x00RRGGBB of one pixel.
    DWORD At(int x, int y) const
    {
        GdiFlush();
        return pBits[y * nWidth + x] & 0xFFFFFF;
    }
    int Red(int x, int y) const { return At(x, y) >> 16 & 0xFF; }
    int Green(int x, int y) const { return At(x, y) >> 8 & 0xFF; }
    int Blue(int x, int y) const { return At(x, y) & 0xFF; }
    // Pixels inside r that match the test.
    template <typename Test>
    int Count(const RECT& r, Test test) const
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (test(At(x, y)))
                    ++n;
        return n;
    }
    RECT All() const { return RECT{0, 0, nWidth, nHeight}; }
    // A picture of the canvas for failure messages ('.' white, '#' other).
    std::string Dump(const RECT& r) const
    {
        std::ostringstream out;
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x)
                out << (At(x, y) == 0xFFFFFF ? '.' : '#');
            out << '\n';
        }
        return out.str();
    }

    HDC hDC = nullptr;
    int nWidth;
    int nHeight;

private:
    HBITMAP hBitmap = nullptr;
    HGDIOBJ hOld = nullptr;
    DWORD* pBits = nullptr;
};

bool Near(int value, int expected, int tolerance = 2)
{
    return std::abs(value - expected) <= tolerance;
}

bool IsRed(DWORD c) { return (c >> 16 & 0xFF) > 150 && (c >> 8 & 0xFF) < 90 && (c & 0xFF) < 90; }
bool IsBlue(DWORD c) { return (c >> 16 & 0xFF) < 90 && (c >> 8 & 0xFF) < 90 && (c & 0xFF) > 150; }
bool IsDark(DWORD c) { return (c >> 16 & 0xFF) < 90 && (c >> 8 & 0xFF) < 90 && (c & 0xFF) < 90; }
bool IsWhite(DWORD c) { return c == 0xFFFFFF; }

class SkinRendererTest : public testing::Test {
protected:
    void SetUp() override
    {
        CSkinSource::ResetSkinSource();
        CSkinResources::ReleaseSharedResources();
        strZip = ReadFileBytes(FixturePath("skin/skin.zip"));
        ASSERT_FALSE(strZip.empty());
        ASSERT_TRUE(CSkinSource::SetSkinArchive(strZip.data(), strZip.size()));
        host = std::make_unique<CSkinResources>();
        ASSERT_NE(host->AddFontEntry(0, L"Tahoma", 16, false, false, false), nullptr);
    }
    void TearDown() override
    {
        CSkinRenderer::ForceOwnAlphaBlend(false);
        host.reset();
        CSkinResources::ReleaseSharedResources();
        CSkinSource::ResetSkinSource();
    }
    SIZE TextSize(HFONT font, const std::wstring& text)
    {
        CTestCanvas canvas(1, 1);
        HGDIOBJ old = SelectObject(canvas.hDC, font);
        SIZE size = {};
        GetTextExtentPoint32W(canvas.hDC, text.c_str(), static_cast<int>(text.size()), &size);
        SelectObject(canvas.hDC, old);
        return size;
    }
    std::string strZip;
    std::unique_ptr<CSkinResources> host;
};

} // namespace

// ---- Images -------------------------------------------------------------------

TEST_F(SkinRendererTest, DestPlacesTheCheckImageInsideTheControl)
{
    CTestCanvas canvas(120, 60);
    const RECT control = {10, 20, 110, 50};   // a check box 30 high
    CImageDrawRecord record(L"file='img/checked.png' dest='0,8,14,22'");
    ASSERT_TRUE(CSkinRenderer::DrawImage(canvas.hDC, host.get(), control, canvas.All(), record));
    // The 14 x 14 image at (0, 8) relative to the control, nothing else.
    const RECT image = {10, 28, 24, 42};
    EXPECT_EQ(canvas.Count(image, [](DWORD c) { return c == 0x008000; }), 14 * 14) << canvas.Dump(control);
    EXPECT_EQ(canvas.Count(canvas.All(), [](DWORD c) { return !IsWhite(c); }), 14 * 14) << canvas.Dump(control);
}

TEST_F(SkinRendererTest, DestIsCutAtTheControlsRightEdge)
{
    CTestCanvas canvas(60, 60);
    const RECT control = {10, 20, 20, 50};   // only 10 wide
    CImageDrawRecord record(L"file='img/checked.png' dest='0,8,14,22'");
    ASSERT_TRUE(CSkinRenderer::DrawImage(canvas.hDC, host.get(), control, canvas.All(), record));
    EXPECT_EQ(canvas.Count(RECT{20, 0, 60, 60}, [](DWORD c) { return !IsWhite(c); }), 0) << canvas.Dump(canvas.All());
    EXPECT_EQ(canvas.At(19, 28), 0x008000u);
    EXPECT_EQ(canvas.At(10, 41), 0x008000u);
    // A paint rectangle that misses the destination draws nothing.
    CTestCanvas other(60, 60);
    EXPECT_TRUE(CSkinRenderer::DrawImage(other.hDC, host.get(), control, RECT{30, 0, 60, 60}, record));
    EXPECT_EQ(other.Count(other.All(), [](DWORD c) { return !IsWhite(c); }), 0);
}

TEST_F(SkinRendererTest, MissingImageDrawsNothingAndIsNotLookedUpAgain)
{
    CTestCanvas canvas(40, 40);
    const RECT control = {0, 0, 40, 40};
    CImageDrawRecord record(L"file='img/late.png'");
    EXPECT_FALSE(CSkinRenderer::DrawImage(canvas.hDC, host.get(), control, control, record));
    EXPECT_TRUE(record.ResolveTried());
    // The image appears in the cache later: the record does not ask again...
    ASSERT_NE(host->AddImageEntry(L"img/late.png", CSkinResources::LoadImageRecord(L"img/checked.png", L"", 0)),
              nullptr);
    EXPECT_FALSE(CSkinRenderer::DrawImage(canvas.hDC, host.get(), control, control, record));
    EXPECT_EQ(canvas.Count(canvas.All(), [](DWORD c) { return !IsWhite(c); }), 0);
    // ...until its text is set again.
    record.SetText(L"file='img/late.png'");
    EXPECT_FALSE(record.ResolveTried());
    EXPECT_TRUE(CSkinRenderer::DrawImage(canvas.hDC, host.get(), control, control, record));
    EXPECT_EQ(canvas.At(20, 20), 0x008000u);

    // An image inline in markup text has no record: the host remembers the
    // failure, and later paints do not look the image up again.
    auto inlineWidth = [&]() {
        RECT rc = {0, 0, 200, 100};
        int links = 0;
        CSkinRenderer::DrawMarkupText(canvas.hDC, host.get(), rc, L"{i img/later.png}", 0xFF000000, nullptr, nullptr,
                                      links, 0, DT_SINGLELINE | DT_CALCRECT);
        return rc.right;
    };
    EXPECT_EQ(inlineWidth(), 0);
    ASSERT_NE(host->AddImageEntry(L"img/later.png", CSkinResources::LoadImageRecord(L"img/checked.png", L"", 0)),
              nullptr);
    EXPECT_EQ(inlineWidth(), 0);
}

TEST_F(SkinRendererTest, ReplacedCacheEntryIsResolvedAgain)
{
    CTestCanvas canvas(20, 20);
    const RECT control = {0, 0, 14, 14};
    CImageDrawRecord record(L"img/checked.png");
    ASSERT_TRUE(CSkinRenderer::DrawImage(canvas.hDC, host.get(), control, control, record));
    // The cached record goes (the host's own tables are cleared): the draw
    // record must not use its stale pointer.
    host->RemoveAllOwnResources();
    canvas.Fill(RGB(255, 255, 255));
    ASSERT_TRUE(CSkinRenderer::DrawImage(canvas.hDC, host.get(), control, control, record));
    EXPECT_EQ(canvas.At(5, 5), 0x008000u);
    EXPECT_EQ(record.ResolvedImage(), host->FindImage(L"img/checked.png"));
}

TEST_F(SkinRendererTest, NinePartImageKeepsCornersCrisp)
{
    CTestCanvas canvas(30, 30);
    const RECT control = {0, 0, 30, 30};
    CImageDrawRecord record(L"file='img/nine.png' corner='3,3,3,3'");
    ASSERT_TRUE(CSkinRenderer::DrawImage(canvas.hDC, host.get(), control, control, record));
    struct Probe { int x; int y; DWORD color; };
    const Probe probes[] = {
        {0, 0, 0xFF0000}, {2, 2, 0xFF0000},      // left-top corner, up to its edge
        {27, 0, 0x00FF00}, {29, 2, 0x00FF00},    // right-top
        {0, 27, 0x0000FF}, {2, 29, 0x0000FF},    // left-bottom
        {27, 27, 0xFFFF00}, {29, 29, 0xFFFF00},  // right-bottom
        {3, 3, 0xFFFFFF}, {15, 15, 0xFFFFFF}, {26, 26, 0xFFFFFF},
        {15, 0, 0x808080}, {15, 2, 0x808080}, {0, 15, 0x808080}, {29, 15, 0x808080},
    };
    for (const Probe& p : probes)
        EXPECT_EQ(canvas.At(p.x, p.y), p.color) << p.x << "," << p.y << " is " << std::hex << canvas.At(p.x, p.y);
}

TEST_F(SkinRendererTest, HoleAndTiling)
{
    {
        CTestCanvas canvas(30, 30, RGB(0, 0, 0));
        CImageDrawRecord record(L"file='img/nine.png' corner='3,3,3,3' hole='true'");
        ASSERT_TRUE(CSkinRenderer::DrawImage(canvas.hDC, host.get(), canvas.All(), canvas.All(), record));
        EXPECT_EQ(canvas.At(15, 15), 0u);           // the centre stays
        EXPECT_EQ(canvas.At(1, 1), 0xFF0000u);
        EXPECT_EQ(canvas.At(15, 1), 0x808080u);
    }
    // A 6 x 3 strip (grey 3, green 3) tiled over 15 pixels: the last copy is
    // cut, not squeezed.
    struct Case { const wchar_t* text; DWORD at14; };
    const Case cases[] = {
        {L"file='img/nine.png' source='3,0,9,3' xtiled='true'", 0x808080},
        {L"file='img/nine.png' source='3,0,9,3'", 0x00FF00},   // stretched
    };
    for (const Case& c : cases) {
        CTestCanvas canvas(15, 3);
        CImageDrawRecord record(c.text);
        ASSERT_TRUE(CSkinRenderer::DrawImage(canvas.hDC, host.get(), canvas.All(), canvas.All(), record));
        EXPECT_EQ(canvas.At(14, 1), c.at14) << testing::PrintToString(std::wstring(c.text));
        if (c.at14 == 0x808080) {
            const DWORD expected[] = {0x808080, 0x00FF00, 0x808080, 0x00FF00, 0x808080};
            for (int tile = 0; tile < 5; ++tile)
                EXPECT_EQ(canvas.At(tile * 3 + 1, 1), expected[tile]) << "tile " << tile;
        }
    }
}

TEST_F(SkinRendererTest, AlphaImagesBlendWithSystemAndOwnBlend)
{
    for (bool own : {false, true}) {
        CSkinRenderer::ForceOwnAlphaBlend(own);
        CTestCanvas canvas(2, 1);
        CImageDrawRecord record(L"img/semi.png");
        ASSERT_TRUE(CSkinRenderer::DrawImage(canvas.hDC, host.get(), canvas.All(), canvas.All(), record));
        // Premultiplied (100, 0, 0, 128) over white: 100 + 255 * 127 / 255.
        EXPECT_TRUE(Near(canvas.Red(0, 0), 227)) << "own " << own << ": " << std::hex << canvas.At(0, 0);
        EXPECT_TRUE(Near(canvas.Green(0, 0), 127)) << "own " << own << ": " << std::hex << canvas.At(0, 0);
        EXPECT_EQ(canvas.At(1, 0), 0x0A141Eu) << "own " << own;

        // Fade on an opaque image: green 128 at half strength over white.
        CTestCanvas faded(4, 4);
        CImageDrawRecord fade(L"file='img/checked.png' fade='128'");
        ASSERT_TRUE(CSkinRenderer::DrawImage(faded.hDC, host.get(), faded.All(), faded.All(), fade));
        EXPECT_TRUE(Near(faded.Red(1, 1), 127)) << "own " << own << ": " << std::hex << faded.At(1, 1);
        EXPECT_TRUE(Near(faded.Green(1, 1), 191)) << "own " << own << ": " << std::hex << faded.At(1, 1);
    }
}

TEST_F(SkinRendererTest, ColourImagesFromTheColorKey)
{
    CTestCanvas canvas(10, 10);
    CImageDrawRecord record(L"color='#FF0000FF' dest='2,2,6,6'");
    ASSERT_TRUE(CSkinRenderer::DrawImage(canvas.hDC, host.get(), canvas.All(), canvas.All(), record));
    EXPECT_EQ(canvas.Count(canvas.All(), [](DWORD c) { return c == 0x0000FF; }), 16) << canvas.Dump(canvas.All());
}

// ---- Fills and frames -------------------------------------------------------------

TEST_F(SkinRendererTest, ColourFillsOpaqueTranslucentAndInvisible)
{
    struct Case { DWORD color; COLORREF background; int red; int green; int blue; };
    const Case cases[] = {
        {0xFF0000FF, RGB(255, 255, 255), 0, 0, 255},      // opaque
        {0x80FF0000, RGB(255, 255, 255), 255, 127, 127},  // translucent red over white
        {0x00FF0000, RGB(255, 255, 255), 255, 255, 255},  // alpha 0: nothing
        {0x40000000, RGB(255, 255, 255), 191, 191, 191},  // a quarter of black
        {0x80FFFFFF, RGB(0, 0, 0), 128, 128, 128},        // half white over black
    };
    for (bool own : {false, true}) {
        CSkinRenderer::ForceOwnAlphaBlend(own);
        for (const Case& c : cases) {
            CTestCanvas canvas(20, 20, c.background);
            CSkinRenderer::DrawColor(canvas.hDC, RECT{5, 5, 15, 15}, c.color);
            const DWORD inside = canvas.At(10, 10);
            EXPECT_TRUE(Near(canvas.Red(10, 10), c.red) && Near(canvas.Green(10, 10), c.green) &&
                        Near(canvas.Blue(10, 10), c.blue))
                << "colour " << std::hex << c.color << " own " << own << " gave " << inside;
            const DWORD outside = (GetRValue(c.background) << 16) | (GetGValue(c.background) << 8) |
                                  GetBValue(c.background);
            EXPECT_EQ(canvas.At(14, 14), inside);
            EXPECT_EQ(canvas.At(4, 10), outside);
            EXPECT_EQ(canvas.At(15, 15), outside);
        }
    }
}

TEST_F(SkinRendererTest, GradientsRunBetweenTheColours)
{
    CTestCanvas canvas(10, 100);
    CSkinRenderer::DrawGradient(canvas.hDC, canvas.All(), 0xFF000000, 0xFFFFFFFF, true, 16);
    EXPECT_LT(canvas.Red(5, 0), 20);
    EXPECT_GT(canvas.Red(5, 99), 235);
    for (int y = 1; y < 100; ++y)
        ASSERT_GE(canvas.Red(5, y), canvas.Red(5, y - 1)) << "row " << y;
    EXPECT_EQ(canvas.At(0, 50), canvas.At(9, 50));   // vertical: rows are even

    CTestCanvas horizontal(100, 4);
    CSkinRenderer::DrawGradient(horizontal.hDC, horizontal.All(), 0xFFFF0000, 0xFF0000FF, false, 16);
    EXPECT_GT(horizontal.Red(0, 2), 235);
    EXPECT_GT(horizontal.Blue(99, 2), 235);

    // Mean alpha 128: blended; mean alpha 0: nothing.
    CTestCanvas half(10, 10);
    CSkinRenderer::DrawGradient(half.hDC, half.All(), 0x80000000, 0x80000000, true, 16);
    EXPECT_TRUE(Near(half.Red(5, 5), 127)) << std::hex << half.At(5, 5);
    CTestCanvas none(10, 10);
    CSkinRenderer::DrawGradient(none.hDC, none.All(), 0x00000000, 0x00000000, true, 16);
    EXPECT_EQ(none.Count(none.All(), [](DWORD c) { return !IsWhite(c); }), 0);
}

TEST_F(SkinRendererTest, FramesIgnoreAlphaAndStayInside)
{
    CTestCanvas canvas(20, 20);
    CSkinRenderer::DrawRect(canvas.hDC, RECT{2, 2, 18, 18}, 1, 0x00CCCCCC);
    EXPECT_EQ(canvas.At(2, 2), 0xCCCCCCu);
    EXPECT_EQ(canvas.At(17, 17), 0xCCCCCCu);
    EXPECT_EQ(canvas.At(10, 2), 0xCCCCCCu);
    EXPECT_EQ(canvas.At(10, 10), 0xFFFFFFu);   // null brush
    EXPECT_EQ(canvas.At(18, 18), 0xFFFFFFu);   // inside frame

    CTestCanvas line(20, 20);
    CSkinRenderer::DrawLine(line.hDC, RECT{0, 5, 20, 5}, 1, 0xFF0000FF);
    EXPECT_EQ(line.Count(RECT{0, 5, 20, 6}, [](DWORD c) { return c == 0x0000FF; }), 20);
    EXPECT_EQ(line.Count(line.All(), [](DWORD c) { return !IsWhite(c); }), 20);

    CTestCanvas round(20, 20);
    CSkinRenderer::DrawRoundRect(round.hDC, RECT{0, 0, 20, 20}, 1, 8, 8, 0xFFFF0000);
    EXPECT_EQ(round.At(10, 0), 0xFF0000u);
    EXPECT_EQ(round.At(0, 0), 0xFFFFFFu);   // the corner is rounded off
    EXPECT_EQ(round.At(10, 10), 0xFFFFFFu);
}

TEST_F(SkinRendererTest, RoundClipLimitsPaintingAndRestores)
{
    CTestCanvas canvas(20, 20);
    {
        CRenderClip clip;
        CSkinRenderer::MakeRoundClip(canvas.hDC, RECT{0, 0, 20, 15}, RECT{0, 0, 20, 20}, 10, 10, clip);
        CSkinRenderer::DrawColor(canvas.hDC, canvas.All(), 0xFFFF0000);
        EXPECT_EQ(canvas.At(0, 0), 0xFFFFFFu);    // outside the rounded corner
        EXPECT_EQ(canvas.At(10, 10), 0xFF0000u);
        EXPECT_EQ(canvas.At(10, 16), 0xFFFFFFu);  // outside the rectangle
    }
    CSkinRenderer::DrawColor(canvas.hDC, canvas.All(), 0xFF0000FF);
    EXPECT_EQ(canvas.At(0, 0), 0x0000FFu);
    EXPECT_EQ(canvas.At(10, 16), 0x0000FFu);
}

TEST_F(SkinRendererTest, RenderToBitmapLaysTheColourOver)
{
    const RECT rc = {100, 50, 110, 60};
    RECT seen = {};
    HBITMAP bitmap = CSkinRenderer::RenderToBitmap(
        host.get(),
        [&](HDC dc, const RECT& r) {
            seen = r;
            CSkinRenderer::DrawColor(dc, r, 0xFF00FF00);
        },
        rc, 0x80FFFFFF);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_TRUE(EqualRect(&seen, &rc));
    BITMAP bm = {};
    ASSERT_NE(GetObjectW(bitmap, sizeof(bm), &bm), 0);
    EXPECT_EQ(bm.bmWidth, 10);
    EXPECT_EQ(bm.bmBitsPixel, 32);
    const DWORD* bits = static_cast<const DWORD*>(bm.bmBits);
    ASSERT_NE(bits, nullptr);
    const DWORD pixel = bits[5 * 10 + 5] & 0xFFFFFF;
    EXPECT_TRUE(Near(pixel >> 16 & 0xFF, 128) && Near(pixel >> 8 & 0xFF, 255) && Near(pixel & 0xFF, 128))
        << std::hex << pixel;
    DeleteObject(bitmap);
}

// ---- Text ---------------------------------------------------------------------

TEST_F(SkinRendererTest, PlainTextKeepsAmpersandsAndExpandsTokens)
{
    CSkinResources::AddLangString(5, L"Install");
    HFONT font = host->GetFont(0);
    struct Case { const wchar_t* text; const wchar_t* shown; };
    const Case cases[] = {
        {L"&Save", L"&Save"},
        {L"%{5} now", L"Install now"},
    };
    for (const Case& c : cases) {
        CTestCanvas canvas(200, 40);
        RECT rc = {0, 0, 200, 40};
        CSkinRenderer::DrawPlainText(canvas.hDC, host.get(), rc, c.text, 0xFF000000, 0, DT_SINGLELINE | DT_CALCRECT);
        EXPECT_EQ(rc.right - rc.left, TextSize(font, c.shown).cx) << testing::PrintToString(std::wstring(c.text));
        RECT draw = {0, 0, 200, 40};
        CSkinRenderer::DrawPlainText(canvas.hDC, host.get(), draw, c.text, 0xFFFF0000, 0, DT_SINGLELINE);
        EXPECT_GT(canvas.Count(canvas.All(), IsRed), 0);
        EXPECT_EQ(canvas.Count(RECT{TextSize(font, c.shown).cx + 1, 0, 200, 40}, [](DWORD c) { return !IsWhite(c); }),
                  0);
    }
    CSkinResources::RemoveAllLangStrings();
}

TEST_F(SkinRendererTest, MarkupColourTagColoursOnlyItsRun)
{
    CTestCanvas canvas(300, 40);
    RECT rc = {0, 0, 300, 40};
    int links = 0;
    CSkinRenderer::DrawMarkupText(canvas.hDC, host.get(), rc, L"{c #FFFF0000}red{/c} black", 0xFF000000, nullptr,
                                  nullptr, links, 0, DT_SINGLELINE);
    const int redWidth = TextSize(host->GetFont(0), L"red").cx;
    const int totalWidth = TextSize(host->GetFont(0), L"red black").cx;
    EXPECT_GT(canvas.Count(RECT{0, 0, redWidth, 40}, IsRed), 10) << canvas.Dump(RECT{0, 0, 80, 20});
    EXPECT_EQ(canvas.Count(RECT{redWidth, 0, 300, 40}, IsRed), 0);
    EXPECT_GT(canvas.Count(RECT{redWidth, 0, totalWidth, 40}, IsDark), 10);
    EXPECT_EQ(canvas.Count(RECT{0, 0, redWidth, 40}, IsDark), 0);
    EXPECT_EQ(canvas.Count(RECT{totalWidth + 1, 0, 300, 40}, [](DWORD c) { return !IsWhite(c); }), 0);
}

TEST_F(SkinRendererTest, LinkRectangleRecordedAndColoured)
{
    const std::wstring text = L"I agree to the {u}{a https://example.invalid/eula}License{/a}{/u}";
    RECT linkRects[4] = {};
    std::wstring linkTexts[4];
    for (bool hover : {false, true}) {
        CTestCanvas canvas(400, 40);
        RECT rc = {0, 0, 400, 40};
        int links = 4;
        if (hover) {
            // The mouse over the link found by the first pass.
            host->SetMousePos(POINT{(linkRects[0].left + linkRects[0].right) / 2,
                                    (linkRects[0].top + linkRects[0].bottom) / 2});
        }
        CSkinRenderer::DrawMarkupText(canvas.hDC, host.get(), rc, text, 0xFF000000, linkRects, linkTexts, links, 0,
                                      DT_SINGLELINE);
        ASSERT_EQ(links, 1);
        EXPECT_EQ(linkTexts[0], L"https://example.invalid/eula");
        const RECT& link = linkRects[0];
        const int prefix = TextSize(host->GetFont(0), L"I agree to the ").cx;
        EXPECT_EQ(link.left, prefix);
        EXPECT_GT(link.right - link.left, 20);
        EXPECT_GT(link.bottom, link.top);

        const DWORD linkColour = hover ? 0xD3215F : 0x0000FF;
        auto isLinkColour = [&](DWORD c) { return c == linkColour; };
        EXPECT_GT(canvas.Count(link, isLinkColour), link.right - link.left - 2) << canvas.Dump(link);
        EXPECT_EQ(canvas.Count(RECT{0, 0, link.left, 40}, isLinkColour), 0);
        // The text before the link keeps the caller's (black) colour; its
        // smoothed edges are grey, never tinted.
        auto tinted = [](DWORD c) {
            const int r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
            return std::max({r, g, b}) - std::min({r, g, b}) > 40;
        };
        EXPECT_GT(canvas.Count(RECT{0, 0, link.left, 40}, IsDark), 10);
        EXPECT_EQ(canvas.Count(RECT{0, 0, link.left, 40}, tinted), 0);
        // Underlined: some row of the link is the link colour nearly all along.
        int longestRow = 0;
        for (int y = link.top; y < link.bottom; ++y)
            longestRow = std::max(longestRow, canvas.Count(RECT{link.left, y, link.right, y + 1}, isLinkColour));
        EXPECT_GE(longestRow, link.right - link.left - 2) << canvas.Dump(link);
    }
    host->SetMousePos(POINT{-1, -1});
}

TEST_F(SkinRendererTest, NineLinksCollectEight)
{
    std::wstring text;
    for (int i = 1; i <= 9; ++i)
        text += L"{a " + std::to_wstring(i) + L"}L" + std::to_wstring(i) + L"{/a} ";
    RECT rects[9] = {};
    std::wstring texts[9];
    int links = 8;
    CTestCanvas canvas(600, 40);
    RECT rc = {0, 0, 600, 40};
    CSkinRenderer::DrawMarkupText(canvas.hDC, host.get(), rc, text, 0xFF000000, rects, texts, links, 0, DT_SINGLELINE);
    EXPECT_EQ(links, 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(texts[i], std::to_wstring(i + 1));
        if (i > 0)
            EXPECT_GT(rects[i].left, rects[i - 1].right - 1);
    }
    EXPECT_TRUE(texts[8].empty());
    EXPECT_TRUE(IsRectEmpty(&rects[8]));
    // Without arrays nothing is recorded, and the count says so.
    int none = 0;
    CSkinRenderer::DrawMarkupText(canvas.hDC, host.get(), rc, text, 0xFF000000, nullptr, nullptr, none, 0,
                                  DT_SINGLELINE);
    EXPECT_EQ(none, 0);
}

TEST_F(SkinRendererTest, CalcRectMeasuresWidthAndLines)
{
    HFONT font = host->GetFont(0);
    const int height = host->FontDetails(0)->tm.tmHeight;
    int links = 0;
    // One line: the width of the text, with the bold run in its bold variant.
    RECT rc = {10, 10, 400, 100};
    CSkinRenderer::DrawMarkupText(nullptr, host.get(), rc, L"x", 0, nullptr, nullptr, links, 0, DT_CALCRECT);
    EXPECT_EQ(rc.right, 400);   // no DC: nothing measured, nothing changed

    CTestCanvas canvas(400, 100);
    rc = RECT{10, 10, 400, 100};
    CSkinRenderer::DrawMarkupText(canvas.hDC, host.get(), rc, L"{b}Hello{/b} world", 0xFF000000, nullptr, nullptr,
                                  links, 0, DT_SINGLELINE | DT_CALCRECT);
    HFONT bold = host->GetFont(L"Tahoma", 16, true, false, false);
    ASSERT_NE(bold, nullptr) << "the bold variant is made through AddFontEntry";
    EXPECT_GE(host->GetFontId(bold), 10000);
    EXPECT_EQ(rc.right - rc.left, TextSize(bold, L"Hello").cx + TextSize(font, L" world").cx);
    EXPECT_EQ(rc.bottom - rc.top, height);
    EXPECT_EQ(canvas.Count(canvas.All(), [](DWORD c) { return !IsWhite(c); }), 0) << "measuring drew";

    // Never beyond the original right edge.
    rc = RECT{10, 10, 30, 100};
    CSkinRenderer::DrawMarkupText(canvas.hDC, host.get(), rc, L"a long single line", 0xFF000000, nullptr, nullptr,
                                  links, 0, DT_SINGLELINE | DT_CALCRECT);
    EXPECT_EQ(rc.right, 30);

    // Wrapped: one word per line.
    const int wordWidth = TextSize(font, L"bbbb ").cx;
    rc = RECT{0, 0, wordWidth + 2, 500};
    CSkinRenderer::DrawMarkupText(canvas.hDC, host.get(), rc, L"aaaa bbbb cccc", 0xFF000000, nullptr, nullptr,
                                  links, 0, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_EQ(rc.bottom, 3 * height);
    EXPECT_LE(rc.right, wordWidth + 2);
    // {n} breaks the line; in single-line style it is ignored.
    rc = RECT{0, 0, 400, 500};
    CSkinRenderer::DrawMarkupText(canvas.hDC, host.get(), rc, L"one{n}two", 0xFF000000, nullptr, nullptr, links, 0,
                                  DT_CALCRECT);
    EXPECT_EQ(rc.bottom, 2 * height);
    rc = RECT{0, 0, 400, 500};
    CSkinRenderer::DrawMarkupText(canvas.hDC, host.get(), rc, L"one{n}two", 0xFF000000, nullptr, nullptr, links, 0,
                                  DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(rc.bottom, height);
    EXPECT_EQ(rc.right, TextSize(font, L"onetwo").cx);
}

TEST_F(SkinRendererTest, TagsChangeTheMeasuredExtent)
{
    HFONT font = host->GetFont(0);
    HFONT big = host->AddFontEntry(1, L"Tahoma", 24, false, false, false);
    ASSERT_NE(big, nullptr);
    const int height = host->FontDetails(0)->tm.tmHeight;
    const int bigHeight = host->FontDetails(1)->tm.tmHeight;
    CTestCanvas canvas(10, 10);
    auto w = [&](HFONT f, const wchar_t* text) { return static_cast<int>(TextSize(f, text).cx); };
    struct Case { const wchar_t* text; UINT style; int width; int height; };
    const Case cases[] = {
        {L"ab{x 10}cd", DT_SINGLELINE, w(font, L"ab") + 10 + w(font, L"cd"), height},
        {L"{y 40}ab", DT_SINGLELINE, w(font, L"ab"), 40},
        {L"ab{p 5}cd{/p}", 0, w(font, L"ab"), 2 * height + 5},
        {L"{r}{b}x{/b}{/r}", DT_SINGLELINE, w(font, L"{b}x{/b}"), height},
        {L"{f 1}ab{/f}cd", DT_SINGLELINE, w(big, L"ab") + w(font, L"cd"), bigHeight},
        {L"{i img/checked.png}", DT_SINGLELINE, 14, 14},
        {L"ab{p 5}cd{/p}ef", 0, w(font, L"ab"), 3 * height + 5},
        {L"<b>ab</b>", DT_SINGLELINE, -1, height},   // width checked below
        {L"{q}ab", DT_SINGLELINE, w(font, L"{q}ab"), height},   // not a tag
    };
    for (const Case& c : cases) {
        RECT rc = {0, 0, 500, 500};
        int links = 0;
        CSkinRenderer::DrawMarkupText(canvas.hDC, host.get(), rc, c.text, 0xFF000000, nullptr, nullptr, links, 0,
                                      c.style | DT_CALCRECT);
        if (c.width >= 0)
            EXPECT_EQ(rc.right, c.width) << testing::PrintToString(std::wstring(c.text));
        EXPECT_EQ(rc.bottom, c.height) << testing::PrintToString(std::wstring(c.text));
    }
    // The angle form and the face form make the same bold variant.
    RECT angle = {0, 0, 500, 500};
    RECT face = {0, 0, 500, 500};
    int links = 0;
    CSkinRenderer::DrawMarkupText(canvas.hDC, host.get(), angle, L"<b>ab</b>", 0, nullptr, nullptr, links, 0,
                                  DT_SINGLELINE | DT_CALCRECT);
    CSkinRenderer::DrawMarkupText(canvas.hDC, host.get(), face, L"{f Tahoma 16 bold}ab{/f}", 0, nullptr, nullptr,
                                  links, 0, DT_SINGLELINE | DT_CALCRECT);
    HFONT bold = host->GetFont(L"Tahoma", 16, true, false, false);
    ASSERT_NE(bold, nullptr);
    EXPECT_EQ(angle.right, w(bold, L"ab"));
    EXPECT_EQ(face.right, w(bold, L"ab"));
    EXPECT_GT(w(bold, L"ab"), w(font, L"ab"));
}

TEST_F(SkinRendererTest, HugeMovesAndSpacingStayBounded)
{
    std::wstring text;
    for (int i = 0; i < 5000; ++i)
        text += L"{x 1000000}{p 1000000}a{/p}";
    CTestCanvas canvas(50, 50);
    RECT rc = {0, 0, 50, 50};
    int links = 0;
    CSkinRenderer::DrawMarkupText(canvas.hDC, host.get(), rc, text, 0xFF000000, nullptr, nullptr, links, 0,
                                  DT_CALCRECT);
    EXPECT_LE(rc.right, 50);
    EXPECT_GT(rc.bottom, 50);
    EXPECT_LE(rc.bottom, 1 << 24);
    RECT draw = {0, 0, 50, 50};
    CSkinRenderer::DrawMarkupText(canvas.hDC, host.get(), draw, text, 0xFF000000, nullptr, nullptr, links, 0, 0);
    EXPECT_EQ(canvas.Count(canvas.All(), [](DWORD c) { return !IsWhite(c); }), 0);
}

TEST_F(SkinRendererTest, CentredAndRightAlignedSingleLine)
{
    struct Case { UINT align; const char* name; };
    const Case cases[] = {{DT_CENTER, "centre"}, {DT_RIGHT, "right"}, {DT_LEFT, "left"}};
    const int width = TextSize(host->GetFont(0), L"MMM").cx;
    for (const Case& c : cases) {
        CTestCanvas canvas(200, 30);
        RECT rc = {0, 0, 200, 30};
        int links = 0;
        CSkinRenderer::DrawMarkupText(canvas.hDC, host.get(), rc, L"{c #FFFF0000}MMM{/c}", 0xFF000000, nullptr,
                                      nullptr, links, 0, DT_SINGLELINE | c.align);
        int minX = 200, maxX = -1;
        for (int x = 0; x < 200; ++x) {
            if (canvas.Count(RECT{x, 0, x + 1, 30}, IsRed) > 0) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
            }
        }
        ASSERT_GE(maxX, 0) << c.name;
        const int expectedLeft = c.align == DT_CENTER ? (200 - width) / 2 : c.align == DT_RIGHT ? 200 - width : 0;
        EXPECT_TRUE(Near(minX, expectedLeft, 3)) << c.name << ": ink starts at " << minX << ", text at "
                                                  << expectedLeft;
        EXPECT_LE(maxX, expectedLeft + width) << c.name;
    }
}

TEST_F(SkinRendererTest, EllipsisCutsTheSingleLine)
{
    CTestCanvas canvas(60, 30);
    RECT rc = {0, 0, 60, 30};
    int links = 0;
    CSkinRenderer::DrawMarkupText(canvas.hDC, host.get(), rc, L"a rather long text that cannot fit", 0xFF000000,
                                  nullptr, nullptr, links, 0, DT_SINGLELINE | DT_END_ELLIPSIS | DT_CALCRECT);
    EXPECT_LE(rc.right, 60);
    EXPECT_GT(rc.right, 20);
    RECT draw = {0, 0, 60, 30};
    CSkinRenderer::DrawMarkupText(canvas.hDC, host.get(), draw, L"a rather long text that cannot fit", 0xFF000000,
                                  nullptr, nullptr, links, 0, DT_SINGLELINE | DT_END_ELLIPSIS);
    EXPECT_GT(canvas.Count(canvas.All(), IsDark), 0);
}

TEST_F(SkinRendererTest, SelectedRunHasOpaqueBackground)
{
    CTestCanvas canvas(200, 30);
    RECT rc = {0, 0, 200, 30};
    int links = 0;
    CSkinRenderer::DrawMarkupText(canvas.hDC, host.get(), rc, L"ab{s}cd{/s}ef", 0xFF000000, nullptr, nullptr, links,
                                  0, DT_SINGLELINE);
    const int before = TextSize(host->GetFont(0), L"ab").cx;
    const int selected = TextSize(host->GetFont(0), L"cd").cx;
    const DWORD background = host->GetDefaultSelectedBkColor() & 0xFFFFFF;
    EXPECT_GT(canvas.Count(RECT{before, 0, before + selected, 30}, [&](DWORD c) { return c == background; }),
              selected * 4);
    EXPECT_EQ(canvas.Count(RECT{0, 0, before, 30}, [&](DWORD c) { return c == background; }), 0);
}
