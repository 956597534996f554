#include "net/BaseRequest.h"

#include "logging/Assert.h"
#include "logging/Log.h"
#include "logging/TextEncoding.h"
#include "net/ProxySettings.h"
#include "net/Url.h"

#include <algorithm>
#include <mutex>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "net/InternetRequest.h"
#include "net/WinHttpRequest.h"
#else
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

constexpr uint32_t kOptionMaxConnsPerServer = 73;       // INTERNET_OPTION_MAX_CONNS_PER_SERVER
constexpr uint32_t kOptionMaxConnsPer10Server = 74;     // INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER

} // namespace

CBaseRequest::CBaseRequest() : strMethod(L"GET") {}

CBaseRequest::~CBaseRequest() = default;

CBaseRequest* CBaseRequest::CreateInstance(int type)
{
#ifdef _WIN32
    if (type == kTypeWinHttp)
        return new CWinHttpRequest();
    if (type == kTypeInternet)
        return new CInternetRequest();
#endif
    // Outside Windows there is no back-end at all; every type is refused.
    AssertCheckMsg(false, "false", "CBaseRequest::CreateInstance", __LINE__, "ERR:un support type %d", type);
    return nullptr;
}

bool CBaseRequest::ParseUrl(const std::wstring& url, std::wstring& server, std::wstring& object)
{
    const UrlParts parts = SplitUrl(url);
    const std::wstring scheme = AsciiLower(parts.strScheme);
    if (!parts.bScheme || !parts.bAuthority || (scheme != L"http" && scheme != L"https"))
        return true;  // no scheme: the platform calls fail later on the empty names
    // A sign-in written into the URL is never sent (nor logged).
    if (parts.strPath.empty() || parts.strAuthority.find(L'@') != std::wstring::npos)
        return false;
    server = parts.strAuthority;
    object = parts.strPath.substr(1) + (parts.bQuery ? L"?" + parts.strQuery : std::wstring());
    return true;
}

void CBaseRequest::SplitServerPort(const std::wstring& server, std::wstring& host, int& port)
{
    host = server;
    port = 0;
    size_t colon = server.rfind(L':');
    if (colon == std::wstring::npos || colon == 0 || colon + 1 >= server.size() || server.size() - colon > 6)
        return;
    long value = 0;
    for (size_t i = colon + 1; i < server.size(); ++i) {
        wchar_t c = server[i];
        if (c < L'0' || c > L'9')
            return;
        value = value * 10 + (c - L'0');
    }
    if (value < 1 || value > 65535)
        return;
    host = server.substr(0, colon);
    port = static_cast<int>(value);
}

namespace {

// The URLs redirects have led to in this process; kept so that a later
// request to one (the ranges ask the size query's final URL) knows it.
struct RedirectTargets {
    std::mutex lock;
    std::vector<std::wstring> urls;
};
constexpr size_t kRedirectTargetsKept = 64;

RedirectTargets& Targets()
{
    static RedirectTargets targets;
    return targets;
}

void NoteRedirectTarget(const std::wstring& url)
{
    RedirectTargets& targets = Targets();
    std::lock_guard<std::mutex> guard(targets.lock);
    if (std::find(targets.urls.begin(), targets.urls.end(), url) != targets.urls.end())
        return;
    if (targets.urls.size() >= kRedirectTargetsKept)
        targets.urls.erase(targets.urls.begin());
    targets.urls.push_back(url);
}

bool IsRedirectTarget(const std::wstring& url)
{
    RedirectTargets& targets = Targets();
    std::lock_guard<std::mutex> guard(targets.lock);
    return std::find(targets.urls.begin(), targets.urls.end(), url) != targets.urls.end();
}

} // namespace

