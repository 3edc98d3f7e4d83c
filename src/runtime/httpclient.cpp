#include "runtime/httpclient.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace zampo {

namespace {

// libcurl's global set-up is not thread-safe on every build; do it once, before any
// worker thread can reach it (the first client is made in the gateway's thread).
CURLcode globalInitResult() {
    static std::once_flag once;
    static CURLcode result = CURLE_OK;
    std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
    return result;
}

struct Transfer {
    std::string body;
    std::size_t maxBody = 0;
    bool tooLarge = false;
    const std::atomic<bool>* cancel = nullptr;
};

size_t onData(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t n = size * count;
    if (n > t->maxBody - t->body.size()) {
        t->tooLarge = true;
        return CURL_WRITEFUNC_ERROR;
    }
    t->body.append(data, n);
    return n;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* t = static_cast<const Transfer*>(user);
    return t->cancel && t->cancel->load(std::memory_order_relaxed) ? 1 : 0;
}

std::string secondsText(std::chrono::milliseconds ms) {
    const long long n = ms.count();
    return n % 1000 == 0 ? std::to_string(n / 1000) + " s" : std::to_string(n) + " ms";
}

struct EasyDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct ListDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

// What the transfer came to: the body, or the reason there is none.
void judge(HttpResult& result, CURLcode rc, Transfer& transfer, const char* errorText, const HttpLimits& limits) {
    if (result.status != 0 && (result.status < 200 || result.status > 299)) {
        result.reason = "HTTP status " + std::to_string(result.status);
        if (result.status >= 300 && result.status < 400) result.reason += " (redirects are not followed)";
    } else if (transfer.tooLarge || rc == CURLE_FILESIZE_EXCEEDED) {
        result.reason = "the answer is larger than " + std::to_string(limits.maxBody) + " bytes";
    } else if (rc == CURLE_OPERATION_TIMEDOUT) {
        result.timedOut = true;
        result.reason = "no complete answer within " + secondsText(limits.timeLimit);
    } else if (rc == CURLE_ABORTED_BY_CALLBACK) {
        result.reason = "cancelled";
    } else if (rc != CURLE_OK) {
        result.reason = *errorText ? errorText : curl_easy_strerror(rc);
    } else {
        result.ok = true;
        result.body = std::move(transfer.body);
    }
}

}  // namespace

HttpClient::HttpClient() {
    globalInitResult();
}

HttpResult HttpClient::get(const std::string& url, const HttpLimits& limits, const std::atomic<bool>* cancel) const {
    HttpResult result;
    if (const CURLcode rc = globalInitResult(); rc != CURLE_OK) {
        result.reason = std::string("the HTTP library could not start: ") + curl_easy_strerror(rc);
        return result;
    }
    std::unique_ptr<CURL, EasyDeleter> curl(curl_easy_init());
    std::unique_ptr<curl_slist, ListDeleter> headers(
        curl_slist_append(nullptr, (std::string("Accept: ") + kAccept).c_str()));
    if (!curl || !headers) {
        result.reason = "the HTTP library could not create a request";
        return result;
    }

    Transfer transfer;
    transfer.maxBody = limits.maxBody;
    transfer.cancel = cancel;
    char errorText[CURL_ERROR_SIZE] = {};
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http");  // a host setting cannot turn this into file:// or the like
    if (!limits.trustedCertificate.empty()) {
        curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "https");
        curl_easy_setopt(c, CURLOPT_CAINFO, limits.trustedCertificate.c_str());
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 0L);
    }
    if (!limits.user.empty()) {
        curl_easy_setopt(c, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
        curl_easy_setopt(c, CURLOPT_USERNAME, limits.user.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, limits.password.c_str());
    }
    curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_PROXY, "");  // also ignores http_proxy in the environment
    curl_easy_setopt(c, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);  // no SIGALRM from a worker thread
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.timeLimit.count()));
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBody));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, onData);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);

    const CURLcode rc = curl_easy_perform(c);
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &result.status);
    judge(result, rc, transfer, errorText, limits);
    return result;
}

}  // namespace zampo
