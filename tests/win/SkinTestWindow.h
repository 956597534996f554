// A skinned test window over the fixture skin: records notifications and
// close requests instead of closing, so tests can drive the real window.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "skinui/SkinSource.h"
#include "skinui/WindowImplBase.h"

namespace skintest {

using namespace SkinUI;

struct SeenNotify {
    std::wstring type;
    std::wstring sender;
    WPARAM wParam;
    LPARAM lParam;
};

// Points the skin source at the fixture skin: the folder, or the ZIP form.
inline void UseFixtureSkin(bool zip)
{
    CSkinSource::ResetSkinSource();
    CSkinSource::SetSkinPath(testsupport::FixturePath(zip ? "skin_test" : "skin_test/folder"));
    if (zip)
        CSkinSource::SetSkinArchive(L"skin_test.zip", true);
}

class CTestSkinWindow : public WindowImplBase {
public:
    explicit CTestSkinWindow(std::wstring layout = L"main.xml") : strLayout(std::move(layout)) {}
    ~CTestSkinWindow() override
    {
        if (hWnd != nullptr && IsWindow(hWnd))
            DestroyWindow(hWnd);
    }

    LPCWSTR WindowClassName() const override { return L"PwSkinTestWindow"; }
    std::wstring SkinFolder() override { return L""; }
    std::wstring SkinFileName() override { return strLayout; }

    void Notify(NotifyMsg& msg) override
    {
        seen.push_back({msg.sType, msg.pSender != nullptr ? msg.pSender->GetName() : L"", msg.wParam, msg.lParam});
        WindowImplBase::Notify(msg);
    }
    LRESULT HandleCloseMessage(UINT, WPARAM wParam, LPARAM, bool& handled) override
    {
        closeRequests.push_back(wParam);
        handled = bSwallowClose;   // stays open for the next check unless asked
        return 0;
    }

    // Made hidden and shown without activation: under Wine's X11 driver an
    // activated top-level window is handed to the window manager, and with
    // none running (Xvfb) destroying it waits two seconds for an answer.
    HWND Open(HWND owner = nullptr)
    {
        HWND hwnd = Create(owner, L"skin test", WS_POPUP, 0, 0, 0, 100, 100);
        if (hwnd != nullptr) {
            ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
            UpdateWindow(hwnd);
            Pump();
        }
        return hwnd;
    }

    // Delivers what is queued (posted messages, timers that are due).
    static void Pump(DWORD forMs = 0)
    {
        DWORD start = GetTickCount();
        do {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (!CWindowHostUI::TranslateMessage(&msg)) {
                    ::TranslateMessage(&msg);
                    DispatchMessageW(&msg);
                }
            }
            if (forMs > 0)
                Sleep(5);
        } while (GetTickCount() - start < forMs);
    }

    std::vector<SeenNotify> OfType(const std::wstring& type) const
    {
        std::vector<SeenNotify> out;
        for (const SeenNotify& n : seen) {
            if (n.type == type)
                out.push_back(n);
        }
        return out;
    }

    std::wstring strLayout;
    std::vector<SeenNotify> seen;
    std::vector<WPARAM> closeRequests;
    bool bSwallowClose = true;
    int nGone = 0;
    void OnWindowGone(HWND window) override
    {
        ++nGone;
        WindowImplBase::OnWindowGone(window);
    }
};

} // namespace skintest
