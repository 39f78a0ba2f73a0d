// Fuzzes floating point from text, under the full stop and the comma as the
// decimal separator. A reference reading checks the text's form by itself and
// takes the value from strtold on a canonical C-locale text: with at most 19
// significant digits the two must agree exactly (both round the exact decimal
// value once), with more they must agree closely; a text that is not a number
// gives the default. Any double's field text must read back as that value to
// 15 significant digits, and exactly as strtold reads that text.
#include <locale.h>
#include <stdlib.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "FieldText.h"
#include "NumberText.h"
#include "RegionalFormats.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

const long double kDefault = -123.25L;

long double cLocaleValue(const std::string& text) {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return strtold_l(text.c_str(), nullptr, c);
}

struct Reference {
    long double value = 0;  // infinite when the value is too large even for extended precision
    std::size_t significantDigits = 0;
};

// The text's form: blanks, a sign, digits, the separator and more digits, an
// exponent whose digits are taken while it stays below 500, blanks, the end.
// Nothing when the form does not hold.
std::optional<Reference> referenceFloat(std::string_view text, char separator) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    std::string canonical;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) canonical += text[i++];
    std::string digits;
    bool separatorSeen = false;
    for (; i < text.size() && isDigit(text[i]); ++i) digits += text[i];
    std::string fraction;
    if (i < text.size() && text[i] == separator) {
        separatorSeen = true;
        for (++i; i < text.size() && isDigit(text[i]); ++i) fraction += text[i];
    }
    if (digits.empty() && !separatorSeen) return std::nullopt;
    long exponent = 0;
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        bool negative = false;
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
        for (; i < text.size() && isDigit(text[i]) && exponent < 500; ++i)
            exponent = exponent * 10 + (text[i] - '0');
        if (negative) exponent = -exponent;
    }
    while (i < text.size() && text[i] == ' ') ++i;
    if (i != text.size()) return std::nullopt;

    Reference reference;
    const std::string all = digits + fraction;
    const std::size_t firstSignificant = all.find_first_not_of('0');
    reference.significantDigits = firstSignificant == std::string::npos ? 0 : all.size() - firstSignificant;
    canonical += (digits.empty() ? "0" : digits) + "." + fraction + "e" + std::to_string(exponent);
    reference.value = cLocaleValue(canonical);
    return reference;
}

void checkTextReading(std::string_view text, char separator) {
    const long double result = tarvel::floatFromText(text, kDefault, separator);
    const std::optional<Reference> reference = referenceFloat(text, separator);
    if (!reference) {
        require(result == kDefault);
        return;
    }
    if (reference->significantDigits <= 19) {
        require(result == (std::isfinite(reference->value) ? reference->value : kDefault));
    } else if (reference->significantDigits <= 400) {
        const long double magnitude = std::fabs(reference->value);
        if (magnitude > 1e-4900L && magnitude < 1e4900L) {
            require(std::fabs(result - reference->value) <= magnitude * 1e-14L);
        }
    } else {
        require(result == kDefault || std::isfinite(result));
    }
}

void checkRoundTrip(double value, char separator) {
    if (!std::isfinite(value)) return;
    tarvel::RegionalFormats formats;
    formats.decimalSeparator = separator;
    std::string text = tarvel::floatText(value, formats);
    const long double result = tarvel::floatFromText(text, kDefault, separator);
    for (char& c : text) {
        if (c == separator) c = '.';
    }
    require(result == cLocaleValue(text));
    // Compared in extended precision: the 15-digit text of a value next to
    // the largest double lies beyond it.
    require(std::fabs(result - value) <= std::fabs(static_cast<long double>(value)) * 1e-14L);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks the decimal separator.
    const char separator = (data[0] & 1) ? ',' : '.';
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    checkTextReading(text, separator);
    if (size >= 1 + sizeof(double)) {
        double value = 0;
        std::memcpy(&value, data + 1, sizeof value);
        checkRoundTrip(value, separator);
    }
    return 0;
}
