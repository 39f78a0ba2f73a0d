// What a run leaves in the purchase history, reduced to a checksum that does
// not depend on row order: the sum of one hash per row over every column
// (numbers to four places, dates and texts as text, null apart from empty).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "FbClient.h"
#include "TableSum.h"

namespace bench {

struct HistoryRow {
    std::optional<std::string> party;  // PROVIDER_ID
    std::uint64_t hash = 0;
};

// Hash of one row given as its column texts (nullopt for null).
std::uint64_t rowHash(const std::vector<std::optional<std::string>>& columns);

// Every row of STORY_IN, read in a transaction of its own.
std::vector<HistoryRow> readHistory(Attachment& attachment);
TableSum sumOf(const std::vector<HistoryRow>& rows);

// The history before any run and after a complete reference run. A run
// stopped after the lines of the providers up to lastParty must leave the
// reference's rows of those providers and the original rows of all others:
// a line deletes and inserts rows of its own provider only.
class HistoryReference {
public:
    HistoryReference(std::vector<HistoryRow> before, std::vector<HistoryRow> after);
    // lastParty: nullopt for a run that reached every line.
    TableSum expected(const std::optional<std::string>& lastParty) const;
    // Whether `table` is what a run stopped at an unknown line leaves (the
    // command line stopped by a signal, whether it keeps or rolls back the
    // lines not yet committed): the lines it leaves written are a prefix of
    // the walk, so for some provider the rows of the providers before it are
    // the reference's, those after it the original ones, and its own rows are
    // anything in between.
    bool matchesAStopWithin(const std::vector<HistoryRow>& table) const;

private:
    std::vector<HistoryRow> m_before;
    std::vector<HistoryRow> m_after;
};

}  // namespace bench
