// Every column kind: its description, its boundary values and its nulls, read
// back through the driver; and values of each kind bound as parameters.
#include <cmath>
#include <cstring>

#include "DriverFixture.h"

namespace tarvel::testing {
namespace {

using namespace sqldriver;

const char* const kKindsSchema = R"(
CREATE TABLE KINDS (
    ID INTEGER NOT NULL PRIMARY KEY,
    C_CHAR CHAR(5),
    C_VARCHAR VARCHAR(10),
    C_SMALL SMALLINT,
    C_INT INTEGER,
    C_BIG BIGINT,
    C_NUM92 NUMERIC(9,2),
    C_DEC184 DECIMAL(18,4),
    C_NUM40 NUMERIC(4,0),
    C_FLOAT FLOAT,
    C_DOUBLE DOUBLE PRECISION,
    C_DATE DATE,
    C_TIME TIME,
    C_STAMP TIMESTAMP,
    C_BOOL BOOLEAN,
    C_MEMO BLOB SUB_TYPE TEXT,
    C_BIN BLOB SUB_TYPE BINARY
);
INSERT INTO KINDS VALUES (1, 'a', '', -32768, -2147483648, -9223372036854775808,
    -21474836.48, -922337203685477.5808, -9999, -1.5, -1.7976931348623157e308,
    '0001-01-01', '00:00:00.0000', '0001-01-01 00:00:00.0000', FALSE, '', '');
INSERT INTO KINDS VALUES (2, 'abcde', '0123456789', 32767, 2147483647, 9223372036854775807,
    21474836.47, 922337203685477.5807, 9999, 0.25, 1.7976931348623157e308,
    '9999-12-31', '23:59:59.9990', '9999-12-31 23:59:59.9990', TRUE, 'memo text', 'bin');
INSERT INTO KINDS (ID) VALUES (3);
)";

const char* const kSelectKinds =
    "SELECT ID, C_CHAR, C_VARCHAR, C_SMALL, C_INT, C_BIG, C_NUM92, C_DEC184, C_NUM40, C_FLOAT, C_DOUBLE, "
    "C_DATE, C_TIME, C_STAMP, C_BOOL, C_MEMO, C_BIN FROM KINDS ORDER BY ID";

struct ColumnExpectation {
    const char* name;
    std::uint16_t kind;
    std::uint16_t subkind;
    std::uint32_t length;
    std::int16_t precision;
    std::int16_t scale;
    bool nullable;
    const char* lowest;
    const char* highest;
};

const ColumnExpectation kColumns[] = {
    {"ID", kind::Int32, 0, 4, 10, 0, false, "1", "2"},
    {"C_CHAR", kind::Text, subkind::FixedText, 5, 5, 0, true, "a    ", "abcde"},
    {"C_VARCHAR", kind::Text, subkind::None, 10, 10, 0, true, "", "0123456789"},
    {"C_SMALL", kind::Int16, 0, 2, 5, 0, true, "-32768", "32767"},
    {"C_INT", kind::Int32, 0, 4, 10, 0, true, "-2147483648", "2147483647"},
    {"C_BIG", kind::Int64, 0, 8, 19, 0, true, "-9223372036854775808", "9223372036854775807"},
    // Values may exceed the declared digits as far as the storage holds them.
    {"C_NUM92", kind::Bcd, 0, sizeof(Bcd), 9, 2, true, "-21474836.48", "21474836.47"},
    {"C_DEC184", kind::Bcd, 0, sizeof(Bcd), 18, 4, true, "-922337203685477.5808", "922337203685477.5807"},
    {"C_NUM40", kind::Bcd, 0, sizeof(Bcd), 4, 0, true, "-9999", "9999"},
    {"C_FLOAT", kind::Double, 0, 8, 7, 0, true, "-1.5", "0.25"},
    {"C_DOUBLE", kind::Double, 0, 8, 15, 0, true, "-1.7976931348623157e+308", "1.7976931348623157e+308"},
    {"C_DATE", kind::Date, 0, 4, 0, 0, true, "0001-01-01", "9999-12-31"},
    {"C_TIME", kind::Time, 0, 4, 0, 0, true, "00:00:00.000", "23:59:59.999"},
    {"C_STAMP", kind::SqlTimestamp, 0, sizeof(SqlTimestamp), 0, 0, true, "0001-01-01 00:00:00.000",
     "9999-12-31 23:59:59.999"},
    {"C_BOOL", kind::Boolean, 0, 2, 0, 0, true, "0", "1"},
    {"C_MEMO", kind::Blob, subkind::Memo, 0, 0, 0, true, "", "memo text"},
    {"C_BIN", kind::Blob, subkind::Binary, 0, 0, 0, true, "", "bin"},
};

class ColumnKinds : public DriverTest {};

TEST_P(ColumnKinds, DescribesEveryColumnAndReadsItsBoundaryValuesAndNulls) {
    ConnectionPtr connection = connectTo(settingsFor(makeDatabase(kKindsSchema)));
    CommandPtr command = prepare(connection.get(), kSelectKinds);
    CursorPtr cursor = open(command.get());

    std::uint16_t count = 0;
    ASSERT_EQ(cursor->getColumnCount(&count), status::Ok);
    ASSERT_EQ(count, std::size(kColumns));
    for (std::uint16_t c = 1; c <= count; ++c) {
        const ColumnExpectation& expected = kColumns[c - 1];
        SCOPED_TRACE(expected.name);
        char name[kMaxColumnNameBytes + 1] = {};
        std::uint16_t kind = 99, subkind = 99;
        std::uint32_t length = 0;
        std::int16_t precision = -1, scale = -1;
        bool nullable = !expected.nullable, readOnly = true;
        ASSERT_EQ(cursor->getColumnName(c, name), status::Ok);
        ASSERT_EQ(cursor->getColumnType(c, &kind, &subkind), status::Ok);
        ASSERT_EQ(cursor->getColumnLength(c, &length), status::Ok);
        ASSERT_EQ(cursor->getColumnPrecision(c, &precision), status::Ok);
        ASSERT_EQ(cursor->getColumnScale(c, &scale), status::Ok);
        ASSERT_EQ(cursor->isNullable(c, &nullable), status::Ok);
        ASSERT_EQ(cursor->isReadOnly(c, &readOnly), status::Ok);
        EXPECT_STREQ(name, expected.name);
        EXPECT_EQ(kind, expected.kind);
        EXPECT_EQ(subkind, expected.subkind);
        if (expected.kind != kind::Blob) {
            EXPECT_EQ(length, expected.length);
        }
        if (expected.precision) {
            EXPECT_EQ(precision, expected.precision);
        }
        EXPECT_EQ(scale, expected.scale);
        EXPECT_EQ(nullable, expected.nullable);
        EXPECT_FALSE(readOnly) << "a table column can be written";
    }

    ASSERT_EQ(cursor->next(), status::Ok);
    for (std::uint16_t c = 1; c <= count; ++c)
        EXPECT_EQ(valueText(cursor.get(), c), kColumns[c - 1].lowest) << kColumns[c - 1].name;
    ASSERT_EQ(cursor->next(), status::Ok);
    for (std::uint16_t c = 1; c <= count; ++c)
        EXPECT_EQ(valueText(cursor.get(), c), kColumns[c - 1].highest) << kColumns[c - 1].name;
    ASSERT_EQ(cursor->next(), status::Ok);
    for (std::uint16_t c = 2; c <= count; ++c)
        EXPECT_EQ(valueText(cursor.get(), c), "<null>") << kColumns[c - 1].name;
    EXPECT_EQ(cursor->next(), status::NoMoreData);
    EXPECT_EQ(cursor->next(), status::NoMoreData) << "the end stays the end";
}

TEST_P(ColumnKinds, ExpressionsAreReadOnlyAndNumericExpressionsTakeTheStoragePrecision) {
    ConnectionPtr connection = connectTo(settingsFor(makeDatabase(kKindsSchema)));
    CommandPtr command =
        prepare(connection.get(),
                "SELECT COUNT(*) AS N, CAST(2.5 AS NUMERIC(5,2)) AS P, C_NUM92 * 2 AS D, C_INT AS C_INT "
                "FROM KINDS WHERE ID = 2 GROUP BY C_NUM92, C_INT");
    CursorPtr cursor = open(command.get());
    struct Expected {
        std::uint16_t kind;
        std::int16_t precision;
        bool readOnly;
    };
    // COUNT(*) is 64-bit in dialect 3; a computed NUMERIC carries no declared
    // digits, so it reports what its storage holds.
    const Expected expected[] = {
        {kind::Int64, 19, true}, {kind::Bcd, 9, true}, {kind::Bcd, 18, true}, {kind::Int32, 10, false}};
    for (std::uint16_t c = 1; c <= 4; ++c) {
        std::uint16_t kind = 0, subkind = 0;
        std::int16_t precision = 0;
        bool readOnly = false;
        cursor->getColumnType(c, &kind, &subkind);
        cursor->getColumnPrecision(c, &precision);
        cursor->isReadOnly(c, &readOnly);
        EXPECT_EQ(kind, expected[c - 1].kind) << c;
        EXPECT_EQ(precision, expected[c - 1].precision) << c;
        EXPECT_EQ(readOnly, expected[c - 1].readOnly) << c;
    }
    ASSERT_EQ(cursor->next(), status::Ok);
    EXPECT_EQ(valueText(cursor.get(), 1), "1");
    EXPECT_EQ(valueText(cursor.get(), 2), "2.50");
    EXPECT_EQ(valueText(cursor.get(), 3), "42949672.94");
}

TEST_P(ColumnKinds, EachKindBoundAsAParameterIsStoredExactly) {
    ConnectionPtr connection = connectTo(settingsFor(makeDatabase(kKindsSchema)));
    CommandPtr insert =
        prepare(connection.get(),
                "INSERT INTO KINDS (ID, C_CHAR, C_VARCHAR, C_SMALL, C_INT, C_BIG, C_NUM92, C_DEC184, "
                "C_FLOAT, C_DOUBLE, C_DATE, C_TIME, C_STAMP, C_BOOL, C_MEMO) "
                "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    Bcd bcd;
    bcd.precision = 6;
    bcd.scale = 4;
    bcd.negative = 1;
    const std::uint8_t digits[] = {1, 2, 3, 4, 5, 6};
    std::memcpy(bcd.digits, digits, sizeof digits);
    SqlTimestamp stamp;
    stamp.year = 2004;
    stamp.month = 3;
    stamp.day = 5;
    stamp.hour = 13;
    stamp.minute = 4;
    stamp.second = 5;
    stamp.fraction = 678;
    const std::string memo(30000, 'm');

    ASSERT_EQ(bindValue(insert.get(), 1, kind::Int32, std::int32_t{10}), status::Ok);
    ASSERT_EQ(bindText(insert.get(), 2, "xy"), status::Ok);
    ASSERT_EQ(bindText(insert.get(), 3, "hello"), status::Ok);
    ASSERT_EQ(bindValue(insert.get(), 4, kind::Int16, std::int16_t{-7}), status::Ok);
    ASSERT_EQ(bindValue(insert.get(), 5, kind::UInt16, std::uint16_t{65535}), status::Ok);
    ASSERT_EQ(bindValue(insert.get(), 6, kind::Int64, std::int64_t{-1234567890123LL}), status::Ok);
    ASSERT_EQ(bindDouble(insert.get(), 7, 2.675), status::Ok);
    ASSERT_EQ(bindValue(insert.get(), 8, kind::Bcd, bcd), status::Ok);
    ASSERT_EQ(bindDouble(insert.get(), 9, 0.5), status::Ok);
    ASSERT_EQ(bindDouble(insert.get(), 10, 0.1), status::Ok);
    ASSERT_EQ(bindValue(insert.get(), 11, kind::Date, dayNumber(2004, 3, 5)), status::Ok);
    ASSERT_EQ(bindValue(insert.get(), 12, kind::Time, std::uint32_t{(13 * 3600 + 4 * 60 + 5) * 1000 + 678}),
              status::Ok);
    ASSERT_EQ(bindValue(insert.get(), 13, kind::SqlTimestamp, stamp), status::Ok);
    ASSERT_EQ(bindValue(insert.get(), 14, kind::Boolean, std::int16_t{1}), status::Ok);
    ASSERT_EQ(insert->setParameter(15, 0, direction::Input, kind::Blob, subkind::Memo, 0, 0,
                                   static_cast<std::uint32_t>(memo.size()), memo.data(), false),
              status::Ok);
    ISQLCursor* none = nullptr;
    ASSERT_EQ(insert->execute(&none), status::Ok) << errorMessage(insert.get());
    EXPECT_EQ(none, nullptr);
    std::int32_t rows = 0;
    ASSERT_EQ(insert->getRowsAffected(&rows), status::Ok);
    EXPECT_EQ(rows, 1);

    const auto stored =
        queryRows(connection.get(),
                  "SELECT C_CHAR, C_VARCHAR, C_SMALL, C_INT, C_BIG, C_NUM92, C_DEC184, C_FLOAT, "
                  "C_DOUBLE, C_DATE, C_TIME, C_STAMP, C_BOOL, C_MEMO FROM KINDS WHERE ID = 10");
    ASSERT_EQ(stored.size(), 1u);
    const std::vector<std::string> expected = {"xy   ",
                                               "hello",
                                               "-7",
                                               "65535",
                                               "-1234567890123",
                                               "2.68",
                                               "-12.3456",
                                               "0.5",
                                               "0.10000000000000001",
                                               "2004-03-05",
                                               "13:04:05.678",
                                               "2004-03-05 13:04:05.678",
                                               "1",
                                               memo};
    EXPECT_EQ(stored[0], expected);
}

TEST_P(ColumnKinds, NullParametersOfEveryKindStoreNulls) {
    ConnectionPtr connection = connectTo(settingsFor(makeDatabase(kKindsSchema)));
    CommandPtr insert = prepare(
        connection.get(),
        "INSERT INTO KINDS (ID, C_CHAR, C_NUM92, C_DATE, C_STAMP, C_BOOL) VALUES (11, ?, ?, ?, ?, ?)");
    const std::uint16_t kinds[] = {kind::Text, kind::Double, kind::Text, kind::SqlTimestamp, kind::Boolean};
    for (std::uint16_t p = 1; p <= 5; ++p) ASSERT_EQ(bindNull(insert.get(), p, kinds[p - 1]), status::Ok);
    ISQLCursor* none = nullptr;
    ASSERT_EQ(insert->execute(&none), status::Ok) << errorMessage(insert.get());
    const auto stored = queryRows(connection.get(),
                                  "SELECT C_CHAR, C_NUM92, C_DATE, C_STAMP, C_BOOL FROM KINDS WHERE ID = 11");
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0], std::vector<std::string>(5, "<null>"));
}

