// The interface between the program and a loadable SQL driver library.
//
// Both the program and every driver library include this header and nothing
// else of each other. A driver library exports two C functions:
//   - the entry function (its name comes from the driver settings file, e.g.
//     "GetFirebirdDriver") with the signature SqlDriverEntry below,
//   - "SqlDriverInterfaceVersion", returning kInterfaceVersion as the library
//     was built; the program refuses a library whose version differs, and
//   - optionally "SqlDriverShutdown" (SqlDriverShutdownFunc), which the program
//     calls once before it exits, after every object of the library is released.
//
// Every call returns a Status: 0 on success. Objects handed out by the driver
// are owned by the caller and released with release(), never deleted across
// the library boundary. Texts are NUL-terminated bytes, passed unchanged.
#pragma once

#include <cstdint>

namespace sqldriver {

using Status = std::uint16_t;

// Raised whenever a change would break a driver built against an older header.
constexpr std::uint32_t kInterfaceVersion = 5;

// Statuses with a text of their own; the numbers are those the program's error
// texts know. Any other non-zero value is a failure with no static text.
namespace status {
constexpr Status Ok = 0;
constexpr Status Warning = 1;
constexpr Status NoMemory = 2;
constexpr Status InvalidFieldType = 3;
constexpr Status InvalidHandle = 4;
constexpr Status NotSupported = 5;
constexpr Status InvalidTime = 6;
constexpr Status InvalidTranslation = 7;
constexpr Status OutOfRange = 8;
constexpr Status InvalidParameter = 9;
constexpr Status Eof = 10;
constexpr Status ParameterNotSet = 11;
constexpr Status InvalidUserPassword = 12;
constexpr Status InvalidPrecision = 13;
constexpr Status InvalidLength = 14;
constexpr Status InvalidIsolationLevel = 15;
constexpr Status InvalidTransactionId = 16;
constexpr Status DuplicateTransactionId = 17;
constexpr Status TransactionActive = 19;
constexpr Status MultipleTransactionsNotEnabled = 20;
constexpr Status ConnectionFailed = 21;
constexpr Status DriverInitFailed = 22;
constexpr Status OptimisticLockFailed = 23;
constexpr Status InvalidRef = 24;
constexpr Status NoTableFound = 25;
constexpr Status NoMoreData = 100;
constexpr Status SqlError = 101;
}  // namespace status

// Column and parameter kinds. Each comment gives the layout of a value of that
// kind as getValue() delivers it and setParameter() takes it.
namespace kind {
constexpr std::uint16_t Unknown = 0;
constexpr std::uint16_t Text = 1;           // bytes followed by one NUL byte
constexpr std::uint16_t Int16 = 2;          // std::int16_t
constexpr std::uint16_t UInt16 = 3;         // std::uint16_t
constexpr std::uint16_t Int32 = 4;          // std::int32_t
constexpr std::uint16_t UInt32 = 5;         // std::uint32_t
constexpr std::uint16_t Int64 = 6;          // std::int64_t
constexpr std::uint16_t Double = 7;         // IEEE 754 double
constexpr std::uint16_t Bcd = 8;            // sqldriver::Bcd
constexpr std::uint16_t ExtendedBcd = 9;    // sqldriver::Bcd
constexpr std::uint16_t Date = 10;          // std::int32_t, days since 1899-12-30 (day 0)
constexpr std::uint16_t Time = 11;          // std::uint32_t, milliseconds since midnight
constexpr std::uint16_t SqlTimestamp = 12;  // sqldriver::SqlTimestamp
constexpr std::uint16_t DateTime = 13;      // sqldriver::SqlTimestamp (never produced by the Firebird driver)
constexpr std::uint16_t Boolean = 14;       // std::int16_t, 0 false, 1 true
constexpr std::uint16_t Bytes = 15;         // raw bytes, getColumnLength() of them
constexpr std::uint16_t Blob = 16;          // raw bytes; subkind tells memo or binary
}  // namespace kind

// Subkinds refine a kind; 0 means none.
namespace subkind {
constexpr std::uint16_t None = 0;
constexpr std::uint16_t FixedText = 1;      // Text: fixed width (CHAR); VARCHAR has None
constexpr std::uint16_t AutoIncrement = 2;  // Int32: an auto-increment column
constexpr std::uint16_t Money = 3;          // Double: a currency column
constexpr std::uint16_t Memo = 4;           // Blob: text blob
constexpr std::uint16_t Binary = 5;         // Blob: binary blob
}  // namespace subkind

// Option codes of ISQLConnection::setIntOption/setTextOption/getOption.
namespace connopt {
constexpr std::int32_t AutoCommit = 0;          // int: 1 commit every statement at once
constexpr std::int32_t BlockingMode = 1;        // int: accepted, ignored
constexpr std::int32_t BlobSize = 2;            // int: kilobytes of blob to read, -1 all
constexpr std::int32_t RoleName = 3;            // text: the SQL role
constexpr std::int32_t WaitOnLocks = 4;         // int: 1 wait for locks, 0 fail at once
constexpr std::int32_t CommitRetain = 5;        // int: 1 commit retaining
constexpr std::int32_t TransIsolation = 6;      // int: 0 read committed, 1 repeatable read, 2 dirty read
constexpr std::int32_t NativeHandle = 9;        // int: set to 0 at closing
constexpr std::int32_t HostName = 10;           // text: host for the database
constexpr std::int32_t ServerVersionHint = 12;  // int: set to 0 at closing
constexpr std::int32_t MaxStatements = 14;      // get, int32: active statements allowed at once (0 no limit)
constexpr std::int32_t ServerCharSet = 15;      // text: connection character set
constexpr std::int32_t SqlDialect = 16;         // int: SQL dialect
constexpr std::int32_t OsAuthentication = 20;   // int: accepted, ignored
constexpr std::int32_t MultipleTransaction = 22;  // int: accepted, ignored
constexpr std::int32_t ServerPort = 23;           // text: TCP port of the server
constexpr std::int32_t TrimChar = 25;             // int: 1 trim trailing blanks of CHAR values
constexpr std::int32_t CustomString = 31;         // text: accepted, ignored
constexpr std::int32_t ConnectionTimeout = 32;    // int: seconds to wait for the server
constexpr std::int32_t ConnectionLost = 33;  // get, int32: 1 when the attachment is gone (server unreachable,
                                             // connection or database shut down); asked after a failed call
constexpr std::int32_t LockTimeout = 34;     // int: seconds a writing transaction begun from now on waits for
                                             // a lock when WaitOnLocks is 1; 0 (the default) waits as long as
                                             // the lock is held; any time
constexpr std::int32_t ClaimTable = 36;   // text, once connected: a table name claims the table for a run on
                                          // this attachment (replacing its earlier claim) until an empty text
                                          // or the disconnect; refused at once, as a lock conflict, while the
                                          // server shows another attachment claiming it; nothing else refuses
                                          // it, and transactions are not touched
constexpr std::int32_t ClaimHolder = 37;  // get, text: the attachment that the last refused ClaimTable met,
                                          // as "process, process N on host H" with what the server shows of
                                          // it; empty when it showed none of these or no claim was refused

constexpr std::int32_t SilenceTimeout = 38;  // int, before connecting: seconds (1 to 3600) without an answer
                                             // from the server after which a TCP attachment counts as lost
                                             // (keep-alive probes that a live server's system answers, and a
                                             // bound on unacknowledged data); 0 (the default) leaves the
                                             // system's defaults; embedded attachments have no socket
constexpr std::int32_t SilenceWatched = 39;  // get, int32: the attachment's TCP sockets given SilenceTimeout
                                             // (0 when embedded, not connected, or none was set)
constexpr std::int32_t WireCrypt = 40;       // text, before connecting: the client's wire encryption for a
                                             // server attachment, Enabled, Disabled or Required; empty (the
                                             // default): the client library's own setting
constexpr std::int32_t ClientVersion = 41;   // get, text, also before connecting: the vendor client
                                             // library's own version text
}  // namespace connopt

// Requests of ISQLConnection::cancel().
namespace cancelopt {
constexpr std::int32_t Raise = 0;    // the call running on the connection fails as cancelled
constexpr std::int32_t Disable = 1;  // cancelling is off, and a raise not yet taken is dropped
constexpr std::int32_t Enable = 2;   // cancelling is on again (it is on after connecting)
constexpr std::int32_t Abort = 3;    // the connection is ended from the client's side: the running call
                                     // returns at once, failing as a lost connection (also when the
                                     // server no longer answers); the connection is unusable afterwards
}  // namespace cancelopt

// Option codes of ISQLMetaData.
namespace metaopt {
constexpr std::int32_t SchemaName = 1;           // set, text: the schema (user) name
constexpr std::int32_t SupportsTransaction = 5;  // get, int32: non-zero when transactions are supported
constexpr std::int32_t QuoteChar = 11;           // get, one char: identifier quote character, 0 for none
constexpr std::int32_t SupportsTransactions =
    15;  // get, int32: non-zero when several transactions at once are supported
// What the connected user and the database are; each get asks the server.
constexpr std::int32_t TableName = 20;        // set, text: the table the two options below ask about
constexpr std::int32_t TableExists = 21;      // get, int32: 1 when that table (or view) exists, else 0
constexpr std::int32_t TablePrivileges = 22;  // get, text: what the user may do with that table, as letters
                                              // S select, I insert, U update, D delete, R references,
                                              // held directly, through PUBLIC or the current role, or as
                                              // its owner or an administrator of the database (all five)
constexpr std::int32_t ServerVersion = 23;    // get, text: the database engine's version ("3.0.11")
constexpr std::int32_t UserName = 24;         // get, text: the user the connection logged in as
constexpr std::int32_t RoleName = 25;         // get, text: the role in use, empty when none
constexpr std::int32_t ReadOnly = 26;         // get, int32: 1 when the database is read-only
constexpr std::int32_t DatabaseFile = 27;     // get, text: the database's file as the server names it
constexpr std::int32_t DatabaseOwner = 28;    // get, text: the user who owns the database
}  // namespace metaopt

// Option codes of ISQLCommand.
namespace cmdopt {
constexpr std::int32_t RowsetSize = 1;  // int: rows fetched per round trip
}  // namespace cmdopt

// Parameter direction for setParameter().
namespace direction {
constexpr std::uint16_t Unknown = 0;
constexpr std::uint16_t Input = 1;
}  // namespace direction

// Decimal number: `precision` digits (0..64), most significant first, one
// digit (0..9) per byte; the last `scale` of them are the fraction.
struct Bcd {
    std::uint8_t precision = 0;
    std::uint8_t scale = 0;
    std::uint8_t negative = 0;  // 1 for a value below zero
    std::uint8_t digits[64] = {};
};

// Date and time of day; fraction is in milliseconds.
struct SqlTimestamp {
    std::int16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint32_t fraction = 0;
};

// What a failure means, as the driver decides it from the server's codes
// (ErrorCodes::failure).
namespace failure {
constexpr std::int32_t Other = 0;  // refused: a constraint, a trigger, a value, a statement
constexpr std::int32_t ConnectionLost =
    1;                                 // the network failed, or the server, database or attachment shut down
constexpr std::int32_t Cancelled = 2;  // the call was cancelled (cancel() with cancelopt::Raise)
constexpr std::int32_t LockConflict = 3;  // a row or table another transaction holds, not waited for
constexpr std::int32_t LockTimeout = 4;   // a lock waited for longer than the transaction's lock timeout
}  // namespace failure

// What the server said about a failed call beside its message text, for
// deciding what the failure means without reading the text.
constexpr std::uint32_t kMaxErrorCodes = 8;
struct ErrorCodes {
    std::int32_t gds[kMaxErrorCodes] = {};  // the server's error codes in the order given, 0 after the last
    std::int32_t sqlCode = 0;               // SQLCODE, 0 when none
    char sqlState[6] = {};                  // SQLSTATE, five characters; empty when none
    std::int32_t failure = failure::Other;  // what the failure means (namespace failure)
};

// The statements an ISQLBatch runs for each of its lines, and where each
// line's values go.
struct BatchShape {
    const char* table = nullptr;              // the table whose columns give the values their types
    const char* const* statements = nullptr;  // each line's statements, in order, with "?" markers
    std::uint16_t statementCount = 0;
    const char* const* valueColumns =
        nullptr;  // for each value of a line, the column of `table` it is typed as
    std::uint16_t valuesPerLine = 0;
    const std::uint16_t* markerValues =
        nullptr;  // for each "?" of the statements, in order: its value (from 0)
    std::uint16_t markerCount = 0;
    std::uint32_t maxLines = 0;  // the most lines one execute() runs
};

// Longest column name getColumnName() writes, the NUL excluded.
constexpr std::uint32_t kMaxColumnNameBytes = 127;

class ISQLCursor;
class ISQLCommand;
class ISQLMetaData;
class ISQLConnection;

// Common to every driver object: non-copyable, released rather than deleted.
class ISQLObject {
public:
    ISQLObject() = default;
    ISQLObject(const ISQLObject&) = delete;
    ISQLObject& operator=(const ISQLObject&) = delete;

