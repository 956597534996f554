// The window host and window base driven through the real window: default
// keys, hit testing, timers, notifications (sync and coalesced async),
// window regions, focus and clicks reaching the controls.
#include <gtest/gtest.h>

#include <windows.h>

#include "SkinTestWindow.h"
#include "skinui/ButtonUI.h"
#include "skinui/ContainerUI.h"

#include <algorithm>

using namespace SkinUI;
using skintest::CTestSkinWindow;

namespace {

class WindowHostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        skintest::UseFixtureSkin(false);
        ASSERT_NE(window.Open(), nullptr);
        host = &window.Host();
    }
    void TearDown() override
    {
        if (window.GetHWND() != nullptr)
            DestroyWindow(window.GetHWND());
        CTestSkinWindow::Pump();
        CSkinSource::ResetSkinSource();
    }
    CControlUI* Find(const wchar_t* name) { return host->LookupControl(std::wstring(name)); }
    LRESULT HitTest(int x, int y)
    {
        POINT pt = {x, y};
        ClientToScreen(window.GetHWND(), &pt);
        return SendMessageW(window.GetHWND(), WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
    }
    bool PreTranslateKey(WPARAM key)
    {
        MSG msg = {};
        msg.hwnd = window.GetHWND();
        msg.message = WM_KEYDOWN;
        msg.wParam = key;
        return CWindowHostUI::TranslateMessage(&msg);
    }

    CTestSkinWindow window;
    CWindowHostUI* host = nullptr;
};

} // namespace

TEST_F(WindowHostTest, FirstLayoutSendsWindowInitOnceWithTheRoot)
{
    auto init = window.OfType(L"windowinit");
    ASSERT_EQ(init.size(), 1u);
    EXPECT_EQ(init[0].sender, L"root");
    InvalidateRect(window.GetHWND(), nullptr, FALSE);
    UpdateWindow(window.GetHWND());
    EXPECT_EQ(window.OfType(L"windowinit").size(), 1u);
    const RECT& logo = Find(L"logo")->GetPos();
    EXPECT_EQ(logo.left, 200);
    EXPECT_EQ(logo.right, 400);
    EXPECT_EQ(logo.top, 0);
    EXPECT_EQ(logo.bottom, 100);
}

TEST_F(WindowHostTest, EscapeClosesWithOneReturnDoesNothing)
{
    EXPECT_FALSE(PreTranslateKey(VK_RETURN));
    CTestSkinWindow::Pump();
    EXPECT_TRUE(window.closeRequests.empty());
    EXPECT_TRUE(PreTranslateKey(VK_ESCAPE));
    CTestSkinWindow::Pump();
    ASSERT_EQ(window.closeRequests.size(), 1u);
    EXPECT_EQ(window.closeRequests[0], 1u);
}

