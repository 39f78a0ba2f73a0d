// tarvel_delay_proxy: a TCP relay that adds a round-trip time, for the
// benchmark's rows over a slower network and for tests of lost connections.
//
//   tarvel_delay_proxy --listen 127.0.0.1:PORT --target 127.0.0.1:3050 --rtt-ms D
//                      [--ready-file F] [--counts-file C] [--lose-commit-answer N]
//
// Every byte is passed on D/2 ms after it arrived, in each direction (D may
// have decimals; 0 relays at once). PORT 0 picks a free port. Once listening
// it writes the port: the line "port N" on standard output, or just N into
// the ready file (written whole, by renaming, so a reader never sees half of it).
// --lose-commit-answer N: the N-th commit any client sends (from 1, counted
// over every connection; a commit retaining counts) is passed on to the
// server, and then that client's connection is reset while the server's side
// stays open and silent: the server commits, the client sees its connection
// lost. The client must attach with WireCrypt disabled, or no commit is seen.
// Signals:
//   SIGUSR1          report the counts (ProxyCounts.h) since the start
//   SIGUSR2          reset every client connection (the client sees a
//                    connection reset) while the server's sides stay open and
//                    silent, as a dropped route leaves them; then report
//   SIGTERM, SIGINT  report and exit with status 0
// A report is one "counts ..." line on standard output, or, with a ready file,
// the whole content of the counts file (C, default F.counts), rewritten each
// time. Totals only grow: the counts of one run are the difference of the
// reports before and after it.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "DelayProxy.h"
#include "ProxySocket.h"

namespace {

struct Arguments {
    std::string listen;
    std::string target;
    double rttMs = -1;
    std::string readyFile;
    std::string countsFile;
    int loseCommitAnswer = 0;
};

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

Arguments parseArguments(int argc, char** argv) {
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) throw UsageError(arg + " needs a value");
        const std::string value = argv[++i];
        if (arg == "--listen") {
            arguments.listen = value;
        } else if (arg == "--target") {
            arguments.target = value;
        } else if (arg == "--rtt-ms") {
            std::size_t used = 0;
            try {
                arguments.rttMs = std::stod(value, &used);
            } catch (const std::exception&) {
                used = 0;
            }
            if (used == 0 || used != value.size() || !(arguments.rttMs >= 0))
                throw UsageError("--rtt-ms needs a number of milliseconds, 0 or more");
        } else if (arg == "--ready-file") {
            arguments.readyFile = value;
        } else if (arg == "--counts-file") {
            arguments.countsFile = value;
        } else if (arg == "--lose-commit-answer") {
            std::size_t used = 0;
            try {
                arguments.loseCommitAnswer = std::stoi(value, &used);
            } catch (const std::exception&) {
                used = 0;
            }
            if (used == 0 || used != value.size() || arguments.loseCommitAnswer < 1)
                throw UsageError("--lose-commit-answer needs a commit's number, 1 or more");
        } else {
            throw UsageError("unknown argument " + arg);
        }
    }
    if (arguments.listen.empty() || arguments.target.empty() || arguments.rttMs < 0)
        throw UsageError("--listen, --target and --rtt-ms are needed");
    if (arguments.countsFile.empty() && !arguments.readyFile.empty())
        arguments.countsFile = arguments.readyFile + ".counts";
    return arguments;
}

void writeStandardOutput(const std::string& line) {
    const std::string text = line + "\n";
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t count = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0)
            throw std::runtime_error(std::string("cannot write the report: ") + std::strerror(errno));
        done += static_cast<std::size_t>(count);
    }
}

// Writes the file under another name and renames it into place.
void replaceFile(const std::string& path, const std::string& line) {
    const std::string part = path + ".part";
    {
        std::ofstream out(part, std::ios::trunc);
        out << line << "\n";
        if (!out.flush()) throw std::runtime_error("cannot write " + part);
    }
    std::filesystem::rename(part, path);
}

// The signals the proxy takes, blocked and read from a descriptor in its loop.
bench::FileDescriptor signalDescriptor() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGUSR1, SIGUSR2, SIGTERM, SIGINT}) sigaddset(&set, signal);
    if (::sigprocmask(SIG_BLOCK, &set, nullptr) != 0) throw std::runtime_error("sigprocmask failed");
    bench::FileDescriptor descriptor(::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
    if (!descriptor.valid()) throw std::runtime_error(std::string("signalfd: ") + std::strerror(errno));
    return descriptor;
}

int run(const Arguments& arguments) {
    // A client gone while the report is written must not end the proxy by signal.
    ::signal(SIGPIPE, SIG_IGN);
    const bench::FileDescriptor signals = signalDescriptor();
    const auto oneWay = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::duration<double, std::milli>(arguments.rttMs / 2));
    bench::DelayProxy proxy(bench::parseSocketAddress(arguments.listen),
                            bench::parseSocketAddress(arguments.target), oneWay, arguments.loseCommitAnswer);
    if (arguments.readyFile.empty())
        writeStandardOutput("port " + std::to_string(proxy.port()));
    else
        replaceFile(arguments.readyFile, std::to_string(proxy.port()));
    proxy.run(signals, [&](const bench::ProxyCounts& counts) {
        if (arguments.countsFile.empty())
            writeStandardOutput(bench::formatCounts(counts));
        else
            replaceFile(arguments.countsFile, bench::formatCounts(counts));
    });
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(parseArguments(argc, argv));
    } catch (const UsageError& error) {
        std::fprintf(stderr, "tarvel_delay_proxy: %s (see the head of bench/DelayProxyMain.cpp)\n",
                     error.what());
        return 2;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tarvel_delay_proxy: %s\n", error.what());
        return 1;
    }
}
