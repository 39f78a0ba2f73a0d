#include "ProgressReporter.h"

namespace tarvel {

ProgressReporter::ProgressReporter(bool terminal, int columns, Sink sink, Clock clock)
    : m_terminal(terminal), m_columns(columns), m_sink(std::move(sink)), m_clock(std::move(clock)) {}

ProgressSnapshot ProgressReporter::snapshot() const {
    const std::chrono::duration<double> elapsed = m_clock() - m_started;
    return {m_position, m_maximum, elapsed.count()};
}

void ProgressReporter::show() {
    m_shown = m_clock();
    if (m_terminal)
        m_sink("\r" + terminalProgressLine(snapshot(), m_columns));
    else
        m_sink(plainProgressLine(snapshot()) + "\n");
}

void ProgressReporter::start(std::int64_t maximum) {
    m_started = m_clock();
    m_maximum = maximum;
    m_position = 0;
    m_running = true;
    show();
}

void ProgressReporter::update(std::int64_t position) {
    m_position = position;
    if (!m_running) return;
    const auto interval = m_terminal ? std::chrono::steady_clock::duration(kTerminalInterval)
                                     : std::chrono::steady_clock::duration(kPlainInterval);
    if (m_clock() - m_shown >= interval) show();
}

void ProgressReporter::finish() {
    if (!m_running) return;
    show();
    if (m_terminal) m_sink("\n");
    m_running = false;
}

}  // namespace tarvel
