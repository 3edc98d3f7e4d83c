#pragma once
// The read-only status page on the metrics endpoint: built in the window's thread
// from what --check reads and the rows of the active-alarms page, served as is.
#include <cstdint>
#include <string>
#include <vector>

#include "logic/alarmstatus/alarmstatusrows.h"
#include "logic/linkconfig/linklookup.h"

namespace zampo {

struct StatusSnapshot {
    bool poFailing = false;
    int64_t poSecondsSinceGood = 0;
    bool zamConnected = false, zamFailing = false, zamSilent = false;
    std::size_t messagesWaiting = 0;
    int64_t lastWalkMs = -1;
};

// Rows beyond this are counted, not shown: the page stays cheap at any site size.
inline constexpr std::size_t kStatusPageRows = 500;

std::string htmlEscape(const std::string& text);
// The rule of the link definitions that routes each row's alarm, as --explain
// tells it; None for groups and for rows past those shown.
std::vector<LinkRule> statusRules(const std::vector<AlarmStatusRow>& rows, const XmlDocument* linkDefs);
// The part the page fetches again every few seconds.
std::string statusFragment(const StatusSnapshot& s, const std::vector<AlarmStatusRow>& rows,
                           const std::vector<LinkRule>& rules, TimeMs now);
// The whole page around a fragment.
std::string statusPage(const std::string& fragment);

}  // namespace zampo
