// Parameter values, the data types they give, and what binding hands over.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "Error.h"
#include "QueryParameter.h"

namespace tarvel {
namespace {

QueryParameter named(const char* name) {
    QueryParameter parameter;
    parameter.name = name;
    return parameter;
}

std::vector<unsigned char> bytesOf(const void* data, std::size_t size) {
    const auto* raw = static_cast<const unsigned char*>(data);
    return {raw, raw + size};
}

TEST(ParameterType, ComesFromTheKindOfTheFirstValue) {
    struct {
        ParameterValue value;
        ParameterType type;
    } const cases[] = {
        {std::string("x"), ParameterType::Text},
        {2.5, ParameterType::Float},
        {1.5f, ParameterType::Float},
        {std::uint32_t{7}, ParameterType::Float},
        {std::int8_t{1}, ParameterType::Int16},
        {std::int16_t{1}, ParameterType::Int16},
        {std::uint8_t{1}, ParameterType::Int16},
        {std::int32_t{1}, ParameterType::Int32},
        {std::uint16_t{1}, ParameterType::Int32},
        {Currency{10000}, ParameterType::Bcd},
        {DateTimeValue{1.5}, ParameterType::DateTime},
        {true, ParameterType::Boolean},
        {std::int64_t{1}, ParameterType::Int64},
        {sqldriver::SqlTimestamp{}, ParameterType::SqlTimestamp},
        {sqldriver::Bcd{}, ParameterType::ExtendedBcd},
        {NullValue{}, ParameterType::Unknown},
        {Unassigned{}, ParameterType::Unknown},
    };
    for (const auto& c : cases) {
        QueryParameter parameter;
        parameter.setValue(c.value);
        EXPECT_EQ(parameter.dataType, c.type) << "variant index " << c.value.index();
    }
}

TEST(ParameterValue, SetsBoundAndNullAndKeepsTheFirstType) {
    QueryParameter parameter;
    EXPECT_TRUE(parameter.isNull());
    EXPECT_FALSE(parameter.bound);

    parameter.setValue(Unassigned{});
    EXPECT_FALSE(parameter.bound);
    EXPECT_TRUE(parameter.isNull());

    parameter.setValue(NullValue{});
    EXPECT_TRUE(parameter.bound);
    EXPECT_TRUE(parameter.isNull());
    EXPECT_EQ(parameter.dataType, ParameterType::Unknown);

    parameter.setValue(std::string("abc"));
    EXPECT_FALSE(parameter.isNull());
    EXPECT_EQ(parameter.dataType, ParameterType::Text);

    parameter.setValue(4.0);  // stored as given; the type stays text
    EXPECT_EQ(parameter.dataType, ParameterType::Text);
    EXPECT_EQ(std::get<double>(parameter.value), 4.0);
}

TEST(ParameterBinding, OtherKindsAndConversions) {
    struct Case {
        const char* label;
        ParameterValue first;  // fixes the data type
        ParameterValue value;  // then bound
        std::uint16_t kind;
        std::vector<unsigned char> bytes;
    };
    const std::int16_t i16 = -2;
    const std::int32_t i32 = 70000;
    const std::int64_t i64 = 5000000000LL;
    const std::int16_t yes = 1;
    const double converted = 12.5;
    const double fromInt = 3.0;
    const std::string floatAsText = "12.5";
    const Case cases[] = {
        {"int16", std::int16_t{0}, std::int16_t{-2}, sqldriver::kind::Int16, bytesOf(&i16, 2)},
        {"int32", std::int32_t{0}, std::int32_t{70000}, sqldriver::kind::Int32, bytesOf(&i32, 4)},
        {"int64", std::int64_t{0}, std::int64_t{5000000000LL}, sqldriver::kind::Int64, bytesOf(&i64, 8)},
        {"boolean", true, true, sqldriver::kind::Boolean, bytesOf(&yes, 2)},
        {"text to a float parameter", 0.0, std::string("12.5"), sqldriver::kind::Double,
         bytesOf(&converted, 8)},
        {"integer to a float parameter", 0.0, std::int32_t{3}, sqldriver::kind::Double, bytesOf(&fromInt, 8)},
        {"float to a text parameter", std::string(), 12.5, sqldriver::kind::Text, {'1', '2', '.', '5', 0}},
        {"integer to a text parameter",
         std::string(),
         std::int32_t{-40},
         sqldriver::kind::Text,
         {'-', '4', '0', 0}},
        {"text to an int16 parameter", std::int16_t{0}, std::string("-2"), sqldriver::kind::Int16,
         bytesOf(&i16, 2)},
    };
    for (const Case& c : cases) {
        QueryParameter parameter = named("P");
        parameter.setValue(c.first);
        parameter.setValue(c.value);
        const ParameterBinding binding = bindingOf(parameter);
        EXPECT_EQ(binding.kind, c.kind) << c.label;
        EXPECT_EQ(binding.bytes, c.bytes) << c.label;
        EXPECT_FALSE(binding.isNull) << c.label;
    }
}

// Numbers of one kind bound as another: whole-number parameters round to the
// nearest (ties to even) and refuse what is no number or out of range;
// floating parameters take money and date-times as their value.
TEST(ParameterBinding, NumbersOfOtherKinds) {
    struct Case {
        const char* label;
        ParameterValue first;              // fixes the data type
        ParameterValue value;              // then bound
        std::vector<unsigned char> bytes;  // empty: the value is refused
    };
    const std::int32_t two = 2;
    const std::int32_t minusThree = -3;
    const std::int16_t four = 4;
    const std::int64_t big = 5000000000LL;
    const double money = -12.345;
    const double days = 38051.75;
    const double one = 1.0;
    const std::int16_t booleanFromMoney = 1;
    const Case cases[] = {
        {"money to int32, a tie rounds to even", std::int32_t{0}, Currency{25000}, bytesOf(&two, 4)},
        {"money to int32, negative", std::int32_t{0}, Currency{-25001}, bytesOf(&minusThree, 4)},
        {"double to int16, a tie rounds to even", std::int16_t{0}, 4.5, bytesOf(&four, 2)},
        {"float to int64", std::int64_t{0}, 5e9f, bytesOf(&big, 8)},
        {"money to a float", 0.0, Currency{-123450}, bytesOf(&money, 8)},
        {"date-time to a float", 0.0, DateTimeValue{38051.75}, bytesOf(&days, 8)},
        {"boolean to a float", 0.0, true, bytesOf(&one, 8)},
        {"money to a boolean", false, Currency{10000}, bytesOf(&booleanFromMoney, 2)},
        {"date-time to int32", std::int32_t{0}, DateTimeValue{1.0}, {}},
        {"not a number to int32", std::int32_t{0}, std::numeric_limits<double>::quiet_NaN(), {}},
        {"infinity to int64", std::int64_t{0}, std::numeric_limits<float>::infinity(), {}},
        {"out of the int16 range", std::int16_t{0}, std::uint32_t{40000}, {}},
        {"timestamp to a float", 0.0, sqldriver::SqlTimestamp{}, {}},
        {"BCD to int32", std::int32_t{0}, sqldriver::Bcd{}, {}},
    };
    for (const Case& c : cases) {
        QueryParameter parameter = named("P");
        parameter.setValue(c.first);
        parameter.setValue(c.value);
        if (c.bytes.empty()) {
            EXPECT_THROW(bindingOf(parameter), Error) << c.label;
        } else {
            EXPECT_EQ(bindingOf(parameter).bytes, c.bytes) << c.label;
        }
    }
}

TEST(ParameterBinding, CurrencyBecomesBcdWithFourPlaces) {
    QueryParameter parameter = named("P");
    parameter.setValue(Currency{-123450});  // -12.345
    const ParameterBinding binding = bindingOf(parameter);
    ASSERT_EQ(binding.kind, sqldriver::kind::Bcd);
    ASSERT_EQ(binding.length(), sizeof(sqldriver::Bcd));
    sqldriver::Bcd bcd;
    std::memcpy(&bcd, binding.bytes.data(), sizeof bcd);
    EXPECT_EQ(bcd.negative, 1);
    EXPECT_EQ(bcd.scale, 4);
    ASSERT_EQ(bcd.precision, 6);
    const std::uint8_t digits[] = {1, 2, 3, 4, 5, 0};
    EXPECT_EQ(std::memcmp(bcd.digits, digits, 6), 0);
    EXPECT_EQ(binding.precision, 6);
    EXPECT_EQ(binding.scale, 4);
}

TEST(ParameterBinding, DateTimeBecomesATimestamp) {
    QueryParameter parameter = named("P");
    parameter.setValue(DateTimeValue{38051.75});  // 2004-03-05 18:00
    const ParameterBinding binding = bindingOf(parameter);
    ASSERT_EQ(binding.kind, sqldriver::kind::DateTime);
    sqldriver::SqlTimestamp ts;
    ASSERT_EQ(binding.length(), sizeof ts);
    std::memcpy(&ts, binding.bytes.data(), sizeof ts);
    EXPECT_EQ(ts.year, 2004);
    EXPECT_EQ(ts.month, 3);
    EXPECT_EQ(ts.day, 5);
    EXPECT_EQ(ts.hour, 18);
    EXPECT_EQ(ts.minute, 0);
}

TEST(ParameterBinding, Failures) {
    struct {
        const char* label;
        std::vector<ParameterValue> values;
        const char* text;
    } const cases[] = {
        {"never given a value", {}, "No value for parameter 'P'"},
        {"only a null", {NullValue{}}, "No value for parameter 'P'"},
        {"text that is no number", {0.0, std::string("abc")}, "Invalid value for parameter 'P'"},
        {"out of the 16-bit range",
         {std::int16_t{0}, std::int32_t{40000}},
         "Invalid value for parameter 'P'"},
        {"timestamp into text",
         {std::string(), sqldriver::SqlTimestamp{}},
         "Invalid value for parameter 'P'"},
    };
    for (const auto& c : cases) {
        QueryParameter parameter = named("P");
        for (const ParameterValue& v : c.values) parameter.setValue(v);
        try {
            bindingOf(parameter);
            ADD_FAILURE() << c.label << ": no failure";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), c.text) << c.label;
        }
    }
}

