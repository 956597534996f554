// The window host and window base driven through the real window: default
// keys, hit testing, timers, notifications (sync and coalesced async),
// window regions, focus and clicks reaching the controls; messages that
// native child windows send to the host, the wheel, the cursor, Alt
// shortcuts, the window's icons, the tab order with its focus ring, and the
// accessible object readers get.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>

#include "HostTestWindow.h"
#include "SkinTestWindow.h"
#include "skinui/ButtonUI.h"
#include "skinui/ContainerUI.h"
#include "skinui/EditUI.h"
#include "skinui/LabelUI.h"
#include "system/WinHandle.h"

#include <algorithm>
#include <ostream>

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

TEST_F(WindowHostTest, DisplayScaleChangeTakesTheSuggestedRectangleAndScalesTheSkin)
{
    HWND hwnd = window.GetHWND();
    const int fontAt96 = host->FontHeight(1);
    auto dpiChanged = [&](int dpi, RECT suggested) {
        SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        UpdateWindow(hwnd);
        CTestSkinWindow::Pump();
    };
    auto expectRect = [](const RECT& rc, int l, int t, int r, int b, const char* what) {
        EXPECT_TRUE(rc.left == l && rc.top == t && rc.right == r && rc.bottom == b)
            << what << ": " << rc.left << "," << rc.top << "," << rc.right << "," << rc.bottom;
    };

    // 150 %: the window takes the system's rectangle; the skin's lengths,
    // the caption band, the resize borders and the fonts grow with it.
    dpiChanged(144, MakeRect(10, 20, 985, 560));
    RECT rc = {};
    GetWindowRect(hwnd, &rc);
    expectRect(rc, 10, 20, 985, 560, "window at 144 DPI");
    expectRect(Find(L"logo")->GetPos(), 300, 0, 600, 150, "logo at 144 DPI");
    expectRect(host->GetSizeBox(), 6, 6, 6, 6, "size box at 144 DPI");
    EXPECT_EQ(HitTest(450, 420), HTCAPTION) << "the caption band reaches 435";
    EXPECT_EQ(HitTest(972, 300), HTRIGHT);
    const int fontAt144 = host->FontHeight(1);
    EXPECT_TRUE(fontAt144 * 2 >= fontAt96 * 3 - 2 && fontAt144 * 2 <= fontAt96 * 3 + 2)
        << "font 1 is " << fontAt96 << " pixels high at 96 DPI, " << fontAt144 << " at 144";

    // Back to 100 %: everything as the skin wrote it.
    dpiChanged(96, MakeRect(0, 0, 650, 360));
    expectRect(Find(L"logo")->GetPos(), 200, 0, 400, 100, "logo back at 96 DPI");
    expectRect(host->GetSizeBox(), 4, 4, 4, 4, "size box back at 96 DPI");
    EXPECT_EQ(host->FontHeight(1), fontAt96);
    EXPECT_EQ(HitTest(300, 300), HTCLIENT);

    // The fonts, images and buffers of the old scale go: a second round
    // trip leaves no more GDI objects alive than the first.
    testsupport::CGdiObjectLog gdi;
    dpiChanged(144, MakeRect(10, 20, 985, 560));
    dpiChanged(96, MakeRect(0, 0, 650, 360));
    const size_t alive = gdi.Alive();
    dpiChanged(144, MakeRect(10, 20, 985, 560));
    dpiChanged(96, MakeRect(0, 0, 650, 360));
    EXPECT_EQ(gdi.Alive(), alive) << gdi.Created() << " made in two round trips";
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
    EXPECT_EQ(host->NativeTimerId(logo, 5), 0u) << "a killed timer is not running";
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

using hosttest::CHostWindow;

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
    // Shown, with the control's text (its language token expanded).
    EXPECT_TRUE(IsWindowVisible(search.found));
    const std::wstring expected = CSkinResources::ExpandLangTokens(L"tip %{7}");
    wchar_t shown[80] = {};
    TOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V1_SIZE;
    tool.hwnd = hwnd;
    tool.uId = reinterpret_cast<UINT_PTR>(hwnd);
    tool.lpszText = shown;
    SendMessageW(search.found, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&tool));
    EXPECT_EQ(std::wstring(shown), expected);

    // Another host's tooltip has its own text: this host's stays.
    {
        CHostWindow other(100, 50);
        auto* root = testhost::Make<CControlUI>(L"other_root", {{L"tooltip", L"other tip"}});
        other.Attach(root);
        other.Layout(100, 50);
        SendMessageW(other.GetHWND(), WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
        SendMessageW(other.GetHWND(), WM_MOUSEHOVER, 0, MAKELPARAM(10, 10));
        EXPECT_EQ(other.ui.ShownToolTipText(), L"other tip");
    }
    EXPECT_EQ(host->ShownToolTipText(), expected);
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(300, 200));
    EXPECT_EQ(events, (std::vector<int>{kEvent_MouseEnter, kEvent_MouseHover, kEvent_MouseLeave}));

    // The host's close handling destroys the tooltip window and leaves the
    // message to the window procedure.
    LRESULT result = 0;
    EXPECT_FALSE(host->FilterMessage(WM_CLOSE, 0, 0, result));
    EXPECT_FALSE(IsWindow(search.found));
    EXPECT_EQ(host->GetFocus(), nullptr);
}

