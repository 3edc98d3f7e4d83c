#pragma once
// The gateway's whole runtime, without a window, between the two simulators over
// loopback. The loop reads a test clock: its timers fire when a test moves the
// clock, while the requests and the socket run in real time.
#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "logic/core/clock.h"
#include "logic/core/datapaths.h"
#include "runtime/gatewayruntime.h"
#include "support/headlesswindow.h"
#include "support/posimprocess.h"
#include "support/tempdir.h"
#include "support/zamsimprocess.h"

namespace zampo::test {

// A clock that fails once, at the first reading for which failWhen holds.
class FailingClock : public ManualClock {
public:
    using ManualClock::ManualClock;
    TimeMs nowUtc() const override {
        if (failWhen && failWhen()) {
            failWhen = {};
            throw std::runtime_error("clock gone");
        }
        return ManualClock::nowUtc();
    }
    mutable std::function<bool()> failWhen;
};

using Lines = std::vector<std::string>;

// Lines ZamMeld gets from the site of writeSiteDefinitions with watchdog ID 1.
inline const std::string kWatchdog = "[ZAM WD 09 1]";
inline const std::string kConfigError = "[ZAM RCVALARM 02,9999,9,A]";
inline const std::string kRaiseA = "[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 Temp hoog]";
inline const std::string kRaiseB = "[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 Vocht hoog]";

inline Lines withoutWatchdog(Lines lines) {
    std::erase(lines, kWatchdog);
    return lines;
}

// The test clock's start, a whole second, so that every status time stamp is exact.
inline constexpr TimeMs kT0{std::chrono::sys_days{std::chrono::year{2024} / 5 / 1} + std::chrono::hours{10}};

class GatewayTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A file of the PO data directory, written before the gateway starts.
    void writeDataFile(const std::string& name, const std::string& content);
    std::string readDataFile(const std::string& name) const;
    // What Priva Office lists as active from its next answer on.
    void setActiveAlarms(const std::string& elements);
    // A status time stamp, offset from the clock's start.
    static std::string stamp(Millis offset);
    // One alarm of the active-alarms answer; text is XML-escaped already.
    static std::string activeAlarm(const std::string& pcu, const std::string& location, const std::string& nr,
                                   const std::string& text, Millis start);
    // The ZAM definitions and links of a small site: Kas4 to 0012 - 03; Kas5 to
    // 0012 - 04 in group 0100 - 07 (30 s delay, repeated every minute) with an
    // exception for alarm 9 to 0020 - 01 without group; every location's alarm 77
    // to 0030 - 02.
    void writeSiteDefinitions();

    // Starts the receiver simulator with an answer mode, the Priva Office simulator
    // on its own loopback address, then the gateway with that watchdog ID, and
    // waits until its loop waits in state 3.
    void start(const QString& address, const QString& zamMode = "ok", const QStringList& posimArgs = {},
               int watchdogId = 1, const QStringList& zamsimArgs = {});
    void startGateway(int watchdogId);
    void stopGateway();

    // Moves the clock while the loop waits, then lets everything run until the loop
    // waits again with nothing due and nothing left to write.
    void advance(Millis d);
    // The same while the loop is busy, e.g. waiting for an answer.
    void moveClock(Millis d);
    bool settled() const;
    // The lines ZamMeld received since the last call, once all that was queued arrived.
    std::vector<std::string> newWireLines();
    // Every message queued so far, from the "Send:" lines of the receiver list.
    std::vector<std::string> queued() const;
    int receiverListCount(const std::string& line) const;
    bool poListHas(const std::string& line) const;
    std::string logText() const;

    TempDir dir;
    FailingClock clock{kT0};
    HeadlessWindow window;
    std::unique_ptr<DataPaths> paths;
    std::string poDir;
    std::string alarmsFile;
    QString poAddress;
    ZamsimProcess zamsim;
    PosimProcess posim;
    std::unique_ptr<GatewayRuntime> gateway;

private:
    mutable std::mutex listMutex_;  // the fetch worker logs from its own thread
    std::vector<std::string> receiverList_, poList_;
    std::size_t wireSeen_ = 0;
};

}  // namespace zampo::test
