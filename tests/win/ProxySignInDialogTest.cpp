// The proxy sign-in dialog with the built skin and package, driven with keys
// as a user drives it, over an owner window it keeps disabled.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "SkinTestWindow.h"
#include "app/ProxySignInDialog.h"
#include "common/TestSupport.h"
#include "config/LanguageManager.h"
#include "config/ResourcePackage.h"
#include "skinui/LabelUI.h"
#include "system/WinHandle.h"

namespace {

using namespace SkinUI;
using skintest::CTestSkinWindow;

// What the user does, one step per timer tick inside the dialog's modal loop.
struct UserRun;
using Step = std::function<void(UserRun&)>;
struct UserRun {
    CProxySignInWnd* pDialog = nullptr;
    HWND hOwner = nullptr;
    std::vector<Step> steps;
    size_t nNext = 0;
    std::vector<std::wstring> focus;   // the focused control before each step
    bool bOwnerEnabled = true;         // while the dialog showed
};
UserRun* pRun = nullptr;

void CALLBACK NextStep(HWND, UINT, UINT_PTR, DWORD)
{
    if (pRun == nullptr || pRun->nNext >= pRun->steps.size() || pRun->pDialog->GetHWND() == nullptr)
        return;
    CControlUI* focus = pRun->pDialog->Host().GetFocus();
    pRun->focus.push_back(focus != nullptr ? focus->GetName() : L"(none)");
    pRun->bOwnerEnabled = pRun->bOwnerEnabled && IsWindowEnabled(pRun->hOwner);
    pRun->steps[pRun->nNext++](*pRun);
}

// Keys go where the keyboard sends them: to the native edit window of the
// focused field, else to the dialog.
HWND KeyTarget(UserRun& run)
{
    CControlUI* focus = run.pDialog->Host().GetFocus();
    HWND native = focus != nullptr ? focus->GetNativeHandle() : nullptr;
    return native != nullptr ? native : run.pDialog->GetHWND();
}
Step Key(WPARAM key)
{
    return [key](UserRun& run) { PostMessageW(KeyTarget(run), WM_KEYDOWN, key, 0); };
}
Step Type(const wchar_t* text)
{
    return [text](UserRun& run) {
        for (const wchar_t* c = text; *c != 0; ++c)
            PostMessageW(KeyTarget(run), WM_CHAR, *c, 0);
    };
}

class ProxySignInDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const std::string zip = testsupport::ReadFileBytes(
            testsupport::HostPath(std::string(PW_BINARY_DIR) + "/tests/e2e/rtl_package.zip"));
        ASSERT_FALSE(zip.empty()) << "no rtl_package.zip in the build";
        strPackage = testsupport::MakeTempDir("proxy") + L"\\";
        ::ExtractArchiveToFolder(zip.data(), zip.size(), strPackage);
    }
    static void TearDownTestSuite() { testsupport::RemoveTree(strPackage.substr(0, strPackage.size() - 1)); }

    void SetUp() override
    {
        CSkinSource::ResetSkinSource();
        CSkinSource::SetSkinPath(testsupport::HostPath(std::string(PW_BINARY_DIR) + "/resources"));
        CSkinSource::SetSkinArchive(L"skin.zip", true);
        owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 100, 100, 650, 360, nullptr, nullptr, nullptr,
                                nullptr);
        ASSERT_NE(owner, nullptr);
        ShowWindow(owner, SW_SHOWNOACTIVATE);
    }
    void TearDown() override
    {
        if (IsWindow(owner))
            DestroyWindow(owner);
        CTestSkinWindow::Pump();
        CSkinSource::ResetSkinSource();
    }

    // Asks as the main window does, with the user's steps; the answer.
    bool Ask(const wchar_t* code, int attempt, std::vector<Step> steps, std::wstring& user, std::wstring& password)
    {
        LanguageSystemFacts facts;
        const std::wstring lcid = code;
        facts.uiLanguageCode = [lcid] { return lcid; };
        facts.isNativeX64 = [] { return false; };
        LanguageManager lang(facts);
        lang.Init(strPackage);
        const std::wstring proxy = L"proxy.test:3128", realm = L"Office proxy";
        CProxySignInWnd dialog(lang, proxy, realm, attempt);
        run = UserRun();
        run.pDialog = &dialog;
        run.hOwner = owner;
        run.steps = std::move(steps);
        pRun = &run;
        const UINT_PTR timer = SetTimer(nullptr, 0, 40, &NextStep);
        CSecretText secret;
        const bool ok = dialog.Ask(owner, user, secret);
        password = secret.Text();
        KillTimer(nullptr, timer);
        pRun = nullptr;
        EXPECT_EQ(run.steps.size(), run.nNext) << "the dialog closed before the user was done";
        return ok;
    }

    static std::wstring strPackage;
    HWND owner = nullptr;
    UserRun run;
};
std::wstring ProxySignInDialogTest::strPackage;

