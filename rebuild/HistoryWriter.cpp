#include "HistoryWriter.h"

#include <algorithm>
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

// A row's key (RDB$DB_KEY, 8 bytes) comes back from a block as its bytes,
// and goes to a block as text: the 8 bytes padded to 16 with zero bytes (as
// in K_, CHAR(16)) and shown as UUID_TO_CHAR shows 16 bytes, 36 characters.
constexpr std::size_t kKeyLength = 36;
constexpr std::size_t kKeyBytes = 8;
const std::string kKeyValue = "VARCHAR(8) CHARACTER SET OCTETS";
// A line's DELETE reports the keys it removed, one after the other: a pair may
// hold more than one history row (the tables have no key). Its value holds
// one key more than it tells exactly: a full value means "that many or more".
constexpr std::size_t kKeysPerLine = 4;
const std::string kKeysBytes = std::to_string(kKeyBytes * (kKeysPerLine + 1));
const std::string kLineKeysValue = "VARCHAR(" + kKeysBytes + ") CHARACTER SET OCTETS";
// Lines written again go inline (their block has an input for the whole
// block, which a sub-procedure does not reach): two statements a line.
constexpr std::size_t kRewriteLines = kMaxInlineContexts / 2;
const std::string kKeyText = "UUID_TO_CHAR(K_)";
// Each key in the list of keys to delete stands behind its line's number in
// the block, as {ROW} writes it there.
const std::size_t kMarkLength = rowNumberText(0).size();
const std::size_t kEntryLength = kMarkLength + kKeyLength;
// Room for five keys of each of 128 lines (a text may hold 32,765 bytes).
constexpr std::size_t kKeysCapacity = 32000;
const std::string kCapacity = std::to_string(kKeysCapacity);

const std::string kRowsOfThePair = "FOR SELECT RDB$DB_KEY AS DK_, RDB$RECORD_VERSION AS RV_ FROM ";

// " WHERE ..." of the mode's DELETE.
std::string deletePredicate(const HistoryMode& mode) {
    return joined(mode.deleteLines).substr(std::string(mode.deleteLines[0]).size());
}

// The DELETE of a line as a walk over the rows it removes: the keys of the
// removed rows that other transactions wrote go to the line's own output
// value, until it is full.
std::string recordingDelete(const HistoryMode& mode) {
    const std::string table = mode.targetTable;
    const std::string roomLeft = "COALESCE(OCTET_LENGTH(D{ROW}), 0) < " + kKeysBytes;
    return kRowsOfThePair + table + deletePredicate(mode) +
           " INTO K_, V_ AS CURSOR C{ROW} DO BEGIN DELETE FROM " + table +
           " WHERE CURRENT OF C{ROW}; IF (V_ <> CURRENT_TRANSACTION AND " + roomLeft +
           ") THEN D{ROW} = COALESCE(D{ROW} || K_, K_); END";
}

BlockFrame recordingFrame() {
    return {.input = {},
            .declarations = "DECLARE K_ CHAR(8) CHARACTER SET OCTETS; DECLARE V_ BIGINT;",
            .rowOutput = "D{ROW} " + kLineKeysValue};
}

// The DELETE of a line written again: its keys are taken from the block's
// list (those behind its number), then the rows of its pair that this
// transaction wrote or whose key is among them are removed.
std::string rewritingDelete(const HistoryMode& mode) {
    const std::string table = mode.targetTable;
    return "BEGIN ROW_KEYS_ = ''; WHILE (SUBSTRING(KEYS_IN FROM P_ FOR " + std::to_string(kMarkLength) +
           ") = '{ROW}') DO BEGIN ROW_KEYS_ = ROW_KEYS_ || SUBSTRING(KEYS_IN FROM P_ + " +
           std::to_string(kMarkLength) + " FOR " + std::to_string(kKeyLength) + "); P_ = P_ + " +
           std::to_string(kEntryLength) + "; END " + kRowsOfThePair + table + deletePredicate(mode) +
           " INTO K_, V_ AS CURSOR C{ROW} DO IF (V_ = CURRENT_TRANSACTION OR POSITION(" + kKeyText +
           " IN ROW_KEYS_) > 0) THEN DELETE FROM " + table + " WHERE CURRENT OF C{ROW}; END";
}

