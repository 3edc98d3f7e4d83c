#pragma once
// What the element walk would send now for an alarm status that has just taken in
// Priva Office's answer: the walk itself, run on an in-memory copy with every
// message taken as accepted. Nothing is sent and nothing written.
#include <string>
#include <vector>

#include "logic/forwarding/elementwalk.h"

namespace zampo {

struct DryRunLine {
    std::string what;     // "PCU1,Kas 4,3" for an alarm, "group 0100 - 07" for a group
    std::string message;  // the line that would be sent; empty when none is due
    std::string why;      // when none is due, the reason
};

// Walks alarmStatus (changed in memory: Sent stamps as after accepted sends).
std::vector<DryRunLine> dryRunWalk(XmlDocument& alarmStatus, const XmlDocument& linkDefs, const XmlDocument& zamDefs,
                                   TextOptions options, TimeMs now);

std::string formatDryRun(const std::vector<DryRunLine>& lines);

}  // namespace zampo
