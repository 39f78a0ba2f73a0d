// The reset command: rebuilds the purchase or the sales last-price history
// from the document lines.
#pragma once

#include "ResetQuery.h"
#include "ResetShell.h"

namespace tarvel {

// The question asked before anything is touched, and the message shown at the end.
extern const char* const kResetQuestion;
extern const char* const kResetDone;

// Runs one rebuild. scan counts and walks the document lines; work runs the
// DELETE and INSERT of every line with a positive price, each pair of them in
// one transaction. Errors propagate unchanged (tarvel::Error with its text).
void runHistoryReset(ResetShell& shell, ResetQuery& scan, ResetQuery& work, ResetTransactions& transactions);

}  // namespace tarvel
