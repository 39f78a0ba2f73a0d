#include "StopSignals.h"

#include <pthread.h>

#include <ctime>

namespace tarvel {

StopSignals::StopSignals() {
    sigemptyset(&m_stopSet);
    sigaddset(&m_stopSet, SIGINT);
    sigaddset(&m_stopSet, SIGTERM);
    sigaddset(&m_stopSet, SIGHUP);
    sigemptyset(&m_previous);
}

StopSignals::~StopSignals() {
    if (m_blocked) pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
}

void StopSignals::block() {
    if (m_blocked) return;
    pthread_sigmask(SIG_BLOCK, &m_stopSet, &m_previous);
    m_blocked = true;
}

int StopSignals::takePending() {
    if (!m_blocked) return 0;
    sigset_t pending;
    if (sigpending(&pending) != 0) return 0;
    if (!sigismember(&pending, SIGINT) && !sigismember(&pending, SIGTERM) && !sigismember(&pending, SIGHUP))
        return 0;
    const timespec noWait{0, 0};
    const int signal = sigtimedwait(&m_stopSet, nullptr, &noWait);
    return signal > 0 ? signal : 0;
}

}  // namespace tarvel
