// The proxy sign-in dialog (see the header).
#ifdef _WIN32
#include "app/ProxySignInDialog.h"

#include "app/InstallFlow.h"
#include "config/LanguageManager.h"
#include "skinui/ContainerUI.h"
#include "skinui/EditUI.h"

using namespace SkinUI;

CProxySignInWnd::CProxySignInWnd(const LanguageManager& language, const std::wstring& proxyHost,
                                 const std::wstring& realm, int attempt)
    : lang(language), strHost(proxyHost), strRealm(realm), nAttempt(attempt)
{
}

CProxySignInWnd::~CProxySignInWnd() = default;

void CProxySignInWnd::PrepareWindow()
{
    for (size_t i = 0; i < kSkinTextCount; ++i) {
        if (CControlUI* c = host.LookupControl(kSkinTexts[i].control))
            c->SetText(lang.GetText(kSkinTexts[i].key));
    }
    // The realm is the proxy's own words: shown as it sent them.
    std::wstring line = strHost;
    if (!strRealm.empty())
        line.append(L" \x00B7 ").append(strRealm);
    if (CControlUI* c = host.LookupControl(L"proxy_host"))
        c->SetText(line);
    if (CControlUI* c = host.LookupControl(L"proxy_again"))
        c->SetVisible(nAttempt > 1);
    CControlUI* cancel = host.LookupControl(L"proxy_cancel");
    if (lang.IsRtl() && cancel != nullptr) {
        // Mirrored: Tab goes from the right, the texts and fields stand
        // right, and OK right of Cancel (the row was spacer, OK, Cancel).
        host.ApplyWindowAttribute(L"direction", L"rtl");
        host.GetRoot()->LookupControl(
            [](CControlUI* c, void*) -> CControlUI* {
                if (c->GetClass() == L"Label" || c->GetClass() == L"Edit")
                    c->SetAttribute(L"align", L"right");
                return nullptr;
            },
            nullptr, kFind_All);
        auto* row = static_cast<CContainerUI*>(cancel->GetParent());
        row->MoveChildTo(cancel, 0);
        row->MoveChildTo(host.LookupControl(L"proxy_ok"), 1);
    }
    SetWindowTextW(hWnd, lang.GetText(L"STR_PROXY").c_str());
}

bool CProxySignInWnd::Ask(HWND owner, std::wstring& user, CSecretText& password)
{
    if (Create(owner, L"", WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 0, 0, 0) == nullptr)
        return false;
    pUser = &user;
    pPassword = &password;
    CenterOnOwner();
    return RunModal() == IDOK;
}

void CProxySignInWnd::Answer(bool ok)
{
    if (ok) {
        if (CControlUI* c = host.LookupControl(L"proxy_user"))
            *pUser = c->GetText();
        if (CControlUI* c = host.LookupControl(L"proxy_password")) {
            std::wstring typed = c->GetText();
            pPassword->TakeFrom(typed);
        }
    }
    Close(ok ? IDOK : IDCANCEL);
}

void CProxySignInWnd::HandleClick(NotifyMsg& msg)
{
    if (msg.pSender == nullptr)
        return;
    if (msg.pSender->GetName() == L"proxy_ok")
        Answer(true);
    else if (msg.pSender->GetName() == L"proxy_cancel")
        Answer(false);
}

LRESULT CProxySignInWnd::HandleDestroyMessage(UINT, WPARAM, LPARAM, bool& handled)
{
    if (auto* field = dynamic_cast<CEditUI*>(host.LookupControl(L"proxy_password")))
        field->WipeText();
    handled = false;
    return 0;
}

bool CProxySignInWnd::OnDefaultKey(WPARAM key)
{
    CControlUI* focus = host.GetFocus();
    if (key == VK_RETURN && focus != nullptr && focus->GetClass() == L"Button")
        return false;
    Answer(key == VK_RETURN);
    return true;
}
#endif
