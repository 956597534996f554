// Painting of controls by the real window host, checked by the window's
// pixels: colours, gradients, borders, round clipping, state images, text
// and the progress bar; and the links a text control collects while
// painting.
#include <gtest/gtest.h>

#include <sstream>

#include "HostTestWindow.h"
#include "common/TestSupport.h"
#include "skinui/ButtonUI.h"
#include "skinui/ContainerUI.h"
#include "skinui/LabelUI.h"
#include "skinui/ProgressUI.h"
#include "skinui/SkinSource.h"

using namespace SkinUI;
using hosttest::CHostWindow;
using testhost::Make;

namespace {

const DWORD kRed = 0xFF0000;
const DWORD kGreen = 0x00FF00;
const DWORD kBlue = 0x0000FF;

std::string Hex(DWORD value)
{
    std::ostringstream out;
    out << std::hex << value;
    return out.str();
}

// One control as a floating child at `pos` in a 200 x 100 window.
struct Scene {
    CHostWindow host;
    CContainerUI* root = Make<CContainerUI>(L"root");
    template <typename T>
    T* Put(T* control, const wchar_t* pos)
    {
        control->SetAttribute(L"float", L"true");
        control->SetAttribute(L"pos", pos);
        root->Add(control);
        return control;
    }
    void Paint(DWORD clear = 0x000000)
    {
        if (host.GetRoot() == nullptr) {
            host.Attach(root);
            host.Layout(200, 100);
        }
        host.Paint(clear);
    }
};

TEST(ControlPaint, BackColourWithOrWithoutHashAndAlphaZero)
{
    Scene s;
    s.Put(Make<CControlUI>(L"hash", {{L"bkcolor", L"#FFFFFFFF"}}), L"0,0,10,10");
    s.Put(Make<CControlUI>(L"plain", {{L"bkcolor", L"FFFFFFFF"}}), L"20,0,30,10");
    s.Put(Make<CControlUI>(L"blank", {{L"bkcolor", L"  #FF102030"}}), L"40,0,50,10");
    s.Put(Make<CControlUI>(L"clear", {{L"bkcolor", L"#00FFFFFF"}}), L"60,0,70,10");
    s.Paint(0x123456);
    EXPECT_EQ(0xFFFFFFu, s.host.Pixel(5, 5));
    EXPECT_EQ(s.host.Pixel(5, 5), s.host.Pixel(25, 5));
    EXPECT_EQ(0x102030u, s.host.Pixel(45, 5));
    EXPECT_EQ(0x123456u, s.host.Pixel(65, 5)) << "alpha 0 fills nothing, got " << Hex(s.host.Pixel(65, 5));
    EXPECT_EQ(0x123456u, s.host.Pixel(15, 5)) << "nothing outside the controls";
}

TEST(ControlPaint, TranslucentColourBlendsAndGradientsRunTopToBottom)
{
    Scene s;
    s.Put(Make<CControlUI>(L"half", {{L"bkcolor", L"#80FF0000"}}), L"0,0,10,10");
    s.Put(Make<CControlUI>(L"two", {{L"bkcolor", L"#FF000000"}, {L"bkcolor2", L"#FFFFFFFF"}}), L"20,0,30,64");
    s.Put(Make<CControlUI>(L"three", {{L"bkcolor", L"#FFFF0000"}, {L"bkcolor2", L"#FF00FF00"},
                                      {L"bkcolor3", L"#FF0000FF"}}),
          L"40,0,50,64");
    s.Paint(0xFFFFFF);
    DWORD half = s.host.Pixel(5, 5);
    EXPECT_EQ(0xFFu, half >> 16) << Hex(half);
    EXPECT_NEAR(0x7F, static_cast<int>((half >> 8) & 0xFF), 2) << Hex(half);

    DWORD top = s.host.Pixel(25, 0), bottom = s.host.Pixel(25, 63);
    EXPECT_LT(top & 0xFF, 0x20u) << Hex(top);
    EXPECT_GT(bottom & 0xFF, 0xD0u) << Hex(bottom);

    DWORD upper = s.host.Pixel(45, 0), middle = s.host.Pixel(45, 32), lower = s.host.Pixel(45, 63);
    EXPECT_GT(upper >> 16, 0xD0u) << Hex(upper);
    EXPECT_GT((middle >> 8) & 0xFF, 0xD0u) << Hex(middle);
    EXPECT_LT(middle >> 16, 0x30u) << Hex(middle);
    EXPECT_GT(lower & 0xFF, 0xD0u) << Hex(lower);
}

TEST(ControlPaint, OnePixelBorderIgnoresAlphaAndSideRules)
{
    Scene s;
    s.Put(Make<CControlUI>(L"frame", {{L"bordercolor", L"#00CCCCCC"}, {L"bordersize", L"1"}}), L"10,10,50,50");
    s.Put(Make<CControlUI>(L"sides", {{L"bordercolor", L"#FFFF0000"}, {L"bordersize", L"2,0,0,3"}}),
          L"60,10,100,50");
    s.Put(Make<CControlUI>(L"noleft", {{L"bordercolor", L"#FFFF0000"}, {L"bordersize", L"0,2,2,2"}}),
          L"110,10,150,50");
    s.Put(Make<CControlUI>(L"nocolor", {{L"bordersize", L"3"}}), L"160,10,190,50");
    s.Paint(0x000000);
    // Light grey frame, one pixel, inside the rectangle.
    EXPECT_EQ(0xCCCCCCu, s.host.Pixel(10, 30));
    EXPECT_EQ(0xCCCCCCu, s.host.Pixel(49, 30));
    EXPECT_EQ(0xCCCCCCu, s.host.Pixel(30, 10));
    EXPECT_EQ(0xCCCCCCu, s.host.Pixel(30, 49));
    EXPECT_EQ(0u, s.host.Pixel(11, 30));
    EXPECT_EQ(0u, s.host.Pixel(9, 30));
    EXPECT_EQ(0u, s.host.Pixel(50, 30));
    // Left 2 and bottom 3; no top or right line.
    EXPECT_EQ(kRed, s.host.Pixel(60, 20));
    EXPECT_EQ(kRed, s.host.Pixel(61, 20));
    EXPECT_EQ(0u, s.host.Pixel(62, 20));
    EXPECT_EQ(kRed, s.host.Pixel(80, 49));
    EXPECT_EQ(kRed, s.host.Pixel(80, 47));
    EXPECT_EQ(0u, s.host.Pixel(80, 46));
    EXPECT_EQ(0u, s.host.Pixel(80, 10));
    EXPECT_EQ(0u, s.host.Pixel(99, 20));
    // A left size of 0 draws no border at all; no colour draws none either.
    EXPECT_EQ(0, s.host.CountInRow(10, 110, 150, kRed));
    EXPECT_EQ(0u, s.host.Pixel(149, 30));
    EXPECT_EQ(0u, s.host.Pixel(160, 30));
}

TEST(ControlPaint, FocusedBorderColourWhileFocused)
{
    Scene s;
    auto* c = s.Put(Make<CButtonUI>(L"btn", {{L"bordercolor", L"#FF0000FF"}, {L"focusbordercolor", L"#FFFF0000"},
                                             {L"bordersize", L"1"}}),
                    L"10,10,50,50");
    auto* onlyFocus = s.Put(Make<CButtonUI>(L"other", {{L"focusbordercolor", L"#FF00FF00"}, {L"bordersize", L"1"}}),
                            L"60,10,100,50");
    s.Paint(0xFFFFFF);
    EXPECT_EQ(kBlue, s.host.Pixel(10, 30));
    EXPECT_EQ(0xFFFFFFu, s.host.Pixel(60, 30)) << "an unfocused control with only a focus colour has no frame";
    c->SetFocus();
    s.Paint(0xFFFFFF);
    EXPECT_EQ(kRed, s.host.Pixel(10, 30));
    onlyFocus->SetFocus();
    s.Paint(0xFFFFFF);
    EXPECT_EQ(kGreen, s.host.Pixel(60, 30));
    EXPECT_EQ(kBlue, s.host.Pixel(10, 30));
}

TEST(ControlPaint, BorderRoundClipsTheCorners)
{
    Scene s;
    s.Put(Make<CControlUI>(L"round", {{L"bkcolor", L"#FFFF0000"}, {L"borderround", L"20,20"}}), L"10,10,90,90");
    s.Paint(0x000000);
    EXPECT_EQ(0u, s.host.Pixel(10, 10));
    EXPECT_EQ(0u, s.host.Pixel(89, 89));
    EXPECT_EQ(kRed, s.host.Pixel(50, 50));
    EXPECT_EQ(kRed, s.host.Pixel(50, 10));
}

TEST(ControlPaint, ContainersClipTheirChildren)
{
    Scene s;
    auto* box = s.Put(Make<CVerticalLayoutUI>(L"box"), L"0,0,50,50");
    box->Add(Make<CControlUI>(L"big", {{L"bkcolor", L"#FFFF0000"}, {L"float", L"true"}, {L"pos", L"40,40,140,90"}}));
    s.Paint(0x000000);
    EXPECT_EQ(kRed, s.host.Pixel(45, 45));
    EXPECT_EQ(0u, s.host.Pixel(55, 45));
}

TEST(ControlPaint, ReplacedBackgroundImageLeavesTheCache)
{
    const std::string zip = testsupport::ReadFileBytes(testsupport::FixturePath("skin/skin.zip"));
    CSkinSource::ResetSkinSource();
    ASSERT_TRUE(CSkinSource::SetSkinArchive(zip.data(), zip.size()));
    {
        Scene s;
        auto* c = s.Put(Make<CControlUI>(L"banner"), L"0,0,50,50");
        c->SetBkImage(L"img/checked.png");
        s.Paint();
        ASSERT_NE(s.host.ui.FindImage(L"img/checked.png"), nullptr);
        c->ReplaceBkImage(L"img/close-df.png");
        s.Paint();
        EXPECT_EQ(s.host.ui.FindImage(L"img/checked.png"), nullptr);
        EXPECT_NE(s.host.ui.FindImage(L"img/close-df.png"), nullptr);
        c->ReplaceBkImage(L"img/close-df.png");   // the same image again stays
        EXPECT_NE(s.host.ui.FindImage(L"img/close-df.png"), nullptr);
    }
    CSkinSource::ResetSkinSource();
}

TEST(ButtonPaint, StateImagesFollowTheState)
{
    Scene s;
    auto* b = s.Put(Make<CButtonUI>(L"btn", {{L"normalimage", L"color='#FF00FF00'"},
                                             {L"hotimage", L"color='#FF0000FF'"},
                                             {L"pushedimage", L"color='#FFFF0000'"},
                                             {L"disabledimage", L"color='#FF808080'"}}),
                    L"10,10,50,50");
    s.Paint();
    EXPECT_EQ(kGreen, s.host.Pixel(30, 30));
    s.host.MouseMove(30, 30);
    s.Paint();
    EXPECT_EQ(kBlue, s.host.Pixel(30, 30));
    s.host.ButtonDown(30, 30);
    s.Paint();
    EXPECT_EQ(kRed, s.host.Pixel(30, 30));
    s.host.ButtonUp(30, 30);
    s.host.MouseMove(150, 90);
    b->SetEnabled(false);
    s.Paint();
    EXPECT_EQ(0x808080u, s.host.Pixel(30, 30));
}

TEST(ButtonPaint, FadingBlendsNormalIntoHot)
{
    Scene s;
    auto* b = s.Put(Make<CButtonUI>(L"btn", {{L"normalimage", L"color='#FF00FF00'"},
                                             {L"hotimage", L"color='#FF0000FF'"}, {L"fadedelta", L"128"}}),
                    L"10,10,50,50");
    s.Paint();
    EXPECT_EQ(kGreen, s.host.Pixel(30, 30));
    s.host.MouseMove(30, 30);
    s.Paint();
    EXPECT_EQ(kGreen, s.host.Pixel(30, 30)) << "hot, but the fade has not begun";
    ASSERT_TRUE(s.host.FireTimer(b, CButtonUI::kFadeTimerId));
    s.Paint();
    DWORD mixed = s.host.Pixel(30, 30);
    // Alpha 127: green at 127 over black, then blue at 128 over that.
    EXPECT_NEAR(128, static_cast<int>(mixed & 0xFF), 4) << Hex(mixed);
    EXPECT_NEAR(63, static_cast<int>((mixed >> 8) & 0xFF), 4) << Hex(mixed);
    ASSERT_TRUE(s.host.FireTimer(b, CButtonUI::kFadeTimerId));
    s.Paint();
    EXPECT_EQ(kBlue, s.host.Pixel(30, 30));
    EXPECT_FALSE(s.host.TimerRunning(b, CButtonUI::kFadeTimerId));
}

TEST(ButtonPaint, HotBackColourFillsAndSelectedOneStandsInForMissingImages)
{
    Scene s;
    s.Put(Make<CButtonUI>(L"btn", {{L"hotbkcolor", L"#FFFF0000"}}), L"10,10,50,50");
    // Without a hot fore image the hot colour covers the hot image too.
    s.Put(Make<CButtonUI>(L"imaged", {{L"hotbkcolor", L"#FFFF0000"}, {L"hotimage", L"color='#FF00FF00'"}}),
          L"110,10,150,50");
    auto* option = s.Put(Make<COptionUI>(L"opt", {{L"selectedbkcolor", L"#FF0000FF"},
                                                  {L"normalimage", L"color='#FF00FF00'"}}),
                         L"60,10,100,50");
    s.Paint();
    EXPECT_EQ(0u, s.host.Pixel(30, 30));
    EXPECT_EQ(kGreen, s.host.Pixel(80, 30));
    s.host.MouseMove(30, 30);
    s.Paint();
    EXPECT_EQ(kRed, s.host.Pixel(30, 30));
    s.host.MouseMove(130, 30);
    s.Paint();
    EXPECT_EQ(kRed, s.host.Pixel(130, 30));
    option->SetSelected(true);
    s.Paint();
    EXPECT_EQ(kBlue, s.host.Pixel(80, 30));
}

TEST(ButtonPaint, CheckBoxImageGoesToItsDestination)
{
    Scene s;
    auto* check = s.Put(Make<CCheckBoxUI>(L"chk_agree", {{L"normalimage", L"color='#FFFF0000' dest='0,8,14,22'"},
                                                        {L"selectedimage", L"color='#FF0000FF' dest='0,8,14,22'"}}),
                        L"20,10,120,40");
    s.Paint(0x000000);
    EXPECT_EQ(kRed, s.host.Pixel(20, 18));
    EXPECT_EQ(kRed, s.host.Pixel(33, 31));
    EXPECT_EQ(0u, s.host.Pixel(34, 20));
    EXPECT_EQ(0u, s.host.Pixel(25, 17));
    EXPECT_EQ(0u, s.host.Pixel(25, 32));
    EXPECT_EQ(14, s.host.CountInRow(20, 20, 120, kRed));
    s.host.Click(check);
    s.Paint(0x000000);
    EXPECT_EQ(14, s.host.CountInRow(20, 20, 120, kBlue));
}

TEST(ButtonPaint, TextColourDropsAlphaAndFollowsTheState)
{
    Scene s;
    auto* b = s.Put(Make<CButtonUI>(L"btn", {{L"text", L"WWWWWW"}, {L"textcolor", L"#00FFFFFF"},
                                             {L"hottextcolor", L"#FFFF0000"}, {L"align", L"center"}}),
                    L"0,0,200,40");
    s.Paint(0x000000);
    EXPECT_GT(s.host.CountInRect(MakeRect(0, 0, 200, 40), 0xFFFFFF), 0) << "#00FFFFFF draws white";
    s.host.MouseMove(100, 20);
    s.Paint(0x000000);
    EXPECT_EQ(0, s.host.CountInRect(MakeRect(0, 0, 200, 40), 0xFFFFFF));
    EXPECT_GT(s.host.CountInRect(MakeRect(0, 0, 200, 40), kRed), 0);
    b->SetText(L"");
    s.Paint(0x000000);
    EXPECT_EQ(0, s.host.CountInRect(MakeRect(0, 0, 200, 40), kRed)) << "no text, no drawing";
}

TEST(ProgressPaint, ValueThirtyOfWidth540Covers162Pixels)
{
    CHostWindow host(600, 40);
    auto* root = Make<CVerticalLayoutUI>(L"root");
    auto* bar = Make<CProgressUI>(L"progress", {{L"width", L"540"}, {L"value", L"30"},
                                                {L"foreimage", L"color='#FFFF0000'"}, {L"bkcolor", L"#FF0000FF"}});
    root->Add(bar);
    host.Attach(root);
    host.Layout(600, 40);
    host.Paint(0x000000);
    EXPECT_EQ(12, bar->GetHeight());
    EXPECT_EQ(162, host.CountInRow(5, 0, 600, kRed));
    EXPECT_EQ(540 - 162, host.CountInRow(5, 0, 600, kBlue));

    bar->SetMinValue(50);
    bar->SetMaxValue(50);
    bar->SetValue(51);
    host.Paint(0x000000);
    EXPECT_EQ(51, bar->GetMaxValue());
    EXPECT_EQ(540, host.CountInRow(5, 0, 600, kRed));
    bar->SetValue(50);
    host.Paint(0x000000);
    EXPECT_EQ(0, host.CountInRow(5, 0, 600, kRed));

    bar->SetForeImage(L"no-such-image.png");
    bar->SetValue(51);
    host.Paint(0x000000);
    EXPECT_EQ(540, host.CountInRow(5, 0, 600, kBlue)) << "a missing fore image leaves the background";
}

TEST(TextLinks, PaintCollectsAtMostEightLinksAndAClickNotifies)
{
    CHostWindow host(600, 30);
    auto* root = Make<CVerticalLayoutUI>(L"root");
    auto* text = Make<CTextUI>(L"text_license", {{L"showhtml", L"true"}});
    std::wstring markup = L"I agree {a first}AAAA{/a}";
    for (int i = 1; i < 9; ++i)
        markup += L" {a link" + std::to_wstring(i) + L"}L" + std::to_wstring(i) + L"{/a}";
    text->SetText(markup);
    root->Add(text);
    host.Attach(root);
    host.Layout(600, 30);
    host.Paint();
    ASSERT_EQ(8, text->GetLinkCount());
    EXPECT_EQ(L"first", text->GetLinkText(0));
    EXPECT_EQ(L"link7", text->GetLinkText(7));

    RECT link = text->GetLinkRect(0);
    ASSERT_FALSE(RectEmpty(link));
    int x = (link.left + link.right) / 2, y = (link.top + link.bottom) / 2;
    ControlEvent cursor;
    cursor.Type = kEvent_SetCursor;
    cursor.ptMouse = {x, y};
    text->Event(cursor);
    EXPECT_EQ(kCursor_Hand, CHostWindow::Cursor());
    host.MouseMove(x, y);
    EXPECT_EQ(0, text->GetHoverLink());
    host.notes.clear();
    host.Click(x, y);
    ASSERT_EQ(1u, host.NotesOfType(L"link").size());
    EXPECT_EQ(0u, host.notes.back().wParam);
    host.Click(2, y);   // the plain text before the links
    EXPECT_EQ(1u, host.NotesOfType(L"link").size());
}

TEST(LabelPaint, DisabledLabelUsesTheDisabledColour)
{
    Scene s;
    auto* label = s.Put(Make<CLabelUI>(L"label", {{L"text", L"WWWW"}, {L"textcolor", L"#FF00FF00"},
                                                  {L"disabledtextcolor", L"#FFFF0000"}}),
                        L"0,0,200,40");
    s.Paint(0x000000);
    EXPECT_GT(s.host.CountInRect(MakeRect(0, 0, 200, 40), kGreen), 0);
    label->SetEnabled(false);
    s.Paint(0x000000);
    EXPECT_EQ(0, s.host.CountInRect(MakeRect(0, 0, 200, 40), kGreen));
    EXPECT_GT(s.host.CountInRect(MakeRect(0, 0, 200, 40), kRed), 0);
}

} // namespace
