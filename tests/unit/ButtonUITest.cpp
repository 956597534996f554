// Buttons, options, check boxes, labels and the progress range: events,
// notifications, selection, size estimates (no painting) and what a screen
// reader is told of them.
#include <gtest/gtest.h>

#include <functional>

#include "common/TestHostUI.h"
#include "skinui/AccessibleTree.h"
#include "skinui/ButtonUI.h"
#include "skinui/ContainerUI.h"
#include "skinui/EditUI.h"
#include "skinui/LabelUI.h"
#include "skinui/ProgressUI.h"

using namespace SkinUI;
using testhost::CTestHostUI;
using testhost::Make;

namespace {

std::vector<std::wstring> Types(const CTestHostUI& host)
{
    std::vector<std::wstring> out;
    for (const auto& n : host.notes)
        out.push_back(n.type + L":" + n.sender);
    return out;
}

// A row of controls 100 pixels wide each, laid out in a 400 x 40 host.
struct Row {
    CTestHostUI host;
    CHorizontalLayoutUI* row = Make<CHorizontalLayoutUI>(L"row");
    void Add(CControlUI* control)
    {
        control->SetAttribute(L"width", L"100");
        row->Add(control);
    }
    void Start()
    {
        host.Attach(row);
        host.Layout(400, 40);
        host.notes.clear();
    }
};

TEST(ButtonEvents, ClickNeedsPressAndReleaseInside)
{
    Row r;
    auto* button = Make<CButtonUI>(L"btn_install");
    r.Add(button);
    r.Start();

    r.host.Click(50, 20);
    EXPECT_EQ(std::vector<std::wstring>({L"setfocus:btn_install", L"click:btn_install"}), Types(r.host));

    r.host.notes.clear();
    r.host.ButtonDown(50, 20);
    EXPECT_NE(0u, button->GetButtonState() & kState_Pushed);
    r.host.MouseMove(250, 20);   // dragged out: no longer pushed, still captured
    EXPECT_EQ(0u, button->GetButtonState() & kState_Pushed);
    EXPECT_NE(0u, button->GetButtonState() & kState_Captured);
    r.host.ButtonUp(250, 20);
    EXPECT_TRUE(r.host.NotesOfType(L"click").empty()) << "released outside: no click";
    EXPECT_EQ(0u, button->GetButtonState() & (kState_Pushed | kState_Captured));

    // Dragging back in before the release clicks after all.
    r.host.ButtonDown(50, 20);
    r.host.MouseMove(250, 20);
    r.host.MouseMove(60, 20);
    EXPECT_NE(0u, button->GetButtonState() & kState_Pushed);
    r.host.ButtonUp(60, 20);
    EXPECT_EQ(1u, r.host.NotesOfType(L"click").size());
}

TEST(ButtonEvents, DisabledOrHiddenButtonsDoNotClickAndKeysActivate)
{
    Row r;
    auto* button = Make<CButtonUI>(L"btn");
    r.Add(button);
    r.Start();
    button->SetEnabled(false);
    r.host.Click(50, 20);
    EXPECT_TRUE(r.host.NotesOfType(L"click").empty());
    EXPECT_FALSE(button->Activate());
    button->SetEnabled(true);
    button->SetVisible(false);
    EXPECT_FALSE(button->Activate());
    button->SetVisible(true);

    button->SetFocus();
    r.host.notes.clear();
    r.host.KeyDown(VK_RETURN);
    r.host.KeyDown(VK_SPACE);
    r.host.KeyDown(L'a');
    EXPECT_EQ(2u, r.host.NotesOfType(L"click").size());
    button->SetKeyboardEnabled(false);
    r.host.KeyDown(VK_RETURN);
    EXPECT_EQ(2u, r.host.NotesOfType(L"click").size());
}

TEST(ButtonEvents, HotStateCursorAndDeferredLeave)
{
    Row r;
    auto* button = Make<CButtonUI>(L"btn");
    r.Add(button);
    r.Start();
    r.host.MouseMove(10, 10);
    EXPECT_NE(0u, button->GetButtonState() & kState_Hot);
    ControlEvent cursor;
    cursor.Type = kEvent_SetCursor;
    button->Event(cursor);
    EXPECT_EQ(kCursor_Hand, r.host.lastCursor);

    // A leave reported while the point is still inside waits in the host's list.
    ControlEvent leave;
    leave.Type = kEvent_MouseLeave;
    leave.ptMouse = {20, 20};
    button->Event(leave);
    EXPECT_NE(0u, button->GetButtonState() & kState_Hot);
    ASSERT_EQ(1u, r.host.mouseLeaveNeeded.size());
    r.host.MouseMove(350, 10);
    EXPECT_EQ(0u, button->GetButtonState() & kState_Hot);
    EXPECT_TRUE(r.host.mouseLeaveNeeded.empty());
}

TEST(ButtonEvents, FadingRunsTimerElevenDownToZeroAndBack)
{
    Row r;
    auto* button = Make<CButtonUI>(L"btn", {{L"fadedelta", L"100"}});
    r.Add(button);
    r.Start();
    r.host.MouseMove(10, 10);
    ASSERT_TRUE(r.host.TimerRunning(button, CButtonUI::kFadeTimerId));
    std::vector<int> alphas;
    while (r.host.FireTimer(button, CButtonUI::kFadeTimerId))
        alphas.push_back(button->GetFadeAlpha());
    EXPECT_EQ(std::vector<int>({155, 55, 0}), alphas);
    EXPECT_TRUE(r.host.NotesOfType(L"timer").empty()) << "the fade timer is the button's own";

    r.host.MouseMove(350, 10);
    alphas.clear();
    while (r.host.FireTimer(button, CButtonUI::kFadeTimerId))
        alphas.push_back(button->GetFadeAlpha());
    EXPECT_EQ(std::vector<int>({100, 200, 255}), alphas);
}

TEST(OptionEvents, CheckBoxWithoutGroupTogglesAndNotifiesEachTime)
{
    Row r;
    auto* check = Make<CCheckBoxUI>(L"chk_agree", {{L"selected", L"true"}});
    r.Add(check);
    r.Start();
    ASSERT_TRUE(check->IsSelected());
    for (bool expected : {false, true, false}) {
        r.host.notes.clear();
        r.host.Click(check);
        EXPECT_EQ(expected, check->IsSelected());
        EXPECT_EQ(1u, r.host.NotesOfType(L"click").size());
        EXPECT_EQ(1u, r.host.NotesOfType(L"selectchanged").size());
        EXPECT_EQ(expected, (check->GetButtonState() & kState_Selected) != 0);
    }
    EXPECT_EQ(L"CheckBox", check->GetClass());
    EXPECT_EQ(check, check->QueryControlInterface(L"Option"));
}

TEST(OptionEvents, GroupedOptionsSelectOneAndClickingTheSelectedSendsOnlyClick)
{
    Row r;
    auto* a = Make<COptionUI>(L"opt_a", {{L"group", L"g"}, {L"selected", L"true"}});
    auto* b = Make<COptionUI>(L"opt_b", {{L"group", L"g"}});
    auto* c = Make<COptionUI>(L"opt_c", {{L"group", L"other"}, {L"selected", L"true"}});
    r.Add(a);
    r.Add(b);
    r.Add(c);
    r.Start();

    r.host.Click(a);
    EXPECT_EQ(std::vector<std::wstring>({L"setfocus:opt_a", L"click:opt_a"}), Types(r.host));
    EXPECT_TRUE(a->IsSelected());

    r.host.notes.clear();
    r.host.Click(b);
    EXPECT_TRUE(b->IsSelected());
    EXPECT_FALSE(a->IsSelected());
    EXPECT_TRUE(c->IsSelected()) << "another group is untouched";
    EXPECT_EQ(std::vector<std::wstring>({L"killfocus:opt_a", L"setfocus:opt_b", L"click:opt_b",
                                         L"selectchanged:opt_a", L"selectchanged:opt_b"}),
              Types(r.host));

    // Quiet changes and a direct deselect of a grouped option.
    r.host.notes.clear();
    a->SetSelected(true, false);
    EXPECT_FALSE(b->IsSelected());
    a->SetSelected(false, true);
    EXPECT_FALSE(a->IsSelected());
    EXPECT_TRUE(r.host.notes.empty());

    // Moving an option to another group.
    b->SetSelected(true, false);
    b->SetGroup(L"other");
    EXPECT_EQ(2u, r.host.GetOptionGroup(L"other").size());
    EXPECT_EQ(1u, r.host.GetOptionGroup(L"g").size());
    b->SetSelected(false, false);
    b->SetSelected(true, false);
    EXPECT_FALSE(c->IsSelected());
}

TEST(LabelMeasure, SingleLineTakesTheTextWidthAndEmptyStretches)
{
    CTestHostUI host;
    auto* row = Make<CHorizontalLayoutUI>(L"row");
    auto* label = Make<CLabelUI>(L"label_tip", {{L"text", L"abcdefghij"}, {L"textpadding", L"2,1,3,1"}});
    auto* empty = Make<CLabelUI>(L"empty");
    auto* fixed = Make<CLabelUI>(L"fixed", {{L"text", L"x"}, {L"width", L"40"}, {L"height", L"20"}});
    row->Add(label);
    row->Add(empty);
    row->Add(fixed);
    host.Attach(row);
    host.Layout(400, 50);

    SIZE size = label->MeasureSize(MakeSize(400, 50));
    int textWidth = host.MeasureText(L"abcdefghij", -1, DT_SINGLELINE, 9999, false).cx;
    EXPECT_EQ(textWidth + 5, size.cx);
    EXPECT_EQ(2 + host.FontHeight(-1) + 8, size.cy);
    EXPECT_EQ(textWidth + 5, label->GetWidth());
    EXPECT_EQ(400 - 40 - label->GetWidth(), empty->GetWidth());
    EXPECT_EQ(40, fixed->GetWidth());

    label->SetText(L"abc");
    EXPECT_TRUE(host.LayoutNeeded()) << "a new text changes the estimate";
    host.Relayout();
    EXPECT_EQ(host.MeasureText(L"abc", -1, DT_SINGLELINE, 9999, false).cx + 5, label->GetWidth());

    // A fixed width set at run time replaces the cached estimate.
    label->SetFixedWidth(60);
    host.Relayout();
    EXPECT_EQ(60, label->MeasureSize(MakeSize(400, 50)).cx);
    EXPECT_EQ(60, label->GetWidth());
}

TEST(LabelMeasure, MultiLineWrapsWithinTheAvailableWidth)
{
    CTestHostUI host;
    auto* column = Make<CVerticalLayoutUI>(L"column");
    auto* label = Make<CLabelUI>(L"label", {{L"multiline", L"true"}, {L"textpadding", L"0,2,0,2"}});
    label->SetText(std::wstring(60, L'w'));
    column->Add(label);
    host.Attach(column);
    host.Layout(200, 300);
    const int lines = host.MeasureText(std::wstring(60, L'w'), -1, DT_WORDBREAK, 200, false).cy;
    EXPECT_EQ(lines + 4, label->GetHeight());
    EXPECT_EQ(0u, label->GetTextStyle() & DT_SINGLELINE);
    EXPECT_NE(0u, label->GetTextStyle() & DT_WORDBREAK);
}

TEST(LabelAttributes, AlignmentWordsAndEffectsAreStored)
{
    struct Case {
        const wchar_t* name;
        const wchar_t* value;
        UINT style;
    } cases[] = {
        {L"align", L"center", DT_VCENTER | DT_SINGLELINE | DT_CENTER},
        {L"align", L"right", DT_VCENTER | DT_SINGLELINE | DT_RIGHT},
        {L"align", L"left", DT_VCENTER | DT_SINGLELINE},
        {L"align", L"left center", DT_VCENTER | DT_SINGLELINE | DT_CENTER},
        {L"valign", L"top", DT_SINGLELINE},
        {L"valign", L"bottom", DT_SINGLELINE | DT_BOTTOM},
        {L"valign", L"vcenter", DT_SINGLELINE | DT_VCENTER},
        {L"endellipsis", L"true", DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS},
        {L"endellipsis", L"yes", DT_VCENTER | DT_SINGLELINE},
        {L"multiline", L"true", DT_VCENTER | DT_WORDBREAK},
        {L"multiline", L"false", DT_VCENTER | DT_SINGLELINE},
    };
    for (const Case& c : cases) {
        CLabelUI label;
        label.SetAttribute(c.name, c.value);
        EXPECT_EQ(c.style, label.GetTextStyle()) << "case " << (&c - cases);
    }
    CLabelUI label;
    label.SetAttribute(L"font", L"3");
    label.SetAttribute(L"textcolor", L"#00FFFFFF");
    label.SetAttribute(L"disabledtextcolor", L"FF808080");
    label.SetAttribute(L"enabledeffect", L"true");
    label.SetAttribute(L"luminousfuzzy", L"x");
    EXPECT_EQ(3, label.GetFont());
    EXPECT_EQ(0x00FFFFFFu, label.GetTextColor());
    EXPECT_EQ(0xFF808080u, label.GetDisabledTextColor());
    EXPECT_TRUE(label.IsEffectEnabled());
    EXPECT_EQ(L"", label.CustomAttribute(L"enabledeffect"));
}

TEST(ButtonMeasure, FixedHeightOrFontHeightPlusEight)
{
    CTestHostUI host;
    auto* row = Make<CHorizontalLayoutUI>(L"row");
    auto* stretch = Make<CButtonUI>(L"stretch", {{L"text", L"a long caption"}});
    auto* fixed = Make<CButtonUI>(L"fixed", {{L"width", L"90"}, {L"height", L"30"}});
    row->Add(stretch);
    row->Add(fixed);
    host.Attach(row);
    host.Layout(300, 50);
    EXPECT_EQ(0, stretch->MeasureSize(MakeSize(300, 50)).cx);
    EXPECT_EQ(host.FontHeight(-1) + 8, stretch->MeasureSize(MakeSize(300, 50)).cy);
    EXPECT_EQ(210, stretch->GetWidth()) << "a button without a width stretches";
    EXPECT_EQ(90, fixed->GetWidth());
}

TEST(ProgressRange, NormalisationAndDestination)
{
    struct Case {
        int min, max, value;
        int expectedMax;
        int right;
    } cases[] = {
        {0, 100, 30, 100, 162},
        {0, 100, 0, 100, 0},
        {0, 100, 100, 100, 540},
        {0, 100, 150, 100, 540},     // clamped
        {0, 100, -5, 100, 0},
        {50, 50, 50, 51, 0},         // max becomes 51
        {50, 50, 51, 51, 540},
        {50, 10, 51, 51, 540},
        {-2147483647 - 1, 2147483647, 0, 2147483647, 270},   // no overflow
    };
    for (const Case& c : cases) {
        CProgressUI bar;
        bar.SetMinValue(c.min);
        bar.SetMaxValue(c.max);
        bar.SetValue(c.value);
        bar.SetPos(MakeRect(10, 5, 550, 17), false);
        RECT dest = bar.ForeDestination();
        EXPECT_EQ(c.expectedMax, bar.GetMaxValue()) << "case " << (&c - cases);
        EXPECT_EQ(c.right, dest.right) << "case " << (&c - cases);
        EXPECT_EQ(12, dest.bottom);
    }
    CProgressUI vertical;
    vertical.SetAttribute(L"hor", L"false");
    vertical.SetAttribute(L"value", L"25");
    vertical.SetPos(MakeRect(0, 0, 10, 200), false);
    RECT dest = vertical.ForeDestination();
    EXPECT_EQ(150, dest.top);
    EXPECT_EQ(200, dest.bottom);
    EXPECT_EQ(12, CProgressUI().GetFixedHeight());
}

} // namespace

