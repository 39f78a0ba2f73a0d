#include "ResetDoubles.h"

#include <algorithm>
#include <cstdio>

#include "Error.h"

namespace tarvel::testing {

int ShellDouble::confirm(const std::string& question) {
    questions.push_back(question);
    return answer;
}

void ShellDouble::setProgressMax(int value) {
    maximum = value;
    // A negative maximum leaves the bar empty rather than handing std::clamp
    // a range whose ends are swapped.
    position = std::clamp(position, 0, std::max(maximum, 0));
    barLog.push_back("max " + std::to_string(value));
}

void ShellDouble::setProgressPosition(int value) {
    position = std::clamp(value, 0, std::max(maximum, 0));
    barLog.push_back("pos " + std::to_string(position));
    if (onPosition) onPosition(position);
}

namespace {

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The column names between SELECT and FROM.
std::vector<std::string> selectList(const std::string& statement) {
    const auto from = statement.find(" FROM ");
    std::string list = statement.substr(7, from - 7);
    std::vector<std::string> columns;
    std::size_t start = 0;
    while (start <= list.size()) {
        const auto comma = list.find(',', start);
        columns.push_back(list.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return columns;
}

}  // namespace

void QueryDouble::close() {
    m_db.log.push_back(m_name + ".close");
    m_active = false;
    m_rows.clear();
    m_row = 0;
}

void QueryDouble::clearLines() {
    m_db.log.push_back(m_name + ".clear");
    lines.clear();
    m_params.clear();
}

void QueryDouble::addLine(const std::string& line) {
    m_db.log.push_back(m_name + ".add " + line);
    lines.push_back(line);
}

void QueryDouble::open() {
    m_db.log.push_back(m_name + ".open");
    if (m_db.failOnRun == -2) throw Error(m_db.failText);
    const std::string& first = lines.at(0);
    m_rows.clear();
    m_row = 0;
    if (startsWith(first, "SELECT COUNT(*)")) {
        m_columns = {"COUNT"};
        m_rows.push_back({{"COUNT", m_db.countText.value_or(std::to_string(m_db.lines.size()))}});
    } else {
        m_columns = selectList(first);
        m_rows = m_db.lines;
        const std::string party = m_db.partyColumn;
        std::stable_sort(m_rows.begin(), m_rows.end(), [&](const Row& a, const Row& b) {
            return std::tie(a.at(party), a.at("PROD_ID"), a.at("BILL_DATE")) <
                   std::tie(b.at(party), b.at("PROD_ID"), b.at("BILL_DATE"));
        });
    }
    m_active = true;
}

void QueryDouble::next() {
    m_db.log.push_back(m_name + ".next");
    if (m_row < m_rows.size()) ++m_row;
}

std::string QueryDouble::fieldText(int index) {
    return fieldText(m_columns.at(static_cast<std::size_t>(index)));
}

std::string QueryDouble::fieldText(const std::string& name) {
    if (std::find(m_columns.begin(), m_columns.end(), name) == m_columns.end())
        throw Error(m_name + ": Field '" + name + "' not found");
    if (eof()) return {};
    const Row& row = m_rows[m_row];
    if (m_db.unreadable && m_db.unreadable->second == name && row.count("TEMPPRODID") &&
        row.at("TEMPPRODID") == m_db.unreadable->first)
        throw Error("cannot read " + name);
    const auto it = row.find(name);
    return it == row.end() || !it->second ? std::string() : *it->second;
}

void QueryDouble::setParamText(const std::string& name, const std::string& value) {
    m_db.log.push_back(m_name + ".param " + name + "=text:" + value);
    m_params[name] = "text:" + value;
}

void QueryDouble::setParamDouble(const std::string& name, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    m_db.log.push_back(m_name + ".param " + name + "=double:" + buffer);
    m_params[name] = std::string("double:") + buffer;
}

void QueryDouble::runStatement() {
    m_db.log.push_back(m_name + ".run");
    m_db.execute(startsWith(lines.at(0), "DELETE"), m_params);
}

void Database::execute(bool isDelete, const std::map<std::string, std::string>& params) {
    if (lost) throw Error("connection lost");
    if (runs == loseConnectionOnRun) {
        lost = true;
        if (snapshot) history = *snapshot;
        snapshot.reset();
        ++runs;
        throw Error(failText);
    }
    if (runs++ == failOnRun) throw Error(failText);
    if (refusedPair && isDelete != refuseInsert && params.at("TEMPPRODID") == "text:" + *refusedPair)
        throw Error(failText);
    if (isDelete) {
        const std::string& key = params.at("TEMPPRODID");
        const std::string& who = params.at(partyColumn);
        std::erase_if(history, [&](const Row& row) {
            return "text:" + row.at("TEMPPRODID").value_or("") == key &&
                   "text:" + row.at(partyColumn).value_or("") == who;
        });
        return;
    }
    Row row;
    for (const auto& [name, value] : params) row[name] = value.substr(value.find(':') + 1);
    history.push_back(row);
}

void BlockDouble::define(const std::string&, const std::vector<std::string>& statements, std::size_t lines) {
    m_db.log.push_back("block.define " + std::to_string(lines));
    m_names.clear();
    for (const std::string& statement : statements) {
        for (std::size_t at = statement.find(':'); at != std::string::npos;
             at = statement.find(':', at + 1)) {
            const std::size_t end = statement.find_first_of(" ,)", at);
            const std::string name = statement.substr(at + 1, end - at - 1);
            if (std::find(m_names.begin(), m_names.end(), name) == m_names.end()) m_names.push_back(name);
        }
    }
    m_values.assign(lines, {});
}

std::size_t BlockDouble::parameterIndex(const std::string& name) {
    const auto it = std::find(m_names.begin(), m_names.end(), name);
    if (it == m_names.end()) throw Error("Parameter '" + name + "' not found");
    return static_cast<std::size_t>(it - m_names.begin());
}

void BlockDouble::setParamText(std::size_t line, std::size_t parameter, const std::string& value) {
    m_values.at(line)[m_names.at(parameter)] = "text:" + value;
}

void BlockDouble::setParamDouble(std::size_t line, std::size_t parameter, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    m_values.at(line)[m_names.at(parameter)] = std::string("double:") + buffer;
}

std::size_t BlockDouble::run(std::size_t count) {
    m_db.log.push_back("block.run " + std::to_string(count));
    if (m_db.lost) throw Error("connection lost");
    for (std::size_t i = 0; i < count; ++i) {
        // Each line under a savepoint of its own: a refused line is undone
        // alone and stops the block, the lines before it kept.
        const std::vector<Row> line = m_db.history;
        for (bool isDelete : {true, false}) {
            try {
                m_db.execute(isDelete, m_values.at(i));
            } catch (...) {
                if (m_db.lost) throw;
                m_db.history = line;
                return i;
            }
        }
    }
    return count;
}

void QueryDouble::setStatementReuse(bool on) noexcept { reuseLog.push_back(on); }

void TransactionsDouble::begin() {
    m_db.log.push_back("begin");
    if (m_db.lost) throw Error("connection lost");
    m_db.snapshot = m_db.history;
}

void TransactionsDouble::commit() {
    m_db.log.push_back("commit");
    if (m_db.lost) throw Error("connection lost");
    if (m_db.commits == m_db.loseAnswerOfCommit) {
        ++m_db.commits;
        m_db.lost = true;
        m_db.snapshot.reset();
        throw Error(m_db.failText);
    }
    if (m_db.commits++ == m_db.failOnCommit) throw Error(m_db.failText);
    if (m_db.refuseCommit && m_db.refuseCommit(m_db.history)) throw Error(m_db.failText);
    m_db.snapshot.reset();
}

void TransactionsDouble::markLine() {
    if (m_db.savepoints) m_db.lineMark = m_db.history;
}

bool TransactionsDouble::undoLine() {
    if (!m_db.savepoints || !m_db.lineMark) return false;
    m_db.log.push_back("undo line");
    m_db.history = *m_db.lineMark;
    return true;
}

void TransactionsDouble::rollback() {
    m_db.log.push_back("rollback");
    if (m_db.lost) throw Error("connection lost");
    if (m_db.snapshot) m_db.history = *m_db.snapshot;
    m_db.snapshot.reset();
}

}  // namespace tarvel::testing
