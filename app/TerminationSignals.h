// SIGTERM, SIGINT and SIGHUP end the window program cleanly. They are held
// back (StopSignals, blocked before the application starts any thread); the
// event loop watches their descriptor and then ends with exit code 128 + the
// signal, after which the window closes its connection as at any other end.
// A run in progress does not enter the event loop: the window asks received()
// at the run's next progress step and ends the run there with the silent
// abort error: the lines it wrote are kept and no pair is left half
// written.
#pragma once

#include <QObject>
#include <functional>

#include "StopSignals.h"

class QSocketNotifier;

namespace tarvel {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // Blocks `stops` if it is not yet and watches it; one object at a time.
    explicit TerminationSignals(StopSignals& stops, QObject* parent = nullptr);
    // Drops stop signals still pending (the program is ending anyway) and
    // forgets a received one.
    ~TerminationSignals() override;

    // The first stop signal received while an object exists, taking one that
    // is pending (looked for at most once per StopSignals::kPollInterval, as
    // a run asks at every line); 0 when none.
    static int received();
    // The same, asking the system now.
    static int receivedNow();
    // The stop signal that waits to be taken, 0 when none; from any thread.
    static int pendingNow();
    // Runs `taken` (on the taking thread) once a stop signal has been taken,
    // as long as it stays set; an empty function ends that.
    static void whenTaken(std::function<void()> taken);

private:
    void onReadable();
    // now: ask the system; else at most once per StopSignals::kPollInterval.
    int takeAndRemember(bool now);

    StopSignals& m_stops;
    QSocketNotifier* m_notifier = nullptr;
    int m_received = 0;
};

}  // namespace tarvel
