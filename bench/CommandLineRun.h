// The built command-line program run as an operator or a scheduler runs it:
// `tarvel-rebuild purchase --yes`, in a process of its own, timed from its
// start to its end. It finds its settings files through the per-user
// settings store: XDG_CONFIG_HOME points at a folder whose
// kestal/settings.ini names the two files written for the run. A spent budget
// stops it as an operator would, with SIGTERM: it stops at its next line and
// ends with status 143.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace bench {

struct CommandLineRequest {
    std::string program;   // tarvel-rebuild
    std::string database;  // a path, or "host[/port]:path"
    std::string password;
    std::string driverFolder;  // where libfbsqldrv.so lies
    std::string folder;        // an absolute folder for its settings and output
    double budgetSeconds = 0;  // > 0: SIGTERM once spent
};

struct CommandLineOutcome {
    bool succeeded = false;  // completed, or stopped by the budget as asked
    bool stopped = false;    // ended by the budget's SIGTERM
    std::int64_t lines = 0;  // lines walked, from its last progress line
    double seconds = 0;      // from its start to its end
    std::string errorText;   // its standard error when it failed
};

CommandLineOutcome runCommandLine(const CommandLineRequest& request);

// The lines walked as the last plain progress line ("N/M lines (P%), ...")
// in `text` gives them; nothing when it holds none.
std::optional<std::int64_t> linesFromProgress(const std::string& text);

}  // namespace bench
