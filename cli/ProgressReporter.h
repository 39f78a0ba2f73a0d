// Shows the progress of a rebuild on standard error: a bar redrawn in place
// at most ten times a second on a terminal, a plain line every ten seconds
// otherwise (a log, a scheduler's journal).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "ProgressLine.h"

namespace tarvel {

class ProgressReporter {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    using Sink = std::function<void(const std::string&)>;

    static constexpr std::chrono::milliseconds kTerminalInterval{100};
    static constexpr std::chrono::seconds kPlainInterval{10};

    // terminal: draw the bar in place, columns wide; otherwise plain lines.
    ProgressReporter(bool terminal, int columns, Sink sink, Clock clock = &std::chrono::steady_clock::now);

    // The walk begins with that many lines to go; it is shown at once.
    void start(std::int64_t maximum);
    // The walk reached position; shown when the last showing is old enough.
    void update(std::int64_t position);
    // The walk is over: shows where it ended, and ends the bar's line.
    void finish();

private:
    ProgressSnapshot snapshot() const;
    void show();

    bool m_terminal;
    int m_columns;
    Sink m_sink;
    Clock m_clock;
    std::chrono::steady_clock::time_point m_started{};
    std::chrono::steady_clock::time_point m_shown{};
    std::int64_t m_position = 0;
    std::int64_t m_maximum = 0;
    bool m_running = false;
};

}  // namespace tarvel
