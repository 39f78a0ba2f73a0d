// The built tarvel-rebuild stopped, and cut off from its server, while it
// waits: on a row lock another transaction holds (through a trigger of the
// history table), on a network that has gone silent (a packet-filter rule on
// the delay proxy's port: nothing reaches either side, not even TCP's own
// acknowledgements), and while it counts and sorts a long table. Each case
// checks the exit code and the time it took, then that a run afterwards
// completes the table.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "FileText.h"
#include "IsqlSession.h"
#include "ProxyProcess.h"
#include "TestDatabase.h"

namespace tarvel::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

// Five lines naming three pairs. Every history row inserted updates the one
// row of LOCK_ME, so a run waits at its first line while another transaction
// holds that row.
const char* const kScript = R"(
CREATE TABLE INSTORAGE_SUB (
    PROVIDER_ID VARCHAR(10) NOT NULL, PROD_ID VARCHAR(20) NOT NULL, B_PRICE NUMERIC(12,4),
    BILL_DATE DATE NOT NULL, TEMPPRODID VARCHAR(20), PROD_BARCODE VARCHAR(40),
    SALE_PRICE NUMERIC(12,4), U_DIS NUMERIC(5,2));
CREATE TABLE STORY_IN (
    PROVIDER_ID VARCHAR(10), PROD_ID VARCHAR(20), STD_COST NUMERIC(12,4), CHG_DATE DATE,
    TEMPPRODID VARCHAR(20), PROD_BARCODE VARCHAR(13), SALE_PRICE NUMERIC(12,4), U_DIS NUMERIC(5,2));
CREATE TABLE LOCK_ME (N INTEGER);
COMMIT;
INSERT INTO LOCK_ME VALUES (0);
INSERT INTO INSTORAGE_SUB VALUES ('P1', 'A', 10, '2024-01-01', 'T1', 'B1', 20, 5);
INSERT INTO INSTORAGE_SUB VALUES ('P1', 'A', 12, '2024-01-02', 'T1', 'B1', 20, 5);
INSERT INTO INSTORAGE_SUB VALUES ('P1', 'B', 5, '2024-01-03', 'T2', 'B2', 9, 0);
INSERT INTO INSTORAGE_SUB VALUES ('P2', 'A', 11, '2024-01-04', 'T1', 'B1', 20, 5);
INSERT INTO INSTORAGE_SUB VALUES ('P2', 'C', 0, '2024-01-05', 'T3', 'B3', 1, 0);
SET TERM ^ ;
CREATE TRIGGER STORY_IN_WAITS FOR STORY_IN AFTER INSERT AS BEGIN UPDATE LOCK_ME SET N = N + 1; END^
SET TERM ; ^
)";
constexpr int kPairs = 3;

// 300,000 lines of as many pairs, in an order the scan has to sort.
const char* const kLongScript = R"(
CREATE TABLE INSTORAGE_SUB (
    PROVIDER_ID VARCHAR(10) NOT NULL, PROD_ID VARCHAR(20) NOT NULL, B_PRICE NUMERIC(12,4),
    BILL_DATE DATE NOT NULL, TEMPPRODID VARCHAR(20), PROD_BARCODE VARCHAR(40),
    SALE_PRICE NUMERIC(12,4), U_DIS NUMERIC(5,2));
CREATE TABLE STORY_IN (
    PROVIDER_ID VARCHAR(10), PROD_ID VARCHAR(20), STD_COST NUMERIC(12,4), CHG_DATE DATE,
    TEMPPRODID VARCHAR(20), PROD_BARCODE VARCHAR(13), SALE_PRICE NUMERIC(12,4), U_DIS NUMERIC(5,2));
