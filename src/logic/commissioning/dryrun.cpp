#include "logic/commissioning/dryrun.h"

#include <cstring>
#include <map>
#include <sstream>

#include "logic/alarmstatus/alarmstatus.h"

namespace zampo {

namespace {

std::string nameOf(pugi::xml_node e) {
    if (std::strcmp(e.name(), "Group") == 0) return std::string("group ") + e.attribute("ZamAlarm").value();
    return alarmKey(e);
}

}  // namespace

std::vector<DryRunLine> dryRunWalk(XmlDocument& alarmStatus, const XmlDocument& linkDefs, const XmlDocument& zamDefs,
                                   TextOptions options, TimeMs now) {
    std::vector<DryRunLine> out;
    std::map<pugi::xml_node_struct*, bool> sent;
    ElementCycle cycle;
    const CycleDocuments docs{alarmStatus, linkDefs, zamDefs};
    // Every step moves on or sends; the guard only stops a walk that could not end.
    for (int guard = 0; guard < 1000000; ++guard) {
        CycleOutcome step = examineNext(cycle, docs, now);
        if (step.next == CycleStep::Finished) break;
        while (step.next == CycleStep::Send) {
            const pugi::xml_node e = cycle.current;
            const CycleOutcome send = sendForCurrent(cycle, docs, options, now);
            if (send.message.empty()) break;
            out.push_back({nameOf(e), send.message, {}});
            sent[e.internal_object()] = true;
            step = evaluateAnswer(cycle, docs, Answer{true, "OK", false}, now);
        }
    }
    for (pugi::xml_node e : alarmStatus.root().children()) {
        if (e.type() != pugi::node_element || sent.contains(e.internal_object())) continue;
        std::string why;
        if (std::strcmp(e.name(), "Group") == 0 && now <= readStatusTime(e, "Timeout"))
            why = std::string("waits for its group delay until ") + e.attribute("Timeout").value();
        else if (std::strcmp(e.attribute("State").value(), kAlarmActive) == 0)
            why = "active, reported already; no repeat due";
        else
            why = "reset, reported already";
        out.push_back({nameOf(e), {}, why});
    }
    return out;
}

std::string formatDryRun(const std::vector<DryRunLine>& lines) {
    std::ostringstream out;
    int sends = 0;
    for (const DryRunLine& l : lines) {
        out << l.what << ": " << (l.message.empty() ? "nothing (" + l.why + ")" : l.message) << "\n";
        sends += !l.message.empty();
    }
    out << "dry run: " << sends << (sends == 1 ? " line" : " lines") << " would be sent now, " << lines.size() - sends
        << " element(s) with nothing due; nothing was sent or written\n";
    return out.str();
}

}  // namespace zampo
