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
    DriverFailure(sqldriver::Status status, const std::string& message)
        : tarvel::Error(message), m_status(status) {}
    sqldriver::Status status() const { return m_status; }

private:
    sqldriver::Status m_status;
};

}  // namespace tarvel::fb
