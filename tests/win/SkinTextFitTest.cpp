// Every text of the installer fits its control: the built skin and resource
// package, in each language of the package and the right-to-left test row
// ("Arabic", the English texts in the mirrored skin), at 96 and 144 DPI, in
// every page state and in the proxy sign-in dialog. A text fits when the renderer, asked to measure it
// (DT_CALCRECT, the path painting uses), needs no more than the part of the
// control's text rectangle that the window shows: a text that needs more is
// clipped or cut with an ellipsis.
//
// Every text is also legible: in English and in the right-to-left row at 96
// DPI, in every page state and with each button normal, hovered and pressed,
// the text's ink and the background under it are read from the rendered
// pixels, and their contrast meets WCAG AA (4.5:1, 3:1 for large text). The
// colours that the product's package and the window's frame fix are listed
// with their measured ratio instead.
#include <windows.h>

#include <gtest/gtest.h>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iomanip>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "HostTestWindow.h"
#include "SkinTestWindow.h"
#include "app/InstallFlow.h"
#include "app/SpeedLine.h"
#include "common/TestSupport.h"
#include "config/LanguageManager.h"
#include "config/ResourcePackage.h"
#include "logging/TextEncoding.h"
#include "skinui/ButtonUI.h"
#include "skinui/ContainerUI.h"
#include "skinui/Dib32.h"
#include "skinui/LabelUI.h"

namespace {

using namespace SkinUI;
using skintest::CTestSkinWindow;

// The package rows: language code and folder.
const struct {
    const wchar_t* code;
    const char* name;
} kRows[] = {
    {L"1033", "English"}, {L"1028", "ChineseTW"}, {L"1043", "Dutch"},     {L"1036", "French"},
    {L"1031", "German"},  {L"1040", "Italian"},   {L"1041", "Japanese"},  {L"3082", "Spanish"},
    {L"2070", "Portuguese"}, {L"1042", "Korean"}, {L"1025", "Arabic"},
};

// What the main window shows in each page state: the selected page and the
// controls that the states show or hide.
const wchar_t* const kSwitched[] = {L"btn_start", L"btn_install", L"lineLayout", L"customLayout", L"bottomLayout",
                                    L"label_tip"};
struct PageState {
    const char* name;
    int page;
    bool shown[6];   // per kSwitched
    bool agreed;     // the licence box ticked: Install enabled
};
const PageState kStates[] = {
    {"home", 0, {false, true, true, true, false, false}, true},
    {"home, licence not accepted", 0, {false, true, true, true, false, false}, false},
    {"home, install folder refused", 0, {false, true, true, true, true, true}, true},
    {"download", 1, {false, true, true, true, false, false}, true},
    {"finish", 0, {true, false, false, false, false, false}, true},
};

std::string Narrow(const std::wstring& text) { return WideToUtf8(text); }

// The test package: the built one with its right-to-left row, unpacked.
class SkinTextFitTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const std::string zip =
            testsupport::ReadFileBytes(testsupport::HostPath(std::string(PW_BINARY_DIR) + "/tests/e2e/rtl_package.zip"));
        ASSERT_FALSE(zip.empty()) << "no rtl_package.zip in the build";
        strPackage = testsupport::MakeTempDir("fit") + L"\\";
        ::ExtractArchiveToFolder(zip.data(), zip.size(), strPackage);
    }
    static void TearDownTestSuite() { testsupport::RemoveTree(strPackage.substr(0, strPackage.size() - 1)); }

    void SetUp() override
    {
        CSkinSource::ResetSkinSource();
        CSkinSource::SetSkinPath(testsupport::HostPath(std::string(PW_BINARY_DIR) + "/resources"));
        CSkinSource::SetSkinArchive(L"skin.zip", true);
    }
    void TearDown() override { CSkinSource::ResetSkinSource(); }

    static std::wstring strPackage;
};
std::wstring SkinTextFitTest::strPackage;

// The part of a label's text rectangle that the window shows.
RECT ShownTextRect(CLabelUI* label, const RECT& client)
{
    const RECT& item = label->GetPos();
    const RECT pad = label->GetTextPadding();
    RECT rc = MakeRect(item.left + pad.left, item.top + pad.top, item.right - pad.right, item.bottom - pad.bottom);
    rc = RectIntersect(rc, client);
    for (CControlUI* parent = label->GetParent(); parent != nullptr; parent = parent->GetParent())
        rc = RectIntersect(rc, parent->GetPos());
    return rc;
}

