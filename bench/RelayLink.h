// One connection through the delay proxy: the client's socket, the socket to
// the server opened for it, and the bytes held in each direction. Whatever is
// read from one side is queued for the other, due `oneWay` later; the end of
// a side's stream travels the same way, so a half-closed connection stays
// half-closed. A failure on either side resets both.
#pragma once

#include <poll.h>

#include <chrono>
#include <optional>

#include "DelayQueue.h"
#include "FileDescriptor.h"
#include "ProxyCounts.h"

namespace bench {

class RelayLink {
public:
    using Clock = std::chrono::steady_clock;

    // Commits the clients send, counted over every link of a proxy: the one
    // numbered `lose` (from 1; 0 none) reaches the server, then its client is
    // dropped (dropClient), so the client never learns that it committed. A
    // commit is told by its operation code at the end of what the client
    // sent before waiting for the answer (op_commit 30, op_commit_retaining
    // 50, big-endian); the wire must be unencrypted (WireCrypt disabled on
    // the client) for the code to be readable.
    struct CommitTrap {
        int lose = 0;
        int seen = 0;
    };

    // server: a connection to the target under way (see startConnect);
    // trap: shared by the proxy's links, or null.
    RelayLink(FileDescriptor client, FileDescriptor server, Clock::duration oneWay, ProxyCounts& counts,
              CommitTrap* trap = nullptr);

    // The descriptors to watch and the events to watch them for (-1: closed).
    pollfd clientPoll() const;
    pollfd serverPoll() const;
    // Takes what poll reported on each socket; bytes read at `now` are due at now + oneWay.
    void onClientEvents(short events, Clock::time_point now);
    void onServerEvents(short events, Clock::time_point now);
    // Writes whatever is due at `now`, as far as the sockets take it.
    void flush(Clock::time_point now);
    // The earliest time a queued write falls due on a socket that can take it;
    // nothing when no write is waiting for the clock.
    std::optional<Clock::time_point> nextDue() const;

    // Resets the client's side at once and leaves the server's side open and
    // silent, as a dropped route would: nothing more is sent to the server,
    // what it sends is read and discarded, and what was on its way is lost.
    void dropClient();
    // True when both sides are done with (closed by both peers, failed, or
    // dropped and then closed by the server).
    bool finished() const;

private:
    struct Side {
        FileDescriptor socket;
        DelayQueue outgoing;   // bytes on their way to this side
        bool ended = false;    // this side's peer ended its stream
        bool shut = false;     // the other side's end was passed on to this one
        bool blocked = false;  // the socket took no more; waiting to be writable
    };
    enum class Direction { None, ToServer, ToClient };

    static constexpr std::size_t kHeldLimit = 4 << 20;  // stop reading while this much waits

    void readFrom(Side& from, Side& to, Direction direction, Clock::time_point now);
    void writeTo(Side& to, Clock::time_point now);
    void abort();
    bool canWrite(const Side& side) const;

    Side m_client;
    Side m_server;
    Clock::duration m_oneWay;
    ProxyCounts& m_counts;
    CommitTrap* m_trap;
    bool m_dropOnceSent = false;  // the trapped commit is on its way to the server
    Direction m_last = Direction::None;
    bool m_connecting = true;
    bool m_dropped = false;
};

}  // namespace bench
