#include "DatabaseError.h"

namespace tarvel {

FailureKind failureKindOf(const sqldriver::ErrorCodes& codes) {
    // The driver decides what its server's codes mean.
    switch (codes.failure) {
        case sqldriver::failure::ConnectionLost:
            return FailureKind::ConnectionLost;
        case sqldriver::failure::Cancelled:
            return FailureKind::Cancelled;
        case sqldriver::failure::LockConflict:
            return FailureKind::LockConflict;
        case sqldriver::failure::LockTimeout:
            return FailureKind::LockTimeout;
        default:
            return FailureKind::Other;
    }
}

FailureKind failureKindOf(const std::exception_ptr& failure) {
    if (!failure) return FailureKind::Other;
    try {
        std::rethrow_exception(failure);
    } catch (const DatabaseError& error) {
        return error.kind();
    } catch (...) {
        return FailureKind::Other;
    }
}

sqldriver::ErrorCodes driverErrorCodes(sqldriver::ISQLObject* failed) {
    sqldriver::ErrorCodes codes;
    if (!failed || failed->getErrorCodes(&codes) != sqldriver::status::Ok) return {};
    codes.sqlState[sizeof codes.sqlState - 1] = '\0';
    return codes;
}

}  // namespace tarvel