TEST_F(WindowHostTest, HitTestsFromCaptionBandAndResizeBorders)
{
    struct Row {
        int x, y;
        LRESULT expected;
        const char* what;
    };
    const Row rows[] = {
        {300, 50, HTCAPTION, "plain control (logo) in the caption band"},
        {100, 50, HTCAPTION, "label inside the included layout"},
        {450, 15, HTCLIENT, "button in the caption band"},
        {575, 50, HTCLIENT, "text in the caption band"},
        {300, 200, HTCAPTION, "plain control above 290"},
        {300, 300, HTCLIENT, "below the caption band"},
        {1, 100, HTLEFT, "left border"},
        {648, 100, HTRIGHT, "right border"},
        {300, 1, HTTOP, "top border"},
        {300, 358, HTBOTTOM, "bottom border"},
        {1, 1, HTTOPLEFT, "top left corner"},
        {648, 1, HTTOPRIGHT, "top right corner"},
        {1, 358, HTBOTTOMLEFT, "bottom left corner"},
        {648, 358, HTBOTTOMRIGHT, "bottom right corner"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(HitTest(row.x, row.y), row.expected) << row.what << " at " << row.x << "," << row.y;
}

TEST_F(WindowHostTest, TimerIdsAndRestartAfterKill)
{
    CControlUI* logo = Find(L"logo");
    CControlUI* bottom = Find(L"bottom");
    ASSERT_TRUE(host->SetTimer(logo, 5, 20));
    EXPECT_EQ(host->NativeTimerId(logo, 5), 17u);
    EXPECT_FALSE(host->SetTimer(logo, 5, 20));
    ASSERT_TRUE(host->SetTimer(bottom, 5, 1000));
    EXPECT_EQ(host->NativeTimerId(bottom, 5), 18u);

    CTestSkinWindow::Pump(150);
    auto fired = window.OfType(L"timer");
    ASSERT_FALSE(fired.empty());
    EXPECT_EQ(fired[0].sender, L"logo");
    EXPECT_EQ(fired[0].wParam, 5u);

    EXPECT_TRUE(host->KillTimer(logo, 5));
    EXPECT_FALSE(host->KillTimer(logo, 5));
    CTestSkinWindow::Pump(10);
    window.seen.clear();
    CTestSkinWindow::Pump(100);
    EXPECT_TRUE(window.OfType(L"timer").empty());

    ASSERT_TRUE(host->SetTimer(logo, 5, 20));
    EXPECT_EQ(host->NativeTimerId(logo, 5), 17u);
    CTestSkinWindow::Pump(150);
    EXPECT_FALSE(window.OfType(L"timer").empty());

    host->KillTimers(logo);
    EXPECT_EQ(host->NativeTimerId(logo, 5), 0u);
    ASSERT_TRUE(host->SetTimer(logo, 6, 1000));
    EXPECT_EQ(host->NativeTimerId(logo, 6), 19u);
    host->KillAllTimers();
    EXPECT_EQ(host->NativeTimerId(bottom, 5), 0u);
}

TEST_F(WindowHostTest, WrappedTimerCounterNeverReusesALiveNativeId)
{
    CControlUI* logo = Find(L"logo");
    std::vector<UINT> ids;
    for (UINT id = 1; id <= 254; ++id) {
        ASSERT_TRUE(host->SetTimer(logo, id, 100000)) << id;
        ids.push_back(host->NativeTimerId(logo, id));
    }
    std::vector<UINT> sorted = ids;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end()) << "a native id was given twice";
    EXPECT_EQ(sorted.front(), 1u);
    EXPECT_EQ(sorted.back(), 254u);
    EXPECT_FALSE(host->SetTimer(logo, 255, 100000)) << "every native id is taken";
    host->KillTimers(logo);
    ASSERT_TRUE(host->SetTimer(logo, 255, 100000));
    EXPECT_NE(host->NativeTimerId(logo, 255), 0u);
    host->KillAllTimers();
}

TEST_F(WindowHostTest, AsyncNotificationsCoalesceUnlessSwitchedOff)
{
    CControlUI* logo = Find(L"logo");
    CControlUI* bottom = Find(L"bottom");
    window.seen.clear();
    host->EmitNotify(logo, L"custom", 1, 10, true, false);
    host->EmitNotify(bottom, L"custom", 7, 70, true, false);
    host->EmitNotify(logo, L"custom", 2, 20, true, false);
    EXPECT_TRUE(window.OfType(L"custom").empty());   // nothing before the message loop
    CTestSkinWindow::Pump();
    auto custom = window.OfType(L"custom");
    ASSERT_EQ(custom.size(), 2u);
    EXPECT_EQ(custom[0].sender, L"logo");
    EXPECT_EQ(custom[0].wParam, 2u);
    EXPECT_EQ(custom[0].lParam, 20);
    EXPECT_EQ(custom[1].sender, L"bottom");

    window.seen.clear();
    host->EmitNotify(logo, L"custom", 1, 10, true, true);
    host->EmitNotify(logo, L"custom", 2, 20, true, true);
    CTestSkinWindow::Pump();
    custom = window.OfType(L"custom");
    ASSERT_EQ(custom.size(), 2u);
    EXPECT_EQ(custom[0].wParam, 1u);
    EXPECT_EQ(custom[1].wParam, 2u);

    // Synchronous ones arrive at once.
    window.seen.clear();
    host->EmitNotify(logo, L"custom", 3, 0, false, false);
    EXPECT_EQ(window.OfType(L"custom").size(), 1u);
}

TEST_F(WindowHostTest, QueuedNotificationOfAForgottenControlLosesItsSender)
{
    CControlUI* logo = Find(L"logo");
    window.seen.clear();
    host->EmitNotify(logo, L"custom", 1, 0, true, false);
    host->ForgetControl(logo);
    EXPECT_EQ(Find(L"logo"), nullptr);
    CTestSkinWindow::Pump();
    auto custom = window.OfType(L"custom");
    ASSERT_EQ(custom.size(), 1u);
    EXPECT_EQ(custom[0].sender, L"");
}

TEST_F(WindowHostTest, RoundCornerRegion)
{
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetWindowRgn(window.GetHWND(), region), ERROR) << "0,0 round corners must leave no region";
    host->ApplyWindowAttribute(L"roundcorner", L"10,10");
    SendMessageW(window.GetHWND(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(650, 360));
    int kind = GetWindowRgn(window.GetHWND(), region);
    EXPECT_TRUE(kind == COMPLEXREGION || kind == SIMPLEREGION) << kind;
    RECT box;
    GetRgnBox(region, &box);
    EXPECT_EQ(box.right, 650);
    EXPECT_EQ(box.bottom, 360);
    DeleteObject(region);
}

TEST_F(WindowHostTest, ClicksReachButtonsThroughTheRealHost)
{
    host->SetFocus(Find(L"b_own"), false);
    window.seen.clear();
    HWND hwnd = window.GetHWND();
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(450, 15));
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(450, 15));
    EXPECT_EQ(host->GetFocus(), Find(L"b"));
    SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(450, 15));
    CTestSkinWindow::Pump();
    auto clicks = window.OfType(L"click");
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].sender, L"b");
    auto focus = window.OfType(L"setfocus");
    ASSERT_FALSE(focus.empty());
    EXPECT_EQ(focus.back().sender, L"b");

    // Released outside the button: no click.
    window.seen.clear();
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(450, 15));
    SendMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(300, 200));
    SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(300, 200));
    CTestSkinWindow::Pump();
    EXPECT_TRUE(window.OfType(L"click").empty());
}

