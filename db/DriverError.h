// Texts of failed driver calls: the status's own text, the failed object's
// server message, and the fallbacks when neither exists.
#pragma once

#include <string>

#include "DatabaseError.h"
#include "Error.h"
#include "SqlDriver.h"

namespace tarvel {

// The status's own text ("[0x0015]: Connection failed"), empty for a status
// that has none.
std::string driverStatusText(sqldriver::Status status);

// The message of failed's last failed call as the driver reports it, empty
// when there is no object, the driver reports none, or asking fails.
std::string driverServerMessage(sqldriver::ISQLObject* failed);

// "Driver Error: <status text>" and "SQL Server Error: <server message>",
// each when it exists, joined by CR LF; then the first non-empty fallback;
// then "Driver Error: Unknown Error Code '<status>'".
std::string composeDriverError(sqldriver::Status status, sqldriver::ISQLObject* failed,
                               const std::string& firstFallback, const std::string& secondFallback);

// composeDriverError, kept in `lastError` (where the connection or the query
// holds the last driver error text it reports) and returned. The fallbacks
// are read before `lastError` is replaced, so either may be `lastError` itself.
const std::string& recordDriverError(std::string& lastError, sqldriver::Status status,
                                     sqldriver::ISQLObject* failed, const std::string& firstFallback,
                                     const std::string& secondFallback);

// The one way db/ turns a failed driver call into an error: unless status is
// Ok, records the text (recordDriverError), lets `afterRecord` look at the
// failure (the connection asks whether its attachment is gone; that call must
// come after the failed object was asked for its message), then throws the
// text as DatabaseError with the failed object's codes.
template <class AfterRecord>
void checkDriverCall(std::string& lastError, sqldriver::Status status, sqldriver::ISQLObject* failed,
                     const std::string& firstFallback, const std::string& secondFallback,
                     AfterRecord&& afterRecord) {
    if (status == sqldriver::status::Ok) return;
    const std::string& text = recordDriverError(lastError, status, failed, firstFallback, secondFallback);
    const sqldriver::ErrorCodes codes = driverErrorCodes(failed);
    afterRecord();
    throw DatabaseError(text, codes);
}

inline void checkDriverCall(std::string& lastError, sqldriver::Status status, sqldriver::ISQLObject* failed,
                            const std::string& firstFallback, const std::string& secondFallback) {
    checkDriverCall(lastError, status, failed, firstFallback, secondFallback, [] {});
}

}  // namespace tarvel
