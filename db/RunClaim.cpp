#include "RunClaim.h"

#include "DatabaseError.h"
#include "SqlConnection.h"
#include "SqlQuery.h"

namespace tarvel {

namespace {

// The program's other attachments as the monitoring tables show them (a
// user sees their own attachments there, an administrator everyone's):
// "name, process N on host H" for the first one, empty when none is shown.
std::string otherRunOf(SqlConnection& connection) {
    SqlQuery probe("RunClaimProbe", connection);
    probe.addLine(
        "SELECT MON$REMOTE_PROCESS, MON$REMOTE_PID, MON$REMOTE_HOST, MON$REMOTE_ADDRESS FROM "
        "MON$ATTACHMENTS");
    probe.addLine("WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION AND MON$REMOTE_PROCESS CONTAINING 'tarvel'");
    probe.open();
    if (probe.eof()) return {};
    std::string process = probe.fieldText(probe.field(0));
    if (const auto slash = process.find_last_of("/\\"); slash != std::string::npos)
        process.erase(0, slash + 1);
    std::string holder = process + ", process " + probe.fieldText(probe.field(1));
    std::string host = probe.fieldText(probe.field(2));
    if (host.empty()) host = probe.fieldText(probe.field(3));
    if (!host.empty()) holder += " on host " + host;
    return holder;
}

}  // namespace

std::string claimedText(const std::string& table, const std::string& holder) {
    return table + " is being rebuilt by another run" + (holder.empty() ? "" : " (" + holder + ")") +
           ", or another program is writing it; nothing was changed. Try again when it has ended.";
}

void claimForRun(SqlConnection& connection, const std::string& table) {
    try {
        connection.reserveTable(table);
    } catch (const DatabaseError& error) {
        if (error.kind() != FailureKind::LockConflict) throw;
        std::string holder;
        try {
            holder = otherRunOf(connection);
        } catch (const Error&) {
            // Who holds it is a courtesy; the refusal stands without it.
        }
        throw Error(claimedText(table, holder));
    }
}

void releaseRunClaim(SqlConnection& connection) noexcept { connection.releaseTable(); }

}  // namespace tarvel
