// The proxy a download goes through, from the user's own settings: a fixed
// proxy with its bypass list, automatic detection or an automatic
// configuration script. Settled once per download for its server and kept,
// so that every range and retry goes the same way.
//
// A configuration script (or automatic detection) is resolved on a thread
// of its own and given at most kProxyScriptLimitMs; the caller's cancel ends
// the wait at once. A script that cannot be resolved is logged and the
// settings apply without it (the fixed proxy if one is set, else direct);
// it is not asked again for kProxyScriptRestMs, so that a download's size
// query and its ranges do not each wait for the same dead script host.
//
// Classes in this file: ProxyChoice, UserProxySettings.
#pragma once

#include <string>

struct ProxyChoice {
    bool bDirect = true;
    std::wstring strProxy;    // "host:port", or a list the stacks take ("http=a:1;https=b:2")
    std::wstring strBypass;   // a fixed proxy's bypass list; empty for none
};

// The user's settings as the system keeps them.
struct UserProxySettings {
    bool bFixed = false;        // use strProxy (with strBypass)
    bool bAutoDetect = false;   // look for a script on the network (WPAD)
    std::wstring strProxy;
    std::wstring strBypass;
    std::wstring strScript;     // the configuration script's URL; empty for none
};
// Reads them (Windows); false when they cannot be read.
bool ReadUserProxySettings(UserProxySettings& settings);

// A cancel check: true once the caller has given up (a cancelled download,
// an aborted request). fnCancelled looks at pContext; none: never.
struct ProxyCancel {
    bool (*fnCancelled)(const void* context) = nullptr;
    const void* pContext = nullptr;
    bool operator()() const { return fnCancelled != nullptr && fnCancelled(pContext); }
};
// Checks for a bool flag (the engine's cancel flag) and a std::atomic<bool>
// (a request's bAborted), read atomically; no flag: never cancelled.
bool ProxyCancelFlag(const void* flag);
bool ProxyCancelAtomic(const void* flag);

// The longest a configuration script may take for one URL, fetched and run.
constexpr unsigned kProxyScriptLimitMs = 10000;
// How long a script that could not be resolved is left alone.
constexpr unsigned kProxyScriptRestMs = 60000;

// Settles the proxy for url's server now (the engine: once per download)
// and keeps it, unless cancelled said true meanwhile. Logs the choice.
ProxyChoice SettleProxy(const std::wstring& url, const ProxyCancel& cancelled = ProxyCancel());
// The kept choice for url's server; settles it when there is none yet.
ProxyChoice ProxyFor(const std::wstring& url, const ProxyCancel& cancelled = ProxyCancel());

// The proxy ("host:port") a request to host goes through under choice, for
// a secure (https) or plain (http) request: the list's entry for that
// scheme, else its first entry without a scheme; an entry without a port
// has port 80. Empty when the request goes direct: no proxy, no entry for
// the scheme, or host on the bypass list. Only this proxy may be signed in to.
std::wstring ProxyServerFor(const ProxyChoice& choice, const std::wstring& host, bool secure);
// Whether host is on the bypass list (entries separated by ";", "," or
// blanks; "*" stands for any text; "<local>" for a name without a dot; an
// entry's "http://" or "https://" is ignored; letter case is not).
bool ProxyBypassed(const std::wstring& host, const std::wstring& bypass);
// The server part of url with its scheme, in lower case ("https://host:1"),
// the key the choices are kept under; empty when url is not http or https.
std::wstring ProxyKeyOf(const std::wstring& url);

// Asks the user's settings (Windows; direct elsewhere).
ProxyChoice ResolveProxy(const std::wstring& url, const ProxyCancel& cancelled);

// How one evaluation of a script ended.
enum ProxyScriptOutcome { kScript_Answered, kScript_Failed, kScript_TimedOut, kScript_Cancelled };
// What a script is asked: the proxy for strUrl, from the script at
// strScript and/or one found on the network (bDetect).
struct ProxyScriptQuestion {
    std::wstring strUrl;
    std::wstring strScript;
    bool bDetect = false;
};
// One blocking evaluation: fills the choice, or says false with the
// platform's error code.
using ProxyScriptCall = bool (*)(const ProxyScriptQuestion& question, ProxyChoice& choice, unsigned long& error);
// Runs evaluate on a thread of its own, with its own copy of the question,
// and waits for it at most limitMs, or until cancelled says true (looked at
// every 20 ms). An evaluation still running then is left to finish on its
// own: it writes only its own result and frees it. choice and error are set
// for kScript_Answered and kScript_Failed.
ProxyScriptOutcome EvaluateWithin(ProxyScriptCall evaluate, const ProxyScriptQuestion& question, unsigned limitMs,
                                  const ProxyCancel& cancelled, ProxyChoice& choice, unsigned long& error);
// The script (or detection) evaluated by the system, blocking (Windows;
// false elsewhere). Writes no log line: it may be left running.
bool EvaluateProxyScript(const ProxyScriptQuestion& question, ProxyChoice& choice, unsigned long& error);
