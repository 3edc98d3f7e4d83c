#include "runtime/metricsexporter.h"

#include <CivetServer.h>
#include <crypt.h>
#include <dlfcn.h>
#include <prometheus/collectable.h>
#include <prometheus/metric_family.h>
#include <prometheus/text_serializer.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <exception>
#include <fstream>
#include <sstream>

#include "logic/core/webconfig.h"
#include "logic/diag/logwriter.h"
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

// Both handlers run on the server's threads: they read only what sample() left
// behind, never the documents.
class MetricsHandler : public CivetHandler {
public:
    explicit MetricsHandler(const GatewayCollectable& c) : c_(c) {}
    bool handleGet(CivetServer*, mg_connection* conn) override {
        const std::string body = prometheus::TextSerializer().Serialize(c_.Collect());
        mg_printf(conn,
                  "HTTP/1.1 200 OK\r\nContent-Type: text/plain; version=0.0.4; charset=utf-8\r\n"
                  "Content-Length: %zu\r\nConnection: close\r\n\r\n",
                  body.size());
        mg_write(conn, body.data(), body.size());
        return true;
    }

private:
    const GatewayCollectable& c_;
};

class StatusPageHandler : public CivetHandler {
public:
    bool handleGet(CivetServer*, mg_connection* conn) override {
        const mg_request_info* info = mg_get_request_info(conn);
        const std::string uri = info && info->local_uri ? info->local_uri : "/";
        std::string body;
        wanted = true;
        {
            std::lock_guard lock(mutex);
            if (uri == "/")
                body = page;
            else if (uri == "/status")
                body = fragment;
        }
        if (body.empty()) {
            mg_send_http_error(conn, 404, "%s", "Not found");
            return true;
        }
        mg_printf(conn,
                  "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nCache-Control: no-store\r\n"
                  "Content-Security-Policy: default-src 'none'; script-src 'unsafe-inline'; "
                  "style-src 'unsafe-inline'; connect-src 'self'\r\n"
                  "Content-Length: %zu\r\nConnection: close\r\n\r\n",
                  body.size());
        mg_write(conn, body.data(), body.size());
        return true;
    }
    // Reject what is not a GET: the page changes nothing.
    bool handlePost(CivetServer*, mg_connection* conn) override { return refuse(conn); }
    bool handlePut(CivetServer*, mg_connection* conn) override { return refuse(conn); }
    bool handleDelete(CivetServer*, mg_connection* conn) override { return refuse(conn); }

    std::mutex mutex;
    std::string page, fragment;
    std::atomic<bool> wanted{false};  // asked for since the last build

private:
    static bool refuse(mg_connection* conn) {
        mg_send_http_error(conn, 405, "%s", "Method not allowed");
        return true;
    }
};

namespace {

std::string base64Decoded(std::string_view in) {
    static constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (char c : in) {
        if (c == '=') break;
        const size_t v = kAlphabet.find(c);
        if (v == std::string_view::npos) return {};
        bits = (bits << 6) | unsigned(v);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += char((bits >> count) & 0xff);
        }
    }
    return out;
}

// crypt(3) of libcrypt knows $2b$ and $2y$; the comparison takes the same time
// wherever the texts differ.
bool bcryptMatches(const std::string& password, const std::string& hash) {
    auto data = std::make_unique<crypt_data>();
    const char* out = crypt_r(password.c_str(), hash.c_str(), data.get());
    if (!out || out[0] == '*' || std::strlen(out) != hash.size()) return false;
    unsigned char diff = 0;
    for (size_t i = 0; i < hash.size(); ++i) diff |= static_cast<unsigned char>(out[i] ^ hash[i]);
    return diff == 0;
}

// A name from a stranger, fit for one log line.
std::string printable(std::string_view text) {
    std::string out;
    for (char c : text.substr(0, 64)) out += (c >= 0x20 && c < 0x7f) ? c : '?';
    return out;
}

}  // namespace

