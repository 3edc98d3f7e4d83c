// What the bundled simulators share: their command line and their output lines.
#pragma once

#include <QHostAddress>
#include <string>

#include "logic/core/commandline.h"

namespace tools {

// One output line: local time stamp, blank, text; flushed at once so that a pipe
// or a log file sees it while the simulator runs.
void printLine(const std::string& text);

// The programs' shared command line.
using CommandLine = zampo::CommandLine;

// An IP address or "localhost" into address; else the error text for it.
std::string readAddress(std::string value, QHostAddress& address);

}  // namespace tools