bool CBaseRequest::Request(const std::wstring& url)
{
    std::wstring current = url;
    for (int hops = 0;; ++hops) {
        // The plain attempt is for the URL the caller was given, never for
        // where a redirect led: a redirect's target whose TLS fails is not
        // asked for in plain text.
        if (!RequestOnce(current, hops == 0 && !IsRedirectTarget(current)))
            return false;
        strFinalUrl = current;
        int status = 0;
        std::string location;
        if (!GetStatusCode(&status) || (status != 301 && status != 302 && status != 303 && status != 307 &&
                                        status != 308) || !QueryHeader("Location", location))
            return true;
        std::wstring next;
        if (hops >= kMaxRedirects || !ResolveRedirect(current, Utf8ToWide(location), next)) {
            LOG_INFO("ERR:[%s] redirect %d to \"%s\" refused", GetTypeName(), hops + 1,
                     WideToUtf8(UrlForLog(Utf8ToWide(location))).c_str());
            return true;
        }
        NoteRedirectTarget(next);
        current = next;
        LOG_INFO_W(L"redirect %d to %ls", hops + 1, ProxyKeyOf(current).c_str());
    }
}

bool CBaseRequest::ResolveRedirect(const std::wstring& base, const std::wstring& location, std::wstring& next)
{
    if (location.empty())
        return false;
    UrlParts target = SplitUrl(ResolveUrl(base, location));
    const std::wstring scheme = AsciiLower(target.strScheme);
    if (!target.bScheme || !target.bAuthority || (scheme != L"http" && scheme != L"https") ||
        scheme != AsciiLower(SplitUrl(base).strScheme))
        return false;
    std::wstring host;
    int port = 0;
    SplitServerPort(target.strAuthority, host, port);
    if (host.empty() || target.strAuthority.find(L'@') != std::wstring::npos)
        return false;
    target.strScheme = scheme;
    target.strAuthority = AsciiLower(target.strAuthority);
    if (target.strPath.empty())
        target.strPath = L"/";
    target.bFragment = false;
    target.strFragment.clear();
    next = JoinUrl(target);
    return true;
}

bool CBaseRequest::RequestOnce(const std::wstring& url, bool plainAllowed)
{
    strUrl = url;
    std::wstring server;
    std::wstring object;
    if (!ParseUrl(url, server, object))
        return false;
    if (RequestImp(true, server, object))
        return true;
    return plainAllowed && !bAborted && RequestImp(false, server, object);
}

bool CBaseRequest::RequestImp(bool secure, const std::wstring& server, const std::wstring& object)
{
    strObjectName = object;
    // A port written in the URL is used for the secure and the plain attempt
    // alike; the server name handed to the stack is the host alone.
    SplitServerPort(server, strServerName, nServerPort);
    if (!OpenSession())
        return false;
    if (nMaxConnsPerServer != 0) {
        InternetSetOpt(kOptionMaxConnsPerServer, static_cast<uint32_t>(nMaxConnsPerServer));
        InternetSetOpt(kOptionMaxConnsPer10Server, static_cast<uint32_t>(nMaxConnsPerServer));
    }
    return ConnectSession(secure) && OpenRequest(secure) && SendRequest();
}

unsigned long CurrentThreadIdForLog()
{
#ifdef _WIN32
    return GetCurrentThreadId();
#else
    return static_cast<unsigned long>(syscall(SYS_gettid));
#endif
}

void ShowApiError(const char* apiName, uint32_t errorCode, void* messageModule, const char* context)
{
    char text[260] = {};
#ifdef _WIN32
    FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE, messageModule, errorCode, 0x400, text, sizeof(text), nullptr);
#endif
    if (context != nullptr)
        LOG_INFO("[Thread][%d] [%s]call %s fail %d, %s\n", static_cast<int>(CurrentThreadIdForLog()), context,
                 apiName, static_cast<int>(errorCode), text);
    else
        LOG_INFO("[Thread][%d] call %s fail %d, %s\n", static_cast<int>(CurrentThreadIdForLog()), apiName,
                 static_cast<int>(errorCode), text);
}

#ifndef _WIN32
// Without WinINet there is no process-wide option.
bool CBaseRequest::QueryInternetOpt(uint32_t, std::string&) { return false; }
bool CBaseRequest::InternetSetOpt(uint32_t, uint32_t) { return false; }
const wchar_t* RequestUserAgent() { return L"Pathwick-Setup/" PW_VERSION_TEXT; }
#endif
