#include "logic/diag/floodguard.h"

#include <gtest/gtest.h>

#include "logic/diag/exceptionreport.h"

using namespace zampo;
using namespace std::chrono_literals;

TEST(FloodGuard, EndsOnlyWhenTheHundredAndFirstComesWithinASecond) {
    const TimeMs t0{1'000'000ms};
    FloodGuard quick;
    for (int i = 0; i < 100; ++i) EXPECT_FALSE(quick.count(t0 + Millis(i)));
    EXPECT_TRUE(quick.count(t0 + 99ms + 500ms));

    FloodGuard slow;
    for (int i = 0; i < 100; ++i) slow.count(t0);
    EXPECT_FALSE(slow.count(t0 + 2s));  // counter starts again
    EXPECT_EQ(slow.counter(), 0);
    for (int i = 0; i < 100; ++i) EXPECT_FALSE(slow.count(t0 + 2s));
    EXPECT_TRUE(slow.count(t0 + 2s + 10ms));  // the next check is 101 errors later
}

TEST(ExceptionReport, LocationTextAndTheBracketedMessage) {
    const std::string loc = exceptionLocationText("TMainForm", 0x0045A1B2);
    EXPECT_EQ(loc.rfind("Exception TMainForm in module ", 0), 0u) << loc;
    EXPECT_EQ(loc.substr(loc.size() - 13), " at 0045A1B2.");
    EXPECT_LE(exceptionLocationText(std::string(200, 'C'), 1).size(), 80u);

    ErrorInfo e;
    try {
        throw std::out_of_range("index 7");
    } catch (...) {
        e = describeError(std::current_exception());
    }
    EXPECT_EQ(e.message, "index 7");
    EXPECT_EQ(e.className, "std::out_of_range");
    EXPECT_EQ(exceptionLogMessage("L", e), "<L><index 7><std::out_of_range>");
}
