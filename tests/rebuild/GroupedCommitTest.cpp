// Grouped commits of the reset command over the in-memory doubles: where the
// groups end, and what a failure anywhere in a group leaves behind, checked
// against what one transaction per line leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "Error.h"
#include "HistoryReset.h"
#include "RegionalFormats.h"
#include "ResetDoubles.h"
#include "RunStopped.h"

namespace tarvel::testing {
namespace {

using namespace std::chrono_literals;

Row line(int i, const std::string& temp) {
    char date[16];
    std::snprintf(date, sizeof date, "2024-01-%02d", i + 1);
    return {{"PROVIDER_ID", "P"},
            {"PROD_ID", "A" + std::to_string(i)},
            {"B_PRICE", std::to_string(i + 1)},
            {"BILL_DATE", std::string(date)},
            {"TEMPPRODID", temp},
            {"PROD_BARCODE", "B"},
            {"SALE_PRICE", "1"},
            {"U_DIS", "0"}};
}

// Eight qualifying lines in scan order; lines 1 and 2 are one pair, every
// other line a pair of its own. Every pair starts with an old history row.
// A line without a positive price sits between lines 4 and 5.
struct Lines {
    std::vector<Row> lines;
    std::vector<std::string> temps;  // the pair of each qualifying line, in order
};

Lines eightLines() {
    Lines data;
    const char* temps[] = {"T0", "T1", "T1", "T3", "T4", "T5", "T6", "T7"};
    for (int i = 0; i < 8; ++i) {
        data.lines.push_back(line(i, temps[i]));
        data.temps.push_back(temps[i]);
    }
    Row unpriced = line(4, "TX");
    unpriced["PROD_ID"] = "A4b";
    unpriced["B_PRICE"] = "0";
    data.lines.insert(data.lines.begin() + 5, unpriced);
    return data;
}

std::vector<Row> oldRows(const Lines& data) {
    std::vector<Row> rows;
    for (const std::string& temp : data.temps) {
        if (std::any_of(rows.begin(), rows.end(), [&](const Row& r) { return r.at("TEMPPRODID") == temp; }))
            continue;
        rows.push_back({{"PROVIDER_ID", "P"}, {"TEMPPRODID", temp}, {"STD_COST", "old"}});
    }
    return rows;
}

// The STD_COST each pair holds after one transaction per line stopped at the
// qualifying line `failing` (-1: no failure): lines before it are written,
// the rest of the pairs keep their old row.
std::map<std::string, std::string> perLineOutcome(const Lines& data, int failing) {
    std::map<std::string, std::string> cost;
    for (const std::string& temp : data.temps) cost[temp] = "old";
    const int end = failing < 0 ? static_cast<int>(data.temps.size()) : failing;
    for (int i = 0; i < end; ++i) cost[data.temps[static_cast<std::size_t>(i)]] = std::to_string(i + 1);
    return cost;
}

std::map<std::string, std::string> costs(const Database& db) {
    std::map<std::string, std::string> cost;
    for (const Row& row : db.history) {
        const std::string temp = row.at("TEMPPRODID").value_or("");
        EXPECT_EQ(cost.count(temp), 0u) << "two rows for pair " << temp;
        cost[temp] = row.at("STD_COST").value_or("");
    }
    return cost;
}

// Every case with every size of block.
template <class Case, std::size_t N>
std::vector<std::pair<Case, std::size_t>> casesTimes(const Case (&cases)[N],
                                                     std::initializer_list<std::size_t> sizes) {
    std::vector<std::pair<Case, std::size_t>> all;
    for (std::size_t size : sizes)
        for (const Case& c : cases) all.emplace_back(c, size);
    return all;
}

class GroupedCommit : public ::testing::Test {
protected:
    void SetUp() override {
        setCurrentFormats(RegionalFormats{});
        data = eightLines();
        db.lines = data.lines;
        db.history = oldRows(data);
        db.failText = "Driver Error: [0x0065]: SQL Error\r\nSQL Server Error: refused";
    }

