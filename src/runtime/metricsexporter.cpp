#include "runtime/metricsexporter.h"

#include <CivetServer.h>
#include <prometheus/collectable.h>
#include <prometheus/metric_family.h>
#include <prometheus/text_serializer.h>
#include <unistd.h>

#include "logic/core/webconfig.h"
#include "logic/diag/logwriter.h"
#include "runtime/endpointauth.h"
#include "runtime/endpointpages.h"
#include "runtime/endpointstart.h"
#include "runtime/gatewayruntime.h"
#include "runtime/statuspage.h"

namespace zampo {

namespace {

using prometheus::ClientMetric;
using prometheus::MetricFamily;
using prometheus::MetricType;

MetricFamily family(const char* name, const char* help, MetricType type) {
    MetricFamily f;
    f.name = name;
    f.help = help;
    f.type = type;
    return f;
}

void add(MetricFamily& f, double value, std::vector<ClientMetric::Label> labels = {}) {
    ClientMetric m;
    m.label = std::move(labels);
    if (f.type == MetricType::Counter)
        m.counter.value = value;
    else
        m.gauge.value = value;
    f.metric.push_back(std::move(m));
}

}  // namespace

std::string metricsEndpoint(const std::string& address, int port) {
    const bool v6 = address.find(':') != std::string::npos && !address.starts_with("[");
    return (v6 ? "[" + address + "]" : address) + ":" + std::to_string(port);
}

class GatewayCollectable : public prometheus::Collectable {
public:
    explicit GatewayCollectable(const GatewayCounters& c) : c_(c) {}

    std::vector<MetricFamily> Collect() const override {
        std::vector<MetricFamily> out;
        // Accepted is what got through; written counts every try on the wire.
        auto forwarded = family("zampo_alarms_forwarded_total",
                                "Alarm messages ZamMeld accepted (answered OK), by kind", MetricType::Counter);
        for (MessageKind k :
             {MessageKind::Raise, MessageKind::Reset, MessageKind::Group, MessageKind::System, MessageKind::Other})
            add(forwarded, double(c_.accepted[std::size_t(k)]), {{"kind", messageKindName(k)}});
        out.push_back(std::move(forwarded));
        auto byKind = [&](const char* name, const char* help, const auto& counts) {
            out.push_back(family(name, help, MetricType::Counter));
            for (int k = 0; k < kMessageKinds; ++k)
                add(out.back(), double(counts[std::size_t(k)]), {{"kind", messageKindName(MessageKind(k))}});
        };
        byKind("zampo_lines_written_total", "Lines written to ZamMeld, by kind, every send counted", c_.written);
        byKind("zampo_lines_accepted_total", "Lines ZamMeld answered with OK, by kind", c_.accepted);

        auto counter = [&](const char* name, const char* help, double v) {
            out.push_back(family(name, help, MetricType::Counter));
            add(out.back(), v);
        };
        auto gauge = [&](const char* name, const char* help, double v) {
            out.push_back(family(name, help, MetricType::Gauge));
            add(out.back(), v);
        };
        counter("zampo_resends_total", "Further sends of an alarm element after its first", double(c_.resends));
        auto failures = family("zampo_send_failures_total",
                               "Error marks set on alarm elements: 1 refused, 2 not accepted after three sends, "
                               "3 no answer in time",
                               MetricType::Counter);
        for (int code = 1; code <= 3; ++code)
            add(failures, double(c_.errorMarks[std::size_t(code)]), {{"code", std::to_string(code)}});
        out.push_back(std::move(failures));
        counter("zampo_privaoffice_exchanges_total", "Priva Office requests completed or given up",
                double(c_.poExchanges));
        counter("zampo_privaoffice_exchange_failures_total", "Priva Office requests that failed",
                double(c_.poFailures));
        gauge("zampo_privaoffice_failing", "1 when the last Priva Office exchange failed", c_.poFailing ? 1 : 0);
        gauge("zampo_privaoffice_seconds_since_good",
              "Seconds since the last good Priva Office exchange (since the start when there was none)",
              double(msSinceGood.load()) / 1000.0);
        gauge("zampo_zammeld_connected", "1 while a connection to ZamMeld is open, with no socket error since",
              c_.zamConnected ? 1 : 0);
        gauge("zampo_zammeld_answering",
              "0 while ZamMeld closes every connection before it answers (a receiver fault), else 1",
              c_.zamAnswering ? 1 : 0);
        gauge("zampo_zammeld_failing",
              "1 while the gateway shows the ZamMeld fault: a socket error, or no answer, since ZamMeld last answered",
              zamFault ? 1 : 0);
        counter("zampo_zammeld_socket_errors_total", "Socket errors on the ZamMeld connection",
                double(c_.zamSocketErrors));
        gauge("zampo_messages_waiting", "Messages queued for ZamMeld and not yet written", double(c_.messagesWaiting));
        gauge("zampo_status_elements", "Elements in the alarm status file", double(c_.statusElements));
        gauge("zampo_settings_unreadable",
              "1 when ZamLocal.INI could not be read at the last start or reload; the settings in use stay",
              c_.settingsUnreadable ? 1 : 0);
        if (const int64_t walk = c_.lastWalkMs; walk >= 0)
            gauge("zampo_last_walk_seconds", "Duration of the last complete walk through the alarm status elements",
                  double(walk) / 1000.0);
        counter("zampo_watchdogs_sent_total", "Watchdog messages written to ZamMeld",
                double(c_.written[std::size_t(MessageKind::Watchdog)]));
        counter("zampo_watchdogs_answered_total", "Watchdog messages ZamMeld answered", double(c_.watchdogsAnswered));
        gauge("zampo_log_failing", "1 while lines cannot be written to the log file", logWriter().failing() ? 1 : 0);
        return out;
    }

