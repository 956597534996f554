// Runs skinview.exe on the fixture skin: the screenshot shows the layout's
// colours at known points (folder and ZIP forms), and a layout that cannot
// be built shows the failure box and ends the process with exit code 1.
#include <gtest/gtest.h>

#include <windows.h>

#include <stb_image.h>

#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "common/WineWindowOptions.h"
#include "logging/TextEncoding.h"

namespace {

std::wstring SkinViewExe() { return testsupport::HostPath(SKINVIEW_EXE); }

// The viewer's windows and its failure box come and go many times here;
// under Wine they stay unmanaged (see WineWindowOptions.h).
const bool kViewerUnmanaged = testsupport::LeaveWindowsUnmanagedUnderWine(
    SkinViewExe().substr(SkinViewExe().find_last_of(L"\\/") + 1));

struct Pixel {
    int x, y;
    unsigned rgb;
    const char* what;
};

// Runs a shot and decodes it; the pixels as RGBA rows, empty on failure.
std::vector<unsigned char> Shot(const std::vector<std::wstring>& args, int& w, int& h)
{
    std::vector<unsigned char> out;
    std::wstring dir = testsupport::MakeTempDir("skinview");
    std::wstring png = dir + L"\\shot.png";
    std::vector<std::wstring> all = args;
    all.push_back(L"--shot");
    all.push_back(png);
    int code = testsupport::RunAndWait(SkinViewExe(), all);
    EXPECT_EQ(code, 0);
    std::string bytes = testsupport::ReadFileBytes(png);
    int n = 0;
    unsigned char* data = bytes.empty() ? nullptr
                                        : stbi_load_from_memory(reinterpret_cast<const unsigned char*>(bytes.data()),
                                                                static_cast<int>(bytes.size()), &w, &h, &n, 4);
    if (data != nullptr) {
        out.assign(data, data + static_cast<size_t>(w) * h * 4);
        stbi_image_free(data);
    }
    testsupport::RemoveTree(dir);
    return out;
}

unsigned RgbAt(const std::vector<unsigned char>& px, int w, int x, int y)
{
    const unsigned char* p = px.data() + (static_cast<size_t>(y) * w + x) * 4;
    return (static_cast<unsigned>(p[0]) << 16) | (static_cast<unsigned>(p[1]) << 8) | p[2];
}

void CheckShot(const std::wstring& skin)
{
    std::wstring dir = testsupport::MakeTempDir("skinview");
    std::wstring png = dir + L"\\shot.png";
    int code = testsupport::RunAndWait(SkinViewExe(), {skin, L"main.xml", L"--shot", png});
    ASSERT_EQ(code, 0);
    int w = 0, h = 0, n = 0;
    std::string bytes = testsupport::ReadFileBytes(png);
    ASSERT_FALSE(bytes.empty()) << "no PNG written";
    unsigned char* data = stbi_load_from_memory(reinterpret_cast<const unsigned char*>(bytes.data()),
                                                static_cast<int>(bytes.size()), &w, &h, &n, 4);
    ASSERT_NE(data, nullptr) << "no PNG written";
    EXPECT_EQ(w, 650);
    EXPECT_EQ(h, 360);
    const Pixel pixels[] = {
        {100, 80, 0xFF0000, "included home layout (red)"},
        {300, 50, 0x00FF00, "logo control (green)"},
        {450, 15, 0xFFFF00, "button b, 30 high from its default list (yellow)"},
        {450, 60, 0x336699, "root background under the short button"},
        {575, 50, 0x808080, "text control (grey)"},
        {50, 125, 0x00FFFF, "first included row copy (cyan)"},
        {250, 125, 0x00FFFF, "third included row copy (cyan)"},
        {320, 125, 0x336699, "past the rows and the 20-wide label: root colour"},
        {300, 250, 0x0000FF, "bottom control (blue)"},
    };
    for (const Pixel& p : pixels) {
        if (p.x >= w || p.y >= h)
            continue;
        const unsigned char* px = data + (static_cast<size_t>(p.y) * w + p.x) * 4;
        unsigned rgb = (static_cast<unsigned>(px[0]) << 16) | (static_cast<unsigned>(px[1]) << 8) | px[2];
        EXPECT_EQ(rgb, p.rgb) << p.what << " at " << p.x << "," << p.y << std::hex << " got 0x" << rgb;
    }
    stbi_image_free(data);
    testsupport::RemoveTree(dir);
}

} // namespace

TEST(SkinViewTest, ShotOfTheFolderSkinShowsTheLayoutColours)
{
    CheckShot(testsupport::FixturePath("skin_test/folder"));
}

TEST(SkinViewTest, ShotOfTheZipSkinShowsTheLayoutColours)
{
    CheckShot(testsupport::FixturePath("skin_test/skin_test.zip"));
}

TEST(SkinViewTest, ShotOfTheSkinArchiveResource)
{
    CheckShot(L"--zipres");
}

// Layouts stored as "xml" resources: the Include source is read as the
// resource id of the included layout.
TEST(SkinViewTest, ShotOfLayoutResourcesWithNumericInclude)
{
    int w = 0, h = 0;
    std::vector<unsigned char> px = Shot({L"--xmlres", L"1"}, w, h);
    ASSERT_FALSE(px.empty());
    ASSERT_EQ(w, 300);
    ASSERT_EQ(h, 200);
    EXPECT_EQ(RgbAt(px, w, 150, 50), 0xFF0000u) << "included part (red)";
    EXPECT_EQ(RgbAt(px, w, 150, 150), 0x00FF00u) << "root below the part (green)";
}

TEST(SkinViewTest, BadCommandLineExitsWithTwo)
{
    EXPECT_EQ(testsupport::RunAndWait(SkinViewExe(), {}), 2);
}

namespace {
BOOL CALLBACK CollectText(HWND child, LPARAM data)
{
    wchar_t text[256] = {};
    GetWindowTextW(child, text, 255);
    reinterpret_cast<std::wstring*>(data)->append(text).append(L"|");
    return TRUE;
}
} // namespace

TEST(SkinViewTest, UnloadableLayoutShowsTheFailureBoxAndExitsWithOne)
{
    for (const wchar_t* layout : {L"broken.xml", L"missing.xml"}) {
        std::wstring cmd = L"\"" + SkinViewExe() + L"\" \"" + testsupport::FixturePath("skin_test/folder") +
                           L"\" " + layout;
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        ASSERT_TRUE(CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        HWND box = nullptr;
        for (int i = 0; i < 300 && box == nullptr; ++i) {
            box = FindWindowW(nullptr, L"SkinUI");
            if (box == nullptr)
                Sleep(50);
        }
        ASSERT_NE(box, nullptr) << "no failure box for " << WideToUtf8(layout);
        std::wstring texts;
        EnumChildWindows(box, CollectText, reinterpret_cast<LPARAM>(&texts));
        EXPECT_NE(texts.find(L"\x52A0\x8F7D\x8D44\x6E90\x6587\x4EF6\x5931\x8D25"), std::wstring::npos)
            << WideToUtf8(texts);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        EXPECT_EQ(code, 1u) << WideToUtf8(layout);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
}
