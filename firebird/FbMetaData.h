// What a Firebird connection supports, and the schema name it was given.
#pragma once

#include <memory>
#include <string>

#include "ConnectionCore.h"
#include "DriverObject.h"
#include "SqlDriver.h"

namespace tarvel::fb {

class FbMetaData final : public DriverObject<sqldriver::ISQLMetaData> {
public:
    explicit FbMetaData(std::shared_ptr<ConnectionCore> connection) : m_connection(std::move(connection)) {}

    sqldriver::Status setOption(std::int32_t option, const char* value) override;
    sqldriver::Status getOption(std::int32_t option, void* buffer, std::int32_t size,
                                std::int32_t* resultLength) override;

private:
    ~FbMetaData() override = default;

    std::shared_ptr<ConnectionCore> m_connection;
    std::string m_schemaName;
};

}  // namespace tarvel::fb
