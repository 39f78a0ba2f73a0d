#include "RebuildCommand.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "ConsoleShell.h"
#include "DriverLibrary.h"
#include "ErrorBoxText.h"
#include "HistoryReset.h"
#include "RebuildArguments.h"
#include "RegionalFormats.h"
#include "SqlBlockOperations.h"
#include "SqlConnection.h"
#include "SqlQuery.h"
#include "SqlQueryOperations.h"
#include "StopSignals.h"
#include "WaitCanceller.h"

namespace tarvel {

namespace {

int terminalColumns(int descriptor) {
    winsize size{};
    if (::ioctl(descriptor, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

void writeToStandardError(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

int usageFailure(const std::string& why) {
    std::fprintf(stderr, "tarvel-rebuild: %s\n%s", why.c_str(), rebuildUsage());
    return kExitUsage;
}

}  // namespace

std::string consoleErrorText(const std::string& message) {
    std::string text = errorBoxText(message);
    std::string::size_type at = 0;
    while ((at = text.find("\r\n", at)) != std::string::npos) text.erase(at, 1);
    return text;
}

int runRebuildCommand(const std::vector<std::string>& arguments) {
    const ParsedArguments parsed = parseRebuildArguments(arguments);
    if (!parsed.error.empty()) return usageFailure(parsed.error);
    if (parsed.arguments.help) {
        std::fputs(rebuildUsage(), stdout);
        return kExitDone;
    }
    const std::string refusal = unattendedRefusal(parsed.arguments, ::isatty(STDIN_FILENO) == 1);
    if (!refusal.empty()) return usageFailure(refusal);

    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    ProgressReporter progress(terminal, terminalColumns(STDERR_FILENO), &writeToStandardError);
    StopSignals stops;
    ConsoleShell shell(parsed.arguments.historyIndex, parsed.arguments.assumeYes, progress, stops, stdin,
                       stderr, stdout);
    const int code = [&] {
        try {
            reloadCurrentFormats();
            // Declared in this order so the queries let their statements go
            // before the connection closes (and rolls back what is uncommitted).
            SqlConnection connection("SQLConnection1");
            SqlQuery scanQuery("SQLQuery1", connection);
            SqlQuery workQuery("SQLQuery2", connection);
            SqlQueryOperations scan(scanQuery);
            SqlQueryOperations work(workQuery);
            SqlBlockOperations blocks(connection);
            ConnectionTransactions transactions(connection);
            WaitCanceller canceller([&stops] { return stops.pendingNow(); },
                                    [&connection] { connection.cancel(sqldriver::cancelopt::Raise); });
            runHistoryReset(shell, scan, work, blocks, transactions);
        } catch (const StopRequested& stop) {
            progress.finish();
            writeToStandardError(consoleErrorText(stop.what()) + "\n");
            return StopSignals::exitCodeFor(stop.signal());
        } catch (const std::exception& error) {
            progress.finish();
            writeToStandardError(consoleErrorText(error.what()) + "\n");
            return kExitFailed;
        }
        if (shell.completed()) return kExitDone;
        // Any answer but Yes: nothing was touched, and a script must not take
        // the table for rebuilt.
        writeToStandardError("Nothing was changed.\n");
        return kExitFailed;
    }();
    // The connection is closed; the client library ends its threads (and an
    // embedded engine its database files) in order before the process exits.
    DriverLibrary::shutDownAll();
    // A stop signal after the run's last look at them comes too late to
    // change what the run did: dropped, so that it neither ends the process
    // after the run reported its result nor reaches a handler of the client
    // library once the signal mask is given back.
    stops.discardPending();
    return code;
}

}  // namespace tarvel