std::wstring TextOf(UserRun& run, const wchar_t* name)
{
    CControlUI* c = run.pDialog->Host().LookupControl(name);
    return c != nullptr && c->IsVisible() ? c->GetText() : L"(hidden)";
}

TEST_F(ProxySignInDialogTest, TypedSignInComesBackOnEnterWithTheOwnerDisabledMeanwhile)
{
    std::wstring user, password, host, again, caption;
    LONG passwordStyle = 0;
    const bool ok = Ask(L"1033", 1,
                        {Type(L"alice"), Key(VK_TAB), Type(L"s3cret"),
                         [&](UserRun& r) {
                             host = TextOf(r, L"proxy_host");
                             again = TextOf(r, L"proxy_again");
                             passwordStyle = GetWindowLongW(KeyTarget(r), GWL_STYLE);
                             wchar_t text[64] = {};
                             GetWindowTextW(r.pDialog->GetHWND(), text, 64);
                             caption = text;
                         },
                         Key(VK_RETURN)},
                        user, password);
    EXPECT_TRUE(ok);
    EXPECT_EQ(L"alice", user);
    EXPECT_EQ(L"s3cret", password);
    EXPECT_EQ(L"proxy.test:3128 \x00B7 Office proxy", host);
    EXPECT_EQ(L"(hidden)", again) << "the first question says nothing was refused";
    EXPECT_EQ(L"Sign in to the proxy server", caption);
    EXPECT_NE(0, passwordStyle & ES_PASSWORD) << "the password field shows its characters";
    EXPECT_EQ((std::vector<std::wstring>{L"proxy_user", L"proxy_user", L"proxy_password", L"proxy_password",
                                         L"proxy_password"}),
              run.focus);
    EXPECT_FALSE(run.bOwnerEnabled) << "the dialog is not modal";
    EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(ProxySignInDialogTest, EscapeAndEnterOnCancelCancelAndTabVisitsEveryStopInBothDirections)
{
    struct Case {
        const char* what;
        const wchar_t* code;
        std::vector<Step> steps;
        std::vector<std::wstring> focus;
    } cases[] = {
        {"Escape in the user field", L"1033", {Type(L"bob"), Key(VK_ESCAPE)}, {L"proxy_user", L"proxy_user"}},
        {"Tab round to Cancel, Enter", L"1033",
         {Key(VK_TAB), Key(VK_TAB), Key(VK_TAB), Key(VK_RETURN)},
         {L"proxy_user", L"proxy_password", L"proxy_ok", L"proxy_cancel"}},
        // Mirrored: OK stands right of Cancel and comes first.
        {"right to left, Tab round to Cancel, Enter", L"1025",
         {Key(VK_TAB), Key(VK_TAB), Key(VK_TAB), Key(VK_RETURN)},
         {L"proxy_user", L"proxy_password", L"proxy_ok", L"proxy_cancel"}},
    };
    for (Case& c : cases) {
        std::wstring user, password;
        EXPECT_FALSE(Ask(c.code, 1, c.steps, user, password)) << c.what;
        EXPECT_TRUE(user.empty() && password.empty()) << c.what;
        EXPECT_EQ(c.focus, run.focus) << c.what;
    }
}

TEST_F(ProxySignInDialogTest, LaterAttemptsSayTheSignInWasRefusedAndTheMirroredLayoutPutsOkRight)
{
    std::wstring again;
    LONG okLeft = 0, cancelLeft = 0;
    UINT labelStyle = 0, fieldStyle = 0;
    std::wstring user, password;
    EXPECT_TRUE(Ask(L"1025", 2,
                    {[&](UserRun& r) {
                         again = TextOf(r, L"proxy_again");
                         okLeft = r.pDialog->Host().LookupControl(L"proxy_ok")->GetPos().left;
                         cancelLeft = r.pDialog->Host().LookupControl(L"proxy_cancel")->GetPos().left;
                         labelStyle = static_cast<CLabelUI*>(r.pDialog->Host().LookupControl(L"proxy_user_label"))
                                          ->GetTextStyle();
                         fieldStyle =
                             static_cast<CLabelUI*>(r.pDialog->Host().LookupControl(L"proxy_user"))->GetTextStyle();
                     },
                     Type(L"u"), Key(VK_RETURN)},
                    user, password));
    EXPECT_EQ(L"Sign-in refused. Please try again.", again);
    EXPECT_GT(okLeft, cancelLeft);
    EXPECT_NE(0u, labelStyle & DT_RIGHT) << "a label of the mirrored dialog stands left";
    EXPECT_NE(0u, fieldStyle & DT_RIGHT) << "a field of the mirrored dialog writes from the left";
    EXPECT_EQ(L"u", user);
}

// The main window closing while the dialog shows takes the dialog with it.
TEST_F(ProxySignInDialogTest, OwnerGoingEndsTheQuestionWithoutAnAnswer)
{
    std::wstring user, password;
    EXPECT_FALSE(Ask(L"1033", 1, {Type(L"alice"), [](UserRun& r) { DestroyWindow(r.hOwner); }}, user, password));
    EXPECT_TRUE(user.empty());
}

} // namespace
