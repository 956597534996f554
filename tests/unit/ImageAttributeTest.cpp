#include "skinui/ImageAttribute.h"

#include "logging/TextEncoding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace SkinUI;

namespace {

std::string Show(const SkinRect& rc)
{
    return std::to_string(rc.left) + "," + std::to_string(rc.top) + "," + std::to_string(rc.right) + "," +
           std::to_string(rc.bottom);
}

// The record as one line, defaults left out, for table comparisons.
std::string Show(const ImageAttribute& a)
{
    std::string out = "name=" + WideToUtf8(a.strImageName);
    if (!a.strResType.empty())
        out += " type=" + WideToUtf8(a.strResType);
    if (!a.rcDest.IsZero())
        out += " dest=" + Show(a.rcDest);
    if (!a.rcSource.IsZero())
        out += " source=" + Show(a.rcSource);
    if (!a.rcCorner.IsZero())
        out += " corner=" + Show(a.rcCorner);
    if (a.dwMask != 0) {
        char mask[16];
        std::snprintf(mask, sizeof(mask), "%08X", static_cast<unsigned>(a.dwMask));
        out += std::string(" mask=") + mask;
    }
    if (a.uFade != 255)
        out += " fade=" + std::to_string(a.uFade);
    if (a.bHole)
        out += " hole";
    if (a.bXTiled)
        out += " xtiled";
    if (a.bYTiled)
        out += " ytiled";
    if (a.bHsl)
        out += " hsl";
    return out;
}

TEST(ImageAttribute, ParsesTheAttributeLanguage)
{
    struct Case { const wchar_t* text; const char* parsed; };
    const Case cases[] = {
        // A text that is not a key list is one file name.
        {L"img\\left_log.png", "name=img\\left_log.png"},
        {L"language\\pr_01.png", "name=language\\pr_01.png"},
        {L"", "name="},
        {L"file='img/checked.png' dest='0,8,14,22'", "name=img/checked.png dest=0,8,14,22"},
        {L"file = 'a.png'   source='0,0,90,30' corner='4,4,4,4' hole='true'",
         "name=a.png source=0,0,90,30 corner=4,4,4,4 hole"},
        {L"file='a.png' scale9='1,2,3,4'", "name=a.png corner=1,2,3,4"},
        // restype only counts together with res.
        {L"file='a.png' restype='PNG'", "name=a.png"},
        {L"res='105' restype='PNG'", "name=105 type=PNG"},
        {L"restype='PNG' res='logo'", "name=logo type=PNG"},
        {L"res='105'", "name=105"},
        {L"res='105' restype='PNG' file='b.png'", "name=b.png"},
        {L"color='#80FF0000'", "name=#80FF0000 type=*COLOR*"},
        {L"mask='#FFFF00FF' fade='128'", "name=mask='#FFFF00FF' fade='128' mask=FFFF00FF fade=128"},
        {L"file='a.png' mask='ff00ff'", "name=a.png mask=00FF00FF"},
        {L"file='a.png' mask='0x12345678'", "name=a.png mask=12345678"},
        {L"file='a.png' xtiled='true' ytiled='true' hsl='true'", "name=a.png xtiled ytiled hsl"},
        {L"file='a.png' hole='TRUE' xtiled='1' ytiled='false'", "name=a.png"},
        // Empty values and unknown keys are skipped.
        {L"file='' unknown='x' file='b.png'", "name=b.png"},
        // Parsing stops at the first item of another shape, keeping what was read.
        {L"file='a.png' bogus dest='1,1,1,1'", "name=a.png"},
        {L"file='a.png' dest=1,1,1,1", "name=a.png"},
        {L"file='a.png' dest='1,1,1,1", "name=a.png"},
        {L"dest='1,2,3,4' file", "name=dest='1,2,3,4' file dest=1,2,3,4"},
        // Malformed numbers read as 0; fades are clamped; source and corner never negative.
        {L"file='a.png' dest='x,8,,22junk'", "name=a.png dest=0,8,0,22"},
        {L"file='a.png' dest='-5,-6,7'", "name=a.png dest=-5,-6,7,0"},
        {L"file='a.png' dest='99999999999,1,1,1'", "name=a.png dest=1000000,1,1,1"},
        {L"file='a.png' source='-1,-2,3,4' corner='-1,2,-3,4'", "name=a.png source=0,0,3,4 corner=0,2,0,4"},
        {L"file='a.png' fade='300'", "name=a.png"},
        {L"file='a.png' fade='-4'", "name=a.png fade=0"},
        {L"file='a.png' fade='abc'", "name=a.png fade=0"},
        {L"file='a.png' mask='#zz'", "name=a.png"},
        {L"file='a.png' mask='#123456789'", "name=a.png mask=FFFFFFFF"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Show(ParseImageAttribute(c.text)), c.parsed) << WideToUtf8(c.text);
}

TEST(ImageAttribute, DestinationInsideTheControl)
{
    struct Case { SkinRect control; SkinRect dest; const char* result; };
    const Case cases[] = {
        // A check box of height 30 at (100, 50): the 14 x 14 image goes to (0, 8).
        {{100, 50, 300, 80}, {0, 8, 14, 22}, "100,58,114,72"},
        // Cut at the control's right and bottom edges.
        {{100, 50, 110, 80}, {0, 8, 14, 22}, "100,58,110,72"},
        {{0, 0, 50, 10}, {0, 8, 14, 22}, "0,8,14,10"},
        // All zeros: the whole control.
        {{5, 6, 7, 8}, {0, 0, 0, 0}, "5,6,7,8"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Show(ImageDestRect(c.control, c.dest)), c.result) << Show(c.dest);
}

TEST(ImageAttribute, SourceClampedToTheImage)
{
    EXPECT_EQ(Show(ImageSourceRect({0, 0, 0, 0}, 40, 30)), "0,0,40,30");
    EXPECT_EQ(Show(ImageSourceRect({10, 0, 90, 30}, 40, 30)), "10,0,40,30");
    EXPECT_EQ(Show(ImageSourceRect({50, 40, 90, 90}, 40, 30)), "40,30,40,30");
    EXPECT_TRUE(ImageSourceRect({50, 40, 90, 90}, 40, 30).IsEmpty());
}

std::string ShowParts(const std::vector<ImagePart>& parts)
{
    std::string out;
    for (const ImagePart& part : parts)
        out += "[" + Show(part.rcDest) + "<-" + Show(part.rcSource) + "]";
    return out;
}

TEST(ImageAttribute, NinePartLayout)
{
    const SkinRect paint{-1000, -1000, 1000, 1000};
    // 30 x 30 image with 10-pixel corners stretched to 100 x 50: the corners
    // keep their size, the edges and the centre stretch.
    const std::vector<ImagePart> parts =
        LayoutImageParts({0, 0, 100, 50}, {0, 0, 30, 30}, {10, 10, 10, 10}, false, false, false, paint);
    EXPECT_EQ(ShowParts(parts),
              "[10,10,90,40<-10,10,20,20]"                                    // centre
              "[0,0,10,10<-0,0,10,10][90,0,100,10<-20,0,30,10]"               // top corners
              "[0,40,10,50<-0,20,10,30][90,40,100,50<-20,20,30,30]"           // bottom corners
              "[0,10,10,40<-0,10,10,20][10,0,90,10<-10,0,20,10]"              // left, top edges
              "[90,10,100,40<-20,10,30,20][10,40,90,50<-10,20,20,30]");       // right, bottom edges

    // A hole leaves the centre out.
    EXPECT_EQ(LayoutImageParts({0, 0, 100, 50}, {0, 0, 30, 30}, {10, 10, 10, 10}, true, false, false, paint).size(),
              8u);
    // Without corners the image is one stretched part.
    EXPECT_EQ(ShowParts(LayoutImageParts({5, 5, 25, 15}, {0, 0, 4, 4}, {}, false, false, false, paint)),
              "[5,5,25,15<-0,0,4,4]");
    // Only parts that meet the paint rectangle.
    EXPECT_EQ(ShowParts(LayoutImageParts({0, 0, 100, 50}, {0, 0, 30, 30}, {10, 10, 10, 10}, false, false, false,
                                         {85, 35, 200, 200})),
              "[10,10,90,40<-10,10,20,20][90,40,100,50<-20,20,30,30][90,10,100,40<-20,10,30,20][10,40,90,50<-10,20,20,30]");
    // Nothing for an empty source or destination.
    EXPECT_TRUE(LayoutImageParts({0, 0, 0, 50}, {0, 0, 30, 30}, {}, false, false, false, paint).empty());
    EXPECT_TRUE(LayoutImageParts({0, 0, 10, 10}, {5, 5, 5, 9}, {}, false, false, false, paint).empty());
}

TEST(ImageAttribute, CornersLargerThanTheSourceNeverReadOutsideIt)
{
    const SkinRect source{2, 3, 12, 8};  // 10 x 5
    const std::vector<ImagePart> parts =
        LayoutImageParts({0, 0, 100, 100}, source, {8, 4, 8, 4}, false, true, true, {0, 0, 100, 100});
    ASSERT_FALSE(parts.empty());
    for (const ImagePart& part : parts) {
        EXPECT_GE(part.rcSource.left, source.left) << ShowParts({part});
        EXPECT_GE(part.rcSource.top, source.top) << ShowParts({part});
        EXPECT_LE(part.rcSource.right, source.right) << ShowParts({part});
        EXPECT_LE(part.rcSource.bottom, source.bottom) << ShowParts({part});
        EXPECT_FALSE(part.rcDest.IsEmpty());
    }
}

TEST(ImageAttribute, TiledCentreRepeatsAtSourceSizeAndCutsTheLastCopy)
{
    const SkinRect paint{0, 0, 1000, 1000};
    // Centre 25 wide from a 10-wide source: 10 + 10 + 5; stretched vertically.
    EXPECT_EQ(ShowParts(LayoutImageParts({0, 0, 25, 8}, {0, 0, 10, 4}, {}, false, true, false, paint)),
              "[0,0,10,8<-0,0,10,4][10,0,20,8<-0,0,10,4][20,0,25,8<-0,0,5,4]");
    // Both axes: a 2 x 2 grid with the last row and column cut.
    EXPECT_EQ(ShowParts(LayoutImageParts({0, 0, 15, 7}, {0, 0, 10, 4}, {}, false, true, true, paint)),
              "[0,0,10,4<-0,0,10,4][10,0,15,4<-0,0,5,4][0,4,10,7<-0,0,10,3][10,4,15,7<-0,0,5,3]");
    // Copies left of the paint rectangle are skipped.
    EXPECT_EQ(ShowParts(LayoutImageParts({0, 0, 25, 8}, {0, 0, 10, 4}, {}, false, true, false, {21, 0, 30, 8})),
              "[20,0,25,8<-0,0,5,4]");
    // One-pixel tiles over a huge area stop at a bound instead of running away.
    EXPECT_LE(LayoutImageParts({0, 0, 100000, 100000}, {0, 0, 1, 1}, {}, false, true, true,
                               {0, 0, 100000, 100000}).size(), 100000u);
}

} // namespace
