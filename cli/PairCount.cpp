#include "PairCount.h"

namespace tarvel {

namespace {

// The server compares texts without their trailing blanks: "P1" and "P1 "
// name one party (the DELETE of one line removes the other's row).
std::string withoutTrailingBlanks(const std::string& text) {
    const std::size_t end = text.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

}  // namespace

void PairCount::add(const HistoryPair& pair) {
    std::string party = withoutTrailingBlanks(pair.party);
    if (party != m_party) {
        m_finished += static_cast<std::int64_t>(m_products.size());
        m_products.clear();
        m_party = std::move(party);
    }
    m_products.insert(withoutTrailingBlanks(pair.tempProdId));
}

}  // namespace tarvel
