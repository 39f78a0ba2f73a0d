// The rebuild's query and transaction operations carried out by the database
// layer: a ResetQuery over one SqlQuery, and ResetTransactions over the
// connection both queries share.
#pragma once

#include <memory>
#include <string>

#include "ResetQuery.h"
#include "SqlConnection.h"
#include "SqlQuery.h"

namespace tarvel {

class SqlQueryOperations : public ResetQuery {
public:
    explicit SqlQueryOperations(SqlQuery& query) : m_query(query) {}

    void close() override;
    void clearLines() override;
    void addLine(const std::string& line) override;
    void open() override;
    bool eof() override;
    void next() override;
    std::string fieldText(int index) override;
    std::string fieldText(const std::string& name) override;
    void setParamText(const std::string& name, const std::string& value) override;
    void setParamDouble(const std::string& name, double value) override;
    void runStatement() override;
    void setStatementReuse(bool on) noexcept override;

private:
    SqlQuery& m_query;
};

class ConnectionTransactions : public ResetTransactions {
public:
    explicit ConnectionTransactions(SqlConnection& connection) : m_connection(connection) {}

    void begin() override;
    void commit() override;
    void rollback() override;
    bool active() override;
    void claim(const std::string& table) override;
    void releaseClaim() noexcept override;
    // A savepoint of the open transaction, one name used again for each line
    // (making it anew lets the one before go, so they never pile up).
    void markLine() override;
    bool undoLine() override;

private:
    // Runs `sql` through `query`, made and prepared at its first use.
    void runOwn(std::unique_ptr<SqlQuery>& query, const char* sql);

    SqlConnection& m_connection;
    std::unique_ptr<SqlQuery> m_markLine;
    std::unique_ptr<SqlQuery> m_undoLine;
};

}  // namespace tarvel
