// SQLConnection1 over the real Firebird driver library (bin/libfbsqldrv.so)
// with settings files written by the test: embedded and over the loopback
// server, the opening, its failures, closing, and the transaction calls.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>

#include "DatabaseError.h"
#include "Error.h"
#include "SettingsFolder.h"
#include "SqlConnection.h"
#include "StatementBlock.h"
#include "TestDatabase.h"

using tarvel::Error;
using tarvel::SqlConnection;
using tarvel::testing::SettingsFolder;

namespace {

struct Releaser {
    void operator()(sqldriver::ISQLObject* object) const {
        if (object) object->release();
    }
};
using CommandPtr = std::unique_ptr<sqldriver::ISQLCommand, Releaser>;
using CursorPtr = std::unique_ptr<sqldriver::ISQLCursor, Releaser>;

enum class Access { Embedded, Server };

class ConnectionFirebirdTest : public ::testing::TestWithParam<Access> {
protected:
    void SetUp() override {
        if (GetParam() == Access::Server) TARVEL_SKIP_WITHOUT_SERVER();
        m_databaseFile = m_folder.file("pos.fdb");
        tarvel::testing::createDatabase(
            m_databaseFile,
            "CREATE TABLE STORY_IN (PROD_ID VARCHAR(20) NOT NULL, PRICE NUMERIC(12,4));"
            "INSERT INTO STORY_IN VALUES ('P1', 10.5);");
        m_database =
            GetParam() == Access::Server ? tarvel::testing::serverDatabase(m_databaseFile) : m_databaseFile;
        writeEntry(tarvel::testing::testPassword());
        m_folder.write("sqldrivers.ini",
                       "[Firebird]\r\nLibraryName=libfbsqldrv.so\r\nVendorLib=libfbclient.so.2\r\n"
                       "GetDriverFunc=GetFirebirdDriver\r\n");
        m_connection = std::make_unique<SqlConnection>("SQLConnection1", m_folder.location());
    }

    // The built-in list with the test's database and password.
    void writeEntry(const std::string& password, const char* waitOnLocks = "True") {
        m_folder.write("sqlconnections.ini",
                       "[Kestal]\r\nDriverName=Firebird\r\nDatabase=" + m_database +
                           "\r\nRoleName=RoleName\r\nUser_Name=SYSDBA\r\nPassword=" + password +
                           "\r\nServerCharSet=\r\nSQLDialect=3\r\nBlobSize=-1\r\nCommitRetain=False\r\n"
                           "WaitOnLocks=" +
                           waitOnLocks +
                           "\r\nErrorResourceFile=\r\nLocaleCode=0000\r\n"
                           "Firebird TransIsolation=ReadCommited\r\nTrim Char=False\r\n");
    }

    // Runs a statement that returns no rows on the statement connection.
    void run(const std::string& sql) { run(*m_connection, sql); }
    static void run(SqlConnection& connection, const std::string& sql) {
        sqldriver::ISQLConnection* c = connection.connectionForStatement(false);
        sqldriver::ISQLCommand* raw = nullptr;
        connection.check(c->getSQLCommand(&raw), c);
        CommandPtr command(raw);
        connection.check(command->prepare(sql.c_str(), 0), command.get());
        sqldriver::ISQLCursor* cursor = nullptr;
        connection.check(command->execute(&cursor), command.get());
        CursorPtr owned(cursor);
        connection.check(command->close(), command.get());
    }

    // The number the one-row, one-column SELECT returns.
    std::int64_t count(const std::string& sql) {
        sqldriver::ISQLConnection* c = m_connection->connectionForStatement(true);
        sqldriver::ISQLCommand* raw = nullptr;
        m_connection->check(c->getSQLCommand(&raw), c);
        CommandPtr command(raw);
        m_connection->check(command->prepare(sql.c_str(), 0), command.get());
        sqldriver::ISQLCursor* rawCursor = nullptr;
        m_connection->check(command->execute(&rawCursor), command.get());
        CursorPtr cursor(rawCursor);
        if (!cursor) throw Error("no cursor");
        m_connection->check(cursor->next(), cursor.get());
        std::uint16_t kind = 0;
        std::uint16_t subkind = 0;
        m_connection->check(cursor->getColumnType(1, &kind, &subkind), cursor.get());
        if (kind != sqldriver::kind::Int64) throw Error("COUNT(*) is not a 64-bit integer");
        std::int64_t value = 0;
        bool isNull = true;
        m_connection->check(cursor->getValue(1, &value, sizeof value, &isNull), cursor.get());
        return value;
    }

