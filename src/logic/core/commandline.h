#pragma once
// The command line of every program: "--name value" and "--name=value" alike,
// --help and --version answered here, anything else refused with the usage on
// standard error and exit status 2. Nothing here touches a file or the network,
// so a mistyped command can never start a gateway by accident.
#include <functional>
#include <set>
#include <string>

namespace zampo {

inline constexpr int kUsageError = 2;

class CommandLine {
public:
    // help gives the --help text; its first paragraph (up to the first blank line)
    // is the usage printed with an error.
    CommandLine(std::string program, std::function<std::string()> help);

    // Called for every known option, in order; flags get an empty value. Returns
    // an error text, empty when the value is good.
    using Take = std::function<std::string(const std::string& name, const std::string& value)>;

    // Called for a word that is no option; returns an error text, empty to take it.
    using TakeWord = std::function<std::string(const std::string& word)>;

    // -1 to go on, else the exit status (0 after --help or --version, 2 for a bad
    // argument). Words that are no option are refused unless word is given; after
    // "--" every argument is a word.
    int parse(int argc, char** argv, const std::set<std::string>& valued, const std::set<std::string>& flags,
              const Take& take, const TakeWord& word = nullptr) const;
    // The message and the usage on standard error; returns kUsageError.
    int usageError(const std::string& message) const;
    std::string usage() const;

private:
    std::string program_;
    std::function<std::string()> help_;
};

}  // namespace zampo
