// CControlUI without painting: attribute parsing, state, events, look-up and
// focus, bound to the small test host.
#include <gtest/gtest.h>

#include "common/TestHostUI.h"
#include "skinui/ContainerUI.h"
#include "skinui/ControlUI.h"

using namespace SkinUI;
using testhost::CTestHostUI;

namespace {

CControlUI* Named(CControlUI* control, const wchar_t* name)
{
    control->SetName(name);
    return control;
}

TEST(ControlUIAttributes, ColoursParseWithOrWithoutHashAndLeadingBlanks)
{
    struct Case {
        const wchar_t* text;
        DWORD expected;
    } cases[] = {
        {L"#FFFFFFFF", 0xFFFFFFFF}, {L"FFFFFFFF", 0xFFFFFFFF}, {L"  #FF112233", 0xFF112233},
        {L"#00CCCCCC", 0x00CCCCCC}, {L"ff00ff00", 0xFF00FF00}, {L"", 0},
        {L"#", 0},                  {L"zz", 0},                {L"12G4", 0x12},
        {L"123456789AB", 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        CControlUI control;
        control.SetAttribute(L"bkcolor", c.text);
        EXPECT_EQ(c.expected, control.GetBkColor()) << "bkcolor=\"" << std::wstring(c.text).size() << " chars\" case "
                                                    << (&c - cases);
    }
}

TEST(ControlUIAttributes, EveryTableEntryReachesItsSetter)
{
    CControlUI c;
    c.SetAttribute(L"pos", L"10,20,110,60");
    EXPECT_EQ(10, c.GetFloatOffset().cx);
    EXPECT_EQ(20, c.GetFloatOffset().cy);
    EXPECT_EQ(100, c.GetFixedWidth());
    EXPECT_EQ(40, c.GetFixedHeight());

    c.SetAttribute(L"padding", L"1,2,3,4");
    RECT pad = c.GetPadding();
    EXPECT_EQ(1, pad.left);
    EXPECT_EQ(2, pad.top);
    EXPECT_EQ(3, pad.right);
    EXPECT_EQ(4, pad.bottom);

    c.SetAttribute(L"bordersize", L"2");
    EXPECT_EQ(2, c.GetBorderSize().left);
    EXPECT_EQ(2, c.GetBorderSize().bottom);
    c.SetAttribute(L"bordersize", L"0,1,0,3");
    EXPECT_EQ(0, c.GetBorderSize().left);
    EXPECT_EQ(1, c.GetBorderSize().top);
    EXPECT_EQ(3, c.GetBorderSize().bottom);
    c.SetAttribute(L"borderround", L"6,8");
    EXPECT_EQ(6, c.GetBorderRound().cx);
    EXPECT_EQ(8, c.GetBorderRound().cy);

    c.SetAttribute(L"tooltip", L"first<n>second<n>");
    EXPECT_EQ(L"first\r\nsecond\r\n", c.GetToolTip());
    EXPECT_EQ(300, c.GetToolTipWidth());
    c.SetAttribute(L"shortcut", L"Xyz");
    EXPECT_EQ(L'X', c.GetShortcut());
    c.SetAttribute(L"menu", L"true");
    EXPECT_TRUE(c.WantsContextMenu());
    c.SetAttribute(L"userdata", L"data");
    c.SetAttribute(L"tag", L"42");
    EXPECT_EQ(L"data", c.GetUserData());
    EXPECT_EQ(42u, c.GetTag());
    c.SetAttribute(L"bkcolor2", L"#FF000001");
    c.SetAttribute(L"bkcolor3", L"FF000002");
    c.SetAttribute(L"bordercolor", L"#00CCCCCC");
    c.SetAttribute(L"focusbordercolor", L"#FF0000FF");
    EXPECT_EQ(0xFF000001u, c.GetBkColor2());
    EXPECT_EQ(0xFF000002u, c.GetBkColor3());
    EXPECT_EQ(0x00CCCCCCu, c.GetBorderColor());
    EXPECT_EQ(0xFF0000FFu, c.GetFocusBorderColor());
    c.SetAttribute(L"bkimage", L"img\\left_log.png");
    EXPECT_EQ(L"img\\left_log.png", c.GetBkImage());
    c.SetAttribute(L"borderstyle", L"2");
    EXPECT_EQ(2, c.GetBorderStyle());
    c.SetAttribute(L"virtualwnd", L"page");
    EXPECT_EQ(L"page", c.GetVirtualWnd());

    // Booleans are true only for "true".
    c.SetAttribute(L"enabled", L"TRUE");
    EXPECT_FALSE(c.IsEnabled());
    c.SetAttribute(L"enabled", L"true");
    EXPECT_TRUE(c.IsEnabled());
    c.SetAttribute(L"mouse", L"false");
    c.SetAttribute(L"keyboard", L"0");
    EXPECT_FALSE(c.IsMouseEnabled());
    EXPECT_FALSE(c.IsKeyboardEnabled());
    c.SetAttribute(L"visible", L"false");
    EXPECT_FALSE(c.IsVisible());
}

TEST(ControlUIAttributes, SizeLimitsAndMalformedNumbers)
{
    CControlUI c;
    EXPECT_EQ(9999, c.GetMaxWidth());
    EXPECT_EQ(9999, c.GetMaxHeight());
    c.SetAttribute(L"maxwidth", L"50");
    c.SetAttribute(L"minwidth", L"80");
    EXPECT_EQ(80, c.GetMaxWidth()) << "the maximum never reads below the minimum";
    c.SetAttribute(L"width", L"12px");
    EXPECT_EQ(12, c.GetFixedWidth());
    c.SetAttribute(L"height", L"abc");
    EXPECT_EQ(0, c.GetFixedHeight());
    c.SetAttribute(L"pos", L"5");
    EXPECT_EQ(5, c.GetFloatOffset().cx);
    EXPECT_EQ(0, c.GetFloatOffset().cy);
    c.SetAttribute(L"padding", L"1,2,");
    EXPECT_EQ(2, c.GetPadding().top);
    EXPECT_EQ(0, c.GetPadding().right);
}

TEST(ControlUIAttributes, UnknownAndWrongCaseNamesAreKeptAsCustom)
{
    CControlUI c;
    c.SetAttribute(L"Width", L"30");
    c.SetAttribute(L"flavour", L"mint");
    EXPECT_EQ(0, c.GetFixedWidth());
    EXPECT_EQ(L"30", c.CustomAttribute(L"Width"));
    EXPECT_EQ(L"mint", c.CustomAttribute(L"flavour"));
    EXPECT_EQ(L"", c.CustomAttribute(L"absent"));
}

TEST(ControlUIAttributes, FloatTakesTrueOrFourFractions)
{
    CControlUI c;
    c.SetAttribute(L"float", L"true");
    EXPECT_TRUE(c.IsFloat());
    c.SetAttribute(L"float", L"no");
    EXPECT_FALSE(c.IsFloat());
    c.SetAttribute(L"float", L"0.5,0.25,1,0.75");
    EXPECT_TRUE(c.IsFloat());
    double f[4];
    c.GetFloatAnchor(f);
    EXPECT_DOUBLE_EQ(0.5, f[0]);
    EXPECT_DOUBLE_EQ(0.25, f[1]);
    EXPECT_DOUBLE_EQ(1.0, f[2]);
    EXPECT_DOUBLE_EQ(0.75, f[3]);
}

TEST(ControlUIAttributes, AttributeTextAppliesItemsUntilMalformed)
{
    struct Case {
        const wchar_t* text;
        int width;
        int height;
    } cases[] = {
        {L"width=\"30\" height=\"20\"", 30, 20},
        {L"width=\"30\"  height=\"20\"", 30, 0},    // two spaces: the second item is malformed
        {L"width=\"30\"height=\"20\"", 30, 0},      // no space after the quote
        {L"width=30 height=\"20\"", 0, 0},          // no quote after '='
        {L"width=\"30", 0, 0},                       // unterminated value
        {L"", 0, 0},
    };
    for (const Case& c : cases) {
        CControlUI control;
        control.ApplyAttributeText(c.text);
        EXPECT_EQ(c.width, control.GetFixedWidth()) << "case " << (&c - cases);
        EXPECT_EQ(c.height, control.GetFixedHeight()) << "case " << (&c - cases);
    }
}

TEST(ControlUIState, SetTextInvalidatesOnlyOnChange)
{
    CTestHostUI host;
    auto* root = new CVerticalLayoutUI;
    auto* label = Named(new CControlUI, L"label");
    root->Add(label);
    host.Attach(root);
    host.Layout(100, 100);
    host.invalidated.clear();
    label->SetText(L"abc");
    EXPECT_EQ(L"abc", label->GetText());
    EXPECT_EQ(1u, host.invalidated.size());
    label->SetText(L"abc");
    EXPECT_EQ(1u, host.invalidated.size());
}

TEST(ControlUIState, HidingTheFocusedControlLeavesNoneFocused)
{
    CTestHostUI host;
    auto* root = new CVerticalLayoutUI;
    auto* box = new CVerticalLayoutUI;
    auto* a = Named(new CControlUI, L"a");
    auto* b = Named(new CControlUI, L"b");
    box->Add(a);
    root->Add(box);
    root->Add(b);
    host.Attach(root);
    host.Layout(100, 100);

    a->SetFocus();
    ASSERT_EQ(a, host.GetFocus());
    EXPECT_TRUE(a->IsFocused());
    a->SetVisible(false);
    EXPECT_EQ(nullptr, host.GetFocus());
    EXPECT_FALSE(a->IsFocused());

    // Hiding the parent of the focused control does the same.
    a->SetVisible(true);
    a->SetFocus();
    ASSERT_EQ(a, host.GetFocus());
    box->SetVisible(false);
    EXPECT_EQ(nullptr, host.GetFocus());
    EXPECT_FALSE(a->IsVisible());
    EXPECT_FALSE(a->IsFocused());

    // Invisible and disabled controls do not take the focus.
    a->SetFocus();
    EXPECT_EQ(nullptr, host.GetFocus());
    b->SetEnabled(false);
    b->SetFocus();
    EXPECT_EQ(nullptr, host.GetFocus());
}

TEST(ControlUIEvents, BaseHandlingOfTimerMenuCursorAndFocus)
{
    CTestHostUI host;
    auto* root = new CVerticalLayoutUI;
    auto* plain = Named(new CControlUI, L"plain");
    auto* menu = Named(new CControlUI, L"menu_owner");
    menu->SetWantsContextMenu(true);
    root->Add(plain);
    root->Add(menu);
    host.Attach(root);

    ControlEvent timer;
    timer.Type = kEvent_Timer;
    timer.wParam = 7;
    timer.lParam = 99;
    plain->Event(timer);
    ASSERT_EQ(1u, host.notes.size());
    EXPECT_EQ(L"timer", host.notes[0].type);
    EXPECT_EQ(7u, host.notes[0].wParam);
    EXPECT_EQ(99, host.notes[0].lParam);

    ControlEvent context;
    context.Type = kEvent_ContextMenu;
    menu->Event(context);
    plain->Event(context);   // no menu flag: passed to the parent, which sends nothing
    EXPECT_EQ(1u, host.NotesOfType(L"menu").size());
    EXPECT_EQ(L"menu_owner", host.NotesOfType(L"menu")[0]);

    host.lastCursor = kCursor_Hand;
    ControlEvent cursor;
    cursor.Type = kEvent_SetCursor;
    plain->Event(cursor);
    EXPECT_EQ(kCursor_Arrow, host.lastCursor);
}

TEST(ControlUIEvents, AnEventHandlerCanVetoTheControlsHandling)
{
    CControlUI c;
    int seen = 0;
    bool allow = false;
    c.AddEventHandler([&](ControlEvent&) {
        ++seen;
        return allow;
    });
    ControlEvent focus;
    focus.Type = kEvent_SetFocus;
    c.Event(focus);
    EXPECT_EQ(1, seen);
    EXPECT_FALSE(c.IsFocused());
    allow = true;
    c.Event(focus);
    EXPECT_TRUE(c.IsFocused());
}

TEST(ControlUILookup, FlagsSkipInvisibleDisabledAndMissedControls)
{
    auto* root = new CHorizontalLayoutUI;
    root->SetName(L"root");
    auto* a = Named(new CControlUI, L"a");
    auto* b = Named(new CControlUI, L"b");
    auto* c = Named(new CControlUI, L"c");
    root->Add(a);
    root->Add(b);
    root->Add(c);
    CTestHostUI host;
    host.Attach(root);
    host.Layout(300, 50);   // three stretch children of 100 each

    auto first = [](CControlUI* control, void*) { return control; };
    POINT pt = {150, 10};
    EXPECT_EQ(b, root->LookupControl(first, &pt, kFind_HitTest));
    EXPECT_EQ(root, root->LookupControl(first, &pt, kFind_HitTest | kFind_MeFirst));
    b->SetVisible(false);
    host.Relayout();   // a and c share the width: b has no place
    pt.x = 10;
    EXPECT_EQ(a, root->LookupControl(first, &pt, kFind_HitTest | kFind_Visible));
    a->SetEnabled(false);
    EXPECT_EQ(root, root->LookupControl(first, &pt, kFind_HitTest | kFind_Visible | kFind_Enabled));
    POINT outside = {400, 10};
    EXPECT_EQ(nullptr, root->LookupControl(first, &outside, kFind_HitTest));

    // Without hit testing: the order of the visit.
    EXPECT_EQ(a, root->LookupControl(first, nullptr, kFind_All));
    EXPECT_EQ(c, root->LookupControl(first, nullptr, kFind_TopFirst));
    EXPECT_EQ(c, root->LookupControl(first, nullptr, kFind_Visible | kFind_Enabled));
    EXPECT_EQ(c, host.Find(L"c"));
}

TEST(ControlUIOverlay, CoverFollowsVisibilityAndIsReplaced)
{
    CTestHostUI host;
    auto* root = new CVerticalLayoutUI;
    auto* base = Named(new CControlUI, L"base");
    root->Add(base);
    host.Attach(root);
    host.Layout(100, 100);
    auto* cover = Named(new CControlUI, L"cover");
    base->SetOverlay(cover);
    EXPECT_EQ(base, cover->GetParent());
    EXPECT_EQ(&host, cover->GetHost());
    EXPECT_EQ(base->GetPos().bottom, cover->GetPos().bottom);
    base->SetVisible(false);
    EXPECT_FALSE(cover->IsVisible());
    base->SetVisible(true);
    EXPECT_TRUE(cover->IsVisible());
    base->SetOverlay(Named(new CControlUI, L"cover2"));   // the first one is deleted (ASan checks)
    EXPECT_EQ(L"cover2", base->GetOverlay()->GetName());
}

TEST(ControlUIClasses, ClassNamesAndInterfaces)
{
    CControlUI control;
    CContainerUI container;
    CVerticalLayoutUI vertical;
    CHorizontalLayoutUI horizontal;
    CTabLayoutUI tab;
    EXPECT_EQ(L"Control", control.GetClass());
    EXPECT_EQ(L"Container", container.GetClass());
    EXPECT_EQ(L"VerticalLayout", vertical.GetClass());
    EXPECT_EQ(L"HorizontalLayout", horizontal.GetClass());
    EXPECT_EQ(L"TabLayout", tab.GetClass());
    EXPECT_EQ(nullptr, control.QueryControlInterface(L"IContainer"));
    EXPECT_EQ(&container, container.QueryControlInterface(L"IContainer"));
    EXPECT_EQ(&tab, tab.QueryControlInterface(L"IContainer"));
    EXPECT_EQ(&tab, tab.QueryControlInterface(L"Control"));
    EXPECT_EQ(&tab, tab.QueryControlInterface(L"TabLayout"));
    EXPECT_EQ(nullptr, tab.QueryControlInterface(L"VerticalLayout"));
    EXPECT_EQ(&vertical, vertical.QueryControlInterface(L"Container"));
}

} // namespace
