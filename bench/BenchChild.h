// One plain client variant's run (d, e, g, psql, set), in a process of its
// own so that its peak resident memory is its own.
#pragma once

#include <string>

namespace bench {

struct ChildRequest {
    std::string variant;
    std::string database;
    std::string resultFile;
    double budgetSeconds = 0;
};

// Runs the request in this process and writes its result file; returns the
// exit status.
int runChild(const ChildRequest& request);

}  // namespace bench
