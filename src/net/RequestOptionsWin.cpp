// The process-wide WinINet options and the proxy choice shared by both
// back-ends of CBaseRequest.
#include "net/BaseRequest.h"
#include "net/SharedAnswer.h"

#include "logging/Log.h"

#include <windows.h>
#include <wininet.h>

#include <cstring>
#include <new>

namespace {

bool AskProxyConnect()
{
    DWORD flags = 0;
    if (!InternetGetConnectedState(&flags, 0)) {
        LOG_INFO("ERR:InternetGetConnectedState fail 0x%x", static_cast<unsigned>(GetLastError()));
        return false;
    }
    return (flags & INTERNET_CONNECTION_PROXY) != 0;
}

} // namespace

bool CBaseRequest::IsUseProxyConnect()
{
    // Sessions opened together (a download's workers) share one question.
    static CSharedAnswer proxyAnswer;
    return proxyAnswer.Get(&AskProxyConnect);
}

bool CBaseRequest::QueryInternetOpt(uint32_t option, std::string& bytes)
{
    DWORD length = 0;
    // The first call only measures; a success here means there is nothing to read.
    if (InternetQueryOptionW(nullptr, option, nullptr, &length))
        return false;
    char* buffer = new (std::nothrow) char[length + 1];
    if (buffer == nullptr) {
        LOG_INFO("ERR: new %d bytes fail!", static_cast<int>(length));
        return false;
    }
    if (!InternetQueryOptionW(nullptr, option, buffer, &length)) {
        LOG_INFO("ERR: InternetQueryOption fail! 0x%x", static_cast<unsigned>(GetLastError()));
        delete[] buffer;
        return false;
    }
    bytes.assign(buffer, length);
    delete[] buffer;
    return true;
}

namespace {

bool FirstWordEquals(const std::string& bytes, uint32_t value)
{
    if (bytes.size() < sizeof(uint32_t))
        return false;
    uint32_t first = 0;
    std::memcpy(&first, bytes.data(), sizeof(first));
    return first == value;
}

} // namespace

bool CBaseRequest::InternetSetOpt(uint32_t option, uint32_t value)
{
    std::string bytes;
    if (QueryInternetOpt(option, bytes) && FirstWordEquals(bytes, value))
        return true;
    DWORD data = value;
    if (!InternetSetOptionW(nullptr, option, &data, sizeof(data))) {
        LOG_INFO("ERR: InternetSetOption fail! 0x%x", static_cast<unsigned>(GetLastError()));
        return false;
    }
    bytes.clear();
    return QueryInternetOpt(option, bytes) && FirstWordEquals(bytes, value);
}
