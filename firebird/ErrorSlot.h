// The last error message and codes of one driver object, and the one place where an
// exception inside the driver becomes the status an interface call returns.
#pragma once

#include <chrono>
#include <cstring>
#include <exception>
#include <functional>
#include <new>
#include <string>

#include "DriverFailure.h"
#include "SqlDriver.h"

namespace tarvel::fb {

class ErrorSlot {
public:
    // Runs `work`; a success clears nothing (the message of the last failed
    // call stays readable), a failure records its message and codes and
    // returns its status.
    template <typename Work>
    sqldriver::Status run(Work&& work) noexcept {
        // Timed only where a failure's text may depend on how long it waited.
        const auto started =
            m_note ? std::chrono::steady_clock::now() : std::chrono::steady_clock::time_point();
        try {
            work();
            return sqldriver::status::Ok;
        } catch (const DriverFailure& failure) {
            if (m_note) return recordNoted(failure, std::chrono::steady_clock::now() - started);
            return record(failure.status(), failure.what(), failure.codes());
        } catch (const std::bad_alloc&) {
            return record(sqldriver::status::NoMemory, "out of memory");
        } catch (const std::exception& error) {
            return record(sqldriver::status::SqlError, error.what());
        } catch (...) {
            return record(sqldriver::status::SqlError, "unknown failure");
        }
    }

    // A line for the text of a failure (given its codes and how long its call
    // ran) when it has one to add, else empty; none is asked by default.
    using Note =
        std::function<std::string(const sqldriver::ErrorCodes&, std::chrono::steady_clock::duration)>;
    void noteFailuresWith(Note note) { m_note = std::move(note); }

    // codes: the server's, none for a failure of the driver's own.
    sqldriver::Status record(sqldriver::Status status, const char* message,
                             const sqldriver::ErrorCodes& codes = {}) noexcept {
        m_codes = codes;
        try {
            m_message = message;
            if (m_message.size() > 65535) m_message.resize(65535);
        } catch (...) {
            m_message.clear();
        }
        return status;
    }

    const std::string& message() const noexcept { return m_message; }

    sqldriver::Status length(std::uint16_t* length) const noexcept {
        if (!length) return sqldriver::status::InvalidParameter;
        *length = static_cast<std::uint16_t>(m_message.size());
        return sqldriver::status::Ok;
    }

    sqldriver::Status copy(char* buffer) const noexcept {
        if (!buffer) return sqldriver::status::InvalidParameter;
        std::memcpy(buffer, m_message.c_str(), m_message.size() + 1);
        return sqldriver::status::Ok;
    }

    sqldriver::Status codes(sqldriver::ErrorCodes* codes) const noexcept {
        if (!codes) return sqldriver::status::InvalidParameter;
        *codes = m_codes;
        return sqldriver::status::Ok;
    }

private:
    sqldriver::Status recordNoted(const DriverFailure& failure,
                                  std::chrono::steady_clock::duration waited) noexcept {
        try {
            const std::string note = m_note(failure.codes(), waited);
            if (!note.empty())
                return record(failure.status(), (failure.what() + ("\n" + note)).c_str(), failure.codes());
        } catch (...) {
            // The failure keeps its own text.
        }
        return record(failure.status(), failure.what(), failure.codes());
    }

    Note m_note;
    std::string m_message;
    sqldriver::ErrorCodes m_codes;
};

}  // namespace tarvel::fb