TEST_P(ColumnKinds, StatementWithAnUnboundParameterIsNotExecuted) {
    ConnectionPtr connection = connectTo(settingsFor(makeDatabase(kKindsSchema)));
    CommandPtr insert = prepare(connection.get(), "INSERT INTO KINDS (ID, C_INT) VALUES (?, ?)");
    ASSERT_EQ(bindValue(insert.get(), 1, kind::Int32, std::int32_t{20}), status::Ok);
    ISQLCursor* none = nullptr;
    EXPECT_EQ(insert->execute(&none), status::ParameterNotSet);
    EXPECT_EQ(errorMessage(insert.get()), "parameter 2 has no value");
    EXPECT_EQ(bindText(insert.get(), 3, "x"), status::OutOfRange);
    // Binding failures are asked of the connection.
    EXPECT_EQ(errorMessage(connection.get()), "parameter 3 out of range (the statement has 2)");
    EXPECT_TRUE(queryRows(connection.get(), "SELECT ID FROM KINDS WHERE ID = 20").empty());
}

TEST_P(ColumnKinds, ValueBuffersAreNeverOverrun) {
    ConnectionPtr connection = connectTo(settingsFor(makeDatabase(kKindsSchema)));
    CommandPtr command = prepare(connection.get(), "SELECT C_VARCHAR, C_BIG FROM KINDS WHERE ID = 2");
    CursorPtr cursor = open(command.get());
    bool isNull = true;
    char text[8];
    std::memset(text, '#', sizeof text);
    EXPECT_EQ(cursor->getValue(1, text, 4, &isNull), status::Eof) << "no row is current before next";
    ASSERT_EQ(cursor->next(), status::Ok);
    ASSERT_EQ(cursor->getValue(1, text, 4, &isNull), status::Ok);
    EXPECT_STREQ(text, "012") << "cut to the buffer, NUL included";
    EXPECT_EQ(text[4], '#');
    std::int32_t small = 0;
    EXPECT_EQ(cursor->getValue(2, &small, sizeof small, &isNull), status::InvalidLength);
    EXPECT_EQ(cursor->getValue(3, text, sizeof text, &isNull), status::OutOfRange);
    EXPECT_EQ(cursor->getValue(0, text, sizeof text, &isNull), status::OutOfRange);
}

TARVEL_BOTH_ACCESSES(ColumnKinds);

}  // namespace
}  // namespace tarvel::testing
