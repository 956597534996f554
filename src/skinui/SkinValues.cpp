// The readers of skin values; the rule they share is in the header.
#include "skinui/SkinValues.h"

#include <cwctype>

namespace SkinUI {

namespace {

int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

bool SameNoCase(const wchar_t* a, size_t lengthA, const wchar_t* b, size_t lengthB)
{
    if (lengthA != lengthB)
        return false;
    for (size_t i = 0; i < lengthA; ++i) {
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    }
    return true;
}

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

// Where a number's digits start: after leading blanks and an optional sign.
size_t SkipBlanksAndSign(const std::wstring& text, size_t pos, size_t end, bool& negative)
{
    while (pos < end && IsBlank(text[pos]))
        ++pos;
    negative = pos < end && text[pos] == L'-';
    if (pos < end && (text[pos] == L'-' || text[pos] == L'+'))
        ++pos;
    return pos;
}

// One integer from `pos` up to `end`; see ParseInt.
int ReadInt(const std::wstring& text, size_t pos, size_t end)
{
    bool negative = false;
    pos = SkipBlanksAndSign(text, pos, end, negative);
    long long value = 0;
    for (; pos < end && IsDigit(text[pos]); ++pos) {
        if (value <= kMaxCoordinate)
            value = value * 10 + (text[pos] - L'0');
    }
    if (value > kMaxCoordinate)
        value = kMaxCoordinate;
    return static_cast<int>(negative ? -value : value);
}

// One fraction from `pos` up to `end`; see ParseFraction. The digits are
// gathered as an integer and scaled by a power of ten once, so a short
// fraction ("0.25") comes out exact.
double ReadFraction(const std::wstring& text, size_t pos, size_t end)
{
    bool negative = false;
    pos = SkipBlanksAndSign(text, pos, end, negative);
    // Digits beyond the seventeenth no longer change a double noticeably;
    // those before the point still count as powers of ten.
    const unsigned long long kMantissaLimit = 10000000000000000ULL;
    unsigned long long mantissa = 0;
    int exponent = 0;
    bool digits = false;
    for (; pos < end && IsDigit(text[pos]); ++pos) {
        digits = true;
        if (mantissa < kMantissaLimit)
            mantissa = mantissa * 10 + static_cast<unsigned>(text[pos] - L'0');
        else
            ++exponent;
    }
    if (pos < end && text[pos] == L'.') {
        for (++pos; pos < end && IsDigit(text[pos]); ++pos) {
            digits = true;
            if (mantissa < kMantissaLimit) {
                mantissa = mantissa * 10 + static_cast<unsigned>(text[pos] - L'0');
                --exponent;
            }
        }
    }
    if (!digits || mantissa == 0)
        return 0;
    // An exponent counts only with a digit of its own: "2e" is 2.
    if (pos < end && (text[pos] == L'e' || text[pos] == L'E')) {
        size_t at = pos + 1;
        bool negativeExponent = false;
        if (at < end && (text[at] == L'-' || text[at] == L'+')) {
            negativeExponent = text[at] == L'-';
            ++at;
        }
        int written = 0;
        for (; at < end && IsDigit(text[at]); ++at) {
            if (written < 1000)
                written = written * 10 + (text[at] - L'0');
        }
        if (at > pos + 1 && IsDigit(text[at - 1]))
            exponent += negativeExponent ? -written : written;
    }
    // Far beyond either end the result is 0 or the bound anyway.
    if (exponent > 40)
        return negative ? -kMaxCoordinate : kMaxCoordinate;
    if (exponent < -400)
        return 0;
    double power = 1;
    for (int i = 0; i < (exponent < 0 ? -exponent : exponent); ++i)
        power *= 10;
    double value = exponent < 0 ? static_cast<double>(mantissa) / power : static_cast<double>(mantissa) * power;
    if (value > kMaxCoordinate)
        value = kMaxCoordinate;
    return negative ? -value : value;
}

// Calls read(text, start, end) for each of `count` comma-separated fields;
// a field beyond the text's last comma reads as 0.
template <typename Value, typename Read>
void ReadList(const std::wstring& text, Value* values, int count, Read read)
{
    size_t start = 0;
    for (int i = 0; i < count; ++i) {
        if (start > text.size()) {
            values[i] = 0;
            continue;
        }
        size_t comma = text.find(L',', start);
        if (comma == std::wstring::npos)
            comma = text.size();
        values[i] = read(text, start, comma);
        start = comma + 1;
    }
}

} // namespace

bool SameNoCase(const std::wstring& a, const std::wstring& b)
{
    return SameNoCase(a.data(), a.size(), b.data(), b.size());
}

bool SameNoCase(const wchar_t* a, const wchar_t* b)
{
    if (a == nullptr || b == nullptr)
        return false;
    return SameNoCase(a, std::char_traits<wchar_t>::length(a), b, std::char_traits<wchar_t>::length(b));
}

std::wstring LowerCase(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

int ParseInt(const std::wstring& text)
{
    return ReadInt(text, 0, text.size());
}

DWORD ParseColor(const std::wstring& text)
{
    size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    if (pos < text.size() && text[pos] == L'#')
        ++pos;
    else if (pos + 1 < text.size() && text[pos] == L'0' && (text[pos + 1] == L'x' || text[pos + 1] == L'X'))
        pos += 2;
    unsigned long long value = 0;
    for (; pos < text.size() && HexDigit(text[pos]) >= 0; ++pos) {
        if (value <= 0xFFFFFFFFull)
            value = value << 4 | static_cast<unsigned>(HexDigit(text[pos]));
    }
    return value > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(value);
}

void ParseIntList(const std::wstring& text, int* values, int count)
{
    ReadList(text, values, count, ReadInt);
}

double ParseFraction(const std::wstring& text)
{
    return ReadFraction(text, 0, text.size());
}

void ParseFractionList(const std::wstring& text, double* values, int count)
{
    ReadList(text, values, count, ReadFraction);
}

RECT ParseRect(const std::wstring& text)
{
    int n[4];
    ParseIntList(text, n, 4);
    return MakeRect(n[0], n[1], n[2], n[3]);
}

SIZE ParseSize(const std::wstring& text)
{
    int n[2];
    ParseIntList(text, n, 2);
    return MakeSize(n[0], n[1]);
}

int ScaleLength(int value, int dpi)
{
    if (dpi <= 0 || dpi == kBaseDpi)
        return ClampCoordinate(value);
    const long long scaled = static_cast<long long>(value) * dpi;
    const long long half = kBaseDpi / 2;
    return ClampCoordinate(scaled >= 0 ? (scaled + half) / kBaseDpi : -((-scaled + half) / kBaseDpi));
}

RECT ScaleRect(const RECT& rc, int dpi)
{
    return MakeRect(ScaleLength(static_cast<int>(rc.left), dpi), ScaleLength(static_cast<int>(rc.top), dpi),
                    ScaleLength(static_cast<int>(rc.right), dpi), ScaleLength(static_cast<int>(rc.bottom), dpi));
}

SIZE ScaleSize(const SIZE& size, int dpi)
{
    return MakeSize(ScaleLength(static_cast<int>(size.cx), dpi), ScaleLength(static_cast<int>(size.cy), dpi));
}

} // namespace SkinUI
