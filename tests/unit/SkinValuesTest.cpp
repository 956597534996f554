// The readers of skin values: one table per value kind, with the shared rule
// for malformed and out-of-range text.
#include "skinui/SkinValues.h"

#include "logging/TextEncoding.h"

#include <gtest/gtest.h>

using namespace SkinUI;

namespace {

TEST(SkinValues, Integers)
{
    struct Case { const wchar_t* text; int value; };
    const Case cases[] = {
        {L"12", 12}, {L" 12px", 12}, {L"\t-7", -7}, {L"+3", 3}, {L"", 0}, {L"-", 0}, {L"x1", 0}, {L"1 2", 1},
        // Beyond the bound the value is held at it, in both directions.
        {L"1000000", 1000000}, {L"1000001", 1000000}, {L"99999999999999999999", 1000000},
        {L"-99999999999999999999", -1000000}, {L"0000000000000000000042", 42},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseInt(c.text), c.value) << WideToUtf8(c.text);
}

TEST(SkinValues, Colours)
{
    struct Case { const wchar_t* text; DWORD value; };
    const Case cases[] = {
        {L"#FFFF0000", 0xFFFF0000u}, {L"FF00FF00", 0xFF00FF00u}, {L"  #ff0000", 0x00FF0000u},
        {L"0xA0B0C0D0", 0xA0B0C0D0u}, {L"#FF00zz", 0xFF00u}, {L"", 0}, {L"#", 0}, {L"#G1", 0}, {L"##1", 0},
        // More than eight significant digits: held at the largest colour;
        // leading zeros are not significant.
        {L"#1FFFFFFFF", 0xFFFFFFFFu}, {L"123456789AB", 0xFFFFFFFFu}, {L"#00000000FF", 0xFFu},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseColor(c.text), c.value) << WideToUtf8(c.text);
}

TEST(SkinValues, RectanglesAndPairs)
{
    struct Case { const wchar_t* text; RECT rc; };
    const Case cases[] = {
        {L"1,2,3,4", {1, 2, 3, 4}}, {L"1,2,3,4,5", {1, 2, 3, 4}}, {L",,,", {0, 0, 0, 0}}, {L"5", {5, 0, 0, 0}},
        {L" 1, -2 ,3px,4", {1, -2, 3, 4}},
        // A malformed field reads as 0 and leaves the others in place.
        {L"x,8,,22junk", {0, 8, 0, 22}}, {L"2000000,1,1,1", {1000000, 1, 1, 1}},
    };
    for (const Case& c : cases) {
        const RECT rc = ParseRect(c.text);
        EXPECT_TRUE(rc.left == c.rc.left && rc.top == c.rc.top && rc.right == c.rc.right && rc.bottom == c.rc.bottom)
            << WideToUtf8(c.text) << " -> " << rc.left << "," << rc.top << "," << rc.right << "," << rc.bottom;
    }
    const SIZE size = ParseSize(L"650,360");
    EXPECT_EQ(size.cx, 650);
    EXPECT_EQ(size.cy, 360);
}

TEST(SkinValues, Fractions)
{
    struct Case { const wchar_t* text; double value; };
    const Case cases[] = {
        {L"0.5", 0.5}, {L" -.25", -0.25}, {L"+3", 3}, {L"1e-1", 0.1}, {L"2.5E+2", 250}, {L"0.75junk", 0.75},
        {L"2e", 2}, {L"2e-", 2}, {L"", 0}, {L"-", 0}, {L".", 0}, {L"x1", 0}, {L"e5", 0},
        // Only decimal text is a number here.
        {L"nan", 0}, {L"inf", 0}, {L"0x10", 0},
        {L"1e300", 1000000}, {L"-2000000.5", -1000000}, {L"1e-400", 0}, {L"0.000000000000000000001234", 1.234e-21},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(ParseFraction(c.text), c.value) << WideToUtf8(c.text);
    // A malformed field reads as 0 and leaves the others in place.
    double list[4];
    ParseFractionList(L"0.5,x1,,1", list, 4);
    EXPECT_TRUE(list[0] == 0.5 && list[1] == 0 && list[2] == 0 && list[3] == 1)
        << list[0] << "," << list[1] << "," << list[2] << "," << list[3];
}

TEST(SkinValues, LengthsFollowTheDisplayScale)
{
    struct Case { int value; int dpi; int scaled; };
    const Case cases[] = {
        // The window and the fold at the common scales; halves round away
        // from zero; 96 DPI (and a DPI that is no DPI) keeps every length.
        {650, 120, 813}, {360, 120, 450}, {650, 144, 975}, {75, 144, 113}, {650, 192, 1300}, {-3, 144, -5},
        {1, 120, 1}, {1, 144, 2}, {7, 96, 7}, {7, 0, 7}, {7, -144, 7}, {1000000, 192, 1000000},
        {-1000000, 192, -1000000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScaleLength(c.value, c.dpi), c.scaled) << c.value << " at " << c.dpi;
    const RECT rc = ParseLengthRect(L"40,21,40,0", 144);
    EXPECT_TRUE(rc.left == 60 && rc.top == 32 && rc.right == 60 && rc.bottom == 0);
    const SIZE size = ParseLengthSize(L"650,360", 144);
    EXPECT_TRUE(size.cx == 975 && size.cy == 540);
    EXPECT_EQ(ParseLength(L"12px", 192), 24);
}

TEST(SkinValues, BooleansBlanksAndNames)
{
    EXPECT_TRUE(ParseBool(L"true"));
    for (const wchar_t* text : {L"True", L"TRUE", L"1", L" true", L""})
        EXPECT_FALSE(ParseBool(text)) << WideToUtf8(text);

    EXPECT_TRUE(IsBlank(L' ') && IsBlank(L'\t') && IsBlank(L'\n') && IsBlank(wchar_t(1)) && IsBlank(wchar_t(32)));
    EXPECT_FALSE(IsBlank(wchar_t(0)) || IsBlank(L'!') || IsBlank(wchar_t(0xA0)));

    EXPECT_TRUE(SameNoCase(L"Button", L"bUTTON"));
    EXPECT_TRUE(SameNoCase(std::wstring(L"VBox"), std::wstring(L"vbox")));
    EXPECT_FALSE(SameNoCase(L"Button", L"Buttons"));
    EXPECT_FALSE(SameNoCase(std::wstring(L"a\0b", 3), std::wstring(L"a")));
    EXPECT_FALSE(SameNoCase(nullptr, L""));
    EXPECT_EQ(LowerCase(L"MainWnd"), L"mainwnd");
}

} // namespace
