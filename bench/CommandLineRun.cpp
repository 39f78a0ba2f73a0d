#include "CommandLineRun.h"

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <stdexcept>

#include "ChildProcess.h"
#include "FileText.h"
#include "LinesPerCallSetting.h"

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;
using tarvel::testing::readFile;
using tarvel::testing::writeFile;

// The settings an installed system would hold, with the connection the
// benchmark's run uses; returns the value of XDG_CONFIG_HOME that finds them.
std::string writeSettings(const CommandLineRequest& request) {
    const std::string connections = request.folder + "/sqlconnections.ini";
    const std::string drivers = request.folder + "/sqldrivers.ini";
    writeFile(connections, "[Kestal]\r\nDriverName=Firebird\r\nDatabase=" + request.database +
                               "\r\nUser_Name=SYSDBA\r\nPassword=" + request.password +
                               "\r\nSQLDialect=3\r\nBlobSize=-1\r\nCommitRetain=False\r\nWaitOnLocks=True\r\n"
                               "Firebird TransIsolation=ReadCommited\r\nTrim Char=False\r\n" +
                               linesPerCallSetting());
    writeFile(drivers,
              "[Firebird]\r\nLibraryName=" + request.driverFolder +
                  "/libfbsqldrv.so\r\nVendorLib=libfbclient.so.2\r\nGetDriverFunc=GetFirebirdDriver\r\n");
    const std::string configHome = request.folder + "/config";
    std::filesystem::create_directories(configHome + "/kestal");
    writeFile(configHome + "/kestal/settings.ini",
              "[Software\\Kestal\\SQLAccess]\n\"Connection Registry File\"=\"" + connections +
                  "\"\n\"Driver Registry File\"=\"" + drivers + "\"\n");
    return configHome;
}

}  // namespace

std::optional<std::int64_t> linesFromProgress(const std::string& text) {
    static const std::regex progress(R"((\d+)/\d+ lines \()");
    std::optional<std::int64_t> lines;
    for (auto match = std::sregex_iterator(text.begin(), text.end(), progress);
         match != std::sregex_iterator(); ++match)
        lines = std::stoll((*match)[1].str());
    return lines;
}

CommandLineOutcome runCommandLine(const CommandLineRequest& request) {
    if (request.folder.empty() || request.folder.front() != '/')
        throw std::runtime_error("the command line's folder must be absolute: " + request.folder);
    std::filesystem::create_directories(request.folder);
    const std::string configHome = writeSettings(request);
    const std::string errors = request.folder + "/stderr";
    ChildProcess::Setup setup;
    // The C locale: dates month first, which the server reads as such.
    setup.environment = {"XDG_CONFIG_HOME=" + configHome, "LC_ALL=C"};
    setup.outputFile = request.folder + "/stdout";
    setup.errorFile = errors;

    CommandLineOutcome outcome;
    const Clock::time_point start = Clock::now();
    ChildProcess process(request.program, {"purchase", "--yes"}, setup);
    std::optional<int> status = request.budgetSeconds > 0
                                    ? process.waitFor(std::chrono::ceil<std::chrono::milliseconds>(
                                          std::chrono::duration<double>(request.budgetSeconds)))
                                    : process.wait();
    if (!status) {
        outcome.stopped = true;
        process.signal(SIGTERM);
        status = process.wait();
    }
    outcome.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const std::string errorText = readFile(errors);
    outcome.lines = linesFromProgress(errorText).value_or(0);
    // 143: SIGTERM, taken between two lines or, before the walk, by default.
    outcome.succeeded = *status == 0 || (outcome.stopped && *status == 128 + SIGTERM);
    outcome.stopped = outcome.stopped && *status != 0;
    if (!outcome.succeeded) outcome.errorText = "status " + std::to_string(*status) + ": " + errorText;
    return outcome;
}

}  // namespace bench
