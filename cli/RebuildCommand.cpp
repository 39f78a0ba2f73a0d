#include "RebuildCommand.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "ConsoleMessages.h"
#include "ConsoleShell.h"
#include "DatabaseFacts.h"
#include "DriverLibrary.h"
#include "ErrorBoxText.h"
#include "HistoryReset.h"
#include "LoginOverrides.h"
#include "PasswordPrompt.h"
#include "ProcessHygiene.h"
#include "ReadinessCheck.h"
#include "RebuildArguments.h"
#include "RegionalFormats.h"
#include "RunSummary.h"
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

int usageFailure(ConsoleMessages& messages, const std::string& why) {
    messages.error(why);
    messages.always(rebuildUsage(), Priority::Error);
    return kExitUsage;
}

void printLine(const std::string& text) {
    std::fprintf(stdout, "%s\n", text.c_str());
    std::fflush(stdout);
}

// The connection's overrides: the command line's database and user, and the
// password from the first source that gives one.
ParameterOverrides commandLineOverrides(const RebuildArguments& arguments) {
    return loginOverrides(arguments, LoginEnvironment::ofProcess(),
                          [] { return passwordFromInput(STDIN_FILENO, stderr); });
}

// Gives the connection the command line's overrides and loads its entry,
// whose role then gives way as roleFor() says. Throws Error (a settings file
// missing, a password file unreadable).
void prepareConnection(SqlConnection& connection, const RebuildArguments& arguments) {
    connection.setOverrides(commandLineOverrides(arguments));
    connection.loadParamsFromIniFile();
    // An empty value sends no role at all.
    connection.params.set(
        "RoleName", roleFor(arguments, LoginEnvironment::ofProcess(), connection.params.value("RoleName")));
}

// One rebuild, from the question to the summary; returns the exit code.
int runRebuild(const RebuildArguments& arguments, ConsoleMessages& messages) {
    const auto started = std::chrono::steady_clock::now();
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    ProgressReporter progress(terminal, terminalColumns(STDERR_FILENO),
                              [&messages](const std::string& text) { messages.info(text); });
    StopSignals stops;
    // The completion line gives way to the JSON object, and to --quiet.
    std::FILE* completion = arguments.quiet || arguments.summary == SummaryForm::Json ? nullptr : stdout;
    ConsoleShell shell(arguments.historyIndex, arguments.assumeYes, progress, stops, stdin, stderr,
                       completion);
    RunSummary summary;
    const int code = [&] {
        try {
            reloadCurrentFormats();
            // Declared in this order so the queries let their statements go
            // before the connection closes (and rolls back what is uncommitted).
            SqlConnection connection("SQLConnection1");
            prepareConnection(connection, arguments);
            SqlQuery scanQuery("SQLQuery1", connection);
            SqlQuery workQuery("SQLQuery2", connection);
            SqlQueryOperations scan(scanQuery);
            SqlQueryOperations work(workQuery);
            SqlBlockOperations blocks(connection);
            ConnectionTransactions transactions(connection);
            WaitCanceller canceller([&stops] { return stops.pendingNow(); },
                                    [&connection](std::int32_t request) { connection.cancel(request); });
            shell.whenStopTaken([&canceller] { canceller.settle(); });
            try {
                runHistoryReset(shell, scan, work, blocks, transactions);
            } catch (...) {
                shell.whenStopTaken({});
                throw;
            }
            shell.whenStopTaken({});
        } catch (const StopRequested& stop) {
            progress.finish();
            summary.error = consoleErrorText(stop.what());
            messages.error(summary.error, Priority::Warning);
            return StopSignals::exitCodeFor(stop.signal());
        } catch (const std::exception& error) {
            progress.finish();
            summary.error = consoleErrorText(error.what());
            messages.error(summary.error);
            return kExitFailed;
        }
        if (shell.completed()) return kExitDone;
        // Any answer but Yes: nothing was touched, and a script must not take
        // the table for rebuilt.
        summary.error = "Nothing was changed.";
        messages.error(summary.error, Priority::Notice);
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

    summary.done = code == kExitDone;
    summary.lines = shell.progressPosition();
    summary.pairs = shell.pairs();
    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (arguments.summary == SummaryForm::Json)
        printLine(summaryJson(summary));
    else if (summary.done && arguments.printsSummary())
        messages.always(summaryLine(summary) + "\n", Priority::Info);
    return code;
}

int runCheck(const RebuildArguments& arguments, ConsoleMessages& messages) {
    int code = static_cast<int>(CheckCode::Unreachable);
    try {
        code = runReadinessCheck(
            arguments, [&arguments](SqlConnection& connection) { prepareConnection(connection, arguments); },
            stdout, messages);
    } catch (const std::exception& error) {
        messages.error(consoleErrorText(error.what()));
    }
    DriverLibrary::shutDownAll();
    return code;
}

// Our version, the client library's, and with --database the server's (as
// a run would log in to it).
int runVersion(const RebuildArguments& arguments, ConsoleMessages& messages) {
    printLine(std::string("tarvel-rebuild ") + rebuildVersion());
    int code = kExitDone;
    try {
        reloadCurrentFormats();
        SqlConnection connection("SQLConnection1");
        try {
            printLine("client library: " + clientLibraryVersion(connection));
        } catch (const std::exception& error) {
            // Our own version stands; the settings or the library may be
            // missing on a machine that only asks which version it has.
            printLine("client library: unknown");
            messages.error("the client library's version: " + consoleErrorText(error.what()),
                           Priority::Notice);
        }
        if (!arguments.database.empty()) {
            prepareConnection(connection, arguments);
            connection.open();
            DatabaseFacts facts(connection);
            printLine("server: Firebird " + facts.serverVersion());
        }
    } catch (const std::exception& error) {
        messages.error("the server's version: " + consoleErrorText(error.what()));
        code = kExitFailed;
    }
    DriverLibrary::shutDownAll();
    return code;
}

}  // namespace

std::string consoleErrorText(const std::string& message) {
    std::string text = errorBoxText(message);
    std::string::size_type at = 0;
    while ((at = text.find("\r\n", at)) != std::string::npos) text.erase(at, 1);
    return text;
}

const char* rebuildVersion() { return TARVEL_VERSION; }

namespace {

int runParsed(const ParsedArguments& parsed, ConsoleMessages& messages) {
    if (!parsed.error.empty()) return usageFailure(messages, parsed.error);
    if (parsed.arguments.help) {
        std::fputs(rebuildUsage(), stdout);
        return kExitDone;
    }
    if (parsed.arguments.version) return runVersion(parsed.arguments, messages);
    const std::string refusal = unattendedRefusal(parsed.arguments, ::isatty(STDIN_FILENO) == 1);
    if (!refusal.empty()) return usageFailure(messages, refusal);
    if (parsed.arguments.check) return runCheck(parsed.arguments, messages);
    return runRebuild(parsed.arguments, messages);
}

}  // namespace

int runRebuildCommand(const std::vector<std::string>& arguments) {
    const ParsedArguments parsed = parseRebuildArguments(arguments);
    ConsoleMessages messages(stderr, standardErrorIsJournal(), parsed.arguments.quiet);
    const int code = runParsed(parsed, messages);
    // A check's answer is its code; anything else that could not write what
    // it had to say (a closed pipe, a full disk) did not succeed.
    if (code == kExitDone && !parsed.arguments.check && !outputsWritten()) {
        messages.error("standard output or standard error could not be written");
        return kExitFailed;
    }
    return code;
}

}  // namespace tarvel
