// printf-style formatting for the whole program: every module formats text
// through these functions. On Windows they call the system C runtime's
// formatting (msvcrt.dll, which the program imports anyway) instead of the
// toolchain's own C99 implementation, which would add about 50 KB of code;
// elsewhere they call the standard functions. Text is measured first, then
// formatted into a buffer of exactly that size.
//
// A format must mean the same to both runtimes: "%ls" for a wide string (in
// narrow and wide formats alike), "%s" only for a narrow string in a narrow
// format (the system's wide functions read "%s" as a wide string, the
// standard ones as a narrow string), and no length modifiers beyond "h" and
// "l" ("%zu", "%lld" and "%jd" are not understood by older systems). The
// Windows build checks narrow formats against the system runtime's rules.
#pragma once

#include "logging/Log.h"

#include <cstdarg>
#include <cstddef>
#include <string>

// Formats into `text`, replacing what it held. Returns false, with `text`
// empty, when the runtime refuses the format. The text belongs to the caller
// so that a fault inside the formatting (see FaultGuard.h) leaves nothing
// allocated behind.
bool FormatTextV(std::string& text, const char* format, va_list args);
bool FormatTextV(std::wstring& text, const wchar_t* format, va_list args);

// The formatted text; empty when the format is refused.
std::string FormatText(const char* format, ...) PW_PRINTF_FORMAT(1, 2);
std::wstring FormatText(const wchar_t* format, ...);

// Into a buffer of `size` characters, always terminated when `size` is not
// 0. Returns the text's length, or -1 when it did not fit (the buffer then
// holds as much as fits) or the format is refused.
int FormatTextInto(char* buffer, size_t size, const char* format, ...) PW_PRINTF_FORMAT(3, 4);
int FormatTextInto(wchar_t* buffer, size_t size, const wchar_t* format, ...);

// The decimal text of an integer ("-42"), as a wide string.
std::wstring IntToWide(long long value);