    std::int64_t rowsOf(const std::string& productId) {
        return count("SELECT COUNT(*) FROM STORY_IN WHERE PROD_ID = '" + productId + "'");
    }

    SettingsFolder m_folder;
    std::string m_databaseFile;
    std::string m_database;
    std::unique_ptr<SqlConnection> m_connection;
};

TEST_P(ConnectionFirebirdTest, OpensAndAsksTheDriver) {
    m_connection->open();
    EXPECT_TRUE(m_connection->isOpen());
    EXPECT_EQ(m_connection->quoteChar(), '"');
    EXPECT_EQ(m_connection->statementLimit(), 0);
    EXPECT_TRUE(m_connection->supportsTransaction());
    EXPECT_EQ(rowsOf("P1"), 1);
    EXPECT_EQ(m_connection->cloneCount(), 0u);
    m_connection->close();
    EXPECT_FALSE(m_connection->isOpen());
    // A second opening after a close attaches again.
    m_connection->open();
    EXPECT_EQ(rowsOf("P1"), 1);
}

TEST_P(ConnectionFirebirdTest, RollbackKeepsTheRowCommitKeepsTheChange) {
    m_connection->beginTransaction();
    EXPECT_TRUE(m_connection->isOpen());
    run("DELETE FROM STORY_IN WHERE PROD_ID = 'P1'");
    run("INSERT INTO STORY_IN VALUES ('P2', 3)");
    m_connection->rollback();
    EXPECT_FALSE(m_connection->inTransaction());
    EXPECT_EQ(rowsOf("P1"), 1);
    EXPECT_EQ(rowsOf("P2"), 0);

    m_connection->beginTransaction();
    run("DELETE FROM STORY_IN WHERE PROD_ID = 'P1'");
    run("INSERT INTO STORY_IN VALUES ('P2', 3)");
    m_connection->commit();
    EXPECT_EQ(rowsOf("P1"), 0);
    EXPECT_EQ(rowsOf("P2"), 1);

    // Without an explicit transaction every statement is kept once it ran.
    run("DELETE FROM STORY_IN WHERE PROD_ID = 'P2'");
    m_connection->close();
    m_connection->open();
    EXPECT_EQ(rowsOf("P2"), 0);
}

TEST_P(ConnectionFirebirdTest, WrongPasswordIsADriverError) {
    if (GetParam() == Access::Embedded) GTEST_SKIP() << "an embedded attachment does not check the password";
    writeEntry("not-the-password");
    try {
        m_connection->open();
        FAIL() << "opened with a wrong password";
    } catch (const Error& e) {
        std::string text = e.what();
        EXPECT_NE(text.find("SQL Server Error: "), std::string::npos) << text;
        EXPECT_EQ(m_connection->lastErrorText(), text);
    }
    EXPECT_FALSE(m_connection->isOpen());
    // The retry uses the list already loaded: correcting the file does not help.
    writeEntry(tarvel::testing::testPassword());
    EXPECT_THROW(m_connection->open(), Error);
}

TEST_P(ConnectionFirebirdTest, MissingDatabaseFile) {
    std::string missing = m_folder.file("missing.fdb");
    m_database = GetParam() == Access::Server ? tarvel::testing::serverDatabase(missing) : missing;
    writeEntry(tarvel::testing::testPassword());
    try {
        m_connection->open();
        FAIL() << "opened a missing database";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("SQL Server Error: "), std::string::npos) << e.what();
    }
    EXPECT_FALSE(m_connection->isOpen());
}

