#include "BenchChild.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "ClientLoops.h"
#include "ProcessFigures.h"
#include "ProgramRun.h"
#include "SqlQuery.h"
#include "TestDatabase.h"

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string executableFolder() {
    char self[4096] = {};
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) throw std::runtime_error("cannot read /proc/self/exe");
    std::string folder(self, static_cast<std::size_t>(length));
    return folder.substr(0, folder.rfind('/'));
}

// Party texts are written in hex, so that any byte survives the file.
std::string toHex(const std::string& text) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : text) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

std::string fromHex(const std::string& hex) {
    std::string text;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) text += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return text;
}

Dsn dsnOf(const std::string& database) { return Dsn{database, "SYSDBA", tarvel::testing::testPassword()}; }

std::int64_t statementsOf(Attachment& monitor, std::int64_t attachmentId) {
    // Each transaction sees a fresh snapshot of the monitoring tables.
    Transaction transaction(monitor, Transaction::Kind::ReadOnly);
    Statement count(monitor, transaction,
                    "SELECT COUNT(*) FROM MON$STATEMENTS WHERE MON$ATTACHMENT_ID = " + std::to_string(attachmentId));
    count.execute(transaction);
    const std::int64_t statements = count.fetch() ? static_cast<std::int64_t>(count.number(0)) : -1;
    count.closeCursor();
    transaction.commit();
    return statements;
}

// Three rebuilds in one session, as an operator pressing the button three
// times: memory, descriptors and the attachment's server-side statements
// after each.
int runLoad(const ChildRequest& request) {
    ProgramSession session(request.folder, request.database, tarvel::testing::testPassword(), executableFolder());
    std::int64_t attachmentId = 0;
    {
        tarvel::SqlQuery probe("Probe", session.connection());
        probe.addLine("SELECT CURRENT_CONNECTION FROM RDB$DATABASE");
        probe.open();
        attachmentId = std::stoll(probe.fieldText(probe.fields().front()));
    }
    Attachment monitor(dsnOf(request.database));
    std::printf("| run | lines | lines/s | resident MB | peak resident MB | open descriptors | statements of the attachment |\n"
                "|---|---|---|---|---|---|---|\n");
    for (int run = 1; run <= 3; ++run) {
        RunBudget unlimited(0);
        const auto start = Clock::now();
        const std::int64_t lines = session.run(unlimited);
        const double seconds = secondsSince(start);
        std::printf("| %d | %lld | %.0f | %.1f | %.1f | %d | %lld |\n", run, static_cast<long long>(lines),
                    lines / seconds, residentKb() / 1024.0, peakResidentKb() / 1024.0, openDescriptors(),
                    static_cast<long long>(statementsOf(monitor, attachmentId)));
        std::fflush(stdout);
    }
    return 0;
}

ChildResult runVariant(const ChildRequest& request) {
    ChildResult result;
    const Dsn dsn = dsnOf(request.database);
    RunBudget budget(request.budgetSeconds);
    if (request.variant == "program") {
        ProgramSession session(request.folder, request.database, dsn.password, executableFolder());
        const auto start = Clock::now();
        result.lines = session.run(budget);
        result.seconds = secondsSince(start);
    } else {
        Attachment attachment(dsn);
        const auto start = Clock::now();
        if (request.variant == "psql") {
            runPsqlLoop(attachment);
        } else if (request.variant == "set") {
            runSetBased(attachment);
        } else {
            const LoopKind kind = request.variant == "d"   ? LoopKind::PreparePerStatement
                                  : request.variant == "e" ? LoopKind::PreparedOnce
                                  : request.variant == "g" ? LoopKind::GroupedCommits
                                                           : throw std::runtime_error("no variant " + request.variant);
            result.lines = runClientLoop(attachment, kind, budget).lines;
        }
        result.seconds = secondsSince(start);
    }
    result.peakKb = peakResidentKb();
    result.lastParty = budget.lastParty();
    Attachment check(dsn);
    result.table = sumOf(readHistory(check));
    return result;
}

}  // namespace

std::string formatResult(const ChildResult& result) {
    std::ostringstream out;
    out << "lines " << result.lines << "\nseconds " << result.seconds << "\npeak " << result.peakKb << "\nsum "
        << result.table.sum << "\nrows " << result.table.rows << "\n";
    if (result.lastParty) out << "last " << toHex(*result.lastParty) << "\n";
    return out.str();
}

ChildResult parseResult(const std::string& text) {
    ChildResult result;
    std::istringstream in(text);
    std::string key;
    bool complete = false;
    while (in >> key) {
        if (key == "lines") in >> result.lines;
        else if (key == "seconds") in >> result.seconds;
        else if (key == "peak") in >> result.peakKb;
        else if (key == "sum") in >> result.table.sum;
        else if (key == "rows") complete = static_cast<bool>(in >> result.table.rows);
        else if (key == "last") {
            std::string hex;
            in >> hex;
            result.lastParty = fromHex(hex);
        } else throw std::runtime_error("unexpected result field " + key);
    }
    if (!complete) throw std::runtime_error("incomplete result");
    return result;
}

int runChild(const ChildRequest& request) {
    try {
        if (request.variant == "load") return runLoad(request);
        const ChildResult result = runVariant(request);
        std::ofstream out(request.resultFile, std::ios::trunc);
        out << formatResult(result);
        return out ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", request.variant.c_str(), error.what());
        return 1;
    }
}

}  // namespace bench
