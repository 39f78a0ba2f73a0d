// Statements kept prepared across changes of the lines (statement reuse, on
// during a rebuild run) against the fake driver: what reaches the driver, how
// many statements are held, and when they are let go.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "FakeDriverFixture.h"

namespace tarvel::testing {
namespace {

using fakedriver::ResultSet;
using fakedriver::Value;
using Log = std::vector<std::string>;

const std::vector<std::string> kDelete = {"DELETE FROM STORY_IN ", " WHERE TEMPPRODID = :TEMPPRODID ",
                                          " and PROVIDER_ID = :PROVIDER_ID "};
const std::vector<std::string> kInsert = {"insert into STORY_IN(PROVIDER_ID,STD_COST)",
                                          " VALUES(:PROVIDER_ID,:STD_COST)"};

void setLines(SqlQuery& query, const std::vector<std::string>& lines) {
    query.close();
    query.clearLines();
    for (const std::string& line : lines) query.addLine(line);
}

class StatementReuse : public FakeDriverFixture {
protected:
    // The rebuild's pattern: a DELETE and an INSERT for each of `lines` lines.
    void runPairs(int lines) { runPairs(*query2, lines); }
    static void runPairs(SqlQuery& query, int lines) {
        for (int i = 0; i < lines; ++i) {
            setLines(query, kDelete);
            query.paramByName("TEMPPRODID").setValue("T" + std::to_string(i));
            query.paramByName("PROVIDER_ID").setValue(std::string("P"));
            query.runStatement();
            setLines(query, kInsert);
            query.paramByName("PROVIDER_ID").setValue(std::string("P"));
            query.paramByName("STD_COST").setValue(1.5 + i);
            query.runStatement();
        }
    }

    // What `steps` leaves in `seen` and in the driver's setParameter calls,
    // done twice on a query without reuse (query2) and twice on one with
    // reuse (query1, whose second round finds everything kept): [0] without, [1] with.
    std::array<Log, 2> withAndWithoutReuse(
        const std::function<void(SqlQuery&, int round, Log& seen)>& steps) {
        query1->setStatementReuse(true);
        std::array<Log, 2> seen;
        for (int reuse = 0; reuse < 2; ++reuse) {
            SqlQuery& query = reuse ? *query1 : *query2;
            fakedriver::clearLog();
            for (int round = 0; round < 2; ++round) steps(query, round, seen[reuse]);
            for (const std::string& line : fakedriver::logOf("command.setParameter"))
                seen[reuse].push_back(line);
        }
        return seen;
    }

    // The calls that bind, execute and finish statements, without those
    // that make, prepare and release them.
    static Log workLog() {
        Log lines;
        for (const std::string& line : statementLog()) {
            if (line.rfind("command.prepare", 0) != 0 && line.rfind("command.setOption", 0) != 0 &&
                line.rfind("connection.getSQLCommand", 0) != 0 && line.rfind("command.release", 0) != 0)
                lines.push_back(line);
        }
        return lines;
    }

