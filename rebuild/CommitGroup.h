// The transactions of a run: qualifying lines are written in blocks and
// committed in groups. A line the server refuses stops the run where it
// stands, the lines before it committed, as one transaction per line would
// leave them; a transaction that is lost is reported, never written again.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "HistoryPair.h"
#include "HistoryWriter.h"
#include "ResetQuery.h"

namespace tarvel {

// How much one transaction of a run holds at most; the first limit reached
// ends the group. Larger groups save commits (each one a disk flush with
// forced writes on) but hold locks longer, and a lost transaction takes more
// lines with it.
struct CommitLimits {
    std::size_t maxLines = 1000;
    std::chrono::steady_clock::duration maxWork = std::chrono::milliseconds(250);
};

inline const CommitLimits kCommitLimits{};

using CommitClock = std::function<std::chrono::steady_clock::time_point()>;
// Told of each line once its group is committed.
using CommittedLine = std::function<void(const HistoryPair&)>;

// The lines a lost transaction held: their first and last bar positions,
// and whether the transaction's commit was sent, so that the server may
// have committed it.
struct LostLines {
    int first = 0;
    int last = 0;
    bool maybeCommitted = false;
};

class CommitGroup {
public:
    CommitGroup(ResetTransactions& transactions, HistoryWriter& writer, const CommitLimits& limits,
                CommitClock clock, CommittedLine committed = {});
    CommitGroup(const CommitGroup&) = delete;
    CommitGroup& operator=(const CommitGroup&) = delete;

    // The place for the values of the next qualifying line, shown at bar
    // position `position`.
    HistoryPair& startLine(int position);
    // The line's values are read: it waits for its block, which is written
    // once full; a group is committed once it is full or has taken its time.
    // A refused line raises its own failure, undone, with the lines before
    // it written.
    void endLine();
    // The line started last could not be read (deleteRead: its DELETE's
    // values were): the lines before it are written and committed, and its
    // DELETE, which a run of single lines would have run before the failed
    // read, runs alone and is undone. Raises that DELETE's failure, if any.
    void endUnreadLine(bool deleteRead);
    // Writes the lines still waiting and commits.
    void finish();
    // The walk ends early (a stop, a failure): lines waiting for their block
    // are dropped; the lines written are committed while the transaction is
    // there to commit, else rolled back and reported (lostLines). Nothing is
    // written again. Failures on the way are swallowed: the caller raises
    // its own.
    void abandon() noexcept;

    // The bar position of the line a raised failure belongs to.
    std::optional<int> failedPosition() const { return m_failedPosition; }
    // After abandon(): the lines of a transaction that was lost, when it
    // held any.
    std::optional<LostLines> lostLines() const { return m_lost; }
    // After abandon(): the bar position of the first line that was read but
    // is not in the table (dropped, or lost with its transaction).
    std::optional<int> firstUnwritten() const { return m_firstUnwritten; }

private:
    // What the open transaction holds.
    enum class State { Whole, PartLine, Gone };

    void begin();
    void commit();
    // Writes the waiting lines: in blocks, or (one line per call) with the
    // lines' own statements.
    void flush();
    // One line's own DELETE and INSERT under a mark of the open transaction:
    // a failure undoes the line alone.
    void writeMarked(std::size_t line);
    void rollbackQuietly() noexcept;
    void clear();

    ResetTransactions& m_transactions;
    HistoryWriter& m_writer;
    CommitLimits m_limits;
    CommitClock m_clock;
    CommittedLine m_committed;
    std::vector<HistoryPair> m_pairs;  // slots reused from one group to the next
    std::vector<int> m_positions;      // each line's bar position
    std::size_t m_lines = 0;           // lines started in the group
    std::size_t m_done = 0;            // of those, lines written in the open transaction
    bool m_open = false;
    State m_state = State::Whole;
    bool m_commitSent = false;  // a commit of the open transaction failed after it was sent
    std::optional<int> m_failedPosition;
    std::optional<LostLines> m_lost;
    std::optional<int> m_firstUnwritten;
    std::chrono::steady_clock::time_point m_started;
};

}  // namespace tarvel
