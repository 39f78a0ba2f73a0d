#include "WaitCanceller.h"

#include <pthread.h>
#include <signal.h>

#include <cstdlib>

#include "SqlDriver.h"
#include "StopSignals.h"

namespace tarvel {

namespace {

// Blocks every signal in the calling thread until its end, then gives the
// mask found back.
class AllSignalsBlocked {
public:
    AllSignalsBlocked() {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &m_previous);
    }
    ~AllSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }
    AllSignalsBlocked(const AllSignalsBlocked&) = delete;
    AllSignalsBlocked& operator=(const AllSignalsBlocked&) = delete;

private:
    sigset_t m_previous;
};

void endAsStopped(int signal) { std::_Exit(StopSignals::exitCodeFor(signal)); }

}  // namespace

std::thread threadWithSignalsBlocked(std::function<void()> body) {
    // A new thread starts with its creator's mask.
    AllSignalsBlocked blocked;
    return std::thread(std::move(body));
}

WaitCanceller::WaitCanceller(std::function<int()> stopPending, std::function<void(std::int32_t)> cancel,
                             std::function<void(int)> endProcess)
    : m_stopPending(std::move(stopPending)),
      m_cancel(std::move(cancel)),
      m_endProcess(endProcess ? std::move(endProcess) : std::function<void(int)>(&endAsStopped)),
      m_thread(threadWithSignalsBlocked([this] { watch(); })) {}

WaitCanceller::~WaitCanceller() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_ending = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void WaitCanceller::settle() {
    // The watching thread cancels only while holding the lock: once it is
    // ours, nothing more is on its way.
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_settled) return;
    m_settled = true;
    // Switching cancelling off drops a cancel kept for the next call.
    m_cancel(sqldriver::cancelopt::Disable);
    m_cancel(sqldriver::cancelopt::Enable);
}

void WaitCanceller::watch() {
    // No signal is ever handled on this thread (it has them all blocked): a
    // stop signal is the run's to take, and one the run has not blocked yet
    // must keep its default effect on the thread that has it unblocked.
    using Clock = std::chrono::steady_clock;
    bool pending = false;
    bool cancelled = false;
    bool aborted = false;
    Clock::time_point nextCancel{};
    Clock::time_point firstCancel{};
    Clock::time_point abortedAt{};
    std::unique_lock<std::mutex> hold(m_lock);
    while (!m_wake.wait_for(hold, kLookEvery, [this] { return m_ending; })) {
        if (m_settled) continue;
        const int signal = m_stopPending();
        if (signal == 0) {
            pending = false;
            continue;
        }
        const Clock::time_point now = Clock::now();
        if (!pending) {
            pending = true;
            cancelled = false;
            aborted = false;
            nextCancel = now + kGrace;
        }
        if (aborted) {
            if (now >= abortedAt + kExitAfter) m_endProcess(signal);
            continue;
        }
        if (cancelled && now >= firstCancel + kAbortAfter) {
            m_cancel(sqldriver::cancelopt::Abort);
            aborted = true;
            abortedAt = now;
            continue;
        }
        if (now >= nextCancel) {
            m_cancel(sqldriver::cancelopt::Raise);
            if (!cancelled) firstCancel = now;
            cancelled = true;
            nextCancel = now + kRepeat;
        }
    }
}

}  // namespace tarvel
