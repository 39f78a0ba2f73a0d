#include "HistoryWriter.h"

#include <cstdio>
#include <string>
#include <vector>

namespace tarvel {

namespace {

template <std::size_t N>
std::string joined(const char* const (&lines)[N]) {
    std::string text;
    for (const char* line : lines) text += line;
    return text;
}

// A row's key as the block writes it: RDB$DB_KEY (8 bytes) padded to 16 and
// shown as UUID_TO_CHAR shows it, 36 characters of plain text.
constexpr std::size_t kKeyLength = 36;
// Each key the block reports stands behind its line's number in the block.
constexpr std::size_t kMarkLength = 4;
constexpr std::size_t kEntryLength = kMarkLength + kKeyLength;
// The longest answer (and the longest list of keys to write again with).
constexpr std::size_t kKeysCapacity = 8000;
// The answer of a block whose keys did not fit.
constexpr const char* kKeysOverflow = "-";

const std::string kCapacity = std::to_string(kKeysCapacity);
const std::string kKeyText = "UUID_TO_CHAR(CAST(K_ || x'0000000000000000' AS CHAR(16) CHARACTER SET OCTETS))";
const std::string kRowsOfThePair = "FOR SELECT RDB$DB_KEY AS DK_, RDB$RECORD_VERSION AS RV_ FROM ";

// The DELETE of a line as a walk over the rows it removes: each removed row
// that another transaction wrote is reported, behind the line's number.
std::string recordingDelete(const HistoryMode& mode) {
    const std::string table = mode.targetTable;
    return kRowsOfThePair + table + joined(mode.deleteLines).substr(std::string(mode.deleteLines[0]).size()) +
           " INTO K_, V_ AS CURSOR C{ROW} DO BEGIN DELETE FROM " + table +
           " WHERE CURRENT OF C{ROW}; IF (V_ <> CURRENT_TRANSACTION) THEN IF (CHAR_LENGTH(KEYS_) <= " +
           kCapacity + " - " + std::to_string(kEntryLength) + ") THEN KEYS_ = KEYS_ || '{ROW}' || " +
           kKeyText + "; ELSE FULL_ = 1; END";
}

BlockFrame recordingFrame() {
    return {.input = {},
            .declarations =
                "DECLARE K_ CHAR(8) CHARACTER SET OCTETS; DECLARE V_ BIGINT; "
                "DECLARE FULL_ SMALLINT = 0;",
            .opening = "KEYS_ = '';",
            .closing = std::string("IF (FULL_ = 1) THEN KEYS_ = '") + kKeysOverflow + "';",
            .output = "KEYS_ VARCHAR(" + kCapacity + ") CHARACTER SET ASCII"};
}

// The DELETE of a line written again: its keys are taken from the block's
// list (those behind its number), then the rows of its pair that this
// transaction wrote or whose key is among them are removed.
std::string rewritingDelete(const HistoryMode& mode) {
    const std::string table = mode.targetTable;
    return "BEGIN ROW_KEYS_ = ''; WHILE (SUBSTRING(KEYS_IN FROM P_ FOR " + std::to_string(kMarkLength) +
           ") = '{ROW}') DO BEGIN ROW_KEYS_ = ROW_KEYS_ || SUBSTRING(KEYS_IN FROM P_ + " +
           std::to_string(kMarkLength) + " FOR " + std::to_string(kKeyLength) + "); P_ = P_ + " +
           std::to_string(kEntryLength) + "; END " + kRowsOfThePair + table +
           joined(mode.deleteLines).substr(std::string(mode.deleteLines[0]).size()) +
           " INTO K_, V_ AS CURSOR C{ROW} DO IF (V_ = CURRENT_TRANSACTION OR POSITION(" + kKeyText +
           " IN ROW_KEYS_) > 0) THEN DELETE FROM " + table + " WHERE CURRENT OF C{ROW}; END";
}

// The INSERT of a line written again reports the key of the row it wrote.
std::string rewritingInsert(const HistoryMode& mode) {
    return "BEGIN " + joined(mode.insertLines) +
           " RETURNING RDB$DB_KEY INTO K_; KEYS_ = KEYS_ || '{ROW}' || " + kKeyText + "; END";
}

BlockFrame rewritingFrame() {
    return {.input = "KEYS_IN VARCHAR(" + kCapacity + ") CHARACTER SET ASCII",
            .declarations =
                "DECLARE K_ CHAR(8) CHARACTER SET OCTETS; DECLARE V_ BIGINT; "
                "DECLARE P_ INTEGER = 1; DECLARE ROW_KEYS_ VARCHAR(" +
                kCapacity + ") CHARACTER SET ASCII;",
            .opening = "KEYS_ = '';",
            .closing = {},
            .output = "KEYS_ VARCHAR(" + kCapacity + ") CHARACTER SET ASCII"};
}

}  // namespace

HistoryWriter::HistoryWriter(const HistoryMode& mode, ResetQuery& work, ResetBlock& blocks)
    : m_mode(mode), m_work(work), m_blocks(blocks), m_linesPerCall(blocks.linesPerCall()) {
    if (m_linesPerCall <= 1) {
        m_linesPerCall = 1;
        return;
    }
    // The same DELETE predicate and INSERT column list as the single statements.
    const std::string insert = joined(mode.insertLines);
    if (rowsFitInline(m_linesPerCall, 2)) {
        m_blocks.define(mode.targetTable, {recordingDelete(mode), insert}, m_linesPerCall, recordingFrame());
        m_rewrite = m_blocks.sibling();
        m_rewrite->define(mode.targetTable, {rewritingDelete(mode), rewritingInsert(mode)}, m_linesPerCall,
                          rewritingFrame());
        m_rewriteAt = positionsIn(*m_rewrite);
    } else {
        // Through a sub-procedure, which the block's own variables do not reach.
        m_blocks.define(mode.targetTable, {joined(mode.deleteLines), insert}, m_linesPerCall, {});
    }
    m_at = positionsIn(m_blocks);
}

HistoryWriter::~HistoryWriter() {
    if (m_rewrite) m_rewrite->release();
    m_blocks.release();
}

HistoryWriter::Positions HistoryWriter::positionsIn(ResetBlock& block) const {
    return {block.parameterIndex(m_mode.partyColumn), block.parameterIndex("TEMPPRODID"),
            block.parameterIndex("PROD_ID"),          block.parameterIndex(m_mode.priceParam),
            block.parameterIndex("CHG_DATE"),         block.parameterIndex("PROD_BARCODE"),
            block.parameterIndex("SALE_PRICE"),       block.parameterIndex("U_DIS")};
}

void HistoryWriter::setLines(ResetBlock& block, const Positions& at, std::span<const HistoryPair> lines) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const HistoryPair& pair = lines[i];
        block.setParamText(i, at.party, pair.party);
        block.setParamText(i, at.tempProdId, pair.tempProdId);
        block.setParamText(i, at.prodId, pair.prodId);
        block.setParamDouble(i, at.price, pair.price);
        block.setParamText(i, at.chgDate, pair.chgDate);
        block.setParamText(i, at.barcode, pair.barcode);
        block.setParamDouble(i, at.salePrice, pair.salePrice);
        block.setParamDouble(i, at.discount, pair.discount);
    }
}