// Before every handler and for every method: a request without the right user and
// password gets 401 and never reaches the page or the figures.
class BasicAuthHandler : public CivetAuthHandler {
public:
    explicit BasicAuthHandler(std::map<std::string, std::string> users) : users_(std::move(users)) {}

    bool authorize(CivetServer*, mg_connection* conn) override {
        const char* header = mg_get_header(conn, "Authorization");
        const std::string value = header ? header : "";
        if (value.empty()) return refuse(conn);
        {
            std::lock_guard lock(mutex_);
            for (const std::string& good : admitted_)
                if (good == value) return true;
        }
        std::string user;
        if (value.size() > 6 && strncasecmp(value.c_str(), "Basic ", 6) == 0) {
            const std::string pair = base64Decoded(value.substr(6));
            const size_t colon = pair.find(':');
            user = pair.substr(0, colon);
            const auto it = users_.find(user);
            if (colon != std::string::npos && pair.find('\0') == std::string::npos && it != users_.end() &&
                bcryptMatches(pair.substr(colon + 1), it->second)) {
                // bcrypt is slow on purpose: a scraper every 15 s should not pay it each time.
                std::lock_guard lock(mutex_);
                if (admitted_.size() == 8) admitted_.erase(admitted_.begin());
                admitted_.push_back(value);
                return true;
            }
        }
        const mg_request_info* info = mg_get_request_info(conn);
        logRefusal(printable(user), info ? info->remote_addr : "?");
        return refuse(conn);
    }

private:
    static bool refuse(mg_connection* conn) {
        const char body[] = "Unauthorized\n";
        mg_printf(conn,
                  "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"ZamPO\", charset=\"UTF-8\"\r\n"
                  "Content-Type: text/plain\r\nContent-Length: %zu\r\nConnection: close\r\n\r\n%s",
                  sizeof body - 1, body);
        return false;
    }
    // One line per wrong try, but a client trying thousands does not fill the log.
    void logRefusal(const std::string& user, const std::string& from) {
        std::lock_guard lock(mutex_);
        const auto now = std::chrono::steady_clock::now();
        if (loggedAny_ && now - lastLog_ < std::chrono::seconds(10)) {
            ++unlogged_;
            return;
        }
        std::string line = "Metrics endpoint: wrong user or password from " + from + " (user \"" + user + "\")";
        if (unlogged_ > 0) line += "; " + std::to_string(unlogged_) + " more refused before";
        writeLog(line, kLogFileOnly);
        loggedAny_ = true;
        lastLog_ = now;
        unlogged_ = 0;
    }

    const std::map<std::string, std::string> users_;
    std::mutex mutex_;
    std::vector<std::string> admitted_;  // Authorization values that matched
    bool loggedAny_ = false;
    std::chrono::steady_clock::time_point lastLog_;
    int unlogged_ = 0;
};