    // The log without the count reads of unprepares: those that follow the
    // close of a statement that was run.
    static Log withoutCountReadsAtChanges(const Log& log) {
        Log lines;
        for (const std::string& line : log) {
            if (line == "command.getRowsAffected" && !lines.empty() && lines.back() == "command.close")
                continue;
            lines.push_back(line);
        }
        return lines;
    }
};

TEST_F(StatementReuse, EachTextIsPreparedOnceAndEverythingElseReachesTheDriverAsBefore) {
    openConnection();
    runPairs(3);
    const Log without = workLog();
    const auto preparesWithout = fakedriver::logOf("command.prepare").size();

    // The same on a query that has prepared nothing yet.
    fakedriver::clearLog();
    query1->setStatementReuse(true);
    runPairs(*query1, 3);
    // A statement set aside keeps its count with it: only the reads that each
    // change of the lines made are gone.
    EXPECT_EQ(workLog(), withoutCountReadsAtChanges(without));
    EXPECT_EQ(preparesWithout, 6u);
    EXPECT_EQ(
        fakedriver::logOf("command.prepare"),
        (Log{
            "command.prepare \"DELETE FROM STORY_IN \\r\\n WHERE TEMPPRODID =  ?  \\r\\n and PROVIDER_ID =  "
            "?  "
            "\\r\\n\" 2",
            "command.prepare \"insert into STORY_IN(PROVIDER_ID,STD_COST)\\r\\n VALUES( ? , ? )\\r\\n\" 2"}));
    EXPECT_EQ(query1->preparations(), 2u);
    EXPECT_EQ(query2->preparations(), 6u);
    EXPECT_EQ(query1->keptStatements(), 1u) << "the DELETE waits while the INSERT is current";
}

TEST_F(StatementReuse, TheCountIsAskedOnlyWhenSomeoneReadsIt) {
    openConnection();
    query2->setStatementReuse(true);
    fakedriver::setRowsAffected(3);
    // The rebuild's walk: a DELETE and an INSERT per line, the count never read.
    for (int i = 0; i < 3; ++i) {
        setLines(*query2, kDelete);
        query2->paramByName("TEMPPRODID").setValue("T" + std::to_string(i));
        query2->paramByName("PROVIDER_ID").setValue(std::string("P"));
        query2->executeStatement();
        setLines(*query2, kInsert);
        query2->paramByName("PROVIDER_ID").setValue(std::string("P"));
        query2->paramByName("STD_COST").setValue(1.5);
        query2->executeStatement();
    }
    EXPECT_TRUE(fakedriver::logOf("command.getRowsAffected").empty());

    // Read after the run: asked once, of the statement that ran.
    EXPECT_EQ(query2->rowsAffected(), 3);
    EXPECT_EQ(query2->rowsAffected(), 3);
    EXPECT_EQ(fakedriver::logOf("command.getRowsAffected").size(), 1u);

    // Read after the lines changed: the statement set aside is asked.
    fakedriver::clearLog();
    query2->executeStatement();
    setLines(*query2, kDelete);
    EXPECT_TRUE(fakedriver::logOf("command.getRowsAffected").empty());
    EXPECT_EQ(query2->rowsAffected(), 3);
    EXPECT_EQ(fakedriver::logOf("command.getRowsAffected").size(), 1u);

    // A pending count is read before its statement is let go, so nothing
    // is lost when reuse ends or the connection closes.
    for (const bool closeConnection : {false, true}) {
        SCOPED_TRACE(closeConnection ? "connection closed" : "reuse off");
        query2->setStatementReuse(true);
        setLines(*query2, kInsert);
        query2->paramByName("PROVIDER_ID").setValue(std::string("P"));
        query2->paramByName("STD_COST").setValue(1.5);
        fakedriver::setRowsAffected(closeConnection ? 8 : 5);
        query2->executeStatement();
        setLines(*query2, {"DELETE FROM OTHER"});
        fakedriver::clearLog();
        if (closeConnection)
            connection->close();
        else
            query2->setStatementReuse(false);
        EXPECT_EQ(fakedriver::logOf("command.getRowsAffected").size(), 1u);
        EXPECT_EQ(fakedriver::liveObjects("command"), 0) << "the kept statements are gone";
        fakedriver::setRowsAffected(99);
        EXPECT_EQ(query2->rowsAffected(), closeConnection ? 8 : 5);
        if (closeConnection) openConnection();
    }

    // A run that comes first makes an unread count moot: it is never asked.
    fakedriver::clearLog();
    query2->setStatementReuse(true);
    setLines(*query2, {"DELETE FROM OTHER"});
    query2->executeStatement();
    setLines(*query2, {"DELETE FROM THIRD"});
    query2->executeStatement();
    setLines(*query2, {"DELETE FROM OTHER"});
    query2->executeStatement();
    EXPECT_TRUE(fakedriver::logOf("command.getRowsAffected").empty());
    EXPECT_EQ(query2->rowsAffected(), 99);
}

TEST_F(StatementReuse, AtMostFourAreKeptAndTurningReuseOffLetsThemGo) {
    openConnection();
    query2->setStatementReuse(true);
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 6; ++i) {
            setLines(*query2, {"DELETE FROM T" + std::to_string(i)});
            query2->runStatement();
            EXPECT_LE(query2->keptStatements(), SqlQuery::kMaxKeptStatements);
            EXPECT_EQ(fakedriver::liveObjects("command"), static_cast<int>(query2->keptStatements()) + 1);
        }
    }
    EXPECT_EQ(query2->keptStatements(), 4u);
    // Six texts in turn through four places: the oldest is always gone when
    // its turn comes again.
    EXPECT_EQ(query2->preparations(), 12u);

    query2->setStatementReuse(false);
    EXPECT_EQ(query2->keptStatements(), 0u);
    EXPECT_EQ(fakedriver::liveObjects("command"), 1) << "the current statement stays, as without reuse";
    EXPECT_TRUE(query2->prepared());
}

TEST_F(StatementReuse, AFailedStatementIsPreparedAfresh) {
    openConnection();
    query2->setStatementReuse(true);
    for (const char* call : {"command.execute", "command.setParameter"}) {
        fakedriver::clearLog();
        setLines(*query2, kDelete);
        query2->paramByName("TEMPPRODID").setValue(std::string("T"));
        query2->paramByName("PROVIDER_ID").setValue(std::string("P"));
        fakedriver::failNext(call, sqldriver::status::SqlError);
        EXPECT_FALSE(failureOf([&] { query2->runStatement(); }).empty()) << call;
        fakedriver::clearLog();
        setLines(*query2, {"DELETE FROM OTHER"});
        query2->runStatement();
        setLines(*query2, kDelete);
        query2->paramByName("TEMPPRODID").setValue(std::string("T"));
        query2->paramByName("PROVIDER_ID").setValue(std::string("P"));
        query2->runStatement();
        Log deletes;
        for (const std::string& line : fakedriver::logOf("command.prepare"))
            if (line.find("TEMPPRODID") != std::string::npos) deletes.push_back(line);
        EXPECT_EQ(deletes.size(), 1u) << "after a failed " << call;
    }
}

