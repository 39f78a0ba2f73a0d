// Fuzzes integer-from-text: every text must give what a reference reading
// built on std::from_chars gives (the default for a text that is not an
// integer), and the decimal and hexadecimal texts of any 32-bit value must
// read back as that value.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "FieldText.h"
#include "NumberText.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Blanks, a sign, a hexadecimal prefix or none, then digits that std::from_chars
// must take to the end of the text; nothing when the text is not an integer.
std::optional<std::int32_t> referenceInteger(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return std::nullopt;
    text.remove_prefix(first);
    bool negative = false;
    if (text.front() == '-' || text.front() == '+') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (startsWith(text, "0x") || startsWith(text, "0X")) {
        base = 16;
        text.remove_prefix(2);
    } else if (startsWith(text, "$") || startsWith(text, "x") || startsWith(text, "X")) {
        base = 16;
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    // An unsigned target: from_chars then takes no sign of its own.
    std::uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (base == 16) {
        if (magnitude > 0xFFFFFFFFu) return std::nullopt;
        const auto bits = static_cast<std::uint32_t>(magnitude);
        return static_cast<std::int32_t>(negative ? 0u - bits : bits);
    }
    if (magnitude > (negative ? 2147483648u : 2147483647u)) return std::nullopt;
    return static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(magnitude)
                                              : static_cast<std::int64_t>(magnitude));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<std::int32_t> expected = referenceInteger(text);
    for (const std::int32_t defaultValue : {1, INT32_MIN}) {
        require(tarvel::integerFromText(text, defaultValue) == expected.value_or(defaultValue));
    }

    if (size >= 4) {
        std::int32_t value = 0;
        std::memcpy(&value, data, sizeof value);
        const std::string decimal = tarvel::integerText(value);
        require(tarvel::integerFromText(decimal, value ^ 1) == value);
        require(tarvel::integerFromText("  " + decimal, value ^ 1) == value);
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(value));
        require(tarvel::integerFromText(hex, value ^ 1) == value);
        std::snprintf(hex, sizeof hex, "$%x", static_cast<unsigned>(value));
        require(tarvel::integerFromText(hex, value ^ 1) == value);
    }
    return 0;
}