// ---- What a screen reader is told -----------------------------------

namespace {

// The consent row, the folder field and the progress column of the skin,
// with the attributes it gives them for readers.
struct ReaderPage {
    CTestHostUI host;
    CVerticalLayoutUI* root = Make<CVerticalLayoutUI>(L"root");
    ReaderPage()
    {
        root->Add(Make<CButtonUI>(L"closebtn", {{L"accname", L"Close"}}));
        root->Add(Make<CControlUI>(L"logo", {{L"accname", L"Brand"}}));
        root->Add(Make<CControlUI>(L"banner"));
        root->Add(Make<CCheckBoxUI>(L"chk_agree", {{L"acclabel", L"btn_lisence"}, {L"selected", L"true"}}));
        root->Add(Make<CButtonUI>(L"btn_lisence", {{L"accrole", L"link"}, {L"showhtml", L"true"},
                                                   {L"text", L"I agree to the {c #FF68D1AB}Licence{/c}"}}));
        root->Add(Make<CButtonUI>(L"btn_install", {{L"text", L"Install"}, {L"enabled", L"false"}}));
        root->Add(Make<COptionUI>(L"examine", {{L"group", L"tabs"}, {L"accrole", L"none"}}));
        root->Add(Make<CLabelUI>(L"label_path", {{L"text", L"Installation Path"}}));
        root->Add(Make<CEditUI>(L"edit_path", {{L"acclabel", L"label_path"}, {L"readonly", L"true"},
                                               {L"text", L"C:\\Program Files\\"}}));
        root->Add(Make<CLabelUI>(L"label_tip", {{L"text", L"Invalid"}, {L"visible", L"false"}}));
        root->Add(Make<CLabelUI>(L"label_speed"));
        root->Add(Make<CProgressUI>(L"progress", {{L"acclabel", L"label_install"}, {L"value", L"28"},
                                                  {L"accreversed", L"true"}}));
        root->Add(Make<CLabelUI>(L"label_install", {{L"text", L"Installing..."}}));
        root->Add(Make<CEditUI>(L"proxy_password", {{L"acclabel", L"label_install"}, {L"password", L"true"},
                                                    {L"text", L"s3cret"}}));
        host.Attach(root);
        host.Layout(400, 400);
    }
};

} // namespace

