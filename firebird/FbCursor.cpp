#include "FbCursor.h"

#include <cstring>

#include "ClientCall.h"
#include "ColumnValue.h"

namespace tarvel::fb {

using namespace sqldriver::status;

namespace {

template <typename Value>
void place(Value* target, const Value& value) {
    if (!target) throw DriverFailure(InvalidParameter, "no place for the result");
    *target = value;
}

}  // namespace

FbCursor::FbCursor(std::shared_ptr<PreparedStatement> statement, Transaction transaction, unsigned result)
    : m_statement(std::move(statement)), m_transaction(std::move(transaction)), m_result(result) {
    m_statement->connection().noteSilenceIn(errors());
}

FbCursor::~FbCursor() {
    if (m_statement->isCurrentResult(m_result)) m_statement->endResult();
    // The transaction only read; ending it either way loses nothing.
    try {
        if (m_transaction.isActive()) m_transaction.commit();
    } catch (...) {
    }
}

const ColumnDescription& FbCursor::description(std::uint16_t column) const {
    const auto& columns = m_statement->columnDescriptions();
    if (column < 1 || column > columns.size())
        throw DriverFailure(OutOfRange, "column " + std::to_string(column) + " out of range");
    return columns[column - 1];
}

sqldriver::Status FbCursor::getColumnCount(std::uint16_t* count) {
    return run([&] { place(count, static_cast<std::uint16_t>(m_statement->columnDescriptions().size())); });
}

sqldriver::Status FbCursor::getColumnName(std::uint16_t column, char* buffer) {
    return run([&] {
        const std::string& name = description(column).name;
        if (!buffer) throw DriverFailure(InvalidParameter, "no place for the column name");
        const std::size_t count =
            name.size() < sqldriver::kMaxColumnNameBytes ? name.size() : sqldriver::kMaxColumnNameBytes;
        std::memcpy(buffer, name.data(), count);
        buffer[count] = '\0';
    });
}

sqldriver::Status FbCursor::getColumnType(std::uint16_t column, std::uint16_t* kind, std::uint16_t* subkind) {
    return run([&] {
        const ColumnDescription& described = description(column);
        place(kind, described.kind);
        place(subkind, described.subkind);
    });
}

sqldriver::Status FbCursor::getColumnLength(std::uint16_t column, std::uint32_t* length) {
    return run([&] { place(length, description(column).length); });
}

sqldriver::Status FbCursor::getColumnPrecision(std::uint16_t column, std::int16_t* precision) {
    return run([&] { place(precision, description(column).precision); });
}

sqldriver::Status FbCursor::getColumnScale(std::uint16_t column, std::int16_t* scale) {
    return run([&] { place(scale, description(column).scale); });
}

sqldriver::Status FbCursor::isNullable(std::uint16_t column, bool* nullable) {
    return run([&] { place(nullable, description(column).nullable); });
}

sqldriver::Status FbCursor::isReadOnly(std::uint16_t column, bool* readOnly) {
    return run([&] { place(readOnly, description(column).readOnly); });
}

sqldriver::Status FbCursor::next() {
    if (m_atEnd) return NoMoreData;
    if (!m_statement->isCurrentResult(m_result))
        return errors().record(InvalidHandle, "the result of this cursor has been closed");
    const ClientLibrary& client = m_statement->connection().client();
    StatusVector status;
    const ISC_STATUS fetched = client.fetch(status.get(), m_statement->handle().handle(), SQLDA_VERSION1,
                                            m_statement->columns().area());
    if (fetched == 100) {
        m_onRow = false;
        m_atEnd = true;
        return NoMoreData;
    }
    return run([&] {
        m_onRow = false;
        status.check(client, SqlError);
        m_onRow = true;
    });
}

sqldriver::Status FbCursor::getValue(std::uint16_t column, void* buffer, std::uint32_t size, bool* isNull) {
    return run([&] {
        const ColumnDescription& described = description(column);
        if (!m_onRow || !m_statement->isCurrentResult(m_result)) throw DriverFailure(Eof, "no current row");
        if (!isNull) throw DriverFailure(InvalidParameter, "no place for the null flag");
        SqlDescriptor& columns = m_statement->columns();
        *isNull = columns.isNull(column - 1);
        if (*isNull) return;
        if (!buffer) throw DriverFailure(InvalidParameter, "no buffer for the value");
        copyColumnValue(
            columns, column - 1, described, m_statement->connection().options().trimChar,
            [this](const ISC_QUAD& id) { return readBlob(id); }, buffer, size);
    });
}

std::string FbCursor::readBlob(const ISC_QUAD& id) {
    ConnectionCore& connection = m_statement->connection();
    const int limitKb = connection.options().blobSizeKb;
    const std::size_t limit = limitKb < 0 ? std::string::npos : static_cast<std::size_t>(limitKb) * 1024;
    Blob blob(connection.clientRef(), connection.database(), m_transaction.handle(), id);
    return blob.read(limit);
}

}  // namespace tarvel::fb
