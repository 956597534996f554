#include "net/WinHttpRequest.h"

#include "net/HttpHeader.h"
#include "net/ProxySettings.h"
#include "net/ProxySignIn.h"
#include "logging/SecretText.h"
#include "logging/TextEncoding.h"

#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <cstring>

namespace {

HMODULE MessageModule()
{
    return GetModuleHandleA("wininet.dll");
}

void Fail(const char* api, const char* context)
{
    ShowApiError(api, GetLastError(), MessageModule(), context);
}

} // namespace

CWinHttpRequest::~CWinHttpRequest()
{
    CloseHandles();
}

void CWinHttpRequest::CloseHandles()
{
    CloseRequestHandle();
    if (hConnect != nullptr) {
        WinHttpCloseHandle(hConnect);
        hConnect = nullptr;
    }
    if (hSession != nullptr) {
        WinHttpCloseHandle(hSession);
        hSession = nullptr;
    }
}

void CWinHttpRequest::CloseRequestHandle()
{
    // Abort calls this from another thread while a call may be blocked on
    // the handle: closing it makes that call fail.
    void* request = __atomic_exchange_n(&hRequest, nullptr, __ATOMIC_ACQ_REL);
    if (request != nullptr)
        WinHttpCloseHandle(request);
}

const char* CWinHttpRequest::GetTypeName()
{
    return "WinHttp";
}

bool CWinHttpRequest::OpenSession()
{
    // A second attempt on the same object starts from fresh handles.
    CloseHandles();
    proxyChoice = ProxyFor(strUrl, ProxyCancel{&ProxyCancelAtomic, &bAborted});
    const ProxyChoice& proxy = proxyChoice;
    const wchar_t* bypass = proxy.strBypass.empty() ? WINHTTP_NO_PROXY_BYPASS : proxy.strBypass.c_str();
    hSession = proxy.bDirect ? WinHttpOpen(RequestUserAgent(), WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                           WINHTTP_NO_PROXY_BYPASS, 0)
                             : WinHttpOpen(RequestUserAgent(), WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy.strProxy.c_str(),
                                           bypass, 0);
    if (hSession == nullptr) {
        Fail("WinHttpOpen", "CWinHttpRequest::OpenSession");
        return false;
    }
    // The time limits, one option at a time (the same as WinHttpSetTimeouts).
    const struct {
        DWORD option;
        DWORD value;
    } limits[] = {{WINHTTP_OPTION_RESOLVE_TIMEOUT, nConnectTimeoutMs},
                  {WINHTTP_OPTION_CONNECT_TIMEOUT, nConnectTimeoutMs},
                  {WINHTTP_OPTION_SEND_TIMEOUT, nTransferTimeoutMs},
                  {WINHTTP_OPTION_RECEIVE_TIMEOUT, nTransferTimeoutMs},
                  {WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, nTransferTimeoutMs}};
    for (const auto& limit : limits) {
        DWORD value = limit.value;
        if (!WinHttpSetOption(hSession, limit.option, &value, sizeof(value)))
            Fail("WinHttpSetOption", "CWinHttpRequest::OpenSession");
    }
    return true;
}

bool CWinHttpRequest::ConnectSession(bool secure)
{
    INTERNET_PORT port = static_cast<INTERNET_PORT>(nServerPort != 0 ? nServerPort : (secure ? 443 : 80));
    hConnect = WinHttpConnect(hSession, strServerName.c_str(), port, 0);
    if (hConnect == nullptr) {
        Fail("WinHttpConnect", "CWinHttpRequest::ConnectSession");
        return false;
    }
    return true;
}

