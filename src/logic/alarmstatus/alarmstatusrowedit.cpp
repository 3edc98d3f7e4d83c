#include "logic/alarmstatus/alarmstatusrowedit.h"

#include <string_view>
#include <unordered_set>

namespace zampo {

namespace {

std::string_view groupReference(const AlarmStatusRow& row) {
    return std::string_view(row.zamGroup).substr(0, 9);  // "0100 - 07", without its name
}

struct ElementHash {
    std::size_t operator()(const AlarmStatusRow* row) const {
        std::hash<std::string_view> h;
        if (row->group) return h(groupReference(*row));
        return h(row->pcu) ^ (h(row->location) * 31) ^ (h(row->nr) * 1009);
    }
};
struct ElementEqual {
    bool operator()(const AlarmStatusRow* a, const AlarmStatusRow* b) const { return sameElement(*a, *b); }
};

void addToRanges(std::vector<RowRange>& ranges, int index) {
    if (!ranges.empty() && ranges.back().first + ranges.back().count == index)
        ++ranges.back().count;
    else
        ranges.push_back({index, 1});
}

}  // namespace

std::string AlarmStatusRow::key() const {
    return group ? "\x1fgroup\x1f" + std::string(groupReference(*this)) : pcu + '\x1f' + location + '\x1f' + nr;
}

bool sameElement(const AlarmStatusRow& a, const AlarmStatusRow& b) {
    if (a.group != b.group) return false;
    if (a.group) return groupReference(a) == groupReference(b);
    return a.pcu == b.pcu && a.location == b.location && a.nr == b.nr;
}

std::optional<AlarmStatusRowEdit> planRowEdit(const std::vector<AlarmStatusRow>& before,
                                              const std::vector<AlarmStatusRow>& after) {
    // Usually only a few elements came or went: what both share at the start and
    // at the end needs no lookup.
    std::size_t head = 0;
    while (head < before.size() && head < after.size() && sameElement(before[head], after[head])) ++head;
    std::size_t tail = 0;
    while (tail < before.size() - head && tail < after.size() - head &&
           sameElement(before[before.size() - 1 - tail], after[after.size() - 1 - tail]))
        ++tail;
    const std::size_t beforeEnd = before.size() - tail, afterEnd = after.size() - tail;

    std::unordered_set<const AlarmStatusRow*, ElementHash, ElementEqual> afterElements;
    afterElements.reserve(afterEnd - head);
    for (std::size_t i = head; i < afterEnd; ++i) afterElements.insert(&after[i]);
    AlarmStatusRowEdit edit;
    std::vector<const AlarmStatusRow*> kept;
    for (std::size_t i = head; i < beforeEnd; ++i) {
        if (afterElements.count(&before[i]))
            kept.push_back(&before[i]);
        else
            addToRanges(edit.removed, int(i));
    }
    // What is left of the rows before must be the rows after without the new ones.
    std::size_t next = 0;
    for (std::size_t i = head; i < afterEnd; ++i) {
        if (next < kept.size() && sameElement(*kept[next], after[i]))
            ++next;
        else
            addToRanges(edit.inserted, int(i));
    }
    if (next != kept.size()) return std::nullopt;
    return edit;
}

}  // namespace zampo
