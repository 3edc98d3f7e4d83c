// zampo-gateway: the gateway without a window, for servers and service managers.
// The same PO.ini, ZamLocal.INI, data files and single-instance lock as zampo; its
// lists go to the log file only, each line also to standard error. Stops in order on
// SIGTERM and Ctrl+C; SIGHUP reads the settings and data files again. Under systemd
// it reports ready, watchdog pings and its stop. --check prints the running gateway's
// figures. --help tells the rest.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "logic/commissioning/configcheck.h"
#include "logic/commissioning/dryrun.h"
#include "logic/commissioning/routeexplain.h"
#include "logic/commissioning/siteread.h"
#include "logic/core/clock.h"
#include "logic/core/commandline.h"
#include "logic/core/datapaths.h"
#include "logic/core/startguard.h"
#include "logic/diag/logwriter.h"
#include "logic/language/langtext.h"
#include "logic/poclient/alarmmerge.h"
#include "runtime/gatewayapplication.h"
#include "runtime/gatewayruntime.h"
#include "runtime/healthcheck.h"
#include "runtime/httpclient.h"
#include "runtime/loggedstatus.h"
#include "runtime/servicenotify.h"
#include "runtime/stopsignals.h"

namespace {

const char* const kHelp =
    "Usage: zampo-gateway [--check | --check-config | --dry-run]\n"
    "       zampo-gateway --explain PCU LOCATION NR [TEXT]\n"
    "\n"
    "The ZamPO gateway without a window, for servers and service managers: polls the\n"
    "Priva Office alarm server and reports its alarms to ZAM-Pro's receiver (ZamMeld)\n"
    "through the link definitions, until stopped.\n"
    "\n"
    "Options:\n"
    "  --check      print the running gateway's figures, read from its metrics port\n"
    "               ([Metrics] port in ZamLocal.INI), and end: exit status 0 when all\n"
    "               is well, 1 when Priva Office, ZamMeld or the log file is failing,\n"
    "               2 when metrics are off or the gateway does not answer\n"
    "  --check-config  read PO.ini, ZamLocal.INI, LinkDefs.xml and ZamDefs.xml as a\n"
    "               start would and list every problem, then end: exit status 0 when\n"
    "               clean (warnings allowed), 1 for errors, 2 when a file cannot be read\n"
    "  --explain PCU LOCATION NR [TEXT]\n"
    "               tell the route of that Priva Office alarm: the link rule that\n"
    "               matched, the ZAM alarm and its group, and the lines a raise and a\n"
    "               reset would send\n"
    "  --dry-run    ask Priva Office once for its active alarms and print the line\n"
    "               each would send now; sends nothing, writes nothing, and may run\n"
    "               beside a running gateway\n"
    "  None of these three writes a file.\n"
    "  --help       show this text\n"
    "  --version    show the version\n"
    "\n"
    "Files:\n"
    "  PO.ini beside the program, else /etc/zampo/PO.ini: [Application] datapath, the\n"
    "  ZAM data directory (default ~/zam/data), which holds ZamLocal.INI (the settings)\n"
    "  and ZAMPO.LOG (the log); the data files are in PoData beside it.\n"
    "  Every log line also goes to standard error (the journal under systemd).\n"
    "\n"
    "Signals:\n"
    "  SIGTERM, SIGINT  stop in order (at most 10 s)\n"
    "  SIGHUP           read ZamLocal.INI and the data files again\n"
    "\n"
    "Run it as the account that owns the data directory; the package's service does\n"
    "(systemctl start zampo-gateway). Started as root for a directory of another\n"
    "account it refuses, so that it leaves no files that account cannot write.\n"
    "\n"
    "Exit status: 0 after an orderly stop or when another gateway already runs, 1 when\n"
    "it cannot start, 2 for a bad argument.\n";

const zampo::CommandLine kCommandLine("zampo-gateway", [] { return std::string(kHelp); });

enum class Mode { Run, Check, CheckConfig, Explain, DryRun };

struct Options {
    Mode mode = Mode::Run;
    std::vector<std::string> words;  // of --explain
};

// -1 to go on, else the exit status. New options join the two sets and the branch below.
int parseArguments(int argc, char** argv, Options& opt) {
    const std::map<std::string, Mode> modes{{"--check", Mode::Check},
                                            {"--check-config", Mode::CheckConfig},
                                            {"--explain", Mode::Explain},
                                            {"--dry-run", Mode::DryRun}};
    const int rc = kCommandLine.parse(
        argc, argv, {}, {"--check", "--check-config", "--explain", "--dry-run"},
        [&](const std::string& name, const std::string&) {
            if (opt.mode != Mode::Run) return std::string("only one of --check, --check-config, --explain, --dry-run");
            opt.mode = modes.at(name);
            return std::string();
        },
        [&](const std::string& word) {
            if (opt.mode != Mode::Explain) return "unexpected argument '" + word + "'";
            if (opt.words.size() == 4) return std::string("--explain takes PCU LOCATION NR [TEXT]");
            opt.words.push_back(word);
            return std::string();
        });
    if (rc < 0 && opt.mode == Mode::Explain && opt.words.size() < 3)
        return kCommandLine.usageError("--explain needs PCU LOCATION NR [TEXT]");
    return rc;
}

// Reads the site as a start would, nothing written or made; false, said on
// standard error, when one of its files cannot be read.
bool readSiteOrSay(zampo::DataPaths& paths, zampo::Site& site) {
    zampo::readSite(paths, site);
    for (const zampo::SiteFile* f : {&site.settingsFile, &site.linkDefsFile, &site.zamDefsFile})
        if (!f->error.empty()) {
            std::cerr << "zampo-gateway: " << f->path << " cannot be read: " << f->error << "\n";
            return false;
        }
    zampo::loadLangTexts(site.settings.language);
    return true;
}

int explain(zampo::DataPaths& paths, const std::vector<std::string>& words) {
    zampo::Site site;
    if (!readSiteOrSay(paths, site)) return 2;
    const zampo::TextOptions options{site.settings.sendPcu, site.settings.filterPunct};
    const auto route = zampo::explainRoute(site.linkDefs, site.zamDefs, words[0], words[1], words[2],
                                           words.size() > 3 ? words[3] : "", options);
    std::cout << zampo::formatRoute(route);
    std::cout << "Options: sendpcu=" << (options.sendPcuNames ? 1 : 0)
              << " filterpunct=" << (options.filterPunctuation ? 1 : 0) << " (" << site.settingsFile.path << ")\n";
    return 0;
}

// One active-alarms request, evaluated against a copy of today's files; takes no
// lock, so it may run beside the service.
int dryRun(zampo::DataPaths& paths) {
    zampo::Site site;
    if (!readSiteOrSay(paths, site)) return 2;
    auto status = std::make_unique<zampo::XmlDocument>();
    const std::string statusPath = zampo::dataFilePath(site.poDataDir, zampo::kAlarmStatusFile);
    std::error_code ec;
    if (!std::filesystem::exists(statusPath, ec) || !status->loadFile(statusPath))
        status->startAfresh(zampo::kAlarmStatusFile.rootName);
    const std::string url = "http://" + zampo::trimmed(site.settings.poHost) + ":8080/office/alarm/alarmserver";
    const zampo::HttpResult answer = zampo::HttpClient().get(url, zampo::HttpLimits{});
    if (!answer.ok) {
        std::cerr << "zampo-gateway: Priva Office request " << url << " failed: " << answer.reason << "\n";
        return 1;
    }
    const zampo::SystemClock clock;
    const zampo::TimeMs now = clock.nowUtc();
    const zampo::AlarmMergeResult merged = zampo::mergeActiveAlarms(answer.body, status, now);
    if (!merged.ok || !merged.listFound) {
        std::cerr << "zampo-gateway: the answer of " << url << " is no active-alarms list"
                  << (merged.error.empty() ? "" : ": " + merged.error) << "\n";
        return 1;
    }
    std::cout << "Priva Office " << url << ": answer merged into a copy of " << statusPath << "\n";
    const zampo::TextOptions options{site.settings.sendPcu, site.settings.filterPunct};
    std::cout << zampo::formatDryRun(zampo::dryRunWalk(*status, site.linkDefs, site.zamDefs, options, now));
    return 0;
}

int run(int argc, char** argv) {
    Options opt;
    if (const int rc = parseArguments(argc, argv, opt); rc >= 0) return rc;
    static zampo::SingleInstanceLock instanceLock;
    static zampo::ForwardingLock forwarding;
    zampo::DataPaths paths(zampo::programDirectory(), zampo::userHomeDirectory(), zampo::kPackageDirs);
    if (opt.mode == Mode::Check) return zampo::runHealthCheck(paths, std::cout);
    if (opt.mode == Mode::Explain) return explain(paths, opt.words);
    if (opt.mode == Mode::DryRun) return dryRun(paths);
    if (opt.mode == Mode::CheckConfig) {
        const zampo::ConfigReport report = zampo::checkConfig(paths);
        std::cout << zampo::formatConfigReport(report);
        return report.exitStatus();
    }
    if (const auto refused = zampo::refuseWrongOwner(paths, zampo::kServiceProgram)) return *refused;
    zampo::StopSignals::holdUntilInstalled();
    if (const auto refused = zampo::refuseStart(instanceLock, forwarding, paths, zampo::kServiceProgram))
        return *refused;
    zampo::logWriter().setFileName(paths.logFile());
    zampo::logWriter().setMirrorToStderr(true);

    zampo::GatewayApplication app(argc, argv);
    QCoreApplication::setApplicationName("zampo-gateway");
    zampo::SystemClock clock;
    zampo::ServiceNotify service;
    zampo::LoggedStatus status;
    status.onStatusText = [&service](const std::string& text) { service.status(text); };
    zampo::GatewayRuntime gateway(paths, clock, status);
    QObject::connect(&gateway, &zampo::GatewayRuntime::stopped, &app, [] { QCoreApplication::exit(0); });
    zampo::StopSignals stopSignals(
        [&gateway, &service] {
            service.stopping();
            gateway.requestStop();
        },
        [&gateway] { gateway.requestReload(); });
    gateway.prepare();
    gateway.watchDefinitionFiles();
    gateway.startMachines();
    service.ready(&gateway.loopSteps());
    const int rc = app.exec();
    zampo::writeLog(app.busyMeter().summary(), zampo::kLogFileOnly);
    return rc;
}

}  // namespace

int main(int argc, char** argv) {
    return zampo::runReportingErrors("zampo-gateway", [&] { return run(argc, argv); });
}
