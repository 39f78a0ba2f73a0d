// The reset command: rebuilds the purchase or the sales last-price history
// from the document lines.
#pragma once

#include "CommitGroup.h"
#include "ResetBlock.h"
#include "ResetQuery.h"
#include "ResetShell.h"

namespace tarvel {

// The question asked before anything is touched, and the message shown at the end.
extern const char* const kResetQuestion;
extern const char* const kResetDone;

// Runs one rebuild. scan counts and walks the document lines; the DELETE and
// INSERT of every line with a positive price go to the server many lines at
// a time through blocks, or one statement at a time through work (a line
// whose block failed, or every line when the settings ask for one line per
// call). The pairs are committed in groups (kCommitLimits), and a failure
// leaves the tables as one transaction per line would. Errors propagate
// unchanged (tarvel::Error with its text).
void runHistoryReset(ResetShell& shell, ResetQuery& scan, ResetQuery& work, ResetBlock& blocks,
                     ResetTransactions& transactions);
// The same with other group limits and another clock (tests).
void runHistoryReset(ResetShell& shell, ResetQuery& scan, ResetQuery& work, ResetBlock& blocks,
                     ResetTransactions& transactions, const CommitLimits& limits, const CommitClock& clock);

}  // namespace tarvel