CREATE INDEX STORY_IN_PAIR ON STORY_IN (TEMPPRODID, PROVIDER_ID);
COMMIT;
SET TERM ^ ;
EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN
  WHILE (I < 300000) DO BEGIN
    INSERT INTO INSTORAGE_SUB VALUES ('P' || MOD(:I * 7919, 1000), 'A', 10,
      DATEADD(MOD(:I * 104729, 3000) DAY TO DATE '2020-01-01'), 'T' || :I, 'B', 20, 5);
    I = I + 1;
  END
END^
SET TERM ; ^
)";

// The number a query of one count gives, asked of the server at `database`
// (a server's form of the path); -1 when there is none.
int countOf(const std::string& database, const std::string& query) {
    const std::string command = "echo '" + query + "' | isql-fb -q -user SYSDBA -password '" +
                                testPassword() + "' '" + database + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    ::pclose(pipe);
    const auto digit = output.find_first_of("0123456789", output.find("COUNT"));
    return digit == std::string::npos ? -1 : std::atoi(output.c_str() + digit);
}

// Rows of STORY_IN, asked of the shared server.
int historyRows(const std::string& path) {
    return countOf(serverDatabase(path), "SELECT COUNT(*) FROM STORY_IN;");
}

// An isql session that updates LOCK_ME's row and keeps its transaction open
// until release() or its end.
class LockHolder {
public:
    LockHolder(const TempDir& dir, const std::string& database)
        : m_session(dir.file("holder.fifo"), serverDatabase(database), testPassword()) {
        m_session.send(
            "SET TRANSACTION WAIT;\nUPDATE LOCK_ME SET N = N + 1;\nSELECT 'HELD' || 'NOW' FROM "
            "RDB$DATABASE;\n");
        m_session.waitForLine("HELDNOW");
    }

    // Rolls the update back and ends the session.
    void release() { m_session.end("ROLLBACK;\nQUIT;\n"); }

private:
    bench::IsqlSession m_session;
};

// Packet-filter rules that drop everything to and from a loopback port, taken
// out again however the test ends.
class SilencedPort {
public:
    explicit SilencedPort(int port) : m_port(std::to_string(port)) {
        m_inserted = rule("-I") && (m_both = rule("-I", "--sport"));
        if (!m_inserted) throw std::runtime_error("iptables refused the rule for port " + m_port);
    }
    ~SilencedPort() {
        if (m_both) rule("-D", "--sport");
        if (m_inserted) rule("-D");
    }
    SilencedPort(const SilencedPort&) = delete;
    SilencedPort& operator=(const SilencedPort&) = delete;

    static bool available() { return ::geteuid() == 0 && std::filesystem::exists("/usr/sbin/iptables"); }

private:
    bool rule(const char* action, const char* side = "--dport") const {
        const std::string command = std::string("/usr/sbin/iptables ") + action + " INPUT -i lo -p tcp " +
                                    side + " " + m_port + " -j DROP 2>/dev/null";
        return std::system(command.c_str()) == 0;
    }

    std::string m_port;
    bool m_inserted = false;
    bool m_both = false;
};

#define SKIP_WITHOUT_PACKET_FILTER()                                                              \
    do {                                                                                          \
        if (!SilencedPort::available())                                                           \
            GTEST_SKIP() << "silencing a port needs root and iptables (Debian package iptables)"; \
    } while (false)

class StopEndToEnd : public ::testing::Test {
protected:
    void SetUp() override { TARVEL_SKIP_WITHOUT_SERVER(); }

    void makeDatabase(const char* script) { createDatabase(m_database, script); }

