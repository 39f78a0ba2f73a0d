#include "CommitGroup.h"

#include "DatabaseError.h"

namespace tarvel {

CommitGroup::CommitGroup(ResetTransactions& transactions, HistoryWriter& writer, const CommitLimits& limits,
                         CommitClock clock, CommittedLine committed)
    : m_transactions(transactions),
      m_writer(writer),
      m_limits(limits),
      m_clock(std::move(clock)),
      m_committed(std::move(committed)) {
    if (m_limits.maxLines == 0) m_limits.maxLines = 1;
}

HistoryPair& CommitGroup::startLine(int position) {
    if (m_pairs.size() <= m_lines) {
        m_pairs.resize(m_lines + 1);
        m_positions.resize(m_lines + 1);
    }
    m_positions[m_lines] = position;
    return m_pairs[m_lines++];
}

void CommitGroup::endLine() {
    if (m_lines - m_done >= m_writer.linesPerCall()) flush();
}

void CommitGroup::endUnreadLine(bool deleteRead) {
    const HistoryPair unread = m_pairs[--m_lines];
    finish();
    if (!deleteRead) return;
    begin();
    m_open = false;  // undone below, whatever happens: nothing to commit
    try {
        m_writer.deleteRow(unread);
    } catch (...) {
        rollbackQuietly();
        throw;
    }
    rollbackQuietly();
}

void CommitGroup::finish() {
    flush();
    commit();
    clear();
}

void CommitGroup::begin() {
    m_transactions.begin();
    m_open = true;
    m_state = State::Whole;
    m_commitSent = false;
    m_started = m_clock();
}

void CommitGroup::commit() {
    if (!m_open) return;
    try {
        m_transactions.commit();
    } catch (...) {
        // A commit that failed with the connection may have reached the
        // server: whether the group is in the table cannot be known here.
        m_state = State::Gone;
        m_commitSent = !m_transactions.active();
        if (m_done > 0) m_failedPosition = m_positions[m_done - 1];
        throw;
    }
    m_open = false;
    if (m_committed)
        for (std::size_t i = 0; i < m_done; ++i) m_committed(m_pairs[i]);
}

void CommitGroup::clear() {
    m_lines = 0;
    m_done = 0;
}

void CommitGroup::writeMarked(std::size_t line) {
    try {
        m_transactions.markLine();
        m_writer.deleteRow(m_pairs[line]);
        m_writer.insertRow(m_pairs[line]);
    } catch (...) {
        m_failedPosition = m_positions[line];
        if (!m_transactions.active()) {
            m_state = State::Gone;
        } else {
            try {
                // Undone back to its mark, the line leaves the group whole.
                if (!m_transactions.undoLine()) m_state = State::PartLine;
            } catch (...) {
                m_state = State::PartLine;
            }
        }
        throw;
    }
}

void CommitGroup::flush() {
    if (m_done == m_lines) return;
    if (!m_open) {
        try {
            begin();
        } catch (...) {
            m_failedPosition = m_positions[m_done];
            throw;
        }
    }
    if (m_writer.linesPerCall() == 1) {
        for (; m_done < m_lines; ++m_done) writeMarked(m_done);
    } else {
        while (m_done < m_lines) {
            const std::size_t count = m_lines - m_done;
            std::size_t written = 0;
            try {
                written = m_writer.writeLines(std::span<const HistoryPair>(m_pairs).subspan(m_done, count));
            } catch (...) {
                m_failedPosition = m_positions[m_done];
                if (!m_transactions.active()) m_state = State::Gone;
                // Refused before its first line ran (a value its column's
                // type does not take is converted before the lines run, where
                // no line's handler sees it): nothing of the call stays, and
                // its lines run one at a time up to the one refused.
                if (m_state == State::Gone || failureKindOf(std::current_exception()) != FailureKind::Other)
                    throw;
                for (; m_done < m_lines; ++m_done) writeMarked(m_done);
                break;
            }
            m_done += written;
            if (written == count) break;
            // The refused line runs alone, so that its failure is the one a
            // run of single lines meets, text and all; should it pass on its
            // own (a lock let go meanwhile), it stays and the block goes on.
            writeMarked(m_done);
            ++m_done;
        }
    }
    if (m_done >= m_limits.maxLines || m_clock() - m_started >= m_limits.maxWork) {
        commit();
        clear();
    }
}

void CommitGroup::abandon() noexcept {
    if (m_done < m_lines) m_firstUnwritten = m_positions[m_done];
    m_lines = m_done;
    if (m_open && m_state == State::Whole) {
        try {
            commit();
        } catch (...) {
            // Reported below with the lines it held.
        }
    }
    if (m_open) {
        m_open = false;
        if (m_transactions.active()) rollbackQuietly();
        if (m_done > 0) {
            m_lost = LostLines{m_positions[0], m_positions[m_done - 1], m_commitSent};
            m_firstUnwritten = m_positions[0];
        }
    }
    clear();
}

void CommitGroup::rollbackQuietly() noexcept {
    try {
        m_transactions.rollback();
    } catch (...) {
        // Nothing more to undo with; the original failure is what is raised.
    }
}

}  // namespace tarvel
