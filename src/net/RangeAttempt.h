// One range attempt of the download engine: the request header it sends,
// the stack it goes over, and the verdict on its answer, read before a byte
// of the body is written (a body that merely has the right length may be an
// error page or another part of the file).
//
// Answers and verdicts:
// - a 206 whose Content-Range is exactly the bytes asked for and the size:
//   the body, unless its validator differs from the size query's (another
//   version of the file: the download starts over rather than mix them);
// - a 200 whose length is the size, to any range request: the whole current
//   file, to be taken as one stream from byte 0 (servers may ignore Range,
//   and a farm whose members have different validators answers If-Range so);
// - a 200 of another length: another version when its validator differs,
//   else a server that sends something unasked;
// - no answer or a status that says the way is blocked for now: no network;
// - a 407 the stack could not satisfy: the other stack may;
// - another 5xx, or no readable status: worth another attempt;
// - anything else (4xx, a wrong Content-Range): it will not change.
//
// Portable; runs on the worker that made the request.
//
// Classes in this file: RangeAsk, RangeVerdict.
#pragma once

#include "net/BaseRequest.h"

#include <cstdint>
#include <string>

// What one attempt asked for: bytes nFirst to nLast of a file of nFileSize
// bytes, with strValidator in If-Range (empty: none).
struct RangeAsk {
    int32_t nFirst = 0;
    int32_t nLast = 0;
    int32_t nFileSize = 0;
    std::string strValidator;
};

enum class RangeAnswer {
    kBody,        // a 206 for exactly what was asked, of the same file
    kWholeFile,   // a 200 with the whole file
    kChanged,     // another version of the file
    kNoNetwork,   // no network, or 408, 429, 502, 503, 504
    kRetry,       // worth another attempt
    kProxy,       // 407: the proxy wants a sign-in this stack could not give
    kGiveUp,      // an answer that will not change
};

struct RangeVerdict {
    RangeAnswer eAnswer = RangeAnswer::kRetry;
    int nStatus = 0;               // 0: no status read
    uint32_t nRetryAfterMs = 0;    // a 429's or 503's Retry-After, 0 without
    std::string strValidator;      // the answer's own (ETag or Last-Modified)
};

// answered: Request returned true. Logs what it refuses.
RangeVerdict JudgeRangeAnswer(CBaseRequest& request, bool answered, const RangeAsk& ask);

// "Range:bytes=FIRST-LAST", with "\r\nIf-Range:VALIDATOR" when there is one.
std::wstring RangeHeaders(int32_t first, int32_t last, const std::string& validator);

// The stack of a worker's attempt: the one with fewer failed range attempts
// in this process (nWinHttpFailCount, nInternetFailCount); on a tie WinHTTP
// for even attempts, WinINet for odd ones. After a 407 (otherThanLast) the
// other stack than lastType.
int ChooseStack(int attempt, int lastType, bool otherThanLast);
