#include "StopSignals.h"

#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>

#include "Error.h"

namespace tarvel {

StopSignals::StopSignals() {
    sigemptyset(&m_stopSet);
    sigaddset(&m_stopSet, SIGINT);
    sigaddset(&m_stopSet, SIGTERM);
    sigaddset(&m_stopSet, SIGHUP);
    sigemptyset(&m_previous);
    // A stop signal the program was started with ignored (nohup, a shell's
    // background job) stays ignored. Read here, before any library of the
    // program installs a handler, and never changed: another thread reads it.
    sigemptyset(&m_ignored);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction found {};
        if (sigaction(signal, nullptr, &found) == 0 && found.sa_handler == SIG_IGN)
            sigaddset(&m_ignored, signal);
    }
}

int StopSignals::pendingNow() const {
    sigset_t pending;
    if (sigpending(&pending) != 0) return 0;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        if (sigismember(&pending, signal) == 1 && sigismember(&m_ignored, signal) != 1) return signal;
    }
    return 0;
}

StopSignals::~StopSignals() {
    if (m_descriptor < 0) return;
    // A signal ignored at start must not reach whatever handler the client
    // library installed since, once the mask is given back.
    const timespec now{0, 0};
    while (sigtimedwait(&m_ignored, nullptr, &now) > 0) {
    }
    ::close(m_descriptor);
    pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
}

void StopSignals::block() {
    if (m_descriptor >= 0) return;
    // Ignored signals are blocked all the same: the client library installs
    // handlers of its own, which must never run.
    const int descriptor = ::signalfd(-1, &m_stopSet, SFD_NONBLOCK | SFD_CLOEXEC);
    if (descriptor < 0) throw Error(std::string("Cannot watch for stop signals: ") + std::strerror(errno));
    pthread_sigmask(SIG_BLOCK, &m_stopSet, &m_previous);
    m_descriptor = descriptor;
}

int StopSignals::pollPending() {
    const auto now = std::chrono::steady_clock::now();
    if (now < m_nextPoll) return 0;
    m_nextPoll = now + kPollInterval;
    return takePending();
}

void StopSignals::discardPending() {
    while (takePending() != 0) {
    }
}

int StopSignals::takePending() {
    if (m_descriptor < 0) return 0;
    // Takes a signal sent to the process or to this thread; never waits.
    for (;;) {
        signalfd_siginfo info{};
        ssize_t got;
        do {
            got = ::read(m_descriptor, &info, sizeof info);
        } while (got < 0 && errno == EINTR);
        if (got != static_cast<ssize_t>(sizeof info)) return 0;
        const int signal = static_cast<int>(info.ssi_signo);
        if (sigismember(&m_ignored, signal) != 1) return signal;
    }
}

}  // namespace tarvel
