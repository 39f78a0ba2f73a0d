#include "DatabaseError.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>

namespace tarvel {

namespace {

// Firebird's error codes (gds codes) that decide a failure's kind.
constexpr std::int32_t kDeadlock = 335544336;        // general lock failure, comes first
constexpr std::int32_t kLockConflict = 335544345;    // "lock conflict on no wait transaction"
constexpr std::int32_t kUpdateConflict = 335544451;  // "update conflicts with concurrent update"
constexpr std::int32_t kLockTimeout = 335544510;     // "lock time-out on wait transaction"
constexpr std::int32_t kCancelled = 335544794;       // "operation was cancelled"
constexpr std::int32_t kBadDbHandle = 335544324;
constexpr std::int32_t kShutdown = 335544528;
constexpr std::int32_t kConnLost = 335544648;
constexpr std::int32_t kNetworkError = 335544721;
constexpr std::int32_t kNetReadError = 335544726;
constexpr std::int32_t kNetWriteError = 335544727;
constexpr std::int32_t kLostDbConnection = 335544741;
constexpr std::int32_t kAttachmentShutdown = 335544856;
constexpr std::int32_t kServerShutdown = 335544971;

bool holds(const sqldriver::ErrorCodes& codes, std::initializer_list<std::int32_t> wanted) {
    const auto end = std::find(std::begin(codes.gds), std::end(codes.gds), 0);
    return std::any_of(std::begin(codes.gds), end, [&](std::int32_t code) {
        return std::find(wanted.begin(), wanted.end(), code) != wanted.end();
    });
}

}  // namespace

FailureKind failureKindOf(const sqldriver::ErrorCodes& codes) {
    // Checked from the most telling: a cancelled wait also names the lock.
    if (holds(codes, {kCancelled})) return FailureKind::Cancelled;
    if (holds(codes, {kBadDbHandle, kShutdown, kConnLost, kNetworkError, kNetReadError, kNetWriteError,
                      kLostDbConnection, kAttachmentShutdown, kServerShutdown}))
        return FailureKind::ConnectionLost;
    if (holds(codes, {kLockTimeout})) return FailureKind::LockTimeout;
    if (holds(codes, {kLockConflict, kDeadlock, kUpdateConflict})) return FailureKind::LockConflict;
    return FailureKind::Other;
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
