#include "Handles.h"

#include <utility>

#include "DriverFailure.h"
#include "StatusCheck.h"

namespace tarvel::fb {

using sqldriver::status::ConnectionFailed;
using sqldriver::status::SqlError;

Attachment::Attachment(ClientRef client, const std::string& database, const std::string& dpb)
    : m_client(std::move(client))
{
    ISC_STATUS_ARRAY status{};
    m_client->attachDatabase(status, 0, database.c_str(), &m_handle, static_cast<short>(dpb.size()), dpb.data());
    if (status[0] == 1 && status[1] != 0) {
        m_handle = 0;
        const sqldriver::Status failStatus =
            errorCode(status) == isc_login ? sqldriver::status::InvalidUserPassword : ConnectionFailed;
        check(*m_client, status, failStatus);
    }
}

Attachment::~Attachment()
{
    if (m_handle) {
        ISC_STATUS_ARRAY status{};
        m_client->detachDatabase(status, &m_handle);
    }
}

Attachment::Attachment(Attachment&& other) noexcept
    : m_client(std::move(other.m_client)), m_handle(std::exchange(other.m_handle, 0))
{
}

Attachment& Attachment::operator=(Attachment&& other) noexcept
{
    if (this != &other) {
        Attachment old(std::move(*this));
        m_client = std::move(other.m_client);
        m_handle = std::exchange(other.m_handle, 0);
    }
    return *this;
}

void Attachment::detach()
{
    if (!m_handle)
        return;
    ISC_STATUS_ARRAY status{};
    m_client->detachDatabase(status, &m_handle);
    check(*m_client, status, SqlError);
    m_handle = 0;
}

Transaction::Transaction(ClientRef client, isc_db_handle* database, const std::string& tpb)
    : m_client(std::move(client))
{
    // One entry of the transaction existence block isc_start_multiple takes.
    struct TransactionBlock {
        isc_db_handle* database;
        int length;
        const char* parameters;
    } block{database, static_cast<int>(tpb.size()), tpb.data()};
    ISC_STATUS_ARRAY status{};
    m_client->startMultiple(status, &m_handle, 1, &block);
    if (status[0] == 1 && status[1] != 0)
        m_handle = 0;
    check(*m_client, status, SqlError);
}

Transaction::~Transaction()
{
    rollbackQuietly();
}

Transaction::Transaction(Transaction&& other) noexcept
    : m_client(std::move(other.m_client)), m_handle(std::exchange(other.m_handle, 0))
{
}

Transaction& Transaction::operator=(Transaction&& other) noexcept
{
    if (this != &other) {
        rollbackQuietly();
        m_client = std::move(other.m_client);
        m_handle = std::exchange(other.m_handle, 0);
    }
    return *this;
}

void Transaction::commit()
{
    ISC_STATUS_ARRAY status{};
    m_client->commitTransaction(status, &m_handle);
    check(*m_client, status, SqlError);
    m_handle = 0;
}

void Transaction::commitRetaining()
{
    ISC_STATUS_ARRAY status{};
    m_client->commitRetaining(status, &m_handle);
    check(*m_client, status, SqlError);
}

void Transaction::rollback()
{
    ISC_STATUS_ARRAY status{};
    m_client->rollbackTransaction(status, &m_handle);
    check(*m_client, status, SqlError);
    m_handle = 0;
}

void Transaction::rollbackQuietly() noexcept
{
    if (m_handle) {
        ISC_STATUS_ARRAY status{};
        m_client->rollbackTransaction(status, &m_handle);
        m_handle = 0;
    }
}

Statement::Statement(ClientRef client, isc_db_handle* database) : m_client(std::move(client))
{
    ISC_STATUS_ARRAY status{};
    m_client->allocateStatement(status, database, &m_handle);
    if (status[0] == 1 && status[1] != 0)
        m_handle = 0;
    check(*m_client, status, SqlError);
}

Statement::~Statement()
{
    drop();
}

Statement::Statement(Statement&& other) noexcept
    : m_client(std::move(other.m_client)), m_handle(std::exchange(other.m_handle, 0))
{
}

Statement& Statement::operator=(Statement&& other) noexcept
{
    if (this != &other) {
        drop();
        m_client = std::move(other.m_client);
        m_handle = std::exchange(other.m_handle, 0);
    }
    return *this;
}

void Statement::closeCursor() noexcept
{
    if (m_handle) {
        // Fails harmlessly when no cursor is open.
        ISC_STATUS_ARRAY status{};
        m_client->freeStatement(status, &m_handle, DSQL_close);
    }
}

void Statement::drop() noexcept
{
    if (m_handle) {
        ISC_STATUS_ARRAY status{};
        m_client->freeStatement(status, &m_handle, DSQL_drop);
        m_handle = 0;
    }
}

}  // namespace tarvel::fb