// The mouse gone from a host to another window (a dialog on top) ends the
// hover once. Asking to track it again there takes the system's one
// tracking from the window under the cursor, whose leave asks again: leaves
// posted back and forth without end, and the thread's keyboard starves.
TEST_F(WindowHostTest, MouseGoneToAWindowOnTopLeavesOnceInsteadOfAStorm)
{
    HWND hwnd = window.GetHWND();
    CHostWindow top(120, 60);
    top.Attach(testhost::Make<CControlUI>(L"top_root"));
    top.Layout(120, 60);
    ShowWindow(top.GetHWND(), SW_SHOWNOACTIVATE);
    SetActiveWindow(top.GetHWND());
    RECT rc;
    GetWindowRect(top.GetHWND(), &rc);
    POINT before;
    GetCursorPos(&before);
    SetCursorPos(rc.left + 30, rc.top + 30);
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    SendMessageW(top.GetHWND(), WM_MOUSEMOVE, 0, MAKELPARAM(30, 30));
    int leaves = 0;
    const DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < 300 && leaves < 1000) {
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            leaves += msg.message == WM_MOUSELEAVE ? 1 : 0;
            DispatchMessageW(&msg);
        } else {
            Sleep(5);
        }
    }
    SetCursorPos(before.x, before.y);
    EXPECT_LE(leaves, 3) << "leave messages in 300 ms";
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

// ---- Messages of native child windows, wheel, cursor, shortcuts, icon -----

namespace {

using testhost::Make;

// A native child window (a superclass of the system "Static") that answers
// what the host reflects back to it: a red brush for its colour message, a
// fixed value for a notification, and records the command codes.
class CProbeChild : public CWindowWnd {
public:
    static constexpr LRESULT kNotifyAnswer = 1234;
    ~CProbeChild() override
    {
        if (hWnd != nullptr)
            DestroyWindow(hWnd);
        DeleteObject(hRed);
    }
    LPCWSTR WindowClassName() const override { return L"PwProbeStatic"; }
    LPCWSTR SuperclassName() const override { return L"Static"; }
    LRESULT ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_CTLCOLORSTATIC + 0x2000:
            colourFrom.push_back(reinterpret_cast<HWND>(lParam));
            SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 255));
            return reinterpret_cast<LRESULT>(hRed);
        case WM_NOTIFY + 0x2000:
            notified.push_back(reinterpret_cast<const NMHDR*>(lParam));
            return kNotifyAnswer;
        case WM_COMMAND + 0x2000:
            commands.push_back(HIWORD(wParam));
            return 0;
        default:
            return CWindowWnd::ProcessWindowMessage(message, wParam, lParam);
        }
    }
    HBRUSH hRed = CreateSolidBrush(RGB(255, 0, 0));
    std::vector<HWND> colourFrom;
    std::vector<const NMHDR*> notified;
    std::vector<WORD> commands;
};

// An event a control saw: its name, the event type and its wParam.
struct Seen {
    std::wstring name;
    int type;
    WPARAM wParam;
    bool operator==(const Seen& o) const { return name == o.name && type == o.type && wParam == o.wParam; }
};
std::ostream& operator<<(std::ostream& out, const Seen& s)
{
    return out << std::string(s.name.begin(), s.name.end()) << "/" << s.type << "/" << s.wParam;
}

