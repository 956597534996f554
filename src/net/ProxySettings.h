// The proxy a download goes through, from the user's own settings: a fixed
// proxy with its bypass list, automatic detection or an automatic
// configuration script. Settled once per download for its server and kept,
// so that every range and retry goes the same way.
//
// Classes in this file: ProxyChoice.
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

// Settles the proxy for url's server now (the engine: once per download)
// and keeps it. Logs the choice.
ProxyChoice SettleProxy(const std::wstring& url);
// The kept choice for url's server; settles it when there is none yet.
ProxyChoice ProxyFor(const std::wstring& url);
// The proxy's "host:port" as the user knows it: the list's entry for the
// scheme https, else the first entry without its "scheme=".
std::wstring ProxyDisplayName(const std::wstring& list);
// The server part of url with its scheme ("https://host:1"), the key the
// choices are kept under; empty when url has no scheme.
std::wstring ProxyKeyOf(const std::wstring& url);
// Asks the user's settings (Windows; direct elsewhere).
ProxyChoice ResolveProxy(const std::wstring& url);
