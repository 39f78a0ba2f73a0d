// Writes the history rows of qualifying document lines: one line with its own
// DELETE and INSERT statements, or many lines' DELETE and INSERT in one call.
#pragma once

#include <cstddef>
#include <span>

#include "HistoryMode.h"
#include "HistoryPair.h"
#include "ResetBlock.h"
#include "ResetQuery.h"

namespace tarvel {

class HistoryWriter {
public:
    // Asks the connection's settings for the lines per call (the connection
    // must be open) and defines the block when more than one.
    HistoryWriter(const HistoryMode& mode, ResetQuery& work, ResetBlock& block);
    // Lets the block go: a prepared statement keeps its tables in use.
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    // Lines writeLines() takes at most; 1: lines are written with
    // deleteRow() and insertRow() only.
    std::size_t linesPerCall() const { return m_linesPerCall; }
    // The lines' DELETE and INSERT pairs, in order, in one call; returns how
    // many lines were written: fewer than lines.size() when the line at that
    // position was refused (undone, the lines before it kept). Throws when
    // the call itself failed, with nothing of it kept.
    std::size_t writeLines(std::span<const HistoryPair> lines);
    // The line's own DELETE, and its own INSERT.
    void deleteRow(const HistoryPair& pair);
    void insertRow(const HistoryPair& pair);

private:
    const HistoryMode& m_mode;
    ResetQuery& m_work;
    ResetBlock& m_block;
    std::size_t m_linesPerCall = 1;
    // Positions of the values among a block line's parameters.
    struct Positions {
        std::size_t party, tempProdId, prodId, price, chgDate, barcode, salePrice, discount;
    } m_at{};
};

}  // namespace tarvel
