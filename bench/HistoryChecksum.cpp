#include "HistoryChecksum.h"

#include <map>

namespace bench {

namespace {

std::uint64_t fnv(std::uint64_t hash, const char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= static_cast<unsigned char>(data[i]);
        hash *= 0x100000001B3ULL;
    }
    return hash;
}

// Spreads the bits, so that a sum of hashes does not cancel out easily.
std::uint64_t finish(std::uint64_t hash) {
    hash ^= hash >> 30;
    hash *= 0xBF58476D1CE4E5B9ULL;
    hash ^= hash >> 27;
    hash *= 0x94D049BB133111EBULL;
    return hash ^ (hash >> 31);
}

bool reached(const HistoryRow& row, const std::optional<std::string>& lastParty) {
    return !lastParty || (row.party && *row.party <= *lastParty);
}

void add(TableSum& total, const HistoryRow& row) {
    total.sum += row.hash;
    ++total.rows;
}

}  // namespace

std::uint64_t rowHash(const std::vector<std::optional<std::string>>& columns) {
    std::uint64_t hash = 0xCBF29CE484222325ULL;
    for (const auto& column : columns) {
        // A null and an empty text must differ: a tag in front, the length after.
        const char tag = column ? 'v' : 'n';
        hash = fnv(hash, &tag, 1);
        if (column) {
            hash = fnv(hash, column->data(), column->size());
            const std::uint64_t length = column->size();
            hash = fnv(hash, reinterpret_cast<const char*>(&length), sizeof length);
        }
    }
    return finish(hash);
}

std::vector<HistoryRow> readHistory(Attachment& attachment) {
    Transaction transaction(attachment, Transaction::Kind::ReadOnly);
    Statement select(
        attachment, transaction,
        "SELECT PROVIDER_ID, PROD_ID, STD_COST, CHG_DATE, TEMPPRODID, PROD_BARCODE, SALE_PRICE, U_DIS "
        "FROM STORY_IN");
    select.execute(transaction);
    std::vector<HistoryRow> rows;
    std::vector<std::optional<std::string>> columns(static_cast<std::size_t>(select.columnCount()));
    while (select.fetch()) {
        for (int i = 0; i < select.columnCount(); ++i)
            columns[static_cast<std::size_t>(i)] =
                select.isNull(i) ? std::nullopt : std::optional<std::string>(select.text(i));
        rows.push_back({columns[0], rowHash(columns)});
    }
    select.closeCursor();
    transaction.commit();
    return rows;
}

TableSum sumOf(const std::vector<HistoryRow>& rows) {
    TableSum total;
    for (const HistoryRow& row : rows) {
        total.sum += row.hash;
        ++total.rows;
    }
    return total;
}

HistoryReference::HistoryReference(std::vector<HistoryRow> before, std::vector<HistoryRow> after)
    : m_before(std::move(before)), m_after(std::move(after)) {}

bool HistoryReference::matchesAStopWithin(const std::vector<HistoryRow>& table) const {
    // Per provider, in the scan's (byte) order: the rows before, after and found.
    struct Sums {
        TableSum before, after, found;
    };
    std::map<std::string, Sums> providers;
    Sums unowned;  // rows without a provider: no line touches them
    auto sumsOf = [&](const HistoryRow& row) -> Sums& { return row.party ? providers[*row.party] : unowned; };
    for (const HistoryRow& row : m_before) add(sumsOf(row).before, row);
    for (const HistoryRow& row : m_after) add(sumsOf(row).after, row);
    for (const HistoryRow& row : table) add(sumsOf(row).found, row);
    if (unowned.found != unowned.before) return false;

    // doneUpTo[i]: the providers before the i-th hold the reference's rows.
    std::vector<bool> doneUpTo{true};
    for (const auto& [party, sums] : providers)
        doneUpTo.push_back(doneUpTo.back() && sums.found == sums.after);
    bool untouchedFrom = true;  // the providers after the current one hold their original rows
    std::size_t index = providers.size();
    for (auto at = providers.rbegin(); at != providers.rend(); ++at) {
        --index;
        if (untouchedFrom && doneUpTo[index]) return true;
        untouchedFrom = untouchedFrom && at->second.found == at->second.before;
    }
    return untouchedFrom;  // no provider at all: nothing to differ
}

TableSum HistoryReference::expected(const std::optional<std::string>& lastParty) const {
    TableSum total;
    for (const HistoryRow& row : m_after) {
        if (!reached(row, lastParty)) continue;
        total.sum += row.hash;
        ++total.rows;
    }
    for (const HistoryRow& row : m_before) {
        if (reached(row, lastParty)) continue;
        total.sum += row.hash;
        ++total.rows;
    }
    return total;
}

}  // namespace bench