// A window with a plain root over the whole client area.
struct MessageScene {
    CHostWindow win{300, 100};
    CContainerUI* root = Make<CContainerUI>(L"root");
    template <typename T>
    T* Put(T* control, const wchar_t* pos)
    {
        control->SetAttribute(L"float", L"true");
        control->SetAttribute(L"pos", pos);
        root->Add(control);
        return control;
    }
    void Show()
    {
        win.Attach(root);
        win.Layout(300, 100);
    }
    POINT Screen(int x, int y) const
    {
        POINT pt = {x, y};
        ClientToScreen(win.GetHWND(), &pt);
        return pt;
    }
};

} // namespace

TEST(WindowHostMessages, NativeChildGetsItsNotificationsAndColoursBack)
{
    MessageScene s;
    s.Show();
    CProbeChild probe;
    HWND child = probe.Create(s.win.GetHWND(), L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOTIFY, 0, 10, 10, 60, 20,
                              reinterpret_cast<HMENU>(7));
    ASSERT_NE(child, nullptr);
    HWND parent = s.win.GetHWND();

    // The static asks its parent for colours while it paints; the brush the
    // child itself answers is what it paints with.
    InvalidateRect(child, nullptr, TRUE);
    UpdateWindow(child);
    ASSERT_FALSE(probe.colourFrom.empty()) << "the colour message never came back to the child";
    EXPECT_EQ(child, probe.colourFrom.back());
    HDC dc = GetDC(child);
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(dc, 30, 10)) << "the child's own brush paints its background";
    ReleaseDC(child, dc);
    HDC other = CreateCompatibleDC(nullptr);
    EXPECT_EQ(reinterpret_cast<LRESULT>(probe.hRed),
              SendMessageW(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(other), reinterpret_cast<LPARAM>(child)));
    EXPECT_EQ(RGB(0, 0, 255), GetTextColor(other));
    DeleteDC(other);

    // A notification travels by its header's sender; its answer is the result.
    NMHDR header = {child, 7, static_cast<UINT>(NM_CLICK)};
    EXPECT_EQ(CProbeChild::kNotifyAnswer, SendMessageW(parent, WM_NOTIFY, 7, reinterpret_cast<LPARAM>(&header)));
    ASSERT_EQ(1u, probe.notified.size());
    EXPECT_EQ(&header, probe.notified[0]);
    NMHDR stray = {nullptr, 7, static_cast<UINT>(NM_CLICK)};
    EXPECT_EQ(0, SendMessageW(parent, WM_NOTIFY, 7, reinterpret_cast<LPARAM>(&stray)));
    EXPECT_EQ(1u, probe.notified.size()) << "a header without a sender window goes nowhere";
    CProbeChild stranger;   // a window of its own, not a child of the host
    HWND foreign = stranger.Create(nullptr, L"", WS_POPUP, 0, 0, 0, 10, 10);
    ASSERT_NE(foreign, nullptr);
    NMHDR fromForeign = {foreign, 7, static_cast<UINT>(NM_CLICK)};
    EXPECT_EQ(0, SendMessageW(parent, WM_NOTIFY, 7, reinterpret_cast<LPARAM>(&fromForeign)));
    EXPECT_TRUE(stranger.notified.empty()) << "only children get reflected messages";

    // A click on the static is announced to the parent as a command.
    SendMessageW(child, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(child, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    ASSERT_FALSE(probe.commands.empty());
    EXPECT_EQ(STN_CLICKED, probe.commands[0]);
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(40001, 0), 0);   // a menu command has no child to go to
    EXPECT_EQ(1u, probe.commands.size());
}

