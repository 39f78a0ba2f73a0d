// What the driver says about an open connection's user and database and
// about single tables, asked through the driver's metadata object.
#pragma once

#include <cstdint>
#include <string>

#include "DriverHandle.h"
#include "SqlConnection.h"

namespace tarvel {

class DatabaseFacts {
public:
    // Opens `connection` when it is closed. Throws Error.
    explicit DatabaseFacts(SqlConnection& connection);

    std::string serverVersion() { return text(sqldriver::metaopt::ServerVersion); }
    std::string userName() { return text(sqldriver::metaopt::UserName); }
    // Empty when no role is in use.
    std::string roleName() { return text(sqldriver::metaopt::RoleName); }
    bool readOnly() { return number(sqldriver::metaopt::ReadOnly) != 0; }
    std::string databaseFile() { return text(sqldriver::metaopt::DatabaseFile); }
    bool tableExists(const std::string& table);
    // The user's privileges on `table` as letters: S select, I insert,
    // U update, D delete, R references.
    std::string privilegesOn(const std::string& table);

    // The text option `option` of namespace sqldriver::metaopt. Throws Error.
    std::string text(std::int32_t option);
    std::int32_t number(std::int32_t option);

private:
    void setTable(const std::string& table);

    SqlConnection& m_connection;
    DriverHandle<sqldriver::ISQLMetaData> m_metaData;
};

// The version text of the client library the connection's driver loads
// (the driver option ClientVersion); the driver's settings are read as an
// opening reads them, and nothing is connected. Throws Error.
std::string clientLibraryVersion(SqlConnection& connection);

}  // namespace tarvel
