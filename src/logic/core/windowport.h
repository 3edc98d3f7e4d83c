#pragma once
// What the gateway publishes for whoever shows it: the window implements it, the
// window-less gateway logs it, tests keep it (HeadlessWindow). The gateway never
// asks anything of it. Called in the gateway's thread only.
#include <string>
#include <vector>

namespace zampo {

class WindowPort {
public:
    virtual ~WindowPort() = default;
    virtual void setStatusText(const std::string& text) = 0;
    // Repaints the status bar; shownStatus > 0 shows that fault's image.
    virtual void showFaultStatus(int shownStatus) = 0;
    // channel 1: receiver list, 2: Priva Office list
    virtual void addListLine(int channel, const std::string& line) = 0;
    // The link definitions changed on disk: show them anew.
    virtual void refillLinkGrid() = 0;
    // A walk through the alarm status ended, or a new alarm status was taken in.
    virtual void alarmStatusWalked() {}
};

// Keeps what it is told, for tests.
class HeadlessWindow : public WindowPort {
public:
    void setStatusText(const std::string& text) override { statusText = text; }
    void showFaultStatus(int s) override {
        shownImage = s;
        ++repaints;
    }
    void addListLine(int channel, const std::string& line) override {
        (channel == 1 ? receiverList : poList).push_back(line);
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
