// Bounds how long a TCP attachment waits for a server that has gone silent.
// The client library waits for an answer without any time-out; a connection
// dropped without a reset (a NAT, a VPN or a firewall losing its state) would
// hold the running call for good. The library does not hand out its socket,
// but it is a descriptor of this process like any other: the sockets that an
// attachment made are found by comparing the process's TCP sockets before and
// after it, and given short keep-alive times and a bound on unacknowledged
// data. A live server's system answers the probes whatever its engine does,
// so a slow statement or a long lock wait is never cut.
#pragma once

#include <set>

namespace tarvel::fb {

// The descriptors of this process's connected TCP sockets (IPv4 or IPv6) now.
std::set<int> connectedTcpSockets();

// The keep-alive times for a bound of `seconds` (1 to 3600): the first probe
// after a third of it idle, then one every seventh of it, three in all; data
// or probes unanswered for `seconds` end the connection.
struct SilenceTimes {
    int idle;
    int interval;
    int count;
    unsigned userTimeoutMs;
};
SilenceTimes silenceTimes(int seconds);

// Gives every connected TCP socket not in `before` the times for `seconds`;
// returns how many it set. A socket that refuses an option is left as it is.
int boundSilenceOfNewSockets(const std::set<int>& before, int seconds);

}  // namespace tarvel::fb
