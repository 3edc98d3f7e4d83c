#pragma once
// Who may read the metrics endpoint and how it is reached: the web configuration
// file in the form Prometheus' own servers read (basic_auth_users and
// tls_server_config), named by [Metrics] webconfig in ZamLocal.INI.
#include <map>
#include <string>
#include <vector>

namespace zampo {

struct WebConfig {
    std::map<std::string, std::string> users;  // name -> bcrypt hash
    std::string certFile, keyFile;             // both or neither; relative to the file's directory
    bool tls() const { return !certFile.empty(); }
};

struct WebConfigProblem {
    int line = 0;  // 0: the file as a whole
    std::string text;
    bool error = true;  // false: a warning, the file is still used
};

struct WebConfigRead {
    WebConfig config;
    std::string text;  // the file as read, to see a change at a reload
    std::vector<WebConfigProblem> problems;
    bool usable() const;
};

// Reads and checks the file; anything it does not understand is an error, so a
// setting the gateway would not enforce never passes in silence.
WebConfigRead readWebConfig(const std::string& path);

// 127.0.0.0/8, ::1 and localhost: only this machine can connect.
bool isLoopbackAddress(const std::string& address);

}  // namespace zampo
