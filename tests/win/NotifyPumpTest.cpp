// Message maps: named entries before empty-name entries, base-map chaining,
// both handler kinds, virtual-window routing; and the window base's own
// click handling of the standard button names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SkinTestWindow.h"
#include "skinui/ButtonUI.h"

using namespace SkinUI;

namespace {

class CBasePump : public CNotifyPump {
public:
    const NotifyMap* MessageMap() const override { return &kMap; }
    void OnBaseClick(NotifyMsg& msg) { log.push_back(L"base-click:" + msg.pSender->GetName()); }
    void OnBaseTimer(WPARAM wParam, LPARAM lParam)
    {
        log.push_back(L"base-timer:" + std::to_wstring(wParam) + L"," + std::to_wstring(lParam));
    }
    std::vector<std::wstring> log;
    static const NotifyMapEntry kEntries[];
    static const NotifyMap kMap;
};
const NotifyMapEntry CBasePump::kEntries[] = {
    PW_NOTIFY_HANDLER(L"click", L"", &CBasePump::OnBaseClick),
    PW_NOTIFY_PARAMS(L"timer", L"", &CBasePump::OnBaseTimer),
    PW_NOTIFY_END,
};
const NotifyMap CBasePump::kMap = {&CNotifyPump::kBaseMap, CBasePump::kEntries};

class CDerivedPump : public CBasePump {
public:
    const NotifyMap* MessageMap() const override { return &kMap; }
    void OnAnyClick(NotifyMsg& msg) { log.push_back(L"any-click:" + msg.pSender->GetName()); }
    void OnOkClick(NotifyMsg&) { log.push_back(L"ok-click"); }
    static const NotifyMapEntry kEntries[];
    static const NotifyMap kMap;
};
const NotifyMapEntry CDerivedPump::kEntries[] = {
    PW_NOTIFY_HANDLER(L"click", L"", &CDerivedPump::OnAnyClick),   // listed first, still loses to the named one
    PW_NOTIFY_HANDLER(L"click", L"ok", &CDerivedPump::OnOkClick),
    PW_NOTIFY_END,
};
const NotifyMap CDerivedPump::kMap = {&CBasePump::kMap, CDerivedPump::kEntries};

NotifyMsg Make(const wchar_t* type, CControlUI* sender, WPARAM wParam = 0, LPARAM lParam = 0)
{
    NotifyMsg msg;
    msg.sType = type;
    msg.pSender = sender;
    msg.wParam = wParam;
    msg.lParam = lParam;
    return msg;
}

} // namespace

TEST(NotifyPumpTest, NamedEntriesWinThenEmptyNamesThenBaseMaps)
{
    CButtonUI ok, other;
    ok.SetName(L"ok");
    other.SetName(L"other");
    CDerivedPump pump;
    NotifyMsg m1 = Make(L"click", &ok);
    NotifyMsg m2 = Make(L"click", &other);
    NotifyMsg m3 = Make(L"timer", &other, 5, 9);
    NotifyMsg m4 = Make(L"selectchanged", &ok);
    EXPECT_TRUE(pump.DispatchNotify(m1));
    EXPECT_TRUE(pump.DispatchNotify(m2));
    EXPECT_TRUE(pump.DispatchNotify(m3));
    EXPECT_FALSE(pump.DispatchNotify(m4));
    EXPECT_EQ(pump.log, (std::vector<std::wstring>{L"ok-click", L"any-click:other", L"base-timer:5,9"}));

    CBasePump base;
    NotifyMsg m5 = Make(L"click", &ok);
    EXPECT_TRUE(base.DispatchNotify(m5));
    EXPECT_EQ(base.log, (std::vector<std::wstring>{L"base-click:ok"}));
}

TEST(NotifyPumpTest, VirtualWindowRoutingIgnoresCase)
{
    CButtonUI ok;
    ok.SetName(L"ok");
    CDerivedPump main;
    CBasePump page;
    EXPECT_TRUE(main.AddVirtualWnd(L"Page", &page));
    EXPECT_FALSE(main.AddVirtualWnd(L"page", &page));
    NotifyMsg msg = Make(L"click", &ok);
    msg.sVirtualWnd = L"PAGE";
    EXPECT_TRUE(main.DispatchNotify(msg));
    EXPECT_TRUE(main.log.empty());
    EXPECT_EQ(page.log, (std::vector<std::wstring>{L"base-click:ok"}));
    EXPECT_TRUE(main.RemoveVirtualWnd(L"page"));
    EXPECT_TRUE(main.DispatchNotify(msg));
    EXPECT_EQ(main.log, (std::vector<std::wstring>{L"ok-click"}));
}

TEST(NotifyPumpTest, WindowBaseClickNames)
{
    skintest::UseFixtureSkin(false);
    skintest::CTestSkinWindow window(
        L"<Window size=\"650,360\"><HorizontalLayout><Button name=\"closebtn\" width=\"50\"/>"
        L"<Button name=\"minbtn\" width=\"50\"/><Button name=\"maxbtn\" width=\"50\"/>"
        L"<Button name=\"restorebtn\" width=\"50\" visible=\"false\"/><Control/></HorizontalLayout></Window>");
    HWND hwnd = window.Open();
    ASSERT_NE(hwnd, nullptr);
    CWindowHostUI& host = window.Host();
    CControlUI* maxButton = host.LookupControl(std::wstring(L"maxbtn"));
    CControlUI* restoreButton = host.LookupControl(std::wstring(L"restorebtn"));

    host.EmitNotify(maxButton, L"click");
    EXPECT_TRUE(IsZoomed(hwnd));
    EXPECT_FALSE(maxButton->IsVisible());
    EXPECT_TRUE(restoreButton->IsVisible());
    host.EmitNotify(restoreButton, L"click");
    EXPECT_FALSE(IsZoomed(hwnd));
    EXPECT_TRUE(maxButton->IsVisible());
    EXPECT_FALSE(restoreButton->IsVisible());

    host.EmitNotify(host.LookupControl(std::wstring(L"closebtn")), L"click");
    skintest::CTestSkinWindow::Pump();
    ASSERT_EQ(window.closeRequests.size(), 1u);
    EXPECT_EQ(window.closeRequests[0], 1u);
    CSkinSource::ResetSkinSource();
}
