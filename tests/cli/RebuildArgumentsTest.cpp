#include <gtest/gtest.h>

#include "RebuildArguments.h"
#include "RebuildCommand.h"

namespace tarvel {
namespace {

TEST(RebuildArguments, ReadsTheHistoryAndTheOptions) {
    struct Case {
        std::vector<std::string> arguments;
        int index;
        bool yes;
        bool help;
        bool wrong;
    };
    const Case cases[] = {
        {{"purchase"}, 0, false, false, false},
        {{"sales", "--yes"}, 1, true, false, false},
        {{"-y", "sales"}, 1, true, false, false},
        {{"--", "purchase"}, 0, false, false, false},
        {{"--help"}, -1, false, true, false},
        {{"sales", "-h"}, 1, false, true, false},
        {{}, -1, false, false, true},
        {{"--yes"}, -1, true, false, true},
        {{"purchase", "sales"}, 0, false, false, true},
        {{"sales", "sales"}, 1, false, false, true},
        {{"Purchase"}, -1, false, false, true},
        {{"--force", "purchase"}, -1, false, false, true},
        {{"purchase", "extra"}, 0, false, false, true},
        {{"--", "--yes"}, -1, false, false, true},
    };
    for (const Case& c : cases) {
        const std::string shown = ::testing::PrintToString(c.arguments);
        const ParsedArguments parsed = parseRebuildArguments(c.arguments);
        EXPECT_EQ(!parsed.error.empty(), c.wrong) << shown << ": " << parsed.error;
        if (c.wrong) continue;
        EXPECT_EQ(parsed.arguments.historyIndex, c.index) << shown;
        EXPECT_EQ(parsed.arguments.assumeYes, c.yes) << shown;
        EXPECT_EQ(parsed.arguments.help, c.help) << shown;
    }
}

TEST(RebuildArguments, WithoutATerminalOnlyYesMayRun) {
    RebuildArguments asking;
    asking.historyIndex = 0;
    RebuildArguments answered = asking;
    answered.assumeYes = true;
    EXPECT_TRUE(unattendedRefusal(asking, true).empty());
    EXPECT_FALSE(unattendedRefusal(asking, false).empty());
    EXPECT_TRUE(unattendedRefusal(answered, true).empty());
    EXPECT_TRUE(unattendedRefusal(answered, false).empty());
}

TEST(RebuildArguments, OnlyYesAnswersConfirm) {
    const std::pair<const char*, bool> cases[] = {
        {"y\n", true},  {"Y", true},   {"yes\n", true}, {"  YeS \r\n", true}, {"", false},     {"\n", false},
        {"n\n", false}, {"no", false}, {"ye", false},   {"yess", false},      {"y es", false}, {"是", false},
    };
    for (const auto& [line, yes] : cases) EXPECT_EQ(isYesAnswer(line), yes) << '"' << line << '"';
}

TEST(ConsoleErrorText, ShowsTheBoxTextWithPlainLineBreaks) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"Driver/Connection Registry File '/etc/x.ini' not found",
         "Driver/Connection Registry File '/etc/x.ini' not found."},
        {"Driver Error: Unknown Error\r\nSQL Server Error: table unknown\r\nSTORY_IN",
         "Driver Error: Unknown Error\nSQL Server Error: table unknown\nSTORY_IN."},
        {"ends in a mark!", "ends in a mark!"},
        {"lone\rcarriage return", "lone\rcarriage return."},
    };
    for (const auto& [message, shown] : cases) EXPECT_EQ(consoleErrorText(message), shown) << message;
}

}  // namespace
}  // namespace tarvel
