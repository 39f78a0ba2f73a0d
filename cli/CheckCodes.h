// The answers of tarvel-rebuild --check, as exit codes a script can tell
// apart: one table, which the usage text, the JSON report and the code share.
#pragma once

#include <string>

namespace tarvel {

enum class CheckCode : int {
    Ready = 0,        // a run can proceed now
    Held = 1,         // another run holds the history table
    Usage = 2,        // the command line is wrong
    Unreachable = 3,  // cannot connect or log in (or the server failed to answer)
    NotAllowed = 4,   // a table missing, a privilege missing, the database read-only, or
                      // the files an in-process open needs unusable
};

struct CheckCodeEntry {
    CheckCode code;
    const char* word;     // the JSON report's "result"
    const char* meaning;  // the usage text's and the man page's words
};

// Every code, in the order of their numbers.
constexpr CheckCodeEntry kCheckCodes[] = {
    {CheckCode::Ready, "ready", "a run can proceed now"},
    {CheckCode::Held, "held", "another run holds the history table"},
    {CheckCode::Usage, "usage", "wrong usage"},
    {CheckCode::Unreachable, "unreachable", "cannot connect or log in"},
    {CheckCode::NotAllowed, "not-allowed",
     "not allowed: a table or privilege missing, read-only, lock folder"},
};

// The entry of `code`.
const CheckCodeEntry& checkCodeEntry(CheckCode code);

// Of two findings, the one a script must act on first: a run that is not
// allowed stays refused after the other run ends, and a file system that
// keeps an open in this process out is why it could not connect.
CheckCode worseOf(CheckCode first, CheckCode second);

// The usage text's lines on the codes, each ending in a line break.
std::string checkCodesUsage();

}  // namespace tarvel
