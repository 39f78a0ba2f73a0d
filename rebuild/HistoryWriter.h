// Writes the history rows of qualifying document lines: one line with its own
// DELETE and INSERT statements, or many lines' DELETE and INSERT in one call.
// A block of lines also tells which rows committed by other transactions its
// DELETEs removed, so that lines written again after their transaction was
// lost delete those rows only, as one transaction per line would have.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "HistoryMode.h"
#include "HistoryPair.h"
#include "ResetBlock.h"
#include "ResetQuery.h"

namespace tarvel {

class HistoryWriter {
public:
    // Asks the connection's settings for the lines per call (the connection
    // must be open) and defines the blocks when more than one.
    HistoryWriter(const HistoryMode& mode, ResetQuery& work, ResetBlock& blocks);
    // Lets the blocks go: a prepared statement keeps its tables in use.
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    // Lines writeLines() takes at most; 1: lines are written with
    // deleteRow() and insertRow() only.
    std::size_t linesPerCall() const { return m_linesPerCall; }
    // The lines' DELETE and INSERT pairs, in order, in one call; when it
    // throws, nothing of it is kept and failedLine() tells which line failed
    // when known.
    void writeLines(std::span<const HistoryPair> lines);
    std::optional<std::size_t> failedLine();
    // After writeLines(): for each of its lines, the keys of the rows that
    // other transactions had committed and its DELETE removed (as text, one
    // after the other); nullopt when the block cannot tell (a line that
    // removed more than four such rows).
    const std::optional<std::vector<std::string>>& deletedKeys() const { return m_deletedKeys; }
    // Writes lines again, in calls of up to 128 lines, after the transaction
    // that wrote them was rolled back: each line deletes the rows this
    // transaction wrote for its pair and the rows of its keys (what the first
    // writing deleted, and rows lines before it wrote again and committed
    // since), then inserts.
    // False, with nothing written, when the keys of a call do not fit in it
    // or the blocks cannot tell keys at all.
    bool rewriteLines(std::span<const HistoryPair> lines, std::span<const std::string> keys);
    // After rewriteLines(): for each of its lines, the key of the row it
    // inserted; nullopt when the block could not tell.
    const std::optional<std::vector<std::string>>& insertedKeys() const { return m_insertedKeys; }
    // The line's own DELETE, and its own INSERT.
    void deleteRow(const HistoryPair& pair);
    void insertRow(const HistoryPair& pair);

private:
    // Positions of the values among a block line's parameters.
    struct Positions {
        std::size_t party, tempProdId, prodId, price, chgDate, barcode, salePrice, discount;
    };
    Positions positionsIn(ResetBlock& block) const;
    void setLines(ResetBlock& block, const Positions& at, std::span<const HistoryPair> lines);

    const HistoryMode& m_mode;
    ResetQuery& m_work;
    ResetBlock& m_blocks;
    std::unique_ptr<ResetBlock> m_rewrite;  // the block that writes lines again
    std::size_t m_linesPerCall = 1;
    std::size_t m_rewriteLines = 1;  // lines one call of m_rewrite holds
    Positions m_at{};
    Positions m_rewriteAt{};
    std::optional<std::vector<std::string>> m_deletedKeys;
    std::optional<std::vector<std::string>> m_insertedKeys;
};

}  // namespace tarvel
