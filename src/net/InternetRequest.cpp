#include "net/InternetRequest.h"

#include "net/HttpHeader.h"
#include "net/ProxySettings.h"
#include "net/ProxySignIn.h"
#include "logging/SecretText.h"
#include "logging/TextEncoding.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdint>

namespace {

// Reload, secure, keep-alive, no cookies, no redirects (Request follows
// them itself), no UI - whatever the secure flag. Through a proxy the
// stack's authentication stays on, so that the proxy gets the user's own
// Windows sign-in or the credentials set on the request; a request that goes
// direct has it off (INTERNET_FLAG_NO_AUTH): no server gets a sign-in.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_SECURE | INTERNET_FLAG_KEEP_CONNECTION |
                                INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_UI;

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
    proxyChoice = ProxyFor(strUrl, ProxyCancel{&ProxyCancelAtomic, &bAborted});
    const ProxyChoice& proxy = proxyChoice;
    hSession = proxy.bDirect ? InternetOpenW(RequestUserAgent(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0)
                             : InternetOpenW(RequestUserAgent(), INTERNET_OPEN_TYPE_PROXY, proxy.strProxy.c_str(),
                                             proxy.strBypass.empty() ? nullptr : proxy.strBypass.c_str(), 0);
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

bool CInternetRequest::OpenRequest(bool secure)
{
    bSecure = secure;
    // Both attempts are HTTPS on this stack: the proxy for https applies.
    strViaProxy = ProxyServerFor(proxyChoice, strServerName, true);
    LPCWSTR accept[] = {L"*/*", nullptr};
    hRequest = HttpOpenRequestW(hConnect, strMethod.c_str(), strObjectName.c_str(), L"HTTP/1.1", nullptr, accept,
                                kRequestFlags | (strViaProxy.empty() ? INTERNET_FLAG_NO_AUTH : 0), 0);
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
    if (!strViaProxy.empty())
        OfferProxyCredentials();
    return true;
}

void CInternetRequest::OfferProxyCredentials()
{
    std::wstring user;
    CSecretText password;
    nProxySent = GetProxyCredentials(user, password);
    if (nProxySent > 0 &&
        (!InternetSetOptionW(hRequest, INTERNET_OPTION_PROXY_USERNAME, const_cast<wchar_t*>(user.c_str()),
                             static_cast<DWORD>(user.size())) ||
         !InternetSetOptionW(hRequest, INTERNET_OPTION_PROXY_PASSWORD, const_cast<wchar_t*>(password.c_str()),
                             static_cast<DWORD>(password.size()))))
        Fail("InternetSetOption", "CInternetRequest::OpenRequest");
}

bool CInternetRequest::AnswerProxyChallenge()
{
    int status = 0;
    if (!GetStatusCode(&status) || status != 407 || strViaProxy.empty())
        return false;
    std::string challenge;
    QueryText(HTTP_QUERY_PROXY_AUTHENTICATE, nullptr, challenge, false);
    if (!RenewProxyCredentials(strViaProxy, ProxyRealmOf(challenge), nProxySent))
        return false;
    CloseRequestHandle();
    return !bAborted && OpenRequest(bSecure);
}

bool CInternetRequest::SendRequest()
{
    // A 407 is answered with a fresh request handle that carries newer
    // credentials, until the proxy is satisfied or none are left to offer.
    if (bAborted)
        return false;
    do {
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
    } while (AnswerProxyChallenge());
    return hRequest != nullptr;
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
        // A read the engine abandoned ends quietly: it may return while the
        // process is ending, after the log has closed.
        if (!bAborted)
            Fail("InternetQueryDataAvailable", "CInternetRequest::HttpRead");
        return -1;
    }
    if (available == 0)
        return 0;
    DWORD read = 0;
    if (!InternetReadFile(hRequest, buffer, available < static_cast<DWORD>(capacity) ? available : capacity, &read)) {
        if (!bAborted)
            Fail("InternetReadFile", "CInternetRequest::HttpRead");
        return -1;
    }
    return static_cast<int>(read);
}
