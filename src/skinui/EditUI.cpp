// The edit box: attributes, events and painting, and on Windows its native
// edit window.
#include "skinui/EditUI.h"

#include "logging/SecretText.h"

#include <algorithm>

namespace SkinUI {

CEditUI::CEditUI() = default;

CEditUI::~CEditUI()
{
    CloseNativeWindow();
}

std::wstring CEditUI::GetClass() const { return L"Edit"; }

CControlUI* CEditUI::QueryControlInterface(const std::wstring& name)
{
    return name == L"Edit" ? this : CLabelUI::QueryControlInterface(name);
}

UINT CEditUI::ControlFlags() const
{
    return IsEnabled() ? 1u : 0u;   // a tab stop
}

void CEditUI::SetMaxChar(int count)
{
    nMaxChar = std::max(0, count);
}

void CEditUI::SetReadOnly(bool readOnly)
{
    bReadOnly = readOnly;
    if (readOnly)
        uButtonState |= kState_ReadOnly;
    else
        uButtonState &= ~kState_ReadOnly;
    Invalidate();
}

void CEditUI::SetNumberOnly(bool numberOnly) { bNumberOnly = numberOnly; }

void CEditUI::SetPassword(bool password)
{
    bPassword = password;
    Invalidate();
}

void CEditUI::SetEnabled(bool enabled)
{
    CLabelUI::SetEnabled(enabled);
    if (!IsEnabled()) {
        uButtonState = bReadOnly ? static_cast<UINT>(kState_ReadOnly) : 0u;
        CloseNativeWindow();
    }
}

void CEditUI::SetVisible(bool visible)
{
    CLabelUI::SetVisible(visible);
    if (!IsVisible())
        CloseNativeWindow();
}

void CEditUI::SetVisibleByParent(bool visible)
{
    CLabelUI::SetVisibleByParent(visible);
    if (!IsVisible())
        CloseNativeWindow();
}

void CEditUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    typedef CEditUI E;
    typedef const std::wstring& V;
    static const AttributeEntry<CEditUI> kTable[] = {
        {L"readonly", [](E& c, V v) { c.SetReadOnly(ParseBool(v)); }},
        {L"numberonly", [](E& c, V v) { c.SetNumberOnly(ParseBool(v)); }},
        {L"password", [](E& c, V v) { c.SetPassword(ParseBool(v)); }},
        {L"autoselall", [](E& c, V v) { c.SetAutoSelectAll(ParseBool(v)); }},
        {L"maxchar", [](E& c, V v) { c.SetMaxChar(ParseInt(v)); }},
        {L"normalimage", [](E& c, V v) { c.imgNormal.Set(v); }},
        {L"hotimage", [](E& c, V v) { c.imgHot.Set(v); }},
        {L"focusedimage", [](E& c, V v) { c.imgFocused.Set(v); }},
        {L"disabledimage", [](E& c, V v) { c.imgDisabled.Set(v); }},
        {L"nativebkcolor", [](E& c, V v) { c.SetNativeBkColor(ParseColor(v)); }},
    };
    if (!ApplyAttributeEntry(kTable, *this, name, value))
        CLabelUI::SetAttribute(name, value);
}

void CEditUI::OnDpiChanged()
{
    CloseNativeWindow();
    CLabelUI::OnDpiChanged();
}

SIZE CEditUI::MeasureSize(SIZE)
{
    return MeasureTextLine();
}

void CEditUI::HandleEvent(ControlEvent& event)
{
    if (PassMouseEventOn(event))
        return;
    switch (event.Type) {
    case kEvent_SetCursor:
        if (IsEnabled()) {
            if (pHost != nullptr)
                pHost->SetCursorShape(kCursor_IBeam);
            return;
        }
        break;
    case kEvent_WindowSize:
        if (pWindow != nullptr && pHost != nullptr)
            pHost->SetFocusNeeded(this);
        return;
    case kEvent_ScrollWheel:
        if (pWindow != nullptr)
            return;
        break;
    case kEvent_SetFocus:
        CLabelUI::HandleEvent(event);   // the focused flag
        if (IsEnabled() && pWindow == nullptr) {
            OpenNativeWindow();
            Invalidate();
        }
        return;
    case kEvent_KillFocus:
        CLabelUI::HandleEvent(event);
        return;
    case kEvent_ButtonDown:
    case kEvent_DblClick:
    case kEvent_RButtonDown:
        if (IsEnabled()) {
            if (pHost != nullptr)
                pHost->ReleaseCapture();
            if (IsFocused() && pWindow == nullptr) {
                OpenNativeWindow();
            } else if (pWindow != nullptr) {
#ifdef _WIN32
                // The click goes on to the native window at the same place.
                HWND hwnd = pWindow->GetHWND();
                RECT rcWnd = pWindow->CalcPos();
                SendMessageW(hwnd, EM_SETSEL, 0, 0);
                SendMessageW(hwnd, event.Type == kEvent_RButtonDown ? WM_RBUTTONDOWN : WM_LBUTTONDOWN,
                             event.wParam,
                             MAKELPARAM(event.ptMouse.x - rcWnd.left, event.ptMouse.y - rcWnd.top));
#endif
            }
        }
        return;
    case kEvent_MouseMove:
    case kEvent_ButtonUp:
    case kEvent_ContextMenu:
        return;
    case kEvent_MouseEnter:
    case kEvent_MouseLeave:
        TrackHover(event, &uButtonState);
        return;
    default:
        break;
    }
    CLabelUI::HandleEvent(event);
}

