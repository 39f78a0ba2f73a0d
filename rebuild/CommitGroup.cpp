#include "CommitGroup.h"

#include <algorithm>

#include "DatabaseError.h"
#include "Error.h"

namespace tarvel {

CommitGroup::CommitGroup(ResetTransactions& transactions, HistoryWriter& writer, const CommitLimits& limits,
                         CommitClock clock, RecoveryPulse pulse)
    : m_transactions(transactions),
      m_writer(writer),
      m_limits(limits),
      m_clock(std::move(clock)),
      m_pulse(std::move(pulse)) {
    if (m_limits.maxLines == 0) m_limits.maxLines = 1;
}

HistoryPair& CommitGroup::startLine(int position) {
    if (m_pairs.size() <= m_lines) {
        m_pairs.resize(m_lines + 1);
        m_positions.resize(m_lines + 1);
        m_keys.resize(m_lines + 1);
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
    m_commitFailed = false;
    // Blocks tell what their lines deleted; single statements do not.
    m_keysKnown = m_writer.linesPerCall() > 1;
    m_started = m_clock();
}

void CommitGroup::commit() {
    if (!m_open) return;
    try {
        m_transactions.commit();
    } catch (...) {
        m_commitFailed = true;
        m_state = State::Gone;
        if (m_done > 0) m_failedPosition = m_positions[m_done - 1];
        throw;
    }
    m_open = false;
}

void CommitGroup::clear() {
    m_lines = 0;
    m_done = 0;
}

void CommitGroup::writeRange(std::size_t first, std::size_t count) {
    m_writer.writeLines(std::span<const HistoryPair>(m_pairs).subspan(first, count));
    const auto& keys = m_writer.deletedKeys();
    if (!keys) {
        m_keysKnown = false;
        return;
    }
    for (std::size_t i = 0; i < count; ++i) m_keys[first + i] = (*keys)[i];
}

void CommitGroup::rewriteRange(std::size_t first, std::size_t count) {
    const auto lines = std::span<const HistoryPair>(m_pairs).subspan(first, count);
    if (!m_keysKnown ||
        !m_writer.rewriteLines(lines, std::span<const std::string>(m_keys).subspan(first, count)))
        m_writer.writeLines(lines);
}

void CommitGroup::rewriteInOwnTransaction(std::size_t line) {
    if (!m_keysKnown) {
        writeInOwnTransaction(line);
        return;
    }
    inOwnTransaction([&] { rewriteRange(line, 1); });
    // The row it wrote is now another transaction's: a later line of the
    // same pair deletes it by its key, as one transaction per line would.
    const auto& inserted = m_writer.insertedKeys();
    for (std::size_t later = line + 1; later < m_lines; ++later) {
        const HistoryPair& pair = m_pairs[later];
        if (pair.party != m_pairs[line].party || pair.tempProdId != m_pairs[line].tempProdId) continue;
        if (inserted)
            m_keys[later] += (*inserted)[0];
        else
            m_keysKnown = false;  // that line's DELETE can no longer be told exactly
    }
}

void CommitGroup::flush() {
    const std::size_t first = m_done;
    const std::size_t count = m_lines - m_done;
    if (count == 0) return;
    if (!m_open) {
        try {
            begin();
        } catch (...) {
            m_failedPosition = m_positions[first];
            throw;
        }
    }
    if (m_writer.linesPerCall() == 1) {
        for (std::size_t i = first; i < m_lines; ++i) {
            try {
                m_transactions.markLine();
                writeLine(i);
            } catch (...) {
                m_failedPosition = m_positions[i];
                // Undone back to its mark, the line leaves the group whole,
                // and nothing before it needs writing again.
                if (!undoLine()) m_state = State::PartLine;
                throw;
            }
            ++m_done;
        }
    } else {
        try {
            writeRange(first, count);
        } catch (...) {
            if (!m_transactions.active()) {
                m_state = State::Gone;
                m_failedPosition = m_positions[first];
                throw;
            }
            afterBlockFailure(first, count, std::current_exception());
            return;
        }
        m_done += count;
    }
    if (m_done >= m_limits.maxLines || m_clock() - m_started >= m_limits.maxWork) {
        commit();
        clear();
    }
}

void CommitGroup::afterBlockFailure(std::size_t first, std::size_t count, std::exception_ptr failure) {
    const std::size_t end = first + count;
    const std::optional<std::size_t> failed = m_writer.failedLine();
    std::size_t good = failed && *failed < count ? *failed : 0;
    while (good > 0) {
        try {
            writeRange(first, good);
            m_done += good;
            first += good;
            break;
        } catch (...) {
            if (!m_transactions.active()) {
                m_state = State::Gone;
                m_failedPosition = m_positions[first];
                throw;
            }
            const std::optional<std::size_t> again = m_writer.failedLine();
            good = again && *again < good ? *again : 0;
        }
    }
    try {
        commit();
    } catch (...) {
        // A connection that died without saying so: the block's failure is
        // the one a line written on its own would have met.
        m_failedPosition = m_positions[first];
        std::rethrow_exception(failure);
    }
    clear();
    // A block cancelled by a stop: the lines before the one it was on are
    // kept, and the run ends there.
    if (failureKindOf(failure) == FailureKind::Cancelled) std::rethrow_exception(failure);
    // m_pairs keeps the rest of the block until the next startLine.
    for (std::size_t i = first; i < end; ++i) writeAlone(i);
}

void CommitGroup::writeLine(std::size_t line) {
    m_writer.deleteRow(m_pairs[line]);
    m_writer.insertRow(m_pairs[line]);
}

void CommitGroup::inOwnTransaction(const std::function<void()>& write) {
    m_transactions.begin();
    try {
        write();
        m_transactions.commit();
    } catch (...) {
        rollbackQuietly();
        throw;
    }
}

void CommitGroup::writeInOwnTransaction(std::size_t line) {
    inOwnTransaction([&] { writeLine(line); });
}

void CommitGroup::writeAlone(std::size_t line) {
    m_failedPosition = m_positions[line];
    writeInOwnTransaction(line);
    m_failedPosition.reset();
}

void CommitGroup::abandon() noexcept {
    m_lines = m_done;
    if (m_open && m_state == State::Whole) {
        try {
            m_transactions.commit();
            m_open = false;
        } catch (...) {
            m_commitFailed = true;
            m_state = State::Gone;
        }
    }
    if (m_open) {
        m_open = false;
        try {
            m_transactions.rollback();
        } catch (...) {
            // The transaction's state is unknown: writing on top of it could
            // commit half a group.
            clear();
            return;
        }
        const std::size_t keep = m_commitFailed ? std::max<std::size_t>(m_done, 1) - 1 : m_done;
        if (keep > 0) {
            const std::size_t written = replay(keep);
            if (written < keep) m_notReplayed = std::make_pair(m_positions[written], m_positions[keep - 1]);
        }
    }
    clear();
}

namespace {

// Bounds the waits of a recovery, and gives the settings' waits back after it.
class BoundedWaits {
public:
    BoundedWaits(ResetTransactions& transactions, int seconds) : m_transactions(transactions) {
        m_transactions.boundWaits(seconds);
    }
    ~BoundedWaits() {
        try {
            m_transactions.boundWaits(0);
        } catch (...) {
            // The connection is closed by the run's end anyway.
        }
    }
    BoundedWaits(const BoundedWaits&) = delete;
    BoundedWaits& operator=(const BoundedWaits&) = delete;

private:
    ResetTransactions& m_transactions;
};

// A failure that writing the next lines would meet again.
bool endsRecovery(const std::exception_ptr& failure) {
    const FailureKind kind = failureKindOf(failure);
    return kind == FailureKind::LockConflict || kind == FailureKind::LockTimeout ||
           kind == FailureKind::Cancelled || kind == FailureKind::ConnectionLost;
}

}  // namespace

std::size_t CommitGroup::replay(std::size_t count) noexcept {
    const auto deadline = m_clock() + m_limits.maxRecovery;
    const auto pulse = [this] {
        if (m_pulse) m_pulse();
    };
    try {
        pulse();
        BoundedWaits bounded(m_transactions, m_limits.recoveryWaitSeconds);
        try {
            m_transactions.begin();
        } catch (...) {
            // No transaction to be had (the connection is gone, say): one per
            // line would fare no better.
            return 0;
        }
        try {
            const std::size_t perCall = m_writer.linesPerCall();
            for (std::size_t first = 0; first < count; first += perCall) {
                if (m_clock() >= deadline) throw Error("recovery time is up");
                pulse();
                if (perCall == 1) {
                    writeLine(first);
                } else {
                    rewriteRange(first, std::min(perCall, count - first));
                }
            }
            m_transactions.commit();
            return count;
        } catch (...) {
            rollbackQuietly();
            if (endsRecovery(std::current_exception()) || m_clock() >= deadline) return 0;
        }
        // The lines together failed: one line at a time finds where one
        // transaction per line would have stopped.
        for (std::size_t i = 0; i < count; ++i) {
            if (m_clock() >= deadline) return i;
            pulse();
            try {
                rewriteInOwnTransaction(i);
            } catch (...) {
                // A line refused on its own ends the lines as one transaction
                // per line would have ended them there: nothing is missing.
                return endsRecovery(std::current_exception()) ? i : count;
            }
        }
        return count;
    } catch (...) {
        // Bounding the waits failed: the connection is in no state to recover.
        return 0;
    }
}

bool CommitGroup::undoLine() noexcept {
    try {
        return m_transactions.active() && m_transactions.undoLine();
    } catch (...) {
        return false;
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