TEST(WindowHostMessages, WheelGoesToTheControlUnderThePointerNotTheFocus)
{
    MessageScene s;
    auto* left = s.Put(Make<CButtonUI>(L"left"), L"0,0,150,100");
    auto* right = s.Put(Make<CControlUI>(L"right"), L"150,0,300,100");
    std::vector<Seen> seen;
    for (CControlUI* c : {static_cast<CControlUI*>(left), right}) {
        c->AddEventHandler([&seen, c](ControlEvent& e) {
            if (e.Type == kEvent_ScrollWheel || e.Type == kEvent_MouseEnter || e.Type == kEvent_MouseLeave)
                seen.push_back({c->GetName(), e.Type, e.Type == kEvent_ScrollWheel ? e.wParam : 0});
            return true;
        });
    }
    s.Show();
    left->SetFocus();
    HWND hwnd = s.win.GetHWND();
    POINT overRight = s.Screen(200, 50), overLeft = s.Screen(20, 50);

    // Towards the user (negative delta) gives 1; the hover follows the wheel.
    SendMessageW(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)),
                 MAKELPARAM(overRight.x, overRight.y));
    EXPECT_EQ(seen, (std::vector<Seen>{{L"right", kEvent_ScrollWheel, 1}, {L"right", kEvent_MouseEnter, 0}}));
    seen.clear();
    SendMessageW(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(overLeft.x, overLeft.y));
    EXPECT_EQ(seen, (std::vector<Seen>{{L"left", kEvent_ScrollWheel, 0},
                                       {L"right", kEvent_MouseLeave, 0},
                                       {L"left", kEvent_MouseEnter, 0}}));
    EXPECT_EQ(left, s.win.ui.GetFocus());
}

