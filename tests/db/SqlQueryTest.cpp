// SqlQuery against the fake driver: what reaches the driver at prepare, bind
// and execute, byte for byte; rows and field texts; the state table; failures.
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "Error.h"
#include "FakeDriverFixture.h"

namespace tarvel::testing {
namespace {

using fakedriver::Column;
using fakedriver::ResultSet;
using fakedriver::Value;
using Log = std::vector<std::string>;
namespace k = sqldriver::kind;

std::string quoted(const std::string& bytes) { return "\"" + fakedriver::quote(bytes) + "\""; }

void setLines(SqlQuery& query, const std::vector<std::string>& lines) {
    query.close();
    query.clearLines();
    for (const std::string& line : lines) query.addLine(line);
}

Column col(const char* name, std::uint16_t kind, std::uint32_t length = 0, std::int16_t precision = 0,
           std::int16_t scale = 0) {
    Column c;
    c.name = name;
    c.kind = kind;
    c.length = length;
    c.precision = precision;
    c.scale = scale;
    return c;
}

Value bcdValue(std::uint8_t scale, bool negative, std::vector<std::uint8_t> digits) {
    sqldriver::Bcd bcd;
    bcd.precision = static_cast<std::uint8_t>(digits.size());
    bcd.scale = scale;
    bcd.negative = negative ? 1 : 0;
    std::memcpy(bcd.digits, digits.data(), digits.size());
    return Value::bcd(bcd);
}

Value timestampValue(int y, int m, int d, int hh, int mm, int ss) {
    sqldriver::SqlTimestamp ts;
    ts.year = static_cast<std::int16_t>(y);
    ts.month = static_cast<std::uint16_t>(m);
    ts.day = static_cast<std::uint16_t>(d);
    ts.hour = static_cast<std::uint16_t>(hh);
    ts.minute = static_cast<std::uint16_t>(mm);
    ts.second = static_cast<std::uint16_t>(ss);
    return Value::timestamp(ts);
}

using QueryOnFakeDriver = FakeDriverFixture;

TEST_F(QueryOnFakeDriver, DeleteReachesTheDriverByteForByte) {
    openConnection();
    setLines(*query2, {"DELETE FROM STORY_IN ", " WHERE TEMPPRODID = :TEMPPRODID ",
                       " and PROVIDER_ID = :PROVIDER_ID "});
    query2->paramByName("TEMPPRODID").setValue(std::string("T1"));
    query2->paramByName("provider_id").setValue(std::string("P\xA4\x40"));
    fakedriver::setRowsAffected(1);
    EXPECT_EQ(query2->runStatement(), 1);

    const Log expected{
        "connection.getSQLCommand",
        "command.setOption 1 20",
        "command.prepare " +
            quoted("DELETE FROM STORY_IN \r\n WHERE TEMPPRODID =  ?  \r\n and PROVIDER_ID =  ?  \r\n") + " 2",
        "command.setParameter 1 0 1 1 0 2 0 3 " + quoted(std::string("T1\0", 3)) + " null=0",
        "command.setParameter 2 0 1 1 0 3 0 4 " + quoted(std::string("P\xA4\x40\0", 4)) + " null=0",
        "command.execute",
        "command.getRowsAffected",
        "command.close",
    };
    EXPECT_EQ(statementLog(), expected);
    EXPECT_TRUE(query2->prepared());
}

TEST_F(QueryOnFakeDriver, InsertBindsTextsAndDoublesInMarkerOrder) {
    openConnection();
    setLines(
        *query2,
        {"insert into "
         "STORY_IN(PROVIDER_ID,PROD_ID,STD_COST,CHG_DATE,TEMPPRODID,PROD_BARCODE,SALE_PRICE,U_DIS)",
         " VALUES(:PROVIDER_ID,:PROD_ID,:STD_COST,:CHG_DATE,:TEMPPRODID,:PROD_BARCODE,:SALE_PRICE,:U_DIS)"});
    ASSERT_EQ(query2->params().size(), 8u);
    query2->paramByName("PROVIDER_ID").setValue(std::string("P1"));
    query2->paramByName("PROD_ID").setValue(std::string("A"));
    query2->paramByName("STD_COST").setValue(12.5);
    query2->paramByName("CHG_DATE").setValue(std::string("2004/3/5"));
    query2->paramByName("TEMPPRODID").setValue(std::string(""));
    query2->paramByName("PROD_BARCODE").setValue(std::string(""));
    query2->paramByName("SALE_PRICE").setValue(0.0);
    query2->paramByName("U_DIS").setValue(0.1);
    query2->runStatement();

    const Log expected{
        "connection.getSQLCommand",
        "command.setOption 1 20",
        "command.prepare " +
            quoted("insert into "
                   "STORY_IN(PROVIDER_ID,PROD_ID,STD_COST,CHG_DATE,TEMPPRODID,PROD_BARCODE,SALE_PRICE,U_DIS)"
                   "\r\n VALUES( ? , ? , ? , ? , ? , ? , ? , ? )\r\n") +
            " 8",
        "command.setParameter 1 0 1 1 0 2 0 3 " + quoted(std::string("P1\0", 3)) + " null=0",
        "command.setParameter 2 0 1 1 0 1 0 2 " + quoted(std::string("A\0", 2)) + " null=0",
        "command.setParameter 3 0 1 7 0 8 0 8 double=12.5 null=0",
        "command.setParameter 4 0 1 1 0 8 0 9 " + quoted(std::string("2004/3/5\0", 9)) + " null=0",
        // The empty text is a value: one zero byte, never a null.
        "command.setParameter 5 0 1 1 0 0 0 1 " + quoted(std::string("\0", 1)) + " null=0",
        "command.setParameter 6 0 1 1 0 0 0 1 " + quoted(std::string("\0", 1)) + " null=0",
        "command.setParameter 7 0 1 7 0 8 0 8 double=0 null=0",
        "command.setParameter 8 0 1 7 0 8 0 8 double=0.10000000000000001 null=0",
        "command.execute",
        "command.getRowsAffected",
        "command.close",
    };
    EXPECT_EQ(statementLog(), expected);
}

TEST_F(QueryOnFakeDriver, RepeatedNameIsBoundAtEveryPlace) {
    openConnection();
    setLines(*query2, {"UPDATE T SET A = :A WHERE B = :B OR C = :a"});
    ASSERT_EQ(query2->params().size(), 3u);
    query2->paramByName("A").setValue(std::int32_t{7});
    query2->paramByName("B").setValue(std::string("x"));
    query2->runStatement();
    EXPECT_EQ(fakedriver::logOf("command.setParameter"),
              (Log{"command.setParameter 1 0 1 4 0 4 0 4 int=7 null=0",
                   "command.setParameter 2 0 1 1 0 1 0 2 " + quoted(std::string("x\0", 2)) + " null=0",
                   "command.setParameter 3 0 1 4 0 4 0 4 int=7 null=0"}));
    EXPECT_EQ(fakedriver::logOf("command.prepare"),
              (Log{"command.prepare " + quoted("UPDATE T SET A =  ?  WHERE B =  ?  OR C =  ? \r\n") + " 3"}));
}

TEST_F(QueryOnFakeDriver, NullParameterIsPassedWithoutBytes) {
    openConnection();
    setLines(*query2, {"UPDATE T SET A = :A"});
    query2->paramByName("A").setValue(std::string("x"));
    query2->paramByName("A").setValue(NullValue{});
    query2->runStatement();
    EXPECT_EQ(fakedriver::logOf("command.setParameter"),
              (Log{"command.setParameter 1 0 1 1 0 0 0 0 - null=1"}));
}

TEST_F(QueryOnFakeDriver, ParametersAreScannedInTheLocalesCharacterSet) {
    // 0xA4 0x60 is one Big5 character; read byte by byte, its 0x60 closes the literal.
    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    struct {
        const char* locale;
        std::size_t params;
    } const cases[] = {{"zh_TW.BIG5", 1}, {"en_US.UTF-8", 0}, {"C", 0}};
    for (const auto& c : cases) {
        ASSERT_NE(std::setlocale(LC_CTYPE, c.locale), nullptr) << c.locale;
        setLines(*query2, {"UPDATE T SET A = '\xA4\x60' , B = :B"});
        EXPECT_EQ(query2->params().size(), c.params) << c.locale;
    }
    std::setlocale(LC_CTYPE, saved.c_str());
}

TEST_F(QueryOnFakeDriver, RowsetSizeComesFromTheConnection) {
    struct {
        const char* line;  // nullptr: no RowsetSize line
        std::int32_t size;
    } const cases[] = {{nullptr, 20},        {"RowsetSize=50", 50},   {"rowsetsize= 7 ", 7},
                       {"RowsetSize=", 20},  {"RowsetSize=many", 20}, {"RowsetSize=+3", 3},
                       {"RowsetSize=5x", 20}};
    openConnection();
    const std::vector<std::string> loaded = connection->params.lines();
    for (const auto& c : cases) {
        std::vector<std::string> lines = loaded;
        if (c.line) lines.insert(lines.begin(), c.line);
        connection->params.setLines(lines);
        setLines(*query2, {"DELETE FROM T"});
        fakedriver::clearLog();
        query2->runStatement();
        EXPECT_EQ(fakedriver::logOf("command.setOption"),
                  (Log{"command.setOption 1 " + std::to_string(c.size)}))
            << (c.line ? c.line : "(none)");
    }
}

TEST_F(QueryOnFakeDriver, FieldTextsOfEveryKind) {
    std::uint16_t maxWord = 65535;
    ResultSet result;
    result.columns = {
        col("NAME", k::Text, 6, 6),        col("SMALL", k::Int16, 2),       col("WORD", k::UInt16, 2),
        col("INT", k::Int32, 4),           col("COUNT", k::Int64, 8),       col("RATE", k::Double, 8),
        col("PRICE", k::Bcd, 0, 9, -2),    col("BIG", k::Bcd, 0, 18, -2),   col("DAY", k::Date, 4),
        col("STAMP", k::SqlTimestamp, 16), col("NOTHING", k::Text, 10, 10),
    };
    result.rows = {
        {Value::text("AB  "), Value::int16(-5), Value::raw(&maxWord, 2), Value::int32(-70000),
         Value::int64(5000000000LL), Value::dbl(0.00001), bcdValue(2, false, {2, 5, 0}),
         bcdValue(2, true, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 5, 0}), Value::int32(38051),
         timestampValue(2004, 3, 5, 0, 0, 0), Value::null()},
        {Value::text(""), Value::int16(0), Value::raw(&maxWord, 2), Value::int32(0), Value::int64(-1),
         Value::dbl(1e15), bcdValue(2, false, {0, 0, 0}), bcdValue(0, false, {7}), Value::int32(0),
         timestampValue(2004, 3, 5, 14, 5, 9), Value::text("x")},
    };
    fakedriver::queueResult(result);
    setLines(*query1, {"SELECT * FROM T"});
    query1->open();
    ASSERT_FALSE(query1->eof());
    ASSERT_EQ(query1->fields().size(), 11u);

