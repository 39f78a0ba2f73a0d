// Move-only owners of the client library's handles. Destructors never throw:
// an attachment is detached, a transaction rolled back (never committed), a
// statement dropped, a blob closed, and any failure there is ignored.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "ClientLibrary.h"

namespace tarvel::fb {

using ClientRef = std::shared_ptr<const ClientLibrary>;

// One client-library handle and the library it came from. It moves and never
// copies; whatever it still holds when it goes (or is moved onto) is handed to
// `Release`, which must not throw.
template <typename Handle, void (*Release)(const ClientLibrary&, Handle*) noexcept>
class OwnedHandle {
public:
    OwnedHandle() = default;
    explicit OwnedHandle(ClientRef client) : m_client(std::move(client)) {}
    ~OwnedHandle() { reset(); }
    OwnedHandle(OwnedHandle&& other) noexcept
        : m_client(std::move(other.m_client)), m_handle(std::exchange(other.m_handle, 0)) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        if (this != &other) {
            reset();
            m_client = std::move(other.m_client);
            m_handle = std::exchange(other.m_handle, 0);
        }
        return *this;
    }

    bool isOpen() const { return m_handle != 0; }
    Handle* get() { return &m_handle; }
    const ClientLibrary& client() const { return *m_client; }
    // Hands the handle to Release now.
    void reset() noexcept {
        if (m_handle) {
            Release(*m_client, &m_handle);
            m_handle = 0;
        }
    }
    // Forgets a handle the library has ended itself (committed, detached) or
    // never made (a failed call may leave a value behind).
    void forget() noexcept { m_handle = 0; }

private:
    ClientRef m_client;
    Handle m_handle = 0;
};

class Attachment {
public:
    Attachment() = default;
    // Attaches with the database parameter buffer; throws DriverFailure
    // (InvalidUserPassword for a refused login, else ConnectionFailed).
    Attachment(ClientRef client, const std::string& database, const std::string& dpb);

    bool isOpen() const { return m_owned.isOpen(); }
    isc_db_handle* handle() { return m_owned.get(); }
    // Detaches; throws on failure and then keeps the attachment.
    void detach();

private:
    static void detachQuietly(const ClientLibrary& client, isc_db_handle* handle) noexcept;

    OwnedHandle<isc_db_handle, &detachQuietly> m_owned;
};

class Transaction {
public:
    Transaction() = default;
    // Starts a transaction with the transaction parameter buffer.
    Transaction(ClientRef client, isc_db_handle* database, const std::string& tpb);

    bool isActive() const { return m_owned.isOpen(); }
    isc_tr_handle* handle() { return m_owned.get(); }
    void commit();
    // Commits and keeps the transaction (and its cursors) open.
    void commitRetaining();
    void rollback();

private:
    static void rollbackQuietly(const ClientLibrary& client, isc_tr_handle* handle) noexcept;

    OwnedHandle<isc_tr_handle, &rollbackQuietly> m_owned;
};

class Statement {
public:
    Statement() = default;
    Statement(ClientRef client, isc_db_handle* database);

    bool isAllocated() const { return m_owned.isOpen(); }
    isc_stmt_handle* handle() { return m_owned.get(); }
    // Closes the open cursor of the statement, if any; it stays prepared.
    void closeCursor() noexcept;

private:
    static void dropQuietly(const ClientLibrary& client, isc_stmt_handle* handle) noexcept;

    OwnedHandle<isc_stmt_handle, &dropQuietly> m_owned;
};

// A blob opened for reading.
class Blob {
public:
    // Opens blob `id` in the transaction; throws DriverFailure(SqlError).
    Blob(ClientRef client, isc_db_handle* database, isc_tr_handle* transaction, const ISC_QUAD& id);

    // The content from here on, at most `limit` bytes; throws
    // DriverFailure(SqlError) when a segment cannot be read.
    std::string read(std::size_t limit);

private:
    static void closeQuietly(const ClientLibrary& client, isc_blob_handle* handle) noexcept;

    OwnedHandle<isc_blob_handle, &closeQuietly> m_owned;
};

}  // namespace tarvel::fb
