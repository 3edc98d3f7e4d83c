#include "logic/diag/tracewriter.h"

#include <gtest/gtest.h>
#include <filesystem>

#include "support/tempdir.h"

using namespace zampo;

namespace {
int countFiles(const std::string& dir) {
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) ++n;
    return n;
}
}  // namespace

TEST(TraceWriter, OffWritesNothingOnWritesRawDataUnderATimeStampedName) {
    test::TempDir dir;
    TraceWriter t;
    t.setDirectory(dir.path());
    t.write("ignored", "00");
    EXPECT_EQ(countFiles(dir.path()), 0);

    t.setEnabled(true);
    t.write("<raw/>", "00");
    t.write("second in the same second replaces", "00");
    t.write("<doc/>", "01");
    EXPECT_LE(countFiles(dir.path()), 4);  // a second boundary may split the pair
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = e.path().filename().string();
        EXPECT_EQ(name.size(), std::string("20261209_074501_00.trc").size()) << name;
        if (name.find("_01.trc") != std::string::npos) {
            EXPECT_EQ(test::readFile(e.path().string()), "<doc/>");
        }
    }

    std::tm tm{};
    tm.tm_year = 126;
    tm.tm_mon = 0;
    tm.tm_mday = 5;
    tm.tm_hour = 7;
    tm.tm_min = 4;
    tm.tm_sec = 3;
    EXPECT_EQ(TraceWriter::fileNameFor(tm, "02"), "20260105_070403_02.trc");
}

TEST(TraceWriter, AMissingDirectoryIsAnErrorForTheCaller) {
    TraceWriter t;
    t.setEnabled(true);
    t.setDirectory("/nonexistent/trace");
    EXPECT_THROW(t.write("x", "00"), std::runtime_error);
}
