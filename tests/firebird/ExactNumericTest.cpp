// NUMERIC(18,4) and NUMERIC(9,2): declared digits and exact values, both ways;
// CHAR trailing blanks with trimming on and off.
#include "DriverFixture.h"

namespace tarvel::testing {
namespace {

using namespace sqldriver;

const char* const kSchema = R"(
CREATE TABLE AMOUNTS (ID INTEGER NOT NULL PRIMARY KEY, A184 NUMERIC(18,4), A92 NUMERIC(9,2));
CREATE TABLE NAMES (ID INTEGER NOT NULL PRIMARY KEY, FIXED CHAR(8), VAR_TEXT VARCHAR(8));
INSERT INTO NAMES VALUES (1, 'ab', 'ab  ');
INSERT INTO NAMES VALUES (2, '', '');
INSERT INTO NAMES VALUES (3, ' lead', ' lead');
INSERT INTO NAMES VALUES (4, 'fullfull', 'fullfull');
)";

Bcd bcdOf(const std::string& text) {
    Bcd value;
    std::size_t i = 0;
    if (text[0] == '-') {
        value.negative = 1;
        ++i;
    }
    int count = 0;
    for (; i < text.size(); ++i) {
        if (text[i] == '.')
            value.scale = static_cast<std::uint8_t>(text.size() - i - 1);
        else
            value.digits[count++] = static_cast<std::uint8_t>(text[i] - '0');
    }
    value.precision = static_cast<std::uint8_t>(count);
    return value;
}

enum class BoundAs { Text, BcdValue, DoubleValue };

struct AmountCase {
    const char* column;
    BoundAs boundAs;
    const char* input;
    const char* stored;
};

const AmountCase kAmounts[] = {
    {"A184", BoundAs::Text, "99999999999999.9999", "99999999999999.9999"},
    {"A184", BoundAs::Text, "-0.0001", "-0.0001"},
    {"A184", BoundAs::BcdValue, "12345678901234.5678", "12345678901234.5678"},
    {"A184", BoundAs::BcdValue, "-922337203685477.5808", "-922337203685477.5808"},
    {"A184", BoundAs::BcdValue, "0.1", "0.1000"},
    {"A184", BoundAs::DoubleValue, "0.1", "0.1000"},
    {"A184", BoundAs::DoubleValue, "1234567.8912", "1234567.8912"},
    {"A92", BoundAs::Text, "9999999.99", "9999999.99"},
    {"A92", BoundAs::Text, "-0.01", "-0.01"},
    {"A92", BoundAs::BcdValue, "1234567.89", "1234567.89"},
    {"A92", BoundAs::DoubleValue, "0.3", "0.30"},
    {"A92", BoundAs::DoubleValue, "-7654321.12", "-7654321.12"},
};

// Both accesses, every case: the runs pair each access with each amount.
class ExactNumericAmounts : public ::testing::TestWithParam<std::tuple<Access, AmountCase>> {
protected:
    TempDir m_dir;
};

TEST_P(ExactNumericAmounts, StoresAndDeliversTheExactDigits) {
    const auto& [access, amount] = GetParam();
    if (access == Access::Server) TARVEL_SKIP_WITHOUT_SERVER();
    const std::string path = m_dir.file("amounts.fdb");
    createDatabase(path, kSchema);
    ConnectSettings settings;
    settings.database = access == Access::Server ? serverDatabase(path) : path;
    settings.password = testPassword();
    ConnectionPtr connection = connectTo(settings);

    CommandPtr insert = prepare(connection.get(),
                                std::string("INSERT INTO AMOUNTS (ID, ") + amount.column + ") VALUES (1, ?)");
    Status bound = status::Ok;
    switch (amount.boundAs) {
        case BoundAs::Text:
            bound = bindText(insert.get(), 1, amount.input);
            break;
        case BoundAs::BcdValue:
            bound = bindValue(insert.get(), 1, kind::Bcd, bcdOf(amount.input));
            break;
        case BoundAs::DoubleValue:
            bound = bindDouble(insert.get(), 1, std::stod(amount.input));
            break;
    }
    ASSERT_EQ(bound, status::Ok) << errorMessage(insert.get());
    ISQLCursor* none = nullptr;
    ASSERT_EQ(insert->execute(&none), status::Ok) << errorMessage(insert.get());

    CommandPtr select = prepare(connection.get(), std::string("SELECT ") + amount.column + " FROM AMOUNTS");
    CursorPtr cursor = open(select.get());
    std::int16_t precision = 0, scale = 0;
    cursor->getColumnPrecision(1, &precision);
    cursor->getColumnScale(1, &scale);
    EXPECT_EQ(precision, std::string(amount.column) == "A184" ? 18 : 9);
    EXPECT_EQ(scale, std::string(amount.column) == "A184" ? 4 : 2);
    ASSERT_EQ(cursor->next(), status::Ok);
    EXPECT_EQ(valueText(cursor.get(), 1), amount.stored);
}

INSTANTIATE_TEST_SUITE_P(Amounts, ExactNumericAmounts,
                         ::testing::Combine(::testing::Values(Access::Embedded, Access::Server),
                                            ::testing::ValuesIn(kAmounts)));

struct TrimCase {
    int id;
    const char* untrimmed;
    const char* trimmed;
    const char* varying;
};

class CharTrim : public DriverTest {};

TEST_P(CharTrim, TrimsTrailingBlanksOfCharOnlyWhenAsked) {
    const std::string database = makeDatabase(kSchema);
    const TrimCase cases[] = {
        {1, "ab      ", "ab", "ab  "},
        {2, "        ", "", ""},
        {3, " lead   ", " lead", " lead"},
        {4, "fullfull", "fullfull", "fullfull"},
    };
    for (bool trim : {false, true}) {
        ConnectSettings settings = settingsFor(database);
        settings.trimChar = trim;
        ConnectionPtr connection = connectTo(settings);
        const auto rows = queryRows(connection.get(), "SELECT ID, FIXED, VAR_TEXT FROM NAMES ORDER BY ID");
        ASSERT_EQ(rows.size(), std::size(cases));
        for (const TrimCase& expected : cases) {
            const auto& row = rows[expected.id - 1];
            EXPECT_EQ(row[1], trim ? expected.trimmed : expected.untrimmed)
                << "row " << expected.id << " trim " << trim;
            EXPECT_EQ(row[2], expected.varying) << "VARCHAR is never trimmed; row " << expected.id;
        }
    }
}

TARVEL_BOTH_ACCESSES(CharTrim);

}  // namespace
}  // namespace tarvel::testing