namespace {

// CivetWeb says why it could not start only through its log callback.
std::mutex startMutex;
std::string startError;
bool starting = false;  // under startMutex: the first message while a server starts is why it failed

int civetLog(const mg_connection*, const char* message) {
    std::lock_guard lock(startMutex);
    if (starting && message && startError.empty()) startError = message;
    return 1;  // nothing on stderr: a hostile client's TLS garbage is no news
}

// Debian's CivetWeb opens OpenSSL as libssl.so and libcrypto.so, names only the
// development package has, and with OpenSSL 3 it would call a missing function.
// Ours, loaded first under those sonames, are what its dlopen finds.
std::string openSslNamesProblem() {
    static const std::string problem = [] {
        char exe[4096];
        const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
        const std::string self = n > 0 ? std::string(exe, std::size_t(n)) : std::string();
        const std::string dir = self.starts_with(std::string(ZAMPO_BUILD_DIR) + "/")
                                    ? std::string(ZAMPO_BUILD_TLS_LIBDIR)
                                    : self.substr(0, self.rfind('/')) + "/../lib/zampo";
        for (const char* name : {"libcrypto.so", "libssl.so"})
            if (!::dlopen((dir + "/" + name).c_str(), RTLD_NOW | RTLD_LOCAL)) return std::string(::dlerror());
        return std::string();
    }();
    return problem;
}

// CivetWeb wants the key and the certificate in one PEM file; it gets them in
// memory, so the key is never copied to disk.
int pemInMemory(const WebConfig& web, std::string& problem) {
    std::string pem;
    for (const std::string* f : {&web.certFile, &web.keyFile}) {
        std::ifstream in(*f, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        if (!in) {
            problem = *f + " cannot be read";
            return -1;
        }
        pem += text.str() + "\n";
    }
    const int fd = memfd_create("zampo-tls", MFD_CLOEXEC);
    if (fd < 0 || ::write(fd, pem.data(), pem.size()) != ssize_t(pem.size())) {
        problem = std::string("no memory file for the certificate: ") + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

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

    const WebConfig& config = web.config;
    // Off this machine the page needs a password; the figures are what they were before.
    const bool page = isLoopbackAddress(address) || !config.users.empty();
    int pemFd = -1;
    std::vector<std::string> options = {"listening_ports",    endpoint + (config.tls() ? "s" : ""),
                                        "num_threads",        "2",
                                        "request_timeout_ms", "10000",
                                        "enable_keep_alive",  "no"};
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
    try {
        metricsHandler_ = std::make_unique<MetricsHandler>(*collectable_);
        if (page) pageHandler_ = std::make_unique<StatusPageHandler>();
        if (!config.users.empty()) authHandler_ = std::make_unique<BasicAuthHandler>(config.users);
        CivetCallbacks callbacks;
        callbacks.log_message = civetLog;
        {
            std::lock_guard lock(startMutex);
            startError.clear();
            starting = true;
        }
        // Two threads and short time limits: a slow client holds one thread briefly.
        try {
            exposer_ = std::make_unique<CivetServer>(options, &callbacks);
        } catch (...) {
            std::lock_guard lock(startMutex);
            starting = false;
            throw;
        }
        {
            std::lock_guard lock(startMutex);
            starting = false;
        }
        if (authHandler_) exposer_->addAuthHandler("/", *authHandler_);
        exposer_->addHandler("/metrics", *metricsHandler_);
        if (pageHandler_) exposer_->addHandler("/", *pageHandler_);
    } catch (const std::exception& e) {
        exposer_.reset();
        std::string why;
        {
            std::lock_guard lock(startMutex);
            why = startError.empty() ? e.what() : startError;
        }
        while (!why.empty() && (why.back() == '\n' || why.back() == '\r')) why.pop_back();
        if (config.tls())
            // Debian's CivetWeb loads OpenSSL by the names libssl.so and libcrypto.so.
            writeLog("Metrics not served on " + endpoint + ": TLS cannot be started (" + why +
                         "); are certificate and key PEM files that belong together?",
                     kLogFileOnly);
        else
            writeLog("Metrics cannot listen on " + endpoint + ": " + why, kLogFileOnly);
        if (pemFd >= 0) ::close(pemFd);
        return false;
    }
    if (pemFd >= 0) ::close(pemFd);
    if (pageHandler_) pageHandler_->wanted = true;
    sample();
    sampler_.start();
    const std::string url = std::string(config.tls() ? "https://" : "http://") + endpoint;
    writeLog("Metrics on " + url + "/metrics" + (authHandler_ ? " for the users of " + webConfigFile : ""),
             kLogFileOnly);
    if (pageHandler_)
        writeLog("Status page on " + url + "/", kLogFileOnly);
    else
        writeLog("Status page off on " + endpoint +
                     ": an address other than loopback shows it only with users and passwords "
                     "([Metrics] webconfig with basic_auth_users)",
                 kLogFileOnly);
    return true;
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