TEST_F(WindowHostTest, FocusRulesAndTabStops)
{
    CControlUI* b = Find(L"b");
    CControlUI* own = Find(L"b_own");
    host->SetFocus(b, false);
    EXPECT_EQ(host->GetFocus(), b);
    window.seen.clear();
    host->SetFocus(b, false);
    EXPECT_TRUE(window.seen.empty()) << "focusing the focused control again does nothing";

    own->SetEnabled(false);
    host->SetFocus(own, false);
    EXPECT_EQ(host->GetFocus(), b);
    own->SetEnabled(true);

    host->SetFocus(own, false);
    auto kill = window.OfType(L"killfocus");
    ASSERT_EQ(kill.size(), 1u);
    EXPECT_EQ(kill[0].sender, L"b");

    // Tab goes through the pre-translation to the next tab stop, wrapping.
    MSG msg = {};
    msg.hwnd = window.GetHWND();
    msg.message = WM_KEYDOWN;
    msg.wParam = VK_TAB;
    EXPECT_TRUE(CWindowHostUI::TranslateMessage(&msg));
    EXPECT_EQ(host->GetFocus(), b);
}

TEST_F(WindowHostTest, ReplacingTheRootDropsQueuedNotifications)
{
    window.seen.clear();
    host->EmitNotify(Find(L"logo"), L"custom", 1, 0, true, false);
    CSkinBuilder builder;
    CControlUI* root = builder.Create(CSkinBuilder::Source(L"<Window><Control name=\"fresh\"/></Window>"));
    ASSERT_NE(root, nullptr);
    host->AttachRootControl(root);
    EXPECT_EQ(Find(L"logo"), nullptr);
    EXPECT_EQ(Find(L"fresh"), root);
    CTestSkinWindow::Pump();
    EXPECT_TRUE(window.OfType(L"custom").empty());
    UpdateWindow(window.GetHWND());
    auto init = window.OfType(L"windowinit");
    ASSERT_EQ(init.size(), 1u);
    EXPECT_EQ(init[0].sender, L"fresh");
}

