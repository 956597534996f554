#include "net/ProxySignIn.h"

#include "logging/Log.h"
#include "logging/TextEncoding.h"

#include <mutex>

namespace {

constexpr int kMaxQuestions = 3;

// The run's credentials; the static instance wipes them at exit.
struct CredentialStore {
    std::mutex lock;
    ProxyCredentialPrompt prompt;
    std::wstring user;
    CSecretText password;   // wiped at exit with the store
    int generation = 0;
    int questions = 0;
    bool refused = false;
};

CredentialStore& Store()
{
    static CredentialStore store;
    return store;
}

} // namespace

void SetProxyCredentialPrompt(ProxyCredentialPrompt prompt)
{
    std::lock_guard<std::mutex> guard(Store().lock);
    Store().prompt = std::move(prompt);
}

int GetProxyCredentials(std::wstring& user, CSecretText& password)
{
    CredentialStore& store = Store();
    std::lock_guard<std::mutex> guard(store.lock);
    user = store.user;
    password = store.password;
    return store.generation;
}

bool RenewProxyCredentials(const std::wstring& proxyHost, const std::wstring& realm, int sent)
{
    CredentialStore& store = Store();
    // Held while the user answers: the other workers wait for that answer
    // instead of asking again.
    std::lock_guard<std::mutex> guard(store.lock);
    if (store.generation > sent)
        return true;
    if (store.refused)
        return false;
    if (!store.prompt || store.questions >= kMaxQuestions) {
        LOG_INFO_W(L"ERR:proxy %ls: sign-in %ls", proxyHost.c_str(),
                   store.prompt ? L"refused 3 times" : L"not askable");
        store.refused = true;
        return false;
    }
    ++store.questions;
    std::wstring user;
    CSecretText password;
    if (!store.prompt(proxyHost, realm, store.questions, user, password)) {
        LOG_INFO_W(L"ERR:proxy %ls: sign-in cancelled", proxyHost.c_str());
        store.refused = true;
        return false;
    }
    LOG_INFO_W(L"proxy %ls: sign-in %d given", proxyHost.c_str(), store.questions);
    store.user = user;
    store.password = std::move(password);
    ++store.generation;
    return true;
}

bool ProxySignInRefused()
{
    std::lock_guard<std::mutex> guard(Store().lock);
    return Store().refused;
}

void BeginProxySignIn()
{
    std::lock_guard<std::mutex> guard(Store().lock);
    Store().refused = false;
    Store().questions = 0;
}

void ClearProxyCredentials()
{
    CredentialStore& store = Store();
    std::lock_guard<std::mutex> guard(store.lock);
    WipeText(store.user);
    store.password.Wipe();
    store.generation = 0;
}

std::wstring ProxyRealmOf(const std::string& challenge)
{
    size_t at = challenge.find("realm=\"");
    if (at == std::string::npos)
        return std::wstring();
    at += 7;
    return Utf8ToWide(challenge.substr(at, challenge.find('"', at) - at));
}
