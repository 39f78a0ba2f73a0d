// The command line's own process: a closed pipe fails a write instead of
// ending the process, such a failure is seen at the end, and the process is
// not dumpable. Each case runs in a child process, which keeps the test
// runner's own signal dispositions and dumpable flag as they were.
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

#include "ProcessHygiene.h"

namespace tarvel {
namespace {

// In the child: what it found, as its exit code (0 all as expected).
int childChecks(bool hygiene) {
    if (hygiene) {
        ignoreBrokenPipes();
        if (!keepOutOfCoreFiles()) return 10;
        if (::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) != 0) return 11;
    }
    int ends[2];
    if (::pipe(ends) != 0) return 12;
    ::close(ends[0]);
    // Standard output becomes the pipe nobody reads any more.
    if (::dup2(ends[1], STDOUT_FILENO) < 0) return 13;
    if (!outputsWritten()) return 14;  // nothing written yet
    std::printf("lost\n");
    if (outputsWritten()) return 15;
    errno = 0;
    if (::write(ends[1], "x", 1) != -1 || errno != EPIPE) return 16;
    return 0;
}

TEST(ProcessHygiene, AClosedPipeFailsTheWriteInsteadOfEndingTheProcess) {
    const struct {
        bool hygiene;
        bool signalled;  // ended by SIGPIPE rather than by its own exit
    } cases[] = {{true, false}, {false, true}};
    for (const auto& c : cases) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (!c.hygiene) std::signal(SIGPIPE, SIG_DFL);
            ::_exit(childChecks(c.hygiene));
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        if (c.signalled) {
            ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
            EXPECT_EQ(WTERMSIG(status), SIGPIPE);
        } else {
            ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
            EXPECT_EQ(WEXITSTATUS(status), 0);
        }
    }
}

}  // namespace
}  // namespace tarvel
