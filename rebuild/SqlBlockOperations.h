// The rebuild's block of many lines carried out by the database layer: a
// ResetBlock over a StatementBlock of the connection.
#pragma once

#include <memory>

#include "ResetBlock.h"
#include "SqlConnection.h"
#include "StatementBlock.h"

namespace tarvel {

class SqlBlockOperations : public ResetBlock {
public:
    explicit SqlBlockOperations(SqlConnection& connection) : m_connection(connection) {}

    std::size_t linesPerCall() override;
    void define(const std::string& table, const std::vector<std::string>& statements, std::size_t lines,
                const BlockFrame& frame) override;
    std::unique_ptr<ResetBlock> sibling() override;
    std::size_t parameterIndex(const std::string& name) override;
    void setParamText(std::size_t line, std::size_t parameter, const std::string& value) override;
    void setParamDouble(std::size_t line, std::size_t parameter, double value) override;
    void setBlockInput(const std::string& text) override;
    void run(std::size_t count) override;
    std::optional<std::string> rowOutput(std::size_t line) override;
    std::optional<std::size_t> failedLine() override;
    void release() noexcept override;

private:
    StatementBlock& block();

    SqlConnection& m_connection;
    std::unique_ptr<StatementBlock> m_block;
};

}  // namespace tarvel
