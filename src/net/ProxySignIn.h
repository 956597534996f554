// Proxy sign-in for the whole run. When a proxy answers 407 and the
// platform's automatic sign-in (the user's own Windows credentials) does not
// satisfy it, the engine asks the prompt the application installed for a
// user name and password, and then uses them for every request of the run,
// on both back-ends. They live in memory only and are cleared at exit.
//
// The password is a CSecretText on every way it takes (prompt, store,
// back-ends): its characters are overwritten before its memory goes.
//
// The prompt runs on a download worker thread and blocks it until the user
// has answered; the application shows its own dialog on its UI thread. It
// is called with the store's lock held (the other workers wait for its
// answer), so it must not call the functions below. No
// prompt installed (the unattended run) means nobody can be asked: the
// download ends with kDownloadProxySignIn (HttpDownload.h).
#pragma once

#include <functional>
#include <string>

#include "logging/SecretText.h"

// proxyHost: the proxy the request went through, "host:port" ("proxy.example:3128");
// realm: what the proxy calls itself in its 407, empty when it names nothing;
// attempt: 1 for the first question, 2 and 3 after a refused sign-in.
// True with user and password filled; false when the user cancelled.
using ProxyCredentialPrompt = std::function<bool(const std::wstring& proxyHost, const std::wstring& realm,
                                                 int attempt, std::wstring& user, CSecretText& password)>;

// Installs the prompt for the run (null: nobody can be asked).
void SetProxyCredentialPrompt(ProxyCredentialPrompt prompt);

// The back-ends' side. Credentials carry a generation (1, 2...; 0: none yet)
// so that a request knows whether what it sent is still the newest.
// Thread-safe; the prompt is asked by one worker at a time.

// The credentials held now; their generation, 0 (and both empty) when none.
int GetProxyCredentials(std::wstring& user, CSecretText& password);
// After a 407 to a request that sent generation `sent` (0: nothing): true
// when newer credentials are there to send, because another request already
// got them or the prompt gave them now; false when the sign-in is refused
// for this download (no prompt, cancelled, or three answers refused).
bool RenewProxyCredentials(const std::wstring& proxyHost, const std::wstring& realm, int sent);
// Whether RenewProxyCredentials said false since BeginProxySignIn.
bool ProxySignInRefused();
// A download or size probe starts: the refusal and the question count go,
// the credentials stay for the run.
void BeginProxySignIn();
// Wipes the credentials (the store also does at exit).
void ClearProxyCredentials();
// The quoted realm of a Proxy-Authenticate challenge ("Basic realm=\"Office\""
// gives "Office"); empty when it names none.
std::wstring ProxyRealmOf(const std::string& challenge);
