// SIGTERM, SIGINT and SIGHUP end the program cleanly. The handler only notes
// the signal and writes a byte into a pipe; the event loop watches the pipe and
// then ends with exit code 128 + the signal, after which the window closes its
// connection as at any other end. A run in progress does not enter the event
// loop: the window notices the signal at the run's next progress step and
// ends the run there with the silent abort error, so its open transaction is
// rolled back and nothing is half applied.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace tarvel {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers and watches the pipe; one object at a time.
    explicit TerminationSignals(QObject* parent = nullptr);
    // Puts the default handlers back and forgets a received signal.
    ~TerminationSignals() override;

    // Installs the handlers again while an object exists; nothing otherwise.
    // The database client library puts its own in place when it attaches,
    // and those would end the program behind its back.
    static void reinstall();
    // The first signal received while installed; 0 when none.
    static int received();
    // The exit code for a program ended by that signal.
    static int exitCodeFor(int signal) { return 128 + signal; }

private:
    void onPipeReadable();

    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace tarvel
