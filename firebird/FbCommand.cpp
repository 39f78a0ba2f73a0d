#include "FbCommand.h"

#include "ClientCall.h"
#include "FbCursor.h"
#include "ParameterValue.h"

namespace tarvel::fb {

using namespace sqldriver::status;

FbCommand::FbCommand(std::shared_ptr<ConnectionCore> connection)
    : m_connection(connection), m_statement(std::make_shared<PreparedStatement>(std::move(connection))) {
    m_connection->noteSilenceIn(errors());
}

sqldriver::Status FbCommand::setOption(std::int32_t option, std::int32_t value) {
    // The row-set size is the client library's business; every option is accepted.
    static_cast<void>(option);
    static_cast<void>(value);
    return Ok;
}

sqldriver::Status FbCommand::prepare(const char* sql, std::uint16_t) {
    m_rowsAffected = 0;
    m_countPending = false;
    return run([&] { m_statement->prepare(sql); });
}

sqldriver::Status FbCommand::setParameter(std::uint16_t position, std::uint16_t, std::uint16_t,
                                          std::uint16_t kind, std::uint16_t subkind, std::int32_t,
                                          std::int32_t, std::uint32_t length, const void* value,
                                          bool isNull) {
    const sqldriver::Status status = run([&] {
        if (!m_statement->isPrepared()) throw DriverFailure(InvalidHandle, "the statement is not prepared");
        SqlDescriptor& parameters = m_statement->parameters();
        if (position < 1 || position > parameters.count())
            throw DriverFailure(OutOfRange, "parameter " + std::to_string(position) +
                                                " out of range (the statement has " +
                                                std::to_string(parameters.count()) + ")");
        bindParameter(parameters, position - 1, BoundValue{kind, subkind, length, value, isNull});
        m_statement->markBound(position - 1);
    });
    // A failed binding is reported by the connection as well, which is the
    // object callers ask about binding failures.
    if (status != Ok) m_connection->errors().record(status, errors().message().c_str());
    return status;
}

sqldriver::Status FbCommand::execute(sqldriver::ISQLCursor** cursor) {
    return run([&] {
        if (!cursor) throw DriverFailure(InvalidParameter, "no place for the cursor");
        *cursor = nullptr;
        if (!m_statement->isPrepared()) throw DriverFailure(InvalidHandle, "the statement is not prepared");
        m_statement->requireAllBound();
        m_statement->endResult();
        m_rowsAffected = 0;
        m_countPending = false;
        ConnectionCore& connection = *m_connection;
        const ClientLibrary& client = connection.client();
        XSQLDA* parameters =
            m_statement->parameters().count() > 0 ? m_statement->parameters().area() : nullptr;
        if (m_statement->returnsRows()) {
            Transaction transaction = connection.startCursorTransaction();
            callChecked(client, SqlError, client.execute, transaction.handle(),
                        m_statement->handle().handle(), SQLDA_VERSION1, parameters);
            const unsigned result = m_statement->beginResult();
            *cursor = new FbCursor(m_statement, std::move(transaction), result);
            return;
        }
        connection.runWriting([&](isc_tr_handle* transaction) {
            callChecked(client, SqlError, client.execute, transaction, m_statement->handle().handle(),
                        SQLDA_VERSION1, parameters);
        });
        // The count is asked of the server only when someone wants it: over
        // the network it is a round trip of its own, as long as the execution.
        m_countPending = true;
    });
}

sqldriver::Status FbCommand::getRowsAffected(std::int32_t* rows) {
    if (!rows) return errors().record(InvalidParameter, "no place for the row count");
    if (m_countPending) {
        // The statement keeps the counts of its last execution until it runs
        // again or is freed, after its transaction has ended as well.
        const sqldriver::Status status = run([&] { m_rowsAffected = m_statement->readRowsAffected(); });
        if (status != Ok) return status;
        m_countPending = false;
    }
    *rows = m_rowsAffected;
    return Ok;
}

sqldriver::Status FbCommand::close() {
    m_statement->endResult();
    return Ok;
}

}  // namespace tarvel::fb
