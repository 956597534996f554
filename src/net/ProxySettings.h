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
// the key the choices are kept under; empty when url names no server.
std::wstring ProxyKeyOf(const std::wstring& url);


// Asks the user's settings (Windows; direct elsewhere).
ProxyChoice ResolveProxy(const std::wstring& url);
