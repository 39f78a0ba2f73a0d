// What tarvel-rebuild writes on standard error: progress, the summary and
// errors. Errors begin with "tarvel-rebuild: " and are always written; the
// rest only without --quiet (the caller writes the summary line through
// always() when --summary asks for it under --quiet). When standard error is
// the journal (systemd names the stream in JOURNAL_STREAM), every line starts
// with its priority as "<N>", which the journal takes as the line's priority
// and removes.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <string>

namespace tarvel {

// Syslog priorities, as the journal reads them from a "<N>" prefix.
enum class Priority : int { Error = 3, Warning = 4, Notice = 5, Info = 6 };

// True when `journalStream` (the value of JOURNAL_STREAM, "device:inode" in
// decimal; may be null) names the file with that device and inode.
bool journalStreamNames(const char* journalStream, dev_t device, ino_t inode);
// True when the process's standard error is the stream JOURNAL_STREAM names.
bool standardErrorIsJournal();

// `text` with "<N>" at the start of every line when `journal`; otherwise as it is.
std::string withPriority(const std::string& text, Priority priority, bool journal);

class ConsoleMessages {
public:
    ConsoleMessages(std::FILE* stream, bool journal, bool quiet);

    // "tarvel-rebuild: " + text and a line break, at the given priority.
    void error(const std::string& text, Priority priority = Priority::Error);
    // The text as it is (progress lines, the summary); nothing with --quiet.
    void info(const std::string& text);
    // Text that is written even with --quiet (the usage text after an error).
    void always(const std::string& text, Priority priority);

    bool quiet() const { return m_quiet; }

private:
    std::FILE* m_stream;
    bool m_journal;
    bool m_quiet;
};

}  // namespace tarvel