    const std::vector<std::vector<std::string>> expected{
        {"AB  ", "-5", "65535", "-70000", "5000000000", "1E-5", "2.5", "-1000000000000002.5", "2004/3/5",
         "2004/3/5", ""},
        {"", "0", "65535", "0", "-1", "1E15", "0", "7", "1899/12/30", "2004/3/5 14:05:09", "x"},
    };
    for (const auto& row : expected) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            EXPECT_EQ(query1->fieldText(query1->field(static_cast<int>(i))), row[i])
                << query1->field(static_cast<int>(i)).name;
        }
        query1->next();
    }
    EXPECT_TRUE(query1->eof());
    for (const Field& f : query1->fields()) EXPECT_EQ(query1->fieldText(f), "") << f.name;
    query1->next();  // at the end: nothing happens
    EXPECT_TRUE(query1->eof());
}

TEST_F(QueryOnFakeDriver, TextBuffersFixedUpToTheLimitThenSizedToTheField) {
    ResultSet result;
    result.columns = {col("NARROW", k::Text, 8191, 8191), col("EDGE", k::Text, 8192, 8192),
                      col("WIDE", k::Text, 10000, 10000)};
    result.rows = {{Value::text(std::string(8191, 'a')), Value::text(std::string(8192, 'b')),
                    Value::text(std::string(10000, 'c'))},
                   {Value::text("x"), Value::text(""), Value::text("yz")}};
    fakedriver::queueResult(result);
    setLines(*query1, {"SELECT * FROM T"});
    query1->open();
    fakedriver::clearLog();
    for (int i = 0; i < 3; ++i) {
        const Field& f = query1->field(i);
        EXPECT_EQ(query1->fieldText(f).size(), f.length) << f.name << ": no byte lost";
    }
    // Short texts after long ones carry nothing of the values read before.
    query1->next();
    EXPECT_EQ(query1->fieldText(query1->field(2)), "yz");
    EXPECT_EQ(query1->fieldText(query1->field(0)), "x");
    EXPECT_EQ(query1->fieldText(query1->field(1)), "");
    EXPECT_EQ(fakedriver::logOf("cursor.getValue"),
              (Log{"cursor.getValue 1 8193", "cursor.getValue 2 8193", "cursor.getValue 3 10001",
                   "cursor.getValue 3 10001", "cursor.getValue 1 8193", "cursor.getValue 2 8193"}));
}

