// One rebuild of a history table at a time: a run claims its table on its
// own attachment before it writes anything, and another run, in this
// process or any other, that finds it claimed is refused at its start.
#pragma once

#include <string>

namespace tarvel {

class SqlConnection;

// Claims `table` on the connection's attachment until releaseRunClaim() or
// the attachment ends (SqlConnection::claimTable): atomic, no object in the
// database, ended with the run however it ends; others may read and write
// the table meanwhile, and their open transactions never refuse it. A claim
// refused at once is tried again a few times within about a second (two
// claims made at the same moment may both see the other and let go). Throws
// Error with the claimed text when another run holds the table; any other
// failure as it came.
void claimForRun(SqlConnection& connection, const std::string& table);
void releaseRunClaim(SqlConnection& connection) noexcept;
// Whether a run could claim `table` now: empty when it could (the claim is
// taken and let go at once), else the text of the refusal or the failure.
std::string runClaimRefusal(SqlConnection& connection, const std::string& table);

// The text of a refused claim. holder: who holds it as the server tells
// ("tarvel-rebuild, process 4242 on host 10.0.0.5"), empty when unknown.
std::string claimedText(const std::string& table, const std::string& holder);

}  // namespace tarvel
