#include <gtest/gtest.h>

#include <string>

#include "Error.h"
#include "FieldText.h"
#include "PrintCase.h"

namespace tarvel {
namespace {

// A BCD value from its digit text, e.g. bcd("000000250", 2) for 2.50 in a
// field of 9 digits and 2 places.
sqldriver::Bcd bcd(const std::string& digits, int scale, bool negative = false)
{
    sqldriver::Bcd value;
    value.precision = static_cast<std::uint8_t>(digits.size());
    value.scale = static_cast<std::uint8_t>(scale);
    value.negative = negative ? 1 : 0;
    for (std::size_t i = 0; i < digits.size() && i < 64; ++i)
        value.digits[i] = static_cast<std::uint8_t>(digits[i] - '0');
    return value;
}

std::string digitsOf(const sqldriver::Bcd& value)
{
    std::string text;
    for (int i = 0; i < value.precision; ++i)
        text += static_cast<char>('0' + value.digits[i]);
    return text;
}

struct BcdTextCase {
    const char* digits;
    int scale;
    bool negative;
    const char* expected;
};

void PrintTo(const BcdTextCase& c, std::ostream* out)
{
    *out << (c.negative ? "-" : "+") << c.digits << " scale " << c.scale;
}

class BcdText : public ::testing::TestWithParam<BcdTextCase> {};

TEST_P(BcdText, ExactDecimal)
{
    const BcdTextCase& c = GetParam();
    RegionalFormats formats;
    EXPECT_EQ(bcdText(bcd(c.digits, c.scale, c.negative), formats), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Values, BcdText, ::testing::Values(
    BcdTextCase{"000000250", 2, false, "2.5"},
    BcdTextCase{"000000000000000250", 2, false, "2.5"},
    BcdTextCase{"000000250", 2, true, "-2.5"},
    BcdTextCase{"000000200", 2, false, "2"},
    BcdTextCase{"000000005", 2, false, "0.05"},
    BcdTextCase{"000000005", 2, true, "-0.05"},
    BcdTextCase{"000000000", 2, false, "0"},
    BcdTextCase{"000000000", 2, true, "0"},
    BcdTextCase{"0", 0, true, "0"},
    BcdTextCase{"0", 1, false, "0"},
    BcdTextCase{"5", 1, false, "0.5"},
    BcdTextCase{"1200", 0, false, "1200"},
    BcdTextCase{"99999999999999999999999999999999", 8, false, "999999999999999999999999.99999999"},
    BcdTextCase{"1234567890123456789012345678901234567890123456789012345678901234", 0, false,
                "1234567890123456789012345678901234567890123456789012345678901234"},
    BcdTextCase{"1234567890123456789012345678901234567890123456789012345678901234", 64, true,
                "-0.1234567890123456789012345678901234567890123456789012345678901234"}));

TEST(BcdTextSeparator, UsesRegionalSeparator)
{
    RegionalFormats formats;
    formats.decimalSeparator = ',';
    EXPECT_EQ(bcdText(bcd("012345", 4), formats), "1,2345");
}

TEST(BcdTextOverflow, InvalidValuesFail)
{
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

void PrintTo(const NormalizeCase& c, std::ostream* out)
{
    *out << c.digits << " scale " << c.scale << " into " << c.precision << "," << c.fieldScale;
}

class NormalizeBcd : public ::testing::TestWithParam<NormalizeCase> {};

TEST_P(NormalizeBcd, RescalesOrOverflows)
{
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

INSTANTIATE_TEST_SUITE_P(Fields, NormalizeBcd, ::testing::Values(
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
    NormalizeCase{"12340", 4, 5, 3, "01234"},
    NormalizeCase{"12345", 4, 5, 3, nullptr},
    NormalizeCase{"5", 0, 1, 0, "5"},
    NormalizeCase{"5", 0, 0, 0, nullptr},
    NormalizeCase{"5", 0, 65, 0, nullptr},
    NormalizeCase{"5", 0, 4, 5, nullptr}));

}  // namespace
}  // namespace tarvel