// The size the renderer needs for the label's text: one line measured
// without a width limit, several lines within the rectangle's width.
SIZE NeededSize(CWindowHostUI& host, CLabelUI* label, int width)
{
    // Measured from the top: where the line sits in the rectangle does not
    // change its size.
    const UINT style = label->GetTextStyle() & ~(DT_END_ELLIPSIS | DT_VCENTER | DT_BOTTOM);
    if ((style & DT_SINGLELINE) != 0)
        return host.MeasureText(label->GetText(), label->GetFont(), style & ~(DT_CENTER | DT_RIGHT), 9999,
                                label->IsShowHtml());
    return host.MeasureText(label->GetText(), label->GetFont(), style, width, label->IsShowHtml());
}

// The package's texts in the window's controls, as the main window sets them.
void FillTexts(CWindowHostUI& host, LanguageManager& lang)
{
    for (size_t i = 0; i < kSkinTextCount; ++i) {
        if (CControlUI* c = host.LookupControl(std::wstring(kSkinTexts[i].control)))
            c->SetText(lang.GetText(kSkinTexts[i].key));
    }
    if (CControlUI* tip = host.LookupControl(std::wstring(L"label_tip")))
        tip->SetText(lang.GetText(L"STR_PATH_INVALID"));
    if (CControlUI* percent = host.LookupControl(std::wstring(L"label_progress")))
        percent->SetText(ProgressLabelText(100));
}

// Shows one page state, sized and painted as the main window shows it;
// returns the client rectangle.
RECT ShowState(CTestSkinWindow& window, const PageState& state, int dpi)
{
    CWindowHostUI& host = window.Host();
    HWND hwnd = window.GetHWND();
    auto* pages = dynamic_cast<CTabLayoutUI*>(host.LookupControl(std::wstring(L"switch")));
    EXPECT_NE(pages, nullptr);
    if (pages != nullptr)
        pages->SelectPage(state.page);
    for (size_t i = 0; i < sizeof(kSwitched) / sizeof(kSwitched[0]); ++i) {
        if (CControlUI* c = host.LookupControl(std::wstring(kSwitched[i])))
            c->SetVisible(state.shown[i]);
    }
    if (CControlUI* install = host.LookupControl(std::wstring(L"btn_install")))
        install->SetEnabled(state.agreed);
    RECT client = {};
    GetClientRect(hwnd, &client);
    // The install-folder area makes the window taller, as the main window
    // does when it opens.
    const bool folderOpen = host.LookupControl(std::wstring(L"bottomLayout"))->IsVisible();
    const int height = ScaleLength(folderOpen ? 360 + kFoldHeight : 360, dpi);
    if (client.bottom != height) {
        window.ResizeClientArea(client.right, height);
        GetClientRect(hwnd, &client);
    }
    InvalidateRect(hwnd, nullptr, FALSE);
    UpdateWindow(hwnd);
    CTestSkinWindow::Pump();
    return client;
}

// Opens the proxy sign-in dialog at a scale, as it shows after a refused
// sign-in.
HWND OpenSignInDialog(CTestSkinWindow& dialog, LanguageManager& lang, int dpi = 96)
{
    HWND hwnd = dialog.Open();
    if (hwnd == nullptr)
        return nullptr;
    CWindowHostUI& host = dialog.Host();
    if (dpi != host.GetDpi()) {
        RECT suggested = MakeRect(0, 0, ScaleLength(400, dpi), ScaleLength(300, dpi));
        SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    }
    FillTexts(host, lang);
    host.LookupControl(std::wstring(L"proxy_host"))->SetText(L"proxy.example:3128 \x00B7 Office");
    host.LookupControl(std::wstring(L"proxy_again"))->SetVisible(true);
    InvalidateRect(hwnd, nullptr, FALSE);
    UpdateWindow(hwnd);
    CTestSkinWindow::Pump();
    return hwnd;
}