TEST_P(ConnectionFirebirdTest, VendorLibraryMissing) {
    m_folder.write("sqldrivers.ini",
                   "[Firebird]\nLibraryName=libfbsqldrv.so\nVendorLib=libfbclient-missing.so.9\n"
                   "GetDriverFunc=GetFirebirdDriver\n");
    try {
        m_connection->open();
        FAIL() << "opened without the vendor library";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Unable to Load libfbclient-missing.so.9");
    }
}

// Blocks of rows of a DELETE and an INSERT: written inline up to the
// server's table contexts, through the sub-procedure beyond, and large
// enough for a message over 64 KB. Values arrive as they were
// given, ":PROD_ID" look-alikes included (the block's text never goes
// through the marker scan), a failed call keeps nothing, and the failing
// row is told.
TEST_P(ConnectionFirebirdTest, BlocksOfRowsRunWholeOrNotAtAll) {
    struct Case {
        std::size_t rows;
        bool isInline;
    };
    const std::vector<std::string> statements = {
        "DELETE FROM STORY_IN WHERE PROD_ID = :PROD_ID",
        "INSERT INTO STORY_IN (PROD_ID, PRICE) VALUES (:PROD_ID, :PRICE)"};
    const std::string odd[] = {":PROD_ID", ":PRICE )", "a;b -- c", "\xB3\\\x5C"};
    std::vector<Case> cases = {{3, true}, {128, true}, {129, false}};
    // 2,000 rows make a message of over 64 KB. A block takes longer to prepare
    // the more rows it has (the server looks its names up one by one; the
    // largest, 4,095 rows, takes seconds): once is enough.
    if (GetParam() == Access::Embedded) cases.push_back({2000, false});
    for (const Case& c : cases) {
        tarvel::StatementBlock block(*m_connection, "STORY_IN", statements, c.rows);
        EXPECT_EQ(block.isInline(), c.isInline) << c.rows;
        EXPECT_EQ(block.parameterNames(), (std::vector<std::string>{"PROD_ID", "PRICE"}));
        const auto name = [&](std::size_t row) { return row < 4 ? odd[row] : "R" + std::to_string(row); };
        for (std::size_t row = 0; row < c.rows; ++row) {
            block.setValue(row, 0, name(row));
            block.setValue(row, 1, 1.25 * static_cast<double>(row));
        }
        block.run(c.rows);
        for (std::size_t row : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{3}, c.rows - 1})
            EXPECT_EQ(rowsOf(name(row)), row < c.rows ? 1 : 0) << c.rows << " rows, row " << row;
        EXPECT_EQ(count("SELECT COUNT(*) FROM STORY_IN"), static_cast<std::int64_t>(c.rows) + 1);

        // The last row refused (a null for a NOT NULL column): nothing of the call stays.
        block.setValue(0, 0, std::string("P1"));
        block.setValue(c.rows - 1, 0, tarvel::NullValue{});
        EXPECT_THROW(block.run(c.rows), Error);
        EXPECT_EQ(block.failedRow(), std::optional<std::size_t>(c.rows - 1)) << c.rows;
        EXPECT_EQ(rowsOf("P1"), 1) << "row 0's DELETE was undone with the call";
        // A shorter run leaves the rows past it alone.
        block.run(1);
        EXPECT_EQ(count("SELECT COUNT(*) FROM STORY_IN"), static_cast<std::int64_t>(c.rows) + 1);
        run("DELETE FROM STORY_IN WHERE PROD_ID <> 'P1'");
    }
}

