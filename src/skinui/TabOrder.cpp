// Tab order: skin indexes first, then rows from the top, each row in
// reading direction.
#include "skinui/TabOrder.h"

#include <algorithm>

namespace SkinUI {

namespace {

// A window has a handful of tab stops: a plain insertion sort, stable by
// nature, is all the sorting needed.
template <typename Less>
void SortStable(std::vector<size_t>& order, Less less)
{
    for (size_t i = 1; i < order.size(); ++i) {
        const size_t item = order[i];
        size_t j = i;
        for (; j > 0 && less(item, order[j - 1]); --j)
            order[j] = order[j - 1];
        order[j] = item;
    }
}

long long CentreY(const RECT& rc) { return (static_cast<long long>(rc.top) + rc.bottom) / 2; }
long long CentreX(const RECT& rc) { return (static_cast<long long>(rc.left) + rc.right) / 2; }

// Reading order of stops without an index: sorted by their top edge, a stop
// whose middle lies above the bottom of the current row joins that row;
// every row is then ordered along the reading direction.
void OrderByRows(const std::vector<TabStopPlace>& stops, std::vector<size_t>& order, bool rightToLeft)
{
    // Taller first among equal tops: a tall control opens the row that its
    // shorter neighbours then join.
    SortStable(order, [&](size_t a, size_t b) {
        const RECT& ra = stops[a].rc;
        const RECT& rb = stops[b].rc;
        return ra.top != rb.top ? ra.top < rb.top : ra.bottom > rb.bottom;
    });
    std::vector<size_t> rowOf(stops.size(), 0);
    size_t row = 0;
    long long rowBottom = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        const RECT& rc = stops[order[i]].rc;
        if (i == 0) {
            rowBottom = rc.bottom;
        } else if (CentreY(rc) < rowBottom) {
            rowBottom = std::max<long long>(rowBottom, rc.bottom);
        } else {
            ++row;
            rowBottom = rc.bottom;
        }
        rowOf[order[i]] = row;
    }
    SortStable(order, [&](size_t a, size_t b) {
        if (rowOf[a] != rowOf[b])
            return rowOf[a] < rowOf[b];
        const long long xa = CentreX(stops[a].rc), xb = CentreX(stops[b].rc);
        return rightToLeft ? xa > xb : xa < xb;
    });
}

} // namespace

std::vector<size_t> SortTabStops(const std::vector<TabStopPlace>& stops, bool rightToLeft)
{
    std::vector<size_t> indexed, plain;
    for (size_t i = 0; i < stops.size(); ++i)
        (stops[i].nTabIndex > 0 ? indexed : plain).push_back(i);
    SortStable(indexed, [&](size_t a, size_t b) { return stops[a].nTabIndex < stops[b].nTabIndex; });
    OrderByRows(stops, plain, rightToLeft);
    indexed.insert(indexed.end(), plain.begin(), plain.end());
    return indexed;
}

} // namespace SkinUI