// The visible controls that show a text (the folder field's native edit
// draws its own).
std::vector<CLabelUI*> VisibleTexts(CWindowHostUI& host)
{
    std::vector<CControlUI*> found;
    host.GetRoot()->LookupControl(
        [](CControlUI* c, void* data) -> CControlUI* {
            if (c->QueryControlInterface(L"Label") != nullptr && c->QueryControlInterface(L"Edit") == nullptr &&
                !c->GetText().empty())
                static_cast<std::vector<CControlUI*>*>(data)->push_back(c);
            return nullptr;
        },
        &found, kFind_Visible);
    std::vector<CLabelUI*> labels;
    for (CControlUI* c : found)
        labels.push_back(static_cast<CLabelUI*>(c->QueryControlInterface(L"Label")));
    return labels;
}

TEST_F(SkinTextFitTest, EveryTextFitsInEveryLanguagePageStateAndScale)
{
    std::vector<std::string> problems;
    size_t checked = 0;
    for (const auto& row : kRows) {
        LanguageSystemFacts facts;
        const std::wstring code = row.code;
        facts.uiLanguageCode = [code] { return code; };
        facts.isNativeX64 = [] { return false; };
        LanguageManager lang(facts);
        lang.Init(strPackage);
        ASSERT_EQ(lang.GetLanguageName(), Utf8ToWide(row.name));
        for (int dpi : {96, 144}) {
            CTestSkinWindow window(lang.IsRtl() ? L"main_rtl.xml" : L"main.xml");
            HWND hwnd = window.Open();
            ASSERT_NE(hwnd, nullptr);
            CWindowHostUI& host = window.Host();
            if (dpi != host.GetDpi()) {
                // As when the window moves to a display of that scale.
                RECT suggested = MakeRect(0, 0, ScaleLength(650, dpi), ScaleLength(360, dpi));
                SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
            }
            FillTexts(host, lang);
            // The speed line of a long download, far from done at a slow
            // rate, as the window shortens it for its place.
            CSpeedLine line({lang.GetText(L"STR_DOWNLOAD_SPEED"), lang.GetText(L"STR_DOWNLOAD_UNITS"),
                             lang.GetText(L"STR_MB")});
            DownloadSnapshot snap;
            snap.nTotal = 1048471142;   // 999.9 MB
            snap.nBytesDone = 1;
            line.Update(snap);
            snap.nBytesDone = 116391526;
            snap.nElapsedMs = 400000;
            snap.dBytesPerSecond = 289406;   // 0.28 MB/s
            EXPECT_FALSE(line.Update(snap).empty()) << row.name;
            std::vector<std::wstring> seen;
            auto measure = [&](CWindowHostUI& shownHost, const RECT& client, const char* stateName) {
                for (CLabelUI* label : VisibleTexts(shownHost)) {
                    CControlUI* c = label;
                    const RECT shown = ShownTextRect(label, client);
                    const SIZE need = NeededSize(shownHost, label, RectWidth(shown));
                    ++checked;
                    seen.push_back(c->GetName());
                    if (need.cx > RectWidth(shown) || need.cy > RectHeight(shown)) {
                        std::ostringstream out;
                        out << row.name << " at " << dpi << " DPI, " << stateName << ": " << Narrow(c->GetName())
                            << " \"" << Narrow(c->GetText()) << "\" needs " << need.cx << "x" << need.cy << ", has "
                            << RectWidth(shown) << "x" << RectHeight(shown);
                        problems.push_back(out.str());
                    }
                }
            };
            for (const PageState& state : kStates) {
                const RECT client = ShowState(window, state, dpi);
                auto* speed = dynamic_cast<CLabelUI*>(host.LookupControl(std::wstring(L"label_speed")));
                if (speed != nullptr && speed->IsVisible()) {
                    speed->SetText(line.Fitted([speed](const std::wstring& t) { return speed->FitsOnOneLine(t); }));
                    CTestSkinWindow::Pump();
                }
                measure(host, client, state.name);
            }
            // The proxy sign-in dialog, saying that a sign-in was refused.
            // (Mirroring moves its controls, not their sizes.)
            CTestSkinWindow dialog(L"proxy.xml");
            ASSERT_NE(OpenSignInDialog(dialog, lang, dpi), nullptr);
            CWindowHostUI& dialogHost = dialog.Host();
            RECT dialogClient = {};
            GetClientRect(dialog.GetHWND(), &dialogClient);
            measure(dialogHost, dialogClient, "proxy sign-in");
            // Every text of the package that the window or the dialog shows
            // was measured in some state.
            for (size_t i = 0; i < kSkinTextCount; ++i) {
                const std::wstring name = kSkinTexts[i].control;
                if (host.LookupControl(name) == nullptr && dialogHost.LookupControl(name) == nullptr)
                    continue;
                bool measured = false;
                for (const std::wstring& seenName : seen)
                    measured = measured || seenName == name;
                EXPECT_TRUE(measured) << row.name << " at " << dpi << " DPI: " << Narrow(name) << " was never shown";
            }
        }
    }
    std::string report;
    for (const std::string& p : problems)
        report += p + "\n";
    EXPECT_TRUE(problems.empty()) << problems.size() << " text(s) do not fit:\n" << report;
    // 11 rows x 2 scales x the texts of four page states and the dialog's 7.
    EXPECT_GE(checked, 11u * 2u * (12u + 7u));
}

