#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "NumberText.h"
#include "PrintCase.h"

namespace tarvel {
namespace {

constexpr std::int32_t kDefault = -777;

struct IntegerCase {
    const char* text;
    std::int32_t expected;
};

void PrintTo(const IntegerCase& c, std::ostream* out) { *out << test::printable(c.text); }

class IntegerFromText : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerFromText, ReadsOrGivesDefault) {
    const IntegerCase& c = GetParam();
    EXPECT_EQ(integerFromText(c.text, kDefault), c.expected) << "text: [" << c.text << "]";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, IntegerFromText,
    ::testing::Values(IntegerCase{" 42", 42}, IntegerCase{"42 ", kDefault}, IntegerCase{"\t42", kDefault},
                      IntegerCase{"1.0", kDefault}, IntegerCase{"", kDefault}, IntegerCase{"-", kDefault},
                      IntegerCase{"+", kDefault}, IntegerCase{"+7", 7}, IntegerCase{"-0", 0},
                      IntegerCase{"2147483647", 2147483647}, IntegerCase{"2147483648", kDefault},
                      IntegerCase{"-2147483648", INT32_MIN}, IntegerCase{"-2147483649", kDefault},
                      IntegerCase{"$1F", 31}, IntegerCase{"0x1f", 31}, IntegerCase{"0X1F", 31},
                      IntegerCase{"x1f", 31}, IntegerCase{"-$10", -16}, IntegerCase{" +0x10", 16},
                      IntegerCase{"$", kDefault}, IntegerCase{"0x", kDefault}, IntegerCase{"-0x", kDefault},
                      IntegerCase{"$1G", kDefault}, IntegerCase{"$FFFFFFFF", -1},
                      IntegerCase{"$7FFFFFFF", 2147483647}, IntegerCase{"$80000000", INT32_MIN},
                      IntegerCase{"-$80000000", INT32_MIN}, IntegerCase{"-$FFFFFFFF", 1},
                      IntegerCase{"$00000000FF", 255}, IntegerCase{"$100000000", kDefault},
                      IntegerCase{"0", 0}, IntegerCase{"00x1", kDefault}, IntegerCase{"1x", kDefault},
                      IntegerCase{"- 1", kDefault}));

// Decimal texts of random shape against a reference built on from_chars:
// blanks only in front, one sign, digits, in range.
std::int32_t referenceInteger(const std::string& text, std::int32_t defaultValue) {
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos) return defaultValue;
    const bool negative = text[i] == '-';
    if (text[i] == '-' || text[i] == '+') ++i;
    if (i == text.size() || text[i] < '0' || text[i] > '9') return defaultValue;
    long long magnitude = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data() + i, end, magnitude);
    if (error != std::errc() || stop != end) return defaultValue;
    const long long value = negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX) return defaultValue;
    return static_cast<std::int32_t>(value);
}

