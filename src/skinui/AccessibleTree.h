// What assistive technology is told about a control tree: which controls it
// lists, and for each its role, name, value, states and default action. The
// window's accessible object (AccessibleUI.h) answers with these; nothing
// here needs Windows, so the rules are tested in both builds.
//
// The list holds every control a user needs, in tree order, hidden ones
// included (their state says invisible), so that a control keeps its place
// (its child id, place + 1) while pages change: buttons, options and check
// boxes, edit boxes, progress bars, labels and texts, and any other control
// the skin names for a reader. Skin attributes shape it:
//   accname="Close"          the name (image-only buttons, graphics)
//   acclabel="label_path"    the name is that control's text
//   accrole="link"           the role: button, checkbox, radio, link, text,
//                            progress, static, graphic; "none" leaves the
//                            control out
//   accreversed="true"       a progress bar drawn reversed: its value is read
//                            as maximum - value
//
// Types in this file: AccessRole, AccessibleInfo.
#pragma once

#include <string>
#include <vector>

#include "skinui/ControlUI.h"

namespace SkinUI {

enum class AccessRole { None, PushButton, CheckBox, RadioButton, Link, Text, ProgressBar, StaticText, Graphic };

// State bits; the accessible object maps them to the platform's.
enum : UINT {
    kAccState_Unavailable = 0x1,
    kAccState_Focused = 0x2,
    kAccState_Checked = 0x4,
    kAccState_ReadOnly = 0x8,
    kAccState_Invisible = 0x10,
    kAccState_Focusable = 0x20,
    kAccState_Linked = 0x40,
    kAccState_Protected = 0x80,   // a password field: its value is the mask, never the text
};

struct AccessibleInfo {
    AccessRole eRole = AccessRole::None;
    std::wstring strName;
    std::wstring strValue;           // an edit box's text (masked for a password), a progress bar's "72 %"
    std::wstring strDefaultAction;   // "Press", "Check", "Uncheck", "Jump"; "" for none
    UINT uStates = 0;
};

// The role a control is listed with; None when it is not listed.
AccessRole AccessibleRoleOf(CControlUI* control);
// The listed controls of the tree under root, in tree order.
std::vector<CControlUI*> AccessibleControls(CControlUI* root);
// The control's child id (its place in the list + 1); 0 when not listed.
long AccessibleChildId(CControlUI* root, CControlUI* control);
// Everything a reader asks of one listed control; root resolves `acclabel`.
AccessibleInfo DescribeAccessible(CControlUI* control, CControlUI* root);
// Whether Tab stops at the control now: a visible, enabled,
// keyboard-enabled tab stop that the skin did not take out (tabstop="false").
bool IsTabStop(CControlUI* control);

} // namespace SkinUI
