#include "ClaimMark.h"

#include <cstring>

#include "ClientCall.h"
#include "SqlDescriptor.h"
#include "SqlLiteral.h"

namespace tarvel::fb {

namespace {

constexpr const char* kMarkName = "'TARVEL_RUN_CLAIM'";

// The columns the look returns, in this order.
enum Column { Others, Process, ProcessId, Host, Address, ColumnCount };

// The texts are read as bytes (OCTETS), so that no character set of the
// connection can make a name the server shows fail the claim. A name of 255
// characters takes up to 1,020 bytes.
constexpr const char* kLookColumns =
    "OTHERS INTEGER, PROCESS VARCHAR(1020) CHARACTER SET OCTETS, PROCESS_ID INTEGER, "
    "HOST VARCHAR(1020) CHARACTER SET OCTETS, ADDRESS VARCHAR(1020) CHARACTER SET OCTETS";

std::string textOf(SqlDescriptor& row, int column) {
    if (row.isNull(column)) return {};
    const XSQLVAR& entry = row.entry(column);
    short length = 0;
    std::memcpy(&length, entry.sqldata, sizeof length);
    return std::string(entry.sqldata + sizeof length, static_cast<std::size_t>(length));
}

ISC_LONG integerOf(SqlDescriptor& row, int column) {
    ISC_LONG value = 0;
    if (!row.isNull(column)) std::memcpy(&value, row.entry(column).sqldata, sizeof value);
    return value;
}

// Runs a statement that returns at most one row in a read-committed
// transaction of its own, committed at once, so that the monitoring tables
// are read afresh each time; the row, when there is one, is left in `row`.
bool runOnce(ConnectionCore& connection, const std::string& sql, SqlDescriptor& row) {
    const ClientLibrary& client = connection.client();
    ConnectionOptions readCommitted = connection.options();
    readCommitted.isolation = 0;
    Transaction transaction(connection.clientRef(), connection.database(),
                            transactionParameters(readCommitted, false));
    Statement statement(connection.clientRef(), connection.database());
    callChecked(client, sqldriver::status::SqlError, client.prepare, transaction.handle(), statement.handle(),
                0, sql.c_str(), SQL_DIALECT_V6, row.area());
    row.bindDescribedBuffers();
    callChecked(client, sqldriver::status::SqlError, client.execute, transaction.handle(), statement.handle(),
                SQLDA_VERSION1, nullptr);
    StatusVector status;
    const bool found = client.fetch(status.get(), statement.handle(), SQLDA_VERSION1, row.area()) == 0;
    status.check(client, sqldriver::status::SqlError);
    statement.closeCursor();
    transaction.commit();
    return found;
}

}  // namespace

ClaimSight markClaimAndLook(ConnectionCore& connection, const std::string& table) {
    // One selectable block: the mark is set before the monitoring tables are
    // first read in the transaction, which is when the server takes their
    // snapshot; the holder is read from the same snapshot.
    const std::string name = sqlLiteral(table);
    const std::string others = std::string("FROM MON$CONTEXT_VARIABLES V WHERE V.MON$ATTACHMENT_ID <> ") +
                               "CURRENT_CONNECTION AND V.MON$VARIABLE_NAME = " + kMarkName +
                               " AND V.MON$VARIABLE_VALUE = " + name;
    const std::string sql =
        std::string("EXECUTE BLOCK RETURNS (") + kLookColumns + ") AS DECLARE MARKED INTEGER; BEGIN " +
        "MARKED = RDB$SET_CONTEXT('USER_SESSION', " + kMarkName + ", " + name + "); " + "SELECT COUNT(*) " +
        others + " INTO OTHERS; " +
        "IF (OTHERS > 0) THEN SELECT FIRST 1 A.MON$REMOTE_PROCESS, A.MON$REMOTE_PID, A.MON$REMOTE_HOST, "
        "A.MON$REMOTE_ADDRESS FROM MON$ATTACHMENTS A WHERE A.MON$ATTACHMENT_ID IN (SELECT "
        "V.MON$ATTACHMENT_ID " +
        others + ") ORDER BY A.MON$ATTACHMENT_ID INTO PROCESS, PROCESS_ID, HOST, ADDRESS; SUSPEND; END";
    SqlDescriptor row(ColumnCount);
    ClaimSight sight;
    if (!runOnce(connection, sql, row)) return sight;
    sight.others = static_cast<int>(integerOf(row, Others));
    std::string process = textOf(row, Process);
    if (const auto slash = process.find_last_of("/\\"); slash != std::string::npos)
        process.erase(0, slash + 1);
    std::string host = textOf(row, Host);
    if (host.empty()) host = textOf(row, Address);
    sight.holder = process;
    if (!row.isNull(ProcessId))
        sight.holder += (sight.holder.empty() ? "" : ", ") + std::string("process ") +
                        std::to_string(integerOf(row, ProcessId));
    if (!host.empty()) sight.holder += (sight.holder.empty() ? "" : " ") + std::string("on host ") + host;
    return sight;
}

void clearClaimMark(ConnectionCore& connection) {
    SqlDescriptor row(1);
    runOnce(connection,
            std::string("SELECT CAST(RDB$SET_CONTEXT('USER_SESSION', ") + kMarkName +
                ", NULL) AS INTEGER) FROM RDB$DATABASE",
            row);
}

}  // namespace tarvel::fb
