#include "net/ProxySettings.h"

#include "logging/Log.h"
#include "logging/TextEncoding.h"
#include "net/Url.h"

#include <algorithm>
#include <chrono>
#include <cwchar>
#include <atomic>
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

// The next entry of a list, separated by ";", "," or blanks, from `at` on;
// false after the last.
bool NextEntry(const std::wstring& list, size_t& at, std::wstring& entry)
{
    while (at < list.size()) {
        const size_t end = std::min(list.find_first_of(L";, \t", at), list.size());
        entry = list.substr(at, end - at);
        at = end + 1;
        if (!entry.empty())
            return true;
    }
    return false;
}

// Resolves the script (or detection) for url; false when it cannot be had,
// logged, and the settings then apply without it.
bool AskScript(const std::wstring& url, const UserProxySettings& settings, const ProxyCancel& cancelled,
               ProxyChoice& choice)
{
    ProxyScriptQuestion question;
    question.strUrl = url;
    question.strScript = settings.strScript;
    question.bDetect = settings.bAutoDetect;
    const std::wstring key = settings.strScript + (settings.bAutoDetect ? L" +detect" : L"");
    const std::string shown = WideToUtf8(UrlForLog(settings.strScript)) + (settings.bAutoDetect ? " +detect" : "");
    FailedScript& failed = LastFailedScript();
    const auto started = std::chrono::steady_clock::now();
    {
        std::lock_guard<std::mutex> guard(failed.lock);
        const int ago = static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(started - failed.when).count());
        if (failed.strKey == key && ago * 1000 < static_cast<int>(kProxyScriptRestMs)) {
            LOG_INFO("ERR:proxy script %s failed %d s ago: not asked again yet", shown.c_str(), ago);
            return false;
        }
    }
    unsigned long error = 0;
    const ProxyScriptOutcome outcome =
        EvaluateWithin(&EvaluateProxyScript, question, kProxyScriptLimitMs, cancelled, choice, error);
    if (outcome == kScript_Answered)
        return true;
    const int tookMs = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count());
    static const char* const kWhy[] = {"", "failed after", "no answer within", "cancelled after"};
    LOG_INFO("ERR:proxy script %s: %s %d ms (error %lu); the settings apply without it", shown.c_str(),
             kWhy[outcome], tookMs, error);
    // A cancel says nothing about the script: the next download asks again.
    if (outcome != kScript_Cancelled) {
        std::lock_guard<std::mutex> guard(failed.lock);
        failed.strKey = key;
        failed.when = std::chrono::steady_clock::now();
    }
    return false;
}

} // namespace

std::wstring ProxyKeyOf(const std::wstring& url)
{
    const size_t start = HttpSchemeLength(url);
    return start == 0 ? std::wstring() : AsciiLower(url.substr(0, ServerEnd(url, start)));
}

bool ProxyBypassed(const std::wstring& host, const std::wstring& bypass)
{
    const std::wstring name = AsciiLower(host);
    const std::wstring list = AsciiLower(bypass);
    std::wstring entry;
    for (size_t at = 0; NextEntry(list, at, entry);) {
        if (entry == L"<local>" ? name.find(L'.') == std::wstring::npos
                                : WildcardMatch(entry.c_str() + HttpSchemeLength(entry), name.c_str()))
            return true;
    }
    return false;
}

std::wstring ProxyServerFor(const ProxyChoice& choice, const std::wstring& host, bool secure)
{
    if (choice.bDirect || ProxyBypassed(host, choice.strBypass))
        return std::wstring();
    // The entry for the scheme wins over the first one without a scheme.
    std::wstring server;
    std::wstring entry;
    for (size_t at = 0; NextEntry(choice.strProxy, at, entry);) {
        const size_t equals = entry.find(L'=');
        if (equals == std::wstring::npos) {
            if (server.empty())
                server = entry;
        } else if (AsciiLower(entry.substr(0, equals)) == (secure ? L"https" : L"http")) {
            server = entry.substr(equals + 1);
            break;
        }
    }
    server.erase(0, HttpSchemeLength(server));   // "http://proxy:8080"
    server.erase(std::min(server.find(L'/'), server.size()));
    const size_t colon = server.rfind(L':');
    if (!server.empty() && (colon == std::wstring::npos || server.find(L']', colon) != std::wstring::npos))
        server += L":80";
    return server;
}

ProxyChoice SettleProxy(const std::wstring& url, const ProxyCancel& cancelled)
{
    ProxyChoice choice = ResolveProxy(url, cancelled);
    std::wstring key = ProxyKeyOf(url);
    LOG_INFO_W(L"proxy for %ls: %ls %ls", key.c_str(), choice.bDirect ? L"none" : choice.strProxy.c_str(),
               choice.strBypass.c_str());
    if (cancelled())
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

bool ProxyCancelFlag(const void* flag)
{
    return flag != nullptr && __atomic_load_n(static_cast<const bool*>(flag), __ATOMIC_RELAXED);
}

bool ProxyCancelAtomic(const void* flag)
{
    return static_cast<const std::atomic<bool>*>(flag)->load();
}

namespace {

// One evaluation, shared by the waiter and its thread; the last one out
// frees it. The thread writes the answer, then raises bFinished.
struct PendingScript {
    std::atomic<int> nRefs{2};
    std::atomic<bool> bFinished{false};
    ProxyScriptCall fnEvaluate = nullptr;
    ProxyScriptQuestion question;
    bool bOk = false;
    ProxyChoice choice;
    unsigned long nError = 0;

    void Release()
    {
        if (--nRefs == 0)
            delete this;
    }
};

void RunPendingScript(PendingScript* pending)
{
    pending->bOk = pending->fnEvaluate(pending->question, pending->choice, pending->nError);
    pending->bFinished = true;
    pending->Release();
}

} // namespace

ProxyScriptOutcome EvaluateWithin(ProxyScriptCall evaluate, const ProxyScriptQuestion& question, unsigned limitMs,
                                  const ProxyCancel& cancelled, ProxyChoice& choice, unsigned long& error)
{
    auto* pending = new PendingScript();
    pending->fnEvaluate = evaluate;
    pending->question = question;
    try {
        std::thread(&RunPendingScript, pending).detach();
    } catch (const std::exception&) {
        delete pending;
        return kScript_Failed;   // no thread to wait for
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    ProxyScriptOutcome outcome = kScript_TimedOut;
    while (!pending->bFinished) {
        if (cancelled()) {
            outcome = kScript_Cancelled;
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (pending->bFinished) {
        outcome = pending->bOk ? kScript_Answered : kScript_Failed;
        error = pending->nError;
        if (pending->bOk)
            choice = pending->choice;
    }
    pending->Release();
    return outcome;
}

#ifndef _WIN32
// Outside Windows there are no user proxy settings and no script engine.
bool ReadUserProxySettings(UserProxySettings&) { return false; }
bool EvaluateProxyScript(const ProxyScriptQuestion&, ProxyChoice&, unsigned long& error)
{
    error = 0;
    return false;
}
#endif
