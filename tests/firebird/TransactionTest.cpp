// The driver's transaction rules: a scan keeps delivering while statements
// commit between its fetches; a statement's effect is committed when execute
// returns; an explicit transaction keeps statements together until it ends.
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

// With OneRowInTransaction, a block that writes and returns one row runs in
// the explicit transaction: its row comes with the execution (the cursor
// holds it, then ends) and its write goes with that transaction.
TEST_P(Transactions, OneRowComesWithTheExecutionInTheExplicitTransaction) {
    const std::string database = makeDatabase(kSchema);
    ConnectionPtr observer = connectTo(settingsFor(database));
    ConnectionPtr connection = connectTo(settingsFor(database));
    CommandPtr block =
        prepare(connection.get(),
                "EXECUTE BLOCK RETURNS (N INTEGER) AS BEGIN INSERT INTO DST VALUES (40000, 4); "
                "SELECT COUNT(*) FROM DST INTO N; SUSPEND; END");
    ASSERT_EQ(block->setOption(cmdopt::OneRowInTransaction, 1), status::Ok);
    ASSERT_EQ(connection->beginTransaction(), status::Ok);
    CursorPtr cursor = open(block.get());
    ASSERT_EQ(cursor->next(), status::Ok) << errorMessage(cursor.get());
    EXPECT_EQ(valueText(cursor.get(), 1), "2") << "the row counts the block's own insert";
    EXPECT_EQ(cursor->next(), status::NoMoreData);
    cursor.reset();
    EXPECT_EQ(countOf(observer.get(), "ID = 40000"), "0") << "nothing committed with the execution";
    ASSERT_EQ(connection->rollback(), status::Ok);
    EXPECT_EQ(countOf(observer.get(), "ID = 40000"), "0") << "undone with the transaction";
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
