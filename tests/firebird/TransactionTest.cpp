// The driver's transaction rules: a scan keeps delivering while statements
// commit between its fetches; a statement's effect is committed when execute
// returns; an explicit transaction keeps statements together until it ends.
#include <chrono>
#include <optional>
#include <thread>

#include "DriverFixture.h"

namespace tarvel::testing {
namespace {

using namespace sqldriver;

const char* const kSchema = R"(
CREATE TABLE SRC (ID INTEGER NOT NULL PRIMARY KEY, PRICE NUMERIC(12,4));
CREATE TABLE DST (ID INTEGER NOT NULL PRIMARY KEY, PRICE NUMERIC(12,4));
INSERT INTO DST VALUES (-1, 1);
SET TERM ^ ;
EXECUTE BLOCK AS
DECLARE I INTEGER = 0;
BEGIN
  WHILE (I < 10000) DO
  BEGIN
    INSERT INTO SRC VALUES (:I, :I / 4.0);
    I = I + 1;
  END
END^
SET TERM ; ^
)";

std::string countOf(ISQLConnection* connection, const std::string& where) {
    return queryRows(connection, "SELECT COUNT(*) FROM DST WHERE " + where)[0][0];
}

// One DELETE and one INSERT, each prepared anew, as the rebuild runs them.
void replaceRow(ISQLConnection* connection, const std::string& id, const std::string& price) {
    CommandPtr remove = prepare(connection, "DELETE FROM DST WHERE ID = ? ");
    ASSERT_EQ(bindText(remove.get(), 1, id), status::Ok);
    ISQLCursor* none = nullptr;
    ASSERT_EQ(remove->execute(&none), status::Ok) << errorMessage(remove.get());
    CommandPtr insert = prepare(connection, "INSERT INTO DST (ID, PRICE) VALUES ( ? , ? )");
    ASSERT_EQ(bindText(insert.get(), 1, id), status::Ok);
    ASSERT_EQ(bindText(insert.get(), 2, price), status::Ok);
    ASSERT_EQ(insert->execute(&none), status::Ok) << errorMessage(insert.get());
    std::int32_t rows = 0;
    insert->getRowsAffected(&rows);
    ASSERT_EQ(rows, 1);
}

class Transactions : public DriverTest {};

TEST_P(Transactions, ScanKeepsDeliveringWhileStatementsCommitBetweenFetches) {
    const std::string database = makeDatabase(kSchema);
    ConnectionPtr connection = connectTo(settingsFor(database));
    ConnectionPtr observer = connectTo(settingsFor(database));
    CommandPtr scan = prepare(connection.get(), "SELECT ID, PRICE FROM SRC ORDER BY ID");
    CursorPtr cursor = open(scan.get());

    int fetched = 0;
    Status status;
    while ((status = cursor->next()) == status::Ok) {
        const std::string id = valueText(cursor.get(), 1);
        ASSERT_EQ(id, std::to_string(fetched)) << "rows come in order, none lost";
        if (fetched % 4 == 0) {
            replaceRow(connection.get(), id, valueText(cursor.get(), 2));
            if (HasFatalFailure()) return;
        }
        if (fetched == 0 || fetched == 5000) {
            EXPECT_EQ(countOf(observer.get(), "ID = " + id), "1") << "committed once execute returned";
        }
        ++fetched;
    }
    ASSERT_EQ(status, status::NoMoreData) << errorMessage(cursor.get());
    EXPECT_EQ(fetched, 10000);
    EXPECT_EQ(countOf(observer.get(), "ID >= 0"), "2500");
    EXPECT_EQ(queryRows(observer.get(), "SELECT PRICE FROM DST WHERE ID = 9996")[0][0], "2499.0000");
}

struct CommitCase {
    bool commitRetain;
    const char* name;
};

TEST_P(Transactions, StatementEffectIsVisibleToOthersOnceExecuteReturns) {
    const std::string database = makeDatabase(kSchema);
    ConnectionPtr observer = connectTo(settingsFor(database));
    for (const CommitCase& mode :
         {CommitCase{false, "own transaction"}, CommitCase{true, "commit retaining"}}) {
        SCOPED_TRACE(mode.name);
        ConnectSettings settings = settingsFor(database);
        settings.commitRetain = mode.commitRetain;
        ConnectionPtr connection = connectTo(settings);
        const std::string id = mode.commitRetain ? "20002" : "20001";
        replaceRow(connection.get(), id, "1.5");
        EXPECT_EQ(countOf(observer.get(), "ID = " + id), "1");
        run(connection.get(), "DELETE FROM DST WHERE ID = " + id);
        EXPECT_EQ(countOf(observer.get(), "ID = " + id), "0");
        EXPECT_EQ(connection->disconnect(), status::Ok) << errorMessage(connection.get());
    }
}

TEST_P(Transactions, ExplicitTransactionKeepsDeleteAndInsertTogether) {
    const std::string database = makeDatabase(kSchema);
    ConnectionPtr observer = connectTo(settingsFor(database));
    // The DELETE removes row -1 and the INSERT adds row 30000: exactly one of
    // the two stays, whichever way the transaction ends.
    for (const bool commit : {false, true}) {
        SCOPED_TRACE(commit ? "commit" : "rollback");
        ConnectionPtr connection = connectTo(settingsFor(database));
        ASSERT_EQ(connection->beginTransaction(), status::Ok);
        run(connection.get(), "DELETE FROM DST WHERE ID = -1");
        run(connection.get(), "INSERT INTO DST VALUES (30000, 2)");
        EXPECT_EQ(countOf(observer.get(), "ID IN (-1, 30000)"), "1") << "nothing visible before the end";
        ASSERT_EQ(commit ? connection->commit() : connection->rollback(), status::Ok);
        const auto rows = queryRows(observer.get(), "SELECT ID FROM DST WHERE ID IN (-1, 30000)");
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0][0], commit ? "30000" : "-1");
    }
}

