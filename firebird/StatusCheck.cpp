#include "StatusCheck.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "ClientCall.h"
#include "DriverFailure.h"

namespace tarvel::fb {

std::string interpretStatus(const ClientLibrary& client, const ISC_STATUS* vector) {
    std::string text;
    const ISC_STATUS* cursor = vector;
    char line[1024];
    while (client.interpret(line, sizeof line, &cursor) > 0) {
        if (!text.empty()) text += '\n';
        text += line;
    }
    const ISC_LONG sqlcode = client.sqlcode(vector);
    if (sqlcode != 0 && text.find("SQL error code") == std::string::npos) {
        if (!text.empty()) text += '\n';
        text += "SQL error code = " + std::to_string(sqlcode);
    }
    return text;
}

sqldriver::ErrorCodes errorCodes(const ClientLibrary& client, const ISC_STATUS* vector) {
    sqldriver::ErrorCodes codes;
    std::uint32_t count = 0;
    for (const ISC_STATUS* item = vector; item[0] != isc_arg_end && count < sqldriver::kMaxErrorCodes;
         item += 2) {
        if (item[0] == isc_arg_gds) codes.gds[count++] = static_cast<std::int32_t>(item[1]);
        if (item[0] == isc_arg_cstring) ++item;  // a counted string takes a length and a pointer
    }
    codes.failure = failureOf(codes.gds, count);
    // A library stand-in may leave these out.
    if (client.sqlcode) codes.sqlCode = static_cast<std::int32_t>(client.sqlcode(vector));
    if (client.sqlstate) {
        char state[FB_SQLSTATE_SIZE] = {};
        client.sqlstate(state, vector);
        std::memcpy(codes.sqlState, state, sizeof codes.sqlState - 1);
    }
    return codes;
}

void check(const ClientLibrary& client, const ISC_STATUS* vector, sqldriver::Status failStatus) {
    if (StatusVector::failed(vector))
        throw DriverFailure(failStatus, interpretStatus(client, vector), errorCodes(client, vector));
}

namespace {

constexpr ISC_STATUS kLost[] = {
    isc_network_error,       isc_net_read_err, isc_net_write_err, isc_lost_db_connection, isc_conn_lost,
    isc_net_server_shutdown, isc_shutdown,     isc_att_shutdown,  isc_bad_db_handle,
};

template <std::size_t N>
bool anyOf(const std::int32_t* gds, std::size_t count, const ISC_STATUS (&wanted)[N]) {
    return std::any_of(gds, gds + count, [&](std::int32_t code) {
        return std::find(std::begin(wanted), std::end(wanted), code) != std::end(wanted);
    });
}

}  // namespace

std::int32_t failureOf(const std::int32_t* gds, std::size_t count) {
    static constexpr ISC_STATUS kCancelled[] = {isc_cancelled};
    static constexpr ISC_STATUS kTimeout[] = {isc_lock_timeout};
    static constexpr ISC_STATUS kConflict[] = {isc_lock_conflict, isc_deadlock, isc_update_conflict};
    // From the most telling: a cancelled wait also names the lock it waited for.
    if (anyOf(gds, count, kCancelled)) return sqldriver::failure::Cancelled;
    if (anyOf(gds, count, kLost)) return sqldriver::failure::ConnectionLost;
    if (anyOf(gds, count, kTimeout)) return sqldriver::failure::LockTimeout;
    if (anyOf(gds, count, kConflict)) return sqldriver::failure::LockConflict;
    return sqldriver::failure::Other;
}

bool connectionLost(const ISC_STATUS* vector) {
    // The vector is a list of (argument kind, value) pairs ended by isc_arg_end;
    // a network failure usually comes as a general code followed by the detail.
    for (const ISC_STATUS* item = vector; item[0] != isc_arg_end; item += 2) {
        if (item[0] == isc_arg_gds &&
            std::find(std::begin(kLost), std::end(kLost), item[1]) != std::end(kLost))
            return true;
        if (item[0] == isc_arg_cstring) ++item;  // a counted string takes a length and a pointer
    }
    return false;
}

ISC_STATUS errorCode(const ISC_STATUS* vector) { return StatusVector::failed(vector) ? vector[1] : 0; }

void StatusVector::check(const ClientLibrary& client, sqldriver::Status failStatus) const {
    tarvel::fb::check(client, m_vector, failStatus);
}

}  // namespace tarvel::fb
