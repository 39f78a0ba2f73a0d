// The bytes of one direction of a relayed connection, each chunk held until
// the time it is due. Arrival never waits for delivery: a chunk is queued as
// soon as it is read, however many are waiting, so the delay adds latency
// without limiting throughput.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace bench {

class DelayQueue {
public:
    using Clock = std::chrono::steady_clock;

    // Queues bytes due at `due` (not before the chunks already queued).
    void push(std::string_view bytes, Clock::time_point due);
    // Queues the end of the stream: once due and reached, the writer shuts its
    // side down.
    void pushEnd(Clock::time_point due);

    // The front chunk's unwritten bytes when it is due at `now`; empty otherwise.
    std::string_view dueBytes(Clock::time_point now) const;
    // Marks `count` bytes of the front chunk written; the chunk goes when all are.
    void consume(std::size_t count);
    // True when the front is the end of the stream and it is due at `now`; takes it.
    bool takeDueEnd(Clock::time_point now);

    // When the front is due; nothing when the queue is empty.
    std::optional<Clock::time_point> nextDue() const;
    // Bytes waiting, over every chunk.
    std::size_t bytes() const { return m_bytes; }
    bool empty() const { return m_chunks.empty(); }
    void clear();

private:
    struct Chunk {
        std::string bytes;
        std::size_t written = 0;
        Clock::time_point due;
        bool end = false;
    };
    std::deque<Chunk> m_chunks;
    std::size_t m_bytes = 0;
};

}  // namespace bench