TEST_F(WindowHostTest, SystemCloseBecomesCloseMessage)
{
    SendMessageW(window.GetHWND(), WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_EQ(window.closeRequests.size(), 1u);
    EXPECT_EQ(window.closeRequests[0], 0u);
}

namespace {
const wchar_t kControlsLayout[] =
    L"<Window size=\"650,360\"><VerticalLayout name=\"root\">"
    L"<HorizontalLayout height=\"40\">"
    L"<Option name=\"opt_a\" group=\"g\" selected=\"true\" width=\"100\"/>"
    L"<Option name=\"opt_b\" group=\"g\" width=\"100\"/>"
    L"<CheckBox name=\"chk\" width=\"100\"/>"
    L"<Edit name=\"edit\" width=\"200\" text=\"abc\"/>"
    L"</HorizontalLayout><Control name=\"filler\"/></VerticalLayout></Window>";

void ClickAt(HWND hwnd, int x, int y)
{
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    CTestSkinWindow::Pump();
}
} // namespace

// The controls of the control layer, driven by window messages through the
// real host instead of the test host.
TEST(WindowHostControlsTest, OptionsCheckBoxAndEditThroughWindowMessages)
{
    CSkinSource::ResetSkinSource();
    CTestSkinWindow window(kControlsLayout);
    HWND hwnd = window.Open();
    ASSERT_NE(hwnd, nullptr);
    CWindowHostUI& host = window.Host();
    auto* a = dynamic_cast<COptionUI*>(host.LookupControl(std::wstring(L"opt_a")));
    auto* b = dynamic_cast<COptionUI*>(host.LookupControl(std::wstring(L"opt_b")));
    auto* chk = dynamic_cast<CCheckBoxUI*>(host.LookupControl(std::wstring(L"chk")));
    ASSERT_TRUE(a != nullptr && b != nullptr && chk != nullptr);
    EXPECT_TRUE(a->IsSelected());
    EXPECT_EQ(host.GetOptionGroup(L"g").size(), 2u);

    window.seen.clear();
    ClickAt(hwnd, 150, 20);
    EXPECT_TRUE(b->IsSelected());
    EXPECT_FALSE(a->IsSelected());
    std::vector<std::wstring> changed;
    for (const auto& n : window.OfType(L"selectchanged"))
        changed.push_back(n.sender);
    EXPECT_NE(std::find(changed.begin(), changed.end(), L"opt_b"), changed.end());
    ASSERT_EQ(window.OfType(L"click").size(), 1u);
    EXPECT_EQ(window.OfType(L"click")[0].sender, L"opt_b");

    window.seen.clear();
    ClickAt(hwnd, 250, 20);
    EXPECT_TRUE(chk->IsSelected());
    ClickAt(hwnd, 250, 20);
    EXPECT_FALSE(chk->IsSelected());
    EXPECT_EQ(window.OfType(L"selectchanged").size(), 2u);
    EXPECT_TRUE(b->IsSelected()) << "the check box is not in the option group";

    // The edit box opens its native window on a click; its change
    // notification comes back to the host as WM_COMMAND and is reflected.
    window.seen.clear();
    ClickAt(hwnd, 400, 20);
    CControlUI* edit = host.LookupControl(std::wstring(L"edit"));
    EXPECT_EQ(host.GetFocus(), edit);
    HWND native = GetFocus();
    ASSERT_NE(native, nullptr);
    ASSERT_NE(native, hwnd) << "the edit box should hold the keyboard focus in its own window";
    SendMessageW(native, WM_CHAR, L'x', 0);
    CTestSkinWindow::Pump();
    auto text = window.OfType(L"textchanged");
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back().sender, L"edit");
    EXPECT_NE(edit->GetText().find(L'x'), std::wstring::npos) << "text: " << edit->GetText().size();
}