// The INSERT of a line written again gives the key of the row it wrote.
std::string rewritingInsert(const HistoryMode& mode) {
    return joined(mode.insertLines) + " RETURNING RDB$DB_KEY INTO I{ROW}";
}

BlockFrame rewritingFrame() {
    return {.input = "KEYS_IN VARCHAR(" + kCapacity + ") CHARACTER SET ASCII",
            .declarations =
                "DECLARE K_ CHAR(16) CHARACTER SET OCTETS; DECLARE V_ BIGINT; "
                "DECLARE P_ INTEGER = 1; DECLARE ROW_KEYS_ VARCHAR(" +
                kCapacity + ") CHARACTER SET ASCII;",
            .rowOutput = "I{ROW} " + kKeyValue};
}

// The key's text as the blocks compare it (kKeyText of the key read into K_).
std::string keyText(const std::string& key) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
        const unsigned byte = i < key.size() ? static_cast<unsigned char>(key[i]) : 0u;
        text += kHex[byte >> 4];
        text += kHex[byte & 15];
    }
    return text;
}

// The texts of the keys a line's output holds, one after the other; nullopt
// when it is full (there may have been more). The output comes at its
// declared width, zero bytes past the keys; no key is all zero bytes (its
// first bytes name the table, never table 0).
std::optional<std::string> keyTexts(const std::string& removed) {
    std::string texts;
    std::size_t keys = 0;
    for (std::size_t at = 0; at + kKeyBytes <= removed.size(); at += kKeyBytes, ++keys) {
        const std::string key = removed.substr(at, kKeyBytes);
        if (key.find_first_not_of('\0') == std::string::npos) break;
        texts += keyText(key);
    }
    if (keys > kKeysPerLine) return std::nullopt;
    return texts;
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
    // Two statements a line: the DELETE (a walk over the pair's rows) and the INSERT.
    m_blocks.define(mode.targetTable, {recordingDelete(mode), insert}, m_linesPerCall, recordingFrame());
    m_at = positionsIn(m_blocks);
    m_rewriteLines = std::min(m_linesPerCall, kRewriteLines);
    m_rewrite = m_blocks.sibling();
    m_rewrite->define(mode.targetTable, {rewritingDelete(mode), rewritingInsert(mode)}, m_rewriteLines,
                      rewritingFrame());
    m_rewriteAt = positionsIn(*m_rewrite);
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
    std::vector<std::string> keys(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto removed = m_blocks.rowOutput(i);
        if (!removed) continue;
        auto texts = keyTexts(*removed);
        // A line that removed more rows of other transactions than it tells:
        // lines are written again as before, deleting every row of the pair.
        if (!texts) return;
        keys[i] = std::move(*texts);
    }
    m_deletedKeys = std::move(keys);
}

bool HistoryWriter::rewriteLines(std::span<const HistoryPair> lines, std::span<const std::string> keys) {
    m_insertedKeys.reset();
    if (!m_rewrite) return false;
    // Every call's lines and list of keys, all made before the first call
    // runs: lines written in part cannot be written again as before.
    struct Call {
        std::span<const HistoryPair> lines;
        std::string keys;
    };
    std::vector<Call> calls;
    for (std::size_t first = 0; first < lines.size(); first += m_rewriteLines) {
        Call& call = calls.emplace_back();
        call.lines = lines.subspan(first, std::min(m_rewriteLines, lines.size() - first));
        for (std::size_t i = 0; i < call.lines.size(); ++i) {
            const std::string mark = rowNumberText(i);  // as {ROW} in the block
            const std::string& own = keys[first + i];
            for (std::size_t at = 0; at + kKeyLength <= own.size(); at += kKeyLength)
                call.keys.append(mark).append(own, at, kKeyLength);
        }
        if (call.keys.size() > kKeysCapacity) return false;
    }
    std::vector<std::string> inserted;
    bool told = true;
    for (const Call& call : calls) {
        setLines(*m_rewrite, m_rewriteAt, call.lines);
        m_rewrite->setBlockInput(call.keys);
        m_rewrite->run(call.lines.size());
        for (std::size_t i = 0; i < call.lines.size() && told; ++i) {
            const auto key = m_rewrite->rowOutput(i);
            if (key)
                inserted.push_back(keyText(*key));
            else
                told = false;  // m_insertedKeys stays empty
        }
    }
    if (told) m_insertedKeys = std::move(inserted);
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
