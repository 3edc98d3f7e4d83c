// What the bundled simulators share: their command line and their output lines.
#pragma once

#include <QHostAddress>
#include <functional>
#include <set>
#include <string>

namespace tools {

// One output line: local time stamp, blank, text; flushed at once so that a pipe
// or a log file sees it while the simulator runs.
void printLine(const std::string& text);

// Reads "--name value" and "--name=value" alike, answers --help and --version,
// and says what was wrong in one line on standard error.
class CommandLine {
public:
    CommandLine(std::string program, std::function<std::string()> help);

    // Called for every known option; flags get an empty value. Returns an error
    // text, empty when the value is good.
    using Take = std::function<std::string(const std::string& name, const std::string& value)>;

    // -1 to go on, else the exit status (0 after --help or --version, 2 for a bad argument).
    int parse(int argc, char** argv, const std::set<std::string>& valued, const std::set<std::string>& flags,
              const Take& take) const;
    int usageError(const std::string& message) const;

private:
    std::string program_;
    std::function<std::string()> help_;
};

// An IP address or "localhost" into address; else the error text for it.
std::string readAddress(std::string value, QHostAddress& address);

}  // namespace tools
