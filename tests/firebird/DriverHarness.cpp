#include "DriverHarness.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace tarvel::testing {

using namespace sqldriver;

DriverLibrary& DriverLibrary::instance() {
    static DriverLibrary library;
    return library;
}

DriverLibrary::DriverLibrary() {
    const char* bin = std::getenv("TARVEL_TEST_BIN");
    const std::string path = std::string(bin ? bin : ".") + "/libfbsqldrv.so";
    // Kept loaded for the whole test process, as the program keeps it.
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) throw std::runtime_error("cannot load " + path + ": " + ::dlerror());
    m_entry = reinterpret_cast<SqlDriverEntry>(::dlsym(handle, "GetFirebirdDriver"));
    m_version = reinterpret_cast<SqlDriverVersionFunc>(::dlsym(handle, "SqlDriverInterfaceVersion"));
    if (!m_entry || !m_version) throw std::runtime_error(path + " lacks its exported functions");
}

DriverPtr DriverLibrary::driver() const {
    ISQLDriver* driver = nullptr;
    const Status status = m_entry("libfbclient.so.2", "", &driver);
    if (status != status::Ok || !driver)
        throw std::runtime_error("the driver entry failed with status " + std::to_string(status));
    return DriverPtr(driver);
}

std::string errorMessage(ISQLObject* object) {
    std::uint16_t length = 0;
    if (object->getErrorMessageLen(&length) != status::Ok) return "<no message length>";
    std::vector<char> buffer(length + 1u);
    if (object->getErrorMessage(buffer.data()) != status::Ok) return "<no message>";
    return std::string(buffer.data());
}

ConnectionPtr newConnection() {
    static DriverPtr driver = DriverLibrary::instance().driver();
    ISQLConnection* connection = nullptr;
    if (driver->getSQLConnection(&connection) != status::Ok || !connection)
        throw std::runtime_error("the driver gave no connection");
    return ConnectionPtr(connection);
}

ConnectionPtr connectTo(const ConnectSettings& settings, Status* status) {
    ConnectionPtr connection = newConnection();
    connection->setIntOption(connopt::SqlDialect, 3);
    connection->setIntOption(connopt::WaitOnLocks, settings.waitOnLocks);
    connection->setIntOption(connopt::AutoCommit, settings.autoCommit);
    if (!settings.charSet.empty())
        connection->setTextOption(connopt::ServerCharSet, settings.charSet.c_str());
    if (!settings.roleName.empty()) connection->setTextOption(connopt::RoleName, settings.roleName.c_str());
    connection->setIntOption(connopt::CommitRetain, settings.commitRetain);
    connection->setIntOption(connopt::TransIsolation, settings.isolation);
    connection->setIntOption(connopt::TrimChar, settings.trimChar);
    const Status result =
        connection->connect(settings.database.c_str(), settings.user.c_str(), settings.password.c_str());
    if (status)
        *status = result;
    else if (result != status::Ok)
        throw std::runtime_error("connect to " + settings.database +
                                 " failed: " + errorMessage(connection.get()));
    return connection;
}

CommandPtr prepare(ISQLConnection* connection, const std::string& sql, Status* status) {
    ISQLCommand* raw = nullptr;
    const Status got = connection->getSQLCommand(&raw);
    if (got != status::Ok) throw std::runtime_error("no statement: " + errorMessage(connection));
    CommandPtr command(raw);
    command->setOption(cmdopt::RowsetSize, 20);
    const Status prepared = command->prepare(sql.c_str(), 0);
    if (status)
        *status = prepared;
    else if (prepared != status::Ok)
        throw std::runtime_error("prepare of \"" + sql + "\" failed: " + errorMessage(command.get()));
    return command;
}

Status bindText(ISQLCommand* command, std::uint16_t position, const std::string& text) {
    return command->setParameter(position, 0, direction::Input, kind::Text, 0,
                                 static_cast<std::int32_t>(text.size()), 0,
                                 static_cast<std::uint32_t>(text.size() + 1), text.c_str(), false);
}

Status bindDouble(ISQLCommand* command, std::uint16_t position, double value) {
    return command->setParameter(position, 0, direction::Input, kind::Double, 0, 8, 0, 8, &value, false);
}

Status bindNull(ISQLCommand* command, std::uint16_t position, std::uint16_t kind) {
    return command->setParameter(position, 0, direction::Input, kind, 0, 0, 0, 0, nullptr, true);
}

void run(ISQLConnection* connection, const std::string& sql) {
    CommandPtr command = prepare(connection, sql);
    ISQLCursor* cursor = nullptr;
    if (command->execute(&cursor) != status::Ok)
        throw std::runtime_error("execute of \"" + sql + "\" failed: " + errorMessage(command.get()));
    CursorPtr owned(cursor);
}

