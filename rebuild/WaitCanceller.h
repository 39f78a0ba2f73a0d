// Ends a server call that keeps a stop from taking effect. A run looks for
// stop signals between lines; a call that waits (for a row another
// transaction holds, a slow statement, or a server that no longer answers)
// would hold the stop back for as long as it waits. While a WaitCanceller
// exists, a thread of its own looks for a stop signal that the run has not
// taken within kGrace, and then has the running call cancelled, again every
// kRepeat while the signal stays untaken. A cancel travels on the
// connection itself, so it never arrives over a network that has gone
// silent: when the signal is still untaken kAbortAfter after the first
// cancel, the connection is ended from the client's side, which frees the
// call at once. Should even that leave the call waiting, the process ends
// kExitAfter later with the stop's exit status (the server undoes what the
// run left uncommitted when it notices).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
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
    // stopPending: the stop signal that waits to be taken, 0 when none, asked
    // from the watching thread; cancel: hands a request of sqldriver::cancelopt
    // to the connection, called from that thread and from settle(); endProcess:
    // ends the process as the signal given would (by default at once, with
    // 128 + the signal), from the watching thread.
    WaitCanceller(std::function<int()> stopPending, std::function<void(std::int32_t)> cancel,
                  std::function<void(int)> endProcess = {});
    ~WaitCanceller();  // ends the watching thread and waits for it
    WaitCanceller(const WaitCanceller&) = delete;
    WaitCanceller& operator=(const WaitCanceller&) = delete;

    // Once the run has taken a stop, from the run's thread: nothing is
    // cancelled any more, and a cancel the server may have kept (one that
    // arrived as its call was ending) is dropped, so that it cannot fail the
    // commit of the lines the run finished. Returns once no cancel is on its
    // way; calling it again does nothing.
    void settle();

    static constexpr std::chrono::milliseconds kGrace{250};
    static constexpr std::chrono::milliseconds kRepeat{250};
    static constexpr std::chrono::milliseconds kAbortAfter{2000};
    static constexpr std::chrono::milliseconds kExitAfter{2000};
    static constexpr std::chrono::milliseconds kLookEvery{50};

private:
    void watch();

    std::function<int()> m_stopPending;
    std::function<void(std::int32_t)> m_cancel;
    std::function<void(int)> m_endProcess;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_ending = false;
    bool m_settled = false;
    std::thread m_thread;  // last: started once everything it reads is set; takes no signal
};

}  // namespace tarvel
