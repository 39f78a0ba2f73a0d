// The mark a run's claim leaves on its attachment: a session context
// variable naming the table, which the monitoring tables show to others. A
// claim marks its attachment and then, in the same statement, looks for
// another attachment's mark on the same table. The server takes its snapshot
// of the monitoring tables at their first read in a transaction, after the
// mark was set, so of two claims made at the same moment at least one sees
// the other. Nothing else is held: other programs' transactions on the table
// never meet the mark.
#pragma once

#include <string>

#include "ConnectionCore.h"

namespace tarvel::fb {

// What a claim saw of the other attachments' marks on its table.
struct ClaimSight {
    int others = 0;
    // The first of them as the server shows it: "process, process N on host
    // H", each part only when shown; empty when nothing is.
    std::string holder;
};

// Marks the attachment as claiming `table` and tells what other attachments
// the server shows with the same mark (a user sees their own attachments
// there, an administrator or the database's owner everyone's). Throws
// DriverFailure.
ClaimSight markClaimAndLook(ConnectionCore& connection, const std::string& table);
// Takes the mark off. Throws DriverFailure; the attachment's end takes it off
// too.
void clearClaimMark(ConnectionCore& connection);

}  // namespace tarvel::fb
