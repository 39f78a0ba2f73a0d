// The time a slow variant may take. Once it is spent, the run goes on to the
// end of the current provider's lines and stops there, so that the lines it
// reached are exactly those of the providers up to that one, and the history
// it leaves can still be checked.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace bench {

class RunBudget {
public:
    // seconds <= 0: no limit.
    explicit RunBudget(double seconds);

    // True once the time is spent (and from then on).
    bool expired();
    // Asked before each line, once expired(): true when `party` is not the
    // party of the line that was current when the time ran out, i.e. when the
    // run must stop before this line.
    bool leavesParty(const std::string& party);
    // The last party a stopped run finished; empty while no stop was asked.
    const std::optional<std::string>& lastParty() const { return m_lastParty; }

private:
    bool m_limited;
    std::chrono::steady_clock::time_point m_deadline;
    bool m_expired = false;
    std::optional<std::string> m_lastParty;
};

}  // namespace bench