TEST(WindowHostMessages, SetCursorLetsTheControlUnderThePointerChoose)
{
    MessageScene s;
    s.Put(Make<CButtonUI>(L"btn"), L"0,0,100,50");
    s.Put(Make<CEditUI>(L"edit"), L"100,0,200,50");
    s.Put(Make<CEditUI>(L"edit_off", {{L"enabled", L"false"}}), L"200,0,300,50");
    s.Put(Make<CControlUI>(L"plain"), L"0,50,300,100");
    s.Show();
    HWND hwnd = s.win.GetHWND();
    auto cursorAt = [&](int x, int y, WORD hit) {
        POINT pt = s.Screen(x, y);
        SetCursorPos(pt.x, pt.y);
        SendMessageW(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(hit, WM_MOUSEMOVE));
        return CHostWindow::Cursor();
    };
    struct Row {
        int x, y;
        WORD hit;
        CursorShape expected;
        const char* what;
    } rows[] = {
        {50, 25, HTCLIENT, kCursor_Hand, "button"},
        {150, 25, HTCLIENT, kCursor_IBeam, "edit"},
        {150, 75, HTCLIENT, kCursor_Arrow, "plain control"},
        {150, 25, HTCLIENT, kCursor_IBeam, "edit again"},
        {250, 25, HTCLIENT, kCursor_Arrow, "disabled edit"},
        {50, 25, HTCLIENT, kCursor_Hand, "button again"},
        {150, 25, HTCAPTION, kCursor_Arrow, "edit, but outside the client area"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.expected, cursorAt(row.x, row.y, row.hit)) << row.what;

    // While a control holds the capture nobody else chooses.
    s.win.ButtonDown(50, 25);
    EXPECT_EQ(kCursor_Arrow, cursorAt(150, 25, HTCLIENT));
    s.win.ButtonUp(50, 25);
    EXPECT_EQ(kCursor_IBeam, cursorAt(150, 25, HTCLIENT));
}

TEST(WindowHostMessages, AltShortcutFocusesAndActivatesAndALabelPassesItOn)
{
    MessageScene s;
    auto* stack = Make<CVerticalLayoutUI>(L"stack");
    s.root->Add(stack);
    stack->Add(Make<CButtonUI>(L"b_hidden", {{L"shortcut", L"s"}, {L"visible", L"false"}}));
    stack->Add(Make<CButtonUI>(L"b_off", {{L"shortcut", L"s"}, {L"enabled", L"false"}}));
    stack->Add(Make<CButtonUI>(L"b_save", {{L"shortcut", L"S"}, {L"height", L"15"}}));
    stack->Add(Make<CCheckBoxUI>(L"chk", {{L"shortcut", L"c"}, {L"height", L"15"}}));
    stack->Add(Make<CLabelUI>(L"lbl", {{L"shortcut", L"n"}, {L"text", L"Name"}, {L"height", L"15"}}));
    auto* row = Make<CHorizontalLayoutUI>(L"row", {{L"height", L"20"}});
    row->Add(Make<CEditUI>(L"edit"));
    stack->Add(row);
    stack->Add(Make<CButtonUI>(L"b_last", {{L"shortcut", L"x"}, {L"height", L"15"}}));
    s.Show();
    auto* chk = static_cast<CCheckBoxUI*>(s.win.ui.LookupControl(std::wstring(L"chk")));
    auto* edit = static_cast<CEditUI*>(s.win.ui.LookupControl(std::wstring(L"edit")));

    auto press = [&](HWND target, wchar_t key) {
        MSG msg = {};
        msg.hwnd = target;
        msg.message = WM_SYSCHAR;
        msg.wParam = key;
        return CWindowHostUI::TranslateMessage(&msg);
    };
    auto focusName = [&] { return s.win.ui.GetFocus() != nullptr ? s.win.ui.GetFocus()->GetName() : L""; };
    struct Row {
        wchar_t key;
        bool handled;
        const wchar_t* focus;
        std::vector<std::wstring> clicks;
    } rows[] = {
        {L's', true, L"b_save", {L"b_save"}},
        {L'C', true, L"chk", {L"chk"}},
        {L'n', true, L"edit", {}},
        {L'q', false, L"edit", {}},
    };
    for (const Row& r : rows) {
        s.win.notes.clear();
        EXPECT_EQ(r.handled, press(s.win.GetHWND(), r.key)) << static_cast<char>(r.key);
        EXPECT_EQ(r.focus, focusName()) << static_cast<char>(r.key);
        EXPECT_EQ(r.clicks, s.win.NotesOfType(L"click")) << static_cast<char>(r.key);
    }
    EXPECT_TRUE(chk->IsSelected()) << "the check box's shortcut toggles it";
    ASSERT_TRUE(edit->IsEditing()) << "the label handed its shortcut to the edit box";

    // Typed inside the edit box's native window, the key still reaches the host.
    s.win.notes.clear();
    EXPECT_TRUE(press(edit->GetNativeHandle(), L'X'));
    EXPECT_EQ(L"b_last", focusName());
    EXPECT_EQ(std::vector<std::wstring>{L"b_last"}, s.win.NotesOfType(L"click"));
}

TEST(WindowWndTest, SetIconGivesTheWindowBigAndSmallIcons)
{
    const std::wstring exePath = testsupport::HostPath(PW_SETUP_EXE);
    CScopedModule module(LoadLibraryExW(exePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module.Valid()) << "cannot load " << PW_SETUP_EXE;
    CSkinSource::SetResourceModule(module.Get());
    CHostWindow win;
    HWND hwnd = win.GetHWND();
    EXPECT_EQ(0, SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0));
    win.SetIcon(101);
    auto big = reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0));
    auto small = reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0));
    ASSERT_NE(nullptr, big);
    ASSERT_NE(nullptr, small);
    EXPECT_NE(big, small);
    auto widthOf = [](HICON icon) {
        ICONINFO info = {};
        if (!GetIconInfo(icon, &info))
            return -1;
        BITMAP bm = {};
        GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof(bm), &bm);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        return static_cast<int>(bm.bmWidth);
    };
    auto roundUp = [](int v) { return (v + 15) / 16 * 16; };
    EXPECT_EQ(roundUp(GetSystemMetrics(SM_CXICON)), widthOf(big));
    EXPECT_EQ(roundUp(GetSystemMetrics(SM_CXSMICON)), widthOf(small));

    // An icon that is not there changes nothing.
    win.SetIcon(999);
    EXPECT_EQ(big, reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0)));
    EXPECT_EQ(small, reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0)));

    // Replaced icons, and the last ones with the window, are destroyed.
    win.SetIcon(101);
    auto big2 = reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0));
    ASSERT_NE(nullptr, big2);
    EXPECT_EQ(-1, widthOf(big)) << "the first big icon should be gone";
    EXPECT_EQ(-1, widthOf(small)) << "the first small icon should be gone";
    EXPECT_GT(widthOf(big2), 0);
    DestroyWindow(hwnd);
    EXPECT_EQ(-1, widthOf(big2)) << "the window's icons go with it";
    CSkinSource::SetResourceModule(nullptr);
}

// ---- The control tree's life and the window's resources -----------------

namespace {
// A control that tells when it is deleted.
struct CDeletionProbe : CControlUI {
    explicit CDeletionProbe(bool& flag) : deleted(flag) {}
    ~CDeletionProbe() override { deleted = true; }
    bool& deleted;
};
} // namespace