#ifdef _WIN32

HWND CEditUI::GetNativeHandle() const
{
    return pWindow != nullptr ? pWindow->GetHWND() : nullptr;
}

void CEditUI::SetText(const std::wstring& text)
{
    CLabelUI::SetText(text);
    // While editing, the native window shows the same text; its change
    // notification copies it back.
    if (pWindow != nullptr && pWindow->GetHWND() != nullptr)
        SetWindowTextW(pWindow->GetHWND(), strText.c_str());
}

void CEditUI::WipeText()
{
    if (HWND edit = GetNativeHandle()) {
        // As many characters first, written where the text was, then none.
        const std::wstring cover(static_cast<size_t>(std::max(GetWindowTextLengthW(edit), 0)), chPassword);
        SetWindowTextW(edit, cover.c_str());
        SetWindowTextW(edit, L"");
    }
    ::WipeText(strText);
    Invalidate();
}

void CEditUI::OpenNativeWindow()
{
    if (pWindow != nullptr || pHost == nullptr)
        return;
    pWindow = CEditWnd::Open(this);
}

void CEditUI::CloseNativeWindow()
{
    if (pWindow != nullptr)
        pWindow->Destroy();   // clears pWindow when the window is gone
    pWindow = nullptr;
}

void CEditUI::PaintStateImage(HDC hDC, const RECT& rcPaint)
{
    SyncStateFlags(uButtonState);
    if ((uButtonState & kState_Disabled) != 0) {
        if (DrawImage(hDC, imgDisabled, rcPaint))
            return;
    } else if ((uButtonState & kState_Focused) != 0) {
        if (DrawImage(hDC, imgFocused, rcPaint))
            return;
    } else if ((uButtonState & kState_Hot) != 0) {
        if (DrawImage(hDC, imgHot, rcPaint))
            return;
    }
    DrawImage(hDC, imgNormal, rcPaint);
}

void CEditUI::PaintText(HDC hDC, const RECT&)
{
    // While editing the native window shows the text.
    if (strText.empty() || pHost == nullptr || pWindow != nullptr)
        return;
    ResolveDefaultColors();
    std::wstring shown = bPassword ? std::wstring(strText.size(), chPassword) : strText;
    RECT rc = TextRect();
    DWORD color = IsEnabled() ? dwTextColor : dwDisabledTextColor;
    if (dwSystemTextColor != 0)
        color = dwSystemTextColor;
    CSkinRenderer::DrawPlainText(hDC, pHost->Resources(), rc, shown, color, nFontId, uTextStyle);
}

// -------------------------------------------------------------- native window

CEditWnd::CEditWnd(CEditUI* owner) : pOwner(owner) {}

CEditWnd::~CEditWnd()
{
    if (hSolidBrush != nullptr)
        DeleteObject(hSolidBrush);
    if (hPatternBrush != nullptr)
        DeleteObject(hPatternBrush);
}

CEditWnd* CEditWnd::Open(CEditUI* owner)
{
    auto* window = new CEditWnd(owner);
    // Messages that arrive while the window is set up (a focus change can
    // close it at once) must not delete it under our feet.
    ++window->nDepth;
    bool ok = window->Init();
    --window->nDepth;
    if (!ok || window->bGone) {
        if (!window->bGone && window->hWnd != nullptr) {
            ++window->nDepth;
            DestroyWindow(window->hWnd);
            --window->nDepth;
        }
        delete window;
        return nullptr;
    }
    return window;
}

