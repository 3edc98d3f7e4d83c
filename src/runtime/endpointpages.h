#pragma once
// What the metrics endpoint serves: the figures at /metrics and the read-only
// status page at / with its fragment at /status.
#include <CivetServer.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

namespace zampo {

// Both handlers run on the server's threads: they read only what sample() left
// behind, never the documents.
class MetricsHandler : public CivetHandler {
public:
    explicit MetricsHandler(std::function<std::string()> figures) : figures_(std::move(figures)) {}
    bool handleGet(CivetServer*, mg_connection* conn) override {
        const std::string body = figures_();
        mg_printf(conn,
                  "HTTP/1.1 200 OK\r\nContent-Type: text/plain; version=0.0.4; charset=utf-8\r\n"
                  "Content-Length: %zu\r\nConnection: close\r\n\r\n",
                  body.size());
        mg_write(conn, body.data(), body.size());
        return true;
    }

private:
    const std::function<std::string()> figures_;  // the figures in Prometheus text format
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

}  // namespace zampo