// ---------------------------------------------------------------- contrast

// The client area as the window paints it, 0x00RRGGBB per pixel.
struct Shot {
    int width = 0;
    int height = 0;
    std::vector<DWORD> pixels;
    DWORD At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x] & 0x00FFFFFF; }
};

Shot TakeShot(HWND hwnd)
{
    Shot shot;
    RECT rc;
    GetClientRect(hwnd, &rc);
    shot.width = rc.right;
    shot.height = rc.bottom;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDib32(shot.width, shot.height, &bits);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    GdiFlush();
    const auto* p = static_cast<const DWORD*>(bits);
    shot.pixels.assign(p, p + static_cast<size_t>(shot.width) * shot.height);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return shot;
}

// WCAG 2 relative luminance and contrast ratio.
double Luminance(DWORD rgb)
{
    auto channel = [](DWORD v) {
        const double c = static_cast<double>(v & 0xFF) / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(rgb >> 16) + 0.7152 * channel(rgb >> 8) + 0.0722 * channel(rgb);
}
double Contrast(DWORD a, DWORD b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

std::string Hex(DWORD rgb)
{
    char text[8];
    std::snprintf(text, sizeof(text), "#%06lX", static_cast<unsigned long>(rgb & 0xFFFFFF));
    return text;
}

// Colours fixed by the product's package (the licence link) and by the
// window's design (the folder tip's red): drawn as they are, and listed.
const struct {
    DWORD rgb;
    const char* what;
} kFixedColors[] = {
    {0x68D1AB, "licence colour STR_LISENCE_COLOR"},
    {0xFF0000, "folder tip red"},
};

// Within a text's rectangle (a few pixels in from its edges, past a button's
// outline) the most frequent colour is the background; the ink is the colour
// farthest from it in luminance among those that cover enough pixels, so
// that the anti-aliased edges of the glyphs, which lie between the two, do
// not count.
struct Reading {
    DWORD back = 0;
    DWORD ink = 0;
    std::map<DWORD, int> counts;
    int minCount = 0;
};
Reading Read(const Shot& shot, RECT rc)
{
    const int inset = std::min(3, static_cast<int>(RectHeight(rc)) / 4);
    rc = MakeRect(std::max<int>(rc.left + inset, 0), std::max<int>(rc.top + inset, 0),
                  std::min<int>(rc.right - inset, shot.width), std::min<int>(rc.bottom - inset, shot.height));
    Reading r;
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x)
            ++r.counts[shot.At(x, y)];
    int most = 0;
    for (const auto& c : r.counts)
        if (c.second > most) {
            most = c.second;
            r.back = c.first;
        }
    const int others = static_cast<int>(RectWidth(rc) * RectHeight(rc)) - most;
    r.minCount = std::max(4, others / 25);
    double farthest = -1;
    for (const auto& c : r.counts) {
        const double d = std::fabs(Luminance(c.first) - Luminance(r.back));
        if (c.first != r.back && c.second >= r.minCount && d > farthest) {
            farthest = d;
            r.ink = c.first;
        }
    }
    return r;
}

TEST_F(SkinTextFitTest, EveryTextMeetsAaContrastInEveryPageStateFromThePixels)
{
    std::vector<std::string> problems;
    std::vector<std::string> fixed;
    double lowest = 99;
    std::string lowestWhat;
    size_t measured = 0;
    for (const char* rowName : {"English", "Arabic"}) {
        LanguageSystemFacts facts;
        const std::wstring code = std::string(rowName) == "English" ? L"1033" : L"1025";
        facts.uiLanguageCode = [code] { return code; };
        facts.isNativeX64 = [] { return false; };
        LanguageManager lang(facts);
        lang.Init(strPackage);
        // One reading per text as the window shows it, then each button
        // hovered and pressed (released away from it: no click).
        auto judgeWindow = [&](CWindowHostUI& host, HWND hwnd, const char* stateName) {
            auto judge = [&](CLabelUI* label, const Shot& shot, const char* look) {
                const Reading r = Read(shot, RectIntersect(label->GetPos(), MakeRect(0, 0, shot.width, shot.height)));
                const TFontInfo* font = host.FontDetails(label->GetFont());
                ASSERT_NE(font, nullptr);
                const bool large = font->nSize >= 24 || (font->bBold && font->nSize >= 19);
                const double need = large ? 3.0 : 4.5;
                std::ostringstream what;
                what << rowName << ", " << stateName << ": " << Narrow(label->GetName()) << " " << look;
                ++measured;
                // A fixed colour (the licence link, the tip's red) drawn in this text is listed with its ratio.
                bool inkFixed = false;
                for (const auto& f : kFixedColors) {
                    auto it = r.counts.find(f.rgb);
                    if (it == r.counts.end() || it->second < r.minCount)
                        continue;
                    inkFixed = inkFixed || f.rgb == r.ink;
                    std::ostringstream line;
                    line << what.str() << ": " << f.what << " " << Hex(f.rgb) << " on " << Hex(r.back) << " "
                         << std::fixed << std::setprecision(2) << Contrast(f.rgb, r.back) << ":1";
                    fixed.push_back(line.str());
                }
                const double ratio = Contrast(r.ink, r.back);
                std::cout << "contrast " << what.str() << ": " << Hex(r.ink) << " on " << Hex(r.back) << " "
                          << std::fixed << std::setprecision(2) << ratio << ":1 (needs " << need << ")"
                          << (inkFixed ? " fixed colour" : "") << "\n";
                if (inkFixed)
                    return;
                if (ratio < lowest) {
                    lowest = ratio;
                    lowestWhat = what.str();
                }
                if (ratio < need) {
                    std::ostringstream line;
                    line << what.str() << ": " << Hex(r.ink) << " on " << Hex(r.back) << " is " << std::fixed
                         << std::setprecision(2) << ratio << ":1, needs " << need << ":1";
                    problems.push_back(line.str());
                }
            };
            const Shot page = TakeShot(hwnd);
            std::vector<CLabelUI*> texts = VisibleTexts(host);
            for (CLabelUI* label : texts)
                judge(label, page, "as shown");
            for (CLabelUI* label : texts) {
                if (label->QueryControlInterface(L"Button") == nullptr || !label->IsEnabled())
                    continue;
                const RECT& rc = label->GetPos();
                const LPARAM centre = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
                SendMessageW(hwnd, WM_MOUSEMOVE, 0, centre);
                judge(label, TakeShot(hwnd), "hovered");
                SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, centre);
                judge(label, TakeShot(hwnd), "pressed");
                SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(0, 0));
                SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(0, 0));
            }
        };
        {
            CTestSkinWindow window(lang.IsRtl() ? L"main_rtl.xml" : L"main.xml");
            HWND hwnd = window.Open();
            ASSERT_NE(hwnd, nullptr);
            CWindowHostUI& host = window.Host();
            ASSERT_EQ(host.GetDpi(), 96);
            FillTexts(host, lang);
            if (CControlUI* speed = host.LookupControl(std::wstring(L"label_speed")))
                speed->SetText(L"24.1 MB of 86.0 MB \u00B7 3.2 MB/s \u00B7 about 27 s left");
            for (const PageState& state : kStates) {
                ShowState(window, state, 96);
                judgeWindow(host, hwnd, state.name);
            }
            EXPECT_TRUE(window.OfType(L"click").empty()) << "a press ended in a click";
        }
        CTestSkinWindow dialog(L"proxy.xml");
        HWND hwnd = OpenSignInDialog(dialog, lang);
        ASSERT_NE(hwnd, nullptr);
        judgeWindow(dialog.Host(), hwnd, "proxy sign-in");
        EXPECT_TRUE(dialog.OfType(L"click").empty()) << "a press in the dialog ended in a click";
    }
    std::cout << "lowest contrast " << std::fixed << std::setprecision(2) << lowest << ":1, " << lowestWhat << "\n";
    for (const std::string& f : fixed)
        std::cout << "fixed colour, not judged: " << f << "\n";
    std::string report;
    for (const std::string& p : problems)
        report += p + "\n";
    EXPECT_TRUE(problems.empty()) << problems.size() << " text(s) below AA contrast:\n" << report;
    EXPECT_FALSE(fixed.empty()) << "the fixed colours were not found where they are drawn";
    // 2 rows x at least the 12 texts of the page states and the dialog's 7,
    // and button looks.
    EXPECT_GE(measured, 2u * (12u + 7u));
}

