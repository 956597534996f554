#include "net/ProxySettings.h"

#include "logging/Log.h"

#include <mutex>

namespace {

// The choices kept, one per server; a download meets one or two servers
// (its own and a redirect's), so a few entries used in turn are enough.
struct KeptChoice {
    std::wstring strKey;
    ProxyChoice choice;
};
constexpr int kKept = 4;

struct KeptChoices {
    std::mutex lock;
    KeptChoice entries[kKept];
    int nNext = 0;
};

KeptChoices& Kept()
{
    static KeptChoices kept;
    return kept;
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
    size_t at = list.find(L"https=");
    at = at != std::wstring::npos ? at + 6 : 0;
    std::wstring entry = list.substr(at, list.find_first_of(L"; ", at) - at);
    size_t equals = entry.find(L'=');
    return equals == std::wstring::npos ? entry : entry.substr(equals + 1);
}

ProxyChoice SettleProxy(const std::wstring& url)
{
    ProxyChoice choice = ResolveProxy(url);
    std::wstring key = ProxyKeyOf(url);
    LOG_INFO_W(L"proxy for %ls: %ls %ls", key.c_str(), choice.bDirect ? L"none" : choice.strProxy.c_str(),
               choice.strBypass.c_str());
    KeptChoices& kept = Kept();
    std::lock_guard<std::mutex> guard(kept.lock);
    KeptChoice* slot = &kept.entries[kept.nNext];
    for (KeptChoice& entry : kept.entries)
        if (entry.strKey == key)
            slot = &entry;
    if (slot == &kept.entries[kept.nNext])
        kept.nNext = (kept.nNext + 1) % kKept;
    slot->strKey = key;
    slot->choice = choice;
    return choice;
}

ProxyChoice ProxyFor(const std::wstring& url)
{
    {
        std::wstring key = ProxyKeyOf(url);
        KeptChoices& kept = Kept();
        std::lock_guard<std::mutex> guard(kept.lock);
        for (const KeptChoice& entry : kept.entries)
            if (!entry.strKey.empty() && entry.strKey == key)
                return entry.choice;
    }
    return SettleProxy(url);
}

#ifndef _WIN32
// Outside Windows there are no user proxy settings.
ProxyChoice ResolveProxy(const std::wstring&) { return ProxyChoice(); }
#endif
