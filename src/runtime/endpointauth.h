#pragma once
// The metrics endpoint's users: basic authentication against the bcrypt hashes of
// the web configuration, before every handler and for every method.
#include <CivetServer.h>

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace zampo {

// A request without the right user and password gets 401 and never reaches the
// page or the figures.
class BasicAuthHandler : public CivetAuthHandler {
public:
    explicit BasicAuthHandler(std::map<std::string, std::string> users) : users_(std::move(users)) {}
    bool authorize(CivetServer*, mg_connection* conn) override;

private:
    static bool refuse(mg_connection* conn);
    // One line per wrong try, but a client trying thousands does not fill the log.
    void logRefusal(const std::string& user, const std::string& from);

    const std::map<std::string, std::string> users_;
    std::mutex mutex_;
    std::vector<std::string> admitted_;  // Authorization values that matched
    bool loggedAny_ = false;
    std::chrono::steady_clock::time_point lastLog_;
    int unlogged_ = 0;
};

}  // namespace zampo