CursorPtr open(ISQLCommand* command) {
    ISQLCursor* cursor = nullptr;
    if (command->execute(&cursor) != status::Ok)
        throw std::runtime_error("execute failed: " + errorMessage(command));
    if (!cursor) throw std::runtime_error("no cursor returned");
    return CursorPtr(cursor);
}

std::vector<std::vector<std::string>> queryRows(ISQLConnection* connection, const std::string& sql) {
    CommandPtr command = prepare(connection, sql);
    CursorPtr cursor = open(command.get());
    std::uint16_t columns = 0;
    cursor->getColumnCount(&columns);
    std::vector<std::vector<std::string>> rows;
    Status status;
    while ((status = cursor->next()) == status::Ok) {
        std::vector<std::string> row;
        for (std::uint16_t c = 1; c <= columns; ++c) row.push_back(valueText(cursor.get(), c));
        rows.push_back(row);
    }
    if (status != status::NoMoreData) throw std::runtime_error("fetch failed: " + errorMessage(cursor.get()));
    return rows;
}

std::string bcdText(const Bcd& value) {
    std::string text = value.negative ? "-" : "";
    const int integerDigits = value.precision - value.scale;
    if (integerDigits <= 0) text += '0';
    for (int i = 0; i < value.precision; ++i) {
        if (i == integerDigits) text += '.';
        text += static_cast<char>('0' + value.digits[i]);
    }
    // Leading zeros of the integer part carry no information for comparisons.
    const std::size_t sign = value.negative ? 1 : 0;
    while (text.size() > sign + 1 && text[sign] == '0' && text[sign + 1] != '.') text.erase(sign, 1);
    return text;
}

std::int32_t dayNumber(int year, int month, int day) {
    // Days from civil, on 400-year eras, relative to 1899-12-30.
    auto fromCivil = [](long long y, unsigned m, unsigned d) {
        y -= m <= 2;
        const long long era = (y >= 0 ? y : y - 399) / 400;
        const long long yoe = y - era * 400;
        const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
    };
    return static_cast<std::int32_t>(fromCivil(year, month, day) - fromCivil(1899, 12, 30));
}

std::string dayText(std::int32_t number) {
    long long days = number + 693899LL;  // 1899-12-30 is day 693899 after 0000-03-01
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long doe = days - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long d = doy - (153 * mp + 2) / 5 + 1;
    const long long m = mp < 10 ? mp + 3 : mp - 9;
    const long long y = yoe + era * 400 + (m <= 2);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", y, m, d);
    return text;
}

std::string valueText(ISQLCursor* cursor, std::uint16_t column) {
    std::uint16_t kind = 0, subkind = 0;
    if (cursor->getColumnType(column, &kind, &subkind) != status::Ok)
        throw std::runtime_error("no column type: " + errorMessage(cursor));
    std::vector<char> buffer(70000, '\0');
    bool isNull = false;
    if (cursor->getValue(column, buffer.data(), static_cast<std::uint32_t>(buffer.size()), &isNull) !=
        status::Ok)
        throw std::runtime_error("getValue failed: " + errorMessage(cursor));
    if (isNull) return "<null>";
    auto as = [&](auto sample) {
        decltype(sample) value;
        std::memcpy(&value, buffer.data(), sizeof value);
        return value;
    };
    char text[128];
    switch (kind) {
        case kind::Text:
        case kind::Blob:
            return std::string(buffer.data());
        case kind::Int16:
        case kind::Boolean:
            return std::to_string(as(std::int16_t{}));
        case kind::Int32:
            return std::to_string(as(std::int32_t{}));
        case kind::Int64:
            return std::to_string(as(std::int64_t{}));
        case kind::Double:
            std::snprintf(text, sizeof text, "%.17g", as(double{}));
            return text;
        case kind::Bcd:
            return bcdText(as(Bcd{}));
        case kind::Date:
            return dayText(as(std::int32_t{}));
        case kind::Time: {
            const std::uint32_t ms = as(std::uint32_t{});
            std::snprintf(text, sizeof text, "%02u:%02u:%02u.%03u", ms / 3600000, ms / 60000 % 60,
                          ms / 1000 % 60, ms % 1000);
            return text;
        }
        case kind::SqlTimestamp: {
            const SqlTimestamp t = as(SqlTimestamp{});
            std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u:%02u.%03u", t.year, t.month, t.day,
                          t.hour, t.minute, t.second, t.fraction);
            return text;
        }
        default:
            return "<kind " + std::to_string(kind) + ">";
    }
}

}  // namespace tarvel::testing
