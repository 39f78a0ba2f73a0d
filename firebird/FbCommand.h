// One statement of a connection: prepare, bind, execute, rows affected, close.
#pragma once

#include <memory>

#include "DriverObject.h"
#include "PreparedStatement.h"
#include "SqlDriver.h"

namespace tarvel::fb {

class FbCommand final : public DriverObject<sqldriver::ISQLCommand> {
public:
    explicit FbCommand(std::shared_ptr<ConnectionCore> connection);

    sqldriver::Status setOption(std::int32_t option, std::int32_t value) override;
    sqldriver::Status prepare(const char* sql, std::uint16_t paramCount) override;
    sqldriver::Status setParameter(std::uint16_t position, std::uint16_t childPosition,
                                   std::uint16_t direction, std::uint16_t kind, std::uint16_t subkind,
                                   std::int32_t precision, std::int32_t scale, std::uint32_t length,
                                   const void* value, bool isNull) override;
    sqldriver::Status execute(sqldriver::ISQLCursor** cursor) override;
    sqldriver::Status getRowsAffected(std::int32_t* rows) override;
    sqldriver::Status close() override;

private:
    ~FbCommand() override = default;

    std::shared_ptr<ConnectionCore> m_connection;
    std::shared_ptr<PreparedStatement> m_statement;
    std::int32_t m_rowsAffected = 0;
    bool m_countPending = false;  // executed; the count not asked of the server yet
};

}  // namespace tarvel::fb