TEST(IntegerFromTextRandom, MatchesReference) {
    std::mt19937 random(99);
    const std::string alphabet = "0123456789000  -+.";
    for (int n = 0; n < 20000; ++n) {
        std::string text;
        const int length = static_cast<int>(random() % 13);
        for (int i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
        ASSERT_EQ(integerFromText(text, kDefault), referenceInteger(text, kDefault)) << "[" << text << "]";
    }
}

struct FloatCase {
    const char* text;
    char separator;
    long double expected;
};

void PrintTo(const FloatCase& c, std::ostream* out) {
    *out << test::printable(c.text) << " with " << c.separator;
}

class FloatFromText : public ::testing::TestWithParam<FloatCase> {};

constexpr long double kFloatDefault = -9.25L;

TEST_P(FloatFromText, ReadsOrGivesDefault) {
    const FloatCase& c = GetParam();
    const long double value = floatFromText(c.text, kFloatDefault, c.separator);
    EXPECT_EQ(value, c.expected) << "text: [" << c.text << "] separator " << c.separator;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FloatFromText,
    ::testing::Values(FloatCase{" 1.5 ", '.', 1.5L}, FloatCase{"1,5", '.', kFloatDefault},
                      FloatCase{"1,000.5", '.', kFloatDefault}, FloatCase{".", '.', 0.0L},
                      FloatCase{"-.", '.', 0.0L}, FloatCase{"1E", '.', 1.0L}, FloatCase{"1E+", '.', 1.0L},
                      FloatCase{"1e3", '.', 1000.0L}, FloatCase{"1e-3", '.', 1.0L / 1000.0L},
                      FloatCase{"2.5E+2", '.', 250.0L}, FloatCase{"", '.', kFloatDefault},
                      FloatCase{"-", '.', kFloatDefault}, FloatCase{"   ", '.', kFloatDefault},
                      FloatCase{"E5", '.', kFloatDefault}, FloatCase{".e5", '.', 0.0L},
                      FloatCase{"1.5\t", '.', kFloatDefault}, FloatCase{"INF", '.', kFloatDefault},
                      FloatCase{"NAN", '.', kFloatDefault}, FloatCase{"0x10", '.', kFloatDefault},
                      FloatCase{"$10", '.', kFloatDefault}, FloatCase{"1 000", '.', kFloatDefault},
                      FloatCase{"-12.75", '.', -12.75L}, FloatCase{"+3.", '.', 3.0L},
                      FloatCase{"1E5000", '.', kFloatDefault}, FloatCase{"1E4933", '.', kFloatDefault},
                      FloatCase{"1E-5000", '.', kFloatDefault}, FloatCase{"1E499", '.', 1e499L},
                      FloatCase{"1E-499", '.', 1e-499L}, FloatCase{"1E0000000000000000001", '.', 10.0L},
                      FloatCase{"1,5", ',', 1.5L}, FloatCase{"1.5", ',', kFloatDefault},
                      FloatCase{" -0,25 ", ',', -0.25L}, FloatCase{",", ',', 0.0L}));

TEST(FloatFromTextLimits, ExponentFiveHundredIsReadWhole) {
    // 10^500 overflows a double but not the 80-bit format.
    const long double value = floatFromText("1E500", 0.0L, '.');
    EXPECT_TRUE(std::isfinite(value));
    EXPECT_NEAR(static_cast<double>(value / 1e500L), 1.0, 1e-17);
    EXPECT_EQ(floatFromText("1E4932", 0.0L, '.'), 1e4932L);
}

TEST(FloatFromTextLimits, OverflowingDigitsGiveDefault) {
    const std::string huge = "1" + std::string(5000, '0');
    EXPECT_EQ(floatFromText(huge, kFloatDefault, '.'), kFloatDefault);
    const std::string tiny = "0." + std::string(5000, '0') + "1";
    EXPECT_EQ(floatFromText(tiny, kFloatDefault, '.'), 0.0L);
}

TEST(FloatFromTextLimits, NegativeZeroKeepsItsSign) {
    const long double value = floatFromText("-0", kFloatDefault, '.');
    EXPECT_EQ(value, 0.0L);
    EXPECT_TRUE(std::signbit(value));
}

// Up to 18 digits and small exponents the accumulated integer is exact and the
// power of ten too, so one rounding happens: the result must be the correctly
// rounded value that strtold gives.
TEST(FloatFromTextRandom, ShortTextsAreCorrectlyRounded) {
    std::mt19937_64 random(20261208);
    std::uniform_int_distribution<int> digitCount(1, 18);
    std::uniform_int_distribution<int> digit(0, 9);
    std::uniform_int_distribution<int> exponent(-27, 27);
    for (int n = 0; n < 5000; ++n) {
        std::string digits;
        const int count = digitCount(random);
        for (int i = 0; i < count; ++i) digits += static_cast<char>('0' + digit(random));
        const int point = std::uniform_int_distribution<int>(0, count)(random);
        const int exp = exponent(random);
        // Keep the total scale within the exact powers of ten.
        if (exp - (count - point) < -27) continue;
        const std::string text = (n % 2 ? "-" : "") + digits.substr(0, point) + "." + digits.substr(point) +
                                 "e" + std::to_string(exp);
        const long double expected = std::strtold(text.c_str(), nullptr);
        EXPECT_EQ(floatFromText(text, kFloatDefault, '.'), expected) << text;
    }
}

}  // namespace
}  // namespace tarvel
