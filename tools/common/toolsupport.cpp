#include "toolsupport.h"

#include <QDateTime>
#include <cstdio>

namespace tools {

void printLine(const std::string& text) {
    const std::string stamp = QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss.zzz").toStdString();
    std::fprintf(stdout, "%s %s\n", stamp.c_str(), text.c_str());
    std::fflush(stdout);
}

CommandLine::CommandLine(std::string program, std::function<std::string()> help)
    : program_(std::move(program)), help_(std::move(help)) {}

int CommandLine::usageError(const std::string& message) const {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", program_.c_str(), message.c_str(), program_.c_str());
    return 2;
}

int CommandLine::parse(int argc, char** argv, const std::set<std::string>& valued,
                       const std::set<std::string>& flags, const Take& take) const {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
            hasValue = true;
        }
        if (arg == "--help" || arg == "-h") {
            std::fputs(help_().c_str(), stdout);
            return 0;
        }
        if (arg == "--version") {
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
        } else {
            return usageError("unknown argument '" + arg + "'");
        }
        if (const std::string error = take(arg, value); !error.empty()) return usageError(error);
    }
    return -1;
}

std::string readAddress(std::string value, QHostAddress& address) {
    if (value == "localhost") value = "127.0.0.1";
    if (address.setAddress(QString::fromStdString(value))) return {};
    return "bad address '" + value + "': give an IP address such as 127.0.0.1";
}

}  // namespace tools