    // Starts a purchase rebuild that reaches the database at `database`
    // (a server's form of it), with `settings` added to its entry; its
    // outputs go to files named after `name`.
    std::unique_ptr<bench::ChildProcess> start(const std::string& database, const std::string& settings = "",
                                               const std::string& name = "run") {
        writeFile(m_dir.file("sqlconnections.ini"), "[Kestal]\nDriverName=Firebird\nDatabase=" + database +
                                                        "\nUser_Name=SYSDBA\nPassword=" + testPassword() +
                                                        "\nSQLDialect=3\n" + settings);
        writeFile(m_dir.file("sqldrivers.ini"), "[Firebird]\nLibraryName=" + binFolder() +
                                                    "/libfbsqldrv.so\nVendorLib=libfbclient.so.2\n"
                                                    "GetDriverFunc=GetFirebirdDriver\n");
        std::filesystem::create_directories(m_dir.file("config/kestal"));
        writeFile(m_dir.file("config/kestal/settings.ini"),
                  "[Software\\Kestal\\SQLAccess]\n\"Connection Registry File\"=\"" +
                      m_dir.file("sqlconnections.ini") + "\"\n\"Driver Registry File\"=\"" +
                      m_dir.file("sqldrivers.ini") + "\"\n");
        bench::ChildProcess::Setup setup;
        setup.environment = {"XDG_CONFIG_HOME=" + m_dir.file("config"),
                             "LC_ALL=C",
                             "ISC_USER=",
                             "ISC_PASSWORD=",
                             "CREDENTIALS_DIRECTORY=",
                             "JOURNAL_STREAM="};
        setup.outputFile = m_dir.file(name + ".stdout");
        setup.errorFile = m_dir.file(name + ".stderr");
        return std::make_unique<bench::ChildProcess>(binFolder() + "/tarvel-rebuild",
                                                     std::vector<std::string>{"purchase", "--yes"}, setup);
    }

    std::string errors(const std::string& name = "run") const {
        return readFile(m_dir.file(name + ".stderr"));
    }

    // A run with nothing in its way completes the table.
    void expectARerunCompletes(int pairs) {
        auto rerun = start(serverDatabase(m_database));
        const std::optional<int> code = rerun->waitFor(seconds(120));
        ASSERT_TRUE(code) << "the rerun still runs after two minutes";
        EXPECT_EQ(*code, 0) << errors();
        EXPECT_EQ(historyRows(m_database), pairs);
    }

    TempDir m_dir;
    std::string m_database = m_dir.file("stop.fdb");
};

// Waits at most `bound` for the run to end; its exit code and how long it took.
std::pair<std::optional<int>, Clock::duration> endOf(bench::ChildProcess& run, Clock::duration bound) {
    const auto started = Clock::now();
    const std::optional<int> code = run.waitFor(std::chrono::duration_cast<milliseconds>(bound));
    return {code, Clock::now() - started};
}

TEST_F(StopEndToEnd, AStopDuringALockWaitOverTcpEndsTheRunInABlockAndInASingleStatement) {
    makeDatabase(kScript);
    for (const char* linesPerCall : {"LinesPerCall=128\n", "LinesPerCall=1\n"}) {
        SCOPED_TRACE(linesPerCall);
        {
            LockHolder holder(m_dir, m_database);
            auto run = start(serverDatabase(m_database), linesPerCall);
            std::this_thread::sleep_for(milliseconds(1500));
            ASSERT_FALSE(run->waitFor(milliseconds(0))) << "the run did not wait for the lock: " << errors();
            {
                // A second run, refused after a few tries by the first one's
                // claim, stopped while it tries.
                auto second = start(serverDatabase(m_database), linesPerCall, "second");
                std::this_thread::sleep_for(milliseconds(300));
                second->signal(SIGHUP);
                const auto [code, took] = endOf(*second, seconds(10));
                ASSERT_TRUE(code) << "the second run still runs 10 s after its stop";
                EXPECT_EQ(*code, 128 + SIGHUP) << errors("second");
                EXPECT_NE(errors("second").find("Stopped by SIGHUP"), std::string::npos) << errors("second");
            }
            run->signal(SIGTERM);
            const auto [code, took] = endOf(*run, seconds(10));
            ASSERT_TRUE(code) << "still running 10 s after the stop";
            EXPECT_EQ(*code, 128 + SIGTERM) << errors();
            EXPECT_LT(took, seconds(2));
            EXPECT_NE(errors().find("Stopped by SIGTERM"), std::string::npos) << errors();
        }
        expectARerunCompletes(kPairs);
    }
}

