// The configuration script or automatic detection evaluated for one URL by
// WinHTTP, for both back-ends (the fixed proxy and its bypass list are used
// as the settings give them; see ProxySettings.cpp).
#include "net/ProxySettings.h"

#include "net/BaseRequest.h"

#include <windows.h>
#include <winhttp.h>

namespace {

// Takes a string the stack allocated, frees it and gives its text.
std::wstring TakeText(LPWSTR text)
{
    if (text == nullptr)
        return std::wstring();
    std::wstring value(text);
    GlobalFree(text);
    return value;
}

} // namespace

bool EvaluateProxyScript(const ProxyScriptQuestion& question, ProxyChoice& choice, unsigned long& error)
{
    const std::wstring& script = question.strScript;
    HINTERNET session = WinHttpOpen(RequestUserAgent(), WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                    WINHTTP_NO_PROXY_BYPASS, 0);
    if (session == nullptr) {
        error = GetLastError();
        return false;
    }
    // The script's own download gives up about when its caller stops waiting
    // (where the stack takes the session's limits for it).
    for (DWORD option : {WINHTTP_OPTION_RESOLVE_TIMEOUT, WINHTTP_OPTION_CONNECT_TIMEOUT, WINHTTP_OPTION_SEND_TIMEOUT,
                         WINHTTP_OPTION_RECEIVE_TIMEOUT}) {
        DWORD limit = kProxyScriptLimitMs;
        WinHttpSetOption(session, option, &limit, sizeof(limit));
    }
    WINHTTP_AUTOPROXY_OPTIONS options = {};
    if (!script.empty()) {
        options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = script.c_str();
    }
    if (question.bDetect) {
        options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    options.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO info = {};
    const bool ok = WinHttpGetProxyForUrl(session, question.strUrl.c_str(), &options, &info) != FALSE;
    error = ok ? 0 : GetLastError();
    std::wstring proxy = TakeText(info.lpszProxy);
    std::wstring bypass = TakeText(info.lpszProxyBypass);
    WinHttpCloseHandle(session);
    if (!ok)
        return false;
    choice.bDirect = info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY || proxy.empty();
    choice.strProxy = choice.bDirect ? std::wstring() : proxy;
    choice.strBypass = choice.bDirect ? std::wstring() : bypass;
    return true;
}