TEST_F(QueryOnFakeDriver, EmptyResultOpensAtItsEnd) {
    ResultSet result;
    result.columns = {col("A", k::Int32, 4)};
    result.endStatus = sqldriver::status::Eof;
    fakedriver::queueResult(result);
    setLines(*query1, {"SELECT A FROM T"});
    query1->open();
    EXPECT_TRUE(query1->active());
    EXPECT_TRUE(query1->eof());
    EXPECT_EQ(query1->fieldText(query1->fieldByName("a")), "");
    fakedriver::clearLog();
    query1->next();
    EXPECT_TRUE(fakedriver::logOf("cursor.next").empty());
}

TEST_F(QueryOnFakeDriver, ChangeOfLinesClosesUnpreparesAndKeepsSurvivingValues) {
    ResultSet result;
    result.columns = {col("A", k::Int32, 4)};
    result.rows = {{Value::int32(1)}};
    fakedriver::setResultFor("SELECT A FROM T WHERE A =  ? \r\n", result);
    setLines(*query1, {"SELECT A FROM T WHERE A = :A"});
    query1->paramByName("A").setValue(std::int32_t{1});
    query1->open();
    ASSERT_TRUE(query1->active());

    SqlQuery& q = *query1;
    q.addLine(" ");  // a change: closes, unprepares, keeps A's value
    EXPECT_FALSE(q.active());
    EXPECT_TRUE(q.eof());
    EXPECT_FALSE(q.prepared());
    EXPECT_EQ(q.commandText(), "SELECT A FROM T WHERE A = :A\r\n \r\n");
    EXPECT_EQ(std::get<std::int32_t>(q.paramByName("A").value), 1);
    EXPECT_EQ(fakedriver::liveObjects("command"), 0);
    EXPECT_EQ(fakedriver::liveObjects("cursor"), 0);

    q.clearLines();
    EXPECT_TRUE(q.params().empty());
    EXPECT_EQ(q.commandText(), "");
    EXPECT_EQ(failureOf([&] { q.paramByName("A"); }), "SQLQuery1: Parameter 'A' not found");
}