TEST_F(StopEndToEnd, AStopOnASilentNetworkEndsTheRunWithinFiveSeconds) {
    SKIP_WITHOUT_PACKET_FILTER();
    makeDatabase(kScript);
    {
        LockHolder holder(m_dir, m_database);
        bench::ProxyProcess proxy(binFolder() + "/tarvel_delay_proxy", serverAddress() + ":3050", 0);
        auto run = start(serverAddress() + "/" + std::to_string(proxy.port()) + ":" + m_database);
        std::this_thread::sleep_for(milliseconds(1500));
        ASSERT_FALSE(run->waitFor(milliseconds(0))) << "the run did not wait for the lock: " << errors();
        SilencedPort silence(proxy.port());
        run->signal(SIGINT);
        const auto [code, took] = endOf(*run, seconds(30));
        ASSERT_TRUE(code) << "still running 30 s after the stop";
        EXPECT_EQ(*code, 128 + SIGINT) << errors();
        EXPECT_LT(took, seconds(5));
        EXPECT_NE(errors().find("Stopped by SIGINT"), std::string::npos) << errors();
    }
    expectARerunCompletes(kPairs);
}

// The network silenced while the run waits for a lock it was waiting for
// already, on a live network, longer than the silence bound: only the silence
// ends it.
TEST_F(StopEndToEnd, ASilentNetworkAloneEndsTheRunWithinAMinuteWithoutCuttingALiveWait) {
    SKIP_WITHOUT_PACKET_FILTER();
    makeDatabase(kScript);
    {
        LockHolder holder(m_dir, m_database);
        bench::ProxyProcess proxy(binFolder() + "/tarvel_delay_proxy", serverAddress() + ":3050", 0);
        auto run = start(serverAddress() + "/" + std::to_string(proxy.port()) + ":" + m_database);
        std::this_thread::sleep_for(seconds(20));
        ASSERT_FALSE(run->waitFor(milliseconds(0))) << "a live lock wait was cut: " << errors();
        SilencedPort silence(proxy.port());
        const auto [code, took] = endOf(*run, seconds(90));
        ASSERT_TRUE(code) << "still running 90 s into the silence";
        EXPECT_EQ(*code, 1) << errors();
        EXPECT_LT(took, seconds(60));
        EXPECT_GT(took, seconds(10)) << "ended before the silence bound";
        EXPECT_NE(errors().find("Error reading data from the connection"), std::string::npos) << errors();
        EXPECT_NE(errors().find("The server did not answer for 11 s or more"), std::string::npos) << errors();
    }
    expectARerunCompletes(kPairs);
}

// Stops that land while the run claims its table, counts the lines or opens
// and sorts its scan.
TEST_F(StopEndToEnd, AStopInTheFirstSecondOfALongRunEndsAsAStop) {
    makeDatabase(kLongScript);
    for (const int after : {150, 400, 700, 1000}) {
        SCOPED_TRACE(after);
        auto run = start(serverDatabase(m_database));
        std::this_thread::sleep_for(milliseconds(after));
        run->signal(SIGTERM);
        const auto [code, took] = endOf(*run, seconds(20));
        ASSERT_TRUE(code) << "still running 20 s after the stop";
        EXPECT_EQ(*code, 128 + SIGTERM) << errors();
        EXPECT_LT(took, seconds(3));
    }
    expectARerunCompletes(300000);
}

// 5,000 lines of as many pairs: five groups of 1,000 lines.
const char* const kGroupsScript = R"(
CREATE TABLE INSTORAGE_SUB (
    PROVIDER_ID VARCHAR(10) NOT NULL, PROD_ID VARCHAR(20) NOT NULL, B_PRICE NUMERIC(12,4),
    BILL_DATE DATE NOT NULL, TEMPPRODID VARCHAR(20), PROD_BARCODE VARCHAR(40),
    SALE_PRICE NUMERIC(12,4), U_DIS NUMERIC(5,2));
