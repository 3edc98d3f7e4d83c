#pragma once
// How the window's list of alarm-status rows follows one build to the next:
// which elements went and which came, so that a view keeps its selection and
// scroll position and only repaints what moved.
#include <optional>
#include <vector>

#include "logic/alarmstatus/alarmstatusrows.h"

namespace zampo {

// The same element of the alarm status in two builds (what key() compares).
bool sameElement(const AlarmStatusRow& a, const AlarmStatusRow& b);

// How one build of the rows becomes the next when elements were only removed and
// added, the others keeping their order: a view can then follow row by row.
struct RowRange {
    int first = 0;
    int count = 0;
    bool operator==(const RowRange&) const = default;
};
struct AlarmStatusRowEdit {
    std::vector<RowRange> removed;   // in the rows before, ascending
    std::vector<RowRange> inserted;  // in the rows after, ascending
};
// None when elements kept changed their order.
std::optional<AlarmStatusRowEdit> planRowEdit(const std::vector<AlarmStatusRow>& before,
                                              const std::vector<AlarmStatusRow>& after);

}  // namespace zampo
