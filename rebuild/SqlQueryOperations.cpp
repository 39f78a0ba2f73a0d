#include "SqlQueryOperations.h"

#include "RunClaim.h"

namespace tarvel {

void SqlQueryOperations::close() { m_query.close(); }

void SqlQueryOperations::clearLines() { m_query.clearLines(); }

void SqlQueryOperations::addLine(const std::string& line) { m_query.addLine(line); }

void SqlQueryOperations::open() { m_query.open(); }

bool SqlQueryOperations::eof() { return m_query.eof(); }

void SqlQueryOperations::next() { m_query.next(); }

std::string SqlQueryOperations::fieldText(int index) { return m_query.fieldText(m_query.field(index)); }

std::string SqlQueryOperations::fieldText(const std::string& name) {
    return m_query.fieldText(m_query.fieldByName(name));
}

void SqlQueryOperations::setParamText(const std::string& name, const std::string& value) {
    m_query.paramByName(name).setValue(value);
}

void SqlQueryOperations::setParamDouble(const std::string& name, double value) {
    m_query.paramByName(name).setValue(value);
}

void SqlQueryOperations::runStatement() { m_query.executeStatement(); }

void SqlQueryOperations::setStatementReuse(bool on) noexcept { m_query.setStatementReuse(on); }

void ConnectionTransactions::begin() { m_connection.beginTransaction(); }

void ConnectionTransactions::commit() { m_connection.commit(); }

void ConnectionTransactions::rollback() { m_connection.rollback(); }

bool ConnectionTransactions::active() { return m_connection.inTransaction(); }

void ConnectionTransactions::claim(const std::string& table) { claimForRun(m_connection, table); }

void ConnectionTransactions::releaseClaim() noexcept {
    releaseRunClaim(m_connection);
    // The run is over: its savepoint statements go with it, so that none
    // outlives the connection whatever order their owners end in.
    m_markLine.reset();
    m_undoLine.reset();
}

void ConnectionTransactions::markLine() { runOwn(m_markLine, "SAVEPOINT TARVEL_LINE"); }

bool ConnectionTransactions::undoLine() {
    runOwn(m_undoLine, "ROLLBACK TO SAVEPOINT TARVEL_LINE");
    return true;
}

void ConnectionTransactions::runOwn(std::unique_ptr<SqlQuery>& query, const char* sql) {
    if (!query) {
        query = std::make_unique<SqlQuery>("LineMark", m_connection);
        query->addLine(sql);
    }
    query->executeStatement();
}

}  // namespace tarvel