using BatchPtr = std::unique_ptr<ISQLBatch, Releaser>;

// A batch of DST's DELETE and INSERT for up to `lines` lines, each line's
// values ID and PRICE.
BatchPtr replaceRowsBatch(ISQLConnection* connection, std::uint32_t lines) {
    ISQLBatch* made = nullptr;
    EXPECT_EQ(connection->getSQLBatch(&made), status::Ok) << errorMessage(connection);
    BatchPtr batch(made);
    const char* statements[] = {"DELETE FROM DST WHERE ID = ? ",
                                "INSERT INTO DST (ID, PRICE) VALUES ( ? , ? )"};
    const char* columns[] = {"ID", "PRICE"};
    const std::uint16_t markers[] = {0, 0, 1};
    BatchShape shape;
    shape.table = "DST";
    shape.statements = statements;
    shape.statementCount = 2;
    shape.valueColumns = columns;
    shape.valuesPerLine = 2;
    shape.markerValues = markers;
    shape.markerCount = 3;
    shape.maxLines = lines;
    EXPECT_EQ(batch->prepare(&shape), status::Ok) << errorMessage(batch.get());
    return batch;
}

void setLine(ISQLBatch* batch, std::uint32_t line, std::optional<std::int32_t> id, double price) {
    const std::int32_t value = id.value_or(0);
    ASSERT_EQ(batch->setValue(line, 0, kind::Int32, 0, sizeof value, &value, !id), status::Ok);
    ASSERT_EQ(batch->setValue(line, 1, kind::Double, 0, sizeof price, &price, false), status::Ok);
}

