// Turning a failed client call into a DriverFailure with Firebird's own text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "ClientLibrary.h"
#include "SqlDriver.h"

namespace tarvel::fb {

// Every line fb_interpret gives for the status vector, joined by line feeds,
// followed by the SQL error code when Firebird gives one that the lines do not
// already show.
std::string interpretStatus(const ClientLibrary& client, const ISC_STATUS* vector);

// The error codes of the vector: its gds codes in order, SQLCODE and SQLSTATE.
sqldriver::ErrorCodes errorCodes(const ClientLibrary& client, const ISC_STATUS* vector);

// What the failure with these gds codes (in the order given) means: a
// value of sqldriver::failure.
std::int32_t failureOf(const std::int32_t* gds, std::size_t count);

// Throws DriverFailure(failStatus, interpretStatus(...), errorCodes(...)) when
// the vector holds an error.
void check(const ClientLibrary& client, const ISC_STATUS* vector, sqldriver::Status failStatus);

// True when any code of the vector says the attachment is gone: the network
// failed or the server, the database or the connection was shut down.
bool connectionLost(const ISC_STATUS* vector);

// The Firebird error code of the vector (its first gds code), 0 when none.
ISC_STATUS errorCode(const ISC_STATUS* vector);

}  // namespace tarvel::fb
