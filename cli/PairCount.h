// Counts the history pairs (party and product) a run's lines name, for the
// summary after the run. The scan reads the lines ordered by party first, so
// only the products of the current party are kept: memory follows the
// largest party's catalogue, not the size of the run.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>

#include "HistoryPair.h"

namespace tarvel {

class PairCount {
public:
    void add(const HistoryPair& pair);
    // Pairs seen so far.
    std::int64_t pairs() const { return m_finished + static_cast<std::int64_t>(m_products.size()); }

private:
    std::string m_party;
    std::unordered_set<std::string> m_products;
    std::int64_t m_finished = 0;  // pairs of the parties before the current one
};

}  // namespace tarvel
