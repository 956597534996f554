#include "logging/TextFormat.h"

#include <cstdio>
#include <cwchar>

namespace {

// The runtime's two steps. Measure gives the length of the formatted text
// without its terminator, or -1 when it cannot tell; Fill writes at most
// `size` characters and returns the length of the whole text, or a negative
// number or a length of at least `size` when the text did not fit.
#ifdef _WIN32
// The system's _vsnprintf leaves out the terminator when the text fills the
// buffer exactly and returns -1 when it is longer; Fill's callers terminate.
int Measure(const char* format, va_list args) { return _vscprintf(format, args); }
int Measure(const wchar_t* format, va_list args) { return _vscwprintf(format, args); }
int Fill(char* buffer, size_t size, const char* format, va_list args)
{
    return _vsnprintf(buffer, size, format, args);
}
int Fill(wchar_t* buffer, size_t size, const wchar_t* format, va_list args)
{
    return _vsnwprintf(buffer, size, format, args);
}
#else
int Measure(const char* format, va_list args) { return std::vsnprintf(nullptr, 0, format, args); }
// The standard wide function cannot measure: it fails when the text does not
// fit, so the text is found by growing the buffer.
int Measure(const wchar_t*, va_list) { return -1; }
int Fill(char* buffer, size_t size, const char* format, va_list args)
{
    return std::vsnprintf(buffer, size, format, args);
}
int Fill(wchar_t* buffer, size_t size, const wchar_t* format, va_list args)
{
    return std::vswprintf(buffer, size, format, args);
}
#endif

// Past this many characters a format counts as refused.
constexpr size_t kMaxFormatted = size_t(1) << 24;

template <typename Char>
bool FormatInto(std::basic_string<Char>& text, const Char* format, va_list args)
{
    text.clear();
    if (format == nullptr)
        return false;
    va_list measure;
    va_copy(measure, args);
    const int size = Measure(format, measure);
    va_end(measure);
    if (size >= 0) {
        if (size == 0)
            return true;
        text.resize(static_cast<size_t>(size) + 1);
        va_list fill;
        va_copy(fill, args);
        const int written = Fill(&text[0], text.size(), format, fill);
        va_end(fill);
        if (written != size) {
            text.clear();
            return false;
        }
        text.resize(static_cast<size_t>(size));
        return true;
    }
    // No length known beforehand: grow until the text fits.
    for (size_t capacity = 256; capacity <= kMaxFormatted; capacity *= 4) {
        text.resize(capacity);
        va_list fill;
        va_copy(fill, args);
        const int written = Fill(&text[0], capacity, format, fill);
        va_end(fill);
        if (written >= 0 && static_cast<size_t>(written) < capacity) {
            text.resize(static_cast<size_t>(written));
            return true;
        }
    }
    text.clear();
    return false;
}

template <typename Char>
int FormatIntoBuffer(Char* buffer, size_t size, const Char* format, va_list args)
{
    if (buffer == nullptr || size == 0)
        return -1;
    if (format == nullptr) {
        buffer[0] = 0;
        return -1;
    }
    const int written = Fill(buffer, size, format, args);
    if (written < 0 || static_cast<size_t>(written) >= size) {
        buffer[size - 1] = 0;
        return -1;
    }
    return written;
}

} // namespace

bool FormatTextV(std::string& text, const char* format, va_list args)
{
    return FormatInto(text, format, args);
}

bool FormatTextV(std::wstring& text, const wchar_t* format, va_list args)
{
    return FormatInto(text, format, args);
}

std::string FormatText(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text;
    FormatInto(text, format, args);
    va_end(args);
    return text;
}

std::wstring FormatText(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::wstring text;
    FormatInto(text, format, args);
    va_end(args);
    return text;
}

int FormatTextInto(char* buffer, size_t size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int length = FormatIntoBuffer(buffer, size, format, args);
    va_end(args);
    return length;
}

int FormatTextInto(wchar_t* buffer, size_t size, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const int length = FormatIntoBuffer(buffer, size, format, args);
    va_end(args);
    return length;
}

std::wstring IntToWide(long long value)
{
    // Digits from the last; the magnitude is taken unsigned so that the
    // smallest value has one too.
    unsigned long long magnitude =
        value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    wchar_t digits[24];
    size_t start = sizeof(digits) / sizeof(digits[0]);
    do {
        digits[--start] = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        digits[--start] = L'-';
    return std::wstring(digits + start, digits + sizeof(digits) / sizeof(digits[0]));
}
