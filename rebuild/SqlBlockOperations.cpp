#include "SqlBlockOperations.h"

#include "Error.h"

namespace tarvel {

std::size_t SqlBlockOperations::linesPerCall() {
    m_connection.open();
    return m_connection.linesPerCall();
}

void SqlBlockOperations::define(const std::string& table, const std::vector<std::string>& statements,
                                std::size_t lines, const BlockFrame& frame) {
    m_block = std::make_unique<StatementBlock>(m_connection, table, statements, lines, frame);
}

std::unique_ptr<ResetBlock> SqlBlockOperations::sibling() {
    return std::make_unique<SqlBlockOperations>(m_connection);
}

StatementBlock& SqlBlockOperations::block() {
    if (!m_block) throw Error("No block of statements is defined");
    return *m_block;
}

std::size_t SqlBlockOperations::parameterIndex(const std::string& name) {
    return block().parameterIndex(name);
}

void SqlBlockOperations::setParamText(std::size_t line, std::size_t parameter, const std::string& value) {
    block().setValue(line, parameter, value);
}

void SqlBlockOperations::setParamDouble(std::size_t line, std::size_t parameter, double value) {
    block().setValue(line, parameter, value);
}

void SqlBlockOperations::setBlockInput(const std::string& text) { block().setBlockInput(text); }

void SqlBlockOperations::run(std::size_t count) { block().run(count); }

std::optional<std::string> SqlBlockOperations::rowOutput(std::size_t line) {
    const auto& values = block().rowOutputs();
    return line < values.size() ? values[line] : std::nullopt;
}

std::optional<std::size_t> SqlBlockOperations::failedLine() {
    return m_block ? m_block->failedRow() : std::nullopt;
}

void SqlBlockOperations::release() noexcept { m_block.reset(); }

}  // namespace tarvel
