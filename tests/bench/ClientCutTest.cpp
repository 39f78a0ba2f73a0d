// A run whose connection is cut on the client's side only, as a NAT or a
// firewall drops it: the server keeps the old attachment, with the run's
// claim on the history table and its locks, for hours. The run must end at
// once with the failure's own text and the lines it did not commit, writing
// nothing again, and a fresh run must be told that the table is taken
// instead of waiting.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "BenchDatabase.h"
#include "CommandLineRun.h"
#include "FbClient.h"
#include "FileText.h"
#include "ProxyProcess.h"
#include "TestDatabase.h"

namespace bench {
namespace {
using tarvel::testing::binFolder;

TEST(ClientCut, TheRunEndsAtOnceAndAFreshRunIsRefused) {
    TARVEL_SKIP_WITHOUT_SERVER();
    tarvel::testing::TempDir folder;
    const std::string database = folder.file("cut.fdb");
    const std::string password = tarvel::testing::testPassword();
    createBenchDatabase(database, 20000, password);
    ProxyProcess proxy(binFolder() + "/tarvel_delay_proxy",
                       tarvel::testing::serverAddress() + ":" + std::to_string(tarvel::testing::serverPort()),
                       20);
    const CommandLineRequest cut{binFolder() + "/tarvel-rebuild",
                                 "127.0.0.1/" + std::to_string(proxy.port()) + ":" + database, password,
                                 binFolder(), folder.file("cut")};
    CommandLineOutcome outcome;
    std::thread run([&] { outcome = runCommandLine(cut); });
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    proxy.dropClients();
    run.join();

    EXPECT_FALSE(outcome.succeeded);
    // Nothing is tried again on the cut connection.
    EXPECT_LT(outcome.seconds, 1.5 + 5) << outcome.errorText;
    // The failure's own text first; then, when lines of the open group were
    // written before the cut, one line naming those that were not committed.
    const std::size_t failure = outcome.errorText.find("tarvel-rebuild: Driver Error");
    EXPECT_NE(failure, std::string::npos) << outcome.errorText;
    const std::size_t notWritten = outcome.errorText.find("\nLines ");
    if (notWritten != std::string::npos) {
        EXPECT_LT(failure, notWritten);
        EXPECT_NE(outcome.errorText.find(
                      " were not committed: their pairs keep the rows they had before the run", notWritten),
                  std::string::npos)
            << outcome.errorText;
    }

    // The old attachment still holds the table: a fresh run says so at once.
    const CommandLineRequest fresh{binFolder() + "/tarvel-rebuild", tarvel::testing::serverDatabase(database),
                                   password, binFolder(), folder.file("fresh")};
    const CommandLineOutcome refused = runCommandLine(fresh);
    EXPECT_FALSE(refused.succeeded);
    EXPECT_LT(refused.seconds, 10);
    EXPECT_NE(refused.errorText.find("STORY_IN is being rebuilt by another run (tarvel-rebuild"),
              std::string::npos)
        << refused.errorText;

    // The server lets the cut attachment go only when told.
    Attachment admin(Dsn{tarvel::testing::serverDatabase(database), "SYSDBA", password});
    Transaction cleanup(admin);
    cleanup.executeImmediate("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION");
    cleanup.commit();
}

}  // namespace
}  // namespace bench
