#include "ConnectionCore.h"

#include "StatusCheck.h"

namespace tarvel::fb {

using namespace sqldriver::status;

void ConnectionCore::connect(const std::string& database, const std::string& userName,
                             const std::string& password) {
    if (m_attachment.isOpen()) throw DriverFailure(ConnectionFailed, "the connection is already open");
    bool embedded = false;
    const std::string target = attachTarget(database, m_options, &embedded);
    m_attachment = Attachment(m_client, target, databaseParameters(m_options, userName, password, embedded));
}

void ConnectionCore::disconnect() {
    if (!m_attachment.isOpen()) return;
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

void ConnectionCore::beginTransaction() {
    if (m_explicit.isActive())
        throw DriverFailure(TransactionActive, "a transaction is already active on this connection");
    m_explicit = Transaction(m_client, database(), explicitTransactionParameters(m_options));
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