// A block with a frame: variables and a value for each row around the rows,
// {ROW} made each row's own, a compound statement (no semicolon after its
// END), and the values handed back with the execution itself, in the open
// transaction the rows write in: nothing is seen elsewhere before its commit.
// Inline, the block's variables and its input span the rows; rows through the
// sub-procedure (129 of two statements) have variables of each call's own.
TEST_P(ConnectionFirebirdTest, AFramedBlockAnswersFromTheOpenTransaction) {
    const std::string insert = "INSERT INTO STORY_IN (PROD_ID, PRICE) VALUES (:PROD_ID, 1)";
    const std::string rowOutput = "R{ROW} VARCHAR(3) CHARACTER SET OCTETS";
    const std::string declarations = "DECLARE N_ INTEGER = 0;";
    const struct {
        std::size_t rows;
        tarvel::BlockFrame frame;
        std::string counting;
        std::string second;  // row 1's value
    } cases[] = {
        {3,
         {.input = "STEP_ INTEGER", .declarations = declarations, .rowOutput = rowOutput},
         "BEGIN N_ = N_ + STEP_; R{ROW} = x'00' || :PROD_ID || N_; END",
         std::string("\0B2", 3)},
        {129,
         {.input = {}, .declarations = declarations, .rowOutput = rowOutput},
         "BEGIN N_ = N_ + 1; R{ROW} = x'00' || :PROD_ID || N_; END",
         std::string("\0B1", 3)},
    };
    for (const auto& c : cases) {
        run("DELETE FROM STORY_IN");
        tarvel::StatementBlock block(*m_connection, "STORY_IN", {insert, c.counting}, c.rows, c.frame);
        EXPECT_EQ(block.isInline(), c.rows == 3);
        if (!c.frame.input.empty()) block.setBlockInput("1");
        block.setValue(0, 0, std::string("A"));
        block.setValue(1, 0, std::string("B"));
        m_connection->beginTransaction();
        block.run(2);
        std::vector<std::optional<std::string>> expected(c.rows);
        expected[0] = std::string("\0A1", 3);
        expected[1] = c.second;
        EXPECT_EQ(block.rowOutputs(), expected)
            << c.rows << " rows: bytes, a zero byte among them, to the width";
        EXPECT_EQ(rowsOf("A"), 0) << "written in the open transaction, not yet committed";
        m_connection->commit();
        EXPECT_EQ(rowsOf("B"), 1);
    }
    const tarvel::BlockFrame withInput{.input = "STEP_ INTEGER", .declarations = {}, .rowOutput = {}};
    EXPECT_THROW(tarvel::StatementBlock(*m_connection, "STORY_IN", {insert, insert}, 129, withInput), Error)
        << "an input for the whole block needs the rows inline";
}

