#include "DelayProxy.h"

#include <poll.h>
#include <sys/signalfd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "ProxySocket.h"

namespace bench {

namespace {

using Clock = RelayLink::Clock;

timespec timeoutUntil(Clock::time_point due, Clock::time_point now) {
    const auto wait =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::max(due - now, Clock::duration(0)));
    return {static_cast<time_t>(wait.count() / 1'000'000'000),
            static_cast<long>(wait.count() % 1'000'000'000)};
}

}  // namespace

DelayProxy::DelayProxy(const sockaddr_in& listen, const sockaddr_in& target, std::chrono::nanoseconds oneWay,
                       int loseCommitAnswer)
    : m_listener(listenAt(listen)),
      m_target(target),
      m_oneWay(std::chrono::duration_cast<Clock::duration>(oneWay)),
      m_port(boundPort(m_listener)) {
    m_trap.lose = loseCommitAnswer;
}

void DelayProxy::run(const FileDescriptor& signals, const Reporter& report) {
    std::vector<pollfd> watched;
    for (;;) {
        // The links' sockets first, two per link, then the listener and the
        // signals: sockets are read before a signal is taken, so that a
        // report asked for after a client's last write includes it.
        watched.clear();
        std::optional<Clock::time_point> due;
        for (const auto& link : m_links) {
            watched.push_back(link->clientPoll());
            watched.push_back(link->serverPoll());
            if (const auto next = link->nextDue(); next && (!due || *next < *due)) due = next;
        }
        watched.push_back({m_listener.get(), POLLIN, 0});
        watched.push_back({signals.get(), POLLIN, 0});
        std::optional<timespec> timeout;
        if (due) timeout = timeoutUntil(*due, Clock::now());
        if (::ppoll(watched.data(), watched.size(), timeout ? &*timeout : nullptr, nullptr) < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error(std::string("ppoll: ") + std::strerror(errno));
        }
        const Clock::time_point now = Clock::now();
        const std::size_t linkCount = m_links.size();
        for (std::size_t i = 0; i < linkCount; ++i) {
            m_links[i]->onClientEvents(watched[2 * i].revents, now);
            m_links[i]->onServerEvents(watched[2 * i + 1].revents, now);
        }
        if (watched[2 * linkCount].revents & POLLIN) acceptAll();
        for (const auto& link : m_links) link->flush(now);
        std::erase_if(m_links, [](const auto& link) { return link->finished(); });
        if ((watched[2 * linkCount + 1].revents & POLLIN) && takeSignals(signals, report)) return;
    }
}

void DelayProxy::acceptAll() {
    for (FileDescriptor client = acceptPending(m_listener); client.valid();
         client = acceptPending(m_listener)) {
        ++m_counts.connections;
        FileDescriptor server = startConnect(m_target);
        if (!server.valid()) {
            // The target refused at once: the client learns it the same way.
            resetConnection(client);
            continue;
        }
        m_links.push_back(
            std::make_unique<RelayLink>(std::move(client), std::move(server), m_oneWay, m_counts, &m_trap));
    }
}

bool DelayProxy::takeSignals(const FileDescriptor& signals, const Reporter& report) {
    signalfd_siginfo info{};
    bool stop = false;
    while (::read(signals.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        switch (info.ssi_signo) {
            case SIGUSR2:
                for (const auto& link : m_links) link->dropClient();
                report(m_counts);
                break;
            case SIGUSR1:
                report(m_counts);
                break;
            default:
                stop = true;
                break;
        }
    }
    if (stop) report(m_counts);
    return stop;
}

}  // namespace bench
