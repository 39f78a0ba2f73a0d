#include "FbBatch.h"

#include <cstring>

#include "ClientCall.h"
#include "ParameterValue.h"
#include "StatusCheck.h"

namespace tarvel::fb {

using namespace sqldriver::status;

namespace {

BatchLines linesOf(const sqldriver::BatchShape& shape) {
    BatchLines batch;
    if (!shape.table || (shape.statementCount > 0 && !shape.statements) ||
        (shape.valuesPerLine > 0 && !shape.valueColumns) || (shape.markerCount > 0 && !shape.markerValues))
        throw DriverFailure(InvalidParameter, "batch: an incomplete shape");
    batch.table = shape.table;
    for (std::uint16_t i = 0; i < shape.statementCount; ++i)
        batch.statements.emplace_back(shape.statements[i]);
    for (std::uint16_t i = 0; i < shape.valuesPerLine; ++i)
        batch.valueColumns.emplace_back(shape.valueColumns[i]);
    batch.markerValues.assign(shape.markerValues, shape.markerValues + shape.markerCount);
    return batch;
}

// The block's answer: an integer output, 0 for a null.
std::int32_t integerAt(SqlDescriptor& columns, int index) {
    if (columns.isNull(index)) return 0;
    const XSQLVAR& entry = columns.entry(index);
    if ((entry.sqltype & ~1) != SQL_LONG)
        throw DriverFailure(InvalidFieldType, "batch: an unexpected answer");
    std::int32_t value = 0;
    std::memcpy(&value, entry.sqldata, sizeof value);
    return value;
}

// The block's inputs: the count of lines, then line by line its values.
constexpr int kFirstValue = 1;

}  // namespace

FbBatch::FbBatch(std::shared_ptr<ConnectionCore> connection)
    : m_connection(connection), m_statement(std::make_shared<PreparedStatement>(std::move(connection))) {
    m_connection->noteSilenceIn(errors());
}

sqldriver::Status FbBatch::prepare(const sqldriver::BatchShape* shape) {
    return run([&] {
        if (!shape) throw DriverFailure(InvalidParameter, "batch: no shape");
        m_values = 0;
        m_maxLines = 0;
        const BatchLines batch = linesOf(*shape);
        const std::string text = batchBlockText(batch, shape->maxLines);
        m_statement->prepare(text.c_str());
        SqlDescriptor& parameters = m_statement->parameters();
        const std::size_t expected = kFirstValue + std::size_t{shape->maxLines} * batch.valueColumns.size();
        if (static_cast<std::size_t>(parameters.count()) != expected || m_statement->columns().count() != 4)
            throw DriverFailure(SqlError, "batch: the server described the block otherwise");
        // Lines past a call's count are never run, but every input needs a value.
        for (int i = kFirstValue; i < parameters.count(); ++i) {
            parameters.setNull(i);
            m_statement->markBound(i);
        }
        m_values = batch.valueColumns.size();
        m_maxLines = shape->maxLines;
    });
}

sqldriver::Status FbBatch::setValue(std::uint32_t line, std::uint16_t value, std::uint16_t kind,
                                    std::uint16_t subkind, std::uint32_t length, const void* data,
                                    bool isNull) {
    return run([&] {
        if (!m_statement->isPrepared() || m_maxLines == 0)
            throw DriverFailure(InvalidHandle, "the batch is not prepared");
        if (line >= m_maxLines || value >= m_values)
            throw DriverFailure(OutOfRange, "batch: value " + std::to_string(value) + " of line " +
                                                std::to_string(line) + " out of range");
        const int index = kFirstValue + static_cast<int>(line * m_values + value);
        bindParameter(m_statement->parameters(), index, BoundValue{kind, subkind, length, data, isNull});
    });
}

sqldriver::Status FbBatch::execute(std::uint32_t lines, std::uint32_t* written,
                                   sqldriver::ErrorCodes* refused) {
    return run([&] {
        if (!written || !refused) throw DriverFailure(InvalidParameter, "batch: no place for the answer");
        *written = 0;
        *refused = sqldriver::ErrorCodes{};
        if (!m_statement->isPrepared() || m_maxLines == 0)
            throw DriverFailure(InvalidHandle, "the batch is not prepared");
        if (lines == 0) return;
        if (lines > m_maxLines)
            throw DriverFailure(OutOfRange, "batch: " + std::to_string(lines) + " lines, the block holds " +
                                                std::to_string(m_maxLines));
        const std::int32_t count = static_cast<std::int32_t>(lines);
        bindParameter(m_statement->parameters(), 0,
                      BoundValue{sqldriver::kind::Int32, 0, sizeof count, &count, false});
        m_statement->markBound(0);
        ConnectionCore& connection = *m_connection;
        const ClientLibrary& client = connection.client();
        SqlDescriptor& answer = m_statement->columns();
        // The block's one row comes with the execution's answer.
        connection.runWriting([&](isc_tr_handle* transaction) {
            callChecked(client, SqlError, client.executeWithRow, transaction, m_statement->handle().handle(),
                        SQLDA_VERSION1, m_statement->parameters().area(), answer.area());
        });
        const std::int32_t done = integerAt(answer, 0);
        if (done < 0 || done > count) throw DriverFailure(SqlError, "batch: an answer out of range");
        *written = static_cast<std::uint32_t>(done);
        if (done == count) return;
        refused->gds[0] = integerAt(answer, 1);
        refused->sqlCode = integerAt(answer, 2);
        if (!answer.isNull(3)) std::memcpy(refused->sqlState, answer.entry(3).sqldata, 5);
        refused->failure = failureOf(refused->gds, 1);
    });
}

}  // namespace tarvel::fb
