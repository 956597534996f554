// Stack, tab and floating layout with the shapes the skin uses, and the
// order Tab visits the controls in.
#include <gtest/gtest.h>

#include <sstream>

#include "common/TestHostUI.h"
#include "skinui/ContainerUI.h"
#include "skinui/TabOrder.h"

using namespace SkinUI;
using testhost::CTestHostUI;
using testhost::Make;

namespace {

std::string Describe(const RECT& rc)
{
    std::ostringstream out;
    out << "(" << rc.left << "," << rc.top << ")-(" << rc.right << "," << rc.bottom << ")";
    return out.str();
}

void ExpectRect(CControlUI* control, int l, int t, int r, int b)
{
    const RECT& rc = control->GetPos();
    EXPECT_TRUE(rc.left == l && rc.top == t && rc.right == r && rc.bottom == b)
        << std::string(control->GetName().begin(), control->GetName().end()) << " is " << Describe(rc)
        << ", expected " << Describe(MakeRect(l, t, r, b));
}

TEST(StackLayout, FixedHeightIsExactAndTwoStretchSiblingsSplitTheRestOddPixelToTheSecond)
{
    CTestHostUI host;
    auto* root = Make<CVerticalLayoutUI>(L"root");
    auto* title = Make<CControlUI>(L"title", {{L"height", L"32"}});
    auto* first = Make<CVerticalLayoutUI>(L"first");
    auto* second = Make<CVerticalLayoutUI>(L"second");
    root->Add(title);
    root->Add(first);
    root->Add(second);
    host.Attach(root);
    host.Layout(650, 101);   // 69 left for two: 34 and 35
    ExpectRect(title, 0, 0, 650, 32);
    ExpectRect(first, 0, 32, 650, 66);
    ExpectRect(second, 0, 66, 650, 101);
}

TEST(StackLayout, WideControlBetweenTwoEmptyHorizontalLayoutsEndsCentred)
{
    CTestHostUI host;
    auto* row = Make<CHorizontalLayoutUI>(L"row");
    auto* left = Make<CHorizontalLayoutUI>(L"left");
    auto* logo = Make<CControlUI>(L"logo", {{L"width", L"407"}, {L"bkimage", L"img\\logo.png"}});
    auto* right = Make<CHorizontalLayoutUI>(L"right");
    row->Add(left);
    row->Add(logo);
    row->Add(right);
    host.Attach(row);
    host.Layout(650, 100);
    ExpectRect(left, 0, 0, 121, 100);
    ExpectRect(logo, 121, 0, 528, 100);
    ExpectRect(right, 528, 0, 650, 100);
    // Centred to the pixel: the two sides differ by the odd pixel only.
    EXPECT_EQ(1, (650 - logo->GetPos().right) - logo->GetPos().left);
}

TEST(StackLayout, TabLayoutWithoutHeightTakesWhatFixedSiblingsLeave)
{
    CTestHostUI host;
    auto* root = Make<CVerticalLayoutUI>(L"root");
    auto* caption = Make<CHorizontalLayoutUI>(L"caption", {{L"height", L"30"}});
    auto* tabs = Make<CTabLayoutUI>(L"switch");
    auto* page0 = Make<CVerticalLayoutUI>(L"page0");
    auto* page1 = Make<CVerticalLayoutUI>(L"page1");
    tabs->Add(page0);
    tabs->Add(page1);
    auto* bottom = Make<CHorizontalLayoutUI>(L"bottomLayout", {{L"height", L"50"}, {L"padding", L"0,4,0,0"}});
    root->Add(caption);
    root->Add(tabs);
    root->Add(bottom);
    host.Attach(root);
    host.Layout(650, 360);
    ExpectRect(caption, 0, 0, 650, 30);
    ExpectRect(tabs, 0, 30, 650, 306);
    ExpectRect(bottom, 0, 310, 650, 360);
    ExpectRect(page0, 0, 30, 650, 306);
    EXPECT_FALSE(page1->IsVisible());
}

TEST(StackLayout, InvisibleChildTakesNoSpaceUntilShownAndLaidOutAgain)
{
    CTestHostUI host;
    auto* root = Make<CVerticalLayoutUI>(L"root");
    auto* body = Make<CVerticalLayoutUI>(L"body");
    auto* bottom = Make<CHorizontalLayoutUI>(L"bottomLayout", {{L"height", L"60"}, {L"visible", L"false"}});
    root->Add(body);
    root->Add(bottom);
    host.Attach(root);
    host.Layout(650, 360);
    ExpectRect(body, 0, 0, 650, 360);
    EXPECT_FALSE(host.LayoutNeeded());

    bottom->SetVisible(true);
    EXPECT_TRUE(host.LayoutNeeded()) << "showing a child asks for a new layout";
    host.Relayout();
    ExpectRect(body, 0, 0, 650, 300);
    ExpectRect(bottom, 0, 300, 650, 360);

    bottom->SetVisible(false);
    host.Relayout();
    ExpectRect(body, 0, 0, 650, 360);
}

TEST(StackLayout, CrossAxisAlignmentAndPadding)
{
    struct Case {
        const wchar_t* align;
        int left;
    } cases[] = {{L"left", 5}, {L"center", 100 - 20}, {L"right", 200 - 7 - 40}, {L"middle", 5}};
    for (const Case& c : cases) {
        CTestHostUI host;
        auto* root = Make<CVerticalLayoutUI>(L"root", {{L"childalign", c.align}});
        auto* child = Make<CControlUI>(L"child", {{L"width", L"40"}, {L"height", L"10"}, {L"padding", L"5,3,7,0"}});
        root->Add(child);
        host.Attach(root);
        host.Layout(200, 100);
        ExpectRect(child, c.left, 3, c.left + 40, 13);
    }
    struct VCase {
        const wchar_t* align;
        int top;
    } vcases[] = {{L"top", 0}, {L"vcenter", 40}, {L"bottom", 80}};
    for (const VCase& c : vcases) {
        CTestHostUI host;
        auto* root = Make<CHorizontalLayoutUI>(L"root", {{L"childvalign", c.align}});
        auto* child = Make<CControlUI>(L"child", {{L"width", L"40"}, {L"height", L"20"}});
        root->Add(child);
        host.Attach(root);
        host.Layout(200, 100);
        ExpectRect(child, 0, c.top, 40, c.top + 20);
    }
}

TEST(StackLayout, InsetChildPaddingAndStretchWidthAcrossTheAxis)
{
    CTestHostUI host;
    auto* root = Make<CVerticalLayoutUI>(L"root", {{L"inset", L"10,5,10,5"}, {L"childpadding", L"4"}});
    auto* a = Make<CControlUI>(L"a", {{L"height", L"20"}});
    auto* b = Make<CControlUI>(L"b", {{L"height", L"20"}, {L"width", L"500"}});   // wider than the content
    auto* c = Make<CControlUI>(L"c");
    root->Add(a);
    root->Add(b);
    root->Add(c);
    host.Attach(root);
    host.Layout(200, 100);   // content 180 x 90; fixed 20+20 + 2 gaps of 4 = 48; c gets 42
    ExpectRect(a, 10, 5, 190, 25);
    ExpectRect(b, 10, 29, 190, 49);
    ExpectRect(c, 10, 53, 190, 95);
}

TEST(StackLayout, SkinLengthsFollowTheDisplayScaleAndComeBackExactly)
{
    CTestHostUI host;
    auto* root = Make<CVerticalLayoutUI>(L"root", {{L"inset", L"10,5,10,5"}, {L"childpadding", L"4"}});
    auto* a = Make<CControlUI>(L"a", {{L"height", L"20"}});
    auto* b = Make<CControlUI>(L"b", {{L"height", L"20"}, {L"width", L"500"}, {L"padding", L"3,0,0,1"}});
    auto* c = Make<CControlUI>(L"c");
    root->Add(a);
    root->Add(b);
    root->Add(c);
    host.Attach(root);
    auto applyScale = [&](int dpi) {
        host.nDpi = dpi;
        root->LookupControl(
            [](CControlUI* control, void*) -> CControlUI* {
                control->ApplyDpi();
                return nullptr;
            },
            nullptr, kFind_All);
    };
    // At 144 DPI every length is half as long again (inset 15,8; gaps 6;
    // heights 30; b's padding 5 and 2), in a window of 300 x 150.
    applyScale(144);
    host.Layout(300, 150);
    ExpectRect(a, 15, 8, 285, 38);
    ExpectRect(b, 20, 44, 285, 74);
    ExpectRect(c, 15, 82, 285, 142);
    // Back at 96 DPI the skin's own numbers again, nothing lost to rounding.
    applyScale(96);
    host.Layout(200, 100);
    ExpectRect(a, 10, 5, 190, 25);
    ExpectRect(b, 13, 29, 190, 49);
    ExpectRect(c, 10, 54, 190, 95);
}

TEST(StackLayout, StretchChildrenAreClampedAndNeverNegative)
{
    CTestHostUI host;
    auto* root = Make<CHorizontalLayoutUI>(L"root");
    auto* capped = Make<CControlUI>(L"capped", {{L"maxwidth", L"30"}});
    auto* floor = Make<CControlUI>(L"floor", {{L"minwidth", L"15"}});
    auto* wide = Make<CControlUI>(L"wide", {{L"width", L"300"}});
    root->Add(capped);
    root->Add(floor);
    root->Add(wide);
    host.Attach(root);
    host.Layout(200, 50);   // no room left: shares are 0, clamped to the minimum
    EXPECT_EQ(0, capped->GetWidth());
    EXPECT_EQ(15, floor->GetWidth());
    EXPECT_EQ(300, wide->GetWidth());

    host.Layout(400, 50);   // 100 left: 50 each, the first capped at 30
    EXPECT_EQ(30, capped->GetWidth());
    EXPECT_EQ(50, floor->GetWidth());
    ExpectRect(wide, 80, 0, 380, 50);
}

TEST(StackLayout, FloatingChildUsesPosRelativeToTheParent)
{
    CTestHostUI host;
    auto* root = Make<CVerticalLayoutUI>(L"root", {{L"inset", L"5,5,5,5"}});
    auto* box = Make<CVerticalLayoutUI>(L"box");
    auto* floating = Make<CControlUI>(L"floating", {{L"float", L"true"}, {L"pos", L"10,20,110,60"}});
    auto* rest = Make<CControlUI>(L"rest");
    box->Add(floating);
    box->Add(rest);
    root->Add(box);
    host.Attach(root);
    host.Layout(300, 200);
    ExpectRect(floating, 15, 25, 115, 65);
    ExpectRect(rest, 5, 5, 295, 195);   // the floating child takes no part in the stack

    auto* anchored = Make<CControlUI>(L"anchored", {{L"float", L"0.5,0,1,0.5"}});
    box->Add(anchored);
    host.Relayout();
    ExpectRect(anchored, 150, 5, 295, 100);
}

TEST(TabLayout, AddShowsTheFirstPageAndSelectNotifiesOncePerChange)
{
    CTestHostUI host;
    auto* tabs = Make<CTabLayoutUI>(L"switch", {{L"inset", L"2,2,2,2"}});
    auto* page0 = Make<CVerticalLayoutUI>(L"page0");
    auto* page1 = Make<CVerticalLayoutUI>(L"page1", {{L"padding", L"1,1,1,1"}, {L"height", L"50"}});
    auto* page2 = Make<CVerticalLayoutUI>(L"page2");
    tabs->Add(page0);
    tabs->Add(page1);
    tabs->Add(page2);
    host.Attach(tabs);
    host.Layout(200, 100);
    EXPECT_EQ(0, tabs->GetSelectedIndex());
    EXPECT_TRUE(page0->IsVisible());
    EXPECT_FALSE(page1->IsVisible());
    ExpectRect(page0, 2, 2, 198, 98);

    EXPECT_TRUE(tabs->SelectPage(1));
    ASSERT_EQ(1u, host.NotesOfType(L"tabselect").size());
    EXPECT_EQ(1u, host.notes.back().wParam);
    EXPECT_EQ(0, host.notes.back().lParam);
    EXPECT_TRUE(page1->IsVisible());
    EXPECT_FALSE(page0->IsVisible());
    EXPECT_TRUE(host.LayoutNeeded());
    host.Relayout();
    ExpectRect(page1, 3, 3, 197, 53);   // its estimate (height 50), at the top-left of the content

    EXPECT_TRUE(tabs->SelectPage(1));   // no change, no notification
    EXPECT_EQ(1u, host.NotesOfType(L"tabselect").size());
    EXPECT_FALSE(tabs->SelectPage(3));
    EXPECT_FALSE(tabs->SelectPage(-1));
    EXPECT_EQ(1, tabs->GetSelectedIndex());
    EXPECT_EQ(1u, host.NotesOfType(L"tabselect").size());

    EXPECT_TRUE(tabs->SelectPage(2));
    EXPECT_EQ(2u, host.NotesOfType(L"tabselect").size());
    EXPECT_EQ(2u, host.notes.back().wParam);
    EXPECT_EQ(1, host.notes.back().lParam);
}

TEST(TabLayout, PagesAddedToAHiddenTabLayoutStillSelectTheFirst)
{
    CTestHostUI host;
    auto* root = Make<CVerticalLayoutUI>(L"root");
    auto* tabs = Make<CTabLayoutUI>(L"switch", {{L"visible", L"false"}});
    root->Add(tabs);
    host.Attach(root);
    auto* page0 = Make<CControlUI>(L"page0");
    auto* page1 = Make<CControlUI>(L"page1");
    tabs->Add(page0);
    tabs->Add(page1);
    EXPECT_EQ(0, tabs->GetSelectedIndex());
    EXPECT_FALSE(page0->IsVisible()) << "hidden with its tab layout";
    tabs->SetVisible(true);
    EXPECT_TRUE(page0->IsVisible());
    EXPECT_FALSE(page1->IsVisible());
}

TEST(TabLayout, RemovingTheSelectedPageSelectsTheFirst)
{
    CTestHostUI host;
    auto* tabs = Make<CTabLayoutUI>(L"switch");
    for (const wchar_t* name : {L"p0", L"p1", L"p2"})
        tabs->Add(Make<CControlUI>(name));
    host.Attach(tabs);
    ASSERT_TRUE(tabs->SelectPage(2));
    CControlUI* p2 = tabs->GetChildAt(2);
    EXPECT_TRUE(tabs->Remove(p2));
    EXPECT_EQ(0, tabs->GetSelectedIndex());
    EXPECT_TRUE(tabs->GetChildAt(0)->IsVisible());
    ASSERT_TRUE(tabs->SelectPage(1));
    EXPECT_TRUE(tabs->Remove(tabs->GetChildAt(0)));
    EXPECT_EQ(0, tabs->GetSelectedIndex());
    EXPECT_EQ(L"p1", tabs->GetChildAt(0)->GetName());
    host.DeleteQueued();
}

TEST(Container, ChildrenOperationsAndDelayedDestroy)
{
    CTestHostUI host;
    auto* root = Make<CVerticalLayoutUI>(L"root");
    host.Attach(root);
    auto* a = Make<CControlUI>(L"a");
    auto* b = Make<CControlUI>(L"b");
    auto* c = Make<CControlUI>(L"c");
    EXPECT_TRUE(root->Add(a));
    EXPECT_FALSE(root->Add(a)) << "a child is added once";
    EXPECT_FALSE(root->Add(nullptr));
    EXPECT_TRUE(root->AddAt(c, 1));
    EXPECT_FALSE(root->AddAt(b, 5));
    EXPECT_TRUE(root->AddAt(b, 1));
    EXPECT_EQ(3, root->GetCount());
    EXPECT_EQ(b, root->GetChildAt(1));
    EXPECT_EQ(2, root->IndexOfChild(c));
    EXPECT_EQ(&host, c->GetHost());
    EXPECT_EQ(root, c->GetParent());
    EXPECT_EQ(c, host.Find(L"c"));
    EXPECT_TRUE(root->MoveChildTo(c, 0));
    EXPECT_EQ(c, root->GetChildAt(0));
    EXPECT_EQ(nullptr, root->GetChildAt(3));

    EXPECT_TRUE(root->Remove(b));   // queued for deletion after the current message
    EXPECT_EQ(2, root->GetCount());
    host.DeleteQueued();
    EXPECT_EQ(nullptr, host.Find(L"b")) << "a deleted control leaves the host";
    EXPECT_FALSE(root->RemoveAt(7));

    root->SetDelayedDestroy(false);
    root->RemoveAll();
    EXPECT_EQ(0, root->GetCount());
    EXPECT_EQ(nullptr, host.Find(L"a"));
}

TEST(Container, ChildAddedToAnInvisibleContainerIsInternallyHidden)
{
    auto* box = Make<CVerticalLayoutUI>(L"box", {{L"visible", L"false"}});
    auto* child = Make<CControlUI>(L"child");
    box->Add(child);
    EXPECT_FALSE(child->IsVisible());
    box->SetVisible(true);
    EXPECT_TRUE(child->IsVisible());
    delete box;
}

} // namespace

