// What a variant's process reports to the benchmark, through a small file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace bench {

struct ChildResult {
    std::int64_t lines = -1;  // lines scanned; -1: all of them (server-side variants)
    double seconds = 0;
    long peakKb = 0;
    std::optional<std::string> lastParty;  // set when the budget stopped the run
};

std::string formatResult(const ChildResult& result);
ChildResult parseResult(const std::string& text);
// Writes the result file; false when it cannot be written.
bool writeResult(const std::string& path, const ChildResult& result);

}  // namespace bench
