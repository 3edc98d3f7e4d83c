#include "logic/core/commandline.h"

#include <cstdio>

namespace zampo {

CommandLine::CommandLine(std::string program, std::function<std::string()> help)
    : program_(std::move(program)), help_(std::move(help)) {}

std::string CommandLine::usage() const {
    const std::string help = help_();
    const std::size_t end = help.find("\n\n");
    return end == std::string::npos ? help : help.substr(0, end + 1);
}

int CommandLine::usageError(const std::string& message) const {
    std::fprintf(stderr, "%s: %s\n%sTry '%s --help' for more.\n", program_.c_str(), message.c_str(), usage().c_str(),
                 program_.c_str());
    return kUsageError;
}

int CommandLine::parse(int argc, char** argv, const std::set<std::string>& valued, const std::set<std::string>& flags,
                       const Take& take, const TakeWord& word) const {
    bool wordsOnly = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (word && (wordsOnly || !arg.starts_with("-") || arg == "-")) {
            if (const std::string error = word(arg); !error.empty()) return usageError(error);
            continue;
        }
        if (word && arg == "--") {
            wordsOnly = true;
            continue;
        }
        std::string value;
        bool hasValue = false;
        if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
            hasValue = true;
        }
        if (arg == "--help" || arg == "-h") {
            if (hasValue) return usageError(arg + " takes no value");
            std::fputs(help_().c_str(), stdout);
            return 0;
        }
        if (arg == "--version") {
            if (hasValue) return usageError(arg + " takes no value");
            std::printf("%s %s\n", program_.c_str(), ZAMPO_VERSION_TEXT);
            return 0;
        }
        if (flags.contains(arg)) {
            if (hasValue) return usageError(arg + " takes no value");
        } else if (valued.contains(arg)) {
            if (!hasValue) {
                if (i + 1 >= argc) return usageError(arg + " needs a value");
                value = argv[++i];
            }
        } else if (arg.starts_with("-")) {
            return usageError("unknown option '" + arg + "'");
        } else {
            return usageError("unexpected argument '" + arg + "'");
        }
        if (const std::string error = take(arg, value); !error.empty()) return usageError(error);
    }
    return -1;
}

}  // namespace zampo
