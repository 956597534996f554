// Every text of the installer fits its control: the built skin and resource
// package, in each language of the package and the right-to-left test row
// ("Arabic", the English texts in the mirrored skin), at 96 and 144 DPI, in
// every page state. A text fits when the renderer, asked to measure it
// (DT_CALCRECT, the path painting uses), needs no more than the part of the
// control's text rectangle that the window shows: a text that needs more is
// clipped or cut with an ellipsis.
#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "SkinTestWindow.h"
#include "app/InstallFlow.h"
#include "app/SpeedLine.h"
#include "common/TestSupport.h"
#include "config/LanguageManager.h"
#include "config/ResourcePackage.h"
#include "logging/TextEncoding.h"
#include "skinui/ButtonUI.h"
#include "skinui/ContainerUI.h"
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
};
const PageState kStates[] = {
    {"home", 0, {false, true, true, true, false, false}},
    {"home, install folder refused", 0, {false, true, true, true, true, true}},
    {"download", 1, {false, true, true, true, false, false}},
    {"finish", 0, {true, false, false, false, false, false}},
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
            for (size_t i = 0; i < kSkinTextCount; ++i) {
                if (CControlUI* c = host.LookupControl(std::wstring(kSkinTexts[i].control)))
                    c->SetText(lang.GetText(kSkinTexts[i].key));
            }
            if (CControlUI* tip = host.LookupControl(std::wstring(L"label_tip")))
                tip->SetText(lang.GetText(L"STR_PATH_INVALID"));
            if (CControlUI* percent = host.LookupControl(std::wstring(L"label_progress")))
                percent->SetText(ProgressLabelText(100));
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
            for (const PageState& state : kStates) {
                auto* pages = dynamic_cast<CTabLayoutUI*>(host.LookupControl(std::wstring(L"switch")));
                ASSERT_NE(pages, nullptr);
                pages->SelectPage(state.page);
                for (size_t i = 0; i < sizeof(kSwitched) / sizeof(kSwitched[0]); ++i) {
                    if (CControlUI* c = host.LookupControl(std::wstring(kSwitched[i])))
                        c->SetVisible(state.shown[i]);
                }
                RECT client = {};
                GetClientRect(hwnd, &client);
                // The install-folder area makes the window taller, as the
                // main window does when it opens.
                const bool folderOpen = host.LookupControl(std::wstring(L"bottomLayout"))->IsVisible();
                const int height = ScaleLength(folderOpen ? 360 + kFoldHeight : 360, dpi);
                if (client.bottom != height) {
                    window.ResizeClientArea(client.right, height);
                    GetClientRect(hwnd, &client);
                }
                InvalidateRect(hwnd, nullptr, FALSE);
                UpdateWindow(hwnd);
                CTestSkinWindow::Pump();
                auto* speed = dynamic_cast<CLabelUI*>(host.LookupControl(std::wstring(L"label_speed")));
                if (speed != nullptr && speed->IsVisible()) {
                    speed->SetText(line.Fitted([speed](const std::wstring& t) { return speed->FitsOnOneLine(t); }));
                    CTestSkinWindow::Pump();
                }

                std::vector<CControlUI*> labels;
                host.GetRoot()->LookupControl(
                    [](CControlUI* c, void* data) -> CControlUI* {
                        if (c->QueryControlInterface(L"Label") != nullptr && c->QueryControlInterface(L"Edit") == nullptr &&
                            !c->GetText().empty())
                            static_cast<std::vector<CControlUI*>*>(data)->push_back(c);
                        return nullptr;
                    },
                    &labels, kFind_Visible);
                for (CControlUI* c : labels) {
                    auto* label = static_cast<CLabelUI*>(c->QueryControlInterface(L"Label"));
                    const RECT shown = ShownTextRect(label, client);
                    const SIZE need = NeededSize(host, label, RectWidth(shown));
                    ++checked;
                    seen.push_back(c->GetName());
                    if (need.cx > RectWidth(shown) || need.cy > RectHeight(shown)) {
                        std::ostringstream out;
                        out << row.name << " at " << dpi << " DPI, " << state.name << ": " << Narrow(c->GetName())
                            << " \"" << Narrow(c->GetText()) << "\" needs " << need.cx << "x" << need.cy << ", has "
                            << RectWidth(shown) << "x" << RectHeight(shown);
                        problems.push_back(out.str());
                    }
                }
            }
            // Every text of the package that the skin shows was measured in
            // some state.
            for (size_t i = 0; i < kSkinTextCount; ++i) {
                if (host.LookupControl(std::wstring(kSkinTexts[i].control)) == nullptr)
                    continue;
                bool measured = false;
                for (const std::wstring& name : seen)
                    measured = measured || name == kSkinTexts[i].control;
                EXPECT_TRUE(measured) << row.name << " at " << dpi << " DPI: " << Narrow(kSkinTexts[i].control)
                                      << " was never shown";
            }
        }
    }
    std::string report;
    for (const std::string& p : problems)
        report += p + "\n";
    EXPECT_TRUE(problems.empty()) << problems.size() << " text(s) do not fit:\n" << report;
    // 11 rows x 2 scales x the texts of four page states.
    EXPECT_GE(checked, 11u * 2u * 12u);
}

} // namespace
