// The command line of tarvel-rebuild: which history to rebuild (or check),
// whether the question before the run is taken as answered Yes, what is put
// over the connection's entry (database, user, where the password comes
// from), and how much the run prints.
#pragma once

#include <string>
#include <vector>

namespace tarvel {

// Exit codes of tarvel-rebuild.
constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// What a run prints once it has ended.
enum class SummaryForm {
    Text,  // "lines N, pairs P, S.S s" on standard error
    Json,  // one JSON object on standard output, in place of the completion line
};

struct RebuildArguments {
    // Radio item of the window that the kind stands for: 0 purchase, 1 sales;
    // -1 none (a check then looks at both).
    int historyIndex = -1;
    bool assumeYes = false;
    bool help = false;
    bool version = false;
    // Only errors are printed, and the summary when --summary is given.
    bool quiet = false;
    // Reports whether a run could proceed, changing nothing.
    bool check = false;
    SummaryForm summary = SummaryForm::Text;
    // --summary was given: with --quiet the summary is still printed.
    bool summaryGiven = false;
    // Put over the entry's Database= and User_Name=; empty: not given.
    std::string database;
    std::string user;
    // Put over the entry's RoleName=; empty: not given.
    std::string role;
    // The file whose first line is the password, "-" or "stdin" for standard
    // input; empty: not given. The password itself never stands on the
    // command line.
    std::string passwordFile;

    bool passwordFromInput() const { return passwordFile == "-" || passwordFile == "stdin"; }
    // Whether the run's summary is printed once it has ended.
    bool printsSummary() const { return !quiet || summaryGiven; }
};

struct ParsedArguments {
    RebuildArguments arguments;
    // Why the command line is wrong; empty when it is usable. It never quotes
    // the value of an option it does not know (that may be a password).
    std::string error;
};

// Reads the arguments after the program name (GNU long options; options may
// stand anywhere before "--"; "-?" is "--help"). Exactly one of "purchase" and "sales" is needed
// to run; a check takes one or none; help and version need none.
ParsedArguments parseRebuildArguments(const std::vector<std::string>& arguments);

// Why the run must not start, empty when it may: a run that has to ask its
// question needs a terminal to ask it on.
std::string unattendedRefusal(const RebuildArguments& arguments, bool inputIsTerminal);

// True when a line typed in answer to the question means Yes.
bool isYesAnswer(const std::string& line);

// The usage text, ending in a line break.
const char* rebuildUsage();

}  // namespace tarvel
