#include "StopSignals.h"

#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "Error.h"

namespace tarvel {

StopSignals::StopSignals() {
    sigemptyset(&m_stopSet);
    sigaddset(&m_stopSet, SIGINT);
    sigaddset(&m_stopSet, SIGTERM);
    sigaddset(&m_stopSet, SIGHUP);
    sigemptyset(&m_previous);
}

StopSignals::~StopSignals() {
    if (m_descriptor < 0) return;
    ::close(m_descriptor);
    pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
}

void StopSignals::block() {
    if (m_descriptor >= 0) return;
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
    signalfd_siginfo info{};
    ssize_t got;
    do {
        got = ::read(m_descriptor, &info, sizeof info);
    } while (got < 0 && errno == EINTR);
    return got == static_cast<ssize_t>(sizeof info) ? static_cast<int>(info.ssi_signo) : 0;
}

}  // namespace tarvel
