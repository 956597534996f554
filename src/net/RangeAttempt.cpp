#include "net/RangeAttempt.h"

#include "logging/Log.h"
#include "logging/TextEncoding.h"
#include "logging/TextFormat.h"
#include "net/HttpDownload.h"
#include "net/HttpHeader.h"
#include "net/NetworkGate.h"

#include <ctime>

namespace {

std::string AnswerValidator(CBaseRequest& request)
{
    std::string etag;
    std::string lastModified;
    request.QueryHeader("ETag", etag);
    request.QueryHeader("Last-Modified", lastModified);
    return ChooseIfRangeValidator(etag, lastModified);
}

} // namespace

RangeVerdict JudgeRangeAnswer(CBaseRequest& request, bool answered, const RangeAsk& ask)
{
    RangeVerdict verdict;
    const char* type = request.GetTypeName();
    if (!answered) {
        verdict.eAnswer = IsNoNetworkError(request.nSendError) ? RangeAnswer::kNoNetwork : RangeAnswer::kRetry;
        return verdict;
    }
    if (!request.GetStatusCode(&verdict.nStatus))
        return verdict;
    const int status = verdict.nStatus;
    if (status < 100) {
        // A connection closed before an answer: Wine's WinINet reports it as
        // a sent request whose status is 0.
        LOG_INFO("ERR:[%s] status %d: the connection closed without an answer", type, status);
        verdict.eAnswer = RangeAnswer::kNoNetwork;
        return verdict;
    }
    verdict.strValidator = AnswerValidator(request);
    const bool otherVersion =
        !ask.strValidator.empty() && !verdict.strValidator.empty() && verdict.strValidator != ask.strValidator;
    if (status == 206) {
        // Another version first: its size may differ too, and the size query
        // of the new start checks that against the approved size.
        std::string text;
        HttpContentRange range;
        if (otherVersion) {
            LOG_INFO("ERR:[%s] status 206 of another version of the file (%s, not %s)", type,
                     verdict.strValidator.c_str(), ask.strValidator.c_str());
            verdict.eAnswer = RangeAnswer::kChanged;
        } else if (!request.QueryHeader("Content-Range", text) || !ParseContentRange(text, range) ||
                   range.nFirst != ask.nFirst || range.nLast != ask.nLast || range.nTotal != ask.nFileSize) {
            LOG_INFO("ERR:[%s] status 206, Content-Range \"%s\" is not bytes %d-%d/%d", type, text.c_str(),
                     ask.nFirst, ask.nLast, ask.nFileSize);
            verdict.eAnswer = RangeAnswer::kGiveUp;
        } else {
            verdict.eAnswer = RangeAnswer::kBody;
        }
        return verdict;
    }
    if (status == 200) {
        int length = -1;
        if (request.GetUrlFileSize(&length) && length == ask.nFileSize) {
            verdict.eAnswer = RangeAnswer::kWholeFile;
        } else if (otherVersion) {
            LOG_INFO("ERR:[%s] status 200 to If-Range:%s, the file is now %s", type, ask.strValidator.c_str(),
                     verdict.strValidator.c_str());
            verdict.eAnswer = RangeAnswer::kChanged;
        } else {
            LOG_INFO("ERR:[%s] status 200 of %d bytes to Range:bytes=%d-%d of %d: not the file", type, length,
                     ask.nFirst, ask.nLast, ask.nFileSize);
            verdict.eAnswer = RangeAnswer::kGiveUp;
        }
        return verdict;
    }
    LOG_INFO("ERR:[%s] status %d", type, status);
    if (status == 503 || status == 429) {
        std::string text;
        if (request.QueryHeader("Retry-After", text) &&
            ParseRetryAfter(text, static_cast<int64_t>(time(nullptr)), kDownloadRetryAfterCapMs,
                            verdict.nRetryAfterMs))
            LOG_INFO("[Thread][%d][%s] Retry-After: %s, wait %u ms", static_cast<int>(CurrentThreadIdForLog()), type,
                     text.c_str(), verdict.nRetryAfterMs);
    }
    if (status == 407)
        verdict.eAnswer = RangeAnswer::kProxy;
    else if (IsOutageStatus(status))
        verdict.eAnswer = RangeAnswer::kNoNetwork;
    else if (IsRetryableStatus(status))
        verdict.eAnswer = RangeAnswer::kRetry;
    else
        verdict.eAnswer = RangeAnswer::kGiveUp;
    return verdict;
}

std::wstring RangeHeaders(int32_t first, int32_t last, const std::string& validator)
{
    wchar_t header[64] = {};
    FormatTextInto(header, 64, L"Range:bytes=%d-%d", first, last);
    return validator.empty() ? std::wstring(header) : std::wstring(header) + L"\r\nIf-Range:" + Utf8ToWide(validator);
}

int ChooseStack(int attempt, int lastType, bool otherThanLast)
{
    if (otherThanLast && lastType >= 0)
        return lastType == CBaseRequest::kTypeWinHttp ? CBaseRequest::kTypeInternet : CBaseRequest::kTypeWinHttp;
    const int winHttpFails = nWinHttpFailCount.load();
    const int internetFails = nInternetFailCount.load();
    if (internetFails > winHttpFails)
        return CBaseRequest::kTypeWinHttp;
    if (internetFails < winHttpFails)
        return CBaseRequest::kTypeInternet;
    return attempt % 2 == 0 ? CBaseRequest::kTypeWinHttp : CBaseRequest::kTypeInternet;
}
