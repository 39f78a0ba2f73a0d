// The transactions of a run: qualifying lines are written in blocks and
// committed in groups, yet a failure leaves the tables as one transaction per
// line would have left them.
#pragma once

#include <chrono>
#include <cstddef>
#include <exception>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "HistoryPair.h"
#include "HistoryWriter.h"
#include "ResetQuery.h"

namespace tarvel {

// How much one transaction of a run holds at most; the first limit reached
// ends the group. Larger groups save commits (each one a disk flush with
// forced writes on) but hold locks longer and replay more after a failure.
struct CommitLimits {
    std::size_t maxLines = 1000;
    std::chrono::steady_clock::duration maxWork = std::chrono::milliseconds(250);
    // Writing lines again after a failure stops once this time has passed
    // (a server that keeps a cut attachment's locks would make it wait for
    // hours); each reconnect and each lock wait meanwhile takes at most
    // recoveryWaitSeconds.
    std::chrono::steady_clock::duration maxRecovery = std::chrono::seconds(30);
    int recoveryWaitSeconds = 10;
};

inline const CommitLimits kCommitLimits{};

using CommitClock = std::function<std::chrono::steady_clock::time_point()>;
// Called before each step of a recovery, so that the caller's window is not
// left without paint meanwhile.
using RecoveryPulse = std::function<void()>;

class CommitGroup {
public:
    CommitGroup(ResetTransactions& transactions, HistoryWriter& writer, const CommitLimits& limits,
                CommitClock clock, RecoveryPulse pulse = {});
    CommitGroup(const CommitGroup&) = delete;
    CommitGroup& operator=(const CommitGroup&) = delete;

    // The place for the values of the next qualifying line, shown at bar
    // position `position`.
    HistoryPair& startLine(int position);
    // The line's values are read: it waits for its block, which is written
    // once full; a group is committed once it is full or has taken its time.
    // A failure is raised as a run of single lines would raise it, with the
    // lines before the failing one committed and nothing of it kept.
    void endLine();
    // The line started last could not be read (deleteRead: its DELETE's
    // values were): the lines before it are written and committed, and its
    // DELETE, which a run of single lines would have run before the failed
    // read, runs alone and is undone. Raises that DELETE's failure, if any.
    void endUnreadLine(bool deleteRead);
    // Writes the lines still waiting and commits.
    void finish();
    // The walk ends early (a stop, a failure): lines waiting for their block
    // are dropped; whole lines written are committed. A transaction that is
    // gone or holds part of a line is rolled back and its whole lines written
    // again (a failed commit counts as a failure of the group's last line).
    // Failures on the way are swallowed: the caller raises its own.
    void abandon() noexcept;

    // The bar position of the line a raised failure belongs to.
    std::optional<int> failedPosition() const { return m_failedPosition; }
    // After abandon(): the bar positions of the first and last lines that
    // were written before the failure, undone with it, and could not be
    // written again (their pairs keep the rows they had before the run).
    std::optional<std::pair<int, int>> notReplayed() const { return m_notReplayed; }

private:
    // What the open transaction holds.
    enum class State { Whole, PartLine, Gone };

    void begin();
    void commit();
    // Writes the waiting lines: as one block, or (one line per call) with
    // the line's own statements.
    void flush();
    // After the block of lines [first, first + count) failed in a usable
    // transaction: the lines before the failing one as a smaller block, the
    // group committed, then the rest one by one, each alone.
    // failure: the block's own, raised should the commit fail as well.
    void afterBlockFailure(std::size_t first, std::size_t count, std::exception_ptr failure);
    // One line's own DELETE and INSERT, in the open transaction.
    void writeLine(std::size_t line);
    // Runs `write` in a transaction of its own, committed; raises its
    // failure (or the commit's), undone.
    void inOwnTransaction(const std::function<void()>& write);
    // writeLine in a transaction of its own.
    void writeInOwnTransaction(std::size_t line);
    // writeInOwnTransaction, with the bar's place of a failure set to the line.
    void writeAlone(std::size_t line);
    // Writes lines [0, count) again after a rollback, in blocks; when that
    // fails, one line at a time up to the first that fails. Returns how many
    // are as one transaction per line would have left them: all, unless a
    // lock stays held, the connection or the call is lost, or the time for
    // recovery is up.
    std::size_t replay(std::size_t count) noexcept;
    // Writes lines [first, first + count) as one block in the open
    // transaction, and keeps what their DELETEs removed.
    void writeRange(std::size_t first, std::size_t count);
    // Writes lines [first, first + count) again as one block, deleting what
    // they deleted the first time only, when that is known; else as before.
    void rewriteRange(std::size_t first, std::size_t count);
    // One line written again in a transaction of its own, committed.
    void rewriteInOwnTransaction(std::size_t line);
    // Undoes the open transaction back to the mark before the line that
    // failed; false when it cannot.
    bool undoLine() noexcept;
    void rollbackQuietly() noexcept;
    void clear();

    ResetTransactions& m_transactions;
    HistoryWriter& m_writer;
    CommitLimits m_limits;
    CommitClock m_clock;
    RecoveryPulse m_pulse;
    std::vector<HistoryPair> m_pairs;  // slots reused from one group to the next
    std::vector<int> m_positions;      // each line's bar position
    // Each line's keys of rows other transactions committed that it deleted
    // (HistoryWriter::deletedKeys), while m_keysKnown says they are known for
    // every line of the open transaction.
    std::vector<std::string> m_keys;
    bool m_keysKnown = false;
    std::size_t m_lines = 0;  // lines started in the group
    std::size_t m_done = 0;   // of those, lines written in the open transaction
    bool m_open = false;
    State m_state = State::Whole;
    bool m_commitFailed = false;
    std::optional<int> m_failedPosition;
    std::optional<std::pair<int, int>> m_notReplayed;
    std::chrono::steady_clock::time_point m_started;
};

}  // namespace tarvel
