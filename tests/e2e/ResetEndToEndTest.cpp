// The reset command against real Firebird databases: SQLConnection1,
// SQLQuery1 and SQLQuery2 over the Firebird driver library, embedded and over
// the loopback server, in both modes. The history table the run leaves is
// compared, every column of every row, with what one set-based query over the
// document lines and the history as it was computes.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "Error.h"
#include "FileText.h"
#include "HistoryReset.h"
#include "ParameterOverrides.h"
#include "RegionalFormats.h"
#include "ResetDoubles.h"
#include "RunClaim.h"
#include "SqlBlockOperations.h"
#include "SqlConnection.h"
#include "SqlQuery.h"
#include "SqlQueryOperations.h"
#include "TestDatabase.h"

namespace tarvel::testing {
namespace {

using Rows = std::vector<std::vector<std::string>>;

enum class Access { Embedded, Server, PrivateServer };

// The port of the server a test starts and kills itself (never the shared one).
constexpr int kPrivatePort = 3071;

struct Mode {
    int index;
    const char* source;
    const char* target;
    const char* party;
    const char* price;
};

const Mode kPurchase{0, "INSTORAGE_SUB", "STORY_IN", "PROVIDER_ID", "STD_COST"};
const Mode kSales{1, "SAL_SUB", "STORY_SAL", "CUST_ID", "U_PRICE"};

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// The schema and data of one mode, written for the purchase tables; the sales
// script is the same with its names.
std::string forMode(const Mode& mode, const std::string& purchaseText) {
    std::string text = replaced(purchaseText, "INSTORAGE_SUB", mode.source);
    text = replaced(text, "STORY_IN", mode.target);
    text = replaced(text, "PROVIDER_ID", mode.party);
    return replaced(text, "STD_COST", mode.price);
}

const char* const kSchema = R"(
CREATE TABLE INSTORAGE_SUB (
    LINE_NO INTEGER NOT NULL PRIMARY KEY,
    PROVIDER_ID VARCHAR(10) NOT NULL,
    PROD_ID VARCHAR(20) NOT NULL,
    B_PRICE NUMERIC(12,4),
    BILL_DATE DATE NOT NULL,
    TEMPPRODID VARCHAR(20),
    PROD_BARCODE VARCHAR(40),
    SALE_PRICE NUMERIC(12,4),
    U_DIS NUMERIC(5,2));
CREATE TABLE STORY_IN (
    PROVIDER_ID VARCHAR(10),
    PROD_ID VARCHAR(20),
    STD_COST NUMERIC(12,4),
    CHG_DATE DATE,
    TEMPPRODID VARCHAR(20),
    PROD_BARCODE VARCHAR(13),
    SALE_PRICE NUMERIC(12,4),
    U_DIS NUMERIC(5,2));
CREATE TABLE STORY_IN_BEFORE (
    PROVIDER_ID VARCHAR(10),
    PROD_ID VARCHAR(20),
    STD_COST NUMERIC(12,4),
    CHG_DATE DATE,
    TEMPPRODID VARCHAR(20),
    PROD_BARCODE VARCHAR(13),
    SALE_PRICE NUMERIC(12,4),
    U_DIS NUMERIC(5,2));
COMMIT;
)";

// Document lines: one pair with three lines out of date order, a pair whose
// lines carry two products, prices null, zero and negative, nulls in the
// optional columns, Big5 bytes (one with the backquote as trail byte), and
// history rows for pairs without a qualifying line.
const char* const kData =
    "INSERT INTO INSTORAGE_SUB VALUES (1, 'P1', 'A', 10, '2024-01-01', 'T1', 'B1', 20, 5);\n"
    "INSERT INTO INSTORAGE_SUB VALUES (2, 'P1', 'A', 30, '2024-01-03', 'T1', 'B3', 40, 0);\n"
    "INSERT INTO INSTORAGE_SUB VALUES (3, 'P1', 'A', 20, '2024-01-02', 'T1', 'B2', NULL, NULL);\n"
    "INSERT INTO INSTORAGE_SUB VALUES (4, 'P1', 'B', 5.5, '2023-12-31', 'T7', 'B7', 1, 1.25);\n"
    "INSERT INTO INSTORAGE_SUB VALUES (5, 'P1', 'C', 6.75, '2023-01-01', 'T7', 'B8', 2, 2.5);\n"
    "INSERT INTO INSTORAGE_SUB VALUES (6, 'P2', 'C', NULL, '2024-02-01', 'T2', 'N', 1, 1);\n"
    "INSERT INTO INSTORAGE_SUB VALUES (7, 'P2', 'C', 0, '2024-02-02', 'T2', 'Z', 1, 1);\n"
    "INSERT INTO INSTORAGE_SUB VALUES (8, 'P2', 'C', -1, '2024-02-03', 'T2', 'M', 1, 1);\n"
    "INSERT INTO INSTORAGE_SUB VALUES (9, 'P3', 'D', 7.25, '2024-03-01', NULL, NULL, NULL, NULL);\n"
    "INSERT INTO INSTORAGE_SUB VALUES (10, '\xA4\x40\xB3\x5C', 'E', 1.5, '2024-04-01', 'T\xA4\x60', "
    "'\xAA\xF7\xA6\x60', 3, 4);\n"
    "INSERT INTO INSTORAGE_SUB VALUES (11, 'P4', 'F', 12.3456, '2024-05-05', 'T5', '4710000000001', 99.99, "
    "12.34);\n"
    "INSERT INTO INSTORAGE_SUB VALUES (12, 'P4', 'F', 0.0001, '2024-05-06', 'T6', '', 0.0001, 0.01);\n"
    "INSERT INTO STORY_IN VALUES ('P1', 'A', 1, '2000-01-01', 'T1', 'OLD', 1, 1);\n"
    "INSERT INTO STORY_IN VALUES ('P2', 'C', 2, '2000-01-02', 'T2', 'KEEP', 2, 2);\n"
    "INSERT INTO STORY_IN VALUES ('P9', 'X', 9, '2000-01-09', 'T9', 'KEEP9', 9, 9);\n"
    "INSERT INTO STORY_IN VALUES ('P3', 'D', 3, '2000-01-03', NULL, 'NULLKEY', 3, 3);\n"
    "INSERT INTO STORY_IN VALUES ('P3', 'D', 4, '2000-01-04', '', 'EMPTYKEY', 4, 4);\n"
    "COMMIT;\n"
    "INSERT INTO STORY_IN_BEFORE SELECT * FROM STORY_IN;\n";

// The history a complete run must leave: for every pair with a line of
// positive price, its last such line in scan order (party, PROD_ID,
// BILL_DATE), nulls as the run hands them over; every other history row as it
// was. reached: an SQL condition on a document line "x" that holds for the
// lines the run got to (empty: all of them).
std::string expectedHistoryQueryWhere(const std::string& reached) {
    const std::string reachedT = replaced(reached, "x.", "t.");
    const std::string reachedS = replaced(reached, "x.", "s.");
    return "SELECT s.PROVIDER_ID, s.PROD_ID, s.B_PRICE, s.BILL_DATE, COALESCE(s.TEMPPRODID, ''), "
           "COALESCE(s.PROD_BARCODE, ''), COALESCE(s.SALE_PRICE, 0), COALESCE(s.U_DIS, 0) "
           "FROM INSTORAGE_SUB s WHERE s.B_PRICE > 0" +
           reachedS + " AND NOT EXISTS (SELECT 1 FROM INSTORAGE_SUB t WHERE t.B_PRICE > 0" + reachedT +
           " AND t.PROVIDER_ID = s.PROVIDER_ID AND COALESCE(t.TEMPPRODID, '') = COALESCE(s.TEMPPRODID, '')"
           " AND (t.PROD_ID > s.PROD_ID OR (t.PROD_ID = s.PROD_ID AND t.BILL_DATE > s.BILL_DATE))) "
           "UNION ALL "
           "SELECT h.PROVIDER_ID, h.PROD_ID, h.STD_COST, h.CHG_DATE, h.TEMPPRODID, h.PROD_BARCODE, "
           "h.SALE_PRICE, "
           "h.U_DIS FROM STORY_IN_BEFORE h WHERE NOT EXISTS (SELECT 1 FROM INSTORAGE_SUB t WHERE t.B_PRICE > "
           "0" +
           reachedT + " AND t.PROVIDER_ID = h.PROVIDER_ID AND COALESCE(t.TEMPPRODID, '') = h.TEMPPRODID)";
}

// `excluded` names a party whose lines the run never reached.
std::string expectedHistoryQuery(const std::string& excluded) {
    return expectedHistoryQueryWhere(excluded.empty() ? "" : " AND x.PROVIDER_ID <> '" + excluded + "'");
}

const char* const kActualHistoryQuery =
    "SELECT PROVIDER_ID, PROD_ID, STD_COST, CHG_DATE, TEMPPRODID, PROD_BARCODE, SALE_PRICE, U_DIS FROM "
    "STORY_IN";

// A database made for one test, the settings files that lead to it, and the
// window's connection and queries over it.
class ResetDatabase {
public:
    // linesPerCall: the setting LinesPerCall (0: not given).
    ResetDatabase(Access access, const Mode& mode, const std::string& script, std::size_t linesPerCall = 0)
        : m_mode(mode) {
        const std::string path = m_dir.file("pos.fdb");
        createDatabase(path, script);
        const std::string database = access == Access::Server ? serverDatabase(path)
                                     : access == Access::PrivateServer
                                         ? "127.0.0.1/" + std::to_string(kPrivatePort) + ":" + path
                                         : path;
        writeFile(m_dir.file("sqlconnections.ini"),
                  "[Kestal]\r\nDriverName=Firebird\r\nDatabase=" + database +
                      "\r\nUser_Name=SYSDBA\r\nPassword=" + testPassword() +
                      "\r\nSQLDialect=3\r\nBlobSize=-1\r\nCommitRetain=False\r\nWaitOnLocks=True\r\n"
                      "Firebird TransIsolation=ReadCommited\r\nTrim Char=False\r\n" +
                      (linesPerCall ? "LinesPerCall=" + std::to_string(linesPerCall) + "\r\n" : ""));
        writeFile(m_dir.file("sqldrivers.ini"), "[Firebird]\r\nLibraryName=" + binFolder() +
                                                    "/libfbsqldrv.so\r\nVendorLib=libfbclient.so.2\r\n"
                                                    "GetDriverFunc=GetFirebirdDriver\r\n");
        m_location.executableDir = m_dir.path();
        m_location.storeFile = m_dir.file("no-store.ini");
        connection = std::make_unique<SqlConnection>("SQLConnection1", m_location);
        query1 = std::make_unique<SqlQuery>("SQLQuery1", *connection);
        query2 = std::make_unique<SqlQuery>("SQLQuery2", *connection);
        scan = std::make_unique<SqlQueryOperations>(*query1);
        work = std::make_unique<SqlQueryOperations>(*query2);
        blocks = std::make_unique<SqlBlockOperations>(*connection);
        transactions = std::make_unique<ConnectionTransactions>(*connection);
        shell.index = mode.index;
    }

