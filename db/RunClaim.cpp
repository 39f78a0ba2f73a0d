#include "RunClaim.h"

#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

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

constexpr int kClaimAttempts = 5;

void claimWithRetries(SqlConnection& connection, const std::string& table) {
    // A refusal may come from a moment only: another claim's first step, or
    // a writer's short transaction. A few more tries after pauses of
    // different lengths tell those from a claim that is held.
    std::minstd_rand pauses(
        static_cast<unsigned>(::getpid()) ^
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    for (int attempt = 1;; ++attempt) {
        try {
            connection.reserveTable(table);
            return;
        } catch (const DatabaseError& error) {
            if (error.kind() != FailureKind::LockConflict || attempt == kClaimAttempts) throw;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50 + pauses() % 200));
    }
}

}  // namespace

std::string claimedText(const std::string& table, const std::string& holder) {
    return table + " is being rebuilt by another run" + (holder.empty() ? "" : " (" + holder + ")") +
           ", or another program is writing it; nothing was changed. Try again when it has ended.";
}

void claimForRun(SqlConnection& connection, const std::string& table) {
    try {
        claimWithRetries(connection, table);
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
