#include "ProxyProcess.h"

#include <signal.h>

#include <stdexcept>

namespace bench {

namespace {

std::vector<std::string> proxyArguments(const std::string& target, double rttMs,
                                        const std::vector<std::string>& extra) {
    std::vector<std::string> arguments{"--listen", "127.0.0.1:0", "--target",
                                       target,     "--rtt-ms",    std::to_string(rttMs)};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
}

}  // namespace

ProxyProcess::ProxyProcess(const std::string& program, const std::string& target, double rttMs,
                           const std::vector<std::string>& extra)
    : m_process(program, proxyArguments(target, rttMs, extra), ChildProcess::Setup{{}, {}, {}, true, {}}) {
    const std::string line = m_process.readLine(kAnswerTime);
    if (line.rfind("port ", 0) != 0) throw std::runtime_error("the delay proxy said " + line);
    m_port = std::stoi(line.substr(5));
}

ProxyProcess::~ProxyProcess() {
    if (m_stopped) return;
    try {
        stop();
    } catch (const std::exception&) {
        // The child process is killed and reaped by its own destructor.
    }
}

ProxyCounts ProxyProcess::ask(int signal) {
    // One signal at a time, each answered before the next is sent: signals
    // of one kind that are pending together would be taken as one.
    m_process.signal(signal);
    return parseCounts(m_process.readLine(kAnswerTime));
}

ProxyCounts ProxyProcess::counts() { return ask(SIGUSR1); }

ProxyCounts ProxyProcess::dropClients() { return ask(SIGUSR2); }

ProxyCounts ProxyProcess::stop() {
    m_stopped = true;
    const ProxyCounts last = ask(SIGTERM);
    const std::optional<int> status = m_process.waitFor(kAnswerTime);
    if (status != 0) throw std::runtime_error("the delay proxy did not end cleanly");
    return last;
}

std::string ProxyProcess::programBeside(const std::string& runningProgram) {
    return runningProgram.substr(0, runningProgram.rfind('/') + 1) + "tarvel_delay_proxy";
}

}  // namespace bench