// A batch runs its lines in the explicit transaction, inline or through its
// sub-procedure: the first refused line stops it with its codes, undone,
// and the lines before it stay, each run once; a batch run again on the same
// values finds the same.
TEST_P(Transactions, ABatchStopsAtTheRefusedLineAndKeepsTheLinesBefore) {
    const std::string database = makeDatabase(kSchema);
    ConnectionPtr observer = connectTo(settingsFor(database));
    ConnectionPtr connection = connectTo(settingsFor(database));
    for (const std::uint32_t size : {4u, 200u}) {
        SCOPED_TRACE("lines a call " + std::to_string(size));
        BatchPtr batch = replaceRowsBatch(connection.get(), size);
        ASSERT_TRUE(batch);
        setLine(batch.get(), 0, 100, 1.5);
        setLine(batch.get(), 1, 101, 2.5);
        setLine(batch.get(), 2, 102, 3.5);
        setLine(batch.get(), 3, std::nullopt, 4.5);  // ID is NOT NULL: refused
        ASSERT_EQ(connection->beginTransaction(), status::Ok);
        std::uint32_t written = 99;
        ErrorCodes refused;
        ASSERT_EQ(batch->execute(4, &written, &refused), status::Ok) << errorMessage(batch.get());
        EXPECT_EQ(written, 3u);
        EXPECT_EQ(refused.gds[0], 335544347) << "validation error for column ID";
        EXPECT_EQ(refused.failure, failure::Other);
        EXPECT_EQ(std::string(refused.sqlState), "23000");
        ASSERT_EQ(batch->execute(3, &written, &refused), status::Ok) << errorMessage(batch.get());
        EXPECT_EQ(written, 3u) << "the same lines again replace their own rows";
        EXPECT_EQ(countOf(observer.get(), "ID BETWEEN 100 AND 102"), "0") << "nothing committed yet";
        ASSERT_EQ(connection->commit(), status::Ok);
        EXPECT_EQ(countOf(observer.get(), "ID BETWEEN 100 AND 102"), "3");
        run(observer.get(), "DELETE FROM DST WHERE ID BETWEEN 100 AND 102");
    }
}

// The handler that stops a batch at a refused line does not catch a cancel
// or the end of the attachment: the call itself fails, and nothing of it is
// kept. Line 1's DELETE waits for a row another transaction has updated.
TEST_P(Transactions, ACancelOrALostAttachmentFailsTheWholeBatch) {
    const std::string database = makeDatabase(kSchema);
    for (const bool endAttachment : {false, true}) {
        SCOPED_TRACE(endAttachment ? "attachment ended" : "cancelled");
        ConnectionPtr holder = connectTo(settingsFor(database));
        ConnectionPtr connection = connectTo(settingsFor(database));
        const std::string attachment =
            queryRows(connection.get(), "SELECT CURRENT_CONNECTION FROM RDB$DATABASE")[0][0];
        ASSERT_EQ(holder->beginTransaction(), status::Ok);
        run(holder.get(), "UPDATE DST SET PRICE = 7 WHERE ID = -1");
        BatchPtr batch = replaceRowsBatch(connection.get(), 4);
        ASSERT_TRUE(batch);
        setLine(batch.get(), 0, 200, 1);
        setLine(batch.get(), 1, -1, 2);
        ASSERT_EQ(connection->beginTransaction(), status::Ok);
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            if (endAttachment) {
                ConnectionPtr administrator = connectTo(settingsFor(database));
                run(administrator.get(),
                    "DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID = " + attachment);
            } else {
                connection->cancel(cancelopt::Raise);
            }
        });
        std::uint32_t written = 99;
        ErrorCodes refused;
        const Status status = batch->execute(2, &written, &refused);
        stopper.join();
        EXPECT_NE(status, status::Ok) << "the handler took the failure for a refused line";
        ErrorCodes codes;
        ASSERT_EQ(batch->getErrorCodes(&codes), status::Ok);
        EXPECT_EQ(codes.failure, endAttachment ? failure::ConnectionLost : failure::Cancelled)
            << errorMessage(batch.get());
        if (!endAttachment) {
            ASSERT_EQ(connection->commit(), status::Ok);
            EXPECT_EQ(countOf(holder.get(), "ID = 200"), "0") << "line 0 went with the cancelled call";
        }
        ASSERT_EQ(holder->rollback(), status::Ok);
    }
}

TEST_P(Transactions, OpenScanSurvivesTheEndOfAnExplicitTransaction) {
    ConnectionPtr connection = connectTo(settingsFor(makeDatabase(kSchema)));
    CommandPtr scan = prepare(connection.get(), "SELECT ID FROM SRC WHERE ID < 3 ORDER BY ID");
    CursorPtr cursor = open(scan.get());
    for (int row = 0; row < 3; ++row) {
        ASSERT_EQ(cursor->next(), status::Ok) << errorMessage(cursor.get());
        EXPECT_EQ(valueText(cursor.get(), 1), std::to_string(row));
        ASSERT_EQ(connection->beginTransaction(), status::Ok);
        run(connection.get(), "UPDATE DST SET PRICE = PRICE + 1 WHERE ID = -1");
        ASSERT_EQ(row % 2 ? connection->rollback() : connection->commit(), status::Ok);
    }
    EXPECT_EQ(cursor->next(), status::NoMoreData);
    EXPECT_EQ(queryRows(connection.get(), "SELECT PRICE FROM DST WHERE ID = -1")[0][0], "3.0000");
}

