// The rebuild written straight over the client library, as yardsticks for the
// program: the same scan, DELETE and INSERT per line with a positive price,
// committed per line or per group; and two server-side forms of the same work.
#pragma once

#include <cstdint>

#include "FbClient.h"
#include "RunBudget.h"

namespace bench {

enum class LoopKind {
    PreparePerStatement,  // d: every statement prepared anew, one transaction per line
    PreparedOnce,         // e: statements prepared once, one transaction per line
    GroupedCommits,       // g: statements prepared once, a commit every kGroupLines lines
};

constexpr int kGroupLines = 1000;

struct LoopOutcome {
    std::int64_t lines = 0;   // lines scanned
    std::int64_t worked = 0;  // lines whose history row was replaced
};

// Walks the lines over `attachment` until their end or until `budget` stops it.
LoopOutcome runClientLoop(Attachment& attachment, LoopKind kind, RunBudget& budget);
// The same walk with 100 lines a call (an EXECUTE BLOCK through a sub-procedure)
// and a commit every kGroupLines lines; handlers: each line's call in a
// handler of its own (WHEN ANY), as the program's blocks have them.
LoopOutcome runBlockLoop(Attachment& attachment, RunBudget& budget, bool handlers = false);
// The same walk as one EXECUTE BLOCK, in one transaction.
void runPsqlLoop(Attachment& attachment);
// Two set-based statements, in one transaction: delete the rows of every pair
// with a positive-price line, insert each pair's last such line.
void runSetBased(Attachment& attachment);

}  // namespace bench
