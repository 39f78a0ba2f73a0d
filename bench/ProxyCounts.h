// What the delay proxy counted since it started, as it reports it: one line
//   counts connections=N round_trips=N bytes_to_server=N bytes_to_client=N client_resets=N
// A round trip is a message from a client to the server that follows an
// answer: on each connection, bytes from the client count as a new round trip
// when the last bytes seen on that connection came from the server, or when
// they are the first.
#pragma once

#include <cstdint>
#include <string>

namespace bench {

struct ProxyCounts {
    std::int64_t connections = 0;  // client connections accepted
    std::int64_t roundTrips = 0;   // see above
    std::int64_t bytesToServer = 0;
    std::int64_t bytesToClient = 0;
    std::int64_t clientResets = 0;  // client sides reset on request (SIGUSR2)

    bool operator==(const ProxyCounts&) const = default;
    // What was counted between `earlier` and this report.
    ProxyCounts since(const ProxyCounts& earlier) const;
};

// The report line, without its line end.
std::string formatCounts(const ProxyCounts& counts);
// Reads a report line; throws std::runtime_error on anything else.
ProxyCounts parseCounts(const std::string& line);

}  // namespace bench
