#include "ConnectionCore.h"

#include <algorithm>
#include <iterator>
#include <set>

#include "ClaimMark.h"
#include "SocketKeepAlive.h"
#include "StatusCheck.h"

namespace tarvel::fb {

using namespace sqldriver::status;

void ConnectionCore::connect(const std::string& database, const std::string& userName,
                             const std::string& password) {
    if (m_attachment.isOpen()) throw DriverFailure(ConnectionFailed, "the connection is already open");
    bool embedded = false;
    const std::string target = attachTarget(database, m_options, &embedded);
    const int silence = embedded ? 0 : m_options.silenceTimeout;
    // Sockets are compared before and after: the client library names none.
    const std::set<int> before = silence > 0 ? connectedTcpSockets() : std::set<int>();
    m_attachment = Attachment(m_client, target, databaseParameters(m_options, userName, password, embedded));
    m_cancelTarget = *m_attachment.handle();
    m_silenceWatched = silence > 0 ? boundSilenceOfNewSockets(before, silence) : 0;
}

void ConnectionCore::disconnect() {
    if (!m_attachment.isOpen()) return;
    m_cancelTarget = 0;  // cancel() no longer reaches the attachment
    m_silenceWatched = 0;
    if (m_lost) {
        // Nothing can be committed over a lost attachment: every handle is
        // let go quietly, so the connection can be opened afresh.
        m_explicit = Transaction();
        m_retained = Transaction();
        m_prepare = Transaction();
        m_attachment = Attachment();
        m_lost = false;
        return;
    }
    m_explicit = Transaction();
    if (m_retained.isActive()) m_retained.commit();
    if (m_prepare.isActive()) m_prepare.commit();
    m_attachment.detach();
}

bool ConnectionCore::isLost() {
    if (m_lost || !m_attachment.isOpen()) return m_lost;
    const char items[] = {isc_info_attachment_id, isc_info_end};
    char answer[32];
    ISC_STATUS_ARRAY status{};
    m_client->databaseInfo(status, m_attachment.handle(), sizeof items, items, sizeof answer, answer);
    m_lost = connectionLost(status);
    return m_lost;
}

isc_db_handle* ConnectionCore::database() {
    if (!m_attachment.isOpen()) throw DriverFailure(InvalidHandle, "not connected");
    return m_attachment.handle();
}

isc_tr_handle* ConnectionCore::prepareTransaction() {
    if (!m_prepare.isActive()) {
        ConnectionOptions readOnly = m_options;
        readOnly.isolation = 0;
        m_prepare = Transaction(m_client, database(), transactionParameters(readOnly, true));
    }
    return m_prepare.handle();
}

Transaction ConnectionCore::startCursorTransaction() {
    return Transaction(m_client, database(), cursorTransactionParameters(m_options));
}

Transaction* ConnectionCore::activeExplicit() { return m_explicit.isActive() ? &m_explicit : nullptr; }

void ConnectionCore::beginTransaction() {
    if (activeExplicit())
        throw DriverFailure(TransactionActive, "a transaction is already active on this connection");
    m_explicit = Transaction(m_client, database(), transactionParameters(m_options, false));
}

void ConnectionCore::cancel(std::int32_t request) {
    isc_db_handle target = m_cancelTarget;
    if (target == 0) return;
    const ISC_USHORT option = request == sqldriver::cancelopt::Disable  ? fb_cancel_disable
                              : request == sqldriver::cancelopt::Enable ? fb_cancel_enable
                              : request == sqldriver::cancelopt::Abort  ? fb_cancel_abort
                                                                        : fb_cancel_raise;
    // A status of its own: the connection's slot belongs to the thread whose
    // call is being cancelled.
    ISC_STATUS_ARRAY status{};
    m_client->cancelOperation(status, &target, option);
    // Cancelling when nothing runs, or racing a detach, fails harmlessly.
}

std::string ConnectionCore::silenceNote(const sqldriver::ErrorCodes& codes,
                                        std::chrono::steady_clock::duration waited) const {
    if (m_silenceWatched == 0 || m_options.silenceTimeout <= 0) return {};
    // The probes show a silent server at the soonest after the first one and
    // every retry went unanswered. A reset or a refused connection fails at
    // once; only a call that waited that long met the silence.
    const SilenceTimes times = silenceTimes(m_options.silenceTimeout);
    const int unanswered = times.idle + times.interval * times.count;
    if (waited + std::chrono::seconds(1) < std::chrono::seconds(unanswered)) return {};
    const bool network = std::any_of(std::begin(codes.gds), std::end(codes.gds), [](std::int32_t code) {
        return code == isc_net_read_err || code == isc_net_write_err;
    });
    if (!network) return {};
    return "The server did not answer for " + std::to_string(unanswered) +
           " s or more: the connection to it counts as lost.";
}

void ConnectionCore::claimTable(const std::string& table) {
    if (table.empty()) {
        clearClaimMark(*this);
        return;
    }
    if (table.size() > 255) throw DriverFailure(InvalidParameter, "table name too long: " + table);
    m_claimHolder.clear();
    ClaimSight sight;
    try {
        sight = markClaimAndLook(*this, table);
    } catch (...) {
        try {
            clearClaimMark(*this);
        } catch (...) {
            // The failure above is the one to raise; a mark left behind ends
            // with the attachment.
        }
        throw;
    }
    if (sight.others == 0) return;
    // Whoever sees another's mark lets go; of two claims at the same moment
    // both may, and each tries again after a pause of its own.
    try {
        clearClaimMark(*this);
    } catch (...) {
        // As above: the refusal is what this call reports.
    }
    m_claimHolder = sight.holder;
    // Told by the code the server gives a lock refused without waiting, so
    // that callers tell another run's claim from other failures by code.
    const ISC_STATUS conflict[] = {isc_arg_gds, isc_lock_conflict, isc_arg_end};
    throw DriverFailure(
        SqlError, interpretStatus(*m_client, conflict) + "\n" + table + " is claimed on another attachment",
        errorCodes(*m_client, conflict));
}

void ConnectionCore::commit() {
    if (!m_explicit.isActive())
        throw DriverFailure(InvalidTransactionId, "no transaction is active on this connection");
    m_explicit.commit();
}

void ConnectionCore::rollback() {
    if (!m_explicit.isActive())
        throw DriverFailure(InvalidTransactionId, "no transaction is active on this connection");
    m_explicit.rollback();
}

}  // namespace tarvel::fb
