// The rebuild's block of many lines carried out by the database layer: a
// ResetBlock over a StatementBatch of the connection.
#pragma once

#include <memory>

#include "ResetBlock.h"
#include "SqlConnection.h"
#include "StatementBatch.h"

namespace tarvel {

class SqlBlockOperations : public ResetBlock {
public:
    explicit SqlBlockOperations(SqlConnection& connection) : m_connection(connection) {}

    std::size_t linesPerCall() override;
    void define(const std::string& table, const std::vector<std::string>& statements,
                std::size_t lines) override;
    std::size_t parameterIndex(const std::string& name) override;
    void setParamText(std::size_t line, std::size_t parameter, const std::string& value) override;
    void setParamDouble(std::size_t line, std::size_t parameter, double value) override;
    std::size_t run(std::size_t count) override;
    void release() noexcept override;

private:
    StatementBatch& batch();

    SqlConnection& m_connection;
    std::unique_ptr<StatementBatch> m_batch;
};

}  // namespace tarvel