RECT CEditWnd::CalcPos() const
{
    IControlHostUI* host = pOwner->GetHost();
    RECT pad = pOwner->GetTextPadding();
    const RECT& item = pOwner->GetPos();
    RECT rc = MakeRect(item.left + pad.left, item.top + pad.top, item.right - pad.right, item.bottom - pad.bottom);
    const int lineHeight = host != nullptr ? host->FontHeight(pOwner->GetFont()) : 0;
    if (lineHeight > 0 && RectHeight(rc) > lineHeight) {
        rc.top += (RectHeight(rc) - lineHeight) / 2;
        rc.bottom = rc.top + lineHeight;
    }
    for (CControlUI* parent = pOwner->GetParent(); parent != nullptr; parent = parent->GetParent()) {
        if (!parent->IsVisible())
            return MakeRect(0, 0, 0, 0);
        rc = RectIntersect(rc, parent->GetPos());
        if (RectEmpty(rc))
            return MakeRect(0, 0, 0, 0);
    }
    return rc;
}

bool CEditWnd::Init()
{
    IControlHostUI* host = pOwner->GetHost();
    if (host == nullptr || host->HostWindow() == nullptr)
        return false;
    RECT rc = CalcPos();
    DWORD style = WS_CHILD | ES_AUTOHSCROLL;
    const UINT textStyle = pOwner->GetTextStyle();
    if ((textStyle & DT_CENTER) != 0)
        style |= ES_CENTER;
    else if ((textStyle & DT_RIGHT) != 0)
        style |= ES_RIGHT;
    if (pOwner->IsPassword())
        style |= ES_PASSWORD;
    if (pOwner->IsNumberOnly())
        style |= ES_NUMBER;
    if (Create(host->HostWindow(), nullptr, style, 0, rc) == nullptr)
        return false;
    HFONT font = host->Resources()->GetFont(pOwner->GetFont());
    ::SendMessageW(hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    ::SendMessageW(hWnd, EM_LIMITTEXT, static_cast<WPARAM>(pOwner->GetMaxChar()), 0);
    if (pOwner->IsPassword())
        ::SendMessageW(hWnd, EM_SETPASSWORDCHAR, static_cast<WPARAM>(pOwner->GetPasswordChar()), 0);
    SetWindowTextW(hWnd, pOwner->GetText().c_str());
    ::SendMessageW(hWnd, EM_SETMODIFY, FALSE, 0);
    ::SendMessageW(hWnd, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(0, 0));
    EnableWindow(hWnd, pOwner->IsEnabled() ? TRUE : FALSE);
    ::SendMessageW(hWnd, EM_SETREADONLY, pOwner->IsReadOnly() ? TRUE : FALSE, 0);
    ::ShowWindow(hWnd, SW_SHOWNOACTIVATE);
    ::SetFocus(hWnd);
    if (bGone)
        return false;
    const int length = GetWindowTextLengthW(hWnd);
    if (pOwner->IsAutoSelectAll())
        ::SendMessageW(hWnd, EM_SETSEL, 0, length == 0 ? 1 : length);
    else
        ::SendMessageW(hWnd, EM_SETSEL, static_cast<WPARAM>(length), length);
    bInit = true;
    return true;
}

void CEditWnd::Destroy()
{
    if (hWnd == nullptr)
        return;
    ++nDepth;
    DestroyWindow(hWnd);
    --nDepth;
    if (bGone && nDepth == 0)
        delete this;
}

void CEditWnd::OnWindowGone(HWND window)
{
    if (IControlHostUI* host = pOwner->GetHost())
        host->RemoveNativeWindow(window);
    if (pOwner->pWindow == this)
        pOwner->pWindow = nullptr;
    pOwner->Invalidate();
    bGone = true;
    if (nDepth == 0)
        delete this;
}

// Every message but the last one arrives here; the object stays alive
// until the outermost of them is done, even when the window goes away in
// between (losing the focus destroys it from inside WM_KILLFOCUS).
LRESULT CEditWnd::ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    ++nDepth;
    LRESULT result = HandleMessage(message, wParam, lParam);
    --nDepth;
    if (bGone && nDepth == 0)
        delete this;
    return result;
}

// Message reflection: the host sends a child's notifications back to it as
// the same message plus 0x2000.
static const UINT kReflect = 0x2000;

