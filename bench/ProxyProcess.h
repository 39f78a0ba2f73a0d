// The delay proxy as a process of its own, driven through its signals and
// its report lines on a pipe: what the benchmark and the tests use.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "ProxyCounts.h"

namespace bench {

class ProxyProcess {
public:
    // Starts `program` (tarvel_delay_proxy) on a free port of 127.0.0.1,
    // relaying to `target` ("127.0.0.1:3050") with `rttMs` added to every
    // round trip, and waits until it listens.
    // extra: further arguments (--lose-commit-answer N).
    ProxyProcess(const std::string& program, const std::string& target, double rttMs,
                 const std::vector<std::string>& extra = {});
    // Stops the proxy when stop() was not called; never throws.
    ~ProxyProcess();

    int port() const { return m_port; }
    // The counts so far (SIGUSR1), covering all the traffic read before it.
    ProxyCounts counts();
    // Resets every client connection while the server's sides stay open
    // (SIGUSR2); the counts after it.
    ProxyCounts dropClients();
    // Stops the proxy (SIGTERM); the last counts. Throws when it does not
    // end with status 0.
    ProxyCounts stop();

    // The program beside the running one: the benchmark's and the tests'
    // folder holds tarvel_delay_proxy too.
    static std::string programBeside(const std::string& runningProgram);

private:
    ProxyCounts ask(int signal);

    static constexpr std::chrono::seconds kAnswerTime{10};
    ChildProcess m_process;
    int m_port = 0;
    bool m_stopped = false;
};

}  // namespace bench
