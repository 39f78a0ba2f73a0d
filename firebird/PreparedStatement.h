// One prepared statement on a connection: its handle, its parameter and
// column areas, the column descriptions and what kind of statement it is.
// Shared by the command that made it and the cursors over its results.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ColumnDescription.h"
#include "ConnectionCore.h"
#include "SqlDescriptor.h"

namespace tarvel::fb {

class PreparedStatement {
public:
    explicit PreparedStatement(std::shared_ptr<ConnectionCore> connection);

    // Prepares `sql`, describes both areas and the columns (declared NUMERIC
    // precisions looked up once here); ends any open result first.
    void prepare(const char* sql);
    bool isPrepared() const { return m_prepared; }
    bool returnsRows() const { return m_returnsRows; }

    ConnectionCore& connection() { return *m_connection; }
    Statement& handle() { return m_handle; }
    SqlDescriptor& parameters() { return m_parameters; }
    SqlDescriptor& columns() { return m_columns; }
    const std::vector<ColumnDescription>& columnDescriptions() const { return m_descriptions; }

    // Records that a parameter (from 0) has a value now.
    void markBound(int index) { m_bound.at(index) = true; }
    // Throws ParameterNotSet naming the first parameter without a value.
    void requireAllBound() const;

    // Closes the open result, if any; its cursor object reads nothing more.
    void endResult();
    // Starts a new result and returns its number; a cursor is current while
    // its number is the current one.
    unsigned beginResult();
    bool isCurrentResult(unsigned result) const { return m_resultOpen && result == m_result; }

    // Rows inserted, updated and deleted by the last execution.
    std::int32_t readRowsAffected();

private:
    void describeArea(SqlDescriptor& area, bool input);

    std::shared_ptr<ConnectionCore> m_connection;
    Statement m_handle;
    SqlDescriptor m_parameters;
    SqlDescriptor m_columns;
    std::vector<ColumnDescription> m_descriptions;
    std::vector<bool> m_bound;
    bool m_prepared = false;
    bool m_returnsRows = false;
    unsigned m_result = 0;
    bool m_resultOpen = false;
};

}  // namespace tarvel::fb
