// zampo-posim: a stand-in for the Priva Office alarm server, for tests, demos and
// commissioning a gateway before the real server is reachable.
#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <cstdio>
#include <string>

#include "answermode.h"
#include "posimserver.h"
#include "toolsupport.h"

namespace {

constexpr quint16 kPort = 8080;

std::string helpText() {
    return std::string(
               "Usage: zampo-posim [--address A] [--definitions FILE] [--alarms FILE]\n"
               "                   [--mode M] [--control FILE] [--headers]\n"
               "\n"
               "Stands in for the Priva Office alarm server: answers HTTP GET on port 8080\n"
               "  /office/alarm/alarmserverconfig  with the definitions file\n"
               "  /office/alarm/alarmserver        with the active-alarms file\n"
               "Both files are read afresh at every request: edit the active-alarms file to\n"
               "raise or reset alarms while the gateway runs.\n"
               "\n"
               "Options:\n"
               "  --address A         address to listen on (default 127.0.0.1; 0.0.0.0 for all)\n"
               "  --definitions FILE  the definitions answer (default: no locations, no types)\n"
               "  --alarms FILE       the active-alarms answer (default: no active alarms)\n"
               "  --mode M            how to answer (default normal); see Modes\n"
               "  --control FILE      read at every request; while it exists and is not empty,\n"
               "                      its modes replace those of --mode\n"
               "  --headers           print the header lines of each request too\n"
               "  --help              show this text\n"
               "  --version           show the version\n"
               "\n"
               "Modes:\n") +
           posim::modeHelp() +
           "A mode applies to both paths; alarms=M or definitions=M to one of them only.\n"
           "Words are separated by blanks, commas or line ends; later words win; # starts a\n"
           "comment. Examples: --mode fail    --mode 'alarms=hang'    echo huge:64 > ctl\n"
           "\n"
           "Output, one line per request, flushed at once:\n"
           "  2024-05-01 10:00:00.000 listening on 127.0.0.1:8080, mode normal\n"
           "  2024-05-01 10:00:10.002 127.0.0.1:40512 GET /office/alarm/alarmserver HTTP/1.1 -> 200 OK, 412 "
           "bytes from alarms.xml\n"
           "\n"
           "Sample files: definitions.xml and alarms.xml in tools/zampo-posim/samples of the\n"
           "source tree. An active alarm's start is a UTC time stamp such as 20240501T100000.\n"
           "\n"
           "Try it: curl -sv http://127.0.0.1:8080/office/alarm/alarmserver\n"
           "\n"
           "Runs until stopped with Ctrl+C. Exit status 1 when the address cannot be bound,\n"
           "2 for a bad argument or an unreadable file.\n";
}

struct Options {
    QHostAddress address{QHostAddress::LocalHost};
    posim::ServerConfig config;
    std::string mode = "normal";
};

const tools::CommandLine kCommandLine("zampo-posim", helpText);

// Returns -1 to go on, else the exit status.
int parseArguments(int argc, char** argv, Options& opt) {
    const int rc = kCommandLine.parse(
        argc, argv, {"--address", "--definitions", "--alarms", "--mode", "--control"}, {"--headers"},
        [&](const std::string& name, const std::string& value) -> std::string {
            if (name == "--headers") {
                opt.config.showHeaders = true;
            } else if (name == "--address") {
                return tools::readAddress(value, opt.address);
            } else if (name == "--definitions" || name == "--alarms") {
                QFile f(QString::fromStdString(value));
                if (value.empty() || !f.open(QIODevice::ReadOnly))
                    return "cannot read " + name.substr(2) + " file '" + value + "': " + f.errorString().toStdString();
                (name == "--alarms" ? opt.config.alarmsFile : opt.config.definitionsFile) = value;
            } else if (name == "--mode") {
                opt.mode = value;
            } else {
                if (value.empty()) return "--control needs a file name";
                opt.config.controlFile = value;
            }
            return {};
        });
    if (rc >= 0) return rc;
    std::string error;
    const auto plan = posim::parsePlan(opt.mode, {}, error);
    if (!plan) return kCommandLine.usageError("bad mode '" + opt.mode + "': " + error);
    opt.config.plan = *plan;
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    if (const int rc = parseArguments(argc, argv, opt); rc >= 0) return rc;

    QCoreApplication app(argc, argv);
    const std::string planText = opt.config.plan.text();
    const bool control = !opt.config.controlFile.empty();
    const std::string controlFile = opt.config.controlFile;
    posim::PosimServer server(std::move(opt.config));
    std::string error;
    if (!server.listen(opt.address, kPort, error)) {
        std::fprintf(stderr, "zampo-posim: cannot listen on %s:%u: %s\n", opt.address.toString().toStdString().c_str(),
                     unsigned{kPort}, error.c_str());
        return 1;
    }
    tools::printLine("listening on " + opt.address.toString().toStdString() + ":" + std::to_string(kPort) + ", mode " +
                     planText + (control ? ", control file " + controlFile : ""));
    return app.exec();
}
