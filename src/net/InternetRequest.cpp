#include "net/InternetRequest.h"

#include <windows.h>
#include <wininet.h>

#include <cerrno>
#include <climits>
#include <cwchar>

namespace {

// Reload, secure, keep-alive, no cookies, no authentication, no redirect to
// plain HTTP, no UI - whatever the secure flag.
constexpr DWORD kRequestFlags = 0x80CC8200;

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
    if (hRequest != nullptr) {
        InternetCloseHandle(hRequest);
        hRequest = nullptr;
    }
    if (hConnect != nullptr) {
        InternetCloseHandle(hConnect);
        hConnect = nullptr;
    }
    if (hSession != nullptr) {
        InternetCloseHandle(hSession);
        hSession = nullptr;
    }
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
    return true;
}

bool CInternetRequest::SendRequest()
{
    if (!strHeaders.empty() &&
        !HttpAddRequestHeadersW(hRequest, strHeaders.c_str(), static_cast<DWORD>(strHeaders.size()),
                                HTTP_ADDREQ_FLAG_ADD)) {
        Fail("\"HttpAddRequestHeaders\"", "CInternetRequest::SendRequest");
        return false;
    }
    if (!HttpSendRequestW(hRequest, nullptr, 0, nullptr, 0)) {
        Fail("HttpSendRequest", "CInternetRequest::SendRequest");
        return false;
    }
    return true;
}

bool CInternetRequest::GetUrlFileSize(int* size)
{
    if (hRequest == nullptr)
        return false;
    wchar_t text[260] = {};
    DWORD length = sizeof(text);
    DWORD index = 0;
    if (!HttpQueryInfoW(hRequest, HTTP_QUERY_CONTENT_LENGTH, text, &length, &index)) {
        Fail("HttpQueryInfo", "CInternetRequest::GetUrlFileSize");
        return false;
    }
    // Only a plain decimal number within 32 bits counts as a size.
    wchar_t* end = nullptr;
    errno = 0;
    long long value = std::wcstoll(text, &end, 10);
    if (end == text || *end != L'\0' || errno != 0 || value < INT_MIN || value > INT_MAX)
        return false;
    *size = static_cast<int>(value);
    return true;
}

int CInternetRequest::HttpRead(void* buffer, int capacity)
{
    DWORD read = 0;
    if (!InternetReadFile(hRequest, buffer, static_cast<DWORD>(capacity), &read)) {
        Fail("InternetReadFile", "CInternetRequest::HttpRead");
        return -1;
    }
    return static_cast<int>(read);
}
