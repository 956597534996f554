#include "net/RemoteFileSize.h"

#include "logging/Log.h"
#include "net/HttpHeader.h"
#include "net/ProxySettings.h"
#include "net/ProxySignIn.h"

#include <memory>

namespace {

// The total of a "Range: bytes=0-0" answer, for servers whose answer to the
// size query had no usable length or that refuse HEAD.
bool QueryTotalByRange(CBaseRequest* request, const std::wstring& url, int32_t& size)
{
    request->strHeaders = L"Range:bytes=0-0";
    int status = 0;
    std::string text;
    HttpContentRange range;
    if (!request->Request(url) || !request->GetStatusCode(&status) || status != 206 ||
        !request->QueryHeader("Content-Range", text) || !ParseContentRange(text, range) || range.nFirst != 0 ||
        range.nTotal > INT32_MAX) {
        LOG_INFO("ERR:[%s] GetUrlFileSize: no total for bytes=0-0 (%d)", request->GetTypeName(), status);
        return false;
    }
    size = static_cast<int32_t>(range.nTotal);
    return true;
}

} // namespace

bool QueryRemoteFileSize(const RequestFactory& factory, const std::wstring& url, int32_t& size,
                         std::string* validator, std::wstring* finalUrl, std::string* lastModified)
{
    // WinHTTP answers a HEAD; WinINet is asked with a GET whose body is
    // abandoned with the object. Only a success status with a length of at
    // least one byte is a size: an error page's length is not the file's.
    // An answer without a length, and a HEAD refused with 405 or 501, are
    // asked again as the first byte of the file.
    for (int type : {CBaseRequest::kTypeWinHttp, CBaseRequest::kTypeInternet}) {
        std::unique_ptr<CBaseRequest> request(factory(type));
        if (!request)
            continue;
        if (type == CBaseRequest::kTypeWinHttp)
            request->strMethod = L"HEAD";
        if (!request->Request(url))
            continue;
        int status = 0;
        if (!request->GetStatusCode(&status))
            continue;
        int value = 0;
        bool byRange = false;
        if (status == 405 || status == 501) {
            byRange = true;
        } else if (!IsSuccessStatus(status)) {
            LOG_INFO("ERR:[%s] GetUrlFileSize: status %d", request->GetTypeName(), status);
            continue;
        } else if (!request->GetUrlFileSize(&value)) {
            LOG_INFO("ERR:[%s] GetUrlFileSize: no usable Content-Length (status %d)", request->GetTypeName(), status);
            byRange = true;
        } else if (value < 1) {
            LOG_INFO("ERR:[%s] GetUrlFileSize: an empty file (status %d)", request->GetTypeName(), status);
            continue;
        }
        if (byRange) {
            request.reset(factory(type));
            if (!request || !QueryTotalByRange(request.get(), url, value) || value < 1)
                continue;
        }
        size = value;
        std::string etag;
        std::string modified;
        request->QueryHeader("ETag", etag);
        request->QueryHeader("Last-Modified", modified);
        if (validator != nullptr)
            *validator = ChooseIfRangeValidator(etag, modified);
        if (lastModified != nullptr)
            *lastModified = modified;
        if (finalUrl != nullptr)
            *finalUrl = request->strFinalUrl.empty() ? url : request->strFinalUrl;
        return true;
    }
    return false;
}

int32_t GetRemoteFileSize(const std::wstring& url)
{
    int32_t size = 0;
    BeginProxySignIn();
    if (!QueryRemoteFileSize(&CBaseRequest::CreateInstance, url, size))
        return 0;
    return size;
}

int32_t GetRemoteFileSize(const std::vector<std::wstring>& urls, std::wstring* urlInUse)
{
    for (const std::wstring& url : urls) {
        if (&url != &urls.front())
            LOG_INFO_W(L"GetRemoteFileSize: next host %ls", ProxyKeyOf(url).c_str());
        const int32_t size = GetRemoteFileSize(url);
        if (size != 0 || ProxySignInRefused()) {
            if (urlInUse != nullptr)
                *urlInUse = size != 0 ? url : urls.front();
            return size;
        }
    }
    if (urlInUse != nullptr && !urls.empty())
        *urlInUse = urls.front();
    return 0;
}
