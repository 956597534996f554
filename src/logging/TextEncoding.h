// Conversions between UTF-16/UTF-32 wide strings and UTF-8, done by hand so
// the portable code decodes the same way on every platform, plus the narrowing
// the log facility applies to wide records (the OEM code page on Windows,
// UTF-8 elsewhere).
#pragma once

#include <string>

// Encodes a wide string (UTF-16 where wchar_t is 2 bytes, UTF-32 where it is
// 4) as UTF-8. Unpaired surrogates and out-of-range values become U+FFFD.
std::string WideToUtf8(const std::wstring& text);

// Decodes UTF-8; malformed sequences become U+FFFD, one per bad byte.
std::wstring Utf8ToWide(const std::string& text);

// Narrows a finished log record for the category: the console (OEM) code page
// on Windows, UTF-8 on other systems.
std::string WideToLogText(const std::wstring& text);
