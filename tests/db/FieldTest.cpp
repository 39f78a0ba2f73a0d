// Which field each driver column gives, and the names of repeated columns.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Field.h"
#include "SqlDriver.h"

namespace tarvel {
namespace {

namespace k = sqldriver::kind;
namespace sk = sqldriver::subkind;

CursorColumn column(const char* name, std::uint16_t kind, std::uint16_t subkind = sk::None,
                    std::uint32_t length = 0, std::int16_t precision = 0, std::int16_t scale = 0) {
    CursorColumn c;
    c.name = name;
    c.kind = kind;
    c.subkind = subkind;
    c.length = length;
    c.precision = precision;
    c.scale = scale;
    return c;
}

TEST(FieldFromColumn, KindsAndSizes) {
    struct {
        const char* label;
        CursorColumn column;
        FieldKind kind;
        int size;
        int precision;
    } const cases[] = {
        {"varchar", column("A", k::Text, sk::None, 40, 10), FieldKind::Text, 10, 0},
        {"char", column("A", k::Text, sk::FixedText, 3, 3), FieldKind::Text, 3, 0},
        {"smallint", column("A", k::Int16, sk::None, 2), FieldKind::Int16, 0, 0},
        {"unsigned smallint", column("A", k::UInt16, sk::None, 2), FieldKind::UInt16, 0, 0},
        {"integer", column("A", k::Int32, sk::None, 4), FieldKind::Int32, 0, 0},
        {"auto-increment", column("A", k::Int32, sk::AutoIncrement, 4), FieldKind::AutoIncrement, 0, 0},
        {"unsigned integer is taken as signed", column("A", k::UInt32, sk::None, 4), FieldKind::Int32, 0, 0},
        {"bigint is read for real", column("A", k::Int64, sk::None, 8), FieldKind::Int64, 0, 0},
        {"double", column("A", k::Double, sk::None, 8), FieldKind::Float, 0, 0},
        {"money", column("A", k::Double, sk::Money, 8), FieldKind::Currency, 0, 0},
        {"bcd 9,2", column("A", k::Bcd, sk::None, 0, 9, 2), FieldKind::Bcd, 2, 9},
        {"bcd negative scale", column("A", k::Bcd, sk::None, 0, 9, -2), FieldKind::Bcd, 2, 9},
        {"bcd precision raised to the scale", column("A", k::Bcd, sk::None, 0, 1, -3), FieldKind::Bcd, 3, 3},
        {"bcd 14,4 still plain", column("A", k::Bcd, sk::None, 0, 14, 4), FieldKind::Bcd, 4, 14},
        {"bcd 18,2 extended", column("A", k::Bcd, sk::None, 0, 18, 2), FieldKind::ExtendedBcd, 2, 18},
        {"bcd 9,5 extended", column("A", k::Bcd, sk::None, 0, 9, 5), FieldKind::ExtendedBcd, 5, 9},
        {"bcd 38,0 becomes 32,8", column("A", k::Bcd, sk::None, 0, 38, 0), FieldKind::ExtendedBcd, 8, 32},
        {"bcd 38,38 becomes 32,8", column("A", k::Bcd, sk::None, 0, 38, 38), FieldKind::ExtendedBcd, 8, 32},
        {"bcd 38,2 cut to 32", column("A", k::Bcd, sk::None, 0, 38, 2), FieldKind::ExtendedBcd, 2, 32},
        {"extended bcd that would fit stays extended", column("A", k::ExtendedBcd, sk::None, 0, 9, 2),
         FieldKind::ExtendedBcd, 2, 9},
        {"date", column("A", k::Date, sk::None, 4), FieldKind::Date, 0, 0},
        {"time", column("A", k::Time, sk::None, 4), FieldKind::Time, 0, 0},
        {"timestamp", column("A", k::SqlTimestamp), FieldKind::Timestamp, 0, 0},
        {"date-time", column("A", k::DateTime), FieldKind::DateTime, 0, 0},
        {"boolean", column("A", k::Boolean, sk::None, 2), FieldKind::Boolean, 0, 0},
        {"blob", column("A", k::Blob, sk::Memo), FieldKind::Blob, 0, 0},
    };
    for (const auto& c : cases) {
        const std::optional<Field> field = fieldFromColumn(c.column, 3);
        ASSERT_TRUE(field.has_value()) << c.label;
        EXPECT_EQ(field->kind, c.kind) << c.label;
        EXPECT_EQ(field->size, c.size) << c.label;
        EXPECT_EQ(field->precision, c.precision) << c.label;
        EXPECT_EQ(field->column, 3) << c.label;
    }
}

TEST(FieldFromColumn, KindsWithoutAField) {
    const CursorColumn cases[] = {
        column("A", k::Unknown),
        column("A", 99),
        column("A", k::Text, sk::None, 0, 0),
        column("A", k::Int16, sk::None, 4),
        column("A", k::UInt16, sk::None, 0),
    };
    for (const CursorColumn& c : cases) {
        EXPECT_FALSE(fieldFromColumn(c, 1).has_value()) << "kind " << c.kind << " length " << c.length;
    }
}

TEST(FieldFromColumn, RequiredAndReadOnly) {
    CursorColumn c = column("A", k::Int32, sk::None, 4);
    c.nullable = false;
    c.readOnly = true;
    const std::optional<Field> field = fieldFromColumn(c, 1);
    ASSERT_TRUE(field);
    EXPECT_TRUE(field->required);
    EXPECT_TRUE(field->readOnly);
}

TEST(FieldsFromColumns, RepeatedNamesAndLeftOutColumns) {
    const std::vector<CursorColumn> columns{
        column("COUNT", k::Int64),     column("count", k::Int64),   column("Count", k::Int64),
        column("SKIPPED", k::Unknown), column("COUNT_1", k::Int32), column("B_PRICE", k::Double),
    };
    const std::vector<Field> fields = fieldsFromColumns(columns);
    ASSERT_EQ(fields.size(), 5u);
    const std::vector<std::pair<std::string, int>> expected{
        {"COUNT", 1}, {"count_1", 2}, {"Count_2", 3}, {"COUNT_1_1", 5}, {"B_PRICE", 6}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(fields[i].name, expected[i].first) << i;
        EXPECT_EQ(fields[i].column, expected[i].second) << i;
    }
}

}  // namespace
}  // namespace tarvel
