// The rebuild benchmark: on one generated database per size, every variant
// runs on a fresh copy of the same file, in a process of its own, embedded and
// over the loopback server, with forced writes on and off; one table of lines
// per second, with the peak resident memory and a check that every variant
// left the same history.
//
//   tarvel_bench [--sizes 10000,100000] [--budget 15] [--configs embedded-off,...]
//                [--variants program,d,e,g,psql,set] [--repeat 3] [--template FILE] [--work DIR]
// --repeat: the program and g, whose ratio is the figure that matters, run that
// many times each, taking turns, and the table shows the median of each.
//   tarvel_bench --make-template FILE --size N
//   tarvel_bench --load --size N [--configs embedded-off] [--template FILE]
// The server password comes from TARVEL_FB_PASSWORD (default tarvel-test).
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchChild.h"
#include "BenchDatabase.h"
#include "ChildResult.h"
#include "ClientLoops.h"
#include "HistoryChecksum.h"
#include "ProgramFile.h"
#include "TestDatabase.h"

extern char** environ;

namespace bench {
namespace {

struct Config {
    std::string key;
    bool server;
    bool forcedWrites;
};

const std::vector<Config> kConfigs = {
    {"embedded-off", false, false},
    {"embedded-on", false, true},
    {"server-off", true, false},
    {"server-on", true, true},
};

struct VariantInfo {
    std::string key;
    std::string title;
    bool budgeted;  // commits per line: slow enough to need the budget
};

const std::vector<VariantInfo> kVariants = {
    {"program", "the program", true},
    {"d", "d: prepare per statement, tx per line", true},
    {"e", "e: prepared once, tx per line", true},
    {"g", "g: prepared once, commit per 1000", false},
    {"psql", "PSQL loop (EXECUTE BLOCK)", false},
    {"set", "set-based statements", false},
};

struct Options {
    std::vector<int> sizes = {10000, 100000};
    double budget = 15;
    std::vector<std::string> configs = {"embedded-off", "embedded-on", "server-off", "server-on"};
    std::vector<std::string> variants = {"program", "d", "e", "g", "psql", "set"};
    int repeat = 3;
    std::string templateFile;
    std::string makeTemplate;
    std::string work;
    bool load = false;
    ChildRequest child;
    bool isChild = false;
};

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> items;
    std::istringstream in(text);
    for (std::string item; std::getline(in, item, ',');)
        if (!item.empty()) items.push_back(item);
    return items;
}

Options parseOptions(int argc, char** argv) {
    Options options;
    auto value = [&](int& i) -> std::string {
        if (i + 1 >= argc) throw std::runtime_error(std::string(argv[i]) + " needs a value");
        return argv[++i];
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--sizes") {
            options.sizes.clear();
            for (const std::string& size : splitList(value(i))) options.sizes.push_back(std::stoi(size));
        } else if (arg == "--size") {
            options.sizes = {std::stoi(value(i))};
        } else if (arg == "--budget") {
            options.budget = std::stod(value(i));
        } else if (arg == "--configs") {
            options.configs = splitList(value(i));
        } else if (arg == "--variants") {
            options.variants = splitList(value(i));
        } else if (arg == "--repeat") {
            options.repeat = std::max(1, std::stoi(value(i)));
        } else if (arg == "--template") {
            options.templateFile = value(i);
        } else if (arg == "--make-template") {
            options.makeTemplate = value(i);
        } else if (arg == "--work") {
            options.work = value(i);
        } else if (arg == "--load") {
            options.load = true;
        } else if (arg == "--child") {
            options.isChild = true;
            options.child.variant = value(i);
        } else if (arg == "--database") {
            options.child.database = value(i);
        } else if (arg == "--result") {
            options.child.resultFile = value(i);
        } else if (arg == "--child-budget") {
            options.child.budgetSeconds = std::stod(value(i));
        } else {
            throw std::runtime_error("unknown argument " + arg + " (see the head of bench/BenchMain.cpp)");
        }
    }
    for (const std::string& key : options.configs) {
        bool known = false;
        for (const Config& config : kConfigs) known = known || config.key == key;
        if (!known) throw std::runtime_error("unknown configuration " + key);
    }
    for (const std::string& key : options.variants) {
        bool known = false;
        for (const VariantInfo& variant : kVariants) known = known || variant.key == key;
        if (!known) throw std::runtime_error("unknown variant " + key);
    }
    return options;
}

