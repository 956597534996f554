#include "net/ProxySettings.h"

#include "logging/Log.h"

#include <map>
#include <mutex>

namespace {

std::mutex& CacheLock()
{
    static std::mutex lock;
    return lock;
}

std::map<std::wstring, ProxyChoice>& Cache()
{
    static std::map<std::wstring, ProxyChoice> cache;
    return cache;
}

} // namespace

std::wstring ProxyKeyOf(const std::wstring& url)
{
    size_t scheme = url.find(L"://");
    if (scheme == std::wstring::npos)
        return std::wstring();
    size_t slash = url.find(L'/', scheme + 3);
    return url.substr(0, slash);
}

std::wstring ProxyDisplayName(const std::wstring& list)
{
    std::wstring first;
    size_t at = 0;
    while (at <= list.size()) {
        size_t end = list.find_first_of(L"; ", at);
        if (end == std::wstring::npos)
            end = list.size();
        std::wstring entry = list.substr(at, end - at);
        at = end + 1;
        if (entry.empty())
            continue;
        size_t equals = entry.find(L'=');
        std::wstring host = equals == std::wstring::npos ? entry : entry.substr(equals + 1);
        if (equals != std::wstring::npos && entry.compare(0, equals, L"https") == 0)
            return host;
        if (first.empty())
            first = host;
    }
    return first;
}

ProxyChoice SettleProxy(const std::wstring& url)
{
    ProxyChoice choice = ResolveProxy(url);
    std::wstring key = ProxyKeyOf(url);
    if (choice.bDirect)
        LOG_INFO_W(L"proxy for %ls: none", key.c_str());
    else
        LOG_INFO_W(L"proxy for %ls: %ls (bypass: %ls)", key.c_str(), choice.strProxy.c_str(),
                   choice.strBypass.c_str());
    std::lock_guard<std::mutex> guard(CacheLock());
    Cache()[key] = choice;
    return choice;
}

ProxyChoice ProxyFor(const std::wstring& url)
{
    {
        std::lock_guard<std::mutex> guard(CacheLock());
        auto found = Cache().find(ProxyKeyOf(url));
        if (found != Cache().end())
            return found->second;
    }
    return SettleProxy(url);
}

#ifndef _WIN32
// Outside Windows there are no user proxy settings.
ProxyChoice ResolveProxy(const std::wstring&) { return ProxyChoice(); }
#endif