TEST_F(QueryOnFakeDriver, ClearingAnEmptyListDoesNothing) {
    openConnection();
    query1->clearLines();
    EXPECT_TRUE(fakedriver::log().empty());
    EXPECT_TRUE(query1->eof());
    EXPECT_FALSE(query1->prepared());
}

TEST_F(QueryOnFakeDriver, StateTable) {
    ResultSet result;
    result.columns = {col("A", k::Int32, 4)};
    result.rows = {{Value::int32(1)}, {Value::int32(2)}};
    fakedriver::setResultFor("SELECT A FROM T\r\n", result);

    setLines(*query1, {"SELECT A FROM T"});
    query1->open();
    EXPECT_TRUE(query1->active());
    EXPECT_TRUE(query1->prepared());
    EXPECT_EQ(query1->rowsAffected(), -1);
    query1->open();  // open on an open query: nothing
    query1->next();
    query1->next();
    EXPECT_TRUE(query1->eof());
    EXPECT_TRUE(query1->active()) << "past the last row the query stays active";

    // close keeps the statement; the next open only executes.
    query1->close();
    EXPECT_FALSE(query1->active());
    EXPECT_TRUE(query1->prepared());
    EXPECT_TRUE(query1->fields().empty());
    fakedriver::clearLog();
    query1->open();
    EXPECT_TRUE(fakedriver::logOf("command.prepare").empty());
    EXPECT_EQ(fakedriver::logOf("command.execute").size(), 1u);
    EXPECT_EQ(query1->fieldText(query1->field(0)), "1");

    // A statement run without a cursor stays prepared: running it again only executes.
    setLines(*query2, {"DELETE FROM T"});
    query2->runStatement();
    EXPECT_TRUE(query2->prepared());
    fakedriver::clearLog();
    query2->runStatement();
    EXPECT_EQ(statementLog(), (Log{"command.execute", "command.getRowsAffected", "command.close"}));

    // A statement run that returned a cursor is let go.
    fakedriver::queueResult(result);
    query2->runStatement();
    EXPECT_FALSE(query2->prepared());
    EXPECT_EQ(fakedriver::liveObjects("cursor"), 1) << "only SQLQuery1's cursor is left";
    EXPECT_EQ(fakedriver::liveObjects("command"), 1);
}

