// The rebuild benchmark: on one generated database per size, every variant
// runs on a fresh copy of the same file, in a process of its own, embedded and
// over the loopback server, with forced writes on and off, and over a slower
// network (the server reached through the delay proxy, tarvel_delay_proxy,
// which adds a round-trip time and counts the round trips); one table of lines
// per second, with the peak resident memory, the program's round trips per
// 1,000 lines and a check that every variant left the same history; then every
// run, one by one.
//
//   tarvel_bench [--sizes 10000,100000] [--delayed-sizes 10000] [--budget 15]
//                [--configs embedded-off,embedded-on,server-off,server-on,server-off-20ms,...]
//                [--variants program,cli,d,e,g,b,h,psql,set] [--repeat 3] [--template FILE] [--work DIR]
// --delayed-sizes: the sizes of the configurations with an added round trip
// (default: --sizes). --repeat: the program, the command line, g, b, h and the
// PSQL loop, whose ratios are the figures that matter, run that many times each,
// taking turns, and the table shows the median of each.
//   tarvel_bench --make-template FILE --size N
//   tarvel_bench --load --size N [--configs embedded-off] [--template FILE]
// The server password comes from TARVEL_FB_PASSWORD (default tarvel-test).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchChild.h"
#include "BenchDatabase.h"
#include "BenchOptions.h"
#include "ChildProcess.h"
#include "ChildResult.h"
#include "ClientLoops.h"
#include "CommandLineRun.h"
#include "HistoryChecksum.h"
#include "ProgramFile.h"
#include "ProxyProcess.h"
#include "TestDatabase.h"

