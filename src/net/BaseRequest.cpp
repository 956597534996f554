#include "net/BaseRequest.h"

#include "logging/Assert.h"
#include "logging/Log.h"
#include "logging/TextEncoding.h"
#include "net/ProxySettings.h"
#include "net/Url.h"

#include <algorithm>
#include <mutex>

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
    const size_t start = HttpSchemeLength(url);
    if (start == 0)
        return true;  // no scheme: the platform calls fail later on the empty names
    const size_t end = ServerEnd(url, start);
    // A sign-in written into the URL is never sent (nor logged).
    if (end == url.size() || url[end] != L'/' || url.find(L'@', start) < end)
        return false;
    server = url.substr(start, end - start);
    object = url.substr(end + 1, url.find(L'#', end) - end - 1);   // no fragment
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

// The URLs redirects have led to in this process, the last few in turn;
// kept so that a later request to one (the ranges ask the size query's
// final URL) knows it. A download meets a handful.
struct RedirectTargets {
    std::mutex lock;
    std::wstring urls[16];
    unsigned nNext = 0;
};

RedirectTargets& Targets()
{
    static RedirectTargets targets;
    return targets;
}

// Keeps url when note is true; whether it was kept already.
bool RedirectTarget(const std::wstring& url, bool note)
{
    RedirectTargets& targets = Targets();
    std::lock_guard<std::mutex> guard(targets.lock);
    for (const std::wstring& kept : targets.urls)
        if (kept == url)
            return true;
    if (note)
        targets.urls[targets.nNext++ % 16] = url;
    return false;
}

} // namespace

bool CBaseRequest::Request(const std::wstring& url)
{
    std::wstring current = url;
    for (int hops = 0;; ++hops) {
        // The plain attempt is for the URL the caller was given, never for
        // where a redirect led: a redirect's target whose TLS fails is not
        // asked for in plain text.
        if (!RequestOnce(current, hops == 0 && !RedirectTarget(current, false)))
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
        RedirectTarget(next, true);
        current = next;
        LOG_INFO_W(L"redirect %d to %ls", hops + 1, ProxyKeyOf(current).c_str());
    }
}

bool CBaseRequest::ResolveRedirect(const std::wstring& base, const std::wstring& location, std::wstring& next)
{
    if (location.empty())
        return false;
    std::wstring target = ResolveUrl(base, location);
    const size_t start = HttpSchemeLength(target);
    const size_t end = ServerEnd(target, start);
    // The same scheme (both lengths alike), a host, no sign-in.
    if (start == 0 || start != HttpSchemeLength(base) || end == start || target[start] == L':' ||
        target.find(L'@', start) < end)
        return false;
    target.erase(std::min(target.find(L'#'), target.size()));
    if (end == target.size() || target[end] != L'/')
        target.insert(end, 1, L'/');
    next = AsciiLower(target.substr(0, end)) + target.substr(end);
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