    ~ResetDatabase() {
        query2.reset();
        query1.reset();
        connection.reset();
    }

    // The settings file names a database that does not exist and the real one
    // reaches the connection as an override, as the command line's --database
    // does: every opening, reconnects included, must take the override.
    void nameTheDatabaseByOverride() {
        const std::string file = m_dir.file("sqlconnections.ini");
        std::string settings = readFile(file);
        const std::size_t at = settings.find("Database=") + 9;
        const std::size_t end = settings.find("\r\n", at);
        ParameterOverrides overrides;
        overrides.replace("Database", settings.substr(at, end - at));
        writeFile(file, settings.replace(at, end - at, m_dir.file("absent.fdb")));
        connection->setOverrides(overrides);
    }

    // Another connection to the same database, as another program or run
    // would open it.
    std::unique_ptr<SqlConnection> otherConnection(ParameterOverrides overrides = {}) const {
        auto other = std::make_unique<SqlConnection>("SQLConnection1", m_location);
        other->setOverrides(std::move(overrides));
        return other;
    }

    void run() { runHistoryReset(shell, *scan, *work, *blocks, *transactions); }
    void run(const CommitLimits& limits) {
        runHistoryReset(shell, *scan, *work, *blocks, *transactions, limits,
                        [] { return std::chrono::steady_clock::now(); });
    }

