#include "DriverError.h"

#include <vector>

#include "Error.h"

namespace tarvel {

std::string driverStatusText(sqldriver::Status status) {
    switch (status) {
        case 1:
            return "[0x0001]: Warning";
        case 2:
            return "[0x0002]: Insufficient Memory for Operation";
        case 3:
            return "[0x0003]: Invalid Field Type";
        case 4:
            return "[0x0004]: Invalid Handle";
        case 5:
            return "[0x0005]: Operation Not Supported";
        case 6:
            return "[0x0006]: Invalid Time";
        case 7:
            return "[0x0007]: Invalid Data Translation";
        case 8:
            return "[0x0008]: Parameter/Column out of Range";
        case 9:
            return "[0x0009]: Invalid Parameter";
        case 10:
            return "[0x000A]: Result set at EOF";
        case 11:
            return "Driver Error [0x000B]: Parameter Not Set";
        case 12:
            return "[0x000C] Invalid Username/Password";
        case 13:
            return "[0x000D]: Invalid Precision";
        case 14:
            return "[0x000E]: Invalid Length";
        case 15:
            return "[0x000F]: Invalid Transaction Isolation Level";
        case 16:
            return "[0x0010]: Invalid Transaction ID";
        case 17:
            return "[0x0011]: Duplicate Transaction ID";
        case 19:
            return "[0x0013]: Local Transaction already active";
        case 20:
            return "[0x0014]: Multiple Transactions not Enabled";
        case 21:
            return "[0x0015]: Connection failed";
        case 22:
            return "[0x0016]: Driver initialization failed";
        case 23:
            return "[0x0017]: Optimistic Locking failed";
        case 24:
            return "[0x0018]: Invalid REF";
        case 25:
            return "[0x0019]: No table found";
        case 100:
            return "[0x0064]: No more data";
        case 101:
            return "[0x0065]: SQL Error";
        default:
            return {};
    }
}

std::string driverServerMessage(sqldriver::ISQLObject* failed) {
    if (!failed) return {};
    std::uint16_t length = 0;
    if (failed->getErrorMessageLen(&length) != sqldriver::status::Ok || length == 0) return {};
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
    if (failed->getErrorMessage(buffer.data()) != sqldriver::status::Ok) return {};
    buffer.back() = '\0';  // the message ends within the buffer whatever the driver wrote
    return std::string(buffer.data());
}

std::string composeDriverError(sqldriver::Status status, sqldriver::ISQLObject* failed,
                               const std::string& firstFallback, const std::string& secondFallback) {
    std::string text;
    std::string own = driverStatusText(status);
    if (!own.empty()) text = "Driver Error: " + own;
    std::string server = driverServerMessage(failed);
    if (!server.empty()) {
        if (!text.empty()) text += "\r\n";
        text += "SQL Server Error: " + server;
    }
    if (text.empty()) text = firstFallback;
    if (text.empty()) text = secondFallback;
    if (text.empty()) text = "Driver Error: Unknown Error Code '" + std::to_string(status) + "'";
    return text;
}

const std::string& recordDriverError(std::string& lastError, sqldriver::Status status,
                                     sqldriver::ISQLObject* failed, const std::string& firstFallback,
                                     const std::string& secondFallback) {
    std::string text = composeDriverError(status, failed, firstFallback, secondFallback);
    lastError = std::move(text);
    return lastError;
}

}  // namespace tarvel
