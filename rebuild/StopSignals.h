// SIGINT, SIGTERM and SIGHUP, the signals that ask the program to stop: held
// back from block() on and taken when the program is ready for them, so that a
// stop ends a rebuild through the normal error path (the lines it wrote
// kept, no pair half written) rather than in the client library's own handlers, which tear
// the attachments down from another thread. Blocked before the first
// attachment (the window blocks them before it starts any thread), they stay
// blocked in every thread started later, the client library's included, so
// no handler of anyone's ever runs for them. A descriptor becomes readable
// while one is pending, for an event loop to watch.
#pragma once

#include <signal.h>

#include <chrono>

namespace tarvel {

class StopSignals {
public:
    StopSignals();
    // Restores the signal mask found at block(): a stop signal still pending
    // then takes its default effect.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Holds the stop signals back in this thread (and the threads it starts)
    // from now on; throws Error when the descriptor cannot be made.
    void block();
    bool blocked() const { return m_descriptor >= 0; }
    // Readable while a stop signal is pending; -1 before block().
    int descriptor() const { return m_descriptor; }
    // A stop signal that arrived since block(), taken off the queue; 0 when
    // none. Signals that were ignored when the object was made are dropped.
    int takePending();
    // takePending(), asked of the system at most once per kPollInterval; in
    // between, 0. A run calls it for every line: the check is then a clock
    // read rather than a system call (which costs microseconds on a virtual
    // machine), and a stop still takes effect within the interval.
    int pollPending();
    // Takes every stop signal pending now and forgets them.
    void discardPending();
    // A stop signal not ignored at start that waits to be taken (0 when none),
    // left waiting; safe from any thread.
    int pendingNow() const;
    static constexpr std::chrono::milliseconds kPollInterval{10};

    // The exit status of a program ended by a stop signal, as a shell reports
    // a process killed by it.
    static int exitCodeFor(int signal) { return 128 + signal; }

private:
    sigset_t m_stopSet;
    sigset_t m_previous;
    sigset_t m_ignored;  // stop signals ignored when the object was made: never taken
    int m_descriptor = -1;
    std::chrono::steady_clock::time_point m_nextPoll{};
};

}  // namespace tarvel
