#include "net/ProxySettings.h"

#include "logging/Log.h"
#include "net/Url.h"

#include <algorithm>
#include <cwchar>
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

// "*" stands for any run of characters; both texts in lower case.
bool WildcardMatch(const wchar_t* pattern, const wchar_t* text)
{
    const wchar_t* star = nullptr;
    const wchar_t* resume = nullptr;
    while (*text != L'\0') {
        if (*pattern == L'*') {
            star = pattern++;
            resume = text;
        } else if (*pattern == *text) {
            ++pattern;
            ++text;
        } else if (star != nullptr) {
            pattern = star + 1;
            text = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == L'*')
        ++pattern;
    return *pattern == L'\0';
}

// The entries of a list, separated by ";", "," or blanks.
template <typename Visit>
void ForEachEntry(const std::wstring& list, Visit visit)
{
    size_t at = 0;
    while (at < list.size()) {
        const size_t end = std::min(list.find_first_of(L";, \t", at), list.size());
        if (end > at && visit(list.substr(at, end - at)))
            return;
        at = end + 1;
    }
}

} // namespace

std::wstring ProxyKeyOf(const std::wstring& url)
{
    const UrlParts parts = SplitUrl(url);
    if (!parts.bScheme || !parts.bAuthority)
        return std::wstring();
    return AsciiLower(parts.strScheme + L"://" + parts.strAuthority);
}

bool ProxyBypassed(const std::wstring& host, const std::wstring& bypass)
{
    const std::wstring name = AsciiLower(host);
    bool bypassed = false;
    ForEachEntry(AsciiLower(bypass), [&](std::wstring entry) {
        if (entry == L"<local>")
            return bypassed = name.find(L'.') == std::wstring::npos;
        for (const wchar_t* scheme : {L"http://", L"https://"})
            if (entry.compare(0, wcslen(scheme), scheme) == 0)
                entry.erase(0, wcslen(scheme));
        return bypassed = WildcardMatch(entry.c_str(), name.c_str());
    });
    return bypassed;
}

std::wstring ProxyServerFor(const ProxyChoice& choice, const std::wstring& host, bool secure)
{
    if (choice.bDirect || ProxyBypassed(host, choice.strBypass))
        return std::wstring();
    const std::wstring wanted = secure ? L"https" : L"http";
    std::wstring forScheme;
    std::wstring forAll;
    ForEachEntry(choice.strProxy, [&](const std::wstring& entry) {
        const size_t equals = entry.find(L'=');
        if (equals == std::wstring::npos) {
            if (forAll.empty())
                forAll = entry;
        } else if (AsciiLower(entry.substr(0, equals)) == wanted) {
            forScheme = entry.substr(equals + 1);
            return true;
        }
        return false;
    });
    std::wstring server = forScheme.empty() ? forAll : forScheme;
    if (server.empty())
        return server;
    const UrlParts parts = SplitUrl(server);
    if (parts.bScheme && parts.bAuthority)
        server = parts.strAuthority;   // "http://proxy:8080"
    const size_t colon = server.rfind(L':');
    if (colon == std::wstring::npos || server.find(L']', colon) != std::wstring::npos)
        server += L":80";
    return server;
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
