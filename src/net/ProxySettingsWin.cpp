// The proxy for one URL from the user's settings, for both back-ends: the
// fixed proxy and its bypass list as they are, and automatic detection or a
// configuration script evaluated for the URL by WinHTTP.
#include "net/ProxySettings.h"

#include "net/BaseRequest.h"
#include "logging/Log.h"

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

// The proxy the configuration script (or automatic detection) names for
// url; false when it could not be evaluated.
bool AskAutoProxy(const std::wstring& url, const std::wstring& script, bool detect, ProxyChoice& choice)
{
    HINTERNET session = WinHttpOpen(RequestUserAgent(), WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                    WINHTTP_NO_PROXY_BYPASS, 0);
    if (session == nullptr) {
        LOG_INFO("ERR:WinHttpOpen for the proxy script fail %u", static_cast<unsigned>(GetLastError()));
        return false;
    }
    WINHTTP_AUTOPROXY_OPTIONS options = {};
    if (!script.empty()) {
        options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = script.c_str();
    }
    if (detect) {
        options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    options.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO info = {};
    bool ok = WinHttpGetProxyForUrl(session, url.c_str(), &options, &info) != FALSE;
    if (!ok)
        LOG_INFO("ERR:WinHttpGetProxyForUrl fail %u", static_cast<unsigned>(GetLastError()));
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

} // namespace

ProxyChoice ResolveProxy(const std::wstring& url)
{
    ProxyChoice choice;
    UserProxySettings settings;
    if (!ReadUserProxySettings(settings))
        return choice;
    // The script or detection comes first; when it cannot be evaluated the
    // fixed proxy, if any, applies.
    if ((!settings.strScript.empty() || settings.bAutoDetect) &&
        AskAutoProxy(url, settings.strScript, settings.bAutoDetect, choice))
        return choice;
    if (settings.bFixed) {
        choice.bDirect = false;
        choice.strProxy = settings.strProxy;
        choice.strBypass = settings.strBypass;
    }
    return choice;
}
