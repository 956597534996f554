// The edit box's native window on the real window host under Wine: opening
// on focus with the control's font and text, one "textchanged" per change
// with the texts kept equal, "return", the window's settings, the colour
// messages, and closing when the focus goes elsewhere.
#include <gtest/gtest.h>

#include "HostTestWindow.h"
#include "skinui/ButtonUI.h"
#include "skinui/ContainerUI.h"
#include "skinui/EditUI.h"

using namespace SkinUI;
using hosttest::CHostWindow;
using hosttest::Pump;

namespace {

std::wstring WindowText(HWND hwnd)
{
    wchar_t buffer[512] = {};
    GetWindowTextW(hwnd, buffer, 512);
    return buffer;
}

std::wstring ClassOf(HWND hwnd)
{
    wchar_t buffer[64] = {};
    GetClassNameW(hwnd, buffer, 64);
    return buffer;
}

struct EditScene {
    CHostWindow host{650, 360};
    CEditUI* edit = nullptr;
    CButtonUI* button = nullptr;

    explicit EditScene(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> attributes = {})
    {
        host.ui.AddFontEntry(2, L"Tahoma", 16, false, false, false);
        auto* root = new CVerticalLayoutUI;
        root->SetName(L"root");
        edit = new CEditUI;
        edit->SetName(L"edit_path");
        edit->SetAttribute(L"height", L"30");
        edit->SetAttribute(L"font", L"2");
        edit->SetAttribute(L"textpadding", L"4,0,4,0");
        edit->SetText(L"C:\\Program Files\\Pathwick");
        for (const auto& a : attributes)
            edit->SetAttribute(a.first, a.second);
        button = new CButtonUI;
        button->SetName(L"btn_install");
        button->SetAttribute(L"height", L"30");
        root->Add(edit);
        root->Add(button);
        host.Attach(root);
        host.Layout(650, 360);
        Pump();
        host.notes.clear();
    }
};

TEST(EditUI, FocusOpensTheNativeWindowWithTheControlsFontAndText)
{
    EditScene s;
    EXPECT_FALSE(s.edit->IsEditing());
    s.edit->SetFocus();
    ASSERT_TRUE(s.edit->IsEditing());
    HWND native = s.edit->GetNativeHandle();
    ASSERT_TRUE(IsWindow(native));
    EXPECT_EQ(L"EditWnd", ClassOf(native));
    EXPECT_EQ(s.host.GetHWND(), GetParent(native));
    EXPECT_TRUE(IsWindowVisible(native));
    EXPECT_EQ(native, GetFocus());
    EXPECT_EQ(L"C:\\Program Files\\Pathwick", WindowText(native));
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(native, WM_GETFONT, 0, 0));
    EXPECT_EQ(s.host.ui.GetFont(2), font);
    EXPECT_EQ(s.edit, s.host.ui.NativeWindowOwner(native)) << "the host knows the native window's owner";

