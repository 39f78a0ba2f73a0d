#include "DatabaseFacts.h"

#include "DriverLibrary.h"
#include "Error.h"
#include "SettingsFile.h"
#include "SettingsStore.h"

namespace tarvel {

DatabaseFacts::DatabaseFacts(SqlConnection& connection) : m_connection(connection) {
    sqldriver::ISQLConnection* driverConnection = connection.connectionForStatement(false);
    sqldriver::ISQLMetaData* metaData = nullptr;
    const sqldriver::Status status = driverConnection->getSQLMetaData(&metaData);
    m_metaData.reset(metaData);
    connection.check(status, driverConnection);
    if (!metaData) connection.check(sqldriver::status::InvalidHandle, driverConnection);
}

std::string DatabaseFacts::text(std::int32_t option) {
    // Names, versions and file paths: the server allows none of them this long.
    char buffer[4096] = {};
    std::int32_t length = 0;
    m_connection.check(m_metaData->getOption(option, buffer, sizeof buffer, &length), m_metaData.get());
    return std::string(buffer);
}

std::int32_t DatabaseFacts::number(std::int32_t option) {
    std::int32_t value = 0;
    std::int32_t length = 0;
    m_connection.check(m_metaData->getOption(option, &value, sizeof value, &length), m_metaData.get());
    return value;
}

void DatabaseFacts::setTable(const std::string& table) {
    m_connection.check(m_metaData->setOption(sqldriver::metaopt::TableName, table.c_str()), m_metaData.get());
}

bool DatabaseFacts::tableExists(const std::string& table) {
    setTable(table);
    return number(sqldriver::metaopt::TableExists) != 0;
}

std::string DatabaseFacts::privilegesOn(const std::string& table) {
    setTable(table);
    return text(sqldriver::metaopt::TablePrivileges);
}

std::string clientLibraryVersion(SqlConnection& connection) {
    // The driver's names as an opening finds them: the entry's DriverName,
    // then that driver's section of the driver settings file; the built-in
    // names where the files give none.
    const SettingsStore store(SettingsLocation::ofProgram());
    std::string libraryName = connection.libraryName;
    std::string entryName = connection.getDriverFunc;
    std::string vendorLib = connection.vendorLib;
    const std::string driverName = SettingsFile::read(connection.connectionFilePath())
                                       .section(connection.connectionName)
                                       .value("DriverName");
    if (!driverName.empty()) {
        const ParameterList driver =
            SettingsFile::read(store.resolvePath(SettingsStore::kDriverFileValue, "sqldrivers.ini"))
                .section(driverName);
        if (driver.given("LibraryName")) libraryName = driver.value("LibraryName");
        if (driver.given("GetDriverFunc")) entryName = driver.value("GetDriverFunc");
        if (driver.given("VendorLib")) vendorLib = driver.value("VendorLib");
    }
    const DriverLibrary library = DriverLibrary::load(libraryName, entryName);
    sqldriver::ISQLDriver* rawDriver = nullptr;
    const sqldriver::Status loaded = library.entry()(vendorLib.c_str(), "", &rawDriver);
    DriverHandle<sqldriver::ISQLDriver> driver(rawDriver);
    if (loaded != sqldriver::status::Ok || !driver) throw Error("Unable to Load " + vendorLib);
    sqldriver::ISQLConnection* rawConnection = nullptr;
    const sqldriver::Status made = driver->getSQLConnection(&rawConnection);
    DriverHandle<sqldriver::ISQLConnection> unconnected(rawConnection);
    if (made != sqldriver::status::Ok || !unconnected) throw Error("the driver gave no connection");
    char version[512] = {};
    std::int32_t length = 0;
    if (unconnected->getOption(sqldriver::connopt::ClientVersion, version, sizeof version, &length) !=
        sqldriver::status::Ok)
        throw Error("the driver does not report the client library's version");
    return version;
}

}  // namespace tarvel
