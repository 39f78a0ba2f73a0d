// One variant's run, in a process of its own so that its peak resident
// memory is its own; its figures go back to the parent in a small file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "HistoryChecksum.h"

namespace bench {

struct ChildRequest {
    std::string variant;  // program, d, e, g, psql, set, load
    std::string database;
    std::string folder;   // for the program's settings files
    std::string resultFile;
    double budgetSeconds = 0;
};

struct ChildResult {
    std::int64_t lines = -1;  // lines scanned; -1: all of them (server-side variants)
    double seconds = 0;
    long peakKb = 0;
    std::optional<std::string> lastParty;  // set when the budget stopped the run
    TableSum table;
};

std::string formatResult(const ChildResult& result);
ChildResult parseResult(const std::string& text);

// Runs the request in this process; returns the exit status.
int runChild(const ChildRequest& request);

}  // namespace bench
