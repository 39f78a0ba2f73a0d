#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "FieldText.h"
#include "PrintCase.h"

namespace tarvel {
namespace {

RegionalFormats withSeparator(char separator) {
    RegionalFormats formats;
    formats.decimalSeparator = separator;
    return formats;
}

struct FloatTextCase {
    double value;
    const char* expected;
};

void PrintTo(const FloatTextCase& c, std::ostream* out) {
    char bits[32];
    std::snprintf(bits, sizeof bits, "%a", c.value);
    *out << bits;
}

class FloatText : public ::testing::TestWithParam<FloatTextCase> {};

TEST_P(FloatText, GeneralFormat) {
    EXPECT_EQ(floatText(GetParam().value, withSeparator('.')), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FloatText,
    ::testing::Values(FloatTextCase{12.5, "12.5"}, FloatTextCase{0.0001, "0.0001"},
                      FloatTextCase{0.00001, "1E-5"}, FloatTextCase{0.1 + 0.2, "0.3"},
                      FloatTextCase{123456789012345.0, "123456789012345"}, FloatTextCase{1e15, "1E15"},
                      FloatTextCase{999999999999999.0, "999999999999999"},
                      FloatTextCase{9999999999999999.0, "1E16"},
                      FloatTextCase{1234567890123456.0, "1.23456789012346E15"}, FloatTextCase{0.0, "0"},
                      FloatTextCase{-0.0, "0"}, FloatTextCase{-2.5, "-2.5"}, FloatTextCase{100.0, "100"},
                      FloatTextCase{0.000123456, "0.000123456"},
                      FloatTextCase{1.0 / 3.0, "0.333333333333333"},
                      FloatTextCase{2.0 / 3.0, "0.666666666666667"}, FloatTextCase{1e-300, "1E-300"},
                      FloatTextCase{-1.5e300, "-1.5E300"}, FloatTextCase{5e-324, "4.94065645841247E-324"},
                      FloatTextCase{std::numeric_limits<double>::infinity(), "INF"},
                      FloatTextCase{-std::numeric_limits<double>::infinity(), "-INF"},
                      FloatTextCase{std::numeric_limits<double>::quiet_NaN(), "NAN"},
                      FloatTextCase{-std::numeric_limits<double>::quiet_NaN(), "-NAN"}));

TEST(FloatTextSeparator, CommaReplacesPointAndNotTheExponent) {
    EXPECT_EQ(floatText(12.5, withSeparator(',')), "12,5");
    EXPECT_EQ(floatText(0.001, withSeparator(',')), "0,001");
    EXPECT_EQ(floatText(1.25e-7, withSeparator(',')), "1,25E-7");
    EXPECT_EQ(floatText(1e20, withSeparator(',')), "1E20");
}

// An independent reference: C's %.15g has the same switch between fixed and
// scientific form (exponent from -4 to 14) and drops trailing zeros; only the
// exponent is written differently.
std::string reference(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    std::string text = buffer;
    const auto e = text.find('e');
    if (e == std::string::npos) return text == "-0" ? "0" : text;
    const int exponent = std::atoi(text.c_str() + e + 1);
    return text.substr(0, e) + "E" + std::to_string(exponent);
}

TEST(FloatTextRandom, MatchesIndependentFormatter) {
    std::mt19937_64 random(7151);
    int checked = 0;
    // Random bit patterns cover every exponent; scaled random decimals cover
    // the fixed-point range and the switch between the two forms.
    for (int n = 0; n < 4000; ++n) {
        const double value = std::bit_cast<double>(random());
        if (!std::isfinite(value)) continue;
        ASSERT_EQ(floatText(value, withSeparator('.')), reference(value)) << std::hexfloat << value;
        ++checked;
    }
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> scale(-8, 20);
    for (int n = 0; n < 4000; ++n) {
        const double value = unit(random) * std::pow(10.0, scale(random));
        ASSERT_EQ(floatText(value, withSeparator('.')), reference(value)) << std::hexfloat << value;
        // Values with few digits, whose trailing zeros must go.
        const double shortValue = std::round(unit(random) * 1e6) * std::pow(10.0, scale(random) - 6);
        ASSERT_EQ(floatText(shortValue, withSeparator('.')), reference(shortValue))
            << std::hexfloat << shortValue;
        checked += 2;
    }
    EXPECT_GT(checked, 11000);
}

}  // namespace
}  // namespace tarvel
