#include "RunBudget.h"

namespace bench {

RunBudget::RunBudget(double seconds)
    : m_limited(seconds > 0),
      m_deadline(std::chrono::steady_clock::now() +
                 std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                     std::chrono::duration<double>(seconds > 0 ? seconds : 0))) {}

bool RunBudget::expired() {
    if (!m_expired && m_limited && std::chrono::steady_clock::now() >= m_deadline) m_expired = true;
    return m_expired;
}

bool RunBudget::leavesParty(const std::string& party) {
    if (!m_lastParty) {
        m_lastParty = party;
        return false;
    }
    return party != *m_lastParty;
}

}  // namespace bench
