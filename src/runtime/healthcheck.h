#pragma once
// zampo-gateway --check: the running gateway's figures for a person, read from its
// metrics port as ZamLocal.INI gives it.
#include <map>
#include <ostream>
#include <string>

#include "logic/core/datapaths.h"

namespace zampo {

enum HealthExit : int { kHealthy = 0, kHealthFailing = 1, kHealthUnknown = 2 };

// Samples of a Prometheus text page by name with labels as written, e.g.
// zampo_alarms_forwarded_total{kind="raise"}.
std::map<std::string, double> parseMetricsText(const std::string& text);

// Prints the figures; kHealthFailing when Priva Office, ZamMeld or the log file is failing,
// kHealthUnknown when metrics are off or the gateway does not answer.
int runHealthCheck(DataPaths& paths, std::ostream& out);

}  // namespace zampo
