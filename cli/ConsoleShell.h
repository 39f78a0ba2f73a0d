// The rebuild's shell on a terminal or under a scheduler: the question is
// asked on the terminal (or taken as answered by --yes), the kind of history
// comes from the command line, the bar is a ProgressReporter and the
// completion text goes to standard output (unless it is left out). It counts
// the pairs the lines name, for the summary.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "Error.h"
#include "PairCount.h"
#include "ProgressReporter.h"
#include "ResetShell.h"
#include "RunStopped.h"
#include "StopSignals.h"

namespace tarvel {

// A stop signal ended the run between two lines.
class StopRequested : public RunStopped {
public:
    explicit StopRequested(int signal);
    int signal() const { return m_signal; }

private:
    int m_signal;
};

class ConsoleShell : public ResetShell {
public:
    // answers: where a typed answer is read from; prompts: where the question
    // goes; messages: where the completion text goes (null: nowhere).
    ConsoleShell(int historyIndex, bool assumeYes, ProgressReporter& progress, StopSignals& stops,
                 std::FILE* answers, std::FILE* prompts, std::FILE* messages);

    int confirm(const std::string& question) override;
    int chosenIndex() override;
    void setProgressMax(int maximum) override;
    void setProgressPosition(int position) override;
    int progressPosition() override;
    void showInformation(const std::string& message) override;
    void holdStop() override;
    void endIfStopped() override;
    void lineWritten(const HistoryPair& pair) override;

    // Runs `taken` once a stop signal has been taken (by holdStop() or between
    // lines), before the run goes on to put its finished lines away; an empty
    // function ends that.
    void whenStopTaken(std::function<void()> taken) { m_stopTaken = std::move(taken); }

    // True once the run reached its completion message.
    bool completed() const { return m_completed; }
    // History pairs named by the lines written so far.
    std::int64_t pairs() const { return m_pairs.pairs(); }

private:
    int m_historyIndex;
    bool m_assumeYes;
    ProgressReporter& m_progress;
    StopSignals& m_stops;
    std::FILE* m_answers;
    std::FILE* m_prompts;
    std::FILE* m_messages;
    int m_maximum = 100;
    int m_position = 0;
    bool m_completed = false;
    int m_heldStop = 0;  // the stop signal taken, by holdStop() or between lines
    std::function<void()> m_stopTaken;
    PairCount m_pairs;
};

}  // namespace tarvel
