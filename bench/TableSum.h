// An order-independent checksum of a table: the sum of one hash per row.
#pragma once

#include <cstdint>

namespace bench {

struct TableSum {
    std::uint64_t sum = 0;
    std::int64_t rows = 0;
    bool operator==(const TableSum&) const = default;
};

}  // namespace bench