TEST(WindowHostTree, RemovedControlIsDeletedAfterTheCurrentMessage)
{
    CHostWindow win(100, 50);
    auto* root = Make<CVerticalLayoutUI>(L"root");
    bool deleted = false;
    auto* child = new CDeletionProbe(deleted);
    child->SetName(L"gone");
    root->Add(child);
    win.Attach(root);
    win.Layout(100, 50);
    ASSERT_TRUE(win.ui.SetTimer(child, 1, 10000));
    ASSERT_TRUE(root->Remove(child));
    // Until the current message is done the control is still there...
    EXPECT_FALSE(deleted);
    EXPECT_EQ(win.ui.LookupControl(std::wstring(L"gone")), child);
    // ...then it is deleted and no longer found.
    hosttest::Pump();
    EXPECT_TRUE(deleted);
    EXPECT_EQ(win.ui.LookupControl(std::wstring(L"gone")), nullptr);
}

TEST(WindowHostTree, SendersOwnNotifyHandlersRunBeforeTheListeners)
{
    CHostWindow win(100, 50);
    auto* button = Make<CButtonUI>(L"btn");
    win.Attach(button);
    win.Layout(100, 50);
    std::vector<std::wstring> order;
    button->AddNotifyHandler([&](NotifyMsg& msg) {
        if (msg.sType == L"click" || msg.sType == L"later")
            order.push_back(msg.sType + L" handler, listener saw " + std::to_wstring(win.NotesOfType(msg.sType).size()));
    });
    win.Click(button);
    win.ui.EmitNotify(button, L"later", 0, 0, true);
    hosttest::Pump();
    EXPECT_EQ(order, (std::vector<std::wstring>{L"click handler, listener saw 0", L"later handler, listener saw 0"}));
    EXPECT_EQ(win.NotesOfType(L"click").size(), 1u);
    EXPECT_EQ(win.NotesOfType(L"later").size(), 1u);
}

TEST(WindowHostTree, PaintDeviceContextGoesWithTheWindow)
{
    CHostWindow win(100, 50);
    win.Attach(Make<CControlUI>(L"root"));
    win.Layout(100, 50);
    ASSERT_NE(win.ui.GetPaintDC(), nullptr);
    DestroyWindow(win.GetHWND());
    EXPECT_EQ(win.ui.GetPaintDC(), nullptr);
}

