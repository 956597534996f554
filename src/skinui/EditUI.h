// CEditUI, a single-line edit box. While it has the focus a native edit
// window (CEditWnd, kind "EditWnd" superclassing the system "Edit") lies
// over it and does the editing; every change of the native text is copied
// back into the control and reported as "textchanged", Return as "return".
// Losing the focus closes the native window and the control draws its text
// again. The edit box owns its native window while it edits.
//
// Classes in this file: CEditUI, CEditWnd (Windows only).
#pragma once

#include "skinui/LabelUI.h"
#include "skinui/WindowWnd.h"

namespace SkinUI {

class CEditWnd;

class CEditUI : public CLabelUI {
public:
    CEditUI();
    ~CEditUI() override;

    std::wstring GetClass() const override;
    CControlUI* QueryControlInterface(const std::wstring& name) override;
    UINT ControlFlags() const override;
    HWND GetNativeHandle() const override;
    void SetText(const std::wstring& text) override;
    void SetEnabled(bool enabled = true) override;
    void SetVisible(bool visible = true) override;
    void SetVisibleByParent(bool visible) override;
    void HandleEvent(ControlEvent& event) override;
    void SetAttribute(const std::wstring& name, const std::wstring& value) override;
    SIZE MeasureSize(SIZE available) override;
    void PaintStateImage(HDC hDC, const RECT& rcPaint) override;
    void PaintText(HDC hDC, const RECT& rcPaint) override;

    // Overwrites the text where the box keeps it, its own copy and its
    // native window's, and empties both: a password field, before the window
    // it is in goes. (A password field also wipes the copies it makes of
    // each change.)
    void WipeText();
    bool IsEditing() const { return pWindow != nullptr; }
    int GetMaxChar() const { return nMaxChar; }
    void SetMaxChar(int count);
    bool IsReadOnly() const { return bReadOnly; }
    void SetReadOnly(bool readOnly);
    bool IsNumberOnly() const { return bNumberOnly; }
    void SetNumberOnly(bool numberOnly);
    bool IsPassword() const { return bPassword; }
    void SetPassword(bool password);
    wchar_t GetPasswordChar() const { return chPassword; }
    bool IsAutoSelectAll() const { return bAutoSelAll; }
    void SetAutoSelectAll(bool all) { bAutoSelAll = all; }
    DWORD GetNativeBkColor() const { return dwNativeBkColor; }
    void SetNativeBkColor(DWORD color) { dwNativeBkColor = color; }
    UINT GetButtonState() const { return uButtonState; }

protected:
    // The native window was made with the old font: it closes (the next
    // focus opens one at the new scale).
    void OnDpiChanged() override;

private:
    friend class CEditWnd;
    // Opens the native window (Windows); nothing natively.
    void OpenNativeWindow();
    void CloseNativeWindow();

    CEditWnd* pWindow = nullptr;   // owned while editing
    int nMaxChar = 255;
    bool bReadOnly = false;
    bool bNumberOnly = false;
    bool bPassword = false;
    wchar_t chPassword = L'*';
    bool bAutoSelAll = false;
    UINT uButtonState = 0;
    CImageSlot imgNormal;
    CImageSlot imgHot;
    CImageSlot imgFocused;
    CImageSlot imgDisabled;
    DWORD dwNativeBkColor = 0xFFFFFFFF;   // 0xFFFFFFFF: the system's default
};

#ifdef _WIN32
// The native window of an edit box while it edits: the window kind
// "EditWnd", registered by CWindowWnd as a superclass of the system "Edit".
// It deletes itself when the window is gone (after the outermost message it
// is handling).
class CEditWnd : public CWindowWnd {
public:
    // Creates, fills and focuses the native window of the edit box; none
    // when it could not be created.
    static CEditWnd* Open(CEditUI* owner);
    // Destroys the native window; the object deletes itself.
    void Destroy();
    // The window's rectangle for the owner: the text area, one line high,
    // centred, cut to every ancestor.
    RECT CalcPos() const;

    LPCWSTR WindowClassName() const override { return L"EditWnd"; }
    LPCWSTR SuperclassName() const override { return L"Edit"; }
    LRESULT ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnWindowGone(HWND window) override;

private:
    explicit CEditWnd(CEditUI* owner);
    ~CEditWnd() override;
    bool Init();
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnTextChanged();
    HBRUSH BackgroundBrush();

    CEditUI* pOwner;
    HBRUSH hSolidBrush = nullptr;     // opaque native background, made once
    HBRUSH hPatternBrush = nullptr;   // translucent background, made per paint
    bool bInit = false;               // text changes are passed on
    int nDepth = 0;                   // messages being handled
    bool bGone = false;               // WM_NCDESTROY seen
};
#endif

} // namespace SkinUI
