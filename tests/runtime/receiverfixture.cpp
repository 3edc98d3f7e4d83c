#include "receiverfixture.h"

#include <algorithm>

#include "logic/diag/logwriter.h"
#include "logic/language/langtext.h"

namespace zampo::test {

void ReceiverFixture::SetUp() {
    ensureQtApp();
    loadLangTexts("ENG");
    logWriter().setFileName(dir.file("ZAMPO.LOG"));
    auto lines = lines_;
    logWriter().setListSink([lines](int channel, const std::string& line) {
        if (channel == kLogReceiverList) lines->push_back(line.substr(line.find(' ') + 1));
    });
}

void ReceiverFixture::TearDown() {
    socketSteps.setEnabled(false);
    sockets.reset();
    logWriter().setListSink({});
    logWriter().setFileName("");
    resetLangTexts();
}

void ReceiverFixture::makeMachine(quint16 port) {
    sockets = std::make_unique<SocketMachine>(socketSteps, "127.0.0.1", port, window, gateway);
}

void ReceiverFixture::start() {
    socketSteps.setInterval(10);
    socketSteps.setLoopCount(0);
    socketSteps.setState(1);
    socketSteps.setEnabled(true);
}

std::vector<std::string> ReceiverFixture::listLines() const {
    return *lines_;
}

bool ReceiverFixture::listHas(const std::string& line) const {
    return listCount(line) > 0;
}

int ReceiverFixture::listCount(const std::string& line) const {
    return static_cast<int>(std::count(lines_->begin(), lines_->end(), line));
}

}  // namespace zampo::test
