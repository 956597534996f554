// The order in which Tab visits the controls of a window. By default that is
// the order in which a reader's eye meets them: row by row from the top, and
// within a row from the left (from the right in a right-to-left layout).
// Controls whose rectangles overlap vertically by their middle share a row.
// A skin overrides the default where it is wrong: stops with a positive
// `tabindex` come first, in ascending index, before every stop without one.
// No Windows API: the host collects the stops, this sorts them.
//
// Types in this file: TabStopPlace.
#pragma once

#include <vector>

#include "skinui/UIDefs.h"

namespace SkinUI {

struct TabStopPlace {
    RECT rc = {0, 0, 0, 0};   // where the control is, in client coordinates
    int nTabIndex = 0;        // the skin's `tabindex`; 0 or less: none
};

// The visiting order as indexes into `stops`. Ties (and stops never laid
// out, whose rectangles are all empty) keep the order they were given in,
// which is tree order.
std::vector<size_t> SortTabStops(const std::vector<TabStopPlace>& stops, bool rightToLeft);

} // namespace SkinUI
