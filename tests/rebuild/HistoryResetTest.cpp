#include <gtest/gtest.h>

#include <algorithm>

#include "Error.h"
#include "HistoryReset.h"
#include "RegionalFormats.h"
#include "ResetDoubles.h"

namespace tarvel::testing {
namespace {

Row purchaseLine(const char* provider, const char* prod, Value price, const char* date,
                 const char* temp = "T1", Value sale = "10", Value discount = "1") {
    return {{"PROVIDER_ID", provider},     {"PROD_ID", prod},
            {"B_PRICE", std::move(price)}, {"BILL_DATE", date},
            {"TEMPPRODID", temp},          {"PROD_BARCODE", "4710001"},
            {"SALE_PRICE", sale},          {"U_DIS", std::move(discount)}};
}

class HistoryResetTest : public ::testing::Test {
protected:
    void SetUp() override { setCurrentFormats(RegionalFormats{}); }
    void TearDown() override { setCurrentFormats(RegionalFormats{}); }

    void run() { runHistoryReset(shell, scan, work, blocks, transactions); }

    long count(const std::string& entry) const { return std::count(db.log.begin(), db.log.end(), entry); }

    Database db;
    ShellDouble shell;
    QueryDouble scan{db, "scan"};
    QueryDouble work{db, "work"};
    BlockDouble blocks{db};
    TransactionsDouble transactions{db};
};

TEST_F(HistoryResetTest, AnythingButYesDoesNothing) {
    db.lines = {purchaseLine("P1", "A", "5", "2004-03-05")};
    for (int answer : {ResetShell::kNo, ResetShell::kClosed}) {
        shell.answer = answer;
        run();
        EXPECT_EQ(shell.questions, std::vector<std::string>(1, kResetQuestion));
        EXPECT_TRUE(db.log.empty()) << "answer " << answer;
        EXPECT_TRUE(shell.barLog.empty());
        EXPECT_TRUE(shell.informations.empty());
        shell.questions.clear();
    }
}

TEST_F(HistoryResetTest, NoItemChosenEndsSilentlyAfterTheQuestion) {
    db.lines = {purchaseLine("P1", "A", "5", "2004-03-05")};
    shell.index = -1;
    run();
    EXPECT_EQ(shell.questions.size(), 1u);
    EXPECT_TRUE(db.log.empty());
    EXPECT_TRUE(shell.informations.empty());
}

TEST_F(HistoryResetTest, EmptyTableRunsOnlyCountAndScan) {
    run();
    EXPECT_EQ(shell.barLog, (std::vector<std::string>{"max 0", "pos 0"}));
    EXPECT_EQ(count("scan.open"), 2);
    EXPECT_EQ(count("work.run"), 0);
    EXPECT_EQ(count("begin"), 0);
    EXPECT_EQ(shell.informations, std::vector<std::string>(1, kResetDone));
}

// The exact call sequence of one qualifying line: statement lines, parameter
// names, values and their order, and the transaction around the pair (the
// group's, committed once the scan is at its end).
TEST_F(HistoryResetTest, PurchaseLineGivesExactStatementsAndParameters) {
    db.lines = {purchaseLine("P1", "A", "12.5", "2004/3/5", "T9", "20", "0.9")};
    run();
    const std::vector<std::string> expected = {
        "scan.close",
        "scan.clear",
        "scan.add SELECT COUNT(*) FROM INSTORAGE_SUB ",
        "scan.open",
        "scan.close",
        "scan.clear",
        "scan.add SELECT PROVIDER_ID,PROD_ID,B_PRICE,BILL_DATE,TEMPPRODID,PROD_BARCODE,SALE_PRICE,U_DIS FROM "
        "INSTORAGE_SUB ",
        "scan.add  ORDER BY PROVIDER_ID,PROD_ID,BILL_DATE ",
        "scan.open",
        "begin",
        "work.close",
        "work.clear",
        "work.add DELETE FROM STORY_IN ",
        "work.add  WHERE TEMPPRODID = :TEMPPRODID ",
        "work.add  and PROVIDER_ID = :PROVIDER_ID ",
        "work.param TEMPPRODID=text:T9",
        "work.param PROVIDER_ID=text:P1",
        "work.run",
        "work.close",
        "work.clear",
        "work.add insert into "
        "STORY_IN(PROVIDER_ID,PROD_ID,STD_COST,CHG_DATE,TEMPPRODID,PROD_BARCODE,SALE_PRICE,U_DIS)",
        "work.add  "
        "VALUES(:PROVIDER_ID,:PROD_ID,:STD_COST,:CHG_DATE,:TEMPPRODID,:PROD_BARCODE,:SALE_PRICE,:U_DIS)",
        "work.param PROVIDER_ID=text:P1",
        "work.param PROD_ID=text:A",
        "work.param STD_COST=double:12.5",
        "work.param CHG_DATE=text:2004/3/5",
        "work.param TEMPPRODID=text:T9",
        "work.param PROD_BARCODE=text:4710001",
        "work.param SALE_PRICE=double:20",
        "work.param U_DIS=double:0.90000000000000002",
        "work.run",
        "scan.next",
        "commit"};
    EXPECT_EQ(db.log, expected);
    EXPECT_EQ(shell.informations, std::vector<std::string>(1, kResetDone));
}

TEST_F(HistoryResetTest, SalesModeUsesSalesTablesAndColumns) {
    db.partyColumn = "CUST_ID";
    db.lines = {{{"CUST_ID", "C7"},
                 {"PROD_ID", "A"},
                 {"B_PRICE", "3"},
                 {"BILL_DATE", "2004-01-01"},
                 {"TEMPPRODID", "T1"},
                 {"PROD_BARCODE", std::nullopt},
                 {"SALE_PRICE", "4"},
                 {"U_DIS", "1"}}};
    shell.index = 1;
    run();
    for (const char* entry :
         {"scan.add SELECT COUNT(*) FROM SAL_SUB ",
          "scan.add SELECT CUST_ID,PROD_ID,B_PRICE,BILL_DATE,TEMPPRODID,PROD_BARCODE,SALE_PRICE,U_DIS FROM "
          "SAL_SUB ",
          "scan.add  ORDER BY CUST_ID,PROD_ID,BILL_DATE ", "work.add DELETE FROM STORY_SAL ",
          "work.add  and CUST_ID = :CUST_ID ",
          "work.add insert into "
          "STORY_SAL(CUST_ID,PROD_ID,U_PRICE,CHG_DATE,TEMPPRODID,PROD_BARCODE,SALE_PRICE,U_DIS)",
          "work.add  "
          "VALUES(:CUST_ID,:PROD_ID,:U_PRICE,:CHG_DATE,:TEMPPRODID,:PROD_BARCODE,:SALE_PRICE,:U_DIS)",
          "work.param U_PRICE=double:3", "work.param PROD_BARCODE=text:"})
        EXPECT_EQ(count(entry), 1) << entry;
    ASSERT_EQ(db.history.size(), 1u);
    EXPECT_EQ(db.history[0].at("CUST_ID"), "C7");
}

// Prices that are not above zero, whatever their text: the bar moves, nothing is written.
TEST_F(HistoryResetTest, LinesWithoutPositivePriceAreSkipped) {
    const Value prices[] = {std::nullopt, "", "0", "-3", "abc", "1,5", " ", "0.0", "-0.0001", "1e-5000"};
    for (const Value& price : prices) db.lines.push_back(purchaseLine("P1", "A", price, "2004-01-01"));
    run();
    EXPECT_EQ(count("work.run"), 0);
    EXPECT_EQ(count("begin"), 0);
    EXPECT_EQ(shell.maximum, 10);
    EXPECT_EQ(shell.position, 10);
    EXPECT_EQ(shell.informations.size(), 1u);
}

TEST_F(HistoryResetTest, CommaDecimalSeparatorIsHonoured) {
    RegionalFormats formats;
    formats.decimalSeparator = ',';
    setCurrentFormats(formats);
    db.lines = {purchaseLine("P1", "A", "1,5", "2004-01-01", "T1", "2,25", "1.5")};
    run();
    EXPECT_EQ(count("work.param STD_COST=double:1.5"), 1);
    EXPECT_EQ(count("work.param SALE_PRICE=double:2.25"), 1);
    EXPECT_EQ(count("work.param U_DIS=double:0"), 1) << "a full stop is not the decimal separator here";
}

TEST_F(HistoryResetTest, PairEndsWithItsLastLineInDateOrder) {
    db.lines = {purchaseLine("P1", "A", "1", "2004-01-01", "T1", "11"),
                purchaseLine("P1", "A", "3", "2004-01-03", "T1", "33"),
                purchaseLine("P1", "A", "2", "2004-01-02", "T1", "22")};
    run();
    EXPECT_EQ(count("work.run"), 6);
    EXPECT_EQ(count("commit"), 1) << "the three lines share one group";
    std::vector<std::string> dates;
    for (const auto& entry : db.log)
        if (entry.rfind("work.param CHG_DATE=", 0) == 0) dates.push_back(entry.substr(25));
    EXPECT_EQ(dates, (std::vector<std::string>{"2004-01-01", "2004-01-02", "2004-01-03"}));
    ASSERT_EQ(db.history.size(), 1u);
    EXPECT_EQ(db.history[0].at("STD_COST"), "3");
    EXPECT_EQ(db.history[0].at("SALE_PRICE"), "33");
}

TEST_F(HistoryResetTest, NullsBecomeEmptyTextsAndZero) {
    Row line = purchaseLine("P1", "A", "5", "2004-01-01", "T1", std::nullopt, "x");
    line["TEMPPRODID"] = std::nullopt;
    line["PROD_BARCODE"] = std::nullopt;
    line["BILL_DATE"] = std::nullopt;
    db.lines = {line};
    run();
    EXPECT_EQ(count("work.param TEMPPRODID=text:"), 2) << "in the DELETE and in the INSERT";
    EXPECT_EQ(count("work.param PROD_BARCODE=text:"), 1);
    EXPECT_EQ(count("work.param CHG_DATE=text:"), 1);
    EXPECT_EQ(count("work.param SALE_PRICE=double:0"), 1);
    EXPECT_EQ(count("work.param U_DIS=double:0"), 1);
}

TEST_F(HistoryResetTest, HistoryRowsWithoutQualifyingLinesSurvive) {
    db.history = {{{"PROVIDER_ID", "P9"}, {"TEMPPRODID", "T9"}, {"STD_COST", "77"}},
                  {{"PROVIDER_ID", "P1"}, {"TEMPPRODID", "T2"}, {"STD_COST", "66"}}};
    db.lines = {purchaseLine("P1", "A", "5", "2004-01-01", "T1"),
                purchaseLine("P1", "B", "0", "2004-01-01", "T2")};
    run();
    ASSERT_EQ(db.history.size(), 3u);
    EXPECT_EQ(db.history[0].at("STD_COST"), "77");
    EXPECT_EQ(db.history[1].at("STD_COST"), "66");
    EXPECT_EQ(db.history[2].at("STD_COST"), "5");
}

TEST_F(HistoryResetTest, BarFollowsTheCount) {
    struct Case {
        std::optional<std::string> countText;
        int lines;
        int expectedMax;
        std::vector<int> positions;
    };
    const Case cases[] = {
        {std::nullopt, 4, 4, {0, 1, 2, 3, 4}},
        {"", 3, 1, {0, 1, 1, 1}},  // not an integer: maximum 1, full from the first line
        {"abc", 2, 1, {0, 1, 1}},
        {"1.0", 2, 1, {0, 1, 1}},
        {"2", 4, 2, {0, 1, 2, 2, 2}},  // more rows than counted leave the bar full
    };
    for (const Case& c : cases) {
        Database fresh;
        fresh.countText = c.countText;
        for (int i = 0; i < c.lines; ++i) fresh.lines.push_back(purchaseLine("P1", "A", "0", "2004-01-01"));
        ShellDouble bar;
        QueryDouble s{fresh, "scan"}, w{fresh, "work"};
        BlockDouble b{fresh};
        TransactionsDouble t{fresh};
        runHistoryReset(bar, s, w, b, t);
        std::vector<std::string> expected = {"max " + std::to_string(c.expectedMax)};
        for (int p : c.positions) expected.push_back("pos " + std::to_string(p));
        EXPECT_EQ(bar.barLog, expected) << "count text " << c.countText.value_or("<default>");
    }
}

TEST_F(HistoryResetTest, RunRepeatedGivesTheSameHistory) {
    db.lines = {purchaseLine("P2", "B", "4", "2004-02-01", "T2"),
                purchaseLine("P1", "A", "5", "2004-01-01", "T1"),
                purchaseLine("P1", "A", "6", "2004-01-02", "T1")};
    run();
    const auto first = db.history;
    run();
    EXPECT_EQ(db.history, first);
    EXPECT_EQ(shell.informations.size(), 2u);
}

// A refused statement ends the run with its text unchanged; the pair's DELETE
// is undone with the failed INSERT, so the old history row stays, and the
// lines before it are committed, each written once. A line that cannot be
// undone alone takes its transaction with it, and the text says which lines
// were not committed.
TEST_F(HistoryResetTest, FailureEndsTheRunAndKeepsThePairsOldRow) {
    struct Case {
        int failOnRun;
        bool savepoints;
        std::string lost;  // the line added to the text
    };
    const std::string notCommitted =
        " was not committed: its pair keeps the rows it had before the run; running the rebuild again "
        "completes the table.";
    for (const Case& c : {Case{1, true, ""}, Case{0, true, ""}, Case{3, true, ""},
                          Case{3, false, "\r\nLine 1" + notCommitted}, Case{1, false, ""}}) {
        Database fresh;
        fresh.history = {{{"PROVIDER_ID", "P1"}, {"TEMPPRODID", "T1"}, {"STD_COST", "old"}},
                         {{"PROVIDER_ID", "P1"}, {"TEMPPRODID", "T2"}, {"STD_COST", "old2"}}};
        fresh.lines = {purchaseLine("P1", "A", "5", "2004-01-01", "T1"),
                       purchaseLine("P1", "B", "6", "2004-01-01", "T2"),
                       purchaseLine("P1", "C", "7", "2004-01-01", "T3")};
        fresh.failOnRun = c.failOnRun;
        fresh.savepoints = c.savepoints;
        fresh.failText = "Driver Error: [0x0065]: SQL Error\r\nSQL Server Error: string truncation";
        ShellDouble bar;
        QueryDouble s{fresh, "scan"}, w{fresh, "work"};
        BlockDouble b{fresh};
        TransactionsDouble t{fresh};
        const std::string where =
            "fail on run " + std::to_string(c.failOnRun) + (c.savepoints ? "" : ", no savepoints");
        try {
            runHistoryReset(bar, s, w, b, t);
            ADD_FAILURE() << "the run went on after a failure";
        } catch (const Error& e) {
            EXPECT_EQ(e.what(), fresh.failText + c.lost) << where;
        }
        EXPECT_EQ(std::count(fresh.log.begin(), fresh.log.end(), "rollback"), c.savepoints ? 0 : 1) << where;
        EXPECT_TRUE(bar.informations.empty());
        const int failedLine = c.failOnRun / 2;
        EXPECT_EQ(bar.position, failedLine + 1) << "the bar stops at the failing line";
        EXPECT_EQ(std::count(fresh.log.begin(), fresh.log.end(), "work.run"), c.failOnRun + 1)
            << "nothing is written again: " << where;
        EXPECT_EQ(fresh.history.size(), 2u) << where;
        const bool oldT1 = std::any_of(fresh.history.begin(), fresh.history.end(), [](const Row& r) {
            return r.at("TEMPPRODID") == "T1" && r.at("STD_COST") == "old";
        });
        const bool oldT2 = std::any_of(fresh.history.begin(), fresh.history.end(), [](const Row& r) {
            return r.at("TEMPPRODID") == "T2" && r.at("STD_COST") == "old2";
        });
        EXPECT_EQ(oldT1, failedLine == 0 || !c.savepoints)
            << "line 1 is replaced only when it was committed before the failure: " << where;
        EXPECT_TRUE(oldT2) << "a pair is never left without its row: " << where;
    }
}

TEST_F(HistoryResetTest, FailureBeforeTheCountLeavesTheBarAlone) {
    db.failOnRun = -2;  // the first open fails, as when the connection cannot be made
    db.failText = "Driver/Connection Registry File '/x/sqlconnections.ini' not found";
    db.lines = {purchaseLine("P1", "A", "5", "2004-01-01")};
    EXPECT_THROW(
        {
            try {
                run();
            } catch (const Error& e) {
                EXPECT_EQ(std::string(e.what()), db.failText);
                throw;
            }
        },
        Error);
    EXPECT_TRUE(shell.barLog.empty());
    EXPECT_TRUE(shell.informations.empty());
}

}  // namespace
}  // namespace tarvel::testing