void HistoryWriter::writeLines(std::span<const HistoryPair> lines) {
    m_deletedKeys.reset();
    setLines(m_blocks, m_at, lines);
    m_blocks.run(lines.size());
    if (m_rewrite) m_deletedKeys = keysByLine(m_blocks.output(), lines.size());
}

std::optional<std::vector<std::string>> HistoryWriter::keysByLine(const std::string& answer,
                                                                  std::size_t lines) const {
    if (answer.size() % kEntryLength != 0) return std::nullopt;  // the overflow mark, or unreadable
    std::vector<std::string> keys(lines);
    for (std::size_t at = 0; at < answer.size(); at += kEntryLength) {
        std::size_t line = 0;
        for (std::size_t i = 0; i < kMarkLength; ++i) {
            const char c = answer[at + i];
            if (c < '0' || c > '9') return std::nullopt;
            line = line * 10 + static_cast<std::size_t>(c - '0');
        }
        if (line >= lines) return std::nullopt;
        keys[line].append(answer, at + kMarkLength, kKeyLength);
    }
    return keys;
}

bool HistoryWriter::rewriteLines(std::span<const HistoryPair> lines, std::span<const std::string> keys) {
    m_insertedKeys.reset();
    if (!m_rewrite) return false;
    std::string list;
    for (std::size_t line = 0; line < lines.size(); ++line) {
        char mark[24];  // four digits: a block holds fewer than 10,000 lines
        std::snprintf(mark, sizeof mark, "%04zu", line);
        for (std::size_t at = 0; at + kKeyLength <= keys[line].size(); at += kKeyLength)
            list.append(mark).append(keys[line], at, kKeyLength);
    }
    if (list.size() > kKeysCapacity) return false;
    setLines(*m_rewrite, m_rewriteAt, lines);
    m_rewrite->setBlockInput(list);
    m_rewrite->run(lines.size());
    m_insertedKeys = keysByLine(m_rewrite->output(), lines.size());
    return true;
}

std::optional<std::size_t> HistoryWriter::failedLine() { return m_blocks.failedLine(); }

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