// What another attachment meets while this one holds P1's row (deleted in an
// open transaction) or the whole table, told apart by the server's codes.
TEST_P(ConnectionFirebirdTest, LockWaitsAndLossesAreToldByCode) {
    using tarvel::FailureKind;
    struct Case {
        const char* what;
        std::function<void(SqlConnection& holder, SqlConnection& other)> meet;
        FailureKind kind;
    };
    const auto deleteP1 = [](SqlConnection& other) {
        run(other, "DELETE FROM STORY_IN WHERE PROD_ID = 'P1'");
    };
    // Ends `other`'s call with `request` 300 ms into it; the call returns
    // within a second of that.
    const auto endedWaiting = [&](SqlConnection& other, std::int32_t request) {
        other.beginTransaction();
        std::thread canceller([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            other.cancel(request);
        });
        const auto started = std::chrono::steady_clock::now();
        try {
            deleteP1(other);
        } catch (...) {
            canceller.join();
            EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1300));
            throw;
        }
        canceller.join();
    };
    const Case cases[] = {
        {"no wait",
         [&](SqlConnection&, SqlConnection&) {
             writeEntry(tarvel::testing::testPassword(), "False");
             SqlConnection noWait("SQLConnection1", m_folder.location());
             noWait.beginTransaction();
             deleteP1(noWait);
         },
         FailureKind::LockConflict},
        // A row waited for past the timeout is refused as a conflict would
        // be (Firebird 3 gives the same codes); the wait itself is bounded.
        {"lock timeout",
         [&](SqlConnection&, SqlConnection& other) {
             other.boundWaits(1);
             other.beginTransaction();
             const auto started = std::chrono::steady_clock::now();
             try {
                 deleteP1(other);
             } catch (...) {
                 EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
                 throw;
             }
         },
         FailureKind::LockConflict},
        {"cancelled wait",
         [&](SqlConnection&, SqlConnection& other) { endedWaiting(other, sqldriver::cancelopt::Raise); },
         FailureKind::Cancelled},
        // What a stop does when a cancel changed nothing: the attachment is
        // ended from the client's side, and the next use opens it afresh.
        {"wait ended from the client's side",
         [&](SqlConnection&, SqlConnection& other) {
             try {
                 endedWaiting(other, sqldriver::cancelopt::Abort);
             } catch (const tarvel::DatabaseError&) {
                 EXPECT_FALSE(other.isOpen());
                 EXPECT_NO_THROW(run(other, "UPDATE STORY_IN SET PRICE = PRICE WHERE PROD_ID = 'P9'"));
                 throw;
             }
         },
         FailureKind::ConnectionLost},
        {"table claimed while written",
         [&](SqlConnection&, SqlConnection& other) { other.reserveTable("STORY_IN"); },
         FailureKind::LockConflict},
        {"table claimed twice",
         [&](SqlConnection& holder, SqlConnection& other) {
             holder.rollback();
             holder.reserveTable("STORY_IN");
             holder.beginTransaction();  // the claim's own transactions write it
             run(holder, "DELETE FROM STORY_IN WHERE PROD_ID = 'P1'");
             holder.commit();
             holder.beginTransaction();
             run(holder, "INSERT INTO STORY_IN VALUES ('P1', 1)");
             holder.rollback();
             EXPECT_EQ(rowsOf("P1"), 0) << "the commit kept, the rollback undone";
             run(other, "INSERT INTO STORY_IN VALUES ('P4', 1)");  // others still write it
             holder.beginTransaction();                            // for the rollback after the case
             other.reserveTable("STORY_IN");
         },
         FailureKind::LockConflict},
        {"table claimed by another in the same moment",
         [&](SqlConnection& holder, SqlConnection& other) {
             // Another claim that passed its reservation steps at the same
             // moment is seen by the mark it leaves on its attachment.
             const std::string mark =
                 "EXECUTE BLOCK AS DECLARE M INTEGER; BEGIN "
                 "M = RDB$SET_CONTEXT('USER_SESSION', 'TARVEL_RUN_CLAIM', 'STORY_IN'); END";
             holder.rollback();
             holder.reserveTable("STORY_IN");
             holder.releaseTable();  // takes its mark off
             other.reserveTable("STORY_IN");
             other.releaseTable();
             run(holder, mark);
             holder.beginTransaction();
             other.reserveTable("STORY_IN");
         },
         FailureKind::LockConflict},
        {"attachment shut down",
         [&](SqlConnection& holder, SqlConnection& other) {
             run(other, "UPDATE STORY_IN SET PRICE = PRICE WHERE PROD_ID = 'P9'");
             run(holder, "DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION");
             run(other, "UPDATE STORY_IN SET PRICE = PRICE WHERE PROD_ID = 'P9'");
         },
         FailureKind::ConnectionLost},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeEntry(tarvel::testing::testPassword());
        SqlConnection holder("SQLConnection1", m_folder.location());
        SqlConnection other("SQLConnection1", m_folder.location());
        holder.beginTransaction();
        run(holder, "DELETE FROM STORY_IN WHERE PROD_ID = 'P1'");
        try {
            c.meet(holder, other);
            ADD_FAILURE() << "no failure";
        } catch (const tarvel::DatabaseError& error) {
            EXPECT_EQ(error.kind(), c.kind) << error.what();
            EXPECT_EQ(std::strlen(error.codes().sqlState), 5u) << "SQLSTATE travels with the codes";
        }
        holder.rollback();
    }
}

INSTANTIATE_TEST_SUITE_P(Access, ConnectionFirebirdTest, ::testing::Values(Access::Embedded, Access::Server),
                         [](const ::testing::TestParamInfo<Access>& info) {
                             return info.param == Access::Embedded ? "Embedded" : "Server";
                         });

}  // namespace
