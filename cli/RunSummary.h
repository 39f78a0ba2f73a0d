// What tarvel-rebuild reports once a run has ended: one line for a person
// ("lines 1000000, pairs 40000, 17.3 s"), or one JSON object for a program.
#pragma once

#include <cstdint>
#include <string>

namespace tarvel {

struct RunSummary {
    bool done = false;
    std::int64_t lines = 0;  // document lines walked
    std::int64_t pairs = 0;  // history pairs those lines name
    double seconds = 0;      // from the start of the run to its end
    std::string error;       // why it failed (done false)
};

// "lines N, pairs P, S.S s".
std::string summaryLine(const RunSummary& summary);
// {"result":"done","lines":N,"pairs":P,"seconds":S.S}, or with
// "result":"failed" and "error" after "result". One line, no line break.
std::string summaryJson(const RunSummary& summary);
// `text` as a JSON string with its quotes: quotes, backslashes and control
// characters escaped; a byte that is not part of valid UTF-8 (server texts
// may come in another character set) becomes U+FFFD, so the result always parses.
std::string jsonString(const std::string& text);

}  // namespace tarvel