bool CWinHttpRequest::OpenRequest(bool secure)
{
    LPCWSTR accept[] = {L"*/*", nullptr};
    DWORD flags = secure ? (WINHTTP_FLAG_SECURE | WINHTTP_FLAG_REFRESH) : WINHTTP_FLAG_REFRESH;
    hRequest = WinHttpOpenRequest(hConnect, strMethod.c_str(), strObjectName.c_str(), L"HTTP/1.1",
                                  WINHTTP_NO_REFERER, accept, flags);
    if (hRequest == nullptr) {
        Fail("WinHttpOpenRequest", "CWinHttpRequest::OpenRequest");
        return false;
    }
    // Redirects come back as they are: Request follows them itself. No
    // sign-in goes anywhere by itself: a request that goes direct has the
    // stack's authentication off, and one through a proxy offers the user's
    // own Windows sign-in only when AnswerProxyChallenge decides so.
    strViaProxy = ProxyServerFor(proxyChoice, strServerName, secure);
    DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    DWORD disable = WINHTTP_DISABLE_REDIRECTS | (strViaProxy.empty() ? WINHTTP_DISABLE_AUTHENTICATION : 0);
    DWORD logon = WINHTTP_AUTOLOGON_SECURITY_LEVEL_HIGH;
    if (!WinHttpSetOption(hRequest, WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof(policy)) ||
        !WinHttpSetOption(hRequest, WINHTTP_OPTION_DISABLE_FEATURE, &disable, sizeof(disable)) ||
        !WinHttpSetOption(hRequest, WINHTTP_OPTION_AUTOLOGON_POLICY, &logon, sizeof(logon))) {
        Fail("WinHttpSetOption", "CWinHttpRequest::OpenRequest");
        return false;
    }
    nProxySent = 0;
    bProxyAutoTried = false;
    bSecure = secure;
    return true;
}

bool CWinHttpRequest::AddHeaders()
{
    if (bAborted)
        return false;
    if (!strHeaders.empty() &&
        !WinHttpAddRequestHeaders(hRequest, strHeaders.c_str(), static_cast<DWORD>(strHeaders.size()),
                                  WINHTTP_ADDREQ_FLAG_ADD)) {
        Fail("WinHttpAddRequestHeaders", "CWinHttpRequest::SendRequest");
        return false;
    }
    return true;
}

