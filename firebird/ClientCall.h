// One call into the client library with a status vector of its own: the
// vector type that tells whether the call failed, and the two ways a call is
// made, checked (a failure throws DriverFailure with Firebird's text) or with
// its failure ignored on purpose.
#pragma once

#include <utility>

#include "ClientLibrary.h"
#include "SqlDriver.h"

namespace tarvel::fb {

class StatusVector {
public:
    // What the client call writes its outcome into.
    ISC_STATUS* get() noexcept { return m_vector; }
    const ISC_STATUS* get() const noexcept { return m_vector; }

    // True when the call reported an error (a warning alone is no failure).
    bool failed() const noexcept { return failed(m_vector); }
    static bool failed(const ISC_STATUS* vector) noexcept { return vector[0] == 1 && vector[1] != 0; }
    // The Firebird error code (the first gds code), 0 when the call succeeded.
    ISC_STATUS errorCode() const noexcept { return failed() ? m_vector[1] : 0; }

    // Throws DriverFailure(failStatus, Firebird's text) when the call failed.
    void check(const ClientLibrary& client, sqldriver::Status failStatus) const;

private:
    ISC_STATUS_ARRAY m_vector{};
};

// Calls `function` (a member of `client`) and throws DriverFailure(failStatus)
// with Firebird's text when it fails; returns what the call returned.
template <typename... Params, typename... Args>
ISC_STATUS callChecked(const ClientLibrary& client, sqldriver::Status failStatus,
                       ISC_STATUS (*function)(ISC_STATUS*, Params...), Args&&... args) {
    StatusVector status;
    const ISC_STATUS result = function(status.get(), std::forward<Args>(args)...);
    status.check(client, failStatus);
    return result;
}

// Calls `function` where a failure changes nothing for the caller: a handle
// released on the way out, which the server frees with its attachment anyway.
template <typename... Params, typename... Args>
void callIgnoringFailure(ISC_STATUS (*function)(ISC_STATUS*, Params...), Args&&... args) noexcept {
    StatusVector status;
    function(status.get(), std::forward<Args>(args)...);
}

}  // namespace tarvel::fb