// The native window wrapper: the modal loop with an owner, centring on the
// owner, client-area sizing.
TEST(WindowWndTest, RunModalCentreAndResize)
{
    skintest::UseFixtureSkin(false);
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 100, 80, 900, 600, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    ::ShowWindow(owner, SW_SHOWNOACTIVATE);
    CTestSkinWindow window;
    HWND hwnd = window.Open(owner);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(GetWindow(hwnd, GW_OWNER), owner);

    window.CenterOnOwner();
    RECT rc;
    GetWindowRect(hwnd, &rc);
    EXPECT_EQ(rc.left, 100 + (900 - 650) / 2);
    EXPECT_EQ(rc.top, 80 + (600 - 360) / 2);

    window.ResizeClientArea(500, -1);
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 500);
    EXPECT_EQ(client.bottom, 360);

    // Close(7) reaches the loop as WM_CLOSE; the window goes away, the loop
    // returns 7 and the owner is enabled again.
    window.bSwallowClose = false;
    window.Close(7);
    UINT result = window.RunModal();
    EXPECT_EQ(result, 7u);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(window.GetHWND(), nullptr);
    EXPECT_EQ(window.nGone, 1);
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
    CSkinSource::ResetSkinSource();
}

namespace {
struct TipSearch {
    HWND owner;
    HWND found;
};
BOOL CALLBACK FindTip(HWND hwnd, LPARAM data)
{
    auto* search = reinterpret_cast<TipSearch*>(data);
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 63);
    if (_wcsicmp(cls, L"tooltips_class32") == 0 && GetWindow(hwnd, GW_OWNER) == search->owner)
        search->found = hwnd;
    return TRUE;
}
} // namespace

TEST_F(WindowHostTest, HoverEventsAndTooltip)
{
    CControlUI* logo = Find(L"logo");
    std::vector<int> events;
    logo->AddEventHandler([&events](ControlEvent& e) {
        if (e.Type == kEvent_MouseEnter || e.Type == kEvent_MouseLeave || e.Type == kEvent_MouseHover)
            events.push_back(e.Type);
        return true;
    });
    logo->SetToolTip(L"tip %{7}");
    HWND hwnd = window.GetHWND();
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(300, 50));
    SendMessageW(hwnd, WM_MOUSEHOVER, 0, MAKELPARAM(300, 50));
    TipSearch search = {hwnd, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), FindTip, reinterpret_cast<LPARAM>(&search));
    ASSERT_NE(search.found, nullptr) << "no tooltip window owned by the host window";
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(300, 200));
    EXPECT_EQ(events, (std::vector<int>{kEvent_MouseEnter, kEvent_MouseHover, kEvent_MouseLeave}));

    // The host's close handling destroys the tooltip window and leaves the
    // message to the window procedure.
    LRESULT result = 0;
    EXPECT_FALSE(host->FilterMessage(WM_CLOSE, 0, 0, result));
    EXPECT_FALSE(IsWindow(search.found));
    EXPECT_EQ(host->GetFocus(), nullptr);
}

TEST_F(WindowHostTest, OpacityAndPerPixelLayering)
{
    HWND hwnd = window.GetHWND();
    host->ApplyWindowAttribute(L"opacity", L"128");
    EXPECT_NE(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
    BYTE alpha = 0;
    DWORD flags = 0;
    if (GetLayeredWindowAttributes(hwnd, nullptr, &alpha, &flags)) {
        EXPECT_EQ(alpha, 128);
        EXPECT_NE(flags & LWA_ALPHA, 0u);
    }

    host->ApplyWindowAttribute(L"layeredopacity", L"200");
    EXPECT_EQ(host->GetLayeredOpacity(), 200);
    host->ApplyWindowAttribute(L"LayeredImage", L"x.png");   // exact case only: kept as custom
    EXPECT_FALSE(host->IsLayered());
    EXPECT_EQ(host->GetWindowCustomAttribute(L"LayeredImage"), L"x.png");
    host->ApplyWindowAttribute(L"layeredimage", L"file='none.png'");
    EXPECT_TRUE(host->IsLayered());
    CTestSkinWindow::Pump(60);   // the 10 ms repaint timer runs without harm
    host->SetLayered(false);
    EXPECT_FALSE(host->IsLayered());
    EXPECT_EQ(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
}
