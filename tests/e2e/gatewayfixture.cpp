#include "gatewayfixture.h"

#include <algorithm>
#include <filesystem>

#include "logic/alarmstatus/alarmstatus.h"
#include "logic/core/settings.h"
#include "logic/diag/logwriter.h"
#include "logic/language/langtext.h"
#include "runtime/mainloop.h"
#include "support/loopback.h"

namespace zampo::test {

namespace {

// The bound only keeps a broken gateway from hanging the test.
constexpr int kWaitMs = 20000;

std::string withoutTime(const std::string& listLine) {
    return listLine.substr(listLine.find(' ') + 1);
}

}  // namespace

void GatewayTest::SetUp() {
    loadLangTexts("ENG");
    std::filesystem::create_directories(dir.path() + "/prog");
    std::filesystem::create_directories(dir.path() + "/zam/data");
    writeFile(dir.path() + "/prog/PO.ini", "[Application]\ndatapath=" + dir.path() + "/zam/data\n");
    paths = std::make_unique<DataPaths>(dir.path() + "/prog", dir.path());
    poDir = paths->poDataDir();
    logWriter().setFileName(paths->logFile());
    logWriter().setListSink([this](int channel, const std::string& line) {
        std::lock_guard lock(listMutex_);
        (channel == kLogReceiverList ? receiverList_ : poList_).push_back(withoutTime(line));
    });
    alarmsFile = dir.path() + "/active-alarms.xml";
    setActiveAlarms("");
}

void GatewayTest::TearDown() {
    stopGateway();
    logWriter().setListSink({});
    logWriter().setFileName("");
    resetLangTexts();
}

void GatewayTest::writeDataFile(const std::string& name, const std::string& content) {
    writeFile(poDir + "/" + name, content);
}

std::string GatewayTest::readDataFile(const std::string& name) const {
    return readFile(poDir + "/" + name);
}

void GatewayTest::setActiveAlarms(const std::string& elements) {
    writeFile(alarmsFile, "<active-alarms>" + elements + "</active-alarms>");
}

std::string GatewayTest::stamp(Millis offset) {
    return formatStatusTime(kT0 + offset);
}

std::string GatewayTest::activeAlarm(const std::string& pcu, const std::string& location, const std::string& nr,
                                     const std::string& text, Millis start) {
    return "<alarm pcu=\"" + pcu + "\" location=\"" + location + "\" nr=\"" + nr + "\" text=\"" + text + "\" start=\"" +
           stamp(start) + "\"/>";
}

void GatewayTest::writeSiteDefinitions() {
    writeDataFile("ZamDefs.xml", R"(<ZamAlarmDefinitions>
        <Location Code="12"><Alarm Code="3"/><Alarm Code="4"/></Location>
        <Location Code="20"><Alarm Code="1"/></Location>
        <Location Code="30"><Alarm Code="2"/></Location>
        <Location Code="100"><Alarm Code="7" GroupDelay="30" Repeat="1"/></Location>
        </ZamAlarmDefinitions>)");
    writeDataFile("LinkDefs.xml", R"(<ZamPOLinkDefs><PO_Locations>
        <PO_loc pcu="PCU1" text="Kas4" zam_alarm="0012 - 03"/>
        <PO_loc pcu="PCU1" text="Kas5" zam_alarm="0012 - 04" zam_group="0100 - 07">
            <Except nr="9" zam_alarm="0020 - 01"/></PO_loc>
        </PO_Locations><PO_Exceptions><Except nr="77" zam_alarm="0030 - 02"/></PO_Exceptions></ZamPOLinkDefs>)");
}

void GatewayTest::start(const QString& address, const QString& zamMode, const QStringList& posimArgs, int watchdogId,
                        const QStringList& zamsimArgs) {
    poAddress = address;
    ASSERT_TRUE(zamsim.start(zamMode, zamsimArgs)) << zamsim.output().toStdString();
    ASSERT_TRUE(posim.start(poAddress, QStringList{"--alarms", QString::fromStdString(alarmsFile)} + posimArgs))
        << posim.output().toStdString();
    startGateway(watchdogId);
}

void GatewayTest::startGateway(int watchdogId) {
    Settings s;
    s.zamHost = "127.0.0.1";
    s.zamPort = zamsim.port();
    s.poHost = " " + poAddress.toStdString() + " ";  // as an operator may type it
    s.watchdogId = watchdogId;
    gateway = std::make_unique<GatewayRuntime>(*paths, clock, window);
    // The machines rest until a moment of this clock: moving it is their event.
    clock.moved = [this] {
        if (!gateway) return;
        gateway->loopSteps().wake();
        gateway->socketSteps().wake();
    };
    gateway->applySettings(s);
    gateway->openDocuments();
    gateway->startMachines();
    ASSERT_TRUE(waitUntil([&] { return settled(); }, kWaitMs));
}

void GatewayTest::stopGateway() {
    // Its worker and socket go first, while both simulators still answer.
    gateway.reset();
}

void GatewayTest::advance(Millis d) {
    if (HasFatalFailure()) return;  // one failure is enough; the rest would only wait
    ASSERT_TRUE(settled()) << "the clock moves only while the loop waits";
    moveClock(d);
}

void GatewayTest::moveClock(Millis d) {
    if (HasFatalFailure()) return;
    clock.advance(d);
    ASSERT_TRUE(waitUntil([&] { return settled(); }, kWaitMs))
        << "loop state " << gateway->loopSteps().state() << ", posim:\n"
        << posim.output().toStdString() << "zamsim:\n"
        << zamsim.output().toStdString();
}

bool GatewayTest::settled() const {
    const MainLoop& loop = gateway->mainLoop();
    const TimeMs now = clock.ManualClock::nowUtc();  // never the failing reading
    return gateway->loopSteps().stateAs<MainLoop::State>() == MainLoop::State::Wait && !loop.watchdogTimer().due(now) &&
           !loop.pollTimer().due(now) && !loop.definitionsTimer().due(now) && !gateway->state().refreshRequest &&
           !gateway->fetchPort().workerRunning() && gateway->receiver().queuedCount() == 0 &&
           gateway->receiver().currentMessage().empty() && !loop.savePending();
}

std::vector<std::string> GatewayTest::newWireLines() {
    if (HasFatalFailure()) return {};
    const std::size_t expected = queued().size();
    std::vector<std::string> wire;
    EXPECT_TRUE(waitUntil(
        [&] {
            wire = zamsim.received();
            return wire.size() >= expected;
        },
        kWaitMs))
        << zamsim.output().toStdString();
    std::vector<std::string> fresh(wire.begin() + static_cast<std::ptrdiff_t>(std::min(wireSeen_, wire.size())),
                                   wire.end());
    wireSeen_ = wire.size();
    return fresh;
}

std::vector<std::string> GatewayTest::queued() const {
    static const std::string kSend = "Send: ";
    std::lock_guard lock(listMutex_);
    std::vector<std::string> out;
    for (const std::string& line : receiverList_)
        if (line.starts_with(kSend)) out.push_back(line.substr(kSend.size()));
    return out;
}

int GatewayTest::receiverListCount(const std::string& line) const {
    std::lock_guard lock(listMutex_);
    return static_cast<int>(std::count(receiverList_.begin(), receiverList_.end(), line));
}

bool GatewayTest::poListHas(const std::string& line) const {
    std::lock_guard lock(listMutex_);
    return std::find(poList_.begin(), poList_.end(), line) != poList_.end();
}

std::string GatewayTest::logText() const {
    return readFile(paths->logFile());
}

}  // namespace zampo::test
