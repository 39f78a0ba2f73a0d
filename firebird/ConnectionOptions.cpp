#include "ConnectionOptions.h"

#include <ibase.h>

#include <cstdint>

#include "DriverFailure.h"

namespace tarvel::fb {

namespace {

// The value with its length byte in front. The failure names the item, never
// its value: the value may be the password.
void appendLength(std::string* buffer, const char* itemName, const std::string& value) {
    if (value.size() > 255)
        throw DriverFailure(
            sqldriver::status::InvalidParameter,
            std::string(itemName) + " too long: " + std::to_string(value.size()) + " bytes, at most 255");
    *buffer += static_cast<char>(value.size());
    *buffer += value;
}

void appendText(std::string* buffer, char item, const char* itemName, const std::string& value) {
    *buffer += item;
    appendLength(buffer, itemName, value);
}

void appendNumber(std::string* buffer, char item, std::uint32_t value) {
    *buffer += item;
    *buffer += static_cast<char>(4);
    for (int shift = 0; shift < 32; shift += 8) *buffer += static_cast<char>((value >> shift) & 0xFF);
}

// True when the text before the first ':' names a host (Firebird's "host:path",
// "host/port:path" and "protocol://host/path" forms); a plain path has none.
bool namesHost(const std::string& database) {
    if (database.empty() || database[0] == '/') return false;
    return database.find(':') != std::string::npos;
}

}  // namespace

// tarvel-rebuild --check names the server by the same rules (serverOf,
// cli/EmbeddedAccess.cpp): change both together.
std::string attachTarget(const std::string& database, const ConnectionOptions& options, bool* embedded) {
    std::string target = database;
    if (!namesHost(target) && !options.hostName.empty()) target = options.hostName + ":" + target;
    if (namesHost(target) && !options.serverPort.empty() && target.find("://") == std::string::npos) {
        // An IPv6 address stands in brackets: its colons are not the one
        // that ends the host.
        const std::size_t colon = target.find(':', target[0] == '[' ? target.find(']') : 0);
        if (colon != std::string::npos) {
            const std::string host = target.substr(0, colon);
            if (host.find('/') == std::string::npos)
                target = host + "/" + options.serverPort + target.substr(colon);
        }
    }
    *embedded = !namesHost(target);
    return target;
}

std::string databaseParameters(const ConnectionOptions& options, const std::string& userName,
                               const std::string& password, bool embedded) {
    std::string buffer(1, static_cast<char>(isc_dpb_version1));
    if (!userName.empty()) appendText(&buffer, isc_dpb_user_name, "user name", userName);
    if (!password.empty()) appendText(&buffer, isc_dpb_password, "password", password);
    if (!options.roleName.empty()) appendText(&buffer, isc_dpb_sql_role_name, "role name", options.roleName);
    appendText(&buffer, isc_dpb_lc_ctype, "character set",
               options.charSet.empty() ? std::string("NONE") : options.charSet);
    appendNumber(&buffer, isc_dpb_sql_dialect, static_cast<std::uint32_t>(options.dialect));
    if (options.connectionTimeout > 0)
        appendNumber(&buffer, isc_dpb_connect_timeout, static_cast<std::uint32_t>(options.connectionTimeout));
    // A plain path must open the file in this process, never slip through a
    // server that happens to run on this machine.
    std::string configuration = embedded ? "Providers=Engine12" : "";
    if (!embedded && !options.wireCrypt.empty()) configuration = "WireCrypt=" + options.wireCrypt;
    if (!configuration.empty()) appendText(&buffer, isc_dpb_config, "configuration", configuration);
    return buffer;
}

std::string transactionParameters(const ConnectionOptions& options, bool readOnly) {
    std::string buffer(1, static_cast<char>(isc_tpb_version3));
    buffer += static_cast<char>(readOnly ? isc_tpb_read : isc_tpb_write);
    if (options.isolation == 1) {
        buffer += static_cast<char>(isc_tpb_concurrency);
    } else {
        buffer += static_cast<char>(isc_tpb_read_committed);
        buffer += static_cast<char>(isc_tpb_rec_version);
    }
    buffer += static_cast<char>(options.waitOnLocks ? isc_tpb_wait : isc_tpb_nowait);
    if (options.waitOnLocks && options.lockTimeout > 0 && !readOnly) {
        // The value is a counted little-endian number of seconds.
        buffer += static_cast<char>(isc_tpb_lock_timeout);
        buffer += static_cast<char>(4);
        for (int shift = 0; shift < 32; shift += 8)
            buffer += static_cast<char>((static_cast<std::uint32_t>(options.lockTimeout) >> shift) & 0xff);
    }
    return buffer;
}

std::string cursorTransactionParameters(const ConnectionOptions& options) {
    ConnectionOptions snapshot = options;
    snapshot.isolation = 1;
    return transactionParameters(snapshot, true);
}

}  // namespace tarvel::fb