    // Frees the object; it must not be used afterwards.
    virtual void release() = 0;
    // Length in bytes of the message of this object's last failed call (0 when none).
    virtual Status getErrorMessageLen(std::uint16_t* length) = 0;
    // Writes that message and a NUL into buffer, which holds length + 1 bytes.
    virtual Status getErrorMessage(char* buffer) = 0;
    // The codes of that failure; all zero when the server gave none (or the
    // failure was the driver's own).
    virtual Status getErrorCodes(ErrorCodes* codes) = 0;

protected:
    ~ISQLObject() = default;
};

// The rows of one executed statement, read forward only.
class ISQLCursor : public ISQLObject {
public:
    // Number of result columns.
    virtual Status getColumnCount(std::uint16_t* count) = 0;
    // Name (alias) of column `column` (from 1), at most kMaxColumnNameBytes bytes and a NUL.
    virtual Status getColumnName(std::uint16_t column, char* buffer) = 0;
    // Kind and subkind of the column (namespaces kind and subkind).
    virtual Status getColumnType(std::uint16_t column, std::uint16_t* kind, std::uint16_t* subkind) = 0;
    // Bytes a value of the column takes in getValue() (for text: the width in bytes, NUL excluded).
    virtual Status getColumnLength(std::uint16_t column, std::uint32_t* length) = 0;
    // Text: width in characters; BCD: declared digits; others: the kind's digits.
    virtual Status getColumnPrecision(std::uint16_t column, std::int16_t* precision) = 0;
    // BCD: number of places (may be reported negative); others 0.
    virtual Status getColumnScale(std::uint16_t column, std::int16_t* scale) = 0;
    // Whether the column may hold nulls.
    virtual Status isNullable(std::uint16_t column, bool* nullable) = 0;
    // Whether the column cannot be written through this result.
    virtual Status isReadOnly(std::uint16_t column, bool* readOnly) = 0;
    // Moves to the next row: Ok with a row current, NoMoreData at the end.
    virtual Status next() = 0;
    // Copies the current row's value into buffer (size bytes) in the layout of the
    // column's kind and sets isNull; a text longer than size - 1 is cut.
    virtual Status getValue(std::uint16_t column, void* buffer, std::uint32_t size, bool* isNull) = 0;

protected:
    ~ISQLCursor() = default;
};

// One SQL statement.
class ISQLCommand : public ISQLObject {
public:
    // Sets a statement option (namespace cmdopt).
    virtual Status setOption(std::int32_t option, std::int32_t value) = 0;
    // Prepares the text, whose parameters are "?" markers, paramCount of them.
    virtual Status prepare(const char* sql, std::uint16_t paramCount) = 0;
    // Binds parameter `position` (from 1); value points at `length` bytes in the
    // layout of `kind`, or is null with isNull set.
    virtual Status setParameter(std::uint16_t position, std::uint16_t childPosition, std::uint16_t direction,
                                std::uint16_t kind, std::uint16_t subkind, std::int32_t precision,
                                std::int32_t scale, std::uint32_t length, const void* value, bool isNull) = 0;
    // Executes; places a cursor for a statement that returns rows, nullptr otherwise.
    virtual Status execute(ISQLCursor** cursor) = 0;
    // Rows changed by the last execution.
    virtual Status getRowsAffected(std::int32_t* rows) = 0;
    // Ends the last execution; the statement stays prepared.
    virtual Status close() = 0;

protected:
    ~ISQLCommand() = default;
};

// What the server supports, and the schema to work in.
class ISQLMetaData : public ISQLObject {
public:
    // Sets a text option (namespace metaopt).
    virtual Status setOption(std::int32_t option, const char* value) = 0;
    // Reads an option into buffer (size bytes); resultLength gets the bytes written.
    virtual Status getOption(std::int32_t option, void* buffer, std::int32_t size,
                             std::int32_t* resultLength) = 0;

protected:
    ~ISQLMetaData() = default;
};

// The same statements for many lines in one server call, as a batch of
// rows of one statement runs elsewhere: every line's statements run once,
// in order, and the first line whose statements fail stops the batch.
class ISQLBatch : public ISQLObject {
public:
    // Prepares the shape's statements for up to shape->maxLines lines.
    virtual Status prepare(const BatchShape* shape) = 0;
    // Binds value `value` (from 0) of line `line` (from 0), in the layout of
    // `kind` as ISQLCommand::setParameter takes it; kept until bound again.
    virtual Status setValue(std::uint32_t line, std::uint16_t value, std::uint16_t kind,
                            std::uint16_t subkind, std::uint32_t length, const void* data, bool isNull) = 0;
    // Runs lines [0, lines) as one call, in the explicit transaction. Ok with
    // *written == lines when all ran; Ok with *written < lines when line
    // *written was refused: its changes are undone, the lines before it
    // stay (each ran once), and *refused holds its codes. Any other status:
    // the call itself failed (a lost connection, a cancel) and nothing of
    // it is kept.
    virtual Status execute(std::uint32_t lines, std::uint32_t* written, ErrorCodes* refused) = 0;

protected:
    ~ISQLBatch() = default;
};

// One attachment to a database.
class ISQLConnection : public ISQLObject {
public:
    // Sets a whole-number option (namespace connopt); before connect unless noted.
    virtual Status setIntOption(std::int32_t option, std::int32_t value) = 0;
    // Sets a text option (namespace connopt).
    virtual Status setTextOption(std::int32_t option, const char* value) = 0;
    // Reads an option into buffer (size bytes); resultLength gets the bytes written.
    virtual Status getOption(std::int32_t option, void* buffer, std::int32_t size,
                             std::int32_t* resultLength) = 0;
    // Attaches to the database.
    virtual Status connect(const char* database, const char* userName, const char* password) = 0;
    // Detaches; statements and cursors made by this connection must be released first.
    virtual Status disconnect() = 0;
    // A new, unprepared statement.
    virtual Status getSQLCommand(ISQLCommand** command) = 0;
    // A new, unprepared batch.
    virtual Status getSQLBatch(ISQLBatch** batch) = 0;
    // The metadata object of this connection.
    virtual Status getSQLMetaData(ISQLMetaData** metaData) = 0;
    // Starts an explicit transaction: statements that return no rows run in it.
    virtual Status beginTransaction() = 0;
    // Commits the explicit transaction.
    virtual Status commit() = 0;
    // Rolls the explicit transaction back.
    virtual Status rollback() = 0;
    // From any thread, also while another call on this connection runs (one
    // that waits for a lock, say): a request of namespace cancelopt. Records
    // no message; Ok when the connection is not attached.
    virtual Status cancel(std::int32_t request) = 0;

protected:
    ~ISQLConnection() = default;
};

// The driver object: a factory of connections.
class ISQLDriver : public ISQLObject {
public:
    // A new, unconnected connection.
    virtual Status getSQLConnection(ISQLConnection** connection) = 0;

protected:
    ~ISQLDriver() = default;
};

}  // namespace sqldriver

extern "C" {
// Entry function of a driver library: loads the vendor client library named
// vendorLib and places the driver object. errorResourceFile may be empty.
typedef sqldriver::Status (*SqlDriverEntry)(const char* vendorLib, const char* errorResourceFile,
                                            sqldriver::ISQLDriver** driver);
// Exported by every driver library as "SqlDriverInterfaceVersion".
typedef std::uint32_t (*SqlDriverVersionFunc)();
// Exported as "SqlDriverShutdown" by a driver whose vendor library keeps
// process-wide state: ends it in order, waiting at most timeoutMs.
typedef sqldriver::Status (*SqlDriverShutdownFunc)(std::uint32_t timeoutMs);
}