TEST_F(QueryOnFakeDriver, FailedPreparationLeavesTheQueryUnprepared) {
    openConnection();
    setLines(*query2, {"DELETE FROM NOWHERE"});
    fakedriver::failNext("command.prepare", sqldriver::status::SqlError);
    fakedriver::setErrorMessage("command", "Table unknown NOWHERE");
    EXPECT_EQ(failureOf([&] { query2->runStatement(); }),
              "Driver Error: [0x0065]: SQL Error\r\nSQL Server Error: Table unknown NOWHERE");
    EXPECT_FALSE(query2->prepared());
    EXPECT_EQ(fakedriver::liveObjects("command"), 0);
    EXPECT_EQ(query2->lastErrorText(),
              "Driver Error: [0x0065]: SQL Error\r\nSQL Server Error: Table unknown NOWHERE");
}

TEST_F(QueryOnFakeDriver, FailedOpenAfterPreparationStaysPrepared) {
    openConnection();
    setLines(*query1, {"SELECT A FROM T"});
    fakedriver::failNext("command.execute", sqldriver::status::SqlError);
    fakedriver::setErrorMessage("command", "lock conflict");
    EXPECT_EQ(failureOf([&] { query1->open(); }),
              "Driver Error: [0x0065]: SQL Error\r\nSQL Server Error: lock conflict");
    EXPECT_FALSE(query1->active());
    EXPECT_TRUE(query1->prepared());
}

TEST_F(QueryOnFakeDriver, ClosingTheConnectionReleasesTheStatements) {
    ResultSet result;
    result.columns = {col("A", k::Int32, 4)};
    result.rows = {{Value::int32(1)}};
    fakedriver::queueResult(result);
    setLines(*query1, {"SELECT A FROM T"});
    query1->open();
    setLines(*query2, {"DELETE FROM T"});
    query2->runStatement();
    ASSERT_EQ(fakedriver::liveObjects("command"), 2);
    connection->close();
    EXPECT_EQ(fakedriver::liveObjects("command"), 0);
    EXPECT_EQ(fakedriver::liveObjects("cursor"), 0);
    EXPECT_FALSE(query1->active());
    EXPECT_FALSE(query2->prepared());
}

class QueryFailures : public FakeDriverFixture {};

