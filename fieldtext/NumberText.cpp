#include "NumberText.h"

#include <locale.h>
#include <stdlib.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace tarvel {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c) {
    if (isDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Powers of ten up to 10^27 are exact in the 64-bit mantissa of the 80-bit
// format, so scaling by them rounds once.
constexpr int kExactPowers = 27;

long double exactPowerOfTen(int exponent) {
    long double power = 1.0L;
    for (int i = 0; i < exponent; ++i) power *= 10.0L;
    return power;
}

// The C locale, for reading a number text whatever the process locale is.
locale_t cLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

// integer * 10^exponent rounded once to the nearest 80-bit value. Within the
// exact powers one multiplication or division does it; beyond them the exact
// decimal text of the integer with the exponent is read by strtold, which
// rounds correctly where a product with an inexact power would round twice.
long double scaleByPowerOfTen(long double integer, long long exponent) {
    if (exponent >= 0 && exponent <= kExactPowers)
        return integer * exactPowerOfTen(static_cast<int>(exponent));
    if (exponent < 0 && exponent >= -kExactPowers)
        return integer / exactPowerOfTen(static_cast<int>(-exponent));
    char digits[5000];  // the largest finite 80-bit value has 4933 digits
    std::snprintf(digits, sizeof digits, "%.0Lf", integer);
    const std::string text = std::string(digits) + "e" + std::to_string(exponent);
    return strtold_l(text.c_str(), nullptr, cLocale());
}

}  // namespace

std::int32_t integerFromText(std::string_view text, std::int32_t defaultValue) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';

    bool hexadecimal = false;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hexadecimal = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hexadecimal = true;
        i += 2;
    }
    if (i >= text.size()) return defaultValue;

    if (hexadecimal) {
        std::uint32_t value = 0;
        int significantDigits = 0;
        for (; i < text.size(); ++i) {
            const int digit = hexValue(text[i]);
            if (digit < 0) return defaultValue;
            if (value != 0 || digit != 0) ++significantDigits;
            if (significantDigits > 8) return defaultValue;
            value = value << 4 | static_cast<std::uint32_t>(digit);
        }
        // The 32 bits are a signed number; a minus sign negates it, wrapping
        // as two's complement does ("-$80000000" stays the lowest value).
        return static_cast<std::int32_t>(negative ? 0u - value : value);
    }

    // Accumulate the magnitude; the lowest value has no positive counterpart.
    const std::uint32_t limit = negative ? 2147483648u : 2147483647u;
    std::uint32_t magnitude = 0;
    for (; i < text.size(); ++i) {
        if (!isDigit(text[i])) return defaultValue;
        const auto digit = static_cast<std::uint32_t>(text[i] - '0');
        if (magnitude > (limit - digit) / 10) return defaultValue;
        magnitude = magnitude * 10 + digit;
    }
    return static_cast<std::int32_t>(negative ? 0u - magnitude : magnitude);
}

long double floatFromText(std::string_view text, long double defaultValue, char decimalSeparator) {
    std::size_t i = 0;
    const std::size_t size = text.size();
    while (i < size && text[i] == ' ') ++i;
    bool negative = false;
    if (i < size && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';

    long double mantissa = 0.0L;
    bool digitSeen = false;
    bool separatorSeen = false;
    long long fractionDigits = 0;
    for (; i < size && isDigit(text[i]); ++i) {
        mantissa = mantissa * 10.0L + static_cast<long double>(text[i] - '0');
        digitSeen = true;
    }
    if (i < size && text[i] == decimalSeparator) {
        separatorSeen = true;
        for (++i; i < size && isDigit(text[i]); ++i) {
            mantissa = mantissa * 10.0L + static_cast<long double>(text[i] - '0');
            ++fractionDigits;
        }
    }
    if (!digitSeen && !separatorSeen) return defaultValue;

    int exponent = 0;
    if (i < size && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        bool negativeExponent = false;
        if (i < size && (text[i] == '-' || text[i] == '+')) negativeExponent = text[i++] == '-';
        // Digits are taken while the exponent is below 500; one more digit
        // can still follow at 50..499, so 1E4933 is read whole and 1E5000 is not.
        for (; i < size && isDigit(text[i]) && exponent < 500; ++i)
            exponent = exponent * 10 + (text[i] - '0');
        if (negativeExponent) exponent = -exponent;
    }
    while (i < size && text[i] == ' ') ++i;
    if (i != size) return defaultValue;

    if (!std::isfinite(mantissa)) return defaultValue;
    long double value = mantissa;
    if (mantissa != 0.0L) {
        value = scaleByPowerOfTen(mantissa, exponent - fractionDigits);
        if (!std::isfinite(value)) return defaultValue;
    }
    return negative ? -value : value;
}

}  // namespace tarvel
