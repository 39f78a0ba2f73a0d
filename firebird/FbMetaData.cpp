#include "FbMetaData.h"

#include <cstring>

#include "ClientCall.h"
#include "DriverFailure.h"
#include "SqlDescriptor.h"
#include "SqlLiteral.h"

namespace tarvel::fb {

using namespace sqldriver::status;
namespace metaopt = sqldriver::metaopt;

namespace {

constexpr const char* kAllPrivileges = "SIUDR";

// The value of a fetched column as text: the queries below return only
// texts and small integers.
std::string columnText(const XSQLVAR& var, bool isNull) {
    if (isNull) return {};
    switch (var.sqltype & ~1) {
        case SQL_VARYING: {
            ISC_SHORT length = 0;
            std::memcpy(&length, var.sqldata, sizeof length);
            return std::string(var.sqldata + sizeof length, static_cast<std::size_t>(length));
        }
        case SQL_TEXT: {
            std::string text(var.sqldata, static_cast<std::size_t>(var.sqllen));
            return text.erase(text.find_last_not_of(' ') + 1);
        }
        case SQL_SHORT: {
            ISC_SHORT value = 0;
            std::memcpy(&value, var.sqldata, sizeof value);
            return std::to_string(value);
        }
        case SQL_LONG: {
            ISC_LONG value = 0;
            std::memcpy(&value, var.sqldata, sizeof value);
            return std::to_string(value);
        }
        default:
            throw DriverFailure(InvalidFieldType, "a metadata query returned a column of an unexpected type");
    }
}

// Every row of `sql` (a query with at most `columns` columns), each column
// as text, read in the connection's read-only transaction.
std::vector<std::vector<std::string>> textRows(ConnectionCore& connection, const std::string& sql,
                                               int columns) {
    const ClientLibrary& client = connection.client();
    Statement statement(connection.clientRef(), connection.database());
    SqlDescriptor result(columns);
    isc_tr_handle* transaction = connection.prepareTransaction();
    callChecked(client, SqlError, client.prepare, transaction, statement.handle(), 0, sql.c_str(),
                SQL_DIALECT_V6, result.area());
    result.bindDescribedBuffers();
    callChecked(client, SqlError, client.execute, transaction, statement.handle(), SQLDA_VERSION1, nullptr);
    std::vector<std::vector<std::string>> rows;
    StatusVector status;
    while (client.fetch(status.get(), statement.handle(), SQLDA_VERSION1, result.area()) == 0) {
        std::vector<std::string> row;
        for (int i = 0; i < result.count(); ++i) row.push_back(columnText(result.entry(i), result.isNull(i)));
        rows.push_back(std::move(row));
    }
    status.check(client, SqlError);
    statement.closeCursor();
    return rows;
}

enum Fact { kVersion, kUser, kRole, kReadOnly, kFile, kOwner, kFactCount };

}  // namespace

const std::vector<std::string>& FbMetaData::serverFacts() {
    if (m_facts.empty()) {
        const auto rows = textRows(
            *m_connection,
            "SELECT RDB$GET_CONTEXT('SYSTEM', 'ENGINE_VERSION'), TRIM(CURRENT_USER), TRIM(CURRENT_ROLE), "
            "M.MON$READ_ONLY, M.MON$DATABASE_NAME, (SELECT TRIM(R.RDB$OWNER_NAME) FROM RDB$RELATIONS R "
            "WHERE R.RDB$RELATION_NAME = 'RDB$DATABASE') FROM MON$DATABASE M",
            kFactCount);
        if (rows.size() != 1 || rows[0].size() != kFactCount)
            throw DriverFailure(SqlError, "the server did not describe the database");
        m_facts = rows[0];
        // No role is "NONE" to the server.
        if (m_facts[kRole] == "NONE") m_facts[kRole].clear();
    }
    return m_facts;
}

std::optional<std::string> FbMetaData::tableOwner() {
    const auto rows = textRows(
        *m_connection,
        "SELECT TRIM(RDB$OWNER_NAME) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = " + sqlLiteral(m_tableName),
        1);
    if (rows.empty()) return std::nullopt;
    return rows[0][0];
}

std::string FbMetaData::tablePrivileges() {
    const std::optional<std::string> owner = tableOwner();
    if (!owner) return {};
    const std::vector<std::string>& facts = serverFacts();
    const std::string& user = facts[kUser];
    // SYSDBA, the RDB$ADMIN role and the database's owner (the owner of its
    // system tables) hold every right in the database; a table's owner
    // every right on it.
    if (user == "SYSDBA" || facts[kRole] == "RDB$ADMIN" || user == facts[kOwner] || user == *owner)
        return kAllPrivileges;
    const auto rows = textRows(*m_connection,
                               "SELECT DISTINCT TRIM(RDB$PRIVILEGE) FROM RDB$USER_PRIVILEGES "
                               "WHERE RDB$RELATION_NAME = " +
                                   sqlLiteral(m_tableName) +
                                   " AND RDB$FIELD_NAME IS NULL AND (RDB$USER IN (CURRENT_USER, 'PUBLIC') "
                                   "OR RDB$USER = CURRENT_ROLE)",
                               1);
    std::string letters;
    for (const char letter : std::string(kAllPrivileges)) {
        for (const auto& row : rows) {
            if (!row[0].empty() && row[0][0] == letter) {
                letters += letter;
                break;
            }
        }
    }
    return letters;
}

sqldriver::Status FbMetaData::setOption(std::int32_t option, const char* value) {
    return run([&] {
        switch (option) {
            case metaopt::SchemaName:
                // Firebird has no schemas; the name is kept and not otherwise used.
                m_schemaName = value ? value : "";
                break;
            case metaopt::TableName:
                m_tableName = value ? value : "";
                break;
            default:
                // Options this driver does not know change nothing.
                break;
        }
    });
}

sqldriver::Status FbMetaData::getOption(std::int32_t option, void* buffer, std::int32_t size,
                                        std::int32_t* resultLength) {
    return run([&] {
        auto putNumber = [&](std::int32_t value) {
            if (!buffer || size < static_cast<std::int32_t>(sizeof value))
                throw DriverFailure(InvalidLength, "the buffer is too small for the option");
            std::memcpy(buffer, &value, sizeof value);
            if (resultLength) *resultLength = sizeof value;
        };
        auto putText = [&](const std::string& value) {
            if (!buffer || size < static_cast<std::int32_t>(value.size()) + 1)
                throw DriverFailure(InvalidLength, "the buffer is too small for the option");
            std::memcpy(buffer, value.c_str(), value.size() + 1);
            if (resultLength) *resultLength = static_cast<std::int32_t>(value.size());
        };
        switch (option) {
            case metaopt::SupportsTransaction:
            case metaopt::SupportsTransactions:
                putNumber(1);
                break;
            case metaopt::QuoteChar:
                if (!buffer || size < 1)
                    throw DriverFailure(InvalidLength, "the buffer is too small for the option");
                // Dialect 1 has no quoted identifiers.
                *static_cast<char*>(buffer) = m_connection->options().dialect == 3 ? '"' : '\0';
                if (resultLength) *resultLength = 1;
                break;
            case metaopt::TableExists:
                putNumber(tableOwner() ? 1 : 0);
                break;
            case metaopt::TablePrivileges:
                putText(tablePrivileges());
                break;
            case metaopt::ServerVersion:
                putText(serverFacts()[kVersion]);
                break;
            case metaopt::UserName:
                putText(serverFacts()[kUser]);
                break;
            case metaopt::RoleName:
                putText(serverFacts()[kRole]);
                break;
            case metaopt::ReadOnly:
                putNumber(serverFacts()[kReadOnly] == "1" ? 1 : 0);
                break;
            case metaopt::DatabaseFile:
                putText(serverFacts()[kFile]);
                break;
            case metaopt::DatabaseOwner:
                putText(serverFacts()[kOwner]);
                break;
            default:
                throw DriverFailure(NotSupported,
                                    "metadata option " + std::to_string(option) + " cannot be read");
        }
    });
}

}  // namespace tarvel::fb
