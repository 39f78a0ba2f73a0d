// Move-only owners of the client library's handles. Destructors never throw:
// an attachment is detached, a transaction rolled back (never committed), a
// statement dropped, and any failure there is ignored.
#pragma once

#include <memory>
#include <string>

#include "ClientLibrary.h"

namespace tarvel::fb {

using ClientRef = std::shared_ptr<const ClientLibrary>;

class Attachment {
public:
    Attachment() = default;
    // Attaches with the database parameter buffer; throws DriverFailure(failStatus).
    Attachment(ClientRef client, const std::string& database, const std::string& dpb);
    ~Attachment();
    Attachment(Attachment&& other) noexcept;
    Attachment& operator=(Attachment&& other) noexcept;

    bool isOpen() const { return m_handle != 0; }
    isc_db_handle* handle() { return &m_handle; }
    // Detaches; throws on failure and then keeps the attachment.
    void detach();

private:
    ClientRef m_client;
    isc_db_handle m_handle = 0;
};

class Transaction {
public:
    Transaction() = default;
    // Starts a transaction with the transaction parameter buffer.
    Transaction(ClientRef client, isc_db_handle* database, const std::string& tpb);
    ~Transaction();
    Transaction(Transaction&& other) noexcept;
    Transaction& operator=(Transaction&& other) noexcept;

    bool isActive() const { return m_handle != 0; }
    isc_tr_handle* handle() { return &m_handle; }
    void commit();
    // Commits and keeps the transaction (and its cursors) open.
    void commitRetaining();
    void rollback();

private:
    void rollbackQuietly() noexcept;

    ClientRef m_client;
    isc_tr_handle m_handle = 0;
};

class Statement {
public:
    Statement() = default;
    Statement(ClientRef client, isc_db_handle* database);
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;

    bool isAllocated() const { return m_handle != 0; }
    isc_stmt_handle* handle() { return &m_handle; }
    // Closes the open cursor of the statement, if any; it stays prepared.
    void closeCursor() noexcept;

private:
    void drop() noexcept;

    ClientRef m_client;
    isc_stmt_handle m_handle = 0;
};

}  // namespace tarvel::fb
