// SQLConnection1 over the real Firebird driver library (bin/libfbsqldrv.so)
// with settings files written by the test: embedded and over the loopback
// server, the opening, its failures, closing, and the transaction calls.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "DatabaseError.h"
#include "Error.h"
#include "ParameterOverrides.h"
#include "RunClaim.h"
#include "SettingsFolder.h"
#include "SqlConnection.h"
#include "StatementBatch.h"
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

// Batches of lines of a DELETE and an INSERT: written inline up to the
// server's table contexts, through the sub-procedure beyond, and large
// enough for a message over 64 KB. Values arrive as they were given,
// ":PROD_ID" look-alikes included (the batch's text never goes through the
// marker scan), and a refused line stops the call with the lines before it
// kept.
TEST_P(ConnectionFirebirdTest, BatchesOfLinesStopAtTheRefusedLine) {
    const std::vector<std::string> statements = {
        "DELETE FROM STORY_IN WHERE PROD_ID = :PROD_ID",
        "INSERT INTO STORY_IN (PROD_ID, PRICE) VALUES (:PROD_ID, :PRICE)"};
    const std::string odd[] = {":PROD_ID", ":PRICE )", "a;b -- c", "\xB3\\\x5C"};
    std::vector<std::size_t> cases = {3, 128, 129};
    // 2,000 lines make a message of over 64 KB. A batch takes longer to
    // prepare the more lines it has (the server looks its names up one by
    // one; the largest, 4,095 lines, takes seconds): once is enough.
    if (GetParam() == Access::Embedded) cases.push_back(2000);
    for (const std::size_t lines : cases) {
        tarvel::StatementBatch batch(*m_connection, "STORY_IN", statements, lines);
        EXPECT_EQ(batch.valueNames(), (std::vector<std::string>{"PROD_ID", "PRICE"}));
        const auto name = [&](std::size_t line) { return line < 4 ? odd[line] : "R" + std::to_string(line); };
        for (std::size_t line = 0; line < lines; ++line) {
            batch.setValue(line, 0, name(line));
            batch.setValue(line, 1, 1.25 * static_cast<double>(line));
        }
        EXPECT_EQ(batch.run(lines), lines);
        for (std::size_t line : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{3}, lines - 1})
            EXPECT_EQ(rowsOf(name(line)), line < lines ? 1 : 0) << lines << " lines, line " << line;
        EXPECT_EQ(count("SELECT COUNT(*) FROM STORY_IN"), static_cast<std::int64_t>(lines) + 1);

        // The last line refused (a null for a NOT NULL column): the lines
        // before it stay, line 0 replacing P1's row.
        batch.setValue(0, 0, std::string("P1"));
        batch.setValue(lines - 1, 0, tarvel::NullValue{});
        EXPECT_EQ(batch.run(lines), lines - 1) << lines;
        EXPECT_EQ(rowsOf("P1"), 1) << "line 0's DELETE and INSERT both stayed";
        // A shorter run leaves the lines past it alone.
        EXPECT_EQ(batch.run(1), 1u);
        EXPECT_EQ(count("SELECT COUNT(*) FROM STORY_IN"), static_cast<std::int64_t>(lines) + 1);
        run("DELETE FROM STORY_IN WHERE PROD_ID <> 'P1'");
    }
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
        {"table claimed twice",
         [&](SqlConnection& holder, SqlConnection& other) {
             holder.rollback();
             holder.claimTable("STORY_IN");
             holder.beginTransaction();
             run(holder, "DELETE FROM STORY_IN WHERE PROD_ID = 'P1'");
             holder.commit();
             holder.beginTransaction();
             run(holder, "INSERT INTO STORY_IN VALUES ('P1', 1)");
             holder.rollback();
             EXPECT_EQ(rowsOf("P1"), 0) << "the commit kept, the rollback undone";
             run(other, "INSERT INTO STORY_IN VALUES ('P4', 1)");  // others still write it
             holder.beginTransaction();                            // for the rollback after the case
             other.claimTable("STORY_IN");
         },
         FailureKind::LockConflict},
        {"table claimed by another in the same moment",
         [&](SqlConnection& holder, SqlConnection& other) {
             // A claim made at the same moment is seen by the mark it left on
             // its attachment before it looked for others.
             const std::string mark =
                 "EXECUTE BLOCK AS DECLARE M INTEGER; BEGIN "
                 "M = RDB$SET_CONTEXT('USER_SESSION', 'TARVEL_RUN_CLAIM', 'STORY_IN'); END";
             holder.rollback();
             holder.claimTable("STORY_IN");
             holder.releaseClaim();  // takes its mark off
             other.claimTable("STORY_IN");
             other.releaseClaim();
             run(holder, mark);
             holder.beginTransaction();
             other.claimTable("STORY_IN");
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

// A run's claim is refused by another attachment's claim on the same table
// only, which it names: writers that keep their transactions open after
// writing the table (one of them commit-retaining) never refuse it. The
// claim's own transactions are ordinary ones, and the claim ends with its
// release or with its attachment.
TEST_P(ConnectionFirebirdTest, OnlyAnotherClaimRefusesAClaim) {
    using tarvel::DatabaseError;
    const auto marks = [&] {
        return count(
            "SELECT COUNT(*) FROM MON$CONTEXT_VARIABLES WHERE MON$VARIABLE_NAME = 'TARVEL_RUN_CLAIM'");
    };
    const auto writing = [&](const char* whose) {
        return count(std::string("SELECT COUNT(*) FROM MON$TRANSACTIONS WHERE MON$READ_ONLY = 0 AND ") +
                     whose);
    };
    const auto refusal = [](SqlConnection& connection, const std::string& table) -> std::string {
        try {
            connection.claimTable(table);
        } catch (const DatabaseError& error) {
            EXPECT_EQ(error.kind(), tarvel::FailureKind::LockConflict) << error.what();
            return connection.claimHolder();
        }
        return "not refused";
    };

    SqlConnection writer("SQLConnection1", m_folder.location());
    writer.beginTransaction();
    run(writer, "DELETE FROM STORY_IN WHERE PROD_ID = 'P1'");
    tarvel::ParameterOverrides retaining;
    retaining.replace("CommitRetain", "True");
    SqlConnection retainer("SQLConnection1", m_folder.location());
    retainer.setOverrides(retaining);
    run(retainer, "INSERT INTO STORY_IN VALUES ('P2', 2)");
    ASSERT_EQ(writing("MON$ATTACHMENT_ID <> CURRENT_CONNECTION"), 2)
        << "both writers keep a transaction open";

    m_connection->claimTable("STORY_IN");
    EXPECT_EQ(marks(), 1);
    m_connection->beginTransaction();
    run("INSERT INTO STORY_IN VALUES ('P3', 3)");
    m_connection->commit();
    EXPECT_EQ(writing("MON$ATTACHMENT_ID = CURRENT_CONNECTION"), 0) << "the commit ended the transaction";
    EXPECT_FALSE(m_connection->inTransaction());

    SqlConnection second("SQLConnection1", m_folder.location());
    EXPECT_EQ(refusal(second, "STORY_IN"),
              GetParam() == Access::Server ? tarvel::testing::thisProcessAsServerShows() : "")
        << "an embedded attachment shows no process";
    EXPECT_EQ(marks(), 1) << "the refused claim took its mark off";
    EXPECT_EQ(refusal(second, "STORY_SAL"), "not refused") << "another table is claimed apart";
    EXPECT_EQ(refusal(*m_connection, "STORY_IN"), "not refused") << "taken again on its own attachment";

    m_connection->releaseClaim();
    EXPECT_EQ(marks(), 1) << "the second connection's claim on STORY_SAL";
    EXPECT_EQ(refusal(second, "STORY_IN"), "not refused") << "a released claim refuses nothing";
    second.close();
    EXPECT_EQ(marks(), 0) << "the claim ended with its attachment";
    EXPECT_EQ(refusal(*m_connection, "STORY_IN"), "not refused");
    m_connection->releaseClaim();
    EXPECT_EQ(marks(), 0) << "an idle connection holds nothing";
    writer.rollback();
}

// Claims made at the same moment from several attachments, as runs started
// together make them: never more than one passes.
TEST_P(ConnectionFirebirdTest, ClaimsMadeAtOnceLetOneRunAtMost) {
    constexpr int kRuns = 4;
    int passedInAll = 0;
    for (int round = 0; round < 4; ++round) {
        std::vector<std::unique_ptr<SqlConnection>> runs;
        for (int n = 0; n < kRuns; ++n) {
            runs.push_back(std::make_unique<SqlConnection>("SQLConnection1", m_folder.location()));
            runs.back()->open();
        }
        std::atomic<int> ready{0};
        std::atomic<int> passed{0};
        std::vector<std::string> refusals(kRuns);
        std::vector<std::thread> threads;
        for (int n = 0; n < kRuns; ++n) {
            threads.emplace_back([&, n] {
                ++ready;
                while (ready < kRuns) std::this_thread::yield();
                try {
                    tarvel::claimForRun(*runs[n], "STORY_IN");
                    ++passed;
                } catch (const Error& refused) {
                    refusals[n] = refused.what();
                }
            });
        }
        for (std::thread& thread : threads) thread.join();
        EXPECT_LE(passed, 1) << "round " << round;
        for (const std::string& refusal : refusals) {
            if (refusal.empty()) continue;
            EXPECT_EQ(refusal.rfind("STORY_IN is being rebuilt by another run", 0), 0u) << refusal;
        }
        passedInAll += passed;
    }
    EXPECT_GT(passedInAll, 0) << "the tries after a pause part claims made at once";
}

// Two claims of one user who is neither an administrator nor the database's
// owner: the monitoring tables show that user their own attachments, so the
// second is still refused (embedded, where any user name is taken).
TEST_P(ConnectionFirebirdTest, ClaimsOfOneOrdinaryUserMeet) {
    if (GetParam() == Access::Server) GTEST_SKIP() << "the user exists embedded only";
    tarvel::ParameterOverrides clerk;
    clerk.replace("User_Name", "CLERK");
    SqlConnection first("SQLConnection1", m_folder.location());
    SqlConnection second("SQLConnection1", m_folder.location());
    first.setOverrides(clerk);
    second.setOverrides(clerk);
    first.claimTable("STORY_IN");
    try {
        second.claimTable("STORY_IN");
        ADD_FAILURE() << "not refused";
    } catch (const tarvel::DatabaseError& error) {
        EXPECT_EQ(error.kind(), tarvel::FailureKind::LockConflict) << error.what();
    }
    first.releaseClaim();
    second.claimTable("STORY_IN");
}

INSTANTIATE_TEST_SUITE_P(Access, ConnectionFirebirdTest, ::testing::Values(Access::Embedded, Access::Server),
                         [](const ::testing::TestParamInfo<Access>& info) {
                             return info.param == Access::Embedded ? "Embedded" : "Server";
                         });

}  // namespace
