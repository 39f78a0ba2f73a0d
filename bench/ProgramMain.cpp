// The program's rebuild path headless, in a process of its own: the benchmark
// starts it for the program's column and for the load run. It does not link
// the client library: the program reaches that library only through its
// driver, loaded locally, and so must the benchmark (loaded into the global
// scope, the library's own allocator takes over every allocation of the
// process, which halves the program's speed).
//
//   tarvel_bench_program --database D --folder F --result FILE [--budget SECONDS]
//   tarvel_bench_program --load --database D --folder F

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "ChildResult.h"
#include "ProcessFigures.h"
#include "ProgramFile.h"
#include "ProgramRun.h"
#include "SqlQuery.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Arguments {
    std::string database;
    std::string folder;
    std::string resultFile;
    double budget = 0;
    bool load = false;
};

Arguments parseArguments(int argc, char** argv) {
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--load") {
            arguments.load = true;
            continue;
        }
        if (i + 1 >= argc) throw std::runtime_error(arg + " needs a value");
        const std::string value = argv[++i];
        if (arg == "--database")
            arguments.database = value;
        else if (arg == "--folder")
            arguments.folder = value;
        else if (arg == "--result")
            arguments.resultFile = value;
        else if (arg == "--budget")
            arguments.budget = std::stod(value);
        else
            throw std::runtime_error("unknown argument " + arg);
    }
    if (arguments.database.empty() || arguments.folder.empty())
        throw std::runtime_error("--database and --folder are needed");
    return arguments;
}

std::string password() {
    const char* text = std::getenv("TARVEL_FB_PASSWORD");
    return text && *text ? text : "tarvel-test";
}

std::string executableFolder() {
    std::string folder = tarvel::programFolder();
    if (folder.empty()) throw std::runtime_error("cannot read /proc/self/exe");
    return folder;
}

std::string firstValue(tarvel::SqlConnection& connection, const std::string& sql) {
    tarvel::SqlQuery query("Figures", connection);
    query.addLine(sql);
    query.open();
    return query.fieldText(query.fields().front());
}

// Three rebuilds in one session, as an operator pressing the button three
// times; after each: memory, descriptors, and the server-side statements of
// the program's attachment, counted over a second connection.
int runLoad(const Arguments& arguments) {
    bench::ProgramSession session(arguments.folder, arguments.database, password(), executableFolder());
    const std::string attachment =
        firstValue(session.connection(), "SELECT CURRENT_CONNECTION FROM RDB$DATABASE");
    tarvel::SettingsLocation location;
    location.executableDir = arguments.folder;
    location.storeFile = arguments.folder + "/no-store.ini";
    tarvel::SqlConnection monitor("Monitor", location);
    std::printf(
        "| run | lines | lines/s | resident MB | peak resident MB | open descriptors | "
        "statements of the attachment |\n|---|---|---|---|---|---|---|\n");
    for (int run = 1; run <= 3; ++run) {
        bench::RunBudget unlimited(0);
        const auto start = Clock::now();
        const std::int64_t lines = session.run(unlimited);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const long resident = bench::residentKb();
        const long peak = bench::peakResidentKb();
        const int descriptors = bench::openDescriptors();
        const std::string statements = firstValue(
            monitor, "SELECT COUNT(*) FROM MON$STATEMENTS WHERE MON$ATTACHMENT_ID = " + attachment);
        std::printf("| %d | %lld | %.0f | %.1f | %.1f | %d | %s |\n", run, static_cast<long long>(lines),
                    lines / seconds, resident / 1024.0, peak / 1024.0, descriptors, statements.c_str());
        std::fflush(stdout);
    }
    return 0;
}

int runOnce(const Arguments& arguments) {
    bench::ChildResult result;
    bench::RunBudget budget(arguments.budget);
    {
        bench::ProgramSession session(arguments.folder, arguments.database, password(), executableFolder());
        const auto start = Clock::now();
        result.lines = session.run(budget);
        result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    }
    result.peakKb = bench::peakResidentKb();
    result.lastParty = budget.lastParty();
    return bench::writeResult(arguments.resultFile, result) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const Arguments arguments = parseArguments(argc, argv);
        return arguments.load ? runLoad(arguments) : runOnce(arguments);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tarvel_bench_program: %s\n", error.what());
        return 1;
    }
}
