// A program started by the benchmark or a test, reaped in every case: the
// destructor kills a child that still runs and waits for it. Its standard
// output can go to a file or to a pipe read line by line; waits take a
// timeout and sleep in poll on the child's pidfd.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "FileDescriptor.h"

namespace bench {

class ChildProcess {
public:
    struct Setup {
        std::vector<std::string> environment;  // "NAME=value", set on top of this process's own
        std::string outputFile;                // standard output into this file (empty: shared)
        std::string errorFile;                 // standard error into this file (empty: shared)
        bool outputPipe = false;               // standard output into a pipe, for readLine
        std::string inputFile;                 // standard input from this file (empty: shared)
    };

    // Starts `path` with `arguments`; throws std::runtime_error when it cannot.
    ChildProcess(const std::string& path, const std::vector<std::string>& arguments, const Setup& setup);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return m_pid; }
    // Sends a signal, unless the child was already reaped.
    void signal(int number);
    // Waits at most `timeout` for the child to end. Its exit status (128 +
    // the signal for one ended by a signal, as a shell reports it), or
    // nothing while it still runs.
    std::optional<int> waitFor(std::chrono::milliseconds timeout);
    int wait();

    // The next line of its standard output (setup.outputPipe), without the
    // line end; throws std::runtime_error when none comes within `timeout`
    // or the output ends first.
    std::string readLine(std::chrono::milliseconds timeout);

private:
    pid_t m_pid = -1;
    FileDescriptor m_pidfd;
    FileDescriptor m_output;
    std::string m_pending;
    std::optional<int> m_status;
};

}  // namespace bench
