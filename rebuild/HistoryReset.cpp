#include "HistoryReset.h"

#include <algorithm>
#include <climits>

#include "CommitGroup.h"
#include "DatabaseError.h"
#include "HistoryMode.h"
#include "HistoryPair.h"
#include "HistoryWriter.h"
#include "NumberText.h"
#include "RegionalFormats.h"
#include "RunStopped.h"

namespace tarvel {

const char* const kResetQuestion = "確定重置所有歷史資料?";
const char* const kResetDone = "階段作業完成";

namespace {

// A field text read as a number; texts that are not numbers count as 0.
long double numberOf(ResetQuery& query, const char* column) {
    return floatFromText(query.fieldText(column), 0.0L, currentFormats().decimalSeparator);
}

double parameterNumber(ResetQuery& query, const char* column) {
    return static_cast<double>(numberOf(query, column));
}

// Reads the values the current line hands to its DELETE and INSERT, in the
// order a line written on its own reads them; deleteRead tells how far it got
// should a read fail.
void readLine(const HistoryMode& mode, ResetQuery& scan, double price, HistoryPair& pair, bool& deleteRead) {
    deleteRead = false;
    pair.tempProdId = scan.fieldText("TEMPPRODID");
    pair.party = scan.fieldText(mode.partyColumn);
    deleteRead = true;
    pair.prodId = scan.fieldText("PROD_ID");
    pair.price = price;
    pair.chgDate = scan.fieldText("BILL_DATE");
    pair.barcode = scan.fieldText("PROD_BARCODE");
    pair.salePrice = parameterNumber(scan, "SALE_PRICE");
    pair.discount = parameterNumber(scan, "U_DIS");
}

// The run's claim on its history table, let go however the run ends.
class TableClaim {
public:
    TableClaim(ResetTransactions& transactions, const std::string& table) : m_transactions(transactions) {
        m_transactions.claim(table);
    }
    ~TableClaim() { m_transactions.releaseClaim(); }
    TableClaim(const TableClaim&) = delete;
    TableClaim& operator=(const TableClaim&) = delete;

private:
    ResetTransactions& m_transactions;
};

// Statements prepared during a run are kept for it and let go at its end,
// however it ends: a prepared statement keeps its tables in use against other
// connections' changes of them.
class StatementReuse {
public:
    StatementReuse(ResetQuery& scan, ResetQuery& work) : m_scan(scan), m_work(work) {
        m_scan.setStatementReuse(true);
        m_work.setStatementReuse(true);
    }
    ~StatementReuse() {
        m_scan.setStatementReuse(false);
        m_work.setStatementReuse(false);
    }
    StatementReuse(const StatementReuse&) = delete;
    StatementReuse& operator=(const StatementReuse&) = delete;

private:
    ResetQuery& m_scan;
    ResetQuery& m_work;
};

// After a failure the bar stands at the failing line, as when every line is
// written on its own. A stop signal seen while the bar moves back is left for
// the failure to carry.
void showFailedLine(ResetShell& shell, const CommitGroup& group) noexcept {
    if (!group.failedPosition()) return;
    try {
        shell.setProgressPosition(*group.failedPosition());
    } catch (...) {
        // The failure being raised is the run's result.
    }
}

// The line added to a failure that took the open transaction with it: which
// lines (bar positions) are not in the table, or may not be.
std::string lostLinesText(const LostLines& lost) {
    const bool one = lost.first == lost.last;
    const std::string lines =
        one ? "Line " + std::to_string(lost.first)
            : "Lines " + std::to_string(lost.first) + " to " + std::to_string(lost.last);
    const std::string again = "; running the rebuild again completes the table.";
    if (lost.maybeCommitted)
        return lines + " may or may not have been committed: the answer to the commit was lost. " +
               (one ? "Its pair holds" : "Each of their pairs holds") +
               " either the rows it had before the run or its one new row" + again;
    return lines +
           (one ? " was not committed: its pair keeps the rows it had before the run"
                : " were not committed: their pairs keep the rows they had before the run") +
           again;
}

// A failure whose transaction was lost: its own text, then the lost lines
// (a stop keeps its own text).
[[noreturn]] void throwWithLostLines(const std::exception_ptr& failure, const LostLines& lost) {
    try {
        std::rethrow_exception(failure);
    } catch (const RunStopped&) {
        throw;
    } catch (const std::exception& error) {
        throw Error(std::string(error.what()) + "\r\n" + lostLinesText(lost));
    }
}

// After a stop the bar counts the lines that are done: those read but never
// written, and the one the stop came before, are not. handled: the bar
// position of the last line the walk finished with.
void showWrittenLines(ResetShell& shell, const CommitGroup& group, int handled) noexcept {
    const int done = group.firstUnwritten() ? std::min(handled, *group.firstUnwritten() - 1) : handled;
    try {
        if (shell.progressPosition() != done) shell.setProgressPosition(done);
    } catch (...) {
        // The stop being raised is the run's result.
    }
}

// The walk over the document lines: the bar, the price test and the pairs,
// written in blocks and committed in groups.
void rebuildHistory(ResetShell& shell, const HistoryMode& mode, ResetQuery& scan, ResetQuery& work,
                    ResetBlock& blocks, ResetTransactions& transactions, const CommitLimits& limits,
                    const CommitClock& clock) {
    TableClaim claim(transactions, mode.targetTable);
    StatementReuse reuse(scan, work);
    const char* const countLines[] = {mode.countLine};
    setStatementLines(scan, countLines);
    scan.open();
    shell.setProgressMax(integerFromText(scan.fieldText(0), 1));
    shell.setProgressPosition(0);

    setStatementLines(scan, mode.scanLines);
    scan.open();
    HistoryWriter writer(mode, work, blocks);
    // A pair's DELETE and INSERT always share a transaction, so a refused
    // INSERT never leaves its pair without a history row.
    CommitGroup group(transactions, writer, limits, clock,
                      [&shell](const HistoryPair& pair) { shell.lineWritten(pair); });
    int handled = 0;  // the bar position of the last line the walk finished with
    try {
        while (!scan.eof()) {
            const int position = shell.progressPosition();
            if (position < INT_MAX) shell.setProgressPosition(position + 1);

            const long double price = numberOf(scan, "B_PRICE");
            if (price > 0) {
                HistoryPair& pair = group.startLine(shell.progressPosition());
                bool deleteRead = false;
                try {
                    readLine(mode, scan, static_cast<double>(price), pair, deleteRead);
                } catch (...) {
                    group.endUnreadLine(deleteRead);
                    throw;
                }
                group.endLine();
            }
            handled = shell.progressPosition();
            try {
                scan.next();
            } catch (...) {
                // The lines read so far are written, as when each line is
                // written as soon as it is read.
                group.finish();
                throw;
            }
        }
        group.finish();
    } catch (...) {
        // A stop that waits (a call it cancelled, a connection it ended, or
        // any failure while it waited) is taken first, so that nothing more
        // is cancelled while the finished lines are put away, and the run
        // then ends as that stop, the bar at the lines in the table.
        std::exception_ptr stop;
        try {
            throw;
        } catch (const RunStopped&) {
            stop = std::current_exception();
        } catch (...) {
        }
        shell.holdStop();
        group.abandon();
        if (!stop) {
            try {
                shell.endIfStopped();
            } catch (const RunStopped&) {
                stop = std::current_exception();
            }
        }
        if (stop) {
            showWrittenLines(shell, group, handled);
            std::rethrow_exception(stop);
        }
        showFailedLine(shell, group);
        if (group.lostLines()) throwWithLostLines(std::current_exception(), *group.lostLines());
        throw;
    }
}

}  // namespace

void runHistoryReset(ResetShell& shell, ResetQuery& scan, ResetQuery& work, ResetBlock& blocks,
                     ResetTransactions& transactions) {
    runHistoryReset(shell, scan, work, blocks, transactions, kCommitLimits,
                    [] { return std::chrono::steady_clock::now(); });
}

void runHistoryReset(ResetShell& shell, ResetQuery& scan, ResetQuery& work, ResetBlock& blocks,
                     ResetTransactions& transactions, const CommitLimits& limits, const CommitClock& clock) {
    if (shell.confirm(kResetQuestion) != ResetShell::kYes) return;
    const int index = shell.chosenIndex();
    if (index != 0 && index != 1) return;
    try {
        rebuildHistory(shell, kModes[index], scan, work, blocks, transactions, limits, clock);
    } catch (const RunStopped&) {
        throw;
    } catch (...) {
        // A stop ends the run as a stop wherever it lands: a call it cancelled
        // (the claim, the count, the scan's opening and sort), or a connection
        // it had to end, fails as itself and is told as the stop.
        shell.holdStop();
        shell.endIfStopped();
        throw;
    }
    shell.showInformation(kResetDone);
}

}  // namespace tarvel
