// Failures carry the right status and Firebird's own message.
#include "DriverFixture.h"

namespace tarvel::testing {
namespace {

using namespace sqldriver;

const char* const kSchema =
    "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(5) NOT NULL);\n"
    "INSERT INTO T VALUES (1, 'one');";

class Failures : public DriverTest {};

// A port beside the test server's, where no server listens.
int unusedPort() { return serverPort() == 3049 ? 3048 : 3049; }

struct StatementFailure {
    const char* what;
    const char* sql;
    bool failsAtPrepare;
    std::vector<const char*> messageParts;
};

TEST_P(Failures, StatementFailuresGiveSqlErrorAndFirebirdsMessage) {
    ConnectionPtr connection = connectTo(settingsFor(makeDatabase(kSchema)));
    const StatementFailure cases[] = {
        {"syntax error",
         "SELEC ID FROM T",
         true,
         {"Dynamic SQL Error", "SQL error code = -104", "Token unknown", "SELEC"}},
        {"unknown table",
         "SELECT ID FROM NOWHERE",
         true,
         {"Table unknown", "NOWHERE", "SQL error code = -204"}},
        {"duplicate key",
         "INSERT INTO T VALUES (1, 'again')",
         false,
         {"violation of PRIMARY or UNIQUE KEY constraint", "on table \"T\"", "SQL error code = -803"}},
        {"not null", "INSERT INTO T (ID) VALUES (2)", false, {"NAME", "SQL error code = -625"}},
        {"string too long",
         "INSERT INTO T VALUES (3, 'toolong')",
         false,
         {"string right truncation", "SQL error code = -802"}},
    };
    for (const StatementFailure& failure : cases) {
        SCOPED_TRACE(failure.what);
        Status status = status::Ok;
        CommandPtr command = prepare(connection.get(), failure.sql, &status);
        if (!failure.failsAtPrepare) {
            ASSERT_EQ(status, status::Ok) << errorMessage(command.get());
            ISQLCursor* none = nullptr;
            status = command->execute(&none);
            EXPECT_EQ(none, nullptr);
        }
        EXPECT_EQ(status, status::SqlError);
        const std::string message = errorMessage(command.get());
        for (const char* part : failure.messageParts)
            EXPECT_NE(message.find(part), std::string::npos) << "\"" << part << "\" missing from:\n"
                                                             << message;
    }
    EXPECT_EQ(queryRows(connection.get(), "SELECT COUNT(*) FROM T")[0][0], "1")
        << "no failed statement left a row";
}

TEST_P(Failures, MissingDatabaseFileRefusesTheConnection) {
    makeDatabase(kSchema);
    const std::string missing = m_dir.file("missing.fdb");
    ConnectSettings settings = settingsFor(GetParam() == Access::Server ? serverDatabase(missing) : missing);
    Status status = status::Ok;
    ConnectionPtr connection = connectTo(settings, &status);
    EXPECT_EQ(status, status::ConnectionFailed);
    const std::string message = errorMessage(connection.get());
    EXPECT_NE(message.find("I/O error"), std::string::npos) << message;
    EXPECT_NE(message.find(missing), std::string::npos) << message;
}

TEST_P(Failures, AFailedCallKeepsItsMessageAfterLaterSuccesses) {
    ConnectionPtr connection = connectTo(settingsFor(makeDatabase(kSchema)));
    Status status = status::Ok;
    CommandPtr command = prepare(connection.get(), "SELECT NOPE FROM T", &status);
    ASSERT_EQ(status, status::SqlError);
    const std::string message = errorMessage(command.get());
    ASSERT_EQ(command->prepare("SELECT ID FROM T", 0), status::Ok);
    EXPECT_EQ(errorMessage(command.get()), message);
    CursorPtr cursor = open(command.get());
    ASSERT_EQ(cursor->next(), status::Ok);
    EXPECT_EQ(valueText(cursor.get(), 1), "1");
}

TARVEL_BOTH_ACCESSES(Failures);

TEST(ServerFailures, WrongPasswordIsRefusedAsInvalidUserPassword) {
    TARVEL_SKIP_WITHOUT_SERVER();
    TempDir dir;
    const std::string path = dir.file("pw.fdb");
    createDatabase(path, kSchema);
    ConnectSettings settings;
    settings.database = serverDatabase(path);
    settings.password = "not-" + testPassword();
    Status status = status::Ok;
    ConnectionPtr connection = connectTo(settings, &status);
    EXPECT_EQ(status, status::InvalidUserPassword);
    const std::string message = errorMessage(connection.get());
    EXPECT_NE(message.find("user name and password are not defined"), std::string::npos) << message;
}

TEST(ServerFailures, RefusedConnectionReportsTheNetworkFailure) {
    // Nothing listens on this port: the same refusal as a stopped server.
    ConnectSettings settings;
    settings.database = serverAddress() + "/" + std::to_string(unusedPort()) + ":/tmp/none.fdb";
    settings.password = testPassword();
    Status status = status::Ok;
    ConnectionPtr connection = connectTo(settings, &status);
    EXPECT_EQ(status, status::ConnectionFailed);
    const std::string message = errorMessage(connection.get());
    EXPECT_NE(message.find("Unable to complete network request to host"), std::string::npos) << message;
}

TEST(ServerFailures, ServerPortOptionDecidesWhereTheAttachmentGoes) {
    TARVEL_SKIP_WITHOUT_SERVER();
    TempDir dir;
    const std::string path = dir.file("port.fdb");
    createDatabase(path, kSchema);
    // Without a port in the text, so that the option decides.
    const std::string database = serverAddress() + ":" + path;
    const std::string password = testPassword();
    struct PortCase {
        std::string port;
        Status status;
    };
    for (const PortCase& c : {PortCase{std::to_string(serverPort()), status::Ok},
                              PortCase{std::to_string(unusedPort()), status::ConnectionFailed}}) {
        ConnectionPtr connection = newConnection();
        ASSERT_EQ(connection->setTextOption(connopt::ServerPort, c.port.c_str()), status::Ok);
        EXPECT_EQ(connection->connect(database.c_str(), "SYSDBA", password.c_str()), c.status)
            << c.port << ": " << errorMessage(connection.get());
    }
}

}  // namespace
}  // namespace tarvel::testing
