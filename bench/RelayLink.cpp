#include "RelayLink.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

#include "ProxySocket.h"

namespace bench {

namespace {

// Whether the bytes end with a commit packet: its operation code, then the
// transaction's handle (four bytes each, big-endian).
bool endsWithCommit(std::string_view bytes) {
    if (bytes.size() < 8) return false;
    const std::string_view code = bytes.substr(bytes.size() - 8, 4);
    return code == std::string_view("\0\0\0\x1e", 4) || code == std::string_view("\0\0\0\x32", 4);
}

}  // namespace

RelayLink::RelayLink(FileDescriptor client, FileDescriptor server, Clock::duration oneWay,
                     ProxyCounts& counts, CommitTrap* trap)
    : m_oneWay(oneWay), m_counts(counts), m_trap(trap) {
    m_client.socket = std::move(client);
    m_server.socket = std::move(server);
}

pollfd RelayLink::clientPoll() const {
    // A side whose streams are both over has nothing left to report but a
    // hang-up, which would wake the loop at once, again and again.
    if (m_client.ended && m_client.shut) return {-1, 0, 0};
    short events = 0;
    if (!m_client.ended && m_server.outgoing.bytes() < kHeldLimit) events |= POLLIN;
    if (m_client.blocked) events |= POLLOUT;
    return {m_client.socket.get(), events, 0};
}

pollfd RelayLink::serverPoll() const {
    if (m_server.ended && m_server.shut) return {-1, 0, 0};
    short events = 0;
    if (m_connecting) {
        events = POLLOUT;
    } else {
        if (!m_server.ended && (m_dropped || m_client.outgoing.bytes() < kHeldLimit)) events |= POLLIN;
        if (m_server.blocked) events |= POLLOUT;
    }
    return {m_server.socket.get(), events, 0};
}

void RelayLink::onClientEvents(short events, Clock::time_point now) {
    if (!m_client.socket.valid() || events == 0) return;
    if (events & POLLOUT) m_client.blocked = false;
    // A reset shows as POLLERR; reading then reports it (or the bytes before it).
    if ((events & (POLLIN | POLLHUP | POLLERR)) && !m_client.ended)
        readFrom(m_client, m_server, Direction::ToServer, now);
    else if (events & (POLLHUP | POLLERR))
        abort();  // gone before what was on its way to it could be written
}

void RelayLink::onServerEvents(short events, Clock::time_point now) {
    if (!m_server.socket.valid() || events == 0) return;
    if (m_connecting) {
        if (connectError(m_server.socket) != 0) return abort();
        m_connecting = false;
        return;
    }
    if (events & POLLOUT) m_server.blocked = false;
    if ((events & (POLLIN | POLLHUP | POLLERR)) && !m_server.ended)
        readFrom(m_server, m_client, Direction::ToClient, now);
    else if (events & (POLLHUP | POLLERR))
        abort();
}

void RelayLink::readFrom(Side& from, Side& to, Direction direction, Clock::time_point now) {
    char buffer[64 * 1024];
    const ssize_t count = ::recv(from.socket.get(), buffer, sizeof buffer, MSG_DONTWAIT);
    if (count < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) abort();
        return;
    }
    if (count == 0) {
        from.ended = true;
        if (m_dropped)
            m_server.socket.reset();  // the server let the orphaned attachment go
        else
            to.outgoing.pushEnd(now + m_oneWay);
        return;
    }
    if (m_dropped) return;  // a dropped route: the server's bytes go nowhere
    if (direction == Direction::ToServer) {
        if (m_last != Direction::ToServer) ++m_counts.roundTrips;
        m_counts.bytesToServer += count;
    } else {
        m_counts.bytesToClient += count;
    }
    m_last = direction;
    const std::string_view bytes(buffer, static_cast<std::size_t>(count));
    if (direction == Direction::ToServer && m_trap && m_trap->lose > m_trap->seen && endsWithCommit(bytes) &&
        ++m_trap->seen == m_trap->lose)
        m_dropOnceSent = true;
    to.outgoing.push(bytes, now + m_oneWay);
}

bool RelayLink::canWrite(const Side& side) const {
    if (!side.socket.valid() || side.blocked || m_dropped) return false;
    return &side != &m_server || !m_connecting;
}

void RelayLink::flush(Clock::time_point now) {
    writeTo(m_client, now);
    writeTo(m_server, now);
    if (m_dropOnceSent && m_server.outgoing.bytes() == 0) {
        // The commit left for the server; its answer goes nowhere.
        m_dropOnceSent = false;
        dropClient();
    }
    if (m_client.shut && m_server.shut) {
        m_client.socket.reset();
        m_server.socket.reset();
    }
}

void RelayLink::writeTo(Side& to, Clock::time_point now) {
    if (!canWrite(to)) return;
    for (std::string_view bytes = to.outgoing.dueBytes(now); !bytes.empty();
         bytes = to.outgoing.dueBytes(now)) {
        const ssize_t count =
            ::send(to.socket.get(), bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (count < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                to.blocked = true;
            else if (errno != EINTR)
                abort();
            return;
        }
        to.outgoing.consume(static_cast<std::size_t>(count));
    }
    if (to.outgoing.takeDueEnd(now)) {
        ::shutdown(to.socket.get(), SHUT_WR);
        to.shut = true;
    }
}

std::optional<RelayLink::Clock::time_point> RelayLink::nextDue() const {
    std::optional<Clock::time_point> due;
    for (const Side* side : {&m_client, &m_server}) {
        if (!canWrite(*side)) continue;
        if (const auto next = side->outgoing.nextDue(); next && (!due || *next < *due)) due = next;
    }
    return due;
}

void RelayLink::dropClient() {
    if (m_dropped || !m_client.socket.valid()) return;
    resetConnection(m_client.socket);
    m_client.outgoing.clear();
    m_server.outgoing.clear();
    m_server.blocked = false;
    m_dropped = true;
    ++m_counts.clientResets;
}

void RelayLink::abort() {
    resetConnection(m_client.socket);
    resetConnection(m_server.socket);
}

bool RelayLink::finished() const { return !m_client.socket.valid() && !m_server.socket.valid(); }

}  // namespace bench
