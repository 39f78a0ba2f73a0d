#include "BatchBlockText.h"

#include <algorithm>
#include <cctype>

#include "DriverFailure.h"

namespace tarvel::fb {

namespace {

constexpr const char* kCount = "LINES_TO_RUN";
constexpr const char* kProcedure = "LINE_STATEMENTS";
constexpr const char* kOutputs =
    "RETURNS (LINES_DONE INTEGER, FAILED_GDSCODE INTEGER, FAILED_SQLCODE INTEGER, "
    "FAILED_SQLSTATE CHAR(5) CHARACTER SET ASCII)\n";
constexpr const char* kHandler =
    " WHEN ANY DO BEGIN FAILED_GDSCODE = GDSCODE; FAILED_SQLCODE = SQLCODE; "
    "FAILED_SQLSTATE = SQLSTATE; SUSPEND; EXIT; END END\n";

[[noreturn]] void refuse(const std::string& what) {
    throw DriverFailure(sqldriver::status::InvalidParameter, "batch: " + what);
}

bool isPlainIdentifier(const std::string& name) {
    if (name.empty() || name.size() > 63 || !std::isalpha(static_cast<unsigned char>(name[0]))) return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$';
    });
}

// Calls `marker` for each "?" outside quotes and comments, `text` for every
// other run of characters, line breaks turned into blanks.
template <typename Text, typename Marker>
void walkMarkers(const std::string& statement, Text&& text, Marker&& marker) {
    std::string run;
    for (std::size_t i = 0; i < statement.size(); ++i) {
        const char c = statement[i];
        if (c == '\'' || c == '"') {
            const std::size_t end = statement.find(c, i + 1);
            const std::size_t last = end == std::string::npos ? statement.size() - 1 : end;
            run.append(statement, i, last - i + 1);
            i = last;
        } else if (c == '-' && i + 1 < statement.size() && statement[i + 1] == '-') {
            i = std::min(statement.find('\n', i), statement.size()) - 1;  // dropped, to the line's end
        } else if (c == '/' && i + 1 < statement.size() && statement[i + 1] == '*') {
            const std::size_t end = statement.find("*/", i + 2);
            i = end == std::string::npos ? statement.size() : end + 1;
            run += ' ';
        } else if (c == '?') {
            text(run);
            run.clear();
            marker();
        } else {
            run += c == '\r' || c == '\n' ? ' ' : c;
        }
    }
    text(run);
}

std::size_t markersIn(const std::string& statement) {
    std::size_t count = 0;
    walkMarkers(
        statement, [](const std::string&) {}, [&] { ++count; });
    return count;
}

std::string lineValue(std::size_t line, std::size_t value) {
    return "L" + std::to_string(line) + "_V" + std::to_string(value);
}

// The statements with their markers named by `name(value)`, each ended by a
// semicolon and a blank.
template <typename Name>
std::string statementsWith(const BatchLines& batch, Name&& name) {
    std::string out;
    std::size_t marker = 0;
    for (const std::string& statement : batch.statements) {
        walkMarkers(
            statement, [&](const std::string& run) { out += run; },
            [&] { out += ":" + name(batch.markerValues[marker++]); });
        out += "; ";
    }
    return out;
}

std::string typed(const BatchLines& batch, const std::string& name, std::size_t value) {
    return name + " TYPE OF COLUMN " + batch.table + "." + batch.valueColumns[value];
}

}  // namespace

std::size_t maxBlockLines(std::size_t valuesPerLine) {
    return valuesPerLine == 0 ? 0 : (kMaxBlockParameters - 1) / valuesPerLine;
}

void checkBatchLines(const BatchLines& batch, std::size_t lines) {
    if (!isPlainIdentifier(batch.table)) refuse("the table '" + batch.table + "' is not a plain name");
    if (batch.statements.empty()) refuse("no statements");
    if (batch.valueColumns.empty()) refuse("no values");
    for (const std::string& column : batch.valueColumns)
        if (!isPlainIdentifier(column)) refuse("the column '" + column + "' is not a plain name");
    std::size_t markers = 0;
    for (const std::string& statement : batch.statements) markers += markersIn(statement);
    if (markers != batch.markerValues.size())
        refuse("the statements hold " + std::to_string(markers) + " markers, not " +
               std::to_string(batch.markerValues.size()));
    std::vector<bool> taken(batch.valueColumns.size(), false);
    for (const std::uint16_t value : batch.markerValues) {
        if (value >= taken.size()) refuse("a marker takes value " + std::to_string(value) + ", out of range");
        taken[value] = true;
    }
    if (std::find(taken.begin(), taken.end(), false) != taken.end()) refuse("a value no marker takes");
    const std::size_t most = maxBlockLines(batch.valueColumns.size());
    if (lines == 0 || lines > most)
        refuse(std::to_string(lines) + " lines are out of range (1 to " + std::to_string(most) + ")");
}

std::string batchBlockText(const BatchLines& batch, std::size_t lines) {
    checkBatchLines(batch, lines);
    const std::size_t values = batch.valueColumns.size();
    std::string t = "EXECUTE BLOCK (";
    t.append(kCount).append(" INTEGER = ?");
    for (std::size_t line = 0; line < lines; ++line) {
        t += ",\n";
        for (std::size_t v = 0; v < values; ++v) {
            if (v > 0) t += ", ";
            t += typed(batch, lineValue(line, v), v) + " = ?";
        }
    }
    t += ")\n";
    t += kOutputs;
    t += "AS\n";
    // A line's statements run as one statement, the call of the
    // sub-procedure: a failure undoes all of the line (a handler undoes only
    // the failing statement of its block, so a line's DELETE written out
    // before its refused INSERT would stay). The sub-procedure numbers its
    // table contexts anew, so a block holds any number of lines.
    t.append("DECLARE PROCEDURE ").append(kProcedure).append(" (");
    for (std::size_t v = 0; v < values; ++v)
        t += (v > 0 ? ", " : "") + typed(batch, "V" + std::to_string(v), v);
    t += ")\nAS\nBEGIN\n";
    t += statementsWith(batch, [](std::size_t v) { return "V" + std::to_string(v); });
    t += "\nEND\n";
    t += "BEGIN\nLINES_DONE = 0;\n";
    for (std::size_t line = 0; line < lines; ++line) {
        t.append("IF (").append(kCount).append(" > ").append(std::to_string(line)).append(") THEN BEGIN ");
        t.append("EXECUTE PROCEDURE ").append(kProcedure).append("(");
        for (std::size_t v = 0; v < values; ++v) t += (v > 0 ? ", :" : ":") + lineValue(line, v);
        t += "); LINES_DONE = " + std::to_string(line + 1) + ";";
        t += kHandler;
    }
    t += "SUSPEND;\nEND";
    return t;
}

}  // namespace tarvel::fb