LRESULT CEditWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    IControlHostUI* host = pOwner->GetHost();
    switch (msg) {
    case WM_CREATE: {
        LRESULT result = CWindowWnd::ProcessWindowMessage(msg, wParam, lParam);
        if (host != nullptr)
            host->AddNativeWindow(hWnd, pOwner);
        return result;
    }
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            if (host != nullptr)
                host->EmitNotify(pOwner, L"return", 0, 0);
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == L'\r')
            return 0;   // handled as key down; a single-line edit would beep
        break;
    case WM_COMMAND + kReflect:
        if (HIWORD(wParam) == EN_CHANGE) {
            OnTextChanged();
            return 0;
        }
        break;
    case WM_CTLCOLOREDIT + kReflect:
    case WM_CTLCOLORSTATIC + kReflect: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        IControlHostUI* host = pOwner->GetHost();
        if (host != nullptr && host->Resources() != nullptr && host->Resources()->UsesSystemColors()) {
            // High contrast: the field edits in the system's colours, as the
            // control draws it when it does not edit (a read-only field too,
            // which the system would give the dialog colour).
            SetBkMode(dc, OPAQUE);
            SetBkColor(dc, GetSysColor(COLOR_WINDOW));
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
        }
        pOwner->ResolveDefaultColors();
        DWORD color = pOwner->GetTextColor();
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB((color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF));
        return reinterpret_cast<LRESULT>(BackgroundBrush());
    }
    case WM_KILLFOCUS: {
        LRESULT result = CWindowWnd::ProcessWindowMessage(msg, wParam, lParam);
        HWND hostWindow = host != nullptr ? host->HostWindow() : nullptr;
        if (hostWindow != nullptr && reinterpret_cast<HWND>(wParam) != hostWindow)
            ::SendMessageW(hostWindow, WM_KILLFOCUS, wParam, lParam);
        Destroy();   // this object stays until the message is done
        return result;
    }
    default:
        break;
    }
    return CWindowWnd::ProcessWindowMessage(msg, wParam, lParam);
}

void CEditWnd::OnTextChanged()
{
    if (!bInit)
        return;
    const int length = GetWindowTextLengthW(hWnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int copied = GetWindowTextW(hWnd, &text[0], length + 1);
    text.resize(static_cast<size_t>(std::max(copied, 0)));
    // Straight into the field: the control's own SetText would write the
    // text back into this window. A password leaves no copy behind.
    if (pOwner->IsPassword())
        ::WipeText(pOwner->strText);
    pOwner->strText = text;
    if (pOwner->IsPassword())
        ::WipeText(text);
    if (IControlHostUI* host = pOwner->GetHost())
        host->EmitNotify(pOwner, L"textchanged", 0, 0);
}

HBRUSH CEditWnd::BackgroundBrush()
{
    const DWORD color = pOwner->GetNativeBkColor();
    if (color == 0xFFFFFFFF)
        return nullptr;   // the system's default
    const COLORREF rgb = RGB((color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF);
    if ((color >> 24) == 0xFF) {
        if (hSolidBrush == nullptr)
            hSolidBrush = CreateSolidBrush(rgb);
        return hSolidBrush;
    }
    // Translucent: what the host paints under the window, with the colour
    // laid over it.
    IControlHostUI* host = pOwner->GetHost();
    if (host == nullptr || host->GetRoot() == nullptr)
        return nullptr;
    RECT rc = CalcPos();
    CControlUI* root = host->GetRoot();
    CEditUI* owner = pOwner;
    HBITMAP bitmap = CSkinRenderer::RenderToBitmap(
        host->Resources(), [root, owner](HDC dc, const RECT& rcPaint) { root->Paint(dc, rcPaint, owner); }, rc,
        color);
    if (bitmap == nullptr)
        return nullptr;
    if (hPatternBrush != nullptr)
        DeleteObject(hPatternBrush);
    hPatternBrush = CreatePatternBrush(bitmap);
    DeleteObject(bitmap);
    return hPatternBrush;
}

#else

HWND CEditUI::GetNativeHandle() const { return nullptr; }

void CEditUI::SetText(const std::wstring& text)
{
    CLabelUI::SetText(text);
}

// Natively there is no native window: the edit box only keeps its text.
void CEditUI::WipeText()
{
    ::WipeText(strText);
}
void CEditUI::OpenNativeWindow() {}
void CEditUI::CloseNativeWindow() {}
void CEditUI::PaintStateImage(HDC, const RECT&) {}
void CEditUI::PaintText(HDC, const RECT&) {}

#endif

} // namespace SkinUI
