// A batch of a connection: one EXECUTE BLOCK (BatchBlockText.h) prepared for
// up to maxLines lines, whose parameters hold the lines' values.
#pragma once

#include <memory>

#include "BatchBlockText.h"
#include "DriverObject.h"
#include "PreparedStatement.h"
#include "SqlDriver.h"

namespace tarvel::fb {

class FbBatch final : public DriverObject<sqldriver::ISQLBatch> {
public:
    explicit FbBatch(std::shared_ptr<ConnectionCore> connection);

    sqldriver::Status prepare(const sqldriver::BatchShape* shape) override;
    sqldriver::Status setValue(std::uint32_t line, std::uint16_t value, std::uint16_t kind,
                               std::uint16_t subkind, std::uint32_t length, const void* data,
                               bool isNull) override;
    sqldriver::Status execute(std::uint32_t lines, std::uint32_t* written,
                              sqldriver::ErrorCodes* refused) override;

private:
    ~FbBatch() override = default;

    std::shared_ptr<ConnectionCore> m_connection;
    std::shared_ptr<PreparedStatement> m_statement;
    std::size_t m_values = 0;    // values a line
    std::size_t m_maxLines = 0;  // lines the block holds
};

}  // namespace tarvel::fb
