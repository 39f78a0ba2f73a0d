#include "SqlBlockOperations.h"

#include "Error.h"

namespace tarvel {

std::size_t SqlBlockOperations::linesPerCall() {
    m_connection.open();
    return m_connection.linesPerCall();
}

void SqlBlockOperations::define(const std::string& table, const std::vector<std::string>& statements,
                                std::size_t lines) {
    m_batch = std::make_unique<StatementBatch>(m_connection, table, statements, lines);
}

StatementBatch& SqlBlockOperations::batch() {
    if (!m_batch) throw Error("No block of statements is defined");
    return *m_batch;
}

std::size_t SqlBlockOperations::parameterIndex(const std::string& name) { return batch().valueIndex(name); }

void SqlBlockOperations::setParamText(std::size_t line, std::size_t parameter, const std::string& value) {
    batch().setValue(line, parameter, value);
}

void SqlBlockOperations::setParamDouble(std::size_t line, std::size_t parameter, double value) {
    batch().setValue(line, parameter, value);
}

std::size_t SqlBlockOperations::run(std::size_t count) { return batch().run(count); }

void SqlBlockOperations::release() noexcept { m_batch.reset(); }

}  // namespace tarvel