namespace bench {
namespace {

// The loopback server, as the proxy's target.
std::string serverSocket() {
    return tarvel::testing::serverAddress() + ":" + std::to_string(tarvel::testing::serverPort());
}

std::string selfPath() {
    std::string self = tarvel::programFilePath();
    if (self.empty()) throw std::runtime_error("cannot read /proc/self/exe");
    return self;
}

// The programs the benchmark starts lie next to it.
std::string besideSelf(const std::string& name) {
    const std::string self = selfPath();
    return self.substr(0, self.rfind('/') + 1) + name;
}

int runToEnd(const std::string& path, const std::vector<std::string>& arguments) {
    ChildProcess child(path, arguments, {});
    return child.wait();
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

Dsn embeddedDsn(const std::string& path) { return Dsn{path, "SYSDBA", tarvel::testing::testPassword()}; }

// The database as the bench itself reaches it, never through the proxy.
std::string databaseFor(const Config& config, const std::string& path) {
    return config.server ? tarvel::testing::serverDatabase(path) : path;
}

std::string rateText(double rate) {
    char text[32];
    if (rate >= 1000)
        std::snprintf(text, sizeof text, "%.1fk", rate / 1000);
    else
        std::snprintf(text, sizeof text, "%.0f", rate);
    return text;
}

std::string numberText(double value, const char* format) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

struct Measured {
    bool failed = true;
    bool capped = false;
    bool sameTable = false;
    double rate = 0;
    std::int64_t lines = 0;
    double seconds = 0;
    long peakKb = -1;                    // -1: not known
    std::optional<ProxyCounts> traffic;  // what passed the proxy during the run
};

// The run of median rate (the lower middle one of an even count); failed when any run failed.
Measured medianOf(std::vector<Measured> runs) {
    for (const Measured& run : runs)
        if (run.failed) return run;
    std::sort(runs.begin(), runs.end(), [](const Measured& a, const Measured& b) { return a.rate < b.rate; });
    Measured median = runs[(runs.size() - 1) / 2];
    for (const Measured& run : runs) median.sameTable = median.sameTable && run.sameTable;
    return median;
}

std::string cellOf(const std::optional<Measured>& measured) {
    if (!measured) return "-";
    if (measured->failed) return "failed";
    return rateText(measured->rate) + (measured->capped ? "*" : "") +
           (measured->sameTable ? "" : " (DIFFERENT TABLE)");
}

std::string ratioOf(const std::optional<Measured>& a, const std::optional<Measured>& b) {
    if (!a || !b || a->failed || b->failed || b->rate <= 0) return "-";
    return numberText(a->rate / b->rate, "%.2f");
}

std::string megabytes(const std::optional<Measured>& measured) {
    if (!measured || measured->failed || measured->peakKb < 0) return "-";
    return numberText(measured->peakKb / 1024.0, "%.1f");
}

std::string roundTripsPerThousand(const std::optional<Measured>& measured) {
    if (!measured || measured->failed || !measured->traffic || measured->lines <= 0) return "-";
    return numberText(measured->traffic->roundTrips * 1000.0 / measured->lines, "%.0f");
}

std::string accessText(const Config& config) {
    if (!config.server) return "embedded";
    return config.delayed() ? "TCP via the delay proxy" : "loopback TCP";
}

std::string addedRoundTripText(const Config& config) {
    if (!config.server) return "-";
    return config.delayed() ? numberText(config.rttMs, "%g") + " ms" : "0";
}

class Bench {
public:
    explicit Bench(Options options) : m_options(std::move(options)) {
        if (m_options.work.empty()) {
            char pattern[] = "/tmp/tarvel-bench-XXXXXX";
            if (!::mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
            m_options.work = pattern;
            m_removeWork = true;
        }
        std::filesystem::create_directories(m_options.work);
        m_options.work = std::filesystem::absolute(m_options.work).string();
        // The server process opens the copies: everyone may read and write here.
        std::filesystem::permissions(m_options.work, std::filesystem::perms::all);
        m_server = tarvel::testing::serverAvailable();
    }
    ~Bench() {
        std::error_code ignored;
        if (m_removeWork) std::filesystem::remove_all(m_options.work, ignored);
    }

    int runTable() {
        std::vector<std::string> rows;
        std::set<int> sizes(m_options.sizes.begin(), m_options.sizes.end());
        sizes.insert(m_options.delayedSizes.begin(), m_options.delayedSizes.end());
        for (int size : sizes) {
            std::vector<Config> configs;
            for (const std::string& key : m_options.configs) {
                const Config config = configNamed(key);
                const std::vector<int>& sizesOfConfig =
                    config.delayed() ? m_options.delayedSizes : m_options.sizes;
                if (std::find(sizesOfConfig.begin(), sizesOfConfig.end(), size) == sizesOfConfig.end())
                    continue;
                if (config.server && !m_server) {
                    std::fprintf(stderr, "no server on %s: %s skipped\n", serverSocket().c_str(),
                                 config.key.c_str());
                    continue;
                }
                configs.push_back(config);
            }
            if (configs.empty()) continue;
            const std::string source = prepareTemplate(size);
            const HistoryReference reference = referenceOf(source);
            for (const Config& config : configs) {
                rows.push_back(runRow(size, config, source, reference));
                std::fprintf(stderr, "%s\n", rows.back().c_str());
            }
        }
        printTable(rows);
        std::printf(m_allSame ? "Every variant left the same history table.\n"
                              : "NOT every variant left the same history table (or a variant failed).\n");
        printRuns();
        return m_allSame ? 0 : 2;
    }

    int runLoad() {
        const int size = m_options.sizes.front();
        const std::string source = prepareTemplate(size);
        const Config config = configNamed(m_options.configs.front());
        const std::string copy = m_options.work + "/load.fdb";
        copyDatabase(source, copy, config.forcedWrites, tarvel::testing::testPassword());
        std::printf("Three rebuilds in one process, %d lines, %s:\n\n", size, config.key.c_str());
        std::fflush(stdout);
        const int status =
            runToEnd(besideSelf("tarvel_bench_program"),
                     {"--load", "--database", databaseFor(config, copy), "--folder", m_options.work});
        std::filesystem::remove(copy);
        return status;
    }

private:
    std::string prepareTemplate(int size) {
        if (!m_options.templateFile.empty()) return m_options.templateFile;
        const std::string path = m_options.work + "/template-" + std::to_string(size) + ".fdb";
        const auto start = std::chrono::steady_clock::now();
        createBenchDatabase(path, size, tarvel::testing::testPassword());
        std::fprintf(stderr, "generated %d lines in %.1f s\n", size,
                     std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        return path;
    }

    // The history before any run, and after the set-based statements on a
    // copy: what every variant must leave.
    HistoryReference referenceOf(const std::string& source) {
        std::vector<HistoryRow> before;
        {
            Attachment attachment(embeddedDsn(source));
            before = readHistory(attachment);
        }
        const std::string copy = m_options.work + "/reference.fdb";
        copyDatabase(source, copy, false, tarvel::testing::testPassword());
        std::vector<HistoryRow> after;
        {
            Attachment attachment(embeddedDsn(copy));
            runSetBased(attachment);
            after = readHistory(attachment);
        }
        std::filesystem::remove(copy);
        return HistoryReference(std::move(before), std::move(after));
    }

    // One row of the table: the variants in turns, through a proxy of the
    // row's round trip when it has one.
    std::string runRow(int size, const Config& config, const std::string& source,
                       const HistoryReference& reference) {
        std::optional<ProxyProcess> proxy;
        if (config.delayed()) proxy.emplace(besideSelf("tarvel_delay_proxy"), serverSocket(), config.rttMs);
        std::map<std::string, std::vector<Measured>> runs;
        // The repeated variants take turns, so that a slow spell of the
        // machine falls on each of them.
        for (int round = 0; round < m_options.repeat; ++round) {
            for (const std::string& variant : m_options.variants) {
                if (round > 0 && !variantNamed(variant).repeated) continue;
                runs[variant].push_back(measure(variant, config, source, reference, size,
                                                proxy ? &*proxy : nullptr, std::to_string(round + 1)));
            }
        }
        if (proxy) proxy->stop();
        std::map<std::string, std::optional<Measured>> cells;
        for (auto& [variant, measured] : runs) cells[variant] = medianOf(measured);
        // Plain loopback rows are timed without the proxy in the way; their
        // round trips come from one more run of the program through a proxy
        // that adds nothing.
        std::optional<Measured> counted = cells["program"];
        if (config.server && !config.delayed() && counted) {
            ProxyProcess counter(besideSelf("tarvel_delay_proxy"), serverSocket(), 0);
            counted = measure("program", config, source, reference, size, &counter, "count");
            counter.stop();
        }
        return rowText(size, config, cells, counted);
    }

    Measured measure(const std::string& variant, const Config& config, const std::string& source,
                     const HistoryReference& reference, int size, ProxyProcess* proxy,
                     const std::string& turn) {
        const VariantInfo& info = variantNamed(variant);
        const bool budgeted =
            info.budget == Budget::Always || (info.budget == Budget::WhenDelayed && config.delayed());
        const double budget = budgeted ? m_options.budget : 0.0;
        const std::string copy = m_options.work + "/run-" + variant + ".fdb";
        copyDatabase(source, copy, config.forcedWrites, tarvel::testing::testPassword());
        std::fprintf(stderr, "  %d lines, %s, %s ...\n", size, config.key.c_str(), variant.c_str());
        const std::string database =
            proxy ? "127.0.0.1/" + std::to_string(proxy->port()) + ":" + copy : databaseFor(config, copy);

        Measured measured;
        const std::optional<ProxyCounts> before = proxy ? std::optional(proxy->counts()) : std::nullopt;
        std::optional<std::string> lastParty;
        bool stoppedAnywhere = false;
        if (variant == "cli") {
            const CommandLineOutcome outcome = runCommandLine(
                {besideSelf("tarvel-rebuild"), database, tarvel::testing::testPassword(),
                 selfPath().substr(0, selfPath().rfind('/')), m_options.work + "/cli", budget});
            if (!outcome.succeeded) std::fprintf(stderr, "  cli failed: %s\n", outcome.errorText.c_str());
            measured.failed = !outcome.succeeded;
            measured.lines = outcome.lines;
            measured.seconds = outcome.seconds;
            // Its peak memory is not known: the rusage of a child started
            // with posix_spawn (which shares this process's memory until the
            // exec) counts the peak of this process too.
            stoppedAnywhere = outcome.stopped;
        } else {
            const std::string resultFile = m_options.work + "/result-" + variant;
            std::filesystem::remove(resultFile);
            const std::string budgetText = std::to_string(budget);
            const int status =
                variant == "program"
                    ? runToEnd(besideSelf("tarvel_bench_program"),
                               {"--database", database, "--folder", m_options.work, "--result", resultFile,
                                "--budget", budgetText})
                    : runToEnd(selfPath(), {"--child", variant, "--database", database, "--result",
                                            resultFile, "--child-budget", budgetText});
            if (status != 0) {
                std::fprintf(stderr, "  %s failed with status %d\n", variant.c_str(), status);
            } else {
                const ChildResult result = parseResult(readFile(resultFile));
                measured.failed = false;
                measured.lines = result.lines < 0 ? size : result.lines;
                measured.seconds = result.seconds;
                measured.peakKb = result.peakKb;
                lastParty = result.lastParty;
            }
        }
        if (proxy) measured.traffic = proxy->counts().since(*before);
        if (!measured.failed) {
            std::vector<HistoryRow> table;
            {
                Attachment attachment(
                    Dsn{databaseFor(config, copy), "SYSDBA", tarvel::testing::testPassword()});
                table = readHistory(attachment);
            }
            measured.capped = lastParty.has_value() || stoppedAnywhere;
            measured.rate = measured.seconds > 0 ? measured.lines / measured.seconds : 0;
            measured.sameTable = stoppedAnywhere ? reference.matchesAStopWithin(table)
                                                 : sumOf(table) == reference.expected(lastParty);
            if (!measured.sameTable)
                std::fprintf(stderr, "  %s left %lld rows with checksum %llu, not the expected history\n",
                             variant.c_str(), static_cast<long long>(sumOf(table).rows),
                             static_cast<unsigned long long>(sumOf(table).sum));
        }
        std::filesystem::remove(copy);
        m_allSame = m_allSame && !measured.failed && measured.sameTable;
        m_runs.push_back(runText(size, config, variant, turn, measured));
        return measured;
    }

    std::string runText(int size, const Config& config, const std::string& variant, const std::string& turn,
                        const Measured& measured) {
        std::string text =
            "| " + std::to_string(size) + " | " + config.key + " | " + variant + " | " + turn + " |";
        if (measured.failed) return text + " failed | | | | | | | |";
        text += " " + std::to_string(measured.lines) + " | " + numberText(measured.seconds, "%.2f") + " | " +
                rateText(measured.rate) + (measured.capped ? "*" : "") + " |";
        if (measured.traffic)
            text += " " + std::to_string(measured.traffic->roundTrips) + " | " +
                    roundTripsPerThousand(measured) + " | " +
                    std::to_string(measured.traffic->bytesToServer) + " | " +
                    std::to_string(measured.traffic->bytesToClient) + " |";
        else
            text += " - | - | - | - |";
        return text + " " + megabytes(measured) + " | " + (measured.sameTable ? "yes" : "NO") + " |";
    }

    std::string rowText(int size, const Config& config, std::map<std::string, std::optional<Measured>>& cells,
                        const std::optional<Measured>& counted) {
        std::string row = "| " + std::to_string(size) + " | " + accessText(config) + " | " +
                          (config.forcedWrites ? "on" : "off") + " | " + addedRoundTripText(config) + " |";
        for (const VariantInfo& info : kVariants) row += " " + cellOf(cells[info.key]) + " |";
        row += " " + ratioOf(cells["program"], cells["psql"]) + " | " +
               ratioOf(cells["program"], cells["g"]) + " | " + ratioOf(cells["program"], cells["b"]) + " | " +
               ratioOf(cells["program"], cells["e"]) + " | " + roundTripsPerThousand(counted) + " | " +
               megabytes(cells["program"]) + " | " + megabytes(cells["g"]) + " |";
        bool same = !counted || (!counted->failed && counted->sameTable);
        for (const auto& [key, cell] : cells) same = same && (!cell || (!cell->failed && cell->sameTable));
        return row + (same ? " yes |" : " NO |");
    }

    void printTable(const std::vector<std::string>& rows) {
        std::printf(
            "\nLines per second (the program, the command line, g, b and the PSQL loop: median of %d runs "
            "taking turns; the others: one run; * = stopped after the %g s budget, at the end of a "
            "provider's lines, or for the command line at its next line after SIGTERM; rate over the lines "
            "done; - = not run).\n\n",
            m_options.repeat, m_options.budget);
        std::string head = "| lines | access | forced writes | added round trip (ms) |";
        std::string rule = "|---|---|---|---|";
        for (const VariantInfo& info : kVariants) {
            head += " " + info.title + " |";
            rule += "---|";
        }
        head +=
            " program/psql | program/g | program/b | program/e | round trips per 1,000 lines, the program | "
            "peak RSS program (MB) | peak RSS g (MB) | same table |";
        rule += "---|---|---|---|---|---|---|---|";
        std::printf("%s\n%s\n", head.c_str(), rule.c_str());
        for (const std::string& row : rows) std::printf("%s\n", row.c_str());
        std::printf("\n");
    }

    void printRuns() {
        std::printf(
            "\nEvery run in the order taken (turn \"count\": the run that counts the round trips of a plain "
            "loopback row, through a proxy that adds nothing):\n\n"
            "| lines | configuration | variant | turn | lines done | seconds | lines/s | round trips | per "
            "1,000 "
            "lines | bytes to server | bytes to client | peak RSS (MB) | same table |\n"
            "|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
        for (const std::string& run : m_runs) std::printf("%s\n", run.c_str());
    }

    Options m_options;
    bool m_removeWork = false;
    bool m_server = false;
    bool m_allSame = true;
    std::vector<std::string> m_runs;
};

}  // namespace
}  // namespace bench

int main(int argc, char** argv) {
    try {
        bench::Options options = bench::parseOptions(argc, argv);
        if (options.isChild) return bench::runChild(options.child);
        if (!options.makeTemplate.empty()) {
            bench::createBenchDatabase(options.makeTemplate, options.sizes.front(),
                                       tarvel::testing::testPassword());
            return 0;
        }
        bench::Bench bench(options);
        return options.load ? bench.runLoad() : bench.runTable();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tarvel_bench: %s\n", error.what());
        return 1;
    }
}
