#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

// The environment of this process with `overrides` replacing or adding entries.
std::vector<std::string> environmentWith(const std::vector<std::string>& overrides) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const std::string& override : overrides) replaced = replaced || override.starts_with(name + "=");
        if (!replaced) entries.push_back(text);
    }
    entries.insert(entries.end(), overrides.begin(), overrides.end());
    return entries;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

class SpawnActions {
public:
    SpawnActions() { ::posix_spawn_file_actions_init(&m_actions); }
    ~SpawnActions() { ::posix_spawn_file_actions_destroy(&m_actions); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    posix_spawn_file_actions_t* get() { return &m_actions; }

private:
    posix_spawn_file_actions_t m_actions;
};

// Through syscall: glibc 2.36 declares pidfd_open without C linkage for C++.
int openPidfd(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

int remainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<decltype(left)>(left, 0));
}

}  // namespace

ChildProcess::ChildProcess(const std::string& path, const std::vector<std::string>& arguments,
                           const Setup& setup) {
    SpawnActions actions;
    if (!setup.inputFile.empty())
        ::posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, setup.inputFile.c_str(), O_RDONLY, 0);
    if (!setup.outputFile.empty())
        ::posix_spawn_file_actions_addopen(actions.get(), STDOUT_FILENO, setup.outputFile.c_str(),
                                           O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!setup.errorFile.empty())
        ::posix_spawn_file_actions_addopen(actions.get(), STDERR_FILENO, setup.errorFile.c_str(),
                                           O_WRONLY | O_CREAT | O_TRUNC, 0644);
    FileDescriptor pipeWrite;
    if (setup.outputPipe) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
        m_output = FileDescriptor(ends[0]);
        pipeWrite = FileDescriptor(ends[1]);
        ::posix_spawn_file_actions_adddup2(actions.get(), pipeWrite.get(), STDOUT_FILENO);
    }
    std::vector<std::string> argumentTexts{path};
    argumentTexts.insert(argumentTexts.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environment = environmentWith(setup.environment);
    const std::vector<char*> argv = pointersTo(argumentTexts);
    const std::vector<char*> envp = pointersTo(environment);
    const int error = ::posix_spawn(&m_pid, path.c_str(), actions.get(), nullptr, argv.data(), envp.data());
    if (error != 0) throw std::runtime_error("cannot start " + path + ": " + std::strerror(error));
    m_pidfd = FileDescriptor(openPidfd(m_pid));
    if (!m_pidfd.valid()) {
        const std::string why = std::strerror(errno);
        ::kill(m_pid, SIGKILL);
        wait();
        throw std::runtime_error("pidfd_open failed: " + why);
    }
}

ChildProcess::~ChildProcess() {
    if (m_status) return;
    ::kill(m_pid, SIGKILL);
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
}

void ChildProcess::signal(int number) {
    if (!m_status) ::kill(m_pid, number);
}

std::optional<int> ChildProcess::waitFor(std::chrono::milliseconds timeout) {
    if (m_status) return m_status;
    const Clock::time_point deadline = Clock::now() + timeout;
    pollfd ended{m_pidfd.get(), POLLIN, 0};
    for (;;) {
        const int ready = ::poll(&ended, 1, remainingMs(deadline));
        if (ready > 0) break;
        if (ready == 0) return std::nullopt;
        if (errno != EINTR) throw std::runtime_error("poll on the child's pidfd failed");
    }
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0)
        if (errno != EINTR) throw std::runtime_error("waitpid failed");
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return m_status;
}

int ChildProcess::wait() {
    for (;;)
        if (const std::optional<int> status = waitFor(std::chrono::hours(1))) return *status;
}

std::string ChildProcess::readLine(std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    for (std::size_t end = m_pending.find('\n'); end == std::string::npos; end = m_pending.find('\n')) {
        pollfd readable{m_output.get(), POLLIN, 0};
        const int ready = ::poll(&readable, 1, remainingMs(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) throw std::runtime_error("no line from the child within the time allowed");
        char buffer[4096];
        const ssize_t count = ::read(m_output.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) throw std::runtime_error("the child's output ended");
        m_pending.append(buffer, static_cast<std::size_t>(count));
    }
    const std::size_t end = m_pending.find('\n');
    std::string line = m_pending.substr(0, end);
    m_pending.erase(0, end + 1);
    return line;
}

}  // namespace bench
