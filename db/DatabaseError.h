// A failed driver call as db/ raises it: the text the program shows, and the
// server's codes, from which what the failure means is decided.
#pragma once

#include <exception>
#include <string>

#include "Error.h"
#include "SqlDriver.h"

namespace tarvel {

// What a failure means to a run, decided by the server's codes alone.
enum class FailureKind {
    Other,
    ConnectionLost,  // the network failed, or the server, database or attachment was shut down
    Cancelled,       // the call was cancelled (a stop ended a wait)
    LockConflict,    // a row or table another transaction holds, not waited for
    LockTimeout,     // a lock waited for longer than the transaction's lock timeout
};

FailureKind failureKindOf(const sqldriver::ErrorCodes& codes);

class DatabaseError : public Error {
public:
    DatabaseError(const std::string& text, const sqldriver::ErrorCodes& codes)
        : Error(text), m_codes(codes), m_kind(failureKindOf(codes)) {}
    const sqldriver::ErrorCodes& codes() const { return m_codes; }
    FailureKind kind() const { return m_kind; }

private:
    sqldriver::ErrorCodes m_codes;
    FailureKind m_kind;
};

// The kind of a raised failure: Other for anything but a DatabaseError.
FailureKind failureKindOf(const std::exception_ptr& failure);

// The codes the failed object reports for its last failed call; all zero when
// there is no object or it reports none.
sqldriver::ErrorCodes driverErrorCodes(sqldriver::ISQLObject* failed);

}  // namespace tarvel
