#include "CommitGroup.h"

namespace tarvel {

CommitGroup::CommitGroup(ResetTransactions& transactions, Apply apply, const CommitLimits& limits,
                         CommitClock clock)
    : m_transactions(transactions), m_apply(std::move(apply)), m_limits(limits), m_clock(std::move(clock)) {
    if (m_limits.maxLines == 0) m_limits.maxLines = 1;
}

HistoryPair& CommitGroup::startLine() {
    if (!m_open) {
        m_transactions.begin();
        m_open = true;
        m_commitFailed = false;
        m_lines = 0;
        m_done = 0;
        m_started = m_clock();
    }
    if (m_pairs.size() <= m_lines) m_pairs.resize(m_lines + 1);
    return m_pairs[m_lines++];
}

void CommitGroup::endLine() {
    m_done = m_lines;
    if (m_lines >= m_limits.maxLines || m_clock() - m_started >= m_limits.maxWork) commit();
}

void CommitGroup::commit() {
    if (!m_open) return;
    try {
        m_transactions.commit();
    } catch (...) {
        m_commitFailed = true;
        throw;
    }
    m_open = false;
}

void CommitGroup::recover() noexcept {
    if (!m_open) return;
    m_open = false;
    try {
        m_transactions.rollback();
    } catch (...) {
        // The transaction's state is unknown: writing on top of it could
        // commit half a group.
        return;
    }
    const std::size_t keep = m_commitFailed ? m_lines - 1 : m_done;
    if (keep == 0) return;
    // The lines before the failing one are committed together; should that
    // fail as well, one line at a time finds where one transaction per line
    // would have stopped.
    if (replayTogether(keep) == Replay::Failed) replayOneByOne(keep);
}

CommitGroup::Replay CommitGroup::replayTogether(std::size_t count) noexcept {
    try {
        m_transactions.begin();
    } catch (...) {
        // No transaction to be had (the connection is gone, say): one per
        // line would fare no better.
        return Replay::NotBegun;
    }
    try {
        for (std::size_t i = 0; i < count; ++i) m_apply(m_pairs[i]);
        m_transactions.commit();
        return Replay::Committed;
    } catch (...) {
        rollbackQuietly();
        return Replay::Failed;
    }
}

void CommitGroup::replayOneByOne(std::size_t count) noexcept {
    for (std::size_t i = 0; i < count; ++i) {
        try {
            m_transactions.begin();
        } catch (...) {
            return;
        }
        try {
            m_apply(m_pairs[i]);
            m_transactions.commit();
        } catch (...) {
            rollbackQuietly();
            return;
        }
    }
}

void CommitGroup::rollbackQuietly() noexcept {
    try {
        m_transactions.rollback();
    } catch (...) {
        // Nothing more to undo with; the original failure is what is raised.
    }
}

}  // namespace tarvel
