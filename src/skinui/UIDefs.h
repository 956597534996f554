// Basic types of the UI framework: geometry, colours, the control event
// record, control state bits and the look-up flags. On Windows these are the
// platform's own types; the native build gets small stand-ins of the same
// shape (inside namespace SkinUI) so layout arithmetic can be tested there.
#pragma once

#include <cstdint>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
namespace SkinUI {
typedef long LONG;
typedef unsigned int UINT;
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef void* HDC;
typedef void* HWND;
typedef void* HFONT;
typedef void* HBRUSH;
struct RECT { LONG left, top, right, bottom; };
struct POINT { LONG x, y; };
struct SIZE { LONG cx, cy; };
// Text style flags, with the values the platform gives them.
enum : UINT {
    DT_TOP = 0x0, DT_LEFT = 0x0, DT_CENTER = 0x1, DT_RIGHT = 0x2, DT_VCENTER = 0x4, DT_BOTTOM = 0x8,
    DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20, DT_CALCRECT = 0x400, DT_NOPREFIX = 0x800,
    DT_END_ELLIPSIS = 0x8000
};
enum : UINT { PS_SOLID = 0 };
enum : UINT { VK_RETURN = 0x0D, VK_SPACE = 0x20 };
} // namespace SkinUI
#endif

namespace SkinUI {

class CControlUI;

// Coordinates, extents and margins from the skin are kept within this range,
// so that the sums a layout makes of many of them cannot overflow.
const int kMaxCoordinate = 1000000;
inline int ClampCoordinate(long long value)
{
    return value > kMaxCoordinate ? kMaxCoordinate : value < -kMaxCoordinate ? -kMaxCoordinate : static_cast<int>(value);
}

// Rectangle helpers (all integer arithmetic).
inline int RectWidth(const RECT& rc) { return static_cast<int>(rc.right - rc.left); }
inline int RectHeight(const RECT& rc) { return static_cast<int>(rc.bottom - rc.top); }
inline RECT MakeRect(int l, int t, int r, int b)
{
    RECT rc;
    rc.left = l; rc.top = t; rc.right = r; rc.bottom = b;
    return rc;
}
inline SIZE MakeSize(int cx, int cy)
{
    SIZE sz;
    sz.cx = cx; sz.cy = cy;
    return sz;
}
inline RECT ClampRect(const RECT& rc)
{
    return MakeRect(ClampCoordinate(rc.left), ClampCoordinate(rc.top), ClampCoordinate(rc.right),
                    ClampCoordinate(rc.bottom));
}
inline bool RectEmpty(const RECT& rc) { return rc.right <= rc.left || rc.bottom <= rc.top; }
inline bool RectContains(const RECT& rc, POINT pt)
{
    return pt.x >= rc.left && pt.x < rc.right && pt.y >= rc.top && pt.y < rc.bottom;
}
// Intersection; an empty result when the two do not meet.
RECT RectIntersect(const RECT& a, const RECT& b);
inline bool RectsMeet(const RECT& a, const RECT& b) { return !RectEmpty(RectIntersect(a, b)); }

// Control events delivered by the host to CControlUI::Event.
enum ControlEventType {
    kEvent_KeyDown = 3,
    kEvent_KeyUp = 4,
    kEvent_Char = 5,
    kEvent_SysKey = 6,
    kEvent_MouseMove = 9,
    kEvent_MouseLeave = 10,
    kEvent_MouseEnter = 11,
    kEvent_MouseHover = 12,
    kEvent_ButtonDown = 13,
    kEvent_ButtonUp = 14,
    kEvent_RButtonDown = 15,
    kEvent_DblClick = 16,
    kEvent_ContextMenu = 17,
    kEvent_ScrollWheel = 18,
    kEvent_KillFocus = 20,
    kEvent_SetFocus = 21,
    kEvent_WindowSize = 22,
    kEvent_SetCursor = 23,
    kEvent_Timer = 24,
};

struct ControlEvent {
    int Type = 0;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse = {0, 0};
    wchar_t chKey = 0;
    WORD wKeyState = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// Control state bits.
enum : UINT {
    kState_Focused = 1,
    kState_Selected = 2,
    kState_Disabled = 4,
    kState_Hot = 8,
    kState_Pushed = 16,
    kState_ReadOnly = 32,
    kState_Captured = 64,
};

// Flags of CControlUI::LookupControl.
enum : UINT {
    kFind_All = 0,
    kFind_Visible = 0x1,
    kFind_Enabled = 0x2,
    kFind_HitTest = 0x4,        // data is a POINT*: only controls under it
    kFind_TopFirst = 0x8,       // children are visited last to first
    kFind_MeFirst = 0x8000,     // the control itself before its children
};

typedef CControlUI* (*FindControlProc)(CControlUI* control, void* data);

// Cursor shapes a control asks its host for on a set-cursor event.
enum CursorShape { kCursor_Arrow = 0, kCursor_Hand = 1, kCursor_IBeam = 2 };

} // namespace SkinUI
