#include "ConsoleMessages.h"

#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace tarvel {

bool journalStreamNames(const char* journalStream, dev_t device, ino_t inode) {
    if (!journalStream) return false;
    const char* end = journalStream + std::strlen(journalStream);
    unsigned long long streamDevice = 0;
    unsigned long long streamInode = 0;
    auto [colon, deviceError] = std::from_chars(journalStream, end, streamDevice);
    if (deviceError != std::errc() || colon == journalStream || colon == end || *colon != ':') return false;
    auto [last, inodeError] = std::from_chars(colon + 1, end, streamInode);
    if (inodeError != std::errc() || last == colon + 1 || last != end) return false;
    return streamDevice == device && streamInode == inode;
}

bool standardErrorIsJournal() {
    struct stat status {};
    if (::fstat(STDERR_FILENO, &status) != 0) return false;
    return journalStreamNames(std::getenv("JOURNAL_STREAM"), status.st_dev, status.st_ino);
}

std::string withPriority(const std::string& text, Priority priority, bool journal) {
    if (!journal || text.empty()) return text;
    const std::string prefix = "<" + std::to_string(static_cast<int>(priority)) + ">";
    std::string out;
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && c != '\n') out += prefix;
        out += c;
        lineStart = c == '\n';
    }
    return out;
}

ConsoleMessages::ConsoleMessages(std::FILE* stream, bool journal, bool quiet)
    : m_stream(stream), m_journal(journal), m_quiet(quiet) {}

void ConsoleMessages::error(const std::string& text, Priority priority) {
    always("tarvel-rebuild: " + text + "\n", priority);
}

void ConsoleMessages::info(const std::string& text) {
    if (!m_quiet) always(text, Priority::Info);
}

void ConsoleMessages::always(const std::string& text, Priority priority) {
    const std::string shown = withPriority(text, priority, m_journal);
    std::fwrite(shown.data(), 1, shown.size(), m_stream);
    std::fflush(m_stream);
}

}  // namespace tarvel
