// tarvel-rebuild from its arguments to its exit code: the history rebuild over
// the program's connection and two queries, as the window runs it, with the
// terminal or the scheduler's journal in place of the window.
#pragma once

#include <string>
#include <vector>

namespace tarvel {

// What an error's message looks like on standard error: the error box's text
// (with its full stop rule), its CR LF line breaks as plain line breaks.
std::string consoleErrorText(const std::string& message);

// The program's version ("1.0.0").
const char* rebuildVersion();

// Runs tarvel-rebuild with the arguments after the program name; returns the
// exit code.
int runRebuildCommand(const std::vector<std::string>& arguments);

}  // namespace tarvel
