// Proxy sign-in for the whole run. When a proxy answers 407 and the
// platform's automatic sign-in (the user's own Windows credentials) does not
// satisfy it, the engine asks the prompt the application installed for a
// user name and password, and then uses them for every request of the run,
// on both back-ends. They live in memory only and are cleared at exit.
//
// The prompt runs on a download worker thread and blocks it until the user
// has answered; the application shows its own dialog on its UI thread. No
// prompt installed (the unattended run) means nobody can be asked: the
// download ends with kDownloadProxySignIn (HttpDownload.h).
#pragma once

#include <functional>
#include <string>

// proxyHost: the proxy's host name as the user knows it ("proxy.example:3128");
// realm: what the proxy calls itself in its 407, empty when it names nothing;
// attempt: 1 for the first question, 2 and 3 after a refused sign-in.
// True with user and password filled; false when the user cancelled.
using ProxyCredentialPrompt = std::function<bool(const std::wstring& proxyHost, const std::wstring& realm,
                                                 int attempt, std::wstring& user, std::wstring& password)>;

// Installs the prompt for the run (null: nobody can be asked).
void SetProxyCredentialPrompt(ProxyCredentialPrompt prompt);