CREATE TABLE STORY_IN (
    PROVIDER_ID VARCHAR(10), PROD_ID VARCHAR(20), STD_COST NUMERIC(12,4), CHG_DATE DATE,
    TEMPPRODID VARCHAR(20), PROD_BARCODE VARCHAR(13), SALE_PRICE NUMERIC(12,4), U_DIS NUMERIC(5,2));
COMMIT;
SET TERM ^ ;
EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN
  WHILE (I < 5000) DO BEGIN
    INSERT INTO INSTORAGE_SUB VALUES ('P' || LPAD(:I, 5, '0'), 'A', 10, '2024-01-01', 'T', 'B', 20, 5);
    INSERT INTO STORY_IN VALUES ('P' || LPAD(:I, 5, '0'), 'OLD', 1, '2000-01-01', 'T', 'OLD', 1, 1);
    I = I + 1;
  END
END^
SET TERM ; ^
)";

// The answer to one of the run's commits is lost (the delay proxy passes the
// commit to the server, which carries it out, then resets the run's socket):
// the run ends at once, writing nothing again, with a line that names the
// group's lines as maybe committed, and every pair holds exactly one row;
// a rerun completes the table. The commits are counted over the whole
// attachment (the claim's and the count's own too), so the proxy is set to
// lose the N-th for N = 1, 2, ... until one falls on a group.
TEST_F(StopEndToEnd, ACommitWhoseAnswerIsLostIsReportedAndEveryPairKeepsOneRow) {
    makeDatabase(kGroupsScript);
    // A server of the test's own that lets the wire go unencrypted (the
    // shared one requires encryption), so that the proxy reads operations.
    constexpr int kPort = 3073;
    const PrivateServer privateServer(kPort, "WireCrypt = Enabled");
    const std::string direct = privateServer.database(m_database);
    const char* const doubledPairs =
        "SELECT COUNT(*) FROM (SELECT PROVIDER_ID FROM STORY_IN GROUP BY PROVIDER_ID, TEMPPRODID "
        "HAVING COUNT(*) <> 1);";
    bool groupLost = false;
    for (int commit = 1; commit <= 12 && !groupLost; ++commit) {
        SCOPED_TRACE("commit " + std::to_string(commit));
        bench::ProxyProcess proxy(binFolder() + "/tarvel_delay_proxy",
                                  serverAddress() + ":" + std::to_string(kPort), 0,
                                  {"--lose-commit-answer", std::to_string(commit)});
        auto run = start(serverAddress() + "/" + std::to_string(proxy.port()) + ":" + m_database,
                         "WireCrypt=Disabled\n");
        const auto [code, took] = endOf(*run, seconds(60));
        ASSERT_TRUE(code) << "still running a minute after its start";
        EXPECT_LT(took, seconds(30));
        if (*code == 0) continue;  // that commit was not the run's, or came after its end
        EXPECT_EQ(*code, 1) << errors();
        groupLost =
            errors().find(" may or may not have been committed: the answer to the commit was lost.") !=
            std::string::npos;
        EXPECT_EQ(countOf(direct, doubledPairs), 0) << "a pair without its one row: " << errors();
        EXPECT_EQ(countOf(direct, "SELECT COUNT(*) FROM STORY_IN;"), 5000) << errors();
    }
    EXPECT_TRUE(groupLost) << "no commit of the first twelve ended a group";
    auto rerun = start(direct, "WireCrypt=Disabled\n", "rerun");
    const std::optional<int> code = rerun->waitFor(seconds(60));
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, 0) << errors("rerun");
    EXPECT_EQ(countOf(direct, "SELECT COUNT(*) FROM STORY_IN WHERE STD_COST = 1;"), 0) << "an old row left";
}

}  // namespace
}  // namespace tarvel::testing
