#include "PasswordFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "AccountNames.h"
#include "Error.h"

namespace tarvel {

namespace {

// A password is one short line; reading stops after this many bytes.
constexpr std::size_t kLongestLine = 4096;

class Descriptor {
public:
    explicit Descriptor(int descriptor) : m_descriptor(descriptor) {}
    ~Descriptor() {
        if (m_descriptor >= 0) ::close(m_descriptor);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_descriptor; }

private:
    int m_descriptor;
};

// What stands between this user and a file it may not read. A password file
// is usually kept for a group (mode 0640, root:tarvel-rebuild): the text then
// names the group to join.
std::string permissionHint(const std::string& path) {
    const std::string user = userName(::geteuid());
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return "; this user (" + user + ") cannot enter its folder";
    const std::string group = groupName(status.st_gid);
    if (status.st_uid != ::geteuid() && (status.st_mode & S_IRGRP) != 0 && !processInGroup(status.st_gid))
        return "; ask for membership in group " + group + " (this user, " + user +
               ", is not in it; a new membership counts from the next login)";
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 07777));
    return "; its owner, group and mode, " + userName(status.st_uid) + ":" + group + " " + mode +
           ", give this user (" + user + ") no read access";
}

Error unreadable(const std::string& path, int error) {
    std::string text = "cannot read the password file '" + path + "': " + std::strerror(error);
    if (error == EACCES) text += permissionHint(path);
    return Error(text);
}

// The file's first bytes, up to the first line break; errno-style failures thrown.
std::string readFirstLine(const std::string& path, const Descriptor& file) {
    std::string text;
    char chunk[512];
    while (text.size() < kLongestLine && text.find('\n') == std::string::npos) {
        const ssize_t got = ::read(file.get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw unreadable(path, errno);
        if (got == 0) break;
        text.append(chunk, static_cast<std::size_t>(got));
    }
    std::string line = firstLine(text);
    // The rest of what was read is let go at once, not left in memory.
    std::fill(text.begin(), text.end(), '\0');
    return line;
}

}  // namespace

std::string firstLine(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::string passwordFromFile(const std::string& path) {
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0) throw unreadable(path, errno);
    return readFirstLine(path, file);
}

std::optional<std::string> credentialPassword(const std::string& directory) {
    if (directory.empty()) return std::nullopt;
    const std::string path = directory + "/password";
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0) {
        if (errno == ENOENT) return std::nullopt;
        throw unreadable(path, errno);
    }
    return readFirstLine(path, file);
}

}  // namespace tarvel
