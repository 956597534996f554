// skinview: opens a skin folder or ZIP and one layout file of it, shows the
// window and logs every notification on standard output. With --shot it
// renders its own client area to a PNG after the first layout and exits.
//
//   skinview.exe <skin folder | skin.zip> <layout.xml> [--shot file.png]
//   skinview.exe --zipres <layout.xml> [--shot file.png]
//   skinview.exe --xmlres <layout id> [--shot file.png]
//
// --zipres reads the skin from the archive embedded in the viewer (type
// "ZIPRES", 104: the fixture skin); --xmlres builds a layout embedded as a
// resource of type "xml" (ids 1 and 2 are built in).
//
// Exit codes: 0 after the window closed or the shot was written, 1 when the
// layout cannot be built (after the load-failure box), 2 for a bad command
// line, 3 when the shot cannot be written.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "logging/TextEncoding.h"
#include "skinui/Dib32.h"
#include "skinui/SkinSource.h"
#include "skinui/WindowImplBase.h"

using namespace SkinUI;

namespace {

const UINT kMsgTakeShot = WM_APP + 20;

class CSkinViewWindow : public WindowImplBase {
public:
    CSkinViewWindow(std::wstring layout, std::wstring shot, int kind)
        : strLayout(std::move(layout)), strShot(std::move(shot)), nKind(kind)
    {
    }
    int SkinSourceKind() const override { return nKind; }
    LPCWSTR SkinResourceId() const override { return MAKEINTRESOURCEW(104); }

    LPCWSTR WindowClassName() const override { return L"SkinViewWindow"; }
    std::wstring SkinFolder() override { return L""; }
    std::wstring SkinFileName() override { return strLayout; }

    void Notify(NotifyMsg& msg) override
    {
        std::wstring sender = msg.pSender != nullptr ? msg.pSender->GetName() : L"";
        std::printf("notify type=%ls sender=%ls wparam=%lu lparam=%ld\n", msg.sType.c_str(), sender.c_str(),
                    static_cast<unsigned long>(msg.wParam), static_cast<long>(msg.lParam));
        std::fflush(stdout);
        if (msg.sType == L"windowinit" && !strShot.empty())
            PostMessage(kMsgTakeShot);
        WindowImplBase::Notify(msg);
    }

    LRESULT HandleDestroyMessage(UINT, WPARAM, LPARAM, bool& handled) override
    {
        PostQuitMessage(nExit);
        handled = false;
        return 0;
    }

    LRESULT HandleOtherMessage(UINT message, WPARAM, LPARAM, bool& handled) override
    {
        if (message != kMsgTakeShot) {
            handled = false;
            return 0;
        }
        nExit = WriteShot() ? 0 : 3;
        Close(static_cast<UINT>(nExit));
        return 0;
    }

    // Renders the client area through the host into a 32-bit bitmap and
    // writes it as RGBA PNG.
    bool WriteShot()
    {
        RECT rc;
        GetClientRect(hWnd, &rc);
        int cx = rc.right - rc.left, cy = rc.bottom - rc.top;
        if (cx <= 0 || cy <= 0)
            return false;
        HDC dc = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        HBITMAP bitmap = SkinUI::CreateDib32(cx, cy, &bits);
        if (dc == nullptr || bitmap == nullptr) {
            if (dc != nullptr)
                DeleteDC(dc);
            if (bitmap != nullptr)
                DeleteObject(bitmap);
            return false;
        }
        HGDIOBJ old = SelectObject(dc, bitmap);
        SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        GdiFlush();
        std::vector<unsigned char> rgba(static_cast<size_t>(cx) * cy * 4);
        const auto* src = static_cast<const unsigned char*>(bits);
        for (size_t i = 0; i < static_cast<size_t>(cx) * cy; ++i) {
            rgba[i * 4 + 0] = src[i * 4 + 2];
            rgba[i * 4 + 1] = src[i * 4 + 1];
            rgba[i * 4 + 2] = src[i * 4 + 0];
            rgba[i * 4 + 3] = 255;
        }
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        std::string path = ::WideToUtf8(strShot);
        bool ok = stbi_write_png(path.c_str(), cx, cy, 4, rgba.data(), cx * 4) != 0;
        std::printf("shot %s %dx%d %s\n", path.c_str(), cx, cy, ok ? "written" : "failed");
        std::fflush(stdout);
        return ok;
    }

    int nExit = 0;

private:
    std::wstring strLayout;
    std::wstring strShot;
    int nKind;
};

bool EndsWithNoCase(const std::wstring& text, const std::wstring& tail)
{
    if (text.size() < tail.size())
        return false;
    return _wcsicmp(text.c_str() + text.size() - tail.size(), tail.c_str()) == 0;
}

} // namespace

int main()
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring skin, layout, shot;
    int kind = 1;
    for (int i = 1; argv != nullptr && i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--shot" && i + 1 < argc)
            shot = argv[++i];
        else if ((arg == L"--zipres" || arg == L"--xmlres") && skin.empty()) {
            kind = arg == L"--zipres" ? 4 : 3;
            skin = arg;
        }
        else if (skin.empty())
            skin = arg;
        else if (layout.empty())
            layout = arg;
    }
    if (argv != nullptr)
        LocalFree(argv);
    if (skin.empty() || layout.empty()) {
        std::fprintf(stderr, "usage: skinview <skin folder | skin.zip> <layout.xml> [--shot file.png]\n");
        return 2;
    }

    CSkinSource::SetModule(GetModuleHandleW(nullptr));
    if (kind != 1) {
        CSkinSource::SetSkinPath(CSkinSource::GetModuleFolder());
    } else if (EndsWithNoCase(skin, L".zip")) {
        size_t slash = skin.find_last_of(L"\\/");
        std::wstring folder = slash == std::wstring::npos ? L"." : skin.substr(0, slash);
        CSkinSource::SetSkinPath(folder);
        CSkinSource::SetSkinArchive(skin.substr(slash == std::wstring::npos ? 0 : slash + 1), true);
    } else {
        CSkinSource::SetSkinPath(skin);
    }

    CSkinViewWindow window(layout, shot, kind);
    if (window.Create(nullptr, L"skinview", WS_POPUP | WS_VISIBLE, 0, 0, 0, 400, 300) == nullptr) {
        std::fprintf(stderr, "the window could not be created (error %lu)\n",
                     static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    window.CenterOnOwner();
    window.ShowWindow(true, true);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!CWindowHostUI::TranslateMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return window.nExit;
}
