#pragma once
// Starting CivetWeb for the metrics endpoint: its own reason when it cannot, and
// what TLS needs from OpenSSL and the certificate files.
#include <CivetServer.h>

#include <memory>
#include <string>
#include <vector>

#include "logic/core/webconfig.h"

namespace zampo {

// Empty when OpenSSL can be loaded under the names CivetWeb opens, else why not.
std::string openSslNamesProblem();
// A memory file with certificate and key as one PEM, or -1 with the problem.
int pemInMemory(const WebConfig& web, std::string& problem);
// The server on the options, or nothing with CivetWeb's own reason in why.
std::unique_ptr<CivetServer> startCivetServer(const std::vector<std::string>& options, std::string& why);

}  // namespace zampo
