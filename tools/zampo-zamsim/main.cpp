// zampo-zamsim: a stand-in for the ZamMeld alarm receiver, for tests and for
// commissioning a site before the real receiver is reachable.
#include <QCoreApplication>
#include <QHostAddress>
#include <csignal>
#include <cstdio>
#include <string>

#include "answerscript.h"
#include "signalevents.h"
#include "toolsupport.h"
#include "zamsimserver.h"

namespace {

const char* kHelp =
    "Usage: zampo-zamsim [--address A] [--port P] [--mode M] [--control FILE]\n"
    "\n"
    "Stands in for the ZamMeld alarm receiver of ZAM-Pro: accepts the gateway's TCP\n"
    "connection, prints every line it receives with a time stamp, and answers it.\n"
    "\n"
    "Options:\n"
    "  --address A   address to listen on (default 127.0.0.1; 0.0.0.0 for all)\n"
    "  --port P      TCP port (default 8132; 0 picks a free port)\n"
    "  --mode M      how to answer each line received (default ok):\n"
    "                  ok       answer OK\n"
    "                  nak      answer NAK (refused)\n"
    "                  silent   answer nothing\n"
    "                  garbage  answer ERR? (neither OK nor NAK)\n"
    "                  close    close the connection without answering\n"
    "                or a script of these separated by commas, one per line\n"
    "                received, the last one repeating: nak,nak,ok\n"
    "                An entry may hold its answer back by milliseconds: ok+300\n"
    "                (answers on one connection keep the order of their lines)\n"
    "  --close-on TEXT  close the connection, unanswered, on every line that\n"
    "                holds TEXT, as a receiver that chokes on one message would\n"
    "  --control FILE  read four times a second: \"down\" stops listening and\n"
    "                closes every connection, so that connects are refused, as\n"
    "                when ZamMeld is gone; \"up\", an empty file or none listens\n"
    "                again on the same port; \"mode SCRIPT\" answers from then on\n"
    "                as --mode SCRIPT would. Only a change of the word acts.\n"
    "  --help        show this text\n"
    "  --version     show the version\n"
    "\n"
    "Lines end with a carriage return, as ZamMeld's do; a line feed is accepted too\n"
    "(for typing by hand) and marked in the output. Answers end with a carriage return.\n"
    "\n"
    "Output, one line per event, flushed at once:\n"
    "  2024-05-01 10:00:00.000 listening on 127.0.0.1:8132, mode ok\n"
    "  2024-05-01 10:00:01.250 connection from 127.0.0.1:40512\n"
    "  2024-05-01 10:00:01.251 <- [ZAM WD 09]\n"
    "  2024-05-01 10:00:01.251 -> OK\n"
    "Control characters inside a line are shown as \\xNN.\n"
    "\n"
    "Try it: printf '[ZAM WD 09]\\r' | nc -q1 127.0.0.1 8132\n"
    "\n"
    "An outage while it runs: kill -USR1 <pid> takes it down as \"down\" in the\n"
    "control file does, kill -USR2 <pid> brings it back; it prints\n"
    "  2024-05-01 10:05:00.000 down: stopped listening on 127.0.0.1:8132, closed 1 connection\n"
    "  2024-05-01 10:06:00.000 up: listening on 127.0.0.1:8132 again\n"
    "\n"
    "Runs until stopped with Ctrl+C. Exit status 1 when the port cannot be bound,\n"
    "2 for a bad argument.\n";

struct Options {
    QHostAddress address{QHostAddress::LocalHost};
    quint16 port = 8132;
    std::string mode = "ok";
    std::string controlFile;
    std::string closeOn;
};

const tools::CommandLine kCommandLine("zampo-zamsim", [] { return std::string(kHelp); });

// Returns -1 to go on, else the exit status.
int parseArguments(int argc, char** argv, Options& opt) {
    return kCommandLine.parse(argc, argv, {"--address", "--port", "--mode", "--control", "--close-on"}, {},
                              [&](const std::string& name, const std::string& value) -> std::string {
                                  if (name == "--address") return tools::readAddress(value, opt.address);
                                  if (name == "--port") {
                                      bool ok = false;
                                      const uint port = QString::fromStdString(value).toUInt(&ok);
                                      if (!ok || port > 65535)
                                          return "bad port '" + value + "': give a number from 0 to 65535";
                                      opt.port = static_cast<quint16>(port);
                                  } else if (name == "--close-on") {
                                      if (value.empty()) return "--close-on needs a text";
                                      opt.closeOn = value;
                                  } else if (name == "--control") {
                                      if (value.empty()) return "--control needs a file name";
                                      opt.controlFile = value;
                                  } else {
                                      opt.mode = value;
                                  }
                                  return {};
                              });
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    if (const int rc = parseArguments(argc, argv, opt); rc >= 0) return rc;
    auto script = zamsim::AnswerScript::parse(opt.mode);
    if (!script)
        return kCommandLine.usageError("bad mode '" + opt.mode +
                                       "': give ok, nak, silent, garbage, close or a script such as nak,nak+300,ok");

    QCoreApplication app(argc, argv);
    zamsim::ZamSimServer server(std::move(*script));
    server.closeOn(opt.closeOn);
    // Caught before "listening" is printed: whoever waits for that line may signal at once.
    const tools::SignalEvents outage(
        {SIGUSR1, SIGUSR2}, [&server](int signal) { signal == SIGUSR1 ? server.goDown() : server.comeBack(); });
    std::string error;
    if (!server.listen(opt.address, opt.port, error)) {
        std::fprintf(stderr, "zampo-zamsim: cannot listen on %s:%u: %s\n", opt.address.toString().toStdString().c_str(),
                     unsigned{opt.port}, error.c_str());
        return 1;
    }
    tools::printLine("listening on " + opt.address.toString().toStdString() + ":" + std::to_string(server.port()) +
                     ", mode " + opt.mode + (opt.controlFile.empty() ? "" : ", control file " + opt.controlFile));
    if (!opt.controlFile.empty()) server.watchControlFile(opt.controlFile);
    return app.exec();
}
