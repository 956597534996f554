// Reading the values a skin writes into its attributes: integers, colours,
// lists of integers (rectangles and pairs), decimal fractions, Booleans, and
// the two character rules every skin reader shares (what a blank is, and
// names compared without regard to case). Every reader of skin text in the
// framework goes through these functions, so one value reads the same
// everywhere. Every number of the skin, its lengths included, enters the
// framework here, and so does the display scale: the skin is written in
// pixels of a 96-DPI display, and the length readers turn its lengths into
// pixels of the window's display. No Windows API.
//
// One rule for malformed and out-of-range input, in every reader here:
// - a value is read as far as it has its shape, the rest is ignored: "12px"
//   is 12, "#FF00zz" is 0xFF00;
// - a value without a single digit reads as 0: "", "-", "x1", "#";
// - an integer or a fraction beyond +-kMaxCoordinate (1,000,000) is held at
//   that bound, so the sums a layout makes of many skin numbers cannot
//   overflow; a colour beyond 0xFFFFFFFF (more than eight significant
//   digits) is held at 0xFFFFFFFF.
#pragma once

#include <string>

#include "skinui/UIDefs.h"

namespace SkinUI {

// A blank is any character with a code from 1 to 32 (the terminating zero
// is not one).
inline bool IsBlank(wchar_t c)
{
    return c != 0 && static_cast<uint32_t>(c) <= 32;
}

// Names compared without regard to case ("Button" and "button"); a null
// pointer equals nothing.
bool SameNoCase(const std::wstring& a, const std::wstring& b);
bool SameNoCase(const wchar_t* a, const wchar_t* b);
std::wstring LowerCase(std::wstring text);

// Decimal: leading blanks, an optional sign, digits.
int ParseInt(const std::wstring& text);
// Hexadecimal 0xAARRGGBB: leading blanks, an optional "#" or "0x", digits.
DWORD ParseColor(const std::wstring& text);
// `count` comma-separated integers, each field read as ParseInt reads it;
// missing fields are 0 and fields beyond `count` are ignored.
void ParseIntList(const std::wstring& text, int* values, int count);
// Decimal fraction: leading blanks, an optional sign, digits with an optional
// "." and more digits, an optional exponent: "0.25", "-.5", "1e-1". Nothing
// else is a number here ("inf", "nan" and hexadecimal read as 0).
double ParseFraction(const std::wstring& text);
// `count` comma-separated fractions, each field read as ParseFraction reads
// it, with the fields as ParseIntList has them.
void ParseFractionList(const std::wstring& text, double* values, int count);
// "l,t,r,b" and "cx,cy".
RECT ParseRect(const std::wstring& text);
SIZE ParseSize(const std::wstring& text);
// Only the exact text "true" is true.
inline bool ParseBool(const std::wstring& text) { return text == L"true"; }

// The display scale. A skin length of n pixels is n * dpi / 96 pixels on a
// display of `dpi` dots per inch, rounded to the nearest pixel (halves away
// from zero, so 650 is 813 at 120 DPI and -3 is -5 at 144 DPI) and held
// within +-kMaxCoordinate. At 96 DPI every length stays as written. A DPI
// that is not positive counts as 96.
constexpr int kBaseDpi = 96;
int ScaleLength(int value, int dpi);
RECT ScaleRect(const RECT& rc, int dpi);
SIZE ScaleSize(const SIZE& size, int dpi);
// The length readers: ParseInt, ParseRect and ParseSize, then the scale.
inline int ParseLength(const std::wstring& text, int dpi) { return ScaleLength(ParseInt(text), dpi); }
inline RECT ParseLengthRect(const std::wstring& text, int dpi) { return ScaleRect(ParseRect(text), dpi); }
inline SIZE ParseLengthSize(const std::wstring& text, int dpi) { return ScaleSize(ParseSize(text), dpi); }

} // namespace SkinUI
