// Reading the little-endian numbers of the client library's info buffers.
#pragma once

#include <cstdint>

namespace tarvel::fb {

// The `length`-byte little-endian number at `bytes` (length up to 8).
inline std::int64_t infoInteger(const char* bytes, int length) {
    std::uint64_t value = 0;
    for (int i = length - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    if (length > 0 && length < 8 && (static_cast<unsigned char>(bytes[length - 1]) & 0x80))
        value |= ~std::uint64_t{0} << (8 * length);
    return static_cast<std::int64_t>(value);
}

}  // namespace tarvel::fb

namespace tarvel::fb {

// The unsigned two-byte length that precedes each item's data.
inline int infoLength(const char* bytes) {
    return static_cast<unsigned char>(bytes[0]) | (static_cast<unsigned char>(bytes[1]) << 8);
}

}  // namespace tarvel::fb
