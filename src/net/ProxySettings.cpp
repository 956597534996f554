#include "net/ProxySettings.h"

#include "logging/Log.h"
#include "net/Url.h"

#include <algorithm>
#include <chrono>
#include <cwchar>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

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

// The last script that could not be resolved, and when.
struct FailedScript {
    std::mutex lock;
    std::wstring strKey;
    std::chrono::steady_clock::time_point when;
};

FailedScript& LastFailedScript()
{
    static FailedScript failed;
    return failed;
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

// Resolves the script (or detection) for url; false when it cannot be had,
// logged, and the settings then apply without it.
bool AskScript(const std::wstring& url, const UserProxySettings& settings, const ProxyCancel& cancelled,
               ProxyChoice& choice)
{
    const std::wstring key = settings.strScript + (settings.bAutoDetect ? L" (detection)" : L"");
    const std::wstring shown = settings.strScript.empty() ? std::wstring(L"automatic detection")
                                                          : UrlForLog(settings.strScript);
    FailedScript& failed = LastFailedScript();
    {
        std::lock_guard<std::mutex> guard(failed.lock);
        const auto ago = std::chrono::steady_clock::now() - failed.when;
        if (failed.strKey == key && ago < std::chrono::milliseconds(kProxyScriptRestMs)) {
            LOG_INFO_W(L"ERR:proxy script %ls failed %d s ago: not asked again yet, the settings apply without it",
                       shown.c_str(), static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(ago).count()));
            return false;
        }
    }
    const std::wstring script = settings.strScript;
    const bool detect = settings.bAutoDetect;
    unsigned long error = 0;
    const auto started = std::chrono::steady_clock::now();
    const ProxyScriptOutcome outcome = EvaluateWithin(
        [url, script, detect](ProxyChoice& answer, unsigned long& code) {
            return EvaluateProxyScript(url, script, detect, answer, code);
        },
        kProxyScriptLimitMs, cancelled, choice, error);
    const int tookMs = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count());
    if (outcome == kScript_Answered)
        return true;
    if (outcome == kScript_Cancelled) {
        // Says nothing about the script: the next download asks again.
        LOG_INFO_W(L"proxy script %ls: cancelled after %d ms", shown.c_str(), tookMs);
        return false;
    }
    if (outcome == kScript_TimedOut)
        LOG_INFO_W(L"ERR:proxy script %ls: no answer within %d ms, the settings apply without it", shown.c_str(),
                   tookMs);
    else
        LOG_INFO_W(L"ERR:proxy script %ls: WinHttpGetProxyForUrl fail %lu after %d ms, the settings apply without it",
                   shown.c_str(), error, tookMs);
    std::lock_guard<std::mutex> guard(failed.lock);
    failed.strKey = key;
    failed.when = std::chrono::steady_clock::now();
    return false;
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

ProxyChoice SettleProxy(const std::wstring& url, const ProxyCancel& cancelled)
{
    ProxyChoice choice = ResolveProxy(url, cancelled);
    std::wstring key = ProxyKeyOf(url);
    LOG_INFO_W(L"proxy for %ls: %ls %ls", key.c_str(), choice.bDirect ? L"none" : choice.strProxy.c_str(),
               choice.strBypass.c_str());
    if (cancelled && cancelled())
        return choice;   // what the script would have said is not known: not kept
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

ProxyChoice ProxyFor(const std::wstring& url, const ProxyCancel& cancelled)
{
    {
        std::wstring key = ProxyKeyOf(url);
        KeptChoices& kept = Kept();
        std::lock_guard<std::mutex> guard(kept.lock);
        for (const KeptChoice& entry : kept.entries)
            if (!entry.strKey.empty() && entry.strKey == key)
                return entry.choice;
    }
    return SettleProxy(url, cancelled);
}

ProxyChoice ResolveProxy(const std::wstring& url, const ProxyCancel& cancelled)
{
    ProxyChoice choice;
    UserProxySettings settings;
    if (!ReadUserProxySettings(settings))
        return choice;
    // The script or detection comes first; when it cannot be evaluated the
    // fixed proxy, if any, applies.
    if ((!settings.strScript.empty() || settings.bAutoDetect) && AskScript(url, settings, cancelled, choice))
        return choice;
    choice = ProxyChoice();
    if (settings.bFixed) {
        choice.bDirect = false;
        choice.strProxy = settings.strProxy;
        choice.strBypass = settings.strBypass;
    }
    return choice;
}

ProxyScriptOutcome EvaluateWithin(const ProxyScriptCall& evaluate, unsigned limitMs, const ProxyCancel& cancelled,
                                  ProxyChoice& choice, unsigned long& error)
{
    // Shared by the waiter and the evaluation; the last one out frees it.
    struct Pending {
        std::mutex lock;
        std::condition_variable done;
        bool bFinished = false;
        bool bOk = false;
        ProxyChoice choice;
        unsigned long nError = 0;
    };
    auto pending = std::make_shared<Pending>();
    try {
        std::thread([pending, evaluate] {
            ProxyChoice answer;
            unsigned long code = 0;
            const bool ok = evaluate(answer, code);
            std::lock_guard<std::mutex> guard(pending->lock);
            pending->bOk = ok;
            pending->choice = std::move(answer);
            pending->nError = code;
            pending->bFinished = true;
            pending->done.notify_all();
        }).detach();
    } catch (const std::exception&) {
        error = 0;
        return kScript_Failed;   // no thread to wait for
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    std::unique_lock<std::mutex> lock(pending->lock);
    while (!pending->bFinished) {
        if (cancelled && cancelled())
            return kScript_Cancelled;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return kScript_TimedOut;
        pending->done.wait_for(lock, std::min<std::chrono::steady_clock::duration>(deadline - now,
                                                                                  std::chrono::milliseconds(50)));
    }
    error = pending->nError;
    if (!pending->bOk)
        return kScript_Failed;
    choice = pending->choice;
    return kScript_Answered;
}

#ifndef _WIN32
// Outside Windows there are no user proxy settings and no script engine.
bool ReadUserProxySettings(UserProxySettings&) { return false; }
bool EvaluateProxyScript(const std::wstring&, const std::wstring&, bool, ProxyChoice&, unsigned long& error)
{
    error = 0;
    return false;
}
#endif
