// After a failed call the connection is either still usable or counts as
// closed and opens afresh at its next use; it never keeps a transaction that
// the driver would refuse to follow with another. The fake driver plays the
// failures a real server produces only by accident: a refused rollback, and
// an attachment that is gone.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "Error.h"
#include "FakeDriverFixture.h"
#include "HistoryReset.h"
#include "SqlBlockOperations.h"
#include "SqlQueryOperations.h"

namespace tarvel::testing {
namespace {

namespace st = sqldriver::status;

void setLines(SqlQuery& query, const std::vector<std::string>& lines) {
    query.close();
    query.clearLines();
    for (const std::string& line : lines) query.addLine(line);
}

fakedriver::Column textColumn(const char* name) {
    fakedriver::Column column;
    column.name = name;
    column.length = 10;
    column.precision = 10;
    return column;
}

// The driver reports its attachment as gone from now on.
void attachmentGone() { fakedriver::setConnectionOptionInt(sqldriver::connopt::ConnectionLost, 1); }

struct RecoveryCase {
    const char* what;
    // Scripts the failure and makes the call that meets it.
    std::function<void(SqlConnection&, SqlQuery& scan, SqlQuery& work)> fail;
    const char* text;  // the failure's text, as shown to the operator
    bool openAfter;    // the connection still counts as open
};

void PrintTo(const RecoveryCase& c, std::ostream* out) { *out << c.what; }

class ConnectionRecovery : public FakeDriverFixture, public ::testing::WithParamInterface<RecoveryCase> {};

TEST_P(ConnectionRecovery, NextUseWorks) {
    const RecoveryCase& c = GetParam();
    openConnection();
    fakedriver::setErrorMessage("connection", "connection message");
    fakedriver::setErrorMessage("command", "statement message");
    fakedriver::setErrorMessage("cursor", "cursor message");
    EXPECT_EQ(failureOf([&] { c.fail(*connection, *query1, *query2); }), c.text);
    EXPECT_EQ(connection->isOpen(), c.openAfter);
    EXPECT_FALSE(connection->inTransaction()) << "no transaction may outlive the failure";

    // The next run: the attachment is back, and a transaction with a statement
    // in it goes through.
    fakedriver::clearConnectionOption(sqldriver::connopt::ConnectionLost);
    fakedriver::clearLog();
    connection->beginTransaction();
    setLines(*query2, {"DELETE FROM T"});
    EXPECT_NO_THROW(query2->runStatement());
    EXPECT_NO_THROW(connection->commit());
    EXPECT_TRUE(connection->isOpen());
    const std::size_t reopened = c.openAfter ? 0u : 1u;
    EXPECT_EQ(fakedriver::logOf("connection.disconnect").size(), reopened) << "the old attachment is let go";
    EXPECT_EQ(fakedriver::logOf("connection.connect").size(), reopened);
    EXPECT_EQ(fakedriver::logOf("entry").size(), reopened) << "the whole opening runs again";
    // Only the new attachment's objects are alive: one connection, its
    // metadata, the statement of the last run (query1 holds none).
    EXPECT_EQ(fakedriver::liveObjects("connection"), 1);
    EXPECT_EQ(fakedriver::liveObjects("command"), 1);
    EXPECT_EQ(fakedriver::liveObjects("cursor"), 0);
}

const RecoveryCase kRecoveryCases[] = {
    {"a refused statement keeps the attachment",
     [](SqlConnection&, SqlQuery&, SqlQuery& q) {
         setLines(q, {"DELETE FROM T"});
         fakedriver::failNext("command.execute", st::SqlError);
         q.runStatement();
     },
     "Driver Error: [0x0065]: SQL Error\r\nSQL Server Error: statement message", true},
    {"a statement on a lost attachment",
     [](SqlConnection&, SqlQuery&, SqlQuery& q) {
         setLines(q, {"DELETE FROM T"});
         fakedriver::failNext("command.execute", st::SqlError);
         attachmentGone();
         q.runStatement();
     },
     "Driver Error: [0x0065]: SQL Error\r\nSQL Server Error: statement message", false},
    {"a preparation on a lost attachment, in a transaction",
     [](SqlConnection& c, SqlQuery&, SqlQuery& q) {
         c.beginTransaction();
         setLines(q, {"DELETE FROM T"});
         fakedriver::failNext("command.prepare", st::SqlError);
         attachmentGone();
         q.runStatement();
     },
     "Driver Error: [0x0065]: SQL Error\r\nSQL Server Error: statement message", false},
    {"a fetch on a lost attachment",
     [](SqlConnection&, SqlQuery& scan, SqlQuery&) {
         fakedriver::ResultSet rows;
         rows.columns = {textColumn("A")};
         rows.rows = {{fakedriver::Value::text("a")}, {fakedriver::Value::text("b")}};
         fakedriver::queueResult(rows);
         setLines(scan, {"SELECT A FROM T"});
         scan.open();
         fakedriver::failNext("cursor.next", st::SqlError);
         attachmentGone();
         scan.next();
     },
     "Driver Error: [0x0065]: SQL Error\r\nSQL Server Error: cursor message", false},
    {"a commit on a lost attachment",
     [](SqlConnection& c, SqlQuery&, SqlQuery&) {
         c.beginTransaction();
         fakedriver::failNext("connection.commit", st::SqlError);
         attachmentGone();
         c.commit();
     },
     "Driver Error: [0x0065]: SQL Error\r\nSQL Server Error: connection message", false},
    {"a refused rollback",
     [](SqlConnection& c, SqlQuery&, SqlQuery&) {
         c.beginTransaction();
         fakedriver::failNext("connection.rollback", st::SqlError);
         c.rollback();
     },
     "Driver Error: [0x0065]: SQL Error\r\nSQL Server Error: connection message", false},
    {"a refused commit, then a refused rollback",
     [](SqlConnection& c, SqlQuery&, SqlQuery&) {
         c.beginTransaction();
         fakedriver::failNext("connection.commit", st::SqlError);
         fakedriver::failNext("connection.rollback", st::InvalidHandle);
         try {
             c.commit();
         } catch (const Error&) {
             c.rollback();
         }
     },
     "Driver Error: [0x0004]: Invalid Handle\r\nSQL Server Error: connection message", false},
};

INSTANTIATE_TEST_SUITE_P(Cases, ConnectionRecovery, ::testing::ValuesIn(kRecoveryCases),
                         [](const ::testing::TestParamInfo<RecoveryCase>& info) {
                             return "Case" + std::to_string(info.index);
                         });

// A window double that answers Yes and chooses the purchase history.
class YesShell : public ResetShell {
public:
    int position = 0;
    std::vector<std::string> informations;
    int confirm(const std::string&) override { return kYes; }
    int chosenIndex() override { return 0; }
    void setProgressMax(int) override {}
    void setProgressPosition(int value) override { position = value; }
    int progressPosition() override { return position; }
    void showInformation(const std::string& message) override { informations.push_back(message); }
};

using RunRecovery = FakeDriverFixture;

TEST_F(RunRecovery, ARunAfterARefusedRollbackStartsOnAFreshAttachment) {
    fakedriver::ResultSet count;
    fakedriver::Column countColumn;
    countColumn.name = "COUNT";
    countColumn.kind = sqldriver::kind::Int32;
    countColumn.length = 4;
    count.columns = {countColumn};
    count.rows = {{fakedriver::Value::int32(1)}};
    fakedriver::ResultSet lines;
    for (const char* name : {"PROVIDER_ID", "PROD_ID", "B_PRICE", "BILL_DATE", "TEMPPRODID", "PROD_BARCODE",
                             "SALE_PRICE", "U_DIS"}) {
        lines.columns.push_back(textColumn(name));
    }
    lines.rows = {std::vector<fakedriver::Value>(8, fakedriver::Value::text("1"))};
    fakedriver::setResultFor("SELECT COUNT(*) FROM INSTORAGE_SUB \r\n", count);
    fakedriver::setResultFor(
        "SELECT PROVIDER_ID,PROD_ID,B_PRICE,BILL_DATE,TEMPPRODID,PROD_BARCODE,SALE_PRICE,U_DIS "
        "FROM INSTORAGE_SUB \r\n ORDER BY PROVIDER_ID,PROD_ID,BILL_DATE \r\n",
        lines);
    YesShell shell;
    SqlQueryOperations scan(*query1);
    SqlQueryOperations work(*query2);
    SqlBlockOperations blocks(*connection);
    ConnectionTransactions transactions(*connection);

    // One line per call, so that the INSERT is the fifth statement run (after
    // the count, the scan, the line's savepoint and its DELETE); it is
    // refused, and so are the undoing to the savepoint and the rollback that
    // follow it.
    std::ofstream(m_dir.file("sqlconnections.ini"), std::ios::app) << "LinesPerCall=1\n";
    fakedriver::failNext("command.execute", st::SqlError, 4);
    fakedriver::failNext("command.execute", st::SqlError);
    fakedriver::failNext("connection.rollback", st::SqlError);
    fakedriver::setErrorMessage("command", "string right truncation");
    EXPECT_EQ(failureOf([&] { runHistoryReset(shell, scan, work, blocks, transactions); }),
              "Driver Error: [0x0065]: SQL Error\r\nSQL Server Error: string right truncation");
    EXPECT_TRUE(shell.informations.empty());

    fakedriver::clearLog();
    runHistoryReset(shell, scan, work, blocks, transactions);
    EXPECT_EQ(shell.informations, std::vector<std::string>{kResetDone});
    // The transaction the driver may still hold ends with the old attachment,
    // before the next run begins its first one.
    std::vector<std::string> order;
    for (const std::string& line : fakedriver::log()) {
        for (const char* call : {"connection.disconnect", "connection.connect", "connection.beginTransaction",
                                 "connection.commit"}) {
            if (line.rfind(call, 0) == 0) order.push_back(call);
        }
    }
    EXPECT_EQ(order, (std::vector<std::string>{"connection.disconnect", "connection.connect",
                                               "connection.beginTransaction", "connection.commit"}));
    EXPECT_FALSE(connection->inTransaction());
}

}  // namespace
}  // namespace tarvel::testing
