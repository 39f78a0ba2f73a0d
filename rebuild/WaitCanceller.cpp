#include "WaitCanceller.h"

#include <pthread.h>
#include <signal.h>

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

}  // namespace

std::thread threadWithSignalsBlocked(std::function<void()> body) {
    // A new thread starts with its creator's mask.
    AllSignalsBlocked blocked;
    return std::thread(std::move(body));
}

WaitCanceller::WaitCanceller(std::function<bool()> stopPending, std::function<void()> cancel)
    : m_stopPending(std::move(stopPending)),
      m_cancel(std::move(cancel)),
      m_thread(threadWithSignalsBlocked([this] { watch(); })) {}

WaitCanceller::~WaitCanceller() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_ending = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void WaitCanceller::watch() {
    // No signal is ever handled on this thread (it has them all blocked): a
    // stop signal is the run's to take, and one the run has not blocked yet
    // must keep its default effect on the thread that has it unblocked.
    using Clock = std::chrono::steady_clock;
    Clock::time_point seen{};
    Clock::time_point nextCancel{};
    bool pending = false;
    std::unique_lock<std::mutex> hold(m_lock);
    while (!m_wake.wait_for(hold, kLookEvery, [this] { return m_ending; })) {
        if (!m_stopPending()) {
            pending = false;
            continue;
        }
        const Clock::time_point now = Clock::now();
        if (!pending) {
            pending = true;
            seen = now;
            nextCancel = seen + kGrace;
        }
        if (now >= nextCancel) {
            m_cancel();
            nextCancel = now + kRepeat;
        }
    }
}

}  // namespace tarvel
