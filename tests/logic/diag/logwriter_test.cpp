#include "logic/diag/logwriter.h"

#include <gtest/gtest.h>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "support/tempdir.h"

using namespace zampo;

namespace {
struct LogFixture : ::testing::Test {
    LogFixture() {
        log.setFileName(dir.file("ZAMPO.LOG"));
        log.setListSink([this](int ch, const std::string& line) { lines.emplace_back(ch, line); });
    }
    std::string logPath() const { return dir.file("ZAMPO.LOG"); }
    test::TempDir dir;
    LogWriter log;
    std::vector<std::pair<int, std::string>> lines;
};
}  // namespace

TEST_F(LogFixture, LineLayoutAndChannels) {
    log.write("plain", 0);
    log.write("to <receiver> list", 1);
    log.write("to po list", 2);
    log.write("odd channel", 5);
    const std::string text = test::readFile(logPath());
    const std::regex line(R"(<\d\d-\d\d-\d{4}><\d\d:\d\d:\d\d><[^\r\n]*>\r\n)");
    std::istringstream in(text);
    int count = 0;
    for (std::string l; std::getline(in, l);) {
        EXPECT_TRUE(std::regex_match(l + "\n", line)) << l;
        ++count;
    }
    EXPECT_EQ(count, 4);
    EXPECT_NE(text.find("><to <receiver> list>\r\n"), std::string::npos);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].first, 1);
    EXPECT_TRUE(std::regex_match(lines[0].second, std::regex(R"(\d\d:\d\d:\d\d to <receiver> list)")));
    EXPECT_EQ(lines[1].first, 2);
}

TEST_F(LogFixture, RotatesOnlyAboveTheLimitAndKeepsOneGeneration) {
    test::writeFile(logPath(), std::string(kLogRotateSize, 'a'));
    log.write("at the limit", 0);
    EXPECT_FALSE(test::fileExists(dir.file("OLDPO.log")));
    EXPECT_GT(std::filesystem::file_size(logPath()), static_cast<uintmax_t>(kLogRotateSize));

    log.write("one more", 0);
    const std::string old = test::readFile(dir.file("OLDPO.log"));
    EXPECT_EQ(old.substr(0, kLogRotateSize), std::string(kLogRotateSize, 'a'));
    EXPECT_NE(old.find("<at the limit>\r\n"), std::string::npos);
    const std::string now = test::readFile(logPath());
    EXPECT_NE(now.find("<one more>"), std::string::npos);
    EXPECT_EQ(now.find("at the limit"), std::string::npos);

    test::writeFile(logPath(), std::string(kLogRotateSize + 1, 'b'));
    log.write("second rotation", 0);
    EXPECT_EQ(test::readFile(dir.file("OLDPO.log")), std::string(kLogRotateSize + 1, 'b'));
}

TEST_F(LogFixture, RotationRacedFromTwoThreadsHappensOnce) {
    // The window's thread and the fetch worker both check the size: a second rotation
    // would copy the freshly emptied log over OLDPO.log. Both must check before either
    // rotates for that to show, hence many rounds; a sparse file keeps each one cheap.
    const auto oversized = static_cast<uintmax_t>(kLogRotateSize + 1);
    for (int round = 0; round < 100; ++round) {
        test::writeFile(logPath(), "old log " + std::to_string(round));
        std::filesystem::resize_file(logPath(), oversized);
        std::atomic<int> ready{0};
        auto rotator = [&] {
            ready.fetch_add(1);
            while (ready.load() < 2) {
            }
            log.rotateIfOversized();
        };
        std::thread a(rotator), b(rotator);
        a.join();
        b.join();
        ASSERT_EQ(std::filesystem::file_size(dir.file("OLDPO.log")), oversized) << "round " << round;
        const std::string head = "old log " + std::to_string(round);
        std::string start(head.size(), '\0');
        std::ifstream(dir.file("OLDPO.log"), std::ios::binary).read(start.data(), std::streamsize(start.size()));
        EXPECT_EQ(start, head);
        ASSERT_EQ(std::filesystem::file_size(logPath()), 0u);
    }
    log.rotateIfOversized();
    EXPECT_EQ(std::filesystem::file_size(dir.file("OLDPO.log")), oversized) << "an empty log was rotated";
}

TEST_F(LogFixture, UnwritableFileLosesTheLineButNotTheListLineAndIsAFaultSaidOncePerStretch) {
    const std::string folder = dir.file("missing-dir");
    log.setFileName(folder + "/ZAMPO.LOG");
    auto saidTimes = [](const std::string& err) {
        std::size_t n = 0;
        for (std::size_t at = err.find("log file is not written"); at != std::string::npos;
             at = err.find("log file is not written", at + 1))
            ++n;
        return n;
    };
    testing::internal::CaptureStderr();
    EXPECT_NO_THROW(log.write("lost for the file", 2));
    log.write("lost too", 0);
    EXPECT_EQ(saidTimes(testing::internal::GetCapturedStderr()), 1u);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_FALSE(test::fileExists(folder + "/ZAMPO.LOG"));
    EXPECT_TRUE(log.failing());
    EXPECT_NE(log.failure().find(folder), std::string::npos) << log.failure();

    // Written again as soon as it can be, saying what it lacks.
    std::filesystem::create_directory(folder);
    log.write("back", 0);
    const std::string text = test::readFile(folder + "/ZAMPO.LOG");
    EXPECT_NE(text.find("<back>\r\n<"), std::string::npos) << text;
    EXPECT_NE(text.find("The log file is written again; 2 lines before the one above are missing"), std::string::npos)
        << text;
    EXPECT_FALSE(log.failing());
    EXPECT_EQ(log.failure(), "");

    // A new stretch is said anew.
    std::filesystem::remove_all(folder);
    testing::internal::CaptureStderr();
    log.write("lost again", 0);
    EXPECT_EQ(saidTimes(testing::internal::GetCapturedStderr()), 1u);
}

TEST_F(LogFixture, LinesFromTwoThreadsNeverInterleave) {
    auto writer = [this](char c) {
        for (int i = 0; i < 300; ++i) log.write(std::string(200, c), 0);
    };
    std::thread a(writer, 'a'), b(writer, 'b');
    a.join();
    b.join();
    std::istringstream in(test::readFile(logPath()));
    int count = 0;
    for (std::string l; std::getline(in, l); ++count) {
        ASSERT_TRUE(l.find(std::string(200, 'a')) != std::string::npos ||
                    l.find(std::string(200, 'b')) != std::string::npos)
            << l;
    }
    EXPECT_EQ(count, 600);
}
