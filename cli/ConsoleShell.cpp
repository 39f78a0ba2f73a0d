#include "ConsoleShell.h"

#include <algorithm>
#include <cstring>

#include "RebuildArguments.h"

namespace tarvel {

StopRequested::StopRequested(int signal)
    : RunStopped(
          std::string("Stopped by ") +
          (sigabbrev_np(signal) ? "SIG" + std::string(sigabbrev_np(signal)) : std::string("a signal")) +
          "; the lines written before it are kept, no pair half written"),
      m_signal(signal) {}

ConsoleShell::ConsoleShell(int historyIndex, bool assumeYes, ProgressReporter& progress, StopSignals& stops,
                           std::FILE* answers, std::FILE* prompts, std::FILE* messages)
    : m_historyIndex(historyIndex),
      m_assumeYes(assumeYes),
      m_progress(progress),
      m_stops(stops),
      m_answers(answers),
      m_prompts(prompts),
      m_messages(messages) {}

int ConsoleShell::confirm(const std::string& question) {
    if (!m_assumeYes) {
        std::fprintf(m_prompts, "%s [y/N] ", question.c_str());
        std::fflush(m_prompts);
        std::string line;
        char chunk[256];
        while (std::fgets(chunk, sizeof chunk, m_answers)) {
            line += chunk;
            if (!line.empty() && line.back() == '\n') break;
        }
        if (!isYesAnswer(line)) return kNo;
    }
    // From here on a stop signal waits for the end of the line in work.
    m_stops.block();
    return kYes;
}

int ConsoleShell::chosenIndex() { return m_historyIndex; }

void ConsoleShell::setProgressMax(int maximum) {
    m_maximum = maximum;
    m_position = std::clamp(m_position, 0, std::max(maximum, 0));
    m_progress.start(maximum);
}

void ConsoleShell::setProgressPosition(int position) {
    // Every line of the walk passes here first: the place to stop cleanly.
    if (const int signal = m_stops.pollPending()) {
        // Kept: the run may meet it while it reports a failure, and must
        // still end as the stop.
        m_heldStop = signal;
        if (m_stopTaken) m_stopTaken();
        throw StopRequested(signal);
    }
    m_position = std::clamp(position, 0, std::max(m_maximum, 0));
    m_progress.update(m_position);
}

int ConsoleShell::progressPosition() { return m_position; }

void ConsoleShell::holdStop() {
    if (m_heldStop != 0) return;
    m_heldStop = m_stops.takePending();
    if (m_heldStop != 0 && m_stopTaken) m_stopTaken();
}

void ConsoleShell::endIfStopped() {
    if (m_heldStop != 0) throw StopRequested(m_heldStop);
}

void ConsoleShell::showInformation(const std::string& message) {
    m_progress.finish();
    m_completed = true;
    if (!m_messages) return;
    std::fprintf(m_messages, "%s\n", message.c_str());
    std::fflush(m_messages);
}

void ConsoleShell::lineWritten(const HistoryPair& pair) { m_pairs.add(pair); }

}  // namespace tarvel
