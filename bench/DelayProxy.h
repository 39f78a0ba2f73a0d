// A TCP relay that holds every byte for a fixed time in each direction, as a
// network with that round-trip time would: each accepted connection gets a
// connection of its own to the target, and the proxy counts the round trips
// and bytes that pass (ProxyCounts). One thread; it waits in ppoll until a
// socket is ready, a signal arrives or the next held chunk falls due.
#pragma once

#include <netinet/in.h>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "FileDescriptor.h"
#include "ProxyCounts.h"
#include "RelayLink.h"

namespace bench {

class DelayProxy {
public:
    using Reporter = std::function<void(const ProxyCounts&)>;

    // Listens at `listen` (port 0: a free port) and relays to `target`, each
    // byte `oneWay` after it arrived. loseCommitAnswer: the commit (counted
    // from 1 over every connection) whose client is dropped once it has left
    // for the server (RelayLink::CommitTrap); 0 none.
    DelayProxy(const sockaddr_in& listen, const sockaddr_in& target, std::chrono::nanoseconds oneWay,
               int loseCommitAnswer = 0);

    int port() const { return m_port; }

    // Relays until SIGTERM or SIGINT shows on `signals` (a signalfd taking
    // SIGUSR1, SIGUSR2, SIGTERM and SIGINT). SIGUSR1 reports the counts;
    // SIGUSR2 drops the client side of every connection (RelayLink::dropClient)
    // and reports; a stop reports and returns. Every report covers all the
    // traffic read before the signal was taken.
    void run(const FileDescriptor& signals, const Reporter& report);

private:
    void acceptAll();
    // True when the proxy must stop.
    bool takeSignals(const FileDescriptor& signals, const Reporter& report);

    FileDescriptor m_listener;
    sockaddr_in m_target;
    RelayLink::Clock::duration m_oneWay;
    int m_port = 0;
    ProxyCounts m_counts;
    RelayLink::CommitTrap m_trap;
    std::vector<std::unique_ptr<RelayLink>> m_links;
};

}  // namespace bench
