// In-memory stand-ins for the window and the two queries of a rebuild run
// (the window's stand-in also serves the end-to-end runs on real databases).
// The queries play a tiny database: the scan serves scripted document lines in
// scan order, the work query applies DELETE and INSERT to a history table.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "ResetBlock.h"
#include "ResetQuery.h"
#include "ResetShell.h"

namespace tarvel::testing {

using Value = std::optional<std::string>;  // nullopt is SQL null

// One document line, by column name (PROVIDER_ID or CUST_ID, PROD_ID, B_PRICE, ...).
using Row = std::map<std::string, Value>;

class ShellDouble : public ResetShell {
public:
    int answer = kYes;
    int index = 0;
    int maximum = 100;
    int position = 0;
    std::vector<std::string> questions;
    std::vector<std::string> informations;
    std::vector<std::string> barLog;  // "max N" and "pos N", in order
    // Called with each new position, after it is set (a test's way into the
    // middle of a run).
    std::function<void(int)> onPosition;

    int confirm(const std::string& question) override;
    int chosenIndex() override { return index; }
    void setProgressMax(int value) override;
    void setProgressPosition(int value) override;
    int progressPosition() override { return position; }
    void lineWritten(const HistoryPair& pair) override { written.push_back(pair.tempProdId); }
    std::vector<std::string> written;  // each committed line's TEMPPRODID, in order
    void showInformation(const std::string& message) override { informations.push_back(message); }
};

// The shared state of the pretend database and a log of every call made on it.
struct Database {
    std::string partyColumn = "PROVIDER_ID";
    std::vector<Row> lines;                // document lines, in any order
    std::optional<std::string> countText;  // what COUNT(*) reads as; default: the line count
    std::vector<Row> history;              // the history table, in insertion order
    std::vector<std::string> log;          // "scan.open", "work.param TEMPPRODID=text:abc", ...
    int failOnRun = -1;                    // runStatement number (from 0) that throws
    std::string failText = "refused";
    int runs = 0;
    int failOnCommit = -1;  // commit number (from 0) that throws
    // The commit of this number reaches the server, which commits, but its
    // answer is lost with the connection.
    int loseAnswerOfCommit = -1;
    int commits = 0;
    // Commits are refused while this says so of the history (a check the
    // server makes at commit).
    std::function<bool(const std::vector<Row>&)> refuseCommit;
    // From the runStatement of this number on the connection is gone: that
    // statement and every later call fail, and the server drops the open
    // transaction.
    int loseConnectionOnRun = -1;
    bool lost = false;
    std::optional<std::vector<Row>> snapshot;  // history at the start of the open transaction
    bool savepoints = true;                    // lines are marked and undone alone
    std::optional<std::vector<Row>> lineMark;  // history at the last line's mark
    // Every DELETE (or INSERT) of this pair is refused, however it is sent.
    std::optional<std::string> refusedPair;
    bool refuseInsert = true;
    // Reading this column of the lines of this pair fails.
    std::optional<std::pair<std::string, std::string>> unreadable;  // pair, column

    // Runs one DELETE or INSERT with these parameters ("text:..."/"double:...");
    // throws failText when scripted to.
    void execute(bool isDelete, const std::map<std::string, std::string>& params);
};

class QueryDouble : public ResetQuery {
public:
    QueryDouble(Database& db, std::string name) : m_db(db), m_name(std::move(name)) {}

    std::vector<std::string> lines;

    void close() override;
    void clearLines() override;
    void addLine(const std::string& line) override;
    void open() override;
    bool eof() override { return m_row >= m_rows.size(); }
    void next() override;
    std::string fieldText(int index) override;
    std::string fieldText(const std::string& name) override;
    void setParamText(const std::string& name, const std::string& value) override;
    void setParamDouble(const std::string& name, double value) override;
    void runStatement() override;
    void setStatementReuse(bool on) noexcept override;

    std::vector<bool> reuseLog;  // every setStatementReuse, in order

private:
    Database& m_db;
    std::string m_name;
    std::vector<Row> m_rows;
    std::vector<std::string> m_columns;
    std::size_t m_row = 0;
    bool m_active = false;
    std::map<std::string, std::string> m_params;  // name -> "text:..." or "double:..."
};

// Blocks of lines over the same pretend database: each line's DELETE and
// INSERT count as statements (runs) as when sent on their own; a refused line
// stops its block, undone, with the lines before it kept.
class BlockDouble : public ResetBlock {
public:
    explicit BlockDouble(Database& db) : m_db(db) {}

    std::size_t perCall = 1;  // what the settings ask for

    std::size_t linesPerCall() override { return perCall; }
    void define(const std::string& table, const std::vector<std::string>& statements,
                std::size_t lines) override;
    std::size_t parameterIndex(const std::string& name) override;
    void setParamText(std::size_t line, std::size_t parameter, const std::string& value) override;
    void setParamDouble(std::size_t line, std::size_t parameter, double value) override;
    std::size_t run(std::size_t count) override;
    void release() noexcept override { ++releases; }
    int releases = 0;

private:
    Database& m_db;
    std::vector<std::string> m_names;
    std::vector<std::map<std::string, std::string>> m_values;  // a line's parameters by name
};

class TransactionsDouble : public ResetTransactions {
public:
    explicit TransactionsDouble(Database& db) : m_db(db) {}
    void begin() override;
    void commit() override;
    void rollback() override;
    bool active() override { return !m_db.lost && m_db.snapshot.has_value(); }
    void markLine() override;
    bool undoLine() override;

private:
    Database& m_db;
};

}  // namespace tarvel::testing
