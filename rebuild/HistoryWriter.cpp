#include "HistoryWriter.h"

#include <string>

namespace tarvel {

namespace {

template <std::size_t N>
std::string joined(const char* const (&lines)[N]) {
    std::string text;
    for (const char* line : lines) text += line;
    return text;
}

}  // namespace

HistoryWriter::HistoryWriter(const HistoryMode& mode, ResetQuery& work, ResetBlock& block)
    : m_mode(mode), m_work(work), m_block(block), m_linesPerCall(block.linesPerCall()) {
    if (m_linesPerCall <= 1) {
        m_linesPerCall = 1;
        return;
    }
    // The same DELETE and INSERT texts as the single statements.
    m_block.define(mode.targetTable, {joined(mode.deleteLines), joined(mode.insertLines)}, m_linesPerCall);
    m_at = {m_block.parameterIndex(mode.partyColumn), m_block.parameterIndex("TEMPPRODID"),
            m_block.parameterIndex("PROD_ID"),        m_block.parameterIndex(mode.priceParam),
            m_block.parameterIndex("CHG_DATE"),       m_block.parameterIndex("PROD_BARCODE"),
            m_block.parameterIndex("SALE_PRICE"),     m_block.parameterIndex("U_DIS")};
}

HistoryWriter::~HistoryWriter() { m_block.release(); }

std::size_t HistoryWriter::writeLines(std::span<const HistoryPair> lines) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const HistoryPair& pair = lines[i];
        m_block.setParamText(i, m_at.party, pair.party);
        m_block.setParamText(i, m_at.tempProdId, pair.tempProdId);
        m_block.setParamText(i, m_at.prodId, pair.prodId);
        m_block.setParamDouble(i, m_at.price, pair.price);
        m_block.setParamText(i, m_at.chgDate, pair.chgDate);
        m_block.setParamText(i, m_at.barcode, pair.barcode);
        m_block.setParamDouble(i, m_at.salePrice, pair.salePrice);
        m_block.setParamDouble(i, m_at.discount, pair.discount);
    }
    return m_block.run(lines.size());
}

void HistoryWriter::deleteRow(const HistoryPair& pair) {
    setStatementLines(m_work, m_mode.deleteLines);
    m_work.setParamText("TEMPPRODID", pair.tempProdId);
    m_work.setParamText(m_mode.partyColumn, pair.party);
    m_work.runStatement();
}

void HistoryWriter::insertRow(const HistoryPair& pair) {
    setStatementLines(m_work, m_mode.insertLines);
    m_work.setParamText(m_mode.partyColumn, pair.party);
    m_work.setParamText("PROD_ID", pair.prodId);
    m_work.setParamDouble(m_mode.priceParam, pair.price);
    m_work.setParamText("CHG_DATE", pair.chgDate);
    m_work.setParamText("TEMPPRODID", pair.tempProdId);
    m_work.setParamText("PROD_BARCODE", pair.barcode);
    m_work.setParamDouble("SALE_PRICE", pair.salePrice);
    m_work.setParamDouble("U_DIS", pair.discount);
    m_work.runStatement();
}

}  // namespace tarvel
