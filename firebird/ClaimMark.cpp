#include "ClaimMark.h"

#include <cstring>

#include "ClientCall.h"
#include "SqlDescriptor.h"
#include "SqlLiteral.h"

namespace tarvel::fb {

namespace {

constexpr const char* kMarkName = "'TARVEL_RUN_CLAIM'";

// Runs a statement that returns one integer in a transaction of its own,
// committed at once (the monitoring tables are read afresh in each one).
ISC_LONG singleInteger(ConnectionCore& connection, const std::string& sql) {
    const ClientLibrary& client = connection.client();
    ConnectionOptions readCommitted = connection.options();
    readCommitted.isolation = 0;
    Transaction transaction(connection.clientRef(), connection.database(),
                            transactionParameters(readCommitted, false));
    Statement statement(connection.clientRef(), connection.database());
    SqlDescriptor result(1);
    callChecked(client, sqldriver::status::SqlError, client.prepare, transaction.handle(), statement.handle(),
                0, sql.c_str(), SQL_DIALECT_V6, result.area());
    result.bindDescribedBuffers();
    callChecked(client, sqldriver::status::SqlError, client.execute, transaction.handle(), statement.handle(),
                SQLDA_VERSION1, nullptr);
    ISC_LONG value = 0;
    StatusVector status;
    if (client.fetch(status.get(), statement.handle(), SQLDA_VERSION1, result.area()) == 0 &&
        !result.isNull(0))
        std::memcpy(&value, result.entry(0).sqldata, sizeof value);
    status.check(client, sqldriver::status::SqlError);
    statement.closeCursor();
    transaction.commit();
    return value;
}

}  // namespace

int markClaimAndCountOthers(ConnectionCore& connection, const std::string& table) {
    // One selectable block: the mark is set before the monitoring tables are
    // first read in the transaction, which is when the server takes their
    // snapshot.
    const std::string name = sqlLiteral(table);
    return static_cast<int>(singleInteger(
        connection, std::string("EXECUTE BLOCK RETURNS (OTHERS INTEGER) AS DECLARE MARKED INTEGER; BEGIN ") +
                        "MARKED = RDB$SET_CONTEXT('USER_SESSION', " + kMarkName + ", " + name + "); " +
                        "SELECT COUNT(*) FROM MON$CONTEXT_VARIABLES WHERE MON$ATTACHMENT_ID <> "
                        "CURRENT_CONNECTION AND MON$VARIABLE_NAME = " +
                        kMarkName + " AND MON$VARIABLE_VALUE = " + name + " INTO OTHERS; SUSPEND; END"));
}

void clearClaimMark(ConnectionCore& connection) noexcept {
    try {
        singleInteger(connection, std::string("SELECT CAST(RDB$SET_CONTEXT('USER_SESSION', ") + kMarkName +
                                      ", NULL) AS INTEGER) FROM RDB$DATABASE");
    } catch (...) {
    }
}

}  // namespace tarvel::fb
