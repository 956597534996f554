// The size query: how large the file behind a URL is, through the two
// stacks in turn (WinHTTP HEAD, then WinINet GET), with the validator that
// later range requests send in If-Range and the URL its redirects led to.
// Only a 2xx with a Content-Length of 1 to 2^31 - 1 is a size; an answer
// without a length, and a HEAD refused with 405 or 501, are asked again for
// their first byte, whose Content-Range names the total.
//
// Runs on the caller's thread; the request objects it makes are its own.
#pragma once

#include "net/BaseRequest.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Makes the request object of one exchange (type 0 WinHTTP, 1 WinINet).
using RequestFactory = std::function<CBaseRequest*(int type)>;

// The size of the file behind url; false when neither stack gave one. With
// validator, also the If-Range value of that answer (empty when none). With
// finalUrl, also the URL the redirects led to (url itself when none). With
// lastModified, also the answer's Last-Modified (empty when none).
bool QueryRemoteFileSize(const RequestFactory& factory, const std::wstring& url, int32_t& size,
                         std::string* validator = nullptr, std::wstring* finalUrl = nullptr,
                         std::string* lastModified = nullptr);

// The size in bytes, 0 when it could not be obtained.
int32_t GetRemoteFileSize(const std::wstring& url);
// The size at the first of urls that gives one (a download URL, then its
// mirrors), 0 when none does. With urlInUse, the URL that gave it (the
// first when none did).
int32_t GetRemoteFileSize(const std::vector<std::wstring>& urls, std::wstring* urlInUse = nullptr);
