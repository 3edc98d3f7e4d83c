#include "runtime/healthcheck.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "logic/core/settings.h"
#include "logic/core/webconfig.h"
#include "runtime/httpclient.h"
#include "runtime/metricsexporter.h"

namespace zampo {

std::map<std::string, double> parseMetricsText(const std::string& text) {
    std::map<std::string, double> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        const std::size_t space = line.rfind(' ');
        if (space == std::string::npos) continue;
        try {
            out[line.substr(0, space)] = std::stod(line.substr(space + 1));
        } catch (const std::exception&) {
        }
    }
    return out;
}

namespace {

std::string number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, v == double(int64_t(v)) ? "%.0f" : "%.3f", v);
    return buf;
}

int reportFigures(std::map<std::string, double> m, const std::string& url, const std::string& ini, DataPaths& paths,
                  std::ostream& out);

}  // namespace

int runHealthCheck(DataPaths& paths, std::ostream& out) {
    const std::string ini = paths.settingsFile();
    if (const std::string problem = settingsFileProblem(ini); !problem.empty()) {
        // Its metrics port is in there: the running gateway cannot be asked.
        out << ini << " cannot be read (" << problem
            << "): --check cannot find the metrics port; a running gateway keeps the settings it had.\n";
        return kHealthFailing;
    }
    const Settings s = loadSettings(ini);
    if (s.metricsPort == 0) {
        out << "Metrics are off: --check reads the running gateway's figures from its metrics port.\n"
               "Set [Metrics] port=<port> in "
            << ini << " and reload the gateway.\n";
        return kHealthUnknown;
    }
    HttpLimits limits;
    limits.timeLimit = std::chrono::seconds(5);
    limits.maxBody = 1024 * 1024;
    std::string scheme = "http://";
    if (!s.metricsWebConfig.empty()) {
        const WebConfigRead web = readWebConfig(s.metricsWebConfig);
        if (!web.usable()) {
            out << s.metricsWebConfig << " cannot be used";
            for (const WebConfigProblem& p : web.problems)
                if (p.error) out << (p.line ? " (line " + std::to_string(p.line) + ": " : " (") << p.text << ")";
            out << ": the gateway serves no metrics (zampo-gateway --check-config tells more).\n";
            return kHealthUnknown;
        }
        if (web.config.tls()) {
            scheme = "https://";
            limits.trustedCertificate = web.config.certFile;
        }
        // The users' passwords are only hashes in the file: a person gives one.
        if (const char* user = std::getenv("ZAMPO_CHECK_USER")) limits.user = user;
        if (const char* password = std::getenv("ZAMPO_CHECK_PASSWORD")) limits.password = password;
    }
    const std::string url = scheme + metricsEndpoint(s.metricsAddress, s.metricsPort) + "/metrics";
    const HttpResult answer = HttpClient().get(url, limits);
    if (!answer.ok && answer.status == 401) {
        out << url << " asks for a user and password (" << s.metricsWebConfig
            << "): give them in ZAMPO_CHECK_USER and ZAMPO_CHECK_PASSWORD.\n";
        return kHealthUnknown;
    }
    if (!answer.ok) {
        out << "No figures from " << url << " (" << answer.reason << "): is zampo-gateway running?\n";
        return kHealthUnknown;
    }
    return reportFigures(parseMetricsText(answer.body), url, ini, paths, out);
}

namespace {

// What --check prints of the figures, and whether they show a fault.
int reportFigures(std::map<std::string, double> m, const std::string& url, const std::string& ini, DataPaths& paths,
                  std::ostream& out) {
    auto v = [&m](const std::string& key) { return m.count(key) ? m[key] : 0.0; };
    auto kind = [&](const char* k) { return v(std::string("zampo_alarms_forwarded_total{kind=\"") + k + "\"}"); };
    auto code = [&](int c) { return v("zampo_send_failures_total{code=\"" + std::to_string(c) + "\"}"); };

    const bool poFailing = v("zampo_privaoffice_failing") != 0;
    const bool zamConnected = v("zampo_zammeld_connected") != 0;
    // What ZamMeld answers counts, not whether a socket is open.
    const bool zamSilent = m.count("zampo_zammeld_answering") && v("zampo_zammeld_answering") == 0;
    const bool zamFailing = v("zampo_zammeld_failing") != 0 || zamSilent;
    const bool logFailing = v("zampo_log_failing") != 0;

    out << "Gateway figures from " << url << "\n";
    out << "Priva Office:    " << (poFailing ? "FAILING" : "ok") << ", last good exchange "
        << number(v("zampo_privaoffice_seconds_since_good")) << " s ago, "
        << number(v("zampo_privaoffice_exchange_failures_total")) << " of "
        << number(v("zampo_privaoffice_exchanges_total")) << " exchanges failed\n";
    out << "ZamMeld:         "
        << (zamSilent      ? "FAILING (connections closed before any answer)"
            : zamFailing   ? "FAILING (not reached)"
            : zamConnected ? "connected"
                           : "not connected now")
        << ", " << number(v("zampo_zammeld_socket_errors_total")) << " socket errors\n";
    out << "Log file:        "
        << (logFailing ? "FAILING: lines are not written to " + paths.logFile() + " (see the journal)" : "ok") << "\n";
    out << "Accepted:        raise " << number(kind("raise")) << ", reset " << number(kind("reset")) << ", group "
        << number(kind("group")) << ", system " << number(kind("system")) << ", other " << number(kind("other"))
        << "\n";
    double written = 0;
    for (const char* k : {"raise", "reset", "group", "system", "watchdog", "other"})
        written += v(std::string("zampo_lines_written_total{kind=\"") + k + "\"}");
    out << "Lines written:   " << number(written) << " (every send counted)\n";
    out << "Resends:         " << number(v("zampo_resends_total")) << "\n";
    out << "Failures:        Error 1: " << number(code(1)) << ", Error 2: " << number(code(2))
        << ", Error 3: " << number(code(3)) << "\n";
    out << "Waiting:         " << number(v("zampo_messages_waiting")) << " messages\n";
    out << "Status file:     " << number(v("zampo_status_elements")) << " elements\n";
    out << "Last walk:       "
        << (m.count("zampo_last_walk_seconds") ? number(v("zampo_last_walk_seconds")) + " s" : "none yet") << "\n";
    out << "Watchdogs:       " << number(v("zampo_watchdogs_sent_total")) << " sent, "
        << number(v("zampo_watchdogs_answered_total")) << " answered\n";
    const bool settingsUnreadable = v("zampo_settings_unreadable") != 0;
    if (settingsUnreadable)
        out << "Settings:        " << ini << " could not be read at the last start or reload; settings in use kept\n";
    return poFailing || zamFailing || settingsUnreadable || logFailing ? kHealthFailing : kHealthy;
}

}  // namespace

}  // namespace zampo
