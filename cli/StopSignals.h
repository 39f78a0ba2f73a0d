// SIGINT, SIGTERM and SIGHUP during a rebuild: held back from the moment the
// run is confirmed, and taken between two lines, so that a stop ends the run
// through the normal error path (its open transaction rolled back) rather
// than in the client library's own handlers, which tear the attachments down
// from another thread. Blocking them before the first attachment also keeps
// them blocked in every thread the client library starts.
#pragma once

#include <signal.h>

namespace tarvel {

class StopSignals {
public:
    StopSignals();
    ~StopSignals();  // restores the signal mask found at creation
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Holds the stop signals back from now on.
    void block();
    // A stop signal that arrived since block(), taken off the queue; 0 when none.
    int takePending();

private:
    sigset_t m_stopSet;
    sigset_t m_previous;
    bool m_blocked = false;
};

}  // namespace tarvel
