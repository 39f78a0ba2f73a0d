// A date read from a DATE column, put into text under the regional formats as
// the program does, and bound back as text lands on the same day, whatever
// the locale's date pattern.
#include "DateTimeParse.h"
#include "DriverFixture.h"
#include "FieldText.h"
#include "RegionalFormats.h"

namespace tarvel::testing {
namespace {

using namespace sqldriver;

// Every 367th day from 0001-01-01 to 9999-12-31 (about 10,000 days, every
// month and weekday), the last day, and the days where readings commonly
// part: day-first against month-first, leap days, century years.
const char* const kSchema = R"(
CREATE TABLE DAYS (ID INTEGER NOT NULL PRIMARY KEY, D DATE NOT NULL);
CREATE TABLE CHG (ID INTEGER NOT NULL PRIMARY KEY, CHG_DATE DATE);
SET TERM ^ ;
EXECUTE BLOCK AS
DECLARE I INTEGER = 0;
DECLARE D DATE = '0001-01-01';
BEGIN
  WHILE (D < '9999-12-31') DO
  BEGIN
    INSERT INTO DAYS VALUES (:I, :D);
    I = I + 1;
    IF (D > DATEADD(-367 DAY TO DATE '9999-12-31')) THEN LEAVE;
    D = DATEADD(367 DAY TO D);
  END
  INSERT INTO DAYS VALUES (:I + 1, '9999-12-31');
  INSERT INTO DAYS VALUES (:I + 2, '2004-03-05');
  INSERT INTO DAYS VALUES (:I + 3, '2004-05-03');
  INSERT INTO DAYS VALUES (:I + 4, '2004-02-29');
  INSERT INTO DAYS VALUES (:I + 5, '2000-02-29');
  INSERT INTO DAYS VALUES (:I + 6, '1900-03-01');
  INSERT INTO DAYS VALUES (:I + 7, '1899-12-30');
  INSERT INTO DAYS VALUES (:I + 8, '1975-12-31');
  INSERT INTO DAYS VALUES (:I + 9, '2076-01-01');
END^
SET TERM ; ^
)";

class DateRoundTrip : public ::testing::TestWithParam<std::tuple<Access, const char*>> {
protected:
    void SetUp() override {
        if (std::get<0>(GetParam()) == Access::Server) TARVEL_SKIP_WITHOUT_SERVER();
        m_saved = currentFormats();
    }
    void TearDown() override { setCurrentFormats(m_saved); }

    RegionalFormats m_saved;
    TempDir m_dir;
};

TEST_P(DateRoundTrip, EveryDayWrittenBackAsTextLandsOnTheSameDay) {
    const auto [access, locale] = GetParam();
    const RegionalFormats formats = readRegionalFormats(locale);
    setCurrentFormats(formats);
    const std::string path = m_dir.file("days.fdb");
    createDatabase(path, kSchema);
    ConnectSettings settings;
    settings.database = access == Access::Server ? serverDatabase(path) : path;
    settings.password = testPassword();
    ConnectionPtr connection = connectTo(settings);

    CommandPtr scan = prepare(connection.get(), "SELECT ID, D FROM DAYS ORDER BY ID");
    CursorPtr cursor = open(scan.get());
    CommandPtr insert = prepare(connection.get(), "INSERT INTO CHG (ID, CHG_DATE) VALUES ( ? , ? )");
    ASSERT_EQ(connection->beginTransaction(), status::Ok);
    int days = 0;
    std::string sample;
    while (cursor->next() == status::Ok) {
        std::int32_t id = 0;
        std::int32_t day = 0;
        bool isNull = true;
        ASSERT_EQ(cursor->getValue(1, &id, sizeof id, &isNull), status::Ok);
        ASSERT_EQ(cursor->getValue(2, &day, sizeof day, &isNull), status::Ok);
        const std::string text = dateText(day, formats);
        if (day == dayNumber(2004, 3, 5)) sample = text;
        ASSERT_EQ(bindValue(insert.get(), 1, kind::Int32, id), status::Ok);
        ASSERT_EQ(bindText(insert.get(), 2, text), status::Ok);
        ISQLCursor* none = nullptr;
        ASSERT_EQ(insert->execute(&none), status::Ok) << text << ": " << errorMessage(insert.get());
        ++days;
    }
    ASSERT_EQ(connection->commit(), status::Ok) << errorMessage(connection.get());
    EXPECT_GT(days, 9900);

    const auto wrong = queryRows(connection.get(),
                                 "SELECT FIRST 5 A.D, B.CHG_DATE FROM DAYS A JOIN CHG B ON A.ID = B.ID "
                                 "WHERE A.D IS DISTINCT FROM B.CHG_DATE ORDER BY A.ID");
    for (const auto& row : wrong)
        ADD_FAILURE() << locale << " (\"" << formats.shortDateFormat << "\"): " << row[0] << " came back as "
                      << row[1];
    EXPECT_EQ(queryRows(connection.get(), "SELECT COUNT(*) FROM CHG")[0][0], std::to_string(days));
    RecordProperty("sample", sample);
}

INSTANTIATE_TEST_SUITE_P(Locales, DateRoundTrip,
                         ::testing::Combine(::testing::Values(Access::Embedded, Access::Server),
                                            ::testing::Values("C", "en_US.UTF-8", "en_GB.UTF-8",
                                                              "de_DE.UTF-8", "zh_TW.UTF-8", "zh_TW.BIG5",
                                                              "ja_JP.UTF-8")));

TEST(DateText, UnmatchedTextIsLeftToFirebirdAndEmptyTextIsNull) {
    // ISO text matches none of the regional patterns below, yet Firebird reads it.
    RegionalFormats saved = currentFormats();
    setCurrentFormats(readRegionalFormats("de_DE.UTF-8"));
    TempDir dir;
    const std::string path = dir.file("iso.fdb");
    createDatabase(path, "CREATE TABLE CHG (ID INTEGER NOT NULL PRIMARY KEY, CHG_DATE DATE);");
    ConnectSettings settings;
    settings.database = path;
    ConnectionPtr connection = connectTo(settings);
    CommandPtr insert = prepare(connection.get(), "INSERT INTO CHG VALUES (1, ?)");
    ASSERT_EQ(bindText(insert.get(), 1, "2004-03-05"), status::Ok);
    ISQLCursor* none = nullptr;
    EXPECT_EQ(insert->execute(&none), status::Ok) << errorMessage(insert.get());
    // A null date's text is empty; it goes back as null, not as a failed conversion.
    CommandPtr empty = prepare(connection.get(), "INSERT INTO CHG VALUES (3, ?)");
    ASSERT_EQ(bindText(empty.get(), 1, ""), status::Ok);
    EXPECT_EQ(empty->execute(&none), status::Ok) << errorMessage(empty.get());
    CommandPtr bad = prepare(connection.get(), "INSERT INTO CHG VALUES (2, ?)");
    ASSERT_EQ(bindText(bad.get(), 1, "kein Datum"), status::Ok);
    EXPECT_EQ(bad->execute(&none), status::SqlError);
    EXPECT_NE(errorMessage(bad.get()).find("conversion error"), std::string::npos) << errorMessage(bad.get());
    setCurrentFormats(saved);
    const auto rows = queryRows(connection.get(), "SELECT CHG_DATE FROM CHG ORDER BY ID");
    const std::vector<std::vector<std::string>> expected = {{"2004-03-05"}, {"<null>"}};
    EXPECT_EQ(rows, expected);
}

}  // namespace
}  // namespace tarvel::testing
