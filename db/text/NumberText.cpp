#include "NumberText.h"

#include <cmath>
#include <limits>

namespace tarvel {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Powers of ten up to 10^27 are exact in the 64-bit mantissa of the 80-bit
// format, so scaling by them rounds once; larger powers come from powl.
long double powerOfTen(int exponent)
{
    if (exponent <= 27) {
        long double power = 1.0L;
        for (int i = 0; i < exponent; ++i)
            power *= 10.0L;
        return power;
    }
    return powl(10.0L, static_cast<long double>(exponent));
}

// value * 10^exponent, in steps that keep each power of ten finite so that a
// representable result is not lost to an overflowing intermediate power.
long double scaleByPowerOfTen(long double value, int exponent)
{
    constexpr int kStep = 4000;
    while (exponent > kStep) {
        value *= powerOfTen(kStep);
        exponent -= kStep;
    }
    while (exponent < -kStep) {
        value /= powerOfTen(kStep);
        exponent += kStep;
    }
    return exponent >= 0 ? value * powerOfTen(exponent) : value / powerOfTen(-exponent);
}

}  // namespace

std::int32_t integerFromText(std::string_view text, std::int32_t defaultValue)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';

    bool hexadecimal = false;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hexadecimal = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hexadecimal = true;
        i += 2;
    }
    if (i >= text.size())
        return defaultValue;

    if (hexadecimal) {
        std::uint32_t value = 0;
        int significantDigits = 0;
        for (; i < text.size(); ++i) {
            const int digit = hexValue(text[i]);
            if (digit < 0)
                return defaultValue;
            if (value != 0 || digit != 0)
                ++significantDigits;
            if (significantDigits > 8)
                return defaultValue;
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
        if (!isDigit(text[i]))
            return defaultValue;
        const auto digit = static_cast<std::uint32_t>(text[i] - '0');
        if (magnitude > (limit - digit) / 10)
            return defaultValue;
        magnitude = magnitude * 10 + digit;
    }
    return static_cast<std::int32_t>(negative ? 0u - magnitude : magnitude);
}

long double floatFromText(std::string_view text, long double defaultValue, char decimalSeparator)
{
    std::size_t i = 0;
    const std::size_t size = text.size();
    while (i < size && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < size && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';

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
    if (!digitSeen && !separatorSeen)
        return defaultValue;

    int exponent = 0;
    if (i < size && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        bool negativeExponent = false;
        if (i < size && (text[i] == '-' || text[i] == '+'))
            negativeExponent = text[i++] == '-';
        // Digits are taken while the exponent is below 500; one more digit
        // can still follow at 50..499, so 1E4933 is read whole and 1E5000 is not.
        for (; i < size && isDigit(text[i]) && exponent < 500; ++i)
            exponent = exponent * 10 + (text[i] - '0');
        if (negativeExponent)
            exponent = -exponent;
    }
    while (i < size && text[i] == ' ')
        ++i;
    if (i != size)
        return defaultValue;

    if (!std::isfinite(mantissa))
        return defaultValue;
    long double value = mantissa;
    if (mantissa != 0.0L) {
        // Fraction digits make the exponent smaller; a long fraction may push
        // it below what an int holds only with absurd texts, so clamp it.
        const long long scale = exponent - fractionDigits;
        const int clamped = scale < -100000 ? -100000 : static_cast<int>(scale);
        value = scaleByPowerOfTen(mantissa, clamped);
        if (!std::isfinite(value))
            return defaultValue;
    }
    return negative ? -value : value;
}

}  // namespace tarvel
