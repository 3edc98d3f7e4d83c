#pragma once
// The site's configuration read as a start reads it, and every problem found in
// it: for --check-config before a gateway is switched on. Writes and makes nothing.
#include <string>
#include <vector>

#include "logic/core/datapaths.h"

namespace zampo {

enum class ProblemLevel { Error, Warning };

struct ConfigProblem {
    ProblemLevel level = ProblemLevel::Error;
    std::string file;     // path of the file (or directory) concerned
    std::string element;  // for XML: the element's start tag; else empty
    std::string text;
};

struct ConfigReport {
    std::vector<ConfigProblem> problems;
    bool unreadable = false;  // a file there could not be read at all
    int errors() const;
    int warnings() const;
    // 0 clean (warnings allowed), 1 errors, 2 a file could not be read.
    int exitStatus() const;
};

// Errors are problems that keep alarms from reaching ZamMeld as linked (the
// gateway cannot start, or sends 9999/9 or a reference ZamMeld refuses).
ConfigReport checkConfig(DataPaths& paths);

// One line per problem, then the summary line.
std::string formatConfigReport(const ConfigReport& report);

}  // namespace zampo
