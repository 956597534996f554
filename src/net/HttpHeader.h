// Parsers for the response header values the download engine acts on: the
// status class, Content-Length, Content-Range, the validators and
// Retry-After. One parser per value kind; every caller uses these. Values
// are the header text as the stack returns it, without the name. Malformed
// or out-of-range input gives false and leaves the output unchanged: the
// engine then treats the answer as unusable, never as a number it guessed.
//
// Classes in this file: HttpContentRange.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

// Status classes that steer a range attempt.
bool IsSuccessStatus(int status);          // 2xx
// A 5xx, 408 (request timeout) or 429 (too many requests): worth another try.
bool IsRetryableStatus(int status);

// Decimal digits only (surrounding blanks allowed), at most 2^63 - 1.
bool ParseContentLength(const std::string& text, int64_t& value);

// "bytes FIRST-LAST/TOTAL" with FIRST <= LAST < TOTAL; an unknown total
// ("*") is refused, since the engine needs it to match the size it probed.
struct HttpContentRange {
    int64_t nFirst = 0;
    int64_t nLast = 0;
    int64_t nTotal = 0;
};
bool ParseContentRange(const std::string& text, HttpContentRange& range);

// An HTTP date in any of the three forms servers send: "Sun, 06 Nov 1994
// 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT" or "Sun Nov  6 08:49:37
// 1994". The result is seconds since 1970 (UTC).
bool ParseHttpDate(const std::string& text, int64_t& seconds);

// Retry-After as a delay in milliseconds from now: a number of seconds, or an
// HTTP date (a date in the past gives 0). Capped at capMs.
bool ParseRetryAfter(const std::string& text, int64_t now, uint32_t capMs, uint32_t& delayMs);

// The validator to send in If-Range: the ETag when it is a strong one (a
// weak ETag may not be used there), else the Last-Modified date when it is a
// valid HTTP date, else empty (no safe way to resume).
std::string ChooseIfRangeValidator(const std::string& etag, const std::string& lastModified);
