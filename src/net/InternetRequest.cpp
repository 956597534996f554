#include "net/InternetRequest.h"

#include "net/HttpHeader.h"
#include "logging/TextEncoding.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdint>

namespace {

// Reload, secure, keep-alive, no cookies, no authentication, no UI -
// whatever the secure flag. INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP is left
// out on purpose: it would let a redirect take the request from HTTPS to
// plain HTTP; without it WinINet refuses such a redirect
// (ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR).
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_SECURE | INTERNET_FLAG_KEEP_CONNECTION |
                                INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTH | INTERNET_FLAG_NO_UI;
static_assert(kRequestFlags == 0x80CC0200, "the request flags");

HMODULE MessageModule()
{
    return GetModuleHandleA("wininet.dll");
}

void Fail(const char* api, const char* context)
{
    ShowApiError(api, GetLastError(), MessageModule(), context);
}

} // namespace

CInternetRequest::~CInternetRequest()
{
    CloseHandles();
}

void CInternetRequest::CloseHandles()
{
    CloseRequestHandle();
    if (hConnect != nullptr) {
        InternetCloseHandle(hConnect);
        hConnect = nullptr;
    }
    if (hSession != nullptr) {
        InternetCloseHandle(hSession);
        hSession = nullptr;
    }
}

void CInternetRequest::CloseRequestHandle()
{
    // Abort calls this from another thread while a call may be blocked on
    // the handle: closing it makes that call fail.
    void* request = __atomic_exchange_n(&hRequest, nullptr, __ATOMIC_ACQ_REL);
    if (request != nullptr)
        InternetCloseHandle(request);
}

const char* CInternetRequest::GetTypeName()
{
    return "Internet";
}

bool CInternetRequest::OpenSession()
{
    // A second attempt on the same object starts from fresh handles.
    CloseHandles();
    DWORD access = IsUseProxyConnect() ? INTERNET_OPEN_TYPE_PRECONFIG : INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY;
    hSession = InternetOpenW(L"", access, nullptr, nullptr, 0);
    if (hSession == nullptr) {
        Fail("InternetOpen", "CInternetRequest::OpenSession");
        return false;
    }
    return true;
}

bool CInternetRequest::ConnectSession(bool /*secure*/)
{
    INTERNET_PORT port = static_cast<INTERNET_PORT>(nServerPort != 0 ? nServerPort : 443);
    hConnect = InternetConnectW(hSession, strServerName.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (hConnect == nullptr) {
        Fail("InternetConnect", "CInternetRequest::ConnectSession");
        return false;
    }
    return true;
}

bool CInternetRequest::OpenRequest(bool /*secure*/)
{
    LPCWSTR accept[] = {L"*/*", nullptr};
    hRequest = HttpOpenRequestW(hConnect, strMethod.c_str(), strObjectName.c_str(), L"HTTP/1.1", nullptr, accept,
                                kRequestFlags, 0);
    if (hRequest == nullptr) {
        Fail("HttpOpenRequest", "CInternetRequest::OpenRequest");
        return false;
    }
    // The time limits, on the request: the connection is made when it is
    // sent, and not every WinINet hands a session's limits down.
    const DWORD limits[][2] = {{INTERNET_OPTION_CONNECT_TIMEOUT, nConnectTimeoutMs},
                               {INTERNET_OPTION_SEND_TIMEOUT, nTransferTimeoutMs},
                               {INTERNET_OPTION_RECEIVE_TIMEOUT, nTransferTimeoutMs}};
    for (const auto& limit : limits) {
        DWORD value = limit[1];
        if (!InternetSetOptionW(hRequest, limit[0], &value, sizeof(value)))
            Fail("InternetSetOption", "CInternetRequest::OpenRequest");
    }
    return true;
}

bool CInternetRequest::SendRequest()
{
    if (bAborted)
        return false;
    if (!strHeaders.empty() &&
        !HttpAddRequestHeadersW(hRequest, strHeaders.c_str(), static_cast<DWORD>(strHeaders.size()),
                                HTTP_ADDREQ_FLAG_ADD)) {
        Fail("\"HttpAddRequestHeaders\"", "CInternetRequest::SendRequest");
        return false;
    }
    if (!HttpSendRequestW(hRequest, nullptr, 0, nullptr, 0)) {
        nSendError = GetLastError();
        Fail("HttpSendRequest", "CInternetRequest::SendRequest");
        return false;
    }
    return true;
}

bool CInternetRequest::QueryText(DWORD level, const char* name, std::string& value, bool logMissing)
{
    if (hRequest == nullptr)
        return false;
    // A custom query names its header in the buffer it fills.
    std::wstring query = name != nullptr ? Utf8ToWide(name) : std::wstring();
    std::wstring buffer(query.size() + 256, L'\0');
    std::copy(query.begin(), query.end(), buffer.begin());
    DWORD length = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    DWORD index = 0;
    BOOL ok = HttpQueryInfoW(hRequest, level, &buffer[0], &length, &index);
    if (!ok && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        buffer.assign(length / sizeof(wchar_t) + query.size() + 1, L'\0');
        std::copy(query.begin(), query.end(), buffer.begin());
        length = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        index = 0;
        ok = HttpQueryInfoW(hRequest, level, &buffer[0], &length, &index);
    }
    if (!ok) {
        if (logMissing || GetLastError() != ERROR_HTTP_HEADER_NOT_FOUND)
            Fail("HttpQueryInfo", logMissing ? "CInternetRequest::GetUrlFileSize" : "CInternetRequest::QueryHeader");
        return false;
    }
    buffer.resize(length / sizeof(wchar_t));
    value = WideToUtf8(buffer.c_str());
    return true;
}

bool CInternetRequest::GetUrlFileSize(int* size)
{
    std::string text;
    return QueryText(HTTP_QUERY_CONTENT_LENGTH, nullptr, text, true) && ParseContentLength32(text, *size);
}

bool CInternetRequest::GetStatusCode(int* status)
{
    if (hRequest == nullptr)
        return false;
    DWORD value = 0;
    DWORD length = sizeof(value);
    DWORD index = 0;
    if (!HttpQueryInfoW(hRequest, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &value, &length, &index)) {
        Fail("HttpQueryInfo", "CInternetRequest::GetStatusCode");
        return false;
    }
    *status = static_cast<int>(value);
    return true;
}

bool CInternetRequest::QueryHeader(const char* name, std::string& value)
{
    return QueryText(HTTP_QUERY_CUSTOM, name, value, false);
}

int CInternetRequest::HttpRead(void* buffer, int capacity)
{
    // Asks only for what has arrived, as the WinHTTP back-end does.
    DWORD available = 0;
    if (!InternetQueryDataAvailable(hRequest, &available, 0, 0)) {
        Fail("InternetQueryDataAvailable", "CInternetRequest::HttpRead");
        return -1;
    }
    if (available == 0)
        return 0;
    DWORD read = 0;
    if (!InternetReadFile(hRequest, buffer, available < static_cast<DWORD>(capacity) ? available : capacity, &read)) {
        Fail("InternetReadFile", "CInternetRequest::HttpRead");
        return -1;
    }
    return static_cast<int>(read);
}
