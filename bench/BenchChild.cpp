#include "BenchChild.h"

#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "ChildResult.h"
#include "ClientLoops.h"
#include "ProcessFigures.h"
#include "TestDatabase.h"

namespace bench {

namespace {

ChildResult runVariant(const ChildRequest& request) {
    ChildResult result;
    RunBudget budget(request.budgetSeconds);
    // Timed from before the attachment, as the program's run is timed from
    // before its connection opens.
    const auto start = std::chrono::steady_clock::now();
    Attachment attachment(Dsn{request.database, "SYSDBA", tarvel::testing::testPassword()});
    if (request.variant == "psql") {
        runPsqlLoop(attachment);
    } else if (request.variant == "b" || request.variant == "h") {
        result.lines = runBlockLoop(attachment, budget, request.variant == "h").lines;
    } else if (request.variant == "set") {
        runSetBased(attachment);
    } else {
        const LoopKind kind = request.variant == "d"   ? LoopKind::PreparePerStatement
                              : request.variant == "e" ? LoopKind::PreparedOnce
                              : request.variant == "g"
                                  ? LoopKind::GroupedCommits
                                  : throw std::runtime_error("no variant " + request.variant);
        result.lines = runClientLoop(attachment, kind, budget).lines;
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.peakKb = peakResidentKb();
    result.lastParty = budget.lastParty();
    return result;
}

}  // namespace

int runChild(const ChildRequest& request) {
    try {
        return writeResult(request.resultFile, runVariant(request)) ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", request.variant.c_str(), error.what());
        return 1;
    }
}

}  // namespace bench
