// The beacon's HEAD exchange and send thread over WinHTTP.
#include "net/HttpBeacon.h"

#include "net/BaseRequest.h"

#include <windows.h>
#include <winhttp.h>

namespace {

// Closes a WinHTTP handle when it goes out of scope.
class CScopedInternetHandle {
public:
    explicit CScopedInternetHandle(HINTERNET handle) : hHandle(handle) {}
    ~CScopedInternetHandle()
    {
        if (hHandle != nullptr)
            WinHttpCloseHandle(hHandle);
    }
    CScopedInternetHandle(const CScopedInternetHandle&) = delete;
    CScopedInternetHandle& operator=(const CScopedInternetHandle&) = delete;
    HINTERNET Get() const { return hHandle; }

private:
    HINTERNET hHandle;
};

DWORD WINAPI BeaconThreadEntry(LPVOID parameter)
{
    return CHttpBeacon::BeaconThreadProc(static_cast<BeaconTask*>(parameter));
}

} // namespace

bool CHttpBeacon::HeadRequest(const std::wstring& host, const std::wstring& path)
{
    if (host.empty() || path.empty())
        return false;
    std::wstring server;
    int port = 0;
    CBaseRequest::SplitServerPort(host, server, port);
    if (port == 0)
        port = 443;

    // Declared in this order so they close request, connection, session.
    CScopedInternetHandle session(WinHttpOpen(RequestUserAgent(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                              WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (session.Get() == nullptr)
        return false;
    CScopedInternetHandle connection(WinHttpConnect(session.Get(), server.c_str(), static_cast<INTERNET_PORT>(port), 0));
    if (connection.Get() == nullptr)
        return false;
    LPCWSTR accept[] = {L"*/*", nullptr};
    CScopedInternetHandle request(WinHttpOpenRequest(connection.Get(), L"HEAD", path.c_str(), nullptr,
                                                     WINHTTP_NO_REFERER, accept, WINHTTP_FLAG_SECURE));
    if (request.Get() == nullptr)
        return false;
    // A redirect must not carry the identifier to plain HTTP, and no server
    // gets the user's Windows sign-in with an event.
    DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_DISALLOW_HTTPS_TO_HTTP;
    DWORD logon = WINHTTP_AUTOLOGON_SECURITY_LEVEL_HIGH;
    if (!WinHttpSetOption(request.Get(), WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof(policy)) ||
        !WinHttpSetOption(request.Get(), WINHTTP_OPTION_AUTOLOGON_POLICY, &logon, sizeof(logon)))
        return false;
    if (!WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0))
        return false;
    return WinHttpReceiveResponse(request.Get(), nullptr) != FALSE;
}

bool CHttpBeacon::StartSend(bool first)
{
    BeaconTask* task = new BeaconTask();
    task->sender = this;
    task->first = first;
    HANDLE thread = CreateThread(nullptr, 0, &BeaconThreadEntry, task, 0, nullptr);
    if (thread == nullptr) {
        delete task;
        return false;
    }
    // Nobody waits for a send.
    CloseHandle(thread);
    return true;
}