TEST(ParameterList, FindsTheFirstOfANameIgnoringCase) {
    std::vector<QueryParameter> list{named("B_PRICE"), named("A"), named("a")};
    EXPECT_EQ(findParameter(list, "b_price"), &list[0]);
    EXPECT_EQ(findParameter(list, "a"), &list[1]);
    EXPECT_EQ(findParameter(list, "B_PRICE "), nullptr);
    EXPECT_EQ(findParameter(list, "missing"), nullptr);
}

TEST(ParameterList, CarriesOverByNameAndDropsTheRest) {
    std::vector<QueryParameter> oldList{named("Keep"), named("gone"), named("WasNull")};
    oldList[0].setValue(std::string("v"));
    oldList[0].direction = sqldriver::direction::Input;
    oldList[0].size = 3;
    oldList[1].setValue(1.0);
    oldList[2].setValue(std::string("x"));
    oldList[2].setValue(NullValue{});

    std::vector<QueryParameter> newList{named("NEW"), named("KEEP"), named("keep"), named("WASNULL")};
    carryOverParameters(oldList, newList);

    EXPECT_EQ(newList[0].dataType, ParameterType::Unknown);
    EXPECT_FALSE(newList[0].bound);
    EXPECT_EQ(newList[1].name, "Keep") << "the old spelling";
    EXPECT_EQ(newList[1].dataType, ParameterType::Text);
    EXPECT_EQ(std::get<std::string>(newList[1].value), "v");
    EXPECT_TRUE(newList[1].bound);
    EXPECT_EQ(newList[1].direction, sqldriver::direction::Input);
    EXPECT_EQ(newList[1].size, 3);
    EXPECT_EQ(newList[2].name, "keep") << "only the first of a name takes over";
    EXPECT_FALSE(newList[2].bound);
    EXPECT_TRUE(newList[3].isNull());
    EXPECT_TRUE(newList[3].bound);
    EXPECT_EQ(newList[3].dataType, ParameterType::Text);
}

}  // namespace
}  // namespace tarvel