    // One line of the font, centred in the text area, margins 0, caret at the end.
    RECT rc;
    GetWindowRect(native, &rc);
    MapWindowPoints(nullptr, s.host.GetHWND(), reinterpret_cast<POINT*>(&rc), 2);
    const int line = s.host.ui.FontHeight(2);
    EXPECT_EQ(line, RectHeight(rc));
    EXPECT_EQ(4, rc.left);
    EXPECT_EQ(646, rc.right);
    EXPECT_EQ((30 - line) / 2, rc.top);
    EXPECT_EQ(0, SendMessageW(native, EM_GETMARGINS, 0, 0));
    DWORD start = 0, end = 0;
    SendMessageW(native, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(WindowText(native).size(), start);
    EXPECT_EQ(start, end);
    EXPECT_EQ(255, SendMessageW(native, EM_GETLIMITTEXT, 0, 0));
}

TEST(EditUI, TypingSendsOneTextChangedPerChangeAndKeepsTheTextsEqual)
{
    EditScene s;
    s.edit->SetFocus();
    HWND native = s.edit->GetNativeHandle();
    ASSERT_TRUE(IsWindow(native));
    s.host.notes.clear();
    std::vector<std::wstring> seen;
    for (wchar_t ch : {L'x', L'y', L'z'}) {
        SendMessageW(native, WM_CHAR, ch, 1);
        ASSERT_EQ(seen.size() + 1, s.host.NotesOfType(L"textchanged").size()) << "synchronously, one per character";
        EXPECT_EQ(WindowText(native), s.edit->GetText());
        seen.push_back(s.edit->GetText());
    }
    EXPECT_EQ(L"C:\\Program Files\\Pathwickxyz", s.edit->GetText());
    EXPECT_EQ(std::vector<std::wstring>({L"edit_path", L"edit_path", L"edit_path"}),
              s.host.NotesOfType(L"textchanged"));

    SendMessageW(native, WM_CHAR, VK_BACK, 1);
    EXPECT_EQ(4u, s.host.NotesOfType(L"textchanged").size());
    EXPECT_EQ(L"C:\\Program Files\\Pathwickxy", s.edit->GetText());
}

TEST(EditUI, SetTextWhileEditingReachesTheNativeWindow)
{
    EditScene s({{L"password", L"true"}});
    s.edit->SetFocus();
    HWND native = s.edit->GetNativeHandle();
    ASSERT_TRUE(IsWindow(native));
    s.host.notes.clear();
    s.edit->SetText(L"D:\\Other");
    EXPECT_EQ(L"D:\\Other", WindowText(native));
    EXPECT_EQ(L"D:\\Other", s.edit->GetText());
    EXPECT_EQ(1u, s.host.NotesOfType(L"textchanged").size());

    // A resize while editing has the host focus the box again on its next
    // paint, even when the focus went elsewhere meanwhile.
    SendMessageW(s.host.GetHWND(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(650, 360));
    s.host.ui.SetFocus(nullptr);
    EXPECT_FALSE(s.edit->IsEditing());
    UpdateWindow(s.host.GetHWND());
    EXPECT_EQ(s.edit, s.host.ui.GetFocus());
    EXPECT_TRUE(s.edit->IsEditing());
}

TEST(EditUI, ReturnSendsReturnAndIsConsumed)
{
    EditScene s;
    s.edit->SetFocus();
    HWND native = s.edit->GetNativeHandle();
    s.host.notes.clear();
    EXPECT_EQ(0, SendMessageW(native, WM_KEYDOWN, VK_RETURN, 1));
    SendMessageW(native, WM_CHAR, L'\r', 1);
    EXPECT_EQ(std::vector<std::wstring>({L"edit_path"}), s.host.NotesOfType(L"return"));
    EXPECT_TRUE(s.host.NotesOfType(L"textchanged").empty());
    EXPECT_EQ(L"C:\\Program Files\\Pathwick", WindowText(native));
}

TEST(EditUI, LosingTheFocusClosesTheNativeWindow)
{
    EditScene s;
    s.edit->SetFocus();
    HWND native = s.edit->GetNativeHandle();
    SendMessageW(native, WM_CHAR, L'!', 1);
    ASSERT_TRUE(IsWindow(native));

    // The window of the host takes the keyboard focus back.
    SetFocus(s.host.GetHWND());
    Pump();
    EXPECT_FALSE(IsWindow(native));
    EXPECT_FALSE(s.edit->IsEditing());
    EXPECT_EQ(nullptr, s.edit->GetNativeHandle());
    EXPECT_EQ(nullptr, s.host.ui.NativeWindowOwner(native));
    EXPECT_EQ(L"C:\\Program Files\\Pathwick!", s.edit->GetText());

    // Focusing another control of the host does the same.
    s.host.ui.SetFocus(nullptr);
    s.edit->SetFocus();
    native = s.edit->GetNativeHandle();
    ASSERT_TRUE(IsWindow(native));
    s.button->SetFocus();
    Pump();
    EXPECT_FALSE(IsWindow(native));
    EXPECT_FALSE(s.edit->IsEditing());
    EXPECT_EQ(s.button, s.host.ui.GetFocus());

    // So does hiding the edit box while it edits, and deleting the tree.
    s.edit->SetFocus();
    native = s.edit->GetNativeHandle();
    ASSERT_TRUE(IsWindow(native));
    s.edit->SetVisible(false);
    EXPECT_FALSE(IsWindow(native));
    s.edit->SetVisible(true);
    s.edit->SetFocus();
    native = s.edit->GetNativeHandle();
    ASSERT_TRUE(IsWindow(native));
}

TEST(EditUI, SettingsReachTheNativeWindow)
{
    EditScene s({{L"password", L"true"}, {L"maxchar", L"12"}, {L"readonly", L"true"}, {L"autoselall", L"true"},
                 {L"align", L"center"}});
    s.edit->SetFocus();
    HWND native = s.edit->GetNativeHandle();
    ASSERT_TRUE(IsWindow(native));
    const LONG style = GetWindowLongW(native, GWL_STYLE);
    EXPECT_NE(0, style & ES_PASSWORD);
    EXPECT_NE(0, style & ES_READONLY);
    EXPECT_NE(0, style & ES_CENTER);
    EXPECT_NE(0, style & ES_AUTOHSCROLL);
    EXPECT_EQ(L'*', static_cast<wchar_t>(SendMessageW(native, EM_GETPASSWORDCHAR, 0, 0)));
    EXPECT_EQ(12, SendMessageW(native, EM_GETLIMITTEXT, 0, 0));
    DWORD start = 1, end = 0;
    SendMessageW(native, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(0u, start);
    EXPECT_EQ(WindowText(native).size(), end);
}

TEST(EditUI, ColourMessagesReturnTheBrushOfTheNativeBackground)
{
    struct Case {
        const wchar_t* color;
        bool brush;
    } cases[] = {{L"#FFFFFFFF", false}, {L"#FF336699", true}, {L"#80336699", true}};
    for (const Case& c : cases) {
        EditScene s({{L"nativebkcolor", c.color}, {L"textcolor", L"#FF112233"}});
        s.edit->SetFocus();
        HWND native = s.edit->GetNativeHandle();
        ASSERT_TRUE(IsWindow(native));
        HDC dc = GetDC(native);
        LRESULT first = SendMessageW(native, WM_CTLCOLOREDIT + 0x2000, reinterpret_cast<WPARAM>(dc),
                                     reinterpret_cast<LPARAM>(native));
        EXPECT_EQ(c.brush, first != 0) << "colour case " << (&c - cases);
        if (c.brush) {
            EXPECT_EQ(RGB(0x11, 0x22, 0x33), GetTextColor(dc));
            EXPECT_EQ(TRANSPARENT, GetBkMode(dc));
        }
        if (c.brush && c.color[1] == L'F') {
            LRESULT second = SendMessageW(native, WM_CTLCOLOREDIT + 0x2000, reinterpret_cast<WPARAM>(dc),
                                          reinterpret_cast<LPARAM>(native));
            EXPECT_EQ(first, second) << "the solid brush is made once";
        }
        ReleaseDC(native, dc);
    }
}

TEST(EditUI, NativeBackgroundComesBackThroughTheHostWindow)
{
    // While it paints, the native window asks the host window for its
    // colours; the host hands the question back to it, and its brush fills.
    // In high contrast the field edits in the system's window colours
    // instead of the skin's, read-only too, from the moment the mode comes.
    hosttest::CHighContrastScheme scheme;
    ASSERT_TRUE(scheme.Set());
    for (bool contrast : {false, true}) {
        for (const wchar_t* readOnly : {L"false", L"true"}) {
            EditScene s({{L"nativebkcolor", L"#FF336699"}, {L"textcolor", L"#FFFFFFFF"}, {L"readonly", readOnly}});
            s.edit->SetFocus();
            HWND native = s.edit->GetNativeHandle();
            ASSERT_TRUE(IsWindow(native));
            UpdateWindow(native);
            // The mode switched on while the field edits repaints it.
            s.host.ui.ForceHighContrast(contrast);
            UpdateWindow(native);
            RECT rc;
            GetClientRect(native, &rc);
            void* bits = nullptr;
            HBITMAP copy = CreateDib32(rc.right, rc.bottom, &bits);
            HDC copyDC = CreateCompatibleDC(nullptr);
            HGDIOBJ old = SelectObject(copyDC, copy);
            HDC dc = GetDC(native);
            BitBlt(copyDC, 0, 0, rc.right, rc.bottom, dc, 0, 0, SRCCOPY);
            ReleaseDC(native, dc);
            GdiFlush();
            const auto* pixels = static_cast<const DWORD*>(bits);
            const DWORD back = contrast ? 0x000000 : 0x336699;
            const DWORD ink = contrast ? 0xFFFF00 : 0xFFFFFF;
            int inked = 0;
            for (int i = 0; i < rc.right * rc.bottom; ++i)
                inked += (pixels[i] & 0xFFFFFF) == ink ? 1 : 0;
            const std::string what = std::string(contrast ? "high contrast" : "skin colours") +
                                     (readOnly[0] == L't' ? ", read-only" : "");
            EXPECT_EQ(back, pixels[(rc.bottom / 2) * rc.right + rc.right - 3] & 0xFFFFFF) << what;
            EXPECT_GT(inked, 20) << what << ": the text's ink";
            SelectObject(copyDC, old);
            DeleteDC(copyDC);
            DeleteObject(copy);
            s.host.ui.ForceHighContrast(false);
        }
    }
}

TEST(EditUI, ClickOnTheFocusedEditOpensItAndDisabledDoesNot)
{
    EditScene s;
    s.host.Click(100, 15);
    ASSERT_TRUE(s.edit->IsEditing());
    EXPECT_EQ(s.edit, s.host.ui.GetFocus());
    s.button->SetFocus();
    Pump();
    s.edit->SetEnabled(false);
    s.host.Click(100, 15);
    EXPECT_FALSE(s.edit->IsEditing());
    ControlEvent cursor;
    cursor.Type = kEvent_SetCursor;
    s.edit->SetEnabled(true);
    s.edit->Event(cursor);
    EXPECT_EQ(kCursor_IBeam, CHostWindow::Cursor());
}

TEST(EditUI, ClosingDeletesTheBackgroundBrushes)
{
    // Wine keeps no GDI object count, so the brushes are checked one by one:
    // each brush handed out lives until its window closes.
    for (const wchar_t* color : {L"#FF336699", L"#80336699"}) {
        EditScene s({{L"nativebkcolor", color}});
        std::vector<HGDIOBJ> brushes;
        for (int i = 0; i < 3; ++i) {
            s.edit->SetFocus();
            HWND native = s.edit->GetNativeHandle();
            ASSERT_TRUE(IsWindow(native));
            HDC dc = GetDC(native);
            auto brush = reinterpret_cast<HGDIOBJ>(SendMessageW(native, WM_CTLCOLOREDIT + 0x2000,
                                                                reinterpret_cast<WPARAM>(dc),
                                                                reinterpret_cast<LPARAM>(native)));
            ReleaseDC(native, dc);
            ASSERT_NE(nullptr, brush);
            EXPECT_EQ(static_cast<DWORD>(OBJ_BRUSH), GetObjectType(brush));
            brushes.push_back(brush);
            s.button->SetFocus();
            Pump();
            EXPECT_FALSE(s.edit->IsEditing());
            EXPECT_EQ(0u, GetObjectType(brush)) << "the brush is deleted with its window";
        }
    }
}

} // namespace