TEST(AccessibleDescription, RolesNamesValuesStatesAndActionsFromTheSkin)
{
    ReaderPage page;
    struct Case {
        const wchar_t* control;
        AccessRole role;
        const wchar_t* name;
        const wchar_t* value;
        const wchar_t* action;
        UINT states;
    } cases[] = {
        {L"closebtn", AccessRole::PushButton, L"Close", L"", L"Press", kAccState_Focusable},
        {L"logo", AccessRole::Graphic, L"Brand", L"", L"", 0},
        {L"chk_agree", AccessRole::CheckBox, L"I agree to the Licence", L"", L"Uncheck",
         kAccState_Focusable | kAccState_Checked},
        {L"btn_lisence", AccessRole::Link, L"I agree to the Licence", L"", L"Jump",
         kAccState_Focusable | kAccState_Linked},
        {L"btn_install", AccessRole::PushButton, L"Install", L"", L"Press", kAccState_Unavailable},
        {L"edit_path", AccessRole::Text, L"Installation Path", L"C:\\Program Files\\", L"",
         kAccState_Focusable | kAccState_ReadOnly},
        {L"label_tip", AccessRole::StaticText, L"Invalid", L"", L"", kAccState_Invisible},
        {L"label_speed", AccessRole::StaticText, L"", L"", L"", kAccState_Invisible},   // nothing to say yet
        {L"progress", AccessRole::ProgressBar, L"Installing...", L"72 %", L"", 0},         // drawn reversed
        // A reader learns the length of a password, never the password.
        {L"proxy_password", AccessRole::Text, L"Installing...", L"******", L"",
         kAccState_Focusable | kAccState_Protected},
    };
    for (const Case& c : cases) {
        const AccessibleInfo info = DescribeAccessible(page.host.Find(c.control), page.root);
        EXPECT_EQ(c.role, info.eRole) << c.control;
        EXPECT_EQ(c.name, info.strName) << c.control;
        EXPECT_EQ(c.value, info.strValue) << c.control;
        EXPECT_EQ(c.action, info.strDefaultAction) << c.control;
        EXPECT_EQ(c.states, info.uStates) << c.control;
    }
    // Unnamed pictures and options the skin takes out are not listed; the
    // rest keep their places (child ids) whether shown or not.
    std::vector<std::wstring> listed;
    for (CControlUI* c : AccessibleControls(page.root))
        listed.push_back(c->GetName());
    EXPECT_EQ((std::vector<std::wstring>{L"closebtn", L"logo", L"chk_agree", L"btn_lisence", L"btn_install",
                                         L"label_path", L"edit_path", L"label_tip", L"label_speed", L"progress",
                                         L"label_install", L"proxy_password"}),
              listed);
    EXPECT_EQ(8, AccessibleChildId(page.root, page.host.Find(L"label_tip")));
    EXPECT_EQ(0, AccessibleChildId(page.root, page.host.Find(L"banner")));
}

