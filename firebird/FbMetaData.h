// What a Firebird connection supports, the schema name it was given, and
// what the server says about the user, the database and one table at a time.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

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

    // The attachment's facts, in the order of the query that reads them:
    // engine version, user, role, read-only flag, database file, database owner.
    const std::vector<std::string>& serverFacts();
    // The owner of m_tableName, nothing when no such table exists.
    std::optional<std::string> tableOwner();
    std::string tablePrivileges();

    std::shared_ptr<ConnectionCore> m_connection;
    std::string m_schemaName;
    std::string m_tableName;
    // Read once: none of them changes while the attachment lasts.
    std::vector<std::string> m_facts;
};

}  // namespace tarvel::fb