    std::atomic<int64_t> msSinceGood{0};  // sampled
    std::atomic<bool> zamFault{false};    // sampled

private:
    const GatewayCounters& c_;
};

MetricsExporter::MetricsExporter(GatewayRuntime& gateway, QObject* parent)
    : QObject(parent), gateway_(gateway), collectable_(std::make_shared<GatewayCollectable>(gateway.state().counters)) {
    sampler_.setInterval(500);
    connect(&sampler_, &QTimer::timeout, this, [this] { sample(false); });
}

MetricsExporter::~MetricsExporter() = default;

bool MetricsExporter::listen(const std::string& address, int port, const std::string& webConfigFile) {
    WebConfigRead web;
    if (port != 0 && !webConfigFile.empty()) web = readWebConfig(webConfigFile);
    if (exposer_ && address == address_ && port == port_ && webConfigFile == webConfigFile_ &&
        web.text == webConfigText_)
        return true;
    exposer_.reset();
    authHandler_.reset();
    metricsHandler_.reset();
    pageHandler_.reset();
    sampler_.stop();
    address_ = address;
    port_ = port;
    webConfigFile_ = webConfigFile;
    webConfigText_ = web.text;
    if (port == 0) return true;
    if (started_ == TimeMs{}) started_ = gateway_.clock().nowUtc();
    const std::string endpoint = metricsEndpoint(address, port);
    for (const WebConfigProblem& p : web.problems)
        writeLog(std::string(p.error ? "Metrics not served on " : "Metrics on ") + endpoint + ": " + webConfigFile +
                     (p.line ? ":" + std::to_string(p.line) : "") + ": " + p.text,
                 kLogFileOnly);
    if (!web.usable()) return false;
    if (!serve(endpoint, web.config)) return false;
    if (pageHandler_) pageHandler_->wanted = true;
    sample();
    sampler_.start();
    logServing(endpoint, web.config.tls());
    return true;
}

bool MetricsExporter::serve(const std::string& endpoint, const WebConfig& config) {
    // Two threads and short time limits: a slow client holds one thread briefly.
    std::vector<std::string> options = {"listening_ports",    endpoint + (config.tls() ? "s" : ""),
                                        "num_threads",        "2",
                                        "request_timeout_ms", "10000",
                                        "enable_keep_alive",  "no"};
    int pemFd = -1;
    if (config.tls()) {
        std::string problem = openSslNamesProblem();
        if (problem.empty()) pemFd = pemInMemory(config, problem);
        if (pemFd < 0) {
            writeLog("Metrics not served on " + endpoint + ": TLS cannot be started: " + problem, kLogFileOnly);
            return false;
        }
        const std::string pem = "/proc/self/fd/" + std::to_string(pemFd);
        options.insert(options.end(), {"ssl_certificate", pem, "ssl_certificate_chain", config.certFile,
                                       "ssl_protocol_version", "4"});  // TLS 1.2 and later
    }
    metricsHandler_ = std::make_unique<MetricsHandler>(
        [c = collectable_] { return prometheus::TextSerializer().Serialize(c->Collect()); });
    // Off this machine the page needs a password; the figures are what they were before.
    if (isLoopbackAddress(address_) || !config.users.empty()) pageHandler_ = std::make_unique<StatusPageHandler>();
    if (!config.users.empty()) authHandler_ = std::make_unique<BasicAuthHandler>(config.users);
    std::string why;
    exposer_ = startCivetServer(options, why);
    if (pemFd >= 0) ::close(pemFd);
    if (!exposer_) {
        if (config.tls())
            writeLog("Metrics not served on " + endpoint + ": TLS cannot be started (" + why +
                         "); are certificate and key PEM files that belong together?",
                     kLogFileOnly);
        else
            writeLog("Metrics cannot listen on " + endpoint + ": " + why, kLogFileOnly);
        return false;
    }
    if (authHandler_) exposer_->addAuthHandler("/", *authHandler_);
    exposer_->addHandler("/metrics", *metricsHandler_);
    if (pageHandler_) exposer_->addHandler("/", *pageHandler_);
    return true;
}

void MetricsExporter::logServing(const std::string& endpoint, bool tls) {
    const std::string url = std::string(tls ? "https://" : "http://") + endpoint;
    writeLog("Metrics on " + url + "/metrics" + (authHandler_ ? " for the users of " + webConfigFile_ : ""),
             kLogFileOnly);
    if (pageHandler_)
        writeLog("Status page on " + url + "/", kLogFileOnly);
    else
        writeLog("Status page off on " + endpoint +
                     ": an address other than loopback shows it only with users and passwords "
                     "([Metrics] webconfig with basic_auth_users)",
                 kLogFileOnly);
}

void MetricsExporter::sample(bool always) {
    GatewayCounters& c = gateway_.state().counters;
    c.messagesWaiting = gateway_.receiver().queuedCount() + (gateway_.receiver().currentMessage().empty() ? 0 : 1);
    std::size_t elements = 0;
    if (gateway_.alarmStatus())
        for (const pugi::xml_node& n : gateway_.alarmStatus()->root().children())
            if (n.type() == pugi::node_element) ++elements;
    c.statusElements = elements;
    const TimeMs now = gateway_.clock().nowUtc();
    const int64_t good = c.lastGoodPoMs;
    const TimeMs since = good > 0 ? TimeMs(Millis(good)) : started_;
    collectable_->zamFault = gateway_.state().faultStatus == kFaultReceiver;
    collectable_->msSinceGood = std::max<int64_t>(0, std::chrono::duration_cast<Millis>(now - since).count());
    // The timer builds the page only while someone reads it (and now and then, so a
    // first look is not long out of date).
    if (!pageHandler_) return;
    const bool wanted = pageHandler_->wanted.exchange(false);
    if (!always && !wanted && now - pageBuilt_ < Millis(10000)) return;
    pageBuilt_ = now;

    StatusSnapshot snap;
    snap.poFailing = c.poFailing;
    snap.poSecondsSinceGood = collectable_->msSinceGood / 1000;
    snap.zamConnected = c.zamConnected;
    snap.zamSilent = !c.zamAnswering;
    snap.zamFailing = collectable_->zamFault;
    snap.messagesWaiting = c.messagesWaiting;
    snap.lastWalkMs = c.lastWalkMs;
    // Rows of unchanged elements are taken over, so a sample at 10,000 alarms stays cheap.
    std::swap(rows_, earlierRows_);
    buildAlarmStatusRows(gateway_.alarmStatus().get(), gateway_.linkDefs().get(), gateway_.zamDefs().get(), now, rows_,
                         earlierRows_);
    std::string fragment = statusFragment(snap, rows_, statusRules(rows_, gateway_.linkDefs().get()), now);
    std::string page = statusPage(fragment);
    std::lock_guard lock(pageHandler_->mutex);
    pageHandler_->fragment = std::move(fragment);
    pageHandler_->page = std::move(page);
}

}  // namespace zampo