std::string selfPath() {
    std::string self = tarvel::programFilePath();
    if (self.empty()) throw std::runtime_error("cannot read /proc/self/exe");
    return self;
}

// The program's headless runner lies next to this program.
std::string programRunnerPath() {
    const std::string self = selfPath();
    return self.substr(0, self.rfind('/')) + "/tarvel_bench_program";
}

// Runs `path` with `arguments`; returns its exit status.
int spawn(const std::string& path, const std::vector<std::string>& arguments) {
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    if (::posix_spawn(&child, path.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start " + path);
    int status = 0;
    if (::waitpid(child, &status, 0) != child) throw std::runtime_error("waitpid failed");
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

Dsn embeddedDsn(const std::string& path) { return Dsn{path, "SYSDBA", tarvel::testing::testPassword()}; }

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

struct Measured {
    bool failed = true;
    bool capped = false;
    bool sameTable = false;
    double rate = 0;
    long peakKb = 0;
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
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", a->rate / b->rate);
    return text;
}

std::string megabytes(const std::optional<Measured>& measured) {
    if (!measured || measured->failed) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", measured->peakKb / 1024.0);
    return text;
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
        bool allSame = true;
        for (int size : m_options.sizes) {
            const std::string source = prepareTemplate(size);
            const HistoryReference reference = referenceOf(source);
            for (const std::string& configKey : m_options.configs) {
                const Config& config = configNamed(configKey);
                if (config.server && !m_server) {
                    std::fprintf(stderr, "no server on 127.0.0.1:3050: %s skipped\n", config.key.c_str());
                    continue;
                }
                std::map<std::string, std::vector<Measured>> runs;
                // The program and g take turns, so that a slow spell of the
                // machine falls on both.
                for (int round = 0; round < m_options.repeat; ++round) {
                    for (const std::string& variant : m_options.variants) {
                        if (round > 0 && variant != "program" && variant != "g") continue;
                        runs[variant].push_back(measure(variant, config, source, reference, size));
                        allSame = allSame && !runs[variant].back().failed && runs[variant].back().sameTable;
                    }
                }
                std::map<std::string, std::optional<Measured>> cells;
                for (auto& [variant, measured] : runs) cells[variant] = medianOf(measured);
                rows.push_back(rowText(size, config, cells));
                std::fprintf(stderr, "%s\n", rows.back().c_str());
            }
        }
        printTable(rows);
        std::printf(allSame ? "Every variant left the same history table.\n"
                            : "NOT every variant left the same history table (or a variant failed).\n");
        return allSame ? 0 : 2;
    }

    int runLoad() {
        const int size = m_options.sizes.front();
        const std::string source = prepareTemplate(size);
        const Config& config = configNamed(m_options.configs.front());
        const std::string copy = m_options.work + "/load.fdb";
        copyDatabase(source, copy, config.forcedWrites, tarvel::testing::testPassword());
        std::printf("Three rebuilds in one process, %d lines, %s:\n\n", size, config.key.c_str());
        std::fflush(stdout);
        const int status = spawn(programRunnerPath(), {"--load", "--database", databaseFor(config, copy),
                                                       "--folder", m_options.work});
        std::filesystem::remove(copy);
        return status;
    }

private:
    const Config& configNamed(const std::string& key) const {
        for (const Config& config : kConfigs)
            if (config.key == key) return config;
        throw std::runtime_error("unknown configuration " + key);
    }

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

    Measured measure(const std::string& variant, const Config& config, const std::string& source,
                     const HistoryReference& reference, int size) {
        bool budgeted = false;
        for (const VariantInfo& info : kVariants)
            if (info.key == variant) budgeted = info.budgeted;
        const std::string copy = m_options.work + "/run-" + variant + ".fdb";
        const std::string resultFile = m_options.work + "/result-" + variant;
        std::filesystem::remove(resultFile);
        copyDatabase(source, copy, config.forcedWrites, tarvel::testing::testPassword());
        std::fprintf(stderr, "  %d lines, %s, %s ...\n", size, config.key.c_str(), variant.c_str());
        const std::string database = databaseFor(config, copy);
        const std::string budget = std::to_string(budgeted ? m_options.budget : 0.0);
        const int status =
            variant == "program"
                ? spawn(programRunnerPath(), {"--database", database, "--folder", m_options.work, "--result",
                                              resultFile, "--budget", budget})
                : spawn(selfPath(), {"--child", variant, "--database", database, "--result", resultFile,
                                     "--child-budget", budget});
        Measured measured;
        if (status != 0) {
            std::fprintf(stderr, "  %s failed with status %d\n", variant.c_str(), status);
            std::filesystem::remove(copy);
            return measured;
        }
        const ChildResult result = parseResult(readFile(resultFile));
        TableSum table;
        {
            Attachment attachment(Dsn{database, "SYSDBA", tarvel::testing::testPassword()});
            table = sumOf(readHistory(attachment));
        }
        std::filesystem::remove(copy);
        const std::int64_t lines = result.lines < 0 ? size : result.lines;
        measured.failed = false;
        measured.capped = result.lastParty.has_value();
        measured.rate = result.seconds > 0 ? lines / result.seconds : 0;
        measured.peakKb = result.peakKb;
        measured.sameTable = table == reference.expected(result.lastParty);
        if (!measured.sameTable)
            std::fprintf(stderr, "  %s left %lld rows with checksum %llu; expected %lld rows, %llu\n",
                         variant.c_str(), static_cast<long long>(table.rows),
                         static_cast<unsigned long long>(table.sum),
                         static_cast<long long>(reference.expected(result.lastParty).rows),
                         static_cast<unsigned long long>(reference.expected(result.lastParty).sum));
        return measured;
    }

    std::string rowText(int size, const Config& config,
                        std::map<std::string, std::optional<Measured>>& cells) {
        std::string row = "| " + std::to_string(size) + " | " +
                          (config.server ? "loopback TCP" : "embedded") + " | " +
                          (config.forcedWrites ? "on" : "off") + " |";
        for (const VariantInfo& info : kVariants) row += " " + cellOf(cells[info.key]) + " |";
        row += " " + ratioOf(cells["program"], cells["g"]) + " | " + ratioOf(cells["program"], cells["e"]) +
               " | " + megabytes(cells["program"]) + " | " + megabytes(cells["g"]) + " |";
        bool same = true;
        for (const auto& [key, cell] : cells) same = same && (!cell || (!cell->failed && cell->sameTable));
        return row + (same ? " yes |" : " NO |");
    }

    void printTable(const std::vector<std::string>& rows) {
        std::printf(
            "\nLines per second (the program and g: median of %d runs taking turns; the others: one run; "
            "* = stopped after the %.0f s budget at the end of a provider's lines, rate over the lines "
            "done; - = not run).\n\n",
            m_options.repeat, m_options.budget);
        std::string head = "| lines | access | forced writes |";
        std::string rule = "|---|---|---|";
        for (const VariantInfo& info : kVariants) {
            head += " " + info.title + " |";
            rule += "---|";
        }
        head += " program/g | program/e | peak RSS program (MB) | peak RSS g (MB) | same table |";
        rule += "---|---|---|---|---|";
        std::printf("%s\n%s\n", head.c_str(), rule.c_str());
        for (const std::string& row : rows) std::printf("%s\n", row.c_str());
        std::printf("\n");
    }

    Options m_options;
    bool m_removeWork = false;
    bool m_server = false;
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
