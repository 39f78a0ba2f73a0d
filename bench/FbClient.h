// A thin layer straight over the client library's C interface, for the
// benchmark's plain client loops, its data generator and its checks: one
// move-only owner per handle, every failed call thrown as std::runtime_error
// with the server's message. Values cross as text or as double: the library
// converts every column and parameter to the form asked for.
#pragma once

#include <ibase.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace bench {

// Throws std::runtime_error("<what>: <server message>") when status holds an error.
void checkStatus(const ISC_STATUS* status, const std::string& what);

// Connection details: a plain file path is opened in this process by the
// embedded engine, "host:path" through that server.
struct Dsn {
    std::string database;
    std::string user = "SYSDBA";
    std::string password;
    bool embedded() const;
};

class Attachment {
public:
    // forcedWrites: when set, switches the database's forced writes on or off
    // on the way in (what gfix -write sync|async does). configuration: client
    // settings for a server attachment ("WireCrypt=Disabled"); empty: none.
    explicit Attachment(const Dsn& dsn, std::optional<bool> forcedWrites = std::nullopt,
                        const std::string& configuration = {});
    ~Attachment();
    Attachment(const Attachment&) = delete;
    Attachment& operator=(const Attachment&) = delete;

    isc_db_handle* handle() { return &m_handle; }
    // Whether the database's forced writes are on, as the server reports them.
    bool forcedWrites();
    // The server's number of this attachment (CURRENT_CONNECTION).
    std::int64_t attachmentId();

private:
    isc_db_handle m_handle = 0;
};

class Transaction {
public:
    enum class Kind { ReadWrite, ReadOnly };
    Transaction(Attachment& attachment, Kind kind = Kind::ReadWrite);
    ~Transaction();  // rolls back when still active; never throws
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    isc_tr_handle* handle() { return &m_handle; }
    void commit();
    void rollback();
    // Runs a statement without parameters or result (DDL, EXECUTE BLOCK).
    void executeImmediate(const std::string& sql);

private:
    Attachment& m_attachment;
    isc_tr_handle m_handle = 0;
};

// A prepared statement with its parameter and column buffers. Text columns,
// dates and parameters that are not numbers travel as text; numbers as double.
class Statement {
public:
    Statement(Attachment& attachment, Transaction& transaction, const std::string& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    int parameterCount() const;
    int columnCount() const;

    void setText(int index, const std::string& text);
    void setDouble(int index, double value);
    void setNull(int index);

    // Runs the statement in `transaction`; a SELECT opens its cursor.
    void execute(Transaction& transaction);
    // Moves to the next row of the open cursor; false at its end.
    bool fetch();
    // Closes the open cursor, keeping the statement prepared.
    void closeCursor();

    bool isNull(int column) const;
    // The column as text (empty for null).
    std::string text(int column) const;
    // The column as a number (0 for null).
    double number(int column) const;

private:
    struct Sqlda {
        explicit Sqlda(int count);
        XSQLDA* get() { return reinterpret_cast<XSQLDA*>(bytes.data()); }
        const XSQLDA* get() const { return reinterpret_cast<const XSQLDA*>(bytes.data()); }
        std::vector<char> bytes;
    };
    struct Slot {
        std::vector<char> data;
        short indicator = 0;
    };
    void bindBuffers(XSQLDA* area, std::vector<Slot>& slots);
    XSQLVAR& parameter(int index);

    isc_stmt_handle m_handle = 0;
    std::unique_ptr<Sqlda> m_input;
    std::unique_ptr<Sqlda> m_output;
    std::vector<Slot> m_inputSlots;
    std::vector<Slot> m_outputSlots;
    bool m_cursorOpen = false;
};

}  // namespace bench
