#include <gtest/gtest.h>

#include <algorithm>

#include "ProgressLine.h"
#include "ProgressReporter.h"

namespace tarvel {
namespace {

TEST(ProgressLine, DurationsAndTimeLeft) {
    const std::pair<double, const char*> durations[] = {
        {0, "0:00"},     {0.2, "0:01"},     {59.5, "1:00"},      {61, "1:01"},
        {3599, "59:59"}, {3600, "1:00:00"}, {36061, "10:01:01"}, {-1, "--:--"},
    };
    for (const auto& [seconds, text] : durations) EXPECT_EQ(durationText(seconds), text) << seconds;

    EXPECT_DOUBLE_EQ(secondsLeft({500, 1000, 2.0}), 2.0);
    EXPECT_LT(secondsLeft({0, 1000, 2.0}), 0) << "no pace yet: unknown";
    EXPECT_DOUBLE_EQ(secondsLeft({1000, 1000, 0.0}), 0.0);
    EXPECT_DOUBLE_EQ(secondsLeft({1200, 1000, 1.0}), 0.0) << "more lines than counted";
}

TEST(ProgressLine, PercentStaysWithinTheBar) {
    const std::tuple<std::int64_t, std::int64_t, int> cases[] = {
        {0, 100, 0}, {1, 3, 33},  {2, 3, 66},   {3, 3, 100},
        {7, 3, 100}, {0, 0, 100}, {5, -1, 100}, {2'000'000'000, 2'100'000'000, 95},
    };
    for (const auto& [position, maximum, percent] : cases)
        EXPECT_EQ(percentDone({position, maximum, 1}), percent) << position << "/" << maximum;
}

TEST(ProgressLine, TerminalLineFillsTheWidthWithoutWrapping) {
    const ProgressSnapshot progresses[] = {
        {0, 19323, 0}, {9661, 19323, 4.2}, {19323, 19323, 9.9}, {123456789, 987654321, 12345.0}, {0, 0, 0},
    };
    for (const ProgressSnapshot& progress : progresses) {
        for (int columns : {1, 20, 40, 80, 132, 300}) {
            const std::string line = terminalProgressLine(progress, columns);
            SCOPED_TRACE(line);
            EXPECT_EQ(line.size(), static_cast<std::size_t>(std::max(columns - 1, 0)));
            if (line.empty() || line.front() != '[') continue;
            const std::size_t close = line.find(']');
            ASSERT_NE(close, std::string::npos);
            const auto bar = static_cast<std::int64_t>(close - 1);
            const auto filled = std::count(line.begin(), line.begin() + static_cast<long>(close), '#');
            EXPECT_GE(bar, 10);
            EXPECT_EQ(filled, bar * percentDone(progress) / 100);
        }
    }
}

TEST(ProgressLine, FiguresOfAWalk) {
    const ProgressSnapshot half{9661, 19323, 4.0};
    EXPECT_EQ(plainProgressLine(half), "9661/19323 lines (49%), 2415 lines/s, 0:05 left");
    const std::string line = terminalProgressLine(half, 100);
    EXPECT_NE(line.find(" 49%  9661/19323 lines  2415 lines/s  0:05 left"), std::string::npos) << line;
    EXPECT_EQ(terminalProgressLine(half, 40).find('['), std::string::npos) << "no room for a bar";
}

// A clock the test moves by hand.
struct ManualClock {
    std::chrono::steady_clock::time_point now{};
    ProgressReporter::Clock function() {
        return [this] { return now; };
    }
};

TEST(ProgressReporter, RedrawsATerminalAtMostTenTimesASecond) {
    ManualClock clock;
    std::vector<std::string> shown;
    ProgressReporter reporter(
        true, 80, [&](const std::string& text) { shown.push_back(text); }, clock.function());
    reporter.start(3000);
    for (int line = 1; line <= 3000; ++line) {
        clock.now += std::chrono::milliseconds(1);
        reporter.update(line);
    }
    // start, then one redraw per 100 ms of the 3 s walk
    EXPECT_EQ(shown.size(), 31u);
    for (const std::string& text : shown) EXPECT_EQ(text.front(), '\r');
    reporter.finish();
    ASSERT_EQ(shown.size(), 33u);
    EXPECT_NE(shown[31].find("3000/3000 lines"), std::string::npos) << shown[31];
    EXPECT_EQ(shown.back(), "\n");
}

TEST(ProgressReporter, WritesAPlainLineEveryTenSecondsToALog) {
    ManualClock clock;
    std::vector<std::string> shown;
    ProgressReporter reporter(
        false, 80, [&](const std::string& text) { shown.push_back(text); }, clock.function());
    reporter.start(350);
    for (int line = 1; line <= 350; ++line) {
        clock.now += std::chrono::milliseconds(100);
        reporter.update(line);
    }
    reporter.finish();
    // start, at 10 s, 20 s, 30 s, and the end at 35 s
    ASSERT_EQ(shown.size(), 5u);
    for (const std::string& text : shown) {
        EXPECT_EQ(text.find('\r'), std::string::npos);
        EXPECT_EQ(text.back(), '\n');
    }
    EXPECT_EQ(shown.back(), "350/350 lines (100%), 10 lines/s, 0:00 left\n");
}

}  // namespace
}  // namespace tarvel
