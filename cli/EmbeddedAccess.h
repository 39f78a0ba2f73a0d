// What a database opened in this process (a bare path) needs of the file
// system: the database file readable and writable, its folder searchable, and
// the engine's lock folder (FIREBIRD_LOCK, else /tmp/firebird) usable, or
// creatable where it is missing. On a Debian system the file, its folder and
// the lock folder belong to the group firebird; the hint names the group.
#pragma once

#include <string>
#include <vector>

namespace tarvel {

struct EmbeddedAccess {
    std::vector<std::string> lines;  // one line per path: owner, group, mode, and what this user may do
    bool usable = true;
    std::string hint;    // when not usable: which group to join, which paths
    bool alias = false;  // a bare name that is no file here (databases.conf may name it)
};

// Looks at the paths `database` (a bare path) needs, as this process's user.
EmbeddedAccess embeddedAccess(const std::string& database);

// The server through which the driver opens `database` given the HostName
// and Server Port settings ("host", "host/port", or the "host:port" of an
// "inet://host:port/path"), or empty for a path opened in this process.
std::string serverOf(const std::string& database, const std::string& hostName, const std::string& port);

}  // namespace tarvel
