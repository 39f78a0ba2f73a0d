// The one error the driver throws inside itself: a driver status and the
// message that the failed object reports afterwards. It never leaves the
// library; every interface call turns it into its status (ErrorSlot).
#pragma once

#include <string>

#include "Error.h"
#include "SqlDriver.h"

namespace tarvel::fb {

class DriverFailure : public tarvel::Error {
public:
    DriverFailure(sqldriver::Status status, const std::string& message,
                  const sqldriver::ErrorCodes& codes = {})
        : tarvel::Error(message), m_status(status), m_codes(codes) {}
    sqldriver::Status status() const { return m_status; }
    // The server's codes of the failure; all zero for the driver's own.
    const sqldriver::ErrorCodes& codes() const { return m_codes; }

private:
    sqldriver::Status m_status;
    sqldriver::ErrorCodes m_codes;
};

}  // namespace tarvel::fb
