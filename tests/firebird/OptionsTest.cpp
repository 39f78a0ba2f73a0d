// Connection options as the program hands them over, and what the metadata
// object reports.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <regex>
#include <set>
#include <vector>

#include "DriverFixture.h"
#include "SocketKeepAlive.h"

namespace tarvel::testing {
namespace {

using namespace sqldriver;

const char* const kSchema =
    "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(5) CHARACTER SET UTF8);\n"
    "INSERT INTO T VALUES (1, 'a');";

class Options : public DriverTest {};

TEST_P(Options, MetadataAndStatementLimitAreThoseTheProgramReads) {
    ConnectionPtr connection = connectTo(settingsFor(makeDatabase(kSchema)));
    std::int32_t limit = -1, written = 0;
    ASSERT_EQ(connection->getOption(connopt::MaxStatements, &limit, sizeof limit, &written), status::Ok);
    EXPECT_EQ(limit, 0);
    ISQLMetaData* raw = nullptr;
    ASSERT_EQ(connection->getSQLMetaData(&raw), status::Ok);
    MetaDataPtr metaData(raw);
    EXPECT_EQ(metaData->setOption(metaopt::SchemaName, "SYSDBA"), status::Ok);
    char quote = 0;
    ASSERT_EQ(metaData->getOption(metaopt::QuoteChar, &quote, 1, &written), status::Ok);
    EXPECT_EQ(quote, '"');
    for (std::int32_t option : {metaopt::SupportsTransaction, metaopt::SupportsTransactions}) {
        std::int32_t supported = 0;
        ASSERT_EQ(metaData->getOption(option, &supported, sizeof supported, &written), status::Ok);
        EXPECT_NE(supported, 0) << option;
    }
}

TEST_P(Options, MetadataTellsTheUserTheDatabaseAndEachTable) {
    const std::string database = makeDatabase(kSchema);
    ConnectionPtr connection = connectTo(settingsFor(database));
    ISQLMetaData* raw = nullptr;
    ASSERT_EQ(connection->getSQLMetaData(&raw), status::Ok);
    MetaDataPtr metaData(raw);
    std::int32_t written = 0;
    const auto text = [&](std::int32_t option) {
        char buffer[1024] = {};
        EXPECT_EQ(metaData->getOption(option, buffer, sizeof buffer, &written), status::Ok)
            << option << ": " << errorMessage(metaData.get());
        return std::string(buffer);
    };
    const auto number = [&](std::int32_t option) {
        std::int32_t value = -1;
        EXPECT_EQ(metaData->getOption(option, &value, sizeof value, &written), status::Ok)
            << option << ": " << errorMessage(metaData.get());
        return value;
    };
    EXPECT_TRUE(std::regex_match(text(metaopt::ServerVersion), std::regex(R"(3\.\d+\.\d+)")));
    EXPECT_EQ(text(metaopt::UserName), "SYSDBA");
    EXPECT_EQ(text(metaopt::RoleName), "");
    EXPECT_EQ(text(metaopt::DatabaseOwner), "SYSDBA");
    EXPECT_TRUE(text(metaopt::DatabaseFile).ends_with("/test.fdb")) << text(metaopt::DatabaseFile);
    EXPECT_EQ(number(metaopt::ReadOnly), 0);
    const struct {
        const char* table;
        std::int32_t exists;
        const char* privileges;
    } tables[] = {
        {"T", 1, "SIUDR"}, {"RDB$DATABASE", 1, "SIUDR"}, {"NOPE", 0, ""}, {"T' OR 'X' = 'X", 0, ""}};
    for (const auto& table : tables) {
        ASSERT_EQ(metaData->setOption(metaopt::TableName, table.table), status::Ok);
        EXPECT_EQ(number(metaopt::TableExists), table.exists) << table.table;
        EXPECT_EQ(text(metaopt::TablePrivileges), table.privileges) << table.table;
    }
    char small[3] = {};
    EXPECT_EQ(metaData->getOption(metaopt::UserName, small, sizeof small, &written), status::InvalidLength);
    // The client library answers before any connection is made.
    ConnectionPtr unconnected = newConnection();
    char version[256] = {};
    ASSERT_EQ(unconnected->getOption(connopt::ClientVersion, version, sizeof version, &written), status::Ok);
    EXPECT_TRUE(std::regex_search(version, std::regex(R"(^[A-Z]{2}-V\d+\.\d+\.\d+\.\d+ Firebird 3\.\d)")))
        << version;
}

// The silence time-out reaches the attachment's own socket over TCP, with
// the times it stands for; an embedded attachment has none to give it.
TEST_P(Options, TheSilenceTimeOutIsSetOnTheAttachmentsSocket) {
    const struct {
        int seconds;
        fb::SilenceTimes times;
    } timesCases[] = {{15, {5, 2, 3, 15000}}, {1, {1, 1, 3, 1000}}, {60, {20, 8, 3, 60000}}};
    for (const auto& c : timesCases) {
        const fb::SilenceTimes times = fb::silenceTimes(c.seconds);
        EXPECT_EQ(times.idle, c.times.idle) << c.seconds;
        EXPECT_EQ(times.interval, c.times.interval) << c.seconds;
        EXPECT_EQ(times.count, c.times.count) << c.seconds;
        EXPECT_EQ(times.userTimeoutMs, c.times.userTimeoutMs) << c.seconds;
    }
    const std::string database = makeDatabase(kSchema);
    const bool server = GetParam() == Access::Server;
    for (const int seconds : {15, 0}) {
        SCOPED_TRACE(seconds);
        const std::set<int> before = fb::connectedTcpSockets();
        ConnectionPtr connection = newConnection();
        ASSERT_EQ(connection->setIntOption(connopt::SilenceTimeout, seconds), status::Ok);
        ASSERT_EQ(connection->connect(database.c_str(), "SYSDBA", testPassword().c_str()), status::Ok)
            << errorMessage(connection.get());
        std::int32_t watched = -1, written = 0;
        ASSERT_EQ(connection->getOption(connopt::SilenceWatched, &watched, sizeof watched, &written),
                  status::Ok);
        EXPECT_EQ(watched, server && seconds > 0 ? 1 : 0);
        std::vector<int> made;
        for (int descriptor : fb::connectedTcpSockets())
            if (before.count(descriptor) == 0) made.push_back(descriptor);
        ASSERT_EQ(made.size(), server ? 1u : 0u);
        if (!server) continue;
        int idle = 0;
        unsigned userTimeout = 0;
        socklen_t length = sizeof idle;
        ASSERT_EQ(::getsockopt(made[0], IPPROTO_TCP, TCP_KEEPIDLE, &idle, &length), 0);
        length = sizeof userTimeout;
        ASSERT_EQ(::getsockopt(made[0], IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeout, &length), 0);
        if (seconds > 0) {
            EXPECT_EQ(idle, 5);
        }
        EXPECT_EQ(userTimeout, seconds > 0 ? 15000u : 0u) << "none without the option";
    }
    ConnectionPtr refusing = newConnection();
    EXPECT_EQ(refusing->setIntOption(connopt::SilenceTimeout, -1), status::InvalidParameter);
    EXPECT_EQ(refusing->setIntOption(connopt::SilenceTimeout, 3601), status::InvalidParameter);
}

TEST_P(Options, CharacterSetAndAnUngrantedRoleAreAccepted) {
    ConnectSettings settings = settingsFor(makeDatabase(kSchema));
    settings.charSet = "UTF8";
    settings.roleName = "RoleName";
    ConnectionPtr connection = connectTo(settings);
    CommandPtr insert = prepare(connection.get(), "INSERT INTO T VALUES (2, ?)");
    ASSERT_EQ(bindText(insert.get(), 1, "\xC3\xA4\xC3\xB6\xC3\xBC\xE4\xB8\xAD!"), status::Ok);
    ISQLCursor* none = nullptr;
    ASSERT_EQ(insert->execute(&none), status::Ok) << errorMessage(insert.get());
    CommandPtr select = prepare(connection.get(), "SELECT NAME, CURRENT_ROLE FROM T WHERE ID = 2");
    CursorPtr cursor = open(select.get());
    std::uint32_t length = 0;
    std::int16_t characters = 0;
    cursor->getColumnLength(1, &length);
    cursor->getColumnPrecision(1, &characters);
    EXPECT_EQ(length, 20u) << "UTF8 takes up to four bytes a character";
    EXPECT_EQ(characters, 5);
    ASSERT_EQ(cursor->next(), status::Ok);
    EXPECT_EQ(valueText(cursor.get(), 1), "\xC3\xA4\xC3\xB6\xC3\xBC\xE4\xB8\xAD!");
    EXPECT_EQ(valueText(cursor.get(), 2), "NONE");
}

TEST_P(Options, WithoutWaitOnLocksAConflictFailsAtOnce) {
    const std::string database = makeDatabase(kSchema);
    ConnectionPtr holder = connectTo(settingsFor(database));
    ASSERT_EQ(holder->beginTransaction(), status::Ok);
    run(holder.get(), "UPDATE T SET NAME = 'b' WHERE ID = 1");
    ConnectSettings settings = settingsFor(database);
    settings.waitOnLocks = false;
    ConnectionPtr other = connectTo(settings);
    CommandPtr update = prepare(other.get(), "UPDATE T SET NAME = 'c' WHERE ID = 1");
    ISQLCursor* none = nullptr;
    // With waiting on, this would block until the holder ends.
    EXPECT_EQ(update->execute(&none), status::SqlError);
    EXPECT_NE(errorMessage(update.get()).find("update conflicts with concurrent update"), std::string::npos)
        << errorMessage(update.get());
    EXPECT_EQ(holder->rollback(), status::Ok);
}

TEST_P(Options, WithoutAutoCommitStatementsWaitForCommit) {
    const std::string database = makeDatabase(kSchema);
    ConnectionPtr observer = connectTo(settingsFor(database));
    ConnectSettings settings = settingsFor(database);
    settings.autoCommit = false;
    ConnectionPtr connection = connectTo(settings);
    run(connection.get(), "INSERT INTO T VALUES (3, 'x')");
    const char* const count = "SELECT COUNT(*) FROM T WHERE ID = 3";
    EXPECT_EQ(queryRows(observer.get(), count)[0][0], "0");
    ASSERT_EQ(connection->commit(), status::Ok) << errorMessage(connection.get());
    EXPECT_EQ(queryRows(observer.get(), count)[0][0], "1");
}

TARVEL_BOTH_ACCESSES(Options);

}  // namespace
}  // namespace tarvel::testing
