#include "PasswordFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

Error unreadable(const std::string& path, int error) {
    return Error("cannot read the password file '" + path + "': " + std::strerror(error));
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
