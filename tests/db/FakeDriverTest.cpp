// The fake driver's own rules, which the connection and query tests rely on:
// the log's byte-exact quoting, values shown by kind, scripted results.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "FakeDriverScript.h"

extern "C" sqldriver::Status GetFakeDriver(const char*, const char*, sqldriver::ISQLDriver**);

using ::testing::ElementsAre;

namespace {

TEST(FakeDriverTest, QuotesBytesExactly) {
    struct Case {
        std::string bytes;
        const char* quoted;
    };
    const Case cases[] = {
        {"SELECT 1\r\n", "SELECT 1\\r\\n"},
        {std::string("a\0b", 3), "a\\0b"},
        {"\"q\" \\ \t", "\\\"q\\\" \\\\ \\t"},
        {"\xa4\x40\x7f\x01", "\\xa4@\\x7f\\x01"},
    };
    for (const Case& c : cases) EXPECT_EQ(fakedriver::quote(c.bytes), c.quoted);
}

TEST(FakeDriverTest, LogsCallsAndServesScriptedResults) {
    fakedriver::reset();
    sqldriver::ISQLDriver* driver = nullptr;
    ASSERT_EQ(GetFakeDriver("v.so", "", &driver), 0);
    sqldriver::ISQLConnection* connection = nullptr;
    ASSERT_EQ(driver->getSQLConnection(&connection), 0);
    sqldriver::ISQLCommand* command = nullptr;
    ASSERT_EQ(connection->getSQLCommand(&command), 0);
    ASSERT_EQ(command->prepare("SELECT X\r\n", 2), 0);
    double price = 2.5;
    std::int32_t id = -7;
    command->setParameter(1, 0, 1, sqldriver::kind::Text, 0, 3, 0, 4, "abc", false);
    command->setParameter(2, 0, 1, sqldriver::kind::Double, 0, 8, 0, 8, &price, false);
    command->setParameter(3, 0, 1, sqldriver::kind::Int32, 0, 4, 0, 4, &id, false);
    command->setParameter(4, 0, 1, sqldriver::kind::Date, 0, 0, 0, 0, nullptr, true);

    fakedriver::ResultSet result;
    result.columns.push_back(fakedriver::Column{"NAME", sqldriver::kind::Text, 0, 5, 5, 0, true, false});
    result.rows = {{fakedriver::Value::text("abcdef")}, {fakedriver::Value::null()}};
    result.endStatus = sqldriver::status::Eof;
    fakedriver::setResultFor("SELECT X\r\n", result);
    fakedriver::failNext("command.execute", sqldriver::status::SqlError, 1);

    sqldriver::ISQLCursor* cursor = nullptr;
    ASSERT_EQ(command->execute(&cursor), 0) << "the first execution is let through";
    ASSERT_NE(cursor, nullptr);
    char name[sqldriver::kMaxColumnNameBytes + 1];
    ASSERT_EQ(cursor->getColumnName(1, name), 0);
    EXPECT_STREQ(name, "NAME");
    char value[4];
    bool isNull = true;
    ASSERT_EQ(cursor->next(), 0);
    ASSERT_EQ(cursor->getValue(1, value, sizeof value, &isNull), 0);
    EXPECT_FALSE(isNull);
    EXPECT_STREQ(value, "abc") << "a text longer than the buffer is cut";
    ASSERT_EQ(cursor->next(), 0);
    ASSERT_EQ(cursor->getValue(1, value, sizeof value, &isNull), 0);
    EXPECT_TRUE(isNull);
    EXPECT_EQ(cursor->next(), sqldriver::status::Eof);
    cursor->release();
    EXPECT_EQ(command->execute(&cursor), sqldriver::status::SqlError);
    EXPECT_EQ(cursor, nullptr);
    EXPECT_EQ(fakedriver::liveObjects("cursor"), 0);

    EXPECT_THAT(fakedriver::logOf("command.setParameter"),
                ElementsAre("command.setParameter 1 0 1 1 0 3 0 4 \"abc\\0\" null=0",
                            "command.setParameter 2 0 1 7 0 8 0 8 double=2.5 null=0",
                            "command.setParameter 3 0 1 4 0 4 0 4 int=-7 null=0",
                            "command.setParameter 4 0 1 10 0 0 0 0 - null=1"));
    EXPECT_THAT(fakedriver::logOf("command.prepare"), ElementsAre("command.prepare \"SELECT X\\r\\n\" 2"));
    command->release();
    connection->release();
    driver->release();
    EXPECT_EQ(fakedriver::liveObjects(), 0);
}

}  // namespace
