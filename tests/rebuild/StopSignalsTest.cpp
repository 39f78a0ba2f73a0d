// The stop signals held back and taken by the program when it is ready: sent
// to the thread or to the whole process, each is taken once, the descriptor
// tells an event loop when one waits, and the mask is given back at the end.
#include <gtest/gtest.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "SqlDriver.h"
#include "StopSignals.h"
#include "WaitCanceller.h"

namespace tarvel {
namespace {

bool readable(int descriptor) {
    pollfd watched{descriptor, POLLIN, 0};
    return ::poll(&watched, 1, 0) == 1 && (watched.revents & POLLIN);
}

bool blockedNow(int signal) {
    sigset_t mask;
    pthread_sigmask(SIG_SETMASK, nullptr, &mask);
    return sigismember(&mask, signal) == 1;
}

TEST(StopSignals, EachSignalIsTakenOnceWhereverItWasSent) {
    struct Case {
        int signal;
        bool toProcess;  // kill(getpid()) rather than raise()
    };
    const Case cases[] = {{SIGTERM, false}, {SIGINT, false}, {SIGHUP, false},
                          {SIGTERM, true},  {SIGINT, true},  {SIGHUP, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.signal) + (c.toProcess ? " to the process" : " to the thread"));
        StopSignals stops;
        EXPECT_EQ(stops.descriptor(), -1);
        EXPECT_EQ(stops.takePending(), 0);
        stops.block();
        ASSERT_TRUE(stops.blocked());
        EXPECT_FALSE(readable(stops.descriptor()));
        EXPECT_EQ(stops.takePending(), 0);
        // Held back: the test process is still here to look.
        ASSERT_EQ(c.toProcess ? ::kill(::getpid(), c.signal) : std::raise(c.signal), 0);
        EXPECT_TRUE(readable(stops.descriptor()));
        EXPECT_EQ(stops.takePending(), c.signal);
        EXPECT_EQ(stops.takePending(), 0) << "taken once";
        EXPECT_FALSE(readable(stops.descriptor()));
    }
}

// Started with a stop signal ignored (nohup, a background job): it stays
// ignored, and still never reaches a handler installed since.
TEST(StopSignals, ASignalIgnoredAtStartStaysIgnored) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction before {};
    ASSERT_EQ(sigaction(SIGHUP, &ignore, &before), 0);
    {
        StopSignals stops;
        stops.block();
        struct sigaction handler {};
        handler.sa_handler = [](int) { std::abort(); };  // as a client library's would
        sigaction(SIGHUP, &handler, nullptr);
        ASSERT_EQ(std::raise(SIGHUP), 0);
        ASSERT_EQ(std::raise(SIGTERM), 0);
        EXPECT_EQ(stops.takePending(), SIGTERM) << "the ignored one is passed over";
        EXPECT_EQ(stops.takePending(), 0);
        ASSERT_EQ(std::raise(SIGHUP), 0);
    }  // the mask given back with SIGHUP pending: the handler must not run
    sigaction(SIGHUP, &before, nullptr);
}

TEST(StopSignals, PollingAsksTheSystemOncePerIntervalAndLosesNothing) {
    StopSignals stops;
    EXPECT_EQ(stops.pollPending(), 0) << "nothing blocked, nothing to take";
    stops.block();
    EXPECT_EQ(stops.pollPending(), 0);
    ASSERT_EQ(std::raise(SIGINT), 0);
    // Asked just now: the signal waits for the next interval.
    EXPECT_EQ(stops.pollPending(), 0);
    EXPECT_TRUE(readable(stops.descriptor()));
    std::this_thread::sleep_for(StopSignals::kPollInterval + std::chrono::milliseconds(2));
    EXPECT_EQ(stops.pollPending(), SIGINT);
    std::this_thread::sleep_for(StopSignals::kPollInterval + std::chrono::milliseconds(2));
    EXPECT_EQ(stops.pollPending(), 0) << "taken once";
}

TEST(StopSignals, TheMaskFoundAtBlockIsGivenBack) {
    for (const bool blockedBefore : {false, true}) {
        SCOPED_TRACE(blockedBefore ? "SIGHUP blocked before" : "nothing blocked before");
        sigset_t hangUp;
        sigemptyset(&hangUp);
        sigaddset(&hangUp, SIGHUP);
        sigset_t original;
        pthread_sigmask(blockedBefore ? SIG_BLOCK : SIG_UNBLOCK, &hangUp, &original);
        {
            StopSignals stops;
            stops.block();
            stops.block();  // a second call changes nothing
            EXPECT_TRUE(blockedNow(SIGTERM));
            EXPECT_TRUE(blockedNow(SIGINT));
            EXPECT_TRUE(blockedNow(SIGHUP));
        }
        EXPECT_FALSE(blockedNow(SIGTERM));
        EXPECT_FALSE(blockedNow(SIGINT));
        EXPECT_EQ(blockedNow(SIGHUP), blockedBefore);
        pthread_sigmask(SIG_SETMASK, &original, nullptr);
    }
    EXPECT_EQ(StopSignals::exitCodeFor(SIGTERM), 143);
    EXPECT_EQ(StopSignals::exitCodeFor(SIGINT), 130);
}