bool CWinHttpRequest::SendRequest()
{
    if (!AddHeaders())
        return false;
    // A 407 is answered until the proxy is satisfied or there is no sign-in
    // left to offer.
    do {
        if (!WinHttpSendRequest(hRequest, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) {
            nSendError = GetLastError();
            Fail("WinHttpSendRequest", "CWinHttpRequest::SendRequest");
            return false;
        }
        if (!WinHttpReceiveResponse(hRequest, nullptr)) {
            nSendError = GetLastError();
            Fail("WinHttpReceiveResponse", "CWinHttpRequest::SendRequest");
            return false;
        }
    } while (AnswerProxyChallenge());
    // A tunnel the proxy still refuses fails the secure attempt: the plain
    // attempt follows and asks for the sign-in. (A 407 from a server reached
    // directly is an answer like any other.)
    int status = 0;
    if (hRequest == nullptr || (bSecure && !strViaProxy.empty() && GetStatusCode(&status) && status == 407))
        return false;
    return true;
}

bool CWinHttpRequest::AnswerProxyChallenge()
{
    int status = 0;
    if (!GetStatusCode(&status) || status != 407 || strViaProxy.empty())
        return false;
    DWORD supported = 0;
    DWORD first = 0;
    DWORD target = 0;
    if (!WinHttpQueryAuthSchemes(hRequest, &supported, &first, &target)) {
        Fail("WinHttpQueryAuthSchemes", "CWinHttpRequest::SendRequest");
        return false;
    }
    // First the user's own Windows sign-in, where the proxy takes one.
    DWORD automatic = supported & (WINHTTP_AUTH_SCHEME_NEGOTIATE | WINHTTP_AUTH_SCHEME_NTLM);
    if (automatic != 0 && !bProxyAutoTried) {
        bProxyAutoTried = true;
        DWORD scheme = (automatic & WINHTTP_AUTH_SCHEME_NEGOTIATE) ? WINHTTP_AUTH_SCHEME_NEGOTIATE
                                                                  : WINHTTP_AUTH_SCHEME_NTLM;
        DWORD logon = WINHTTP_AUTOLOGON_SECURITY_LEVEL_LOW;
        if (!WinHttpSetOption(hRequest, WINHTTP_OPTION_AUTOLOGON_POLICY, &logon, sizeof(logon)))
            Fail("WinHttpSetOption", "CWinHttpRequest::SendRequest");
        else if (WinHttpSetCredentials(hRequest, WINHTTP_AUTH_TARGET_PROXY, scheme, nullptr, nullptr, nullptr))
            return true;
        else
            Fail("WinHttpSetCredentials", "CWinHttpRequest::SendRequest");
    }
    // Typed credentials: Digest keeps the password off the wire, Basic
    // sends it as it is, NTLM takes it with the name.
    DWORD scheme = (supported & WINHTTP_AUTH_SCHEME_DIGEST)  ? WINHTTP_AUTH_SCHEME_DIGEST
                   : (supported & WINHTTP_AUTH_SCHEME_BASIC) ? WINHTTP_AUTH_SCHEME_BASIC
                                                             : automatic & WINHTTP_AUTH_SCHEME_NTLM;
    std::string challenge;
    QueryText(WINHTTP_QUERY_PROXY_AUTHENTICATE, WINHTTP_HEADER_NAME_BY_INDEX, challenge, false);
    std::wstring user;
    CSecretText password;
    int generation = GetProxyCredentials(user, password);
    if (generation <= nProxySent) {
        // A secure attempt only offers credentials already given: through a
        // tunnel that asks for a sign-in it may fail whatever it sends (it
        // does under Wine), and its plain attempt follows at once, so a
        // refusal here must not cost the user a question.
        if (bSecure)
            return false;
        if (scheme == 0 || !RenewProxyCredentials(strViaProxy, ProxyRealmOf(challenge), nProxySent))
            return false;
        generation = GetProxyCredentials(user, password);
    }
    if (nProxySent > 0) {
        // The stack keeps offering the first credentials set on a handle:
        // newer ones go on a fresh handle, whose 407 then takes them.
        CloseRequestHandle();
        return OpenRequest(bSecure) && AddHeaders();
    }
    if (!WinHttpSetCredentials(hRequest, WINHTTP_AUTH_TARGET_PROXY, scheme, user.c_str(), password.c_str(),
                               nullptr)) {
        Fail("WinHttpSetCredentials", "CWinHttpRequest::SendRequest");
        return false;
    }
    nProxySent = generation;
    return true;
}

bool CWinHttpRequest::QueryText(DWORD level, const wchar_t* name, std::string& value, bool logMissing)
{
    if (hRequest == nullptr)
        return false;
    std::wstring buffer(256, L'\0');
    DWORD length = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    DWORD index = 0;
    BOOL ok = WinHttpQueryHeaders(hRequest, level, name, &buffer[0], &length, &index);
    if (!ok && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        buffer.assign(length / sizeof(wchar_t) + 1, L'\0');
        length = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        index = 0;
        ok = WinHttpQueryHeaders(hRequest, level, name, &buffer[0], &length, &index);
    }
    if (!ok) {
        if (logMissing || GetLastError() != ERROR_WINHTTP_HEADER_NOT_FOUND)
            Fail("WinHttpQueryHeaders", logMissing ? "CWinHttpRequest::GetUrlFileSize" : "CWinHttpRequest::QueryHeader");
        return false;
    }
    buffer.resize(length / sizeof(wchar_t));
    value = WideToUtf8(buffer.c_str());
    return true;
}

bool CWinHttpRequest::GetUrlFileSize(int* size)
{
    std::string text;
    return QueryText(WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, text, true) &&
           ParseContentLength32(text, *size);
}

bool CWinHttpRequest::GetStatusCode(int* status)
{
    if (hRequest == nullptr)
        return false;
    DWORD value = 0;
    DWORD length = sizeof(value);
    DWORD index = 0;
    if (!WinHttpQueryHeaders(hRequest, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &value, &length, &index)) {
        Fail("WinHttpQueryHeaders", "CWinHttpRequest::GetStatusCode");
        return false;
    }
    *status = static_cast<int>(value);
    return true;
}

bool CWinHttpRequest::QueryHeader(const char* name, std::string& value)
{
    std::wstring wideName(name, name + std::strlen(name));
    return QueryText(WINHTTP_QUERY_CUSTOM, wideName.c_str(), value, false);
}

int CWinHttpRequest::HttpRead(void* buffer, int capacity)
{
    // Asks only for what has arrived: a read for more may wait until the
    // whole buffer is filled, which a server sending a byte now and then
    // never does.
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(hRequest, &available)) {
        // A read the engine abandoned ends quietly: it may return while the
        // process is ending, after the log has closed.
        if (!bAborted)
            Fail("WinHttpQueryDataAvailable", "CWinHttpRequest::HttpRead");
        return -1;
    }
    if (available == 0)
        return 0;
    DWORD read = 0;
    if (!WinHttpReadData(hRequest, buffer, available < static_cast<DWORD>(capacity) ? available : capacity, &read)) {
        if (!bAborted)
            Fail("WinHttpReadData", "CWinHttpRequest::HttpRead");
        return -1;
    }
    return static_cast<int>(read);
}
