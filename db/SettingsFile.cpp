#include "SettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Error.h"
#include "SettingsText.h"

namespace tarvel {

namespace {

// Stores one trimmed, non-empty line in the current section.
void addLine(std::vector<std::pair<std::string, std::vector<std::string>>>& sections,
             const std::string& line) {
    if (line.empty() || line.front() == ';') return;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
        sections.emplace_back(trimmed(std::string_view(line).substr(1, line.size() - 2)),
                              std::vector<std::string>{});
        return;
    }
    if (sections.empty()) return;  // before the first section
    std::size_t equals = line.find('=');
    if (equals == std::string::npos) {
        sections.back().second.push_back(line);
    } else {
        std::string_view view(line);
        sections.back().second.push_back(trimmed(view.substr(0, equals)) + "=" +
                                         trimmed(view.substr(equals + 1)));
    }
}

std::string cannotOpen(const std::string& path, int error) {
    return "Cannot open file \"" + path + "\". " + std::strerror(error);
}

// Closes the descriptor however reading ends.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

}  // namespace

SettingsFile SettingsFile::parse(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    SettingsFile file;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        addLine(file.m_sections, trimmed(text.substr(start, end - start)));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        start = end + 1;
    }
    return file;
}

bool SettingsFile::exists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

SettingsFile SettingsFile::read(const std::string& path) {
    if (!exists(path)) return SettingsFile{};
    // Non-blocking, so that a named pipe without a writer reads as empty
    // instead of hanging the program.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) throw Error(cannotOpen(path, errno));
    std::string text;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            throw Error(cannotOpen(path, errno));
        }
        // A NUL byte ends the text, so there is no need to read on (this also
        // bounds reading a device that never ends, such as /dev/zero).
        const char* nul = static_cast<const char*>(std::memchr(buffer, '\0', static_cast<std::size_t>(n)));
        if (nul) {
            text.append(buffer, static_cast<std::size_t>(nul - buffer));
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return parse(text);
}

ParameterList SettingsFile::section(std::string_view name) const {
    for (auto it = m_sections.rbegin(); it != m_sections.rend(); ++it) {
        if (equalsIgnoringCase(it->first, name)) return ParameterList(it->second);
    }
    return {};
}

bool SettingsFile::hasSection(std::string_view name) const {
    for (const auto& section : m_sections) {
        if (equalsIgnoringCase(section.first, name)) return true;
    }
    return false;
}

}  // namespace tarvel
