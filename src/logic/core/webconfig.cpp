#include "logic/core/webconfig.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace zampo {

namespace {

std::string trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

// A '#' at the start or after a blank, outside quotes, begins a comment.
std::string withoutComment(const std::string& line) {
    char quote = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t')) {
            return line.substr(0, i);
        }
    }
    return line;
}

bool unquote(std::string& v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'')) {
        if (v.back() != v.front()) return false;
        v = v.substr(1, v.size() - 2);
    } else if (!v.empty() && (v.front() == '"' || v.front() == '\'')) {
        return false;
    }
    return true;
}

std::string resolved(const std::string& dir, const std::string& file) {
    return file.empty() || file.front() == '/' ? file : dir + "/" + file;
}

}  // namespace

bool WebConfigRead::usable() const {
    for (const WebConfigProblem& p : problems)
        if (p.error) return false;
    return true;
}

namespace {

void addProblem(WebConfigRead& r, int line, std::string text, bool error = true) {
    r.problems.push_back({line, std::move(text), error});
}

// The file's text into r, or false with why not.
bool readWhole(const std::string& path, WebConfigRead& r) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        addProblem(r, 0, std::string("cannot be read: ") + std::strerror(errno));
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!S_ISREG(st.st_mode) || !in) {
        addProblem(r, 0, "cannot be read: not a readable file");
        return false;
    }
    std::ostringstream all;
    all << in.rdbuf();
    r.text = all.str();
    // The hashes are as good as passwords to someone who can try them offline.
    if (st.st_mode & (S_IRWXG | S_IRWXO))
        addProblem(r, 0, "can be read by others than its owner; chmod 600 it (owner: the service account)", false);
    return true;
}

// One indented "key: value" line of line number n under section.
void readEntry(const std::string& section, const std::string& key, const std::string& value, int n,
               const std::string& dir, WebConfigRead& r) {
    if (section == "basic_auth_users") {
        const bool bcrypt =
            value.size() == 60 && (value.starts_with("$2a$") || value.starts_with("$2b$") || value.starts_with("$2y$"));
        if (key.empty())
            addProblem(r, n, "a user without a name");
        else if (!bcrypt)
            addProblem(r, n, "the password of " + key + " is not a bcrypt hash ($2b$..., 60 characters)");
        else if (!r.config.users.emplace(key, value).second)
            addProblem(r, n, "user " + key + " is given twice");
    } else if (section == "tls_server_config") {
        if (key == "cert_file")
            r.config.certFile = resolved(dir, value);
        else if (key == "key_file")
            r.config.keyFile = resolved(dir, value);
        else
            addProblem(r, n, key + " is not supported here (only cert_file and key_file)");
    }
}

void checkComplete(bool sawUsers, WebConfigRead& r) {
    if (r.config.certFile.empty() != r.config.keyFile.empty())
        addProblem(r, 0, "tls_server_config needs both cert_file and key_file");
    for (const std::string* f : {&r.config.certFile, &r.config.keyFile})
        if (!f->empty() && ::access(f->c_str(), R_OK) != 0)
            addProblem(r, 0, *f + " cannot be read: " + std::strerror(errno));
    if (sawUsers && r.config.users.empty()) addProblem(r, 0, "basic_auth_users lists no user");
    if (r.config.users.empty() && !r.config.tls()) addProblem(r, 0, "neither basic_auth_users nor tls_server_config");
}

}  // namespace

WebConfigRead readWebConfig(const std::string& path) {
    WebConfigRead r;
    if (!readWhole(path, r)) return r;
    const std::string dir = path.find('/') == std::string::npos ? "." : path.substr(0, path.rfind('/'));
    std::istringstream lines(r.text);
    std::string section;
    bool sawUsers = false, skipping = false;  // skipping: the lines under an unsupported key
    int n = 0;
    for (std::string raw; std::getline(lines, raw);) {
        ++n;
        const std::string line = withoutComment(raw);
        if (trim(line).empty() || trim(line) == "---") continue;
        const bool indented = line[0] == ' ' || line[0] == '\t';
        const std::string body = trim(line);
        const size_t colon = body.find(':');
        if (colon == std::string::npos) {
            addProblem(r, n, "\"" + body + "\" is not \"key: value\"");
            continue;
        }
        std::string key = trim(body.substr(0, colon));
        std::string value = trim(body.substr(colon + 1));
        if (!unquote(key) || !unquote(value)) {
            addProblem(r, n, "unbalanced quotes");
            continue;
        }
        if (!indented) {
            section = key;
            skipping = false;
            if (key != "basic_auth_users" && key != "tls_server_config") {
                addProblem(r, n, key + " is not supported here (only basic_auth_users and tls_server_config)");
                section.clear();
                skipping = true;
            } else if (!value.empty() && value != "{}") {
                addProblem(r, n, key + " takes its entries on the lines below it");
            }
            if (key == "basic_auth_users") sawUsers = true;
        } else if (!section.empty()) {
            readEntry(section, key, value, n, dir, r);
        } else if (!skipping) {
            addProblem(r, n, "\"" + key + "\" belongs to no section");
        }
    }
    checkComplete(sawUsers, r);
    return r;
}

bool isLoopbackAddress(const std::string& address) {
    return address == "localhost" || address == "::1" || address == "[::1]" || address.starts_with("127.");
}

}  // namespace zampo
