#include "TerminationSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "Error.h"

namespace tarvel {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

volatile std::sig_atomic_t receivedSignal = 0;
int wakeUpPipe[2] = {-1, -1};
bool installed = false;

// Only async-signal-safe work: note the signal, wake the event loop.
extern "C" void onTerminationSignal(int signal) {
    const int savedErrno = errno;
    if (receivedSignal == 0) receivedSignal = signal;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeUpPipe[1], &byte, 1);
    errno = savedErrno;
}

void installHandlers() {
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int signal : kSignals) sigaddset(&action.sa_mask, signal);
    for (int signal : kSignals) ::sigaction(signal, &action, nullptr);
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (::pipe2(wakeUpPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        throw Error(std::string("Cannot watch for termination signals: ") + std::strerror(errno));
    }
    receivedSignal = 0;
    m_notifier = new QSocketNotifier(wakeUpPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::onPipeReadable);
    installHandlers();
    installed = true;
}

TerminationSignals::~TerminationSignals() {
    installed = false;
    for (int signal : kSignals) std::signal(signal, SIG_DFL);
    delete m_notifier;
    ::close(wakeUpPipe[0]);
    ::close(wakeUpPipe[1]);
    wakeUpPipe[0] = wakeUpPipe[1] = -1;
    receivedSignal = 0;
}

void TerminationSignals::reinstall() {
    if (installed) installHandlers();
}

int TerminationSignals::received() { return receivedSignal; }

void TerminationSignals::onPipeReadable() {
    char bytes[16];
    while (::read(wakeUpPipe[0], bytes, sizeof bytes) > 0) {
    }
    // Ends every event loop that runs, a modal box's included.
    QCoreApplication::exit(exitCodeFor(receivedSignal));
}

}  // namespace tarvel