// ------------------------------------------------------------ high contrast

// Writes a shot as PNG beside the end-to-end pictures of the build.
void KeepShot(const Shot& shot, const std::string& name)
{
    const std::string folder = std::string(PW_BINARY_DIR) + "/e2e-shots/contrast";
    CreateDirectoryW(testsupport::HostPath(std::string(PW_BINARY_DIR) + "/e2e-shots").c_str(), nullptr);
    CreateDirectoryW(testsupport::HostPath(folder).c_str(), nullptr);
    std::vector<unsigned char> rgba(shot.pixels.size() * 4);
    for (size_t i = 0; i < shot.pixels.size(); ++i) {
        rgba[i * 4 + 0] = static_cast<unsigned char>(shot.pixels[i] >> 16);
        rgba[i * 4 + 1] = static_cast<unsigned char>(shot.pixels[i] >> 8);
        rgba[i * 4 + 2] = static_cast<unsigned char>(shot.pixels[i]);
        rgba[i * 4 + 3] = 255;
    }
    const std::string path = WideToUtf8(testsupport::HostPath(folder + "/" + name + ".png"));
    EXPECT_NE(stbi_write_png(path.c_str(), shot.width, shot.height, 4, rgba.data(), shot.width * 4), 0) << path;
}

// The visible controls, and among them the pictures: controls with an image
// and no text (the logos, the banner).
std::vector<CControlUI*> VisibleControls(CWindowHostUI& host)
{
    std::vector<CControlUI*> found;
    host.GetRoot()->LookupControl(
        [](CControlUI* c, void* data) -> CControlUI* {
            static_cast<std::vector<CControlUI*>*>(data)->push_back(c);
            return nullptr;
        },
        &found, kFind_Visible);
    return found;
}
bool IsPicture(CControlUI* c) { return !c->GetBkImage().empty() && c->GetText().empty(); }
bool Contains(CControlUI* outer, CControlUI* inner)
{
    for (; inner != nullptr; inner = inner->GetParent())
        if (inner == outer)
            return true;
    return false;
}

