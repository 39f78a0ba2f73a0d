// One attachment to a Firebird database, with its options and transactions.
#pragma once

#include <memory>

#include "ConnectionCore.h"
#include "DriverObject.h"
#include "SqlDriver.h"

namespace tarvel::fb {

class FbConnection final : public DriverObject<sqldriver::ISQLConnection> {
public:
    explicit FbConnection(ClientRef client);

    sqldriver::Status setIntOption(std::int32_t option, std::int32_t value) override;
    sqldriver::Status setTextOption(std::int32_t option, const char* value) override;
    sqldriver::Status getOption(std::int32_t option, void* buffer, std::int32_t size,
                                std::int32_t* resultLength) override;
    sqldriver::Status connect(const char* database, const char* userName, const char* password) override;
    sqldriver::Status disconnect() override;
    sqldriver::Status getSQLCommand(sqldriver::ISQLCommand** command) override;
    sqldriver::Status getSQLBatch(sqldriver::ISQLBatch** batch) override;
    sqldriver::Status getSQLMetaData(sqldriver::ISQLMetaData** metaData) override;
    sqldriver::Status beginTransaction() override;
    sqldriver::Status commit() override;
    sqldriver::Status rollback() override;
    sqldriver::Status cancel(std::int32_t request) override;

private:
    ~FbConnection() override = default;
    // The core's slot: binding failures of its statements are recorded there too.
    ErrorSlot& errors() override { return m_core->errors(); }

    std::shared_ptr<ConnectionCore> m_core;
};

}  // namespace tarvel::fb