TEST(WindowHostTree, LayeredPaintAfterShrinkingStaysInsideTheBuffer)
{
    CHostWindow win(400, 400);
    auto* root = Make<CControlUI>(L"root", {{L"bkcolor", L"#FF00FF00"}});
    std::vector<RECT> painted;
    root->AddPaintHandler([&](CControlUI*, HDC, const RECT& rc) {
        painted.push_back(rc);
        return true;
    });
    win.Attach(root);
    win.Layout(400, 400);
    // Switched to per-pixel layering, the whole 400 x 400 is dirty; the
    // window shrinks before that area is painted.
    win.ui.SetLayered(true);
    ASSERT_TRUE(win.ui.IsLayered());
    SetWindowPos(win.GetHWND(), nullptr, 0, 0, 100, 10, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    painted.clear();
    SendMessageW(win.GetHWND(), WM_PAINT, 0, 0);
    ASSERT_FALSE(painted.empty());
    for (const RECT& rc : painted)
        EXPECT_TRUE(rc.left >= 0 && rc.top >= 0 && rc.right <= 100 && rc.bottom <= 10)
            << rc.left << "," << rc.top << "," << rc.right << "," << rc.bottom;
}

namespace {

void PressTab(HWND hwnd)
{
    MSG msg = {};
    msg.hwnd = hwnd;
    msg.message = WM_KEYDOWN;
    msg.wParam = VK_TAB;
    CWindowHostUI::TranslateMessage(&msg);
}

} // namespace

TEST(WindowHostMessages, TabFollowsTheScreenFromTheDefaultControlAndTheRingOnlyAfterKeys)
{
    for (bool rtl : {false, true}) {
        // Tree order is not screen order: the lower button comes first.
        MessageScene s;
        s.Put(Make<CButtonUI>(L"below", {{L"defaultfocus", L"true"}}), L"100,60,200,90");
        s.Put(Make<CButtonUI>(L"right"), L"200,10,290,40");
        CControlUI* left = s.Put(Make<CButtonUI>(L"left"), L"10,10,100,40");
        s.Put(Make<CButtonUI>(L"skipped", {{L"tabstop", L"false"}}), L"110,10,190,40");
        s.win.ui.ApplyWindowAttribute(L"focusringcolor", L"#FFFF0000");
        if (rtl)
            s.win.ui.ApplyWindowAttribute(L"direction", L"rtl");
        s.Show();
        s.win.ui.SetFocus(left, false);
        s.win.Paint();
        EXPECT_EQ(0, s.win.CountInRect(MakeRect(0, 0, 300, 100), 0xFF0000)) << "a ring before any key";

        s.win.ui.SetFocus(nullptr, false);
        std::vector<std::wstring> visited;
        for (int i = 0; i < 4; ++i) {
            PressTab(s.win.GetHWND());
            visited.push_back(s.win.ui.GetFocus() != nullptr ? s.win.ui.GetFocus()->GetName() : L"none");
        }
        const std::vector<std::wstring> expected =
            rtl ? std::vector<std::wstring>{L"below", L"right", L"left", L"below"}
                : std::vector<std::wstring>{L"below", L"left", L"right", L"below"};
        EXPECT_EQ(expected, visited) << (rtl ? "right to left" : "left to right");

        // Two pixels wide, one clear of the button, with round corners: the
        // 2 x (106 + 36) x 2 = 568 pixels of a square ring, 4 fewer at each
        // corner.
        s.win.Paint();
        EXPECT_EQ(552, s.win.CountInRect(MakeRect(95, 55, 205, 95), 0xFF0000));
        EXPECT_EQ(0, s.win.CountInRect(MakeRect(100, 60, 200, 90), 0xFF0000)) << "the ring covers the button";
        s.win.ButtonDown(50, 25);
        s.win.ButtonUp(50, 25);
        s.win.Paint();
        EXPECT_EQ(0, s.win.CountInRect(MakeRect(0, 0, 300, 100), 0xFF0000)) << "a ring after a mouse press";
    }
}

TEST(WindowHostMessages, TheClientAreaAnswersReadersUntilItsWindowGoes)
{
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    {
        MessageScene s;
        s.Put(Make<CButtonUI>(L"install", {{L"text", L"Install"}}), L"10,10,110,40");
        s.Put(Make<CControlUI>(L"plain"), L"120,10,200,40");   // a picture without a name: not listed
        auto* box = s.Put(Make<CCheckBoxUI>(L"box", {{L"accname", L"Agree"}, {L"selected", L"true"}}),
                          L"210,10,240,40");
        s.Show();
        HWND hwnd = s.win.GetHWND();
        IAccessible* acc = nullptr;
        ASSERT_EQ(S_OK, AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                                   reinterpret_cast<void**>(&acc)));
        VARIANT one, two;
        VariantInit(&one);
        one.vt = VT_I4;
        one.lVal = 1;
        two = one;
        two.lVal = 2;
        long count = 0;
        EXPECT_EQ(S_OK, acc->get_accChildCount(&count));
        EXPECT_EQ(2, count);
        long x = 0, y = 0, w = 0, h = 0;
        EXPECT_EQ(S_OK, acc->accLocation(&x, &y, &w, &h, one));
        const POINT at = s.Screen(10, 10);
        EXPECT_TRUE(x == at.x && y == at.y && w == 100 && h == 30) << x << "," << y << " " << w << "x" << h;
        VARIANT hit;
        const POINT overBox = s.Screen(220, 20), overPlain = s.Screen(150, 20);
        EXPECT_EQ(S_OK, acc->accHitTest(overBox.x, overBox.y, &hit));
        EXPECT_EQ(2, hit.lVal);
        acc->accHitTest(overPlain.x, overPlain.y, &hit);
        EXPECT_EQ(CHILDID_SELF, hit.lVal);
        IDispatch* child = nullptr;
        one.lVal = 3;
        EXPECT_EQ(E_INVALIDARG, acc->get_accChild(one, &child));

        // The action waits until the reader's call has returned.
        s.win.notes.clear();
        EXPECT_EQ(S_OK, acc->accDoDefaultAction(two));
        EXPECT_TRUE(box->IsSelected());
        hosttest::Pump();
        EXPECT_FALSE(box->IsSelected());
        EXPECT_EQ((std::vector<std::wstring>{L"box"}), s.win.NotesOfType(L"selectchanged"));

        DestroyWindow(hwnd);
        EXPECT_EQ(CO_E_OBJNOTCONNECTED, acc->get_accChildCount(&count)) << "the window is gone";
        EXPECT_EQ(CO_E_OBJNOTCONNECTED, acc->accDoDefaultAction(two));
        acc->Release();
    }
    CoUninitialize();
}
