// tarvel-rebuild --check: opens the connection exactly as a run would and
// reports, without changing any data, whether a run could proceed now: the
// settings files read, the server's version and the access, what an
// in-process open needs of the file system, for each history its two tables
// (missing, or their row counts and the user's privileges on them), and
// whether a run could claim the history table now. The answer is one of the
// codes of CheckCodes.h; the report is prose, or one JSON object.
#pragma once

#include <cstdio>
#include <functional>

#include "CheckCodes.h"
#include "ConsoleMessages.h"
#include "RebuildArguments.h"
#include "SqlConnection.h"

namespace tarvel {

// Writes the report to `report`, failures and hints through `messages`;
// `prepare` gives the connection its overrides and loads its entry (it may
// throw, as a missing settings file does). Returns the exit code.
int runReadinessCheck(const RebuildArguments& arguments, const std::function<void(SqlConnection&)>& prepare,
                      std::FILE* report, ConsoleMessages& messages);

}  // namespace tarvel