    // Runs with groups of at most three lines; each statement "takes" no time
    // unless statementTime says otherwise.
    std::string run(std::size_t maxLines = 3, std::chrono::milliseconds maxWork = 250ms) {
        const CommitLimits limits{maxLines, maxWork};
        const auto clock = [this] {
            return std::chrono::steady_clock::time_point() + statementTime * db.runs;
        };
        try {
            runHistoryReset(shell, scan, work, blocks, transactions, limits, clock);
        } catch (const Error& e) {
            return e.what();
        }
        return std::string();
    }

    // The number of statements of every committed group, in order.
    std::vector<int> groupSizes() const {
        std::vector<int> sizes;
        int runs = 0;
        for (const std::string& entry : db.log) {
            if (entry == "begin") runs = 0;
            if (entry == "work.run") ++runs;
            if (entry == "commit") sizes.push_back(runs / 2);
        }
        return sizes;
    }

    Lines data;
    Database db;
    ShellDouble shell;
    QueryDouble scan{db, "scan"};
    QueryDouble work{db, "work"};
    BlockDouble blocks{db};
    TransactionsDouble transactions{db};
    std::chrono::milliseconds statementTime{0};
};

TEST_F(GroupedCommit, GroupsEndAtTheLineLimitOrTheTimeLimit) {
    struct Case {
        std::size_t maxLines;
        std::chrono::milliseconds statementTime;
        std::vector<int> sizes;
    };
    const Case cases[] = {
        {1000, 0ms, {8}},
        {3, 0ms, {3, 3, 2}},
        {1, 0ms, {1, 1, 1, 1, 1, 1, 1, 1}},
        {1000, 60ms, {3, 3, 2}},  // a line takes 120 ms: the third passes 250 ms
        {2, 60ms, {2, 2, 2, 2}},
        {1000, 200ms, {1, 1, 1, 1, 1, 1, 1, 1}},
    };
    for (const Case& c : cases) {
        SetUp();
        db.log.clear();
        db.runs = 0;
        statementTime = c.statementTime;
        EXPECT_EQ(run(c.maxLines), "");
        EXPECT_EQ(groupSizes(), c.sizes)
            << "max lines " << c.maxLines << ", statement " << c.statementTime.count();
        EXPECT_EQ(costs(db), perLineOutcome(data, -1));
        EXPECT_FALSE(db.snapshot) << "no transaction is left open";
        EXPECT_EQ(shell.informations.back(), kResetDone);
    }
}

// A refused statement at every place of a group (groups: lines 0-2, 3-5, 6-7).
TEST_F(GroupedCommit, ARefusedStatementLeavesWhatOneTransactionPerLineLeaves) {
    struct Case {
        int line;
        bool insert;
    };
    const Case cases[] = {{0, true}, {0, false}, {3, false}, {3, true},
                          {4, true}, {5, true},  {2, true},  {7, true}};
    for (const Case& c : cases) {
        SetUp();
        db.log.clear();
        db.runs = 0;
        db.failOnRun = 2 * c.line + (c.insert ? 1 : 0);
        const std::string where = "line " + std::to_string(c.line) + (c.insert ? " INSERT" : " DELETE");
        EXPECT_EQ(run(), db.failText) << where;
        EXPECT_EQ(costs(db), perLineOutcome(data, c.line)) << where;
        EXPECT_FALSE(db.snapshot) << "no transaction is left open";
        EXPECT_TRUE(shell.informations.empty());
        // Undone back to its savepoint, the line leaves the lines before it
        // in place: nothing is written twice (a trigger's own transaction
        // would see it twice).
        EXPECT_EQ(db.runs, db.failOnRun + 1) << where;
    }
}

// Blocks of several lines against one line per call: a pair whose DELETE or
// INSERT is always refused, however it is sent, at every place of a block
// and of a group. The block stops at the refused line, which then runs alone
// for its own text: the lines before it run once.
TEST_F(GroupedCommit, ARefusedLineInABlockLeavesWhatOneTransactionPerLineLeaves) {
    struct Case {
        const char* pair;
        bool insert;
        int line;  // the first qualifying line of that pair
    };
    const Case cases[] = {{"T0", true, 0}, {"T0", false, 0}, {"T3", false, 3},
                          {"T4", true, 4}, {"T5", true, 5},  {"T7", true, 7}};
    for (std::size_t perCall : {1, 2, 3, 8}) {
        for (const Case& c : cases) {
            SetUp();
            db.log.clear();
            db.runs = 0;
            blocks.perCall = perCall;
            db.refusedPair = c.pair;
            db.refuseInsert = c.insert;
            const std::string where = std::string(c.pair) + (c.insert ? " INSERT" : " DELETE") +
                                      ", lines per call " + std::to_string(perCall);
            EXPECT_EQ(run(), db.failText) << where;
            EXPECT_EQ(costs(db), perLineOutcome(data, c.line)) << where;
            // Qualifying line 5 and later stand one scan line further on.
            EXPECT_EQ(shell.position, c.line + (c.line >= 5 ? 2 : 1)) << where;
            EXPECT_FALSE(db.snapshot) << "no transaction is left open: " << where;
            const int tries = perCall == 1 ? 1 : 2;  // in the block, then alone
            EXPECT_EQ(db.runs, 2 * c.line + tries * (c.insert ? 2 : 1)) << where;
        }
    }
}

// A line whose values cannot be read: the lines before it are written and
// committed, and its DELETE, which a line written on its own runs before
// reading the rest, runs alone and is undone.
TEST_F(GroupedCommit, AnUnreadableLineEndsTheRunAfterTheLinesBeforeIt) {
    for (std::size_t perCall : {1, 3}) {
        for (const char* column : {"TEMPPRODID", "PROD_ID"}) {
            db = Database{};
            SetUp();
            blocks.perCall = perCall;
            db.unreadable = {"T4", column};
            const std::string where = std::string(column) + ", lines per call " + std::to_string(perCall);
            EXPECT_EQ(run(), std::string("cannot read ") + column) << where;
            EXPECT_EQ(costs(db), perLineOutcome(data, 4)) << where;
            const bool deleteTried = std::string(column) == "PROD_ID";
            EXPECT_EQ(db.log.back(), deleteTried ? "rollback" : "commit") << where;
            EXPECT_EQ(shell.position, 5) << where;
            EXPECT_FALSE(db.snapshot) << where;
        }
    }
}

// A commit that fails takes its group with it: nothing is written again,
// and the text names the group's lines (bar positions) as not committed, or,
// when the answer to a commit the server carried out was lost, as maybe
// committed. Either way every pair holds one row.
TEST_F(GroupedCommit, AFailedCommitReportsItsGroupsLines) {
    const std::string notCommitted =
        " were not committed: their pairs keep the rows they had before the run; running the rebuild again "
        "completes the table.";
    const std::string maybe =
        " may or may not have been committed: the answer to the commit was lost. Each of their pairs holds "
        "either the rows it had before the run or its one new row; running the rebuild again completes the "
        "table.";
    struct Case {
        int failOnCommit;
        int loseAnswerOfCommit;
        std::optional<std::string> refusedTemp;
        int firstKept;  // lines from here on keep their old rows
        int runs;       // statements run, each once
        std::string lost;
    };
    const Case cases[] = {
        {0, -1, std::nullopt, 0, 6, "Lines 1 to 3" + notCommitted},   // the first group's commit
        {1, -1, std::nullopt, 3, 12, "Lines 4 to 7" + notCommitted},  // a middle group's
        {2, -1, std::nullopt, 6, 16, "Lines 8 to 9" + notCommitted},  // the commit at the end of the scan
        {-1, -1, "T4", 3, 12, "Lines 4 to 7" + notCommitted},         // refused while T4 holds a new row
        {-1, -1, "T0", 0, 6, "Lines 1 to 3" + notCommitted},
        {-1, -1, "T7", 6, 16, "Lines 8 to 9" + notCommitted},
        {-1, 1, std::nullopt, 6, 12, "Lines 4 to 7" + maybe},  // the server committed lines 3 to 5
    };
    for (const auto& [c, perCall] : casesTimes(cases, {1, 3})) {
        db = Database{};
        SetUp();
        blocks.perCall = perCall;
        db.failOnCommit = c.failOnCommit;
        db.loseAnswerOfCommit = c.loseAnswerOfCommit;
        if (c.refusedTemp) {
            // Refused while the pair holds a row written by this run.
            db.refuseCommit = [temp = *c.refusedTemp](const std::vector<Row>& history) {
                return std::any_of(history.begin(), history.end(), [&](const Row& row) {
                    return row.at("TEMPPRODID") == temp && row.at("STD_COST") != "old";
                });
            };
        }
        const std::string where = "commit " + std::to_string(c.failOnCommit) + "/" +
                                  std::to_string(c.loseAnswerOfCommit) + ", pair " +
                                  c.refusedTemp.value_or("-") + ", per call " + std::to_string(perCall);
        EXPECT_EQ(run(), db.failText + "\r\n" + c.lost) << where;
        EXPECT_EQ(costs(db), perLineOutcome(data, c.firstKept)) << where;
        EXPECT_FALSE(db.snapshot) << "no transaction is left open: " << where;
        EXPECT_EQ(db.runs, c.runs) << "nothing is written again: " << where;
    }
}

// The connection goes while a group is open: the server drops the group,
// nothing is tried again, and the statement's own text is what the run
// raises, with the lines of the group written before it named.
TEST_F(GroupedCommit, ALostConnectionRaisesTheOriginalText) {
    for (std::size_t perCall : {1, 3}) {
        db = Database{};
        SetUp();
        blocks.perCall = perCall;
        db.loseConnectionOnRun = 2 * 4 + 1;  // the INSERT of line 4
        const std::string lost = perCall == 1
                                     ? "\r\nLine 4 was not committed: its pair keeps the rows it had "
                                       "before the run; running the rebuild again completes the table."
                                     : "";
        EXPECT_EQ(run(), db.failText + lost) << "per call " << perCall;
        EXPECT_EQ(costs(db), perLineOutcome(data, 3)) << "the first group stays, the second is gone";
        EXPECT_EQ(std::count(db.log.begin(), db.log.end(), "begin"), 2)
            << "nothing more is tried on a dead connection";
        // The bar at the line that met the dead connection: line 4 alone, or
        // the first of its block (3-5).
        EXPECT_EQ(shell.position, perCall == 1 ? 5 : 4);
    }
}

// A stop between lines (taken as the bar moves on): the lines written are
// committed, those read but not written yet are dropped, and the bar and the
// lines told as written count only the lines in the table.
TEST_F(GroupedCommit, AStopKeepsTheWrittenLinesAndTheBarCountsThem) {
    struct Case {
        std::size_t perCall;
        int stopAt;   // the bar position whose move takes the stop
        int written;  // qualifying lines in the table afterwards
        int bar;
    };
    // Qualifying lines 0-4 stand at positions 1-5, the unpriced line at 6,
    // lines 5-7 at 7-9; groups of three lines, blocks of one or three.
    const Case cases[] = {{1, 7, 5, 6}, {3, 7, 3, 3}, {3, 4, 3, 3}, {3, 3, 0, 0}, {1, 1, 0, 0}};
    for (const Case& c : cases) {
        db = Database{};
        SetUp();
        shell = ShellDouble{};
        blocks.perCall = c.perCall;
        bool stopped = false;
        shell.onPosition = [&](int position) {
            if (position == c.stopAt && !stopped) {
                stopped = true;
                throw RunStopped("stopped");
            }
        };
        const std::string where =
            "per call " + std::to_string(c.perCall) + ", stop at " + std::to_string(c.stopAt);
        EXPECT_EQ(run(), "stopped") << where;
        EXPECT_EQ(costs(db), perLineOutcome(data, c.written)) << where;
        EXPECT_EQ(shell.position, c.bar) << where;
        EXPECT_EQ(shell.written, std::vector<std::string>(data.temps.begin(), data.temps.begin() + c.written))
            << where;
        EXPECT_FALSE(db.snapshot) << where;
    }
}

TEST_F(GroupedCommit, StatementsAreKeptForTheRunOnly) {
    for (bool failing : {false, true}) {
        SetUp();
        scan.reuseLog.clear();
        work.reuseLog.clear();
        db.runs = 0;
        db.failOnRun = failing ? 3 : -1;
        run();
        EXPECT_EQ(scan.reuseLog, (std::vector<bool>{true, false})) << "failing " << failing;
        EXPECT_EQ(work.reuseLog, (std::vector<bool>{true, false})) << "failing " << failing;
    }
}

}  // namespace
}  // namespace tarvel::testing
