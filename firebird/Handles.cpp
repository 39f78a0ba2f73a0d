#include "Handles.h"

#include "ClientCall.h"
#include "DriverFailure.h"
#include "StatusCheck.h"

namespace tarvel::fb {

using sqldriver::status::ConnectionFailed;
using sqldriver::status::SqlError;

Attachment::Attachment(ClientRef client, const std::string& database, const std::string& dpb)
    : m_owned(std::move(client)) {
    const ClientLibrary& library = m_owned.client();
    StatusVector status;
    library.attachDatabase(status.get(), 0, database.c_str(), m_owned.get(), static_cast<short>(dpb.size()),
                           dpb.data());
    if (status.failed()) {
        m_owned.forget();
        status.check(library, status.errorCode() == isc_login ? sqldriver::status::InvalidUserPassword
                                                              : ConnectionFailed);
    }
}

void Attachment::detach() {
    if (!m_owned.isOpen()) return;
    callChecked(m_owned.client(), SqlError, m_owned.client().detachDatabase, m_owned.get());
    m_owned.forget();
}

void Attachment::detachQuietly(const ClientLibrary& client, isc_db_handle* handle) noexcept {
    callIgnoringFailure(client.detachDatabase, handle);
}

Transaction::Transaction(ClientRef client, isc_db_handle* database, const std::string& tpb)
    : m_owned(std::move(client)) {
    // One entry of the transaction existence block isc_start_multiple takes.
    struct TransactionBlock {
        isc_db_handle* database;
        int length;
        const char* parameters;
    } block{database, static_cast<int>(tpb.size()), tpb.data()};
    StatusVector status;
    m_owned.client().startMultiple(status.get(), m_owned.get(), 1, &block);
    if (status.failed()) m_owned.forget();
    status.check(m_owned.client(), SqlError);
}

void Transaction::commit() {
    callChecked(m_owned.client(), SqlError, m_owned.client().commitTransaction, m_owned.get());
    m_owned.forget();
}

void Transaction::commitRetaining() {
    callChecked(m_owned.client(), SqlError, m_owned.client().commitRetaining, m_owned.get());
}

void Transaction::rollback() {
    callChecked(m_owned.client(), SqlError, m_owned.client().rollbackTransaction, m_owned.get());
    m_owned.forget();
}

void Transaction::rollbackQuietly(const ClientLibrary& client, isc_tr_handle* handle) noexcept {
    callIgnoringFailure(client.rollbackTransaction, handle);
}

Statement::Statement(ClientRef client, isc_db_handle* database) : m_owned(std::move(client)) {
    StatusVector status;
    m_owned.client().allocateStatement(status.get(), database, m_owned.get());
    if (status.failed()) m_owned.forget();
    status.check(m_owned.client(), SqlError);
}

void Statement::closeCursor() noexcept {
    // Fails harmlessly when no cursor is open.
    if (m_owned.isOpen()) callIgnoringFailure(m_owned.client().freeStatement, m_owned.get(), DSQL_close);
}

void Statement::dropQuietly(const ClientLibrary& client, isc_stmt_handle* handle) noexcept {
    callIgnoringFailure(client.freeStatement, handle, DSQL_drop);
}

Blob::Blob(ClientRef client, isc_db_handle* database, isc_tr_handle* transaction, const ISC_QUAD& id)
    : m_owned(std::move(client)) {
    ISC_QUAD blobId = id;
    StatusVector status;
    m_owned.client().openBlob(status.get(), database, transaction, m_owned.get(), &blobId, 0, nullptr);
    if (status.failed()) m_owned.forget();
    status.check(m_owned.client(), SqlError);
}

std::string Blob::read(std::size_t limit) {
    const ClientLibrary& client = m_owned.client();
    std::string content;
    char segment[32768];
    StatusVector status;
    for (;;) {
        unsigned short got = 0;
        const ISC_STATUS result =
            client.getSegment(status.get(), m_owned.get(), &got, sizeof segment, segment);
        if (result != 0 && result != isc_segment) break;
        content.append(segment, got);
        if (content.size() >= limit) break;
    }
    // The end of the blob, and a segment cut short by the buffer, end the loop
    // without being failures.
    const ISC_STATUS code = status.errorCode();
    if (code != 0 && code != isc_segstr_eof && code != isc_segment)
        throw DriverFailure(SqlError, interpretStatus(client, status.get()),
                            errorCodes(client, status.get()));
    if (content.size() > limit) content.resize(limit);
    return content;
}

void Blob::closeQuietly(const ClientLibrary& client, isc_blob_handle* handle) noexcept {
    callIgnoringFailure(client.closeBlob, handle);
}

}  // namespace tarvel::fb