// Wine cannot switch the system's high-contrast mode on (SPI_SETHIGHCONTRAST
// fails there), so this test forces it through the window host's
// ForceHighContrast, which only tests call, under a scheme unlike the
// skin's. The three pages and the sign-in dialog are kept as pictures in
// both modes.
TEST_F(SkinTextFitTest, HighContrastDrawsSystemColoursAndNoImageBehindText)
{
    hosttest::CHighContrastScheme scheme;
    ASSERT_TRUE(scheme.Set());
    auto rgb = [](int index) { return CSkinResources::SystemColor(index) & 0xFFFFFF; };
    ASSERT_EQ(rgb(COLOR_WINDOW), 0x000000u);

    LanguageSystemFacts facts;
    facts.uiLanguageCode = [] { return std::wstring(L"1033"); };
    facts.isNativeX64 = [] { return false; };
    LanguageManager lang(facts);
    lang.Init(strPackage);
    CTestSkinWindow window(L"main.xml");
    HWND hwnd = window.Open();
    ASSERT_NE(hwnd, nullptr);
    CWindowHostUI& host = window.Host();
    FillTexts(host, lang);
    // The first banner, as the download page shows it.
    host.LookupControl(std::wstring(L"banner"))->ReplaceBkImage(strPackage + L"English\\pr_1.png");
    const PageState* pages[] = {&kStates[0], &kStates[3], &kStates[4]};
    const char* names[] = {"home", "download", "finish"};
    Shot normal[3];
    size_t pictures = 0;
    for (bool contrast : {false, true}) {
        host.ForceHighContrast(contrast);
        for (int i = 0; i < 3; ++i) {
            ShowState(window, *pages[i], 96);
            const Shot shot = TakeShot(hwnd);
            KeepShot(shot, std::string(contrast ? "high-contrast-" : "normal-") + names[i]);
            if (!contrast) {
                normal[i] = shot;
                continue;
            }
            // A picture keeps the skin's background under it (the dark logo
            // stays readable on a black window): inside its frame it looks
            // as in the skin's colours, pixel for pixel.
            // (Controls over it, such as the buttons floating on the
            // banner, are left out.)
            const std::vector<CControlUI*> shown = VisibleControls(host);
            for (CControlUI* picture : shown) {
                if (!IsPicture(picture))
                    continue;
                RECT rc = picture->GetPos();
                InflateRect(&rc, -1, -1);
                // The banner reaches under the window's 1-pixel frame.
                rc = RectIntersect(rc, MakeRect(1, 1, shot.width - 1, shot.height - 1));
                auto covered = [&](int x, int y) {
                    const POINT pt = {x, y};
                    for (CControlUI* other : shown)
                        if (!Contains(other, picture) && PtInRect(&other->GetPos(), pt))
                            return true;
                    return false;
                };
                int differ = 0;
                for (int y = rc.top; y < rc.bottom; ++y)
                    for (int x = rc.left; x < rc.right; ++x)
                        differ += shot.At(x, y) != normal[i].At(x, y) && !covered(x, y) ? 1 : 0;
                ++pictures;
                EXPECT_EQ(differ, 0) << names[i] << ": " << Narrow(picture->GetBkImage())
                                     << " differs from its look in the skin's colours";
            }
        }
    }
    EXPECT_GE(pictures, 2u + 1u + 2u) << "the logos of the home and finish pages, the banner";
    // The home page in high contrast: text on the window colour, the
    // focused Install button lit and framed, and nothing of its image.
    ShowState(window, kStates[0], 96);
    host.SetFocus(host.LookupControl(std::wstring(L"btn_install")), false);
    const Shot shot = TakeShot(hwnd);
    auto reading = [&](const wchar_t* name) {
        return Read(shot, host.LookupControl(std::wstring(name))->GetPos());
    };
    const Reading fold = reading(L"chk_fold");
    EXPECT_EQ(Hex(fold.back), Hex(rgb(COLOR_WINDOW)));
    EXPECT_EQ(Hex(fold.ink), Hex(rgb(COLOR_WINDOWTEXT)));
    const Reading install = reading(L"btn_install");
    EXPECT_EQ(Hex(install.back), Hex(rgb(COLOR_HIGHLIGHT))) << "the focused button";
    EXPECT_EQ(Hex(install.ink), Hex(rgb(COLOR_HIGHLIGHTTEXT)));
    EXPECT_EQ(install.counts.count(0x268261), 0u) << "the button image is drawn behind its text";
    host.ForceHighContrast(false);

    // The sign-in dialog after a refusal: the refusal's red and the labels
    // in the window's colours, the buttons without their images.
    CTestSkinWindow dialog(L"proxy.xml");
    HWND dialogWnd = OpenSignInDialog(dialog, lang);
    ASSERT_NE(dialogWnd, nullptr);
    CWindowHostUI& dialogHost = dialog.Host();
    KeepShot(TakeShot(dialogWnd), "normal-proxy-sign-in");
    dialogHost.ForceHighContrast(true);
    const Shot dialogShot = TakeShot(dialogWnd);
    KeepShot(dialogShot, "high-contrast-proxy-sign-in");
    auto dialogReading = [&](const wchar_t* name) {
        return Read(dialogShot, dialogHost.LookupControl(std::wstring(name))->GetPos());
    };
    for (const wchar_t* name : {L"proxy_again", L"proxy_user_label", L"proxy_title"}) {
        const Reading r = dialogReading(name);
        EXPECT_EQ(Hex(r.back), Hex(rgb(COLOR_WINDOW))) << Narrow(name);
        EXPECT_EQ(Hex(r.ink), Hex(rgb(COLOR_WINDOWTEXT))) << Narrow(name);
    }
    const Reading cancel = dialogReading(L"proxy_cancel");
    EXPECT_EQ(Hex(cancel.back), Hex(rgb(COLOR_BTNFACE)));
    EXPECT_EQ(Hex(cancel.ink), Hex(rgb(COLOR_BTNTEXT)));
    dialogHost.ForceHighContrast(false);
}

} // namespace