TEST_P(Transactions, MisplacedTransactionCallsAreRefused) {
    ConnectionPtr connection = connectTo(settingsFor(makeDatabase(kSchema)));
    EXPECT_EQ(connection->commit(), status::InvalidTransactionId);
    EXPECT_EQ(connection->rollback(), status::InvalidTransactionId);
    ASSERT_EQ(connection->beginTransaction(), status::Ok);
    EXPECT_EQ(connection->beginTransaction(), status::TransactionActive);
    EXPECT_EQ(connection->rollback(), status::Ok);
}

// The count of changed rows is asked of the server only when wanted, which
// may be after the statement's transaction has ended or another statement ran.
TEST_P(Transactions, RowsAffectedIsRightWhenAskedAfterTheTransactionEnded) {
    struct Case {
        const char* name;
        const char* sql;
        const char* end;  // "auto": committed by execute; "commit" / "rollback": explicit
        std::int32_t rows;
    };
    const Case cases[] = {
        {"insert, auto commit", "INSERT INTO DST VALUES (40000, 1)", "auto", 1},
        {"update of three, auto commit", "UPDATE DST SET PRICE = 2 WHERE ID IN (-1, 40000, 40001)", "auto",
         2},
        {"delete, committed", "DELETE FROM DST WHERE ID >= 40000", "commit", 1},
        {"insert select, rolled back", "INSERT INTO DST SELECT ID + 50000, PRICE FROM SRC WHERE ID < 7",
         "rollback", 7},
        {"nothing matched", "DELETE FROM DST WHERE ID = 99999", "commit", 0},
    };
    ConnectionPtr connection = connectTo(settingsFor(makeDatabase(kSchema)));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool explicitTransaction = std::string(c.end) != "auto";
        if (explicitTransaction) {
            ASSERT_EQ(connection->beginTransaction(), status::Ok);
        }
        CommandPtr command = prepare(connection.get(), c.sql);
        ISQLCursor* none = nullptr;
        ASSERT_EQ(command->execute(&none), status::Ok) << errorMessage(command.get());
        ASSERT_EQ(command->close(), status::Ok);
        // Another statement runs in between, as the rebuild's next one does.
        run(connection.get(), "UPDATE DST SET PRICE = PRICE WHERE ID = -1");
        if (explicitTransaction) {
            ASSERT_EQ(std::string(c.end) == "commit" ? connection->commit() : connection->rollback(),
                      status::Ok);
        }
        std::int32_t rows = -5;
        ASSERT_EQ(command->getRowsAffected(&rows), status::Ok) << errorMessage(command.get());
        EXPECT_EQ(rows, c.rows);
        // Asked again: the same count.
        rows = -5;
        ASSERT_EQ(command->getRowsAffected(&rows), status::Ok);
        EXPECT_EQ(rows, c.rows);
        // Preparing anew forgets it.
        ASSERT_EQ(command->prepare("DELETE FROM DST WHERE ID = 99998", 0), status::Ok);
        ASSERT_EQ(command->getRowsAffected(&rows), status::Ok);
        EXPECT_EQ(rows, 0);
    }
}

TEST_P(Transactions, ReexecutingACommandEndsItsEarlierCursor) {
    ConnectionPtr connection = connectTo(settingsFor(makeDatabase(kSchema)));
    CommandPtr scan = prepare(connection.get(), "SELECT ID FROM SRC WHERE ID < 2 ORDER BY ID");
    CursorPtr first = open(scan.get());
    ASSERT_EQ(first->next(), status::Ok);
    CursorPtr second = open(scan.get());
    EXPECT_EQ(first->next(), status::InvalidHandle);
    ASSERT_EQ(second->next(), status::Ok);
    EXPECT_EQ(valueText(second.get(), 1), "0");
    // Released out of order: the command first, its cursor after.
    scan.reset();
    ASSERT_EQ(second->next(), status::Ok);
    EXPECT_EQ(valueText(second.get(), 1), "1");
}

TARVEL_BOTH_ACCESSES(Transactions);

}  // namespace
}  // namespace tarvel::testing
