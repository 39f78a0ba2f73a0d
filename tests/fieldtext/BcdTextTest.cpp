#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "Error.h"
#include "FieldText.h"
#include "PrintCase.h"

namespace tarvel {
namespace {

// A BCD value from its digit text, e.g. bcd("000000250", 2) for 2.50 in a
// field of 9 digits and 2 places.
sqldriver::Bcd bcd(const std::string& digits, int scale, bool negative = false) {
    sqldriver::Bcd value;
    value.precision = static_cast<std::uint8_t>(digits.size());
    value.scale = static_cast<std::uint8_t>(scale);
    value.negative = negative ? 1 : 0;
    for (std::size_t i = 0; i < digits.size() && i < 64; ++i)
        value.digits[i] = static_cast<std::uint8_t>(digits[i] - '0');
    return value;
}

std::string digitsOf(const sqldriver::Bcd& value) {
    std::string text;
    for (int i = 0; i < value.precision; ++i) text += static_cast<char>('0' + value.digits[i]);
    return text;
}

struct BcdTextCase {
    const char* digits;
    int scale;
    bool negative;
    const char* expected;
};

void PrintTo(const BcdTextCase& c, std::ostream* out) {
    *out << (c.negative ? "-" : "+") << c.digits << " scale " << c.scale;
}

class BcdText : public ::testing::TestWithParam<BcdTextCase> {};

TEST_P(BcdText, ExactDecimal) {
    const BcdTextCase& c = GetParam();
    RegionalFormats formats;
    EXPECT_EQ(bcdText(bcd(c.digits, c.scale, c.negative), formats), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, BcdText,
    ::testing::Values(
        BcdTextCase{"000000250", 2, false, "2.5"}, BcdTextCase{"000000000000000250", 2, false, "2.5"},
        BcdTextCase{"000000250", 2, true, "-2.5"}, BcdTextCase{"000000200", 2, false, "2"},
        BcdTextCase{"000000005", 2, false, "0.05"}, BcdTextCase{"000000005", 2, true, "-0.05"},
        BcdTextCase{"000000000", 2, false, "0"}, BcdTextCase{"000000000", 2, true, "0"},
        BcdTextCase{"0", 0, true, "0"}, BcdTextCase{"0", 1, false, "0"}, BcdTextCase{"5", 1, false, "0.5"},
        BcdTextCase{"1200", 0, false, "1200"},
        BcdTextCase{"99999999999999999999999999999999", 8, false, "999999999999999999999999.99999999"},
        BcdTextCase{"1234567890123456789012345678901234567890123456789012345678901234", 0, false,
                    "1234567890123456789012345678901234567890123456789012345678901234"},
        BcdTextCase{"1234567890123456789012345678901234567890123456789012345678901234", 64, true,
                    "-0.1234567890123456789012345678901234567890123456789012345678901234"}));

TEST(BcdTextSeparator, UsesRegionalSeparator) {
    RegionalFormats formats;
    formats.decimalSeparator = ',';
    EXPECT_EQ(bcdText(bcd("012345", 4), formats), "1,2345");
}

TEST(BcdTextOverflow, InvalidValuesFail) {
    RegionalFormats formats;
    sqldriver::Bcd empty;  // precision 0
    EXPECT_THROW(bcdText(empty, formats), Error);
    sqldriver::Bcd tooLong = bcd("1", 0);
    tooLong.precision = 65;
    sqldriver::Bcd badScale = bcd("12", 0);
    badScale.scale = 3;
    sqldriver::Bcd badDigit = bcd("12", 0);
    badDigit.digits[1] = 10;
    for (const sqldriver::Bcd& value : {empty, tooLong, badScale, badDigit}) {
        try {
            bcdText(value, formats);
            ADD_FAILURE() << "no failure for precision " << int(value.precision);
        } catch (const Error& error) {
            EXPECT_STREQ(error.what(), "BCD overflow");
        }
    }
}

struct NormalizeCase {
    const char* digits;
    int scale;
    int precision;
    int fieldScale;
    const char* expected;  // nullptr: does not fit
};

void PrintTo(const NormalizeCase& c, std::ostream* out) {
    *out << c.digits << " scale " << c.scale << " into " << c.precision << "," << c.fieldScale;
}

class NormalizeBcd : public ::testing::TestWithParam<NormalizeCase> {};

TEST_P(NormalizeBcd, RescalesOrOverflows) {
    const NormalizeCase& c = GetParam();
    const sqldriver::Bcd value = bcd(c.digits, c.scale, true);
    if (c.expected == nullptr) {
        try {
            normalizeBcd(value, c.precision, c.fieldScale);
            ADD_FAILURE() << c.digits << " fitted";
        } catch (const Error& error) {
            EXPECT_STREQ(error.what(), "BCD overflow");
        }
        return;
    }
    const sqldriver::Bcd result = normalizeBcd(value, c.precision, c.fieldScale);
    EXPECT_EQ(result.precision, c.precision);
    EXPECT_EQ(result.scale, c.fieldScale);
    EXPECT_EQ(result.negative, 1);
    EXPECT_EQ(digitsOf(result), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, NormalizeBcd,
    ::testing::Values(
        // A NUMERIC(18,2) value in a 9-digit field.
        NormalizeCase{"000000000000000250", 2, 9, 2, "000000250"},
        // Wider scale: the places are filled with zeros.
        NormalizeCase{"000250", 2, 32, 8, "00000000000000000000000250000000"},
        // 38 digits, scale 0, into a field of 32 digits and 8 places.
        NormalizeCase{"00000000000000000000000000000000000123", 0, 32, 8, "00000000000000000000012300000000"},
        NormalizeCase{"12345678901234567890123456789012345678", 0, 32, 8, nullptr},
        NormalizeCase{"123456789012345678901234", 0, 32, 8, "12345678901234567890123400000000"},
        NormalizeCase{"1234567890123456789012345", 0, 32, 8, nullptr},
        // Dropped places must be zero, else the value would change.
        NormalizeCase{"12340", 4, 5, 3, "01234"}, NormalizeCase{"12345", 4, 5, 3, nullptr},
        NormalizeCase{"5", 0, 1, 0, "5"}, NormalizeCase{"5", 0, 0, 0, nullptr},
        NormalizeCase{"5", 0, 65, 0, nullptr}, NormalizeCase{"5", 0, 4, 5, nullptr}));

struct ScaledCase {
    std::int64_t value;
    int places;
    int precision;
    const char* digits;
    bool negative;
};

void PrintTo(const ScaledCase& c, std::ostream* out) {
    *out << c.value << " places " << c.places << " precision " << c.precision;
}

class BcdFromScaled : public ::testing::TestWithParam<ScaledCase> {};

TEST_P(BcdFromScaled, DigitsScaleAndSign) {
    const ScaledCase& c = GetParam();
    const sqldriver::Bcd value = bcdFromScaled(c.value, c.places, c.precision);
    EXPECT_EQ(digitsOf(value), c.digits);
    EXPECT_EQ(value.scale, c.places < 0 ? 0 : c.places);
    EXPECT_EQ(value.negative != 0, c.negative);
}

INSTANTIATE_TEST_SUITE_P(
    Values, BcdFromScaled,
    ::testing::Values(
        // A NUMERIC(12,4) column value keeps the declared precision.
        ScaledCase{12345, 4, 12, "000000012345", false}, ScaledCase{-12345, 4, 12, "000000012345", true},
        // The precision grows to the digits the value needs, and to the places.
        ScaledCase{123456, 2, 3, "123456", false}, ScaledCase{5, 4, 0, "0005", false},
        // A money amount with one digit before its four places.
        ScaledCase{5, 4, 5, "00005", false}, ScaledCase{0, 4, 5, "00000", false},
        ScaledCase{0, 0, 0, "0", false},
        // Zero is never negative; the most negative value keeps all its digits.
        ScaledCase{-0, 2, 3, "000", false}, ScaledCase{INT64_MIN, 0, 1, "9223372036854775808", true},
        ScaledCase{INT64_MAX, 4, 19, "9223372036854775807", false}, ScaledCase{7, -2, 1, "7", false}));

}  // namespace
}  // namespace tarvel
