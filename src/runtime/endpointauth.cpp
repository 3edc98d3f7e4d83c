#include "runtime/endpointauth.h"

#include <crypt.h>
#include <strings.h>

#include <cstring>
#include <memory>
#include <string_view>

#include "logic/diag/logwriter.h"

namespace zampo {

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

bool BasicAuthHandler::authorize(CivetServer*, mg_connection* conn) {
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

bool BasicAuthHandler::refuse(mg_connection* conn) {
    const char body[] = "Unauthorized\n";
    mg_printf(conn,
              "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"ZamPO\", charset=\"UTF-8\"\r\n"
              "Content-Type: text/plain\r\nContent-Length: %zu\r\nConnection: close\r\n\r\n%s",
              sizeof body - 1, body);
    return false;
}

void BasicAuthHandler::logRefusal(const std::string& user, const std::string& from) {
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

}  // namespace zampo
