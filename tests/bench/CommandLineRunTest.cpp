#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "CommandLineRun.h"

namespace bench {
namespace {

// The command line's standard error as a stopped or finished run leaves it.
TEST(CommandLineRun, TakesTheLinesWalkedFromTheLastProgressLine) {
    const std::pair<std::string, std::optional<std::int64_t>> cases[] = {
        {"0/1500 lines (0%), 0 lines/s, --:-- left\n"
         "1200/1500 lines (80%), 120 lines/s, 0:03 left\n"
         "Stopped by SIGTERM; the lines written before it are kept, no pair half written\n",
         1200},
        {"0/1500 lines (0%), 0 lines/s, --:-- left\n1500/1500 lines (100%), 900 lines/s, 0:00 left\n", 1500},
        {"SQL Server Error: unavailable database 12/3 lines\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, lines] : cases) EXPECT_EQ(linesFromProgress(text), lines) << text;
}

}  // namespace
}  // namespace bench
