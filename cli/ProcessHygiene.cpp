#include "ProcessHygiene.h"

#include <sys/prctl.h>

#include <csignal>
#include <cstdio>

namespace tarvel {

void ignoreBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }

bool keepOutOfCoreFiles() { return ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0; }

bool outputsWritten() {
    const bool flushed = std::fflush(stdout) == 0 && std::fflush(stderr) == 0;
    return flushed && !std::ferror(stdout) && !std::ferror(stderr);
}

}  // namespace tarvel
