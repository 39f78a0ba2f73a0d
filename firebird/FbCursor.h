// The rows of one executed SELECT: owns the read-only transaction they are
// read in, so the scan goes on while other statements commit.
#pragma once

#include <memory>

#include "DriverObject.h"
#include "Handles.h"
#include "PreparedStatement.h"
#include "SqlDriver.h"

namespace tarvel::fb {

class FbCursor final : public DriverObject<sqldriver::ISQLCursor> {
public:
    FbCursor(std::shared_ptr<PreparedStatement> statement, Transaction transaction, unsigned result);

    sqldriver::Status getColumnCount(std::uint16_t* count) override;
    sqldriver::Status getColumnName(std::uint16_t column, char* buffer) override;
    sqldriver::Status getColumnType(std::uint16_t column, std::uint16_t* kind,
                                    std::uint16_t* subkind) override;
    sqldriver::Status getColumnLength(std::uint16_t column, std::uint32_t* length) override;
    sqldriver::Status getColumnPrecision(std::uint16_t column, std::int16_t* precision) override;
    sqldriver::Status getColumnScale(std::uint16_t column, std::int16_t* scale) override;
    sqldriver::Status isNullable(std::uint16_t column, bool* nullable) override;
    sqldriver::Status isReadOnly(std::uint16_t column, bool* readOnly) override;
    sqldriver::Status next() override;
    sqldriver::Status getValue(std::uint16_t column, void* buffer, std::uint32_t size, bool* isNull) override;

private:
    ~FbCursor() override;
    // The description of `column` (from 1); throws OutOfRange.
    const ColumnDescription& description(std::uint16_t column) const;
    std::string readBlob(const ISC_QUAD& id);

    std::shared_ptr<PreparedStatement> m_statement;
    Transaction m_transaction;
    unsigned m_result;
    bool m_onRow = false;
    bool m_atEnd = false;
};

}  // namespace tarvel::fb
