#include "EmbeddedAccess.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "AccountNames.h"

namespace tarvel {

namespace {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// One path: what it is, who owns it, and whether this user has `needed`
// (access() bits). Returns false when the need is not met.
bool lookAt(EmbeddedAccess& report, std::vector<std::string>& groups, const char* role,
            const std::string& path, int needed, const char* neededText) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        report.lines.push_back(std::string(role) + " " + path + ": " + std::strerror(errno));
        return false;
    }
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 07777));
    const bool allowed = ::access(path.c_str(), needed) == 0;
    report.lines.push_back(std::string(role) + " " + path + ": " + userName(status.st_uid) + ":" +
                           groupName(status.st_gid) + " " + mode + ", " + neededText +
                           " for this user: " + (allowed ? "yes" : "no"));
    if (!allowed) groups.push_back(groupName(status.st_gid) + " (" + path + ")");
    return allowed;
}

}  // namespace

std::string serverOf(const std::string& database, const std::string& hostName, const std::string& port) {
    // The driver's rules (attachTarget, firebird/ConnectionOptions.cpp; the
    // driver is a library of its own, so the two must change together): a text
    // that names no host goes to HostName when that is set; a host given
    // without a port gets the Server Port setting.
    const bool namesHost = !database.empty() && database[0] != '/' && database.find(':') != std::string::npos;
    if (!namesHost) return hostName.empty() || port.empty() ? hostName : hostName + "/" + port;
    // "inet://host:port/path": the part between "//" and the next '/'.
    if (const std::size_t scheme = database.find("://"); scheme != std::string::npos) {
        const std::size_t start = scheme + 3;
        return database.substr(start, database.find('/', start) - start);
    }
    // "host:path", "host/port:path", "[IPv6 address]/port:path".
    const std::size_t colon = database.find(':', database[0] == '[' ? database.find(']') : 0);
    const std::string host = database.substr(0, colon);
    return port.empty() || host.find('/') != std::string::npos ? host : host + "/" + port;
}

EmbeddedAccess embeddedAccess(const std::string& database) {
    EmbeddedAccess report;
    std::vector<std::string> groups;
    bool usable = true;
    struct stat status {};
    if (database.find('/') == std::string::npos && ::stat(database.c_str(), &status) != 0) {
        // A bare name that is no file here may be an alias the engine looks
        // up in databases.conf; opening it tells.
        report.alias = true;
        report.lines.push_back("database " + database + ": no such file here, so looked up as an alias");
    } else {
        usable = lookAt(report, groups, "database file", database, R_OK | W_OK, "read and write");
        usable = lookAt(report, groups, "its folder", folderOf(database), X_OK, "search") && usable;
    }
    const char* lockSetting = std::getenv("FIREBIRD_LOCK");
    const std::string lockFolder = lockSetting && *lockSetting ? lockSetting : "/tmp/firebird";
    if (::stat(lockFolder.c_str(), &status) == 0) {
        usable =
            lookAt(report, groups, "lock folder", lockFolder, R_OK | W_OK | X_OK, "read, write and search") &&
            usable;
    } else {
        usable = lookAt(report, groups, "lock folder missing; its parent", folderOf(lockFolder), W_OK | X_OK,
                        "create") &&
                 usable;
    }
    report.usable = usable;
    if (!usable && !groups.empty()) {
        std::string named;
        for (const std::string& group : groups) named += (named.empty() ? "" : ", ") + group;
        report.hint = "this user (" + userName(::geteuid()) + ") lacks access; add it to the group of " +
                      named + " (sudo adduser " + userName(::geteuid()) +
                      " <group>; it takes effect at the next login), or run as a user of that group";
    }
    return report;
}

}  // namespace tarvel
