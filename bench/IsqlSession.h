// An isql-fb session that stays attached between statements: its input is a
// FIFO this object writes, so it waits for more. Tests use it to hold what a
// client program holds (a row lock, a context variable) while a run runs.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "ChildProcess.h"

namespace bench {

class IsqlSession {
public:
    // Attaches to `database` as SYSDBA; the FIFO is made at `fifo`.
    IsqlSession(const std::string& fifo, const std::string& database, const std::string& password);
    // Ends the session (QUIT) unless end() did, and waits for it.
    ~IsqlSession();
    IsqlSession(const IsqlSession&) = delete;
    IsqlSession& operator=(const IsqlSession&) = delete;

    // Sends statements; throws std::runtime_error when they cannot be written.
    void send(const std::string& text);
    // Waits for an output line holding `text`; throws when none comes in time.
    void waitForLine(const std::string& text, std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Sends `last` (which should end with QUIT) and closes the input.
    void end(const std::string& last = "QUIT;\n");

private:
    std::string m_fifo;
    std::optional<ChildProcess> m_isql;
    int m_input = -1;
};

}  // namespace bench
