#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>

#include "ConsoleShell.h"

namespace tarvel {
namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

File textFile(const std::string& text) {
    std::FILE* file = std::tmpfile();
    std::fputs(text.c_str(), file);
    std::rewind(file);
    return File(file, &std::fclose);
}

std::string contentOf(std::FILE* file) {
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    return text;
}

struct Console {
    File answers;
    File prompts = textFile("");
    File messages = textFile("");
    std::vector<std::string> progress;
    ProgressReporter reporter{false, 80, [this](const std::string& text) { progress.push_back(text); }};
    StopSignals stops;

    explicit Console(const std::string& typed) : answers(textFile(typed)) {}
    ConsoleShell shell(bool assumeYes) {
        return ConsoleShell(1, assumeYes, reporter, stops, answers.get(), prompts.get(), messages.get());
    }
};

TEST(ConsoleShell, AsksUnlessAnsweredOnTheCommandLine) {
    const std::tuple<const char*, bool, int> cases[] = {
        {"y\n", false, ResetShell::kYes}, {"no\n", false, ResetShell::kNo}, {"", false, ResetShell::kNo},
        {"", true, ResetShell::kYes},     {"n\n", true, ResetShell::kYes},
    };
    for (const auto& [typed, assumeYes, result] : cases) {
        Console console(typed);
        ConsoleShell shell = console.shell(assumeYes);
        EXPECT_EQ(shell.confirm("確定重置所有歷史資料?"), result) << typed;
        EXPECT_EQ(contentOf(console.prompts.get()), assumeYes ? "" : "確定重置所有歷史資料? [y/N] ") << typed;
    }
}

TEST(ConsoleShell, KeepsThePositionWithinTheBar) {
    Console console("");
    ConsoleShell shell = console.shell(true);
    EXPECT_EQ(shell.chosenIndex(), 1);
    shell.setProgressMax(3);
    shell.setProgressPosition(0);
    for (int line = 0; line < 5; ++line) shell.setProgressPosition(shell.progressPosition() + 1);
    EXPECT_EQ(shell.progressPosition(), 3);
    shell.setProgressMax(0);
    EXPECT_EQ(shell.progressPosition(), 0);
    EXPECT_FALSE(shell.completed());
    shell.showInformation("階段作業完成");
    EXPECT_TRUE(shell.completed());
    EXPECT_EQ(contentOf(console.messages.get()), "階段作業完成\n");
}

TEST(ConsoleShell, AStopSignalAfterYesEndsTheRunAtTheNextLine) {
    Console console("y\n");
    ConsoleShell shell = console.shell(false);
    ASSERT_EQ(shell.confirm("?"), ResetShell::kYes);
    shell.setProgressMax(10);
    shell.setProgressPosition(1);
    // Held back, not acted on: the test process is still here to look.
    ASSERT_EQ(std::raise(SIGTERM), 0);
    // Looked for once per interval; the next line after it takes the stop.
    std::this_thread::sleep_for(StopSignals::kPollInterval + std::chrono::milliseconds(2));
    try {
        shell.setProgressPosition(2);
        FAIL() << "the stop was not taken";
    } catch (const StopRequested& stop) {
        EXPECT_EQ(stop.signal(), SIGTERM);
        EXPECT_STREQ(stop.what(),
                     "Stopped by SIGTERM; the lines written before it are kept, no pair half written");
    }
    EXPECT_EQ(shell.progressPosition(), 1);
    shell.setProgressPosition(2);
    EXPECT_EQ(shell.progressPosition(), 2);
}

}  // namespace
}  // namespace tarvel
