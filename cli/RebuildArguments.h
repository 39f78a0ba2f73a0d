// The command line of tarvel-rebuild: which history to rebuild, and whether
// the question before the run is taken as answered Yes.
#pragma once

#include <string>
#include <vector>

namespace tarvel {

// Exit codes of tarvel-rebuild.
constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct RebuildArguments {
    // Radio item of the window that the kind stands for: 0 purchase, 1 sales.
    int historyIndex = -1;
    bool assumeYes = false;
    bool help = false;
};

struct ParsedArguments {
    RebuildArguments arguments;
    // Why the command line is wrong; empty when it is usable.
    std::string error;
};

// Reads the arguments after the program name. Exactly one of "purchase" and
// "sales" is needed unless help is asked for; options may stand anywhere.
ParsedArguments parseRebuildArguments(const std::vector<std::string>& arguments);

// Why the run must not start, empty when it may: a run that has to ask its
// question needs a terminal to ask it on.
std::string unattendedRefusal(const RebuildArguments& arguments, bool inputIsTerminal);

// True when a line typed in answer to the question means Yes.
bool isYesAnswer(const std::string& line);

// The usage text, ending in a line break.
const char* rebuildUsage();

}  // namespace tarvel
