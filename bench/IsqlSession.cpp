#include "IsqlSession.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

namespace bench {

IsqlSession::IsqlSession(const std::string& fifo, const std::string& database, const std::string& password)
    : m_fifo(fifo) {
    ::unlink(m_fifo.c_str());  // an earlier session's
    if (::mkfifo(m_fifo.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
    // Opened for writing before the session opens it for reading: the spawn
    // waits for the child's opening, which waits for a writer.
    m_input = ::open(m_fifo.c_str(), O_RDWR | O_CLOEXEC);
    if (m_input < 0) throw std::runtime_error("cannot open the session's FIFO");
    ChildProcess::Setup setup;
    setup.inputFile = m_fifo;
    setup.outputPipe = true;
    m_isql.emplace("/usr/bin/isql-fb",
                   std::vector<std::string>{"-q", "-user", "SYSDBA", "-password", password, database}, setup);
}

IsqlSession::~IsqlSession() {
    try {
        end();
    } catch (...) {
        // The session ends with its input closed anyway.
    }
    if (m_isql) m_isql->waitFor(std::chrono::seconds(10));
}

void IsqlSession::send(const std::string& text) {
    if (m_input < 0 || ::write(m_input, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        throw std::runtime_error("cannot write to the isql-fb session");
}

void IsqlSession::waitForLine(const std::string& text, std::chrono::milliseconds timeout) {
    while (m_isql->readLine(timeout).find(text) == std::string::npos) {
    }
}

void IsqlSession::end(const std::string& last) {
    if (m_input < 0) return;
    const int input = m_input;
    try {
        send(last);
    } catch (...) {
        ::close(input);
        m_input = -1;
        throw;
    }
    ::close(input);
    m_input = -1;
}

}  // namespace bench
