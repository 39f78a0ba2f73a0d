#include "FbConnection.h"

#include <cstring>

#include "FbBatch.h"
#include "FbCommand.h"
#include "FbMetaData.h"

namespace tarvel::fb {

using namespace sqldriver::status;
namespace connopt = sqldriver::connopt;

namespace {

std::string text(const char* value) { return value ? std::string(value) : std::string(); }

// Writes a 32-bit number or a text option value into the caller's buffer.
void putNumber(std::int32_t value, void* buffer, std::int32_t size, std::int32_t* resultLength) {
    if (!buffer || size < static_cast<std::int32_t>(sizeof value))
        throw DriverFailure(InvalidLength, "the buffer is too small for the option");
    std::memcpy(buffer, &value, sizeof value);
    if (resultLength) *resultLength = sizeof value;
}

void putText(const std::string& value, void* buffer, std::int32_t size, std::int32_t* resultLength) {
    if (!buffer || size < static_cast<std::int32_t>(value.size()) + 1)
        throw DriverFailure(InvalidLength, "the buffer is too small for the option");
    std::memcpy(buffer, value.c_str(), value.size() + 1);
    if (resultLength) *resultLength = static_cast<std::int32_t>(value.size());
}

}  // namespace

FbConnection::FbConnection(ClientRef client) : m_core(std::make_shared<ConnectionCore>(std::move(client))) {}

sqldriver::Status FbConnection::setIntOption(std::int32_t option, std::int32_t value) {
    return run([&] {
        ConnectionOptions& options = m_core->options();
        switch (option) {
            case connopt::AutoCommit:
                options.autoCommit = value != 0;
                break;
            case connopt::BlobSize:
                options.blobSizeKb = value;
                break;
            case connopt::WaitOnLocks:
                options.waitOnLocks = value != 0;
                break;
            case connopt::CommitRetain:
                options.commitRetain = value != 0;
                break;
            case connopt::TransIsolation:
                if (value < 0 || value > 2)
                    throw DriverFailure(InvalidIsolationLevel,
                                        "isolation level " + std::to_string(value) + " unknown");
                options.isolation = value;
                break;
            case connopt::SqlDialect:
                if (value < 1 || value > 3)
                    throw DriverFailure(InvalidParameter,
                                        "SQL dialect " + std::to_string(value) + " unknown");
                options.dialect = value;
                break;
            case connopt::TrimChar:
                options.trimChar = value != 0;
                break;
            case connopt::ConnectionTimeout:
                options.connectionTimeout = value;
                break;
            case connopt::LockTimeout:
                if (value < 0)
                    throw DriverFailure(InvalidParameter,
                                        "lock timeout " + std::to_string(value) + " below 0");
                options.lockTimeout = value;
                break;
            case connopt::SilenceTimeout:
                if (value < 0 || value > 3600)
                    throw DriverFailure(InvalidParameter,
                                        "silence time-out " + std::to_string(value) + " outside 0 to 3600");
                options.silenceTimeout = value;
                break;
            default:
                // Blocking mode, native handle, server version hint, OS
                // authentication, multiple transactions and unknown codes.
                break;
        }
    });
}

sqldriver::Status FbConnection::setTextOption(std::int32_t option, const char* value) {
    return run([&] {
        ConnectionOptions& options = m_core->options();
        switch (option) {
            case connopt::RoleName:
                options.roleName = text(value);
                break;
            case connopt::HostName:
                options.hostName = text(value);
                break;
            case connopt::ServerCharSet:
                options.charSet = text(value);
                break;
            case connopt::ServerPort:
                options.serverPort = text(value);
                break;
            case connopt::ClaimTable:
                m_core->claimTable(text(value));
                break;
            case connopt::WireCrypt: {
                const std::string mode = text(value);
                if (!mode.empty() && mode != "Enabled" && mode != "Disabled" && mode != "Required")
                    throw DriverFailure(InvalidParameter, "wire encryption '" + mode + "' unknown");
                options.wireCrypt = mode;
                break;
            }
            default:
                break;
        }
    });
}

sqldriver::Status FbConnection::getOption(std::int32_t option, void* buffer, std::int32_t size,
                                          std::int32_t* resultLength) {
    return run([&] {
        const ConnectionOptions& options = m_core->options();
        switch (option) {
            case connopt::MaxStatements:
                // Firebird runs any number of statements on one attachment.
                putNumber(0, buffer, size, resultLength);
                break;
            case connopt::AutoCommit:
                putNumber(options.autoCommit, buffer, size, resultLength);
                break;
            case connopt::BlobSize:
                putNumber(options.blobSizeKb, buffer, size, resultLength);
                break;
            case connopt::WaitOnLocks:
                putNumber(options.waitOnLocks, buffer, size, resultLength);
                break;
            case connopt::CommitRetain:
                putNumber(options.commitRetain, buffer, size, resultLength);
                break;
            case connopt::TransIsolation:
                putNumber(options.isolation, buffer, size, resultLength);
                break;
            case connopt::SqlDialect:
                putNumber(options.dialect, buffer, size, resultLength);
                break;
            case connopt::TrimChar:
                putNumber(options.trimChar, buffer, size, resultLength);
                break;
            case connopt::ConnectionTimeout:
                putNumber(options.connectionTimeout, buffer, size, resultLength);
                break;
            case connopt::LockTimeout:
                putNumber(options.lockTimeout, buffer, size, resultLength);
                break;
            case connopt::SilenceTimeout:
                putNumber(options.silenceTimeout, buffer, size, resultLength);
                break;
            case connopt::SilenceWatched:
                putNumber(m_core->silenceWatched(), buffer, size, resultLength);
                break;
            case connopt::ConnectionLost:
                putNumber(m_core->isLost() ? 1 : 0, buffer, size, resultLength);
                break;
            case connopt::RoleName:
                putText(options.roleName, buffer, size, resultLength);
                break;
            case connopt::HostName:
                putText(options.hostName, buffer, size, resultLength);
                break;
            case connopt::ServerCharSet:
                putText(options.charSet, buffer, size, resultLength);
                break;
            case connopt::ServerPort:
                putText(options.serverPort, buffer, size, resultLength);
                break;
            case connopt::ClaimHolder:
                putText(m_core->claimHolder(), buffer, size, resultLength);
                break;
            case connopt::ClientVersion: {
                // The client library writes a short line ("LI-V6.3.11.33637 Firebird 3.0"),
                // well inside this buffer.
                char version[256] = {};
                m_core->client().clientVersion(version);
                putText(version, buffer, size, resultLength);
                break;
            }
            default:
                throw DriverFailure(NotSupported, "option " + std::to_string(option) + " cannot be read");
        }
    });
}

sqldriver::Status FbConnection::connect(const char* database, const char* userName, const char* password) {
    return run([&] { m_core->connect(text(database), text(userName), text(password)); });
}

sqldriver::Status FbConnection::disconnect() {
    return run([&] { m_core->disconnect(); });
}

sqldriver::Status FbConnection::getSQLCommand(sqldriver::ISQLCommand** command) {
    return run([&] {
        if (!command) throw DriverFailure(InvalidParameter, "no place for the statement");
        *command = nullptr;
        m_core->database();  // a statement needs an attachment
        *command = new FbCommand(m_core);
    });
}

sqldriver::Status FbConnection::getSQLBatch(sqldriver::ISQLBatch** batch) {
    return run([&] {
        if (!batch) throw DriverFailure(InvalidParameter, "no place for the batch");
        *batch = nullptr;
        m_core->database();  // a batch needs an attachment
        *batch = new FbBatch(m_core);
    });
}

sqldriver::Status FbConnection::getSQLMetaData(sqldriver::ISQLMetaData** metaData) {
    return run([&] {
        if (!metaData) throw DriverFailure(InvalidParameter, "no place for the metadata object");
        *metaData = new FbMetaData(m_core);
    });
}

sqldriver::Status FbConnection::beginTransaction() {
    return run([&] { m_core->beginTransaction(); });
}

sqldriver::Status FbConnection::commit() {
    return run([&] { m_core->commit(); });
}

sqldriver::Status FbConnection::rollback() {
    return run([&] { m_core->rollback(); });
}

sqldriver::Status FbConnection::cancel(std::int32_t request) {
    // Not through the error slot: the thread whose call is cancelled owns it.
    if (request != sqldriver::cancelopt::Raise && request != sqldriver::cancelopt::Disable &&
        request != sqldriver::cancelopt::Enable && request != sqldriver::cancelopt::Abort)
        return InvalidParameter;
    m_core->cancel(request);
    return Ok;
}

}  // namespace tarvel::fb
