// Control of the scriptable fake driver library (libfakesqldrv.so), for tests.
//
// The library exports the entry function "GetFakeDriver",
// "SqlDriverInterfaceVersion" and "SqlDriverShutdown" (logged as
// "shutdown <timeout>"), and implements the five driver interfaces. A
// test links the same library, so the instance that the connection loads with
// dlopen is the one these functions script and observe.
//
// Call names are "<object>.<method>", the object being one of entry, driver,
// connection, metadata, command, cursor (e.g. "connection.connect",
// "command.execute", "cursor.next", "metadata.getOption"). Every call received
// is logged as one text line: the call name and the values passed, texts
// quoted byte for byte with C escapes (\r \n \t \" \\ \0 and \xHH for other
// bytes outside printable ASCII), e.g.
//   entry "libfbclient.so.2" ""
//   connection.setIntOption 4 1
//   connection.setTextOption 3 "RoleName"
//   connection.connect "127.0.0.1:/x.fdb" "SYSDBA" "pw"
//   connection.getOption 14 4
//   metadata.getOption 11 1
//   command.prepare "SELECT 1\r\n" 0
//   command.setParameter 1 0 1 1 0 3 0 4 "abc\0" null=0
//   command.setParameter 2 0 1 7 0 8 0 8 double=2.5 null=0
//   cursor.getValue 1 32
// Values of setParameter are shown by kind: text and bytes quoted, integers
// and doubles as numbers ("int=", "double="), anything else as hex ("hex=");
// a null value pointer shows as "-".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "SqlDriver.h"

#if defined(__GNUC__)
#define FAKEDRIVER_API __attribute__((visibility("default")))
#else
#define FAKEDRIVER_API
#endif

namespace fakedriver {

// One column of a scripted result, as the cursor describes it.
struct Column {
    std::string name;
    std::uint16_t kind = sqldriver::kind::Text;
    std::uint16_t subkind = sqldriver::subkind::None;
    std::uint32_t length = 0;
    std::int16_t precision = 0;
    std::int16_t scale = 0;
    bool nullable = true;
    bool readOnly = false;
};

// One value of a row: raw bytes in the layout of the column's kind (see
// SqlDriver.h; a text value is its bytes without the NUL), or a null.
struct Value {
    bool isNull = false;
    std::string bytes;

    static Value null() { return Value{true, {}}; }
    static Value text(const std::string& t) { return Value{false, t}; }
    static Value int16(std::int16_t v);
    static Value int32(std::int32_t v);
    static Value int64(std::int64_t v);
    static Value dbl(double v);
    static Value bcd(const sqldriver::Bcd& v);
    static Value timestamp(const sqldriver::SqlTimestamp& v);
    static Value raw(const void* data, std::size_t size);
};

// The rows an execution returns through a cursor.
struct ResultSet {
    std::vector<Column> columns;
    std::vector<std::vector<Value>> rows;
    // Status next() returns after the last row (NoMoreData; Eof is also a valid end).
    sqldriver::Status endStatus = sqldriver::status::NoMoreData;
};

// Back to the starting state: empty log, no scripted statuses, messages,
// results or option answers beyond the defaults (connection option 14 -> 0,
// metadata option 11 -> '"', 5 -> 1, 15 -> 1), rows affected 0, interface
// version as built.
FAKEDRIVER_API void reset();

// Every call received since the last reset()/clearLog(), in order.
FAKEDRIVER_API std::vector<std::string> log();
FAKEDRIVER_API void clearLog();
// Log lines whose call name (the text before the first blank) is `call`.
FAKEDRIVER_API std::vector<std::string> logOf(const std::string& call);

// The next call named `call` after `skip` successful ones returns `status` (once).
FAKEDRIVER_API void failNext(const std::string& call, sqldriver::Status status, int skip = 0);
// Every call named `call` returns `status` until reset().
FAKEDRIVER_API void failAlways(const std::string& call, sqldriver::Status status);

// The text that objects of kind `object` ("connection", "command", ...) report
// through getErrorMessageLen/getErrorMessage; empty means none (length 0).
FAKEDRIVER_API void setErrorMessage(const std::string& object, const std::string& text);

// Answers to getOption: the bytes written (cut to the caller's size).
FAKEDRIVER_API void setConnectionOption(std::int32_t option, const std::string& bytes);
FAKEDRIVER_API void setConnectionOptionInt(std::int32_t option, std::int32_t value);
FAKEDRIVER_API void setMetaDataOption(std::int32_t option, const std::string& bytes);
FAKEDRIVER_API void setMetaDataOptionInt(std::int32_t option, std::int32_t value);
// Removes an answer: that getOption then returns NotSupported.
FAKEDRIVER_API void clearConnectionOption(std::int32_t option);
FAKEDRIVER_API void clearMetaDataOption(std::int32_t option);

// Results of execute(): an execution of a statement prepared with exactly
// `sql` returns a cursor over `result` (every time). Otherwise the next queued
// entry is used: a result gives a cursor, std::nullopt gives no cursor. With
// neither, execute() places no cursor.
FAKEDRIVER_API void setResultFor(const std::string& sql, const ResultSet& result);
FAKEDRIVER_API void queueResult(const std::optional<ResultSet>& result);
// What getRowsAffected() reports.
FAKEDRIVER_API void setRowsAffected(std::int32_t rows);

// Version that SqlDriverInterfaceVersion() reports (to test a mismatch).
FAKEDRIVER_API void setInterfaceVersion(std::uint32_t version);

// Driver objects handed out and not yet released, of all kinds or of one kind.
FAKEDRIVER_API int liveObjects();
FAKEDRIVER_API int liveObjects(const std::string& object);

// Quotes bytes the way the log does (without the surrounding quotes' escapes
// being special): "abc\r\n" for the bytes a b c CR LF.
FAKEDRIVER_API std::string quote(const std::string& bytes);

}  // namespace fakedriver
