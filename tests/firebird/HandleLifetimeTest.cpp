// Released objects leave no statement or transaction behind in the server,
// and objects may be released in any order.
#include "DriverFixture.h"

namespace tarvel::testing {
namespace {

using namespace sqldriver;

const char* const kSchema = "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY);\nINSERT INTO T VALUES (1);";

// Statements and transactions the server holds for this attachment now.
std::vector<std::string> openHandles(ISQLConnection* connection) {
    const auto rows = queryRows(
        connection,
        "SELECT (SELECT COUNT(*) FROM MON$STATEMENTS S WHERE S.MON$ATTACHMENT_ID = CURRENT_CONNECTION), "
        "(SELECT COUNT(*) FROM MON$TRANSACTIONS R WHERE R.MON$ATTACHMENT_ID = CURRENT_CONNECTION) "
        "FROM RDB$DATABASE");
    return rows.at(0);
}

class HandleLifetime : public DriverTest {};

TEST_P(HandleLifetime, ReleasedStatementsAndCursorsFreeTheirServerHandles) {
    ConnectionPtr connection = connectTo(settingsFor(makeDatabase(kSchema)));
    const std::vector<std::string> before = openHandles(connection.get());
    for (int i = 0; i < 30; ++i) {
        CommandPtr select = prepare(connection.get(), "SELECT ID FROM T");
        CursorPtr cursor = open(select.get());
        ASSERT_EQ(cursor->next(), status::Ok);
        if (i % 2) select.reset();  // the command before its cursor
        cursor.reset();
        CommandPtr insert = prepare(connection.get(), "INSERT INTO T VALUES (?)");
        ASSERT_EQ(bindValue(insert.get(), 1, kind::Int32, std::int32_t{100 + i}), status::Ok);
        ISQLCursor* none = nullptr;
        ASSERT_EQ(insert->execute(&none), status::Ok) << errorMessage(insert.get());
        Status failed = status::Ok;
        CommandPtr broken = prepare(connection.get(), "SELECT NOTHING FROM T", &failed);
        ASSERT_EQ(failed, status::SqlError);
    }
    EXPECT_EQ(openHandles(connection.get()), before);
    EXPECT_EQ(connection->disconnect(), status::Ok) << errorMessage(connection.get());
}

TEST_P(HandleLifetime, DisconnectWithAnOpenCursorIsRefusedUntilItIsReleased) {
    ConnectionPtr connection = connectTo(settingsFor(makeDatabase(kSchema)));
    CommandPtr select = prepare(connection.get(), "SELECT ID FROM T");
    CursorPtr cursor = open(select.get());
    EXPECT_NE(connection->disconnect(), status::Ok);
    EXPECT_NE(errorMessage(connection.get()).find("open transaction"), std::string::npos)
        << errorMessage(connection.get());
    cursor.reset();
    select.reset();
    EXPECT_EQ(connection->disconnect(), status::Ok) << errorMessage(connection.get());
}

TEST_P(HandleLifetime, ConnectionReleasedBeforeItsStatementsLeavesThemUsable) {
    ConnectionPtr connection = connectTo(settingsFor(makeDatabase(kSchema)));
    CommandPtr select = prepare(connection.get(), "SELECT ID FROM T");
    connection.reset();
    CursorPtr cursor = open(select.get());
    ASSERT_EQ(cursor->next(), status::Ok);
    EXPECT_EQ(valueText(cursor.get(), 1), "1");
}

TARVEL_BOTH_ACCESSES(HandleLifetime);

}  // namespace
}  // namespace tarvel::testing
