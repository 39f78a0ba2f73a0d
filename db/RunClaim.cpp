#include "RunClaim.h"

#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "DatabaseError.h"
#include "SqlConnection.h"

namespace tarvel {

namespace {

constexpr int kClaimAttempts = 5;

void claimWithRetries(SqlConnection& connection, const std::string& table) {
    // Two claims made at the same moment may each see the other's mark and
    // both let go. Pauses of different lengths in each process part them: a
    // few more tries tell such a moment from a claim that is held.
    std::minstd_rand pauses(
        static_cast<unsigned>(::getpid()) ^
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    for (int attempt = 1;; ++attempt) {
        try {
            connection.claimTable(table);
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
           "; nothing was changed. Try again when it has ended.";
}

void claimForRun(SqlConnection& connection, const std::string& table) {
    try {
        claimWithRetries(connection, table);
    } catch (const DatabaseError& error) {
        if (error.kind() != FailureKind::LockConflict) throw;
        throw Error(claimedText(table, connection.claimHolder()));
    }
}

void releaseRunClaim(SqlConnection& connection) noexcept { connection.releaseClaim(); }

std::string runClaimRefusal(SqlConnection& connection, const std::string& table) {
    try {
        claimForRun(connection, table);
    } catch (const Error& refused) {
        return refused.what();
    }
    releaseRunClaim(connection);
    return {};
}

}  // namespace tarvel
