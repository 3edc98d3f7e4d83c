#pragma once
// The one blocking HTTP GET the gateway makes: a request to the Priva Office
// alarm server, answered with the body's bytes or a failure with its reason.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>

namespace zampo {

// An answer larger than this counts as a failed request, so that a faulty or
// hostile server cannot make the gateway hold an unbounded body in memory.
inline constexpr std::size_t kMaxAnswerBytes = std::size_t{32} * 1024 * 1024;

struct HttpLimits {
    std::chrono::milliseconds timeLimit{45000};  // whole request, connect included
    std::size_t maxBody = kMaxAnswerBytes;
    // Only for --check at a metrics endpoint behind users and TLS: basic
    // authentication, and https with this certificate as the one trusted (the
    // gateway's own, so its name is not compared with the address).
    std::string user, password, trustedCertificate;
};

struct HttpResult {
    bool ok = false;
    long status = 0;        // the answer's status code; 0 when none came
    std::string body;       // the bytes as sent, without any character-set conversion (ok only)
    std::string reason;     // why ok is false, one line for the log
    bool timedOut = false;  // no complete answer within the time limit
};

// libcurl with its defaults. Every request uses a connection of its own that is
// closed when the request ends, so one client can serve one worker after another
// and be shared with a running request while the loop creates the next client.
class HttpClient {
public:
    HttpClient();

    // GET over HTTP/1.1 with the header values Priva Office is used to, without
    // proxy or authentication. Redirects are not followed: like every status outside
    // 200-299 they are failures. Setting *cancel aborts the request within about a second.
    HttpResult get(const std::string& url, const HttpLimits& limits, const std::atomic<bool>* cancel = nullptr) const;

    static constexpr const char* kAccept = "text/html, */*";
    static constexpr const char* kUserAgent = "Mozilla/3.0 (compatible; Indy Library)";
};

}  // namespace zampo
