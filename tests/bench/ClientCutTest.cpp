// A run whose connection is cut on the client's side only, as a NAT or a
// firewall drops it: the server keeps the old attachment, with the run's
// claim on the history table and its locks, for hours. The run must end at
// once with the failure's own text and the lines it did not commit, writing
// nothing again, and a fresh run must be told that the table is taken
// instead of waiting.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
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
    // written before the cut, one line naming them: not committed, or, when
    // the cut took a commit's answer, maybe committed.
    const std::size_t failure = outcome.errorText.find("tarvel-rebuild: Driver Error");
    EXPECT_NE(failure, std::string::npos) << outcome.errorText;
    const std::size_t notWritten = outcome.errorText.find("\nLines ");
    if (notWritten != std::string::npos) {
        EXPECT_LT(failure, notWritten);
        const std::string line = outcome.errorText.substr(notWritten);
        EXPECT_TRUE(line.find(" were not committed: their pairs keep the rows they had before the run") !=
                        std::string::npos ||
                    line.find(" may or may not have been committed: the answer to the commit was lost.") !=
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

// The proxy's "commit answer lost": the chosen commit reaches the server, and
// its client sees only a lost connection.
TEST(CommitAnswerLost, TheServerCommitsWhileTheClientSeesALostConnection) {
    TARVEL_SKIP_WITHOUT_SERVER();
    tarvel::testing::TempDir folder;
    const std::string database = folder.file("lost.fdb");
    const std::string password = tarvel::testing::testPassword();
    tarvel::testing::createDatabase(database, "CREATE TABLE T (N INTEGER);");
    // A server of the test's own that lets the wire go unencrypted (the
    // shared one requires encryption), so that the proxy reads operations.
    constexpr int kPort = 3072;
    const tarvel::testing::PrivateServer privateServer(kPort, "WireCrypt = Enabled");
    const std::string server = privateServer.database(database);
    ProxyProcess proxy(binFolder() + "/tarvel_delay_proxy",
                       tarvel::testing::serverAddress() + ":" + std::to_string(kPort), 0,
                       {"--lose-commit-answer", "3"});
    // Unencrypted, so that the proxy reads the operation codes.
    Attachment client(Dsn{"127.0.0.1/" + std::to_string(proxy.port()) + ":" + database, "SYSDBA", password},
                      std::nullopt, "WireCrypt=Disabled");
    // The first two commits (one of them retaining) are answered.
    Transaction first(client);
    first.executeImmediate("INSERT INTO T VALUES (1)");
    ISC_STATUS_ARRAY status{};
    EXPECT_EQ(isc_commit_retaining(status, first.handle()), 0);
    first.executeImmediate("INSERT INTO T VALUES (2)");
    first.commit();
    Transaction third(client);
    third.executeImmediate("INSERT INTO T VALUES (3)");
    const auto started = std::chrono::steady_clock::now();
    EXPECT_ANY_THROW(third.commit()) << "the third commit's answer came";
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(proxy.counts().clientResets, 1);

    Attachment direct(Dsn{server, "SYSDBA", password});
    Transaction look(direct, Transaction::Kind::ReadOnly);
    Statement rows(direct, look,
                   "SELECT CAST(LIST(N, ',') AS VARCHAR(100)) FROM (SELECT N FROM T ORDER BY N)");
    rows.execute(look);
    ASSERT_TRUE(rows.fetch());
    EXPECT_EQ(rows.text(0), "1,2,3") << "every commit reached the server";
}

}  // namespace
}  // namespace bench
