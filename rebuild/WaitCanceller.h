// Ends a server call that keeps a stop from taking effect. A run looks for
// stop signals between lines; a call that waits (for a row another
// transaction holds, or a slow statement) would hold the stop back for as
// long as it waits. While a WaitCanceller exists, a thread of its own looks
// for a stop signal that the run has not taken within kGrace, and then has
// the running call cancelled, again every kRepeat while the signal stays
// untaken (a cancel that finds no call running is dropped by the server).
// The cancelled call fails, and the run ends as a stop between lines ends.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace tarvel {

// Starts a thread that has every signal blocked from its first instruction:
// it is created while the calling thread blocks them all (its mask is given
// back at once). A thread that blocked them itself, once running, could still
// be handed a process-wide signal in between, and with it run the client
// library's handler, which shuts every attachment down.
std::thread threadWithSignalsBlocked(std::function<void()> body);

class WaitCanceller {
public:
    // stopPending: whether a stop signal waits to be taken, asked from the
    // watching thread; cancel: cancels the call running on the connection,
    // called from that thread.
    WaitCanceller(std::function<bool()> stopPending, std::function<void()> cancel);
    ~WaitCanceller();  // ends the watching thread and waits for it
    WaitCanceller(const WaitCanceller&) = delete;
    WaitCanceller& operator=(const WaitCanceller&) = delete;

    static constexpr std::chrono::milliseconds kGrace{250};
    static constexpr std::chrono::milliseconds kRepeat{250};
    static constexpr std::chrono::milliseconds kLookEvery{50};

private:
    void watch();

    std::function<bool()> m_stopPending;
    std::function<void()> m_cancel;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_ending = false;
    std::thread m_thread;  // last: started once everything it reads is set; takes no signal
};

}  // namespace tarvel
