#pragma once
// A WindowPort that keeps what it is told, for tests.
#include <string>
#include <vector>

#include "runtime/windowport.h"

namespace zampo {

class HeadlessWindow : public WindowPort {
public:
    void setStatusText(const std::string& text) override { statusText = text; }
    void showFaultStatus(FaultStatus s) override {
        shownImage = s;
        ++repaints;
    }
    void addListLine(LogChannel list, const std::string& line) override {
        (list == kLogReceiverList ? receiverList : poList).push_back(line);
    }
    void refillLinkGrid() override { ++gridRefills; }
    void alarmStatusWalked() override { ++statusWalks; }

    std::string statusText;
    int shownImage = 0;
    int repaints = 0;
    int gridRefills = 0;
    int statusWalks = 0;
    std::vector<std::string> receiverList;
    std::vector<std::string> poList;
};

}  // namespace zampo