TEST(AccessibleDescription, ControlsTellTheHostWhatAReaderShouldHear)
{
    ReaderPage page;
    auto* agree = static_cast<COptionUI*>(page.host.Find(L"chk_agree"));
    auto* progress = static_cast<CProgressUI*>(page.host.Find(L"progress"));
    struct Case {
        const char* what;
        std::function<void()> act;
        std::vector<std::pair<std::wstring, AccessEvent>> heard;
    } cases[] = {
        {"a check box toggled", [&] { agree->Activate(); }, {{L"chk_agree", AccessEvent::StateChange}}},
        {"enabled", [&] { page.host.Find(L"btn_install")->SetEnabled(true); },
         {{L"btn_install", AccessEvent::StateChange}}},
        {"a new text", [&] { page.host.Find(L"label_speed")->SetText(L"1.0 MB of 2.0 MB"); },
         {{L"label_speed", AccessEvent::NameChange}}},
        {"the same text again", [&] { page.host.Find(L"label_speed")->SetText(L"1.0 MB of 2.0 MB"); }, {}},
        {"a new value", [&] { progress->SetValue(40); }, {{L"progress", AccessEvent::ValueChange}}},
        {"shown", [&] { page.host.Find(L"label_tip")->SetVisible(true); }, {{L"label_tip", AccessEvent::Show}}},
        // A container reports once everything inside it changed, so the host
        // finds its listed controls visible.
        {"the whole page hidden", [&] { page.root->SetVisible(false); }, {{L"root", AccessEvent::Hide}}},
        {"the whole page shown", [&] { page.root->SetVisible(true); }, {{L"root", AccessEvent::Show}}},
    };
    std::vector<bool> installVisibleWhenHeard;
    page.host.onAccessEvent = [&](CControlUI* control, AccessEvent) {
        if (control == page.root)
            installVisibleWhenHeard.push_back(page.host.Find(L"btn_install")->IsVisible());
    };
    for (const Case& c : cases) {
        page.host.accessEvents.clear();
        c.act();
        EXPECT_EQ(c.heard, page.host.accessEvents) << c.what;
    }
    EXPECT_EQ((std::vector<bool>{false, true}), installVisibleWhenHeard)
        << "a page's controls change with it before the event";
}
