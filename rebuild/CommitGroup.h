// The transactions of a run: qualifying lines are committed in groups, yet a
// failure leaves the tables as one transaction per line would have left them.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <vector>

#include "HistoryPair.h"
#include "ResetQuery.h"

namespace tarvel {

// How much one transaction of a run holds at most; the first limit reached
// ends the group. Larger groups save commits (each one a disk flush with
// forced writes on) but hold locks longer and replay more after a failure.
struct CommitLimits {
    std::size_t maxLines = 1000;
    std::chrono::steady_clock::duration maxWork = std::chrono::milliseconds(250);
};

inline const CommitLimits kCommitLimits{};

using CommitClock = std::function<std::chrono::steady_clock::time_point()>;

class CommitGroup {
public:
    // Writes one line's pair (its DELETE, then its INSERT) again.
    using Apply = std::function<void(const HistoryPair&)>;

    CommitGroup(ResetTransactions& transactions, Apply apply, const CommitLimits& limits, CommitClock clock);
    CommitGroup(const CommitGroup&) = delete;
    CommitGroup& operator=(const CommitGroup&) = delete;

    // The place for the values of the next qualifying line; the group's
    // transaction begins with its first line.
    HistoryPair& startLine();
    // The line's DELETE and INSERT have run; the group is committed once it
    // is full or has taken its time.
    void endLine();
    // Commits the open group, if any.
    void commit();
    // After a failure anywhere in the run: rolls the open group back and
    // commits again the lines one transaction per line would have kept, that
    // is the lines before the failing one (a failed commit counts as a failure
    // of the group's last line). Every failure on the way is swallowed, so the
    // caller goes on to raise the original one.
    void recover() noexcept;

    // Lines in the open group (0 when no transaction is open).
    std::size_t openLines() const { return m_open ? m_lines : 0; }

private:
    enum class Replay { Committed, Failed, NotBegun };
    // Writes lines [0, count) again in one transaction.
    Replay replayTogether(std::size_t count) noexcept;
    // Writes lines [0, count) again one transaction each, up to the first that fails.
    void replayOneByOne(std::size_t count) noexcept;
    void rollbackQuietly() noexcept;

    ResetTransactions& m_transactions;
    Apply m_apply;
    CommitLimits m_limits;
    CommitClock m_clock;
    std::vector<HistoryPair> m_pairs;  // slots reused from one group to the next
    std::size_t m_lines = 0;           // lines started in the open group
    std::size_t m_done = 0;            // of those, lines whose pair has run
    bool m_open = false;
    bool m_commitFailed = false;
    std::chrono::steady_clock::time_point m_started;
};

}  // namespace tarvel
