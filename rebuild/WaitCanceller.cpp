#include "WaitCanceller.h"

#include <signal.h>

namespace tarvel {

WaitCanceller::WaitCanceller(std::function<bool()> stopPending, std::function<void()> cancel)
    : m_stopPending(std::move(stopPending)), m_cancel(std::move(cancel)), m_thread([this] { watch(); }) {}

WaitCanceller::~WaitCanceller() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_ending = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void WaitCanceller::watch() {
    // No signal is ever handled on this thread: a stop signal is the run's to
    // take, and one the run has not blocked yet must keep its default effect
    // on the thread that has it unblocked.
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);

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
