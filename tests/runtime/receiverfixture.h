#pragma once
// A socket machine on its own timer, a headless window, a temporary log file and
// the receiver list as the log writer hands it to the window.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "runtime/gatewaystate.h"
#include "runtime/socketmachine.h"
#include "runtime/steptimer.h"
#include "support/headlesswindow.h"
#include "support/loopback.h"
#include "support/tempdir.h"

namespace zampo::test {

class ReceiverFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The machine talks to 127.0.0.1:port; start() runs it as the window would.
    void makeMachine(quint16 port);
    void start();

    // Receiver list lines without their time of day.
    std::vector<std::string> listLines() const;
    bool listHas(const std::string& line) const;
    int listCount(const std::string& line) const;

    TempDir dir;
    HeadlessWindow window;
    GatewayState gateway;
    StepTimer socketSteps;
    std::unique_ptr<SocketMachine> sockets;

private:
    std::shared_ptr<std::vector<std::string>> lines_ = std::make_shared<std::vector<std::string>>();
};

}  // namespace zampo::test
