// tarvel-rebuild --check: opens the connection exactly as a run would and
// reports, without changing any data, whether a run could proceed now: the
// server's version and the access, the row counts of the document lines and
// the history, what an embedded open needs of the file system, the user's
// privileges on the tables, and whether the history table could be reserved
// for writing without waiting.
#pragma once

#include <cstdio>

#include "ConsoleMessages.h"
#include "ParameterOverrides.h"
#include "RebuildArguments.h"

namespace tarvel {

// Writes the report to `report`, failures and hints through `messages`;
// returns kExitDone when a run could proceed now, kExitFailed otherwise.
int runReadinessCheck(const RebuildArguments& arguments, ParameterOverrides overrides, std::FILE* report,
                      ConsoleMessages& messages);

}  // namespace tarvel