TEST_F(QueryFailures, EveryTextWithOrWithoutTheName) {
    ResultSet oneRow;
    oneRow.columns = {col("A", k::Int32, 4), col("P", k::Bcd, 0, 4, 1)};
    oneRow.rows = {{Value::int32(1), bcdValue(1, false, {1, 2, 3, 4, 5, 6})}};
    const std::string select = "SELECT A, P FROM T\r\n";
    fakedriver::setResultFor(select, oneRow);
    auto openOneRow = [&](SqlQuery& q) {
        setLines(q, {"SELECT A, P FROM T"});
        q.open();
    };

    const std::vector<std::pair<std::string, std::function<void(SqlQuery&)>>> cases{
        {"SQLQuery1: Field 'MISSING' not found",
         [&](SqlQuery& q) {
             openOneRow(q);
             q.fieldByName("MISSING");
         }},
        {"SQLQuery1: Parameter 'X' not found",
         [](SqlQuery& q) {
             setLines(q, {"DELETE FROM T WHERE A = :A"});
             q.paramByName("X");
         }},
        {"List index out of bounds (0)", [](SqlQuery& q) { q.field(0); }},
        {"List index out of bounds (2)",
         [&](SqlQuery& q) {
             openOneRow(q);
             q.field(2);
         }},
        {"List index out of bounds (-1)",
         [&](SqlQuery& q) {
             openOneRow(q);
             q.field(-1);
         }},
        {"SQLQuery1: Cannot perform this operation on an open dataset",
         [&](SqlQuery& q) {
             openOneRow(q);
             q.runStatement();
         }},
        {"SQLQuery1: Cannot perform this operation on a closed dataset", [](SqlQuery& q) { q.next(); }},
        {"Missing query, table name or procedure name", [](SqlQuery& q) { q.open(); }},
        {"SQLQuery1: Cursor not returned from Query",
         [](SqlQuery& q) {
             setLines(q, {"DELETE FROM T"});
             q.open();
         }},
        {"No value for parameter 'B'",
         [](SqlQuery& q) {
             setLines(q, {"DELETE FROM T WHERE A = :A AND B = :B"});
             q.paramByName("A").setValue(std::string("a"));
             q.runStatement();
         }},
        {"BCD overflow",
         [&](SqlQuery& q) {
             openOneRow(q);
             q.fieldText(q.fieldByName("P"));
         }},
        {"Unable to execute Query", [](SqlQuery& q) { q.runStatement(); }},
        {"Driver Error: [0x0015]: Connection failed",
         [](SqlQuery& q) {
             fakedriver::failNext("connection.getSQLCommand", sqldriver::status::ConnectionFailed);
             fakedriver::setErrorMessage("connection", "not asked: there is no statement");
             setLines(q, {"DELETE FROM T"});
             q.runStatement();
         }},
        {"Driver Error: [0x0065]: SQL Error\r\nSQL Server Error: string right truncation",
         [](SqlQuery& q) {
             fakedriver::failNext("command.execute", sqldriver::status::SqlError);
             fakedriver::setErrorMessage("command", "string right truncation");
             setLines(q, {"DELETE FROM T"});
             q.runStatement();
         }},
        {"Driver Error: [0x0009]: Invalid Parameter\r\nSQL Server Error: bad bind",
         [](SqlQuery& q) {
             fakedriver::failNext("command.setParameter", sqldriver::status::InvalidParameter);
             fakedriver::setErrorMessage("command", "not asked: binding asks the connection");
             fakedriver::setErrorMessage("connection", "bad bind");
             setLines(q, {"DELETE FROM T WHERE A = :A"});
             q.paramByName("A").setValue(1.0);
             q.runStatement();
         }},
        {"SQL Server Error: cursor broke",
         [&](SqlQuery& q) {
             openOneRow(q);
             fakedriver::failNext("cursor.next", 77);
             fakedriver::setErrorMessage("cursor", "cursor broke");
             q.next();
         }},
        {"SQL Server Error: value broke",
         [&](SqlQuery& q) {
             openOneRow(q);
             fakedriver::failNext("cursor.getValue", 77);
             fakedriver::setErrorMessage("cursor", "value broke");
             q.fieldText(q.field(0));
         }},
        {"Driver Error: Unknown Error Code '999'",
         [](SqlQuery& q) {
             fakedriver::failNext("command.prepare", 999);
             setLines(q, {"DELETE FROM T"});
             q.runStatement();
         }},
        {"Driver Error: [0x0065]: SQL Error\r\nSQL Server Error: rows",
         [](SqlQuery& q) {
             fakedriver::failNext("command.getRowsAffected", sqldriver::status::SqlError);
             fakedriver::setErrorMessage("command", "rows");
             setLines(q, {"DELETE FROM T"});
             q.runStatement();
         }},
    };
    for (const auto& [text, action] : cases) {
        fakedriver::reset();
        fakedriver::setResultFor(select, oneRow);
        SqlQuery query("SQLQuery1", *connection);
        EXPECT_EQ(failureOf([&] { action(query); }), text);
    }
}

TEST_F(QueryFailures, NoValueStopsBeforeAnythingIsHandedOver) {
    openConnection();
    setLines(*query2, {"DELETE FROM T WHERE A = :A AND B = :B"});
    query2->paramByName("A").setValue(std::string("a"));
    EXPECT_EQ(failureOf([&] { query2->runStatement(); }), "No value for parameter 'B'");
    EXPECT_TRUE(fakedriver::logOf("command.setParameter").empty());
    EXPECT_TRUE(fakedriver::logOf("command.execute").empty());
    EXPECT_EQ(fakedriver::logOf("command.close").size(), 1u);
}

TEST_F(QueryFailures, AFailedStatementLeavesTheNextOneUntouched) {
    openConnection();
    setLines(*query2, {"DELETE FROM T"});
    fakedriver::failNext("command.execute", sqldriver::status::SqlError);
    fakedriver::setErrorMessage("command", "first");
    EXPECT_NE(failureOf([&] { query2->runStatement(); }), "");
    // An empty statement says nothing about the earlier failure.
    query2->clearLines();
    EXPECT_EQ(failureOf([&] { query2->runStatement(); }), "Unable to execute Query");
}

}  // namespace
}  // namespace tarvel::testing