    // Every row of a query in the mode's names, each column as its field
    // text, in sorted order.
    Rows rowsOf(const std::string& purchaseSql) {
        SqlQuery reader("Reader", *connection);
        reader.addLine(forMode(m_mode, purchaseSql));
        reader.open();
        Rows rows;
        for (; !reader.eof(); reader.next()) {
            std::vector<std::string> row;
            for (const Field& field : reader.fields()) row.push_back(reader.fieldText(field));
            rows.push_back(std::move(row));
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    ShellDouble shell;
    std::unique_ptr<SqlConnection> connection;
    std::unique_ptr<SqlQuery> query1;
    std::unique_ptr<SqlQuery> query2;

private:
    TempDir m_dir;
    SettingsLocation m_location;
    Mode m_mode;
    std::unique_ptr<SqlQueryOperations> scan;
    std::unique_ptr<SqlQueryOperations> work;
    std::unique_ptr<SqlBlockOperations> blocks;
    std::unique_ptr<ConnectionTransactions> transactions;
};

// The text of the error a run ends with, "" when it completes.
std::string failureOfRun(ResetDatabase& db) {
    try {
        db.run();
    } catch (const Error& e) {
        return e.what();
    }
    return {};
}

// Dates are written year first unless a test asks for another pattern.
class FixedFormats {
public:
    explicit FixedFormats(const char* shortDateFormat = "yyyy/m/d") : m_saved(currentFormats()) {
        RegionalFormats formats;
        formats.shortDateFormat = shortDateFormat;
        formats.longTimeFormat = "hh:mm:ss";
        setCurrentFormats(formats);
    }
    ~FixedFormats() { setCurrentFormats(m_saved); }

private:
    RegionalFormats m_saved;
};

struct RunCase {
    Access access;
    const Mode* mode;
};

std::string caseName(const ::testing::TestParamInfo<RunCase>& info) {
    return std::string(info.param.access == Access::Server ? "Server" : "Embedded") +
           (info.param.mode->index == 0 ? "Purchase" : "Sales");
}

class ResetEndToEnd : public ::testing::TestWithParam<RunCase> {
protected:
    void SetUp() override {
        if (GetParam().access == Access::Server) TARVEL_SKIP_WITHOUT_SERVER();
    }
    const Mode& mode() const { return *GetParam().mode; }
    std::string script(const std::string& extra = std::string()) const {
        return forMode(mode(), std::string(kSchema) + kData + extra);
    }

    FixedFormats m_formats;
};

TEST_P(ResetEndToEnd, RebuildsTheHistoryTwiceAlike) {
    ResetDatabase db(GetParam().access, mode(), script());
    const Rows expected = db.rowsOf(expectedHistoryQuery(""));
    // A sample of the expectation, so a wrong expectation cannot pass unseen.
    const std::string big5Party = "\xA4\x40\xB3\x5C";
    const std::vector<std::string> lastOfThree{"P1", "A", "30", "2024/1/3", "T1", "B3", "40", "0"};
    const std::vector<std::string> lastProduct{"P1", "C", "6.75", "2023/1/1", "T7", "B8", "2", "2.5"};
    const std::vector<std::string> nulls{"P3", "D", "7.25", "2024/3/1", "", "", "0", "0"};
    const std::vector<std::string> big5{big5Party,          "E", "1.5", "2024/4/1", "T\xA4\x60",
                                        "\xAA\xF7\xA6\x60", "3", "4"};
    const std::vector<std::string> kept{"P9", "X", "9", "2000/1/9", "T9", "KEEP9", "9", "9"};
    const std::vector<std::string> unqualified{"P2", "C", "2", "2000/1/2", "T2", "KEEP", "2", "2"};
    const std::vector<std::string> nullKey{"P3", "D", "3", "2000/1/3", "", "NULLKEY", "3", "3"};
    for (const auto& row : {lastOfThree, lastProduct, nulls, big5, kept, unqualified, nullKey}) {
        EXPECT_NE(std::find(expected.begin(), expected.end(), row), expected.end())
            << ::testing::PrintToString(row);
    }
    ASSERT_EQ(expected.size(), 9u);

    for (int run = 1; run <= 2; ++run) {
        db.run();
        EXPECT_EQ(db.rowsOf(kActualHistoryQuery), expected) << "run " << run;
        EXPECT_EQ(db.shell.questions, std::vector<std::string>(run, kResetQuestion));
        EXPECT_EQ(db.shell.informations, std::vector<std::string>(run, kResetDone));
        EXPECT_EQ(db.shell.maximum, 12) << "COUNT(*) is a 64-bit integer, read as the number it is";
        EXPECT_EQ(db.shell.position, 12);
    }
    EXPECT_TRUE(db.connection->isOpen());
    EXPECT_TRUE(db.query1->active()) << "the scan stays open at its end";
    EXPECT_TRUE(db.query1->eof());
}

TEST_P(ResetEndToEnd, ARefusedInsertKeepsThePairsOldRowAndEndsTheRun) {
    // This party sorts after every other (bytes compare unsigned); its
    // barcode is too long for the history's column.
    const std::string last = "\xF9\xFE";
    const std::string extra = "INSERT INTO STORY_IN VALUES ('" + last +
                              "', 'Q', 5, '2001-01-01', 'TZ', 'OLDZ', 5, 5);\n"
                              "INSERT INTO STORY_IN_BEFORE VALUES ('" +
                              last +
                              "', 'Q', 5, '2001-01-01', 'TZ', 'OLDZ', 5, 5);\n"
                              "INSERT INTO INSTORAGE_SUB VALUES (13, '" +
                              last + "', 'Q', 8, '2024-06-01', 'TZ', '12345678901234567890', 0, 0);\n";
    ResetDatabase db(GetParam().access, mode(), script(extra));
    const Rows expected = db.rowsOf(expectedHistoryQuery(last));
    ASSERT_EQ(expected.size(), 10u);
    const std::vector<std::string> oldRow{last, "Q", "5", "2001/1/1", "TZ", "OLDZ", "5", "5"};
    EXPECT_NE(std::find(expected.begin(), expected.end(), oldRow), expected.end());

    std::string failure = failureOfRun(db);
    EXPECT_NE(failure.find("SQL Server Error: "), std::string::npos) << failure;
    EXPECT_NE(failure.find("string right truncation"), std::string::npos) << failure;
    EXPECT_TRUE(db.shell.informations.empty());
    EXPECT_EQ(db.shell.position, 13);
    EXPECT_EQ(db.rowsOf(kActualHistoryQuery), expected);

    // The connection serves the next run as it is.
    db.query2->clearLines();
    EXPECT_TRUE(db.connection->isOpen());
}

// Another program that wrote the history table and keeps its transaction
// open, as a commit-retaining client does all day, does not refuse a run;
// another run's claim does, at the run's start, naming that run.
TEST_P(ResetEndToEnd, OnlyAnotherRunRefusesTheRun) {
    ResetDatabase db(GetParam().access, mode(), script());
    ParameterOverrides retaining;
    retaining.replace("CommitRetain", "True");
    const auto client = db.otherConnection(retaining);
    SqlQuery write("ClientWrite", *client);
    write.addLine(
        forMode(mode(), "INSERT INTO STORY_IN VALUES ('P8', 'Y', 8, '2000-01-08', 'T8', 'OPEN8', 8, 8)"));
    write.executeStatement();
    ASSERT_EQ(db.rowsOf("SELECT COUNT(*) FROM MON$TRANSACTIONS WHERE MON$READ_ONLY = 0"), Rows{{"1"}})
        << "the client keeps its transaction open";
    Rows expected = db.rowsOf(expectedHistoryQuery(""));
    expected.push_back({"P8", "Y", "8", "2000/1/8", "T8", "OPEN8", "8", "8"});
    std::sort(expected.begin(), expected.end());

    EXPECT_EQ(failureOfRun(db), "");
    EXPECT_EQ(db.shell.informations, std::vector<std::string>{kResetDone});
    EXPECT_EQ(db.rowsOf(kActualHistoryQuery), expected);

    // The client takes a qualifying pair's row away; a run refused at its
    // start must leave it so.
    write.clearLines();
    write.addLine(forMode(mode(), "DELETE FROM STORY_IN WHERE PROVIDER_ID = 'P1' AND PROD_ID = 'A'"));
    write.executeStatement();
    const Rows withoutP1 = db.rowsOf(kActualHistoryQuery);
    ASSERT_EQ(withoutP1.size(), expected.size() - 1);
    const auto otherRun = db.otherConnection();
    claimForRun(*otherRun, mode().target);
    EXPECT_EQ(failureOfRun(db),
              claimedText(mode().target,
                          GetParam().access == Access::Server ? thisProcessAsServerShows() : std::string()));
    EXPECT_EQ(db.shell.informations.size(), 1u);
    EXPECT_EQ(db.rowsOf(kActualHistoryQuery), withoutP1);

    releaseRunClaim(*otherRun);
    db.run();
    EXPECT_EQ(db.rowsOf(kActualHistoryQuery), expected);
}

// Day-first dates with slashes, which the server on its own would read
// month-first: every date must still land on its own day.
TEST(ResetEndToEndDayFirst, DatesLandOnTheirDay) {
    FixedFormats formats("dd/mm/yyyy");
    ResetDatabase db(Access::Embedded, kPurchase, forMode(kPurchase, std::string(kSchema) + kData));
    const Rows expected = db.rowsOf(expectedHistoryQuery(""));
    const std::vector<std::string> lastOfThree{"P1", "A", "30", "03/01/2024", "T1", "B3", "40", "0"};
    EXPECT_NE(std::find(expected.begin(), expected.end(), lastOfThree), expected.end());
    db.run();
    EXPECT_EQ(db.rowsOf(kActualHistoryQuery), expected);
    EXPECT_EQ(db.shell.informations, std::vector<std::string>{kResetDone});
}

// The bytes as a binary string literal, so the script itself needs no quoting.
std::string hexLiteral(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out = "x'";
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out + "'";
}

// Texts that would break a statement if they were ever put into its text
// instead of going through parameters: quotes, a statement separator, a
// comment, backslashes, parameter markers, and Big5 characters whose second
// byte is the backslash (許 B3 5C, 功 A5 5C).
TEST_P(ResetEndToEnd, ValuesArriveByteForByte) {
    const std::string party = "P'Q\\";
    const std::string product = "A'B\"C;--D\\E\xB3\x5C";
    const std::string key = "'); DELETE FROM STORY_IN; --\xA5\x5C:PROD_ID ?";
    const std::string oldBarcode = "\xB3\x5C'\xA5\x5C\"\\;--";
    const std::string newBarcode = "--\xA5\x5C\\\\'';\xB3\x5C";
    // The key as it would look had something escaped its backslashes.
    std::string escapedKey;
    for (char c : key) escapedKey += c == '\\' ? std::string("\\\\") : std::string(1, c);

    // The keys need wider columns than the common schema gives.
    const std::string schema = replaced(kSchema, "VARCHAR(20)", "VARCHAR(60)");
    const std::string p = hexLiteral(party);
    const std::string data = "INSERT INTO INSTORAGE_SUB VALUES (1, " + p + ", " + hexLiteral(product) +
                             ", 5, '2024-01-01', " + hexLiteral(key) + ", " + hexLiteral(oldBarcode) +
                             ", 1, 1);\n"
                             "INSERT INTO INSTORAGE_SUB VALUES (2, " +
                             p + ", " + hexLiteral(product) + ", 7, '2024-01-02', " + hexLiteral(key) + ", " +
                             hexLiteral(newBarcode) +
                             ", 8, 9);\n"
                             "INSERT INTO STORY_IN VALUES (" +
                             p + ", 'OLD', 1, '2000-01-01', " + hexLiteral(key) +
                             ", 'OLD', 1, 1);\n"
                             "INSERT INTO STORY_IN VALUES (" +
                             p + ", 'NEAR', 2, '2000-01-02', " + hexLiteral(escapedKey) +
                             ", 'NEAR', 2, 2);\n";
    ResetDatabase db(GetParam().access, mode(), forMode(mode(), schema + data));
    const Rows before = db.rowsOf("SELECT PROD_ID, TEMPPRODID, PROD_BARCODE FROM INSTORAGE_SUB");
    ASSERT_EQ(before, (Rows{{product, key, newBarcode}, {product, key, oldBarcode}}))
        << "the lines as written";

    db.run();
    const Rows expected{
        {party, product, "7", "2024/1/2", key, newBarcode, "8", "9"},
        {party, "NEAR", "2", "2000/1/2", escapedKey, "NEAR", "2", "2"},
    };
    EXPECT_EQ(db.rowsOf(kActualHistoryQuery), expected);
    EXPECT_EQ(db.shell.informations, std::vector<std::string>{kResetDone});
}

// 120 pairs of three lines each, every pair with a history row before the run.
std::string manyPairsScript() {
    return std::string(kSchema) +
           "SET TERM ^ ;\n"
           "EXECUTE BLOCK AS DECLARE i INTEGER = 0; BEGIN\n"
           "  WHILE (i < 360) DO BEGIN\n"
           "    INSERT INTO INSTORAGE_SUB VALUES (:i + 1, 'P' || (:i / 30), 'X' || MOD(:i, 3), 1 + MOD(:i, "
           "7),\n"
           "      DATEADD(:i DAY TO DATE '2024-01-01'), 'T' || MOD(:i / 3, 10), 'B' || :i, 2, 1);\n"
           "    IF (MOD(:i, 3) = 0) THEN INSERT INTO STORY_IN VALUES ('P' || (:i / 30), 'OLD', 1,\n"
           "      DATE '2000-01-01', 'T' || MOD(:i / 3, 10), 'OLD', 1, 1);\n"
           "    i = i + 1;\n"
           "  END\n"
           "END^\n"
           "SET TERM ; ^\n"
           "COMMIT;\n"
           "INSERT INTO STORY_IN_BEFORE SELECT * FROM STORY_IN;\n";
}

TEST(ResetEndToEndLostServer, TheNextRunReconnectsAndCompletes) {
    FixedFormats formats;
    PrivateServer server(kPrivatePort);
    const char* const pairsWithoutOneRow =
        "SELECT COUNT(*) FROM (SELECT PROVIDER_ID, TEMPPRODID FROM STORY_IN GROUP BY 1, 2 HAVING COUNT(*) <> "
        "1)";
    const Rows allPairsOneRow{{"0"}};
    struct Case {
        std::size_t linesPerCall;
        int endPosition;  // where the bar stands when the run ends
    };
    // One line per call: the line during which the server went. Blocks of
    // 50: the first line of the block the server never took (101-150).
    for (const Case& c : {Case{1, 150}, Case{50, 101}}) {
        ResetDatabase db(Access::PrivateServer, kPurchase, manyPairsScript(), c.linesPerCall);
        db.nameTheDatabaseByOverride();
        const Rows expected = db.rowsOf(expectedHistoryQuery(""));
        ASSERT_EQ(expected.size(), 120u);

        // The server dies in the middle of the run, as if its machine went down.
        db.shell.onPosition = [&](int position) {
            if (position == 150) server.kill();
        };
        std::string failure = failureOfRun(db);
        EXPECT_NE(failure.find("SQL Server Error: "), std::string::npos) << failure;
        EXPECT_TRUE(db.shell.informations.empty());
        EXPECT_EQ(db.shell.position, c.endPosition) << "lines per call " << c.linesPerCall;
        EXPECT_FALSE(db.connection->isOpen()) << "a lost connection counts as closed";

        // While the server is away, each use tries the whole opening again and
        // fails with the opening's own text.
        db.shell.onPosition = nullptr;
        failure = failureOfRun(db);
        EXPECT_EQ(failure.rfind("Driver Error: [0x0015]: Connection failed", 0), 0u) << failure;

        server.start();
        // Every pair kept exactly one row: no DELETE stayed without its INSERT.
        EXPECT_EQ(db.rowsOf(pairsWithoutOneRow), allPairsOneRow);
        EXPECT_EQ(db.rowsOf("SELECT COUNT(*) FROM STORY_IN"), Rows{{"120"}});

        // The same objects, without a restart, run to the end.
        db.run();
        EXPECT_EQ(db.shell.informations, std::vector<std::string>{kResetDone});
        EXPECT_EQ(db.rowsOf(kActualHistoryQuery), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, ResetEndToEnd,
                         ::testing::Values(RunCase{Access::Embedded, &kPurchase},
                                           RunCase{Access::Embedded, &kSales},
                                           RunCase{Access::Server, &kPurchase},
                                           RunCase{Access::Server, &kSales}),
                         caseName);

// Columns of other kinds written into text columns carry their field texts.
class FieldTextsEndToEnd : public ::testing::TestWithParam<Access> {
protected:
    void SetUp() override {
        if (GetParam() == Access::Server) TARVEL_SKIP_WITHOUT_SERVER();
    }
    FixedFormats m_formats;
};

TEST_P(FieldTextsEndToEnd, OtherKindsLandAsTheirTexts) {
    const char* const script = R"(
CREATE TABLE INSTORAGE_SUB (
    PROVIDER_ID INTEGER NOT NULL,
    PROD_ID CHAR(4) NOT NULL,
    B_PRICE DOUBLE PRECISION,
    BILL_DATE TIMESTAMP NOT NULL,
    TEMPPRODID NUMERIC(9,2),
    PROD_BARCODE DOUBLE PRECISION,
    SALE_PRICE VARCHAR(10),
    U_DIS VARCHAR(10));
CREATE TABLE STORY_IN (
    PROVIDER_ID VARCHAR(20),
    PROD_ID VARCHAR(20),
    STD_COST DOUBLE PRECISION,
    CHG_DATE VARCHAR(30),
    TEMPPRODID VARCHAR(20),
    PROD_BARCODE VARCHAR(30),
    SALE_PRICE DOUBLE PRECISION,
    U_DIS DOUBLE PRECISION);
COMMIT;
INSERT INTO INSTORAGE_SUB VALUES (-7, 'A', 0.5, '2004-03-05 00:00:00', 2.50, 0.00001, '1.5', 'abc');
INSERT INTO INSTORAGE_SUB VALUES (8, 'B', 3, '2004-03-05 14:05:09', -0.10, 1e15, ' 2 ', '');
)";
    ResetDatabase db(GetParam(), kPurchase, script);
    db.run();
    const Rows expected{
        {"-7", "A   ", "0.5", "2004/3/5", "2.5", "1E-5", "1.5", "0"},
        {"8", "B   ", "3", "2004/3/5 14:05:09", "-0.1", "1E15", "2", "0"},
    };
    EXPECT_EQ(db.rowsOf(kActualHistoryQuery), expected);
    EXPECT_EQ(db.shell.informations, std::vector<std::string>{kResetDone});
}

INSTANTIATE_TEST_SUITE_P(Access, FieldTextsEndToEnd, ::testing::Values(Access::Embedded, Access::Server),
                         [](const ::testing::TestParamInfo<Access>& info) {
                             return std::string(info.param == Access::Server ? "Server" : "Embedded");
                         });

// Grouped commits against real Firebird. Ten document lines in scan order
// (LINE_NO follows the order of PROVIDER_ID), one pair written twice, line 5
// without a price; every pair has an old history row. Groups of four
// qualifying lines: lines 1-4, 6-9 and 10-11.
const char* const kGroupData =
    "INSERT INTO INSTORAGE_SUB VALUES (1, 'G01', 'A', 1, '2024-01-01', 'T1', 'N1', 1, 1);\n"
    "INSERT INTO INSTORAGE_SUB VALUES (2, 'G01', 'A', 2, '2024-01-02', 'T1', 'N2', 2, 2);\n"
    "INSERT INTO INSTORAGE_SUB VALUES (3, 'G03', 'A', 3, '2024-01-03', 'T3', 'N3', 3, 3);\n"
    "INSERT INTO INSTORAGE_SUB VALUES (4, 'G04', 'A', 4, '2024-01-04', 'T4', 'N4', 4, 4);\n"
    "INSERT INTO INSTORAGE_SUB VALUES (5, 'G05', 'A', 0, '2024-01-05', 'T5', 'N5', 5, 5);\n"
    "INSERT INTO INSTORAGE_SUB VALUES (6, 'G06', 'A', 6, '2024-01-06', 'T6', 'N6', 6, 6);\n"
    "INSERT INTO INSTORAGE_SUB VALUES (7, 'G07', 'A', 7, '2024-01-07', 'T7', 'N7', 7, 7);\n"
    "INSERT INTO INSTORAGE_SUB VALUES (8, 'G08', 'A', 8, '2024-01-08', 'T8', 'N8', 8, 8);\n"
    "INSERT INTO INSTORAGE_SUB VALUES (9, 'G09', 'A', 9, '2024-01-09', 'T9', 'N9', 9, 9);\n"
    "INSERT INTO INSTORAGE_SUB VALUES (10, 'G10', 'A', 10, '2024-01-10', 'T10', 'N10', 10, 10);\n"
    "INSERT INTO INSTORAGE_SUB VALUES (11, 'G11', 'A', 11, '2024-01-11', 'T11', 'N11', 11, 11);\n"
    "INSERT INTO STORY_IN SELECT DISTINCT PROVIDER_ID, 'OLD', 99, '2000-01-01', TEMPPRODID, 'OLD', 99, 99"
    " FROM INSTORAGE_SUB;\n"
    "COMMIT;\n"
    "INSERT INTO STORY_IN_BEFORE SELECT * FROM STORY_IN;\n";

const CommitLimits kGroupsOfFour{4, std::chrono::seconds(60)};

// The history one transaction per line leaves when the run stops at the
// document line `failing` (its pair and every later line untouched).
std::string perLineExpectation(int failing) {
    const std::string reached = " AND x.LINE_NO < " + std::to_string(failing);
    return expectedHistoryQueryWhere(reached);
}

class GroupedCommitEndToEnd : public ::testing::TestWithParam<Access> {
protected:
    void SetUp() override {
        if (GetParam() == Access::Server) TARVEL_SKIP_WITHOUT_SERVER();
    }
    FixedFormats m_formats;
};

// Lines per call compared with one line per call (the first, the reference):
// blocks of three, so that groups of four end inside blocks, and blocks of
// 200, which the server runs through the sub-procedure.
const std::size_t kLinesPerCallCases[] = {1, 3, 200};

// Runs with groups of four; the failure's text, "" when the run completes.
std::string failureInGroupsOfFour(ResetDatabase& db) {
    try {
        db.run(kGroupsOfFour);
    } catch (const Error& e) {
        return e.what();
    }
    return std::string();
}

// A refused line as the first, a middle and the last line of a group and of
// a block, and as the run's first and last: a barcode too long for the
// history's column refuses the INSERT, a trigger refuses the DELETE. Every
// size of block ends with the table and the text of one line per call.
TEST_P(GroupedCommitEndToEnd, ARefusedLineAnywhereInAGroupOrABlock) {
    struct Case {
        int line;
        const char* where;
        bool refuseDelete;
    };
    const Case cases[] = {{6, "first of the second group, middle of a block", false},
                          {8, "middle of a group, first of a block", false},
                          {9, "last of the second group", false},
                          {1, "first of the run", false},
                          {11, "last of the run, alone in its block", false},
                          {7, "a DELETE refused by a trigger", true}};
    for (const Case& c : cases) {
        const std::string refuse =
            c.refuseDelete
                ? "CREATE EXCEPTION KEEP_ROW 'history row kept';\n"
                  "SET TERM ^ ;\n"
                  "CREATE TRIGGER KEEP_T7 FOR STORY_IN BEFORE DELETE AS BEGIN\n"
                  "  IF (OLD.TEMPPRODID = 'T7') THEN EXCEPTION KEEP_ROW;\n"
                  "END^\n"
                  "SET TERM ; ^\n"
                  "COMMIT;\n"
                : "UPDATE INSTORAGE_SUB SET PROD_BARCODE = '12345678901234567890' WHERE LINE_NO = " +
                      std::to_string(c.line) + ";\n";
        std::string reference;
        for (std::size_t perCall : kLinesPerCallCases) {
            ResetDatabase db(GetParam(), kPurchase, std::string(kSchema) + kGroupData + refuse, perCall);
            const Rows expected = db.rowsOf(perLineExpectation(c.line));
            ASSERT_EQ(expected.size(), 10u);
            const std::string failure = failureInGroupsOfFour(db);
            if (perCall == 1) reference = failure;
            EXPECT_NE(failure.find(c.refuseDelete ? "history row kept" : "string right truncation"),
                      std::string::npos)
                << c.where << ": " << failure;
            EXPECT_EQ(failure, reference) << c.where << ", lines per call " << perCall;
            EXPECT_EQ(db.rowsOf(kActualHistoryQuery), expected) << c.where << ", lines per call " << perCall;
            EXPECT_EQ(db.shell.position, c.line) << c.where << ", lines per call " << perCall;
            EXPECT_FALSE(db.connection->inTransaction()) << c.where;
            EXPECT_TRUE(db.shell.informations.empty());
        }
    }
}

// A history trigger that adds a row for an earlier line's pair in a
// transaction of its own, while a later line is refused: every block size ends
// as one transaction per line ends, the added row there once (one line per
// call undoes the refused line back to its savepoint, so no line before it
// is written twice and fires the trigger again).
TEST_P(GroupedCommitEndToEnd, AnAutonomousRowForAnEarlierPairSurvivesALaterRefusal) {
    const std::string trigger =
        "SET TERM ^ ;\n"
        "CREATE TRIGGER ADD_FOR_T6 FOR STORY_IN AFTER INSERT AS BEGIN\n"
        "  IF (NEW.TEMPPRODID = 'T7') THEN IN AUTONOMOUS TRANSACTION DO\n"
        "    INSERT INTO STORY_IN (PROVIDER_ID, TEMPPRODID, PROD_BARCODE) VALUES ('G06', 'T6', 'AUTO');\n"
        "END^\n"
        "SET TERM ; ^\n"
        "COMMIT;\n"
        "UPDATE INSTORAGE_SUB SET PROD_BARCODE = '12345678901234567890' WHERE LINE_NO = 9;\n";
    for (std::size_t perCall : kLinesPerCallCases) {
        ResetDatabase db(GetParam(), kPurchase, std::string(kSchema) + kGroupData + trigger, perCall);
        const Rows expected = db.rowsOf(perLineExpectation(9));
        const std::string failure = failureInGroupsOfFour(db);
        EXPECT_NE(failure.find("string right truncation"), std::string::npos) << failure;
        EXPECT_EQ(db.rowsOf(std::string(kActualHistoryQuery) + " WHERE PROD_BARCODE IS DISTINCT FROM 'AUTO'"),
                  expected)
            << "lines per call " << perCall;
        EXPECT_EQ(db.rowsOf("SELECT COUNT(*) FROM STORY_IN WHERE PROD_BARCODE = 'AUTO'"), Rows{{"1"}})
            << "lines per call " << perCall;
    }
}

// A history trigger that logs every insert in a transaction of its own, and
// a refused line in the middle of a block: refused by a trigger while the
// lines run, and refused before they run (a barcode too long for its
// column). The log, the table, the text and the bar are those of one line
// per call: no line before the refused one is written, or logged, twice.
TEST_P(GroupedCommitEndToEnd, ALoggingTriggerSeesEachLineOnceAroundARefusedLine) {
    const std::string logging =
        "CREATE TABLE INSERT_LOG (TEMPPRODID VARCHAR(20));\n"
        "CREATE EXCEPTION NOT_T8 'T8 refused';\n"
        "SET TERM ^ ;\n"
        "CREATE TRIGGER LOG_INSERTS FOR STORY_IN AFTER INSERT AS BEGIN\n"
        "  IN AUTONOMOUS TRANSACTION DO INSERT INTO INSERT_LOG VALUES (NEW.TEMPPRODID);\n"
        "END^\n"
        "SET TERM ; ^\n"
        "COMMIT;\n";
    const struct {
        const char* how;
        std::string refuse;
    } cases[] = {
        {"a trigger refuses line 8",
         "SET TERM ^ ;\n"
         "CREATE TRIGGER REFUSE_T8 FOR STORY_IN BEFORE INSERT AS BEGIN\n"
         "  IF (NEW.TEMPPRODID = 'T8') THEN EXCEPTION NOT_T8;\n"
         "END^\n"
         "SET TERM ; ^\n"
         "COMMIT;\n"},
        {"line 8's barcode is too long",
         "UPDATE INSTORAGE_SUB SET PROD_BARCODE = '12345678901234567890' WHERE LINE_NO = 8;\n"},
    };
    const char* const logQuery = "SELECT TEMPPRODID, COUNT(*) FROM INSERT_LOG GROUP BY TEMPPRODID ORDER BY 1";
    for (const auto& c : cases) {
        std::string text;
        Rows table, log;
        for (std::size_t perCall : {1, 128, 200}) {
            ResetDatabase db(GetParam(), kPurchase, std::string(kSchema) + kGroupData + logging + c.refuse,
                             perCall);
            const std::string failure = failureInGroupsOfFour(db);
            const std::string where = std::string(c.how) + ", lines per call " + std::to_string(perCall);
            EXPECT_EQ(db.shell.position, 8) << where;
            if (perCall == 1) {
                text = failure;
                table = db.rowsOf(kActualHistoryQuery);
                log = db.rowsOf(logQuery);
                EXPECT_EQ(table, db.rowsOf(perLineExpectation(8))) << where;
                EXPECT_EQ(log.size(), 5u) << "T1 (twice), T3, T4, T6 and T7: " << where;
                continue;
            }
            EXPECT_EQ(failure, text) << where;
            EXPECT_EQ(db.rowsOf(kActualHistoryQuery), table) << where;
            EXPECT_EQ(db.rowsOf(logQuery), log) << where;
        }
    }
}

// A line without a date: its history row gets a null CHG_DATE (the empty
// field text bound to a date), alike in blocks and one line per call.
TEST_P(GroupedCommitEndToEnd, ANullDateLandsAsNullInEveryBlockSize) {
    const std::string nullDate =
        "ALTER TABLE INSTORAGE_SUB ALTER BILL_DATE DROP NOT NULL;\n"
        "COMMIT;\n"
        "UPDATE INSTORAGE_SUB SET BILL_DATE = NULL WHERE LINE_NO = 3;\n";
    Rows reference;
    for (std::size_t perCall : kLinesPerCallCases) {
        ResetDatabase db(GetParam(), kPurchase, std::string(kSchema) + kGroupData + nullDate, perCall);
        EXPECT_EQ(failureInGroupsOfFour(db), "") << "lines per call " << perCall;
        const Rows rows = db.rowsOf(kActualHistoryQuery);
        if (perCall == 1) reference = rows;
        EXPECT_EQ(rows, reference) << "lines per call " << perCall;
        EXPECT_EQ(db.rowsOf("SELECT COUNT(*) FROM STORY_IN WHERE TEMPPRODID = 'T3' AND CHG_DATE IS NULL"),
                  Rows{{"1"}})
            << "lines per call " << perCall;
    }
}

// A commit the server refuses: a commit trigger rejects a history row made
// from line 8, which sits in the middle of the second group.
TEST_P(GroupedCommitEndToEnd, ARefusedCommit) {
    const std::string trigger =
        "CREATE EXCEPTION HISTORY_REFUSED 'history row refused at commit';\n"
        "SET TERM ^ ;\n"
        "CREATE TRIGGER REFUSE_AT_COMMIT ON TRANSACTION COMMIT AS BEGIN\n"
        "  IF (EXISTS (SELECT 1 FROM STORY_IN WHERE PROD_BARCODE = 'N8')) THEN EXCEPTION HISTORY_REFUSED;\n"
        "END^\n"
        "SET TERM ; ^\n"
        "COMMIT;\n";
    for (std::size_t perCall : kLinesPerCallCases) {
        ResetDatabase db(GetParam(), kPurchase, std::string(kSchema) + kGroupData + trigger, perCall);
        const std::string failure = failureInGroupsOfFour(db);
        EXPECT_NE(failure.find("history row refused at commit"), std::string::npos) << failure;
        // The group that held line 8 goes with its commit, and nothing is
        // written again: the lines the text names are the ones not in the
        // table, and the lines before them are.
        std::smatch lost;
        ASSERT_TRUE(
            std::regex_search(failure, lost,
                              std::regex("\r\nLines ([0-9]+) to ([0-9]+) were not committed: their pairs "
                                         "keep the rows they had before the run; running the rebuild "
                                         "again completes the table.$")))
            << failure;
        const int first = std::stoi(lost[1]);
        EXPECT_LE(first, 8) << failure;
        EXPECT_GE(std::stoi(lost[2]), 8) << failure;
        EXPECT_EQ(db.rowsOf(kActualHistoryQuery), db.rowsOf(perLineExpectation(first)))
            << "lines per call " << perCall;
        EXPECT_FALSE(db.connection->inTransaction());
    }
}

// A refused commit of a group of every line, where the refusal also commits
// a row for an earlier line's pair in a transaction of its own, after that
// line had deleted the pair's old row: nothing is written again, so that row
// stays beside the pair's old rows, and every pair keeps the rows it had
// (two for T6 when it held two). Blocks of three, of the default size, and of
// 200 through the sub-procedure, over 11 lines and over 300.
TEST_P(GroupedCommitEndToEnd, ARowCommittedBeforeARefusedCommitIsKept) {
    const std::string twoRowsForT6 = "INSERT INTO STORY_IN SELECT * FROM STORY_IN WHERE TEMPPRODID = 'T6';\n";
    const std::string moreLines =
        "SET TERM ^ ;\n"
        "EXECUTE BLOCK AS DECLARE I INTEGER = 12; BEGIN WHILE (I <= 300) DO BEGIN\n"
        "  INSERT INTO INSTORAGE_SUB VALUES (:I, 'H' || LPAD(:I, 3, '0'), 'A', 1, '2024-02-01', 'U' || :I,"
        " 'M' || :I, 1, 1);\n"
        "  INSERT INTO STORY_IN VALUES ('H' || LPAD(:I, 3, '0'), 'OLD', 99, '2000-01-01', 'U' || :I, 'OLD', "
        "99,"
        " 99);\n"
        "  I = I + 1; END END^\n"
        "SET TERM ; ^\n"
        "INSERT INTO STORY_IN_BEFORE SELECT * FROM STORY_IN WHERE PROVIDER_ID STARTING WITH 'H';\n"
        "COMMIT;\n";
    const struct {
        std::size_t perCall;
        std::string history;
        std::string autoPair;  // the row committed at the refusal
        int lastLine;
    } cases[] = {{3, "", "'G06', 'T6'", 11},
                 {0, twoRowsForT6, "'G06', 'T6'", 11},
                 {200, moreLines, "'H151', 'U151'", 300}};
    for (const auto& c : cases) {
        const std::string trigger =
            "CREATE EXCEPTION HISTORY_REFUSED 'history row refused at commit';\n"
            "SET TERM ^ ;\n"
            "CREATE TRIGGER REFUSE_AT_COMMIT ON TRANSACTION COMMIT AS BEGIN\n"
            "  IF (EXISTS (SELECT 1 FROM STORY_IN WHERE PROD_BARCODE = 'N8')) THEN BEGIN\n"
            "    IN AUTONOMOUS TRANSACTION DO\n"
            "      INSERT INTO STORY_IN (PROVIDER_ID, TEMPPRODID, PROD_BARCODE) VALUES (" +
            c.autoPair +
            ", 'AUTO');\n"
            "    EXCEPTION HISTORY_REFUSED;\n"
            "  END\n"
            "END^\n"
            "SET TERM ; ^\n"
            "COMMIT;\n";
        ResetDatabase db(GetParam(), kPurchase, std::string(kSchema) + kGroupData + c.history + trigger,
                         c.perCall);
        const Rows before = db.rowsOf(std::string(kActualHistoryQuery));
        try {
            db.run(CommitLimits{1000, std::chrono::seconds(60)});
            ADD_FAILURE() << "the commit was not refused";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("\r\nLines 1 to " + std::to_string(c.lastLine) +
                                                 " were not committed"),
                      std::string::npos)
                << e.what();
        }
        EXPECT_EQ(db.rowsOf(std::string(kActualHistoryQuery) + " WHERE PROD_BARCODE IS DISTINCT FROM 'AUTO'"),
                  before)
            << "lines per call " << c.perCall;
        EXPECT_EQ(db.rowsOf("SELECT COUNT(*) FROM STORY_IN WHERE PROD_BARCODE = 'AUTO'"), Rows{{"1"}})
            << "lines per call " << c.perCall;
    }
}

// Each statement text is prepared once in a run, however many lines it has,
// and the kept statements are let go at the run's end.
TEST_P(GroupedCommitEndToEnd, EachStatementIsPreparedOncePerRun) {
    ResetDatabase db(GetParam(), kPurchase, std::string(kSchema) + kGroupData, 1);
    const Rows expected = db.rowsOf(expectedHistoryQuery(""));
    for (int run = 1; run <= 2; ++run) {
        const auto scanBefore = db.query1->preparations();
        const auto workBefore = db.query2->preparations();
        db.run(kGroupsOfFour);
        EXPECT_EQ(db.rowsOf(kActualHistoryQuery), expected);
        // From the second run on, the statement each query still holds from
        // the run before (the scan, the INSERT) serves again.
        const std::uint64_t prepares = run == 1 ? 2 : 1;
        EXPECT_EQ(db.query1->preparations() - scanBefore, prepares) << "the count and the scan, run " << run;
        EXPECT_EQ(db.query2->preparations() - workBefore, prepares)
            << "the DELETE and the INSERT, run " << run;
        EXPECT_EQ(db.query1->keptStatements() + db.query2->keptStatements(), 0u);
        EXPECT_TRUE(db.query2->prepared()) << "the last INSERT stays prepared, as before";
    }
}

INSTANTIATE_TEST_SUITE_P(Access, GroupedCommitEndToEnd, ::testing::Values(Access::Embedded, Access::Server),
                         [](const ::testing::TestParamInfo<Access>& info) {
                             return std::string(info.param == Access::Server ? "Server" : "Embedded");
                         });

}  // namespace
}  // namespace tarvel::testing