// The watching thread of a run is started before the run blocks the stop
// signals; were it to block them only once running, a stop sent meanwhile
// could land on it and run the client library's shutdown handler.
TEST(StopSignals, AThreadForTheRunTakesNoSignalFromItsFirstInstruction) {
    sigset_t stops;
    sigemptyset(&stops);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&stops, signal);
    sigset_t original;
    pthread_sigmask(SIG_UNBLOCK, &stops, &original);
    bool startedBlocked = false;
    std::thread watcher = threadWithSignalsBlocked(
        [&] { startedBlocked = blockedNow(SIGTERM) && blockedNow(SIGINT) && blockedNow(SIGHUP); });
    watcher.join();
    EXPECT_TRUE(startedBlocked);
    EXPECT_FALSE(blockedNow(SIGTERM)) << "the creator's mask is given back";
    pthread_sigmask(SIG_SETMASK, &original, nullptr);
}

// What the watching thread asks of the connection while a stop signal stays
// untaken for a while, then once the run has taken it.
TEST(WaitCanceller, CancelsThenEndsTheConnectionThenTheProcessWhileAStopStaysUntaken) {
    using Clock = std::chrono::steady_clock;
    using std::chrono::milliseconds;
    namespace cancelopt = sqldriver::cancelopt;
    struct Case {
        milliseconds untaken;  // how long the signal waits before the run takes it
        bool settle;           // the run then settles the canceller (it took the stop)
        bool raised;           // at least one Raise
        int aborts;
        bool ended;  // the process was to end with the signal
    };
    const Case cases[] = {
        {milliseconds(100), false, false, 0, false},  // taken within the grace: nothing to cancel
        {milliseconds(1200), false, true, 0, false}, {milliseconds(3300), false, true, 1, false},
        {milliseconds(5500), false, true, 1, true},  {milliseconds(800), true, true, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.untaken.count());
        std::atomic<int> pending{0};
        std::mutex lock;
        std::vector<std::pair<std::int32_t, Clock::duration>> requests;
        std::atomic<int> endedWith{0};
        Clock::time_point sent;
        {
            WaitCanceller canceller([&] { return pending.load(); },
                                    [&](std::int32_t request) {
                                        std::lock_guard hold(lock);
                                        requests.emplace_back(request, Clock::now() - sent);
                                    },
                                    [&](int signal) { endedWith = signal; });
            sent = Clock::now();
            pending = SIGTERM;
            std::this_thread::sleep_for(c.untaken);
            if (c.settle) {
                // The run takes the signal, then settles: a later one changes nothing.
                pending = 0;
                canceller.settle();
                canceller.settle();
                pending = SIGINT;
                std::this_thread::sleep_for(WaitCanceller::kGrace + WaitCanceller::kRepeat * 2);
            }
            pending = 0;
        }
        std::lock_guard hold(lock);
        const auto count = [&](std::int32_t request) {
            return std::count_if(requests.begin(), requests.end(),
                                 [&](const auto& r) { return r.first == request; });
        };
        EXPECT_EQ(count(cancelopt::Raise) > 0, c.raised);
        EXPECT_EQ(count(cancelopt::Abort), c.aborts);
        EXPECT_EQ(endedWith.load(), c.ended ? SIGTERM : 0);
        EXPECT_EQ(count(cancelopt::Disable), c.settle ? 1 : 0);
        EXPECT_EQ(count(cancelopt::Enable), c.settle ? 1 : 0);
        bool aborted = false;
        for (const auto& [request, at] : requests) {
            if (request == cancelopt::Raise) {
                EXPECT_GE(at, WaitCanceller::kGrace) << "a cancel before the grace is over";
                EXPECT_FALSE(aborted) << "a cancel after the connection was ended";
            }
            if (request == cancelopt::Abort) {
                EXPECT_GE(at, WaitCanceller::kGrace + WaitCanceller::kAbortAfter);
                aborted = true;
            }
        }
        if (c.settle) {
            ASSERT_GE(requests.size(), 2u);
            EXPECT_EQ(requests[requests.size() - 2].first, cancelopt::Disable)
                << "settling ends the requests";
            EXPECT_EQ(requests.back().first, cancelopt::Enable);
        }
    }
}

}  // namespace
}  // namespace tarvel
