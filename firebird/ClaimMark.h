// The mark a claim leaves on its attachment, so that two claims that pass
// their reservation steps at the same moment still find each other: each
// marks its attachment (a session context variable, which the monitoring
// tables show to others) and then looks for another attachment's mark on the
// same table. Of two such claims at least one sees the other, since each
// marks before it looks.
#pragma once

#include <string>

#include "ConnectionCore.h"

namespace tarvel::fb {

// Marks the attachment as claiming `table` and returns how many other
// attachments the server shows with the same mark (a user sees their own
// attachments there, an administrator everyone's). Throws DriverFailure.
int markClaimAndCountOthers(ConnectionCore& connection, const std::string& table);
// Takes the mark off; a failure is ignored (the mark ends with the attachment).
void clearClaimMark(ConnectionCore& connection) noexcept;

}  // namespace tarvel::fb
