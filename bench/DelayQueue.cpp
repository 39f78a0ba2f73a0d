#include "DelayQueue.h"

#include <algorithm>

namespace bench {

void DelayQueue::push(std::string_view bytes, Clock::time_point due) {
    if (bytes.empty()) return;
    // The clock is monotonic and the delay fixed, so dues only grow; the max
    // keeps the order of the stream even if a caller's delay were to shrink.
    if (!m_chunks.empty()) due = std::max(due, m_chunks.back().due);
    m_chunks.push_back({std::string(bytes), 0, due, false});
    m_bytes += bytes.size();
}

void DelayQueue::pushEnd(Clock::time_point due) {
    if (!m_chunks.empty()) due = std::max(due, m_chunks.back().due);
    m_chunks.push_back({{}, 0, due, true});
}

std::string_view DelayQueue::dueBytes(Clock::time_point now) const {
    if (m_chunks.empty() || m_chunks.front().end || m_chunks.front().due > now) return {};
    const Chunk& front = m_chunks.front();
    return std::string_view(front.bytes).substr(front.written);
}

void DelayQueue::consume(std::size_t count) {
    Chunk& front = m_chunks.front();
    count = std::min(count, front.bytes.size() - front.written);
    front.written += count;
    m_bytes -= count;
    if (front.written == front.bytes.size()) m_chunks.pop_front();
}

bool DelayQueue::takeDueEnd(Clock::time_point now) {
    if (m_chunks.empty() || !m_chunks.front().end || m_chunks.front().due > now) return false;
    m_chunks.pop_front();
    return true;
}

std::optional<DelayQueue::Clock::time_point> DelayQueue::nextDue() const {
    if (m_chunks.empty()) return std::nullopt;
    return m_chunks.front().due;
}

void DelayQueue::clear() {
    m_chunks.clear();
    m_bytes = 0;
}

}  // namespace bench
