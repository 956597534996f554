// The proxy sign-in dialog: a skinned window, modal over the main window,
// that asks for a user name and password for one proxy. It shows the proxy's
// host and realm, says so when an earlier sign-in was refused, and takes
// Enter as OK and Escape as Cancel. Its layout is proxy.xml, from the skin
// the main window loaded, mirrored here in a right-to-left language; its
// texts come from the language manager (kSkinTexts).
//
// Thread: the UI thread only. What was typed goes straight to Ask's caller;
// the password field is wiped before the dialog's window goes.
//
// Classes in this file: CProxySignInWnd.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <string>

#include "logging/SecretText.h"
#include "skinui/WindowImplBase.h"

class LanguageManager;

class CProxySignInWnd : public SkinUI::WindowImplBase {
public:
    // attempt: 1 for the first question, 2 and 3 after a refused sign-in.
    // The strings must outlive the dialog.
    CProxySignInWnd(const LanguageManager& lang, const std::wstring& proxyHost, const std::wstring& realm,
                    int attempt);
    // Out of line: one definition of the destructor and its thunks for the
    // link-time optimiser.
    ~CProxySignInWnd() override;

    // Shows the dialog over owner, which is disabled meanwhile, until the
    // user answers or the owner goes. True for OK, with the fields' texts
    // (user and password are left alone otherwise).
    bool Ask(HWND owner, std::wstring& user, CSecretText& password);

    LPCWSTR WindowClassName() const override { return L"SkinProxySignIn"; }
    std::wstring SkinFolder() override { return std::wstring(); }
    std::wstring SkinFileName() override { return L"proxy.xml"; }
    void PrepareWindow() override;
    void HandleClick(SkinUI::NotifyMsg& msg) override;
    // Escape cancels; Enter is OK unless a button has the focus (it presses
    // that button).
    bool OnDefaultKey(WPARAM key) override;
    // WM_DESTROY: the password field is wiped while it still exists.
    LRESULT HandleDestroyMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    // Takes the fields' texts for OK, then closes.
    void Answer(bool ok);

    // The question, owned by the caller for the dialog's life.
    const LanguageManager& lang;
    const std::wstring& strHost;
    const std::wstring& strRealm;
    int nAttempt;
    // Where OK puts the fields' texts (set by Ask).
    std::wstring* pUser = nullptr;
    CSecretText* pPassword = nullptr;
};
#endif
