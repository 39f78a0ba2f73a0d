// Loads bin/libfbsqldrv.so the way the program does and wraps the driver
// objects so tests release them even when an assertion ends a test early.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "SqlDriver.h"

namespace tarvel::testing {

struct Releaser {
    void operator()(sqldriver::ISQLObject* object) const {
        if (object) object->release();
    }
};
using DriverPtr = std::unique_ptr<sqldriver::ISQLDriver, Releaser>;
using ConnectionPtr = std::unique_ptr<sqldriver::ISQLConnection, Releaser>;
using CommandPtr = std::unique_ptr<sqldriver::ISQLCommand, Releaser>;
using CursorPtr = std::unique_ptr<sqldriver::ISQLCursor, Releaser>;
using MetaDataPtr = std::unique_ptr<sqldriver::ISQLMetaData, Releaser>;

// The driver library, loaded once per process from TARVEL_TEST_BIN.
class DriverLibrary {
public:
    static DriverLibrary& instance();
    SqlDriverEntry entry() const { return m_entry; }
    SqlDriverVersionFunc version() const { return m_version; }
    // A driver over libfbclient.so.2; fails the calling test when it cannot.
    DriverPtr driver() const;

private:
    DriverLibrary();
    SqlDriverEntry m_entry = nullptr;
    SqlDriverVersionFunc m_version = nullptr;
};

// The message of an object's last failed call.
std::string errorMessage(sqldriver::ISQLObject* object);

// Connection settings of one test.
struct ConnectSettings {
    std::string database;
    std::string user = "SYSDBA";
    std::string password;
    bool trimChar = false;
    bool commitRetain = false;
    bool waitOnLocks = true;
    bool autoCommit = true;
    std::string charSet;
    std::string roleName;
    int isolation = 0;
};

// A new unconnected connection object.
ConnectionPtr newConnection();
// A connected connection; the status of connect in *status (nullptr: must succeed).
ConnectionPtr connectTo(const ConnectSettings& settings, sqldriver::Status* status = nullptr);

// Prepares sql on the connection; returns the command (status in *status when given).
CommandPtr prepare(sqldriver::ISQLConnection* connection, const std::string& sql,
                   sqldriver::Status* status = nullptr);
// Binds a text / double / typed value at position (from 1).
sqldriver::Status bindText(sqldriver::ISQLCommand* command, std::uint16_t position, const std::string& text);
sqldriver::Status bindDouble(sqldriver::ISQLCommand* command, std::uint16_t position, double value);
sqldriver::Status bindNull(sqldriver::ISQLCommand* command, std::uint16_t position, std::uint16_t kind);
template <typename Value>
sqldriver::Status bindValue(sqldriver::ISQLCommand* command, std::uint16_t position, std::uint16_t kind,
                            const Value& value) {
    return command->setParameter(position, 0, sqldriver::direction::Input, kind, 0, 0, 0, sizeof value,
                                 &value, false);
}

// Runs a statement that returns no rows; throws std::runtime_error with the
// driver's message on failure.
void run(sqldriver::ISQLConnection* connection, const std::string& sql);
// Executes a prepared command expected to return rows.
CursorPtr open(sqldriver::ISQLCommand* command);

// Every row of a query, each value as text (see valueText), "<null>" for nulls.
std::vector<std::vector<std::string>> queryRows(sqldriver::ISQLConnection* connection,
                                                const std::string& sql);
// The value of `column` on the cursor's current row in a plain text form:
// integers and BCD in decimal, doubles with 17 significant digits, dates as
// YYYY-MM-DD, times as HH:MM:SS.mmm, texts as is.
std::string valueText(sqldriver::ISQLCursor* cursor, std::uint16_t column);

// The decimal text of a BCD value ("-12.3400"), digits exactly as delivered.
std::string bcdText(const sqldriver::Bcd& value);
// Day number (days since 1899-12-30) of a civil date, and back as YYYY-MM-DD.
std::int32_t dayNumber(int year, int month, int day);
std::string dayText(std::int32_t dayNumber);

}  // namespace tarvel::testing