// ---- Tab order ------------------------------------------------------

TEST(TabOrder, RowsFromTheTopInReadingDirectionIndexesFirst)
{
    // The home page: minimise and close in the title row, Install, then the
    // consent row (check box, licence, Customize), in tree order.
    const std::vector<TabStopPlace> home = {
        {MakeRect(581, 11, 601, 31), 0},  {MakeRect(611, 11, 631, 31), 0},   {MakeRect(241, 149, 409, 195), 0},
        {MakeRect(21, 322, 41, 352), 0},  {MakeRect(41, 322, 449, 352), 0},  {MakeRect(449, 322, 649, 352), 0},
    };
    // The right-to-left page: the same controls, each row mirrored in the
    // tree (close, minimise; Customize, licence, check box).
    const std::vector<TabStopPlace> mirrored = {
        {MakeRect(11, 11, 31, 31), 0},    {MakeRect(41, 11, 61, 31), 0},     {MakeRect(241, 149, 409, 195), 0},
        {MakeRect(1, 322, 201, 352), 0},  {MakeRect(201, 322, 609, 352), 0}, {MakeRect(609, 322, 629, 352), 0},
    };
    struct Case {
        const char* what;
        std::vector<TabStopPlace> stops;
        bool rtl;
        std::vector<size_t> order;
    } cases[] = {
        {"left to right", home, false, {0, 1, 2, 3, 4, 5}},
        {"right to left", mirrored, true, {1, 0, 2, 5, 4, 3}},
        {"indexes first, ascending",
         {{MakeRect(0, 0, 10, 10), 0}, {MakeRect(0, 50, 10, 60), 2}, {MakeRect(20, 0, 30, 10), 1}},
         false, {2, 1, 0}},
        // A tall control and a column beside it share one row: left, then
        // the column top down.
        {"a tall control takes its neighbours into its row",
         {{MakeRect(50, 0, 60, 20), 0}, {MakeRect(0, 0, 40, 100), 0}, {MakeRect(50, 40, 60, 60), 0},
          {MakeRect(0, 120, 10, 130), 0}},
         false, {1, 0, 2, 3}},
        {"never laid out: tree order", {{}, {}, {}}, false, {0, 1, 2}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.order, SortTabStops(c.stops, c.rtl)) << c.what;
}