TEST_F(StatementReuse, ClosingTheConnectionLetsKeptStatementsGo) {
    openConnection();
    query2->setStatementReuse(true);
    runPairs(1);
    ASSERT_EQ(query2->keptStatements(), 1u);
    ASSERT_EQ(fakedriver::liveObjects("command"), 2);
    connection->close();
    EXPECT_EQ(query2->keptStatements(), 0u);
    EXPECT_EQ(fakedriver::liveObjects("command"), 0);
}

// The scan query's two SELECTs: one kept while the other runs, each opening
// with its own columns and rows.
TEST_F(StatementReuse, KeptSelectsOpenWithTheirOwnResults) {
    fakedriver::Column count;
    count.name = "COUNT";
    count.kind = sqldriver::kind::Int32;
    count.length = 4;
    fakedriver::Column name;
    name.name = "NAME";
    name.length = 8;
    name.precision = 8;
    ResultSet counted{{count}, {{Value::int32(7)}}};
    ResultSet named{{name}, {{Value::text("abc")}}};
    fakedriver::setResultFor("SELECT COUNT(*) FROM T\r\n", counted);
    fakedriver::setResultFor("SELECT NAME FROM T\r\n", named);
    openConnection();
    query1->setStatementReuse(true);
    for (int round = 0; round < 3; ++round) {
        setLines(*query1, {"SELECT COUNT(*) FROM T"});
        query1->open();
        EXPECT_EQ(query1->fieldText(query1->fieldByName("COUNT")), "7");
        setLines(*query1, {"SELECT NAME FROM T"});
        query1->open();
        EXPECT_EQ(query1->fieldText(query1->fieldByName("NAME")), "abc");
    }
    EXPECT_EQ(fakedriver::logOf("command.prepare").size(), 2u);
    EXPECT_EQ(fakedriver::logOf("command.execute").size(), 6u);
}

// Names found through a text's kept shape give what the plain search gives:
// case ignored, repeated names bound at every place, unknown names refused.
TEST_F(StatementReuse, ParametersAreFoundAndBoundAsWithoutReuse) {
    struct Case {
        const char* text;
        std::vector<const char*> names;  // set in this order, each to its own text
    };
    const Case cases[] = {
        {"DELETE FROM T WHERE A = :A AND B = :a", {"a"}},
        {"DELETE FROM T WHERE A = :TEMPPRODID AND B = :provider_id", {"PROVIDER_ID", "tempprodid", "Temp"}},
        {"DELETE FROM T WHERE A = :\"x y\" AND B = :B", {"X Y", "x y", "b"}},
        {"DELETE FROM T WHERE A = :\xA4\x40 AND B = :B", {"\xA4\x40", "B", "\xA4"}},
    };
    openConnection();
    for (const Case& c : cases) {
        const auto seen = withAndWithoutReuse([&](SqlQuery& query, int, Log& log) {
            setLines(query, {c.text});
            setLines(query, {"DELETE FROM OTHER"});
            setLines(query, {c.text});
            for (const char* name : c.names) {
                const std::string failure =
                    failureOf([&] { query.paramByName(name).setValue(std::string("v:") + name); });
                if (!failure.empty()) log.push_back(failure.substr(failure.find(':')));
            }
            log.push_back(failureOf([&] { query.runStatement(); }));
        });
        EXPECT_EQ(seen[1], seen[0]) << c.text;
        EXPECT_GE(seen[0].size(), 4u) << c.text;
    }
}

// A value set before a change of the lines stays with its name, as without reuse.
TEST_F(StatementReuse, SurvivingValuesAreCarriedOverAsWithoutReuse) {
    const std::vector<std::vector<std::string>> statements = {
        {"DELETE FROM T WHERE A = :A", " AND B = :b"},
        {"DELETE FROM T WHERE A = :a AND B = :A", " AND C = :B"},
        {"DELETE FROM T WHERE A = :A", " AND B = :B", " AND C = :C"},
    };
    openConnection();
    for (const auto& lines : statements) {
        const auto seen = withAndWithoutReuse([&](SqlQuery& query, int round, Log& log) {
            query.clearLines();
            for (const std::string& line : lines) {
                query.addLine(line);
                // Every parameter the text has so far gets a value; later
                // lines keep those that survive.
                for (QueryParameter& parameter : query.params()) {
                    if (!parameter.bound) parameter.setValue(parameter.name + std::to_string(round));
                }
            }
            log.push_back(failureOf([&] { query.runStatement(); }));
        });
        EXPECT_EQ(seen[1], seen[0]) << lines.front();
        EXPECT_GE(seen[0].size(), 4u);
    }
}

}  // namespace
}  // namespace tarvel::testing
