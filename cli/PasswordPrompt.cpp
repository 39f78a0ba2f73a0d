#include "PasswordPrompt.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Error.h"

namespace tarvel {

namespace {

volatile sig_atomic_t g_caughtSignal = 0;

void noteSignal(int signal) { g_caughtSignal = signal; }

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// While the terminal does not echo, a stop signal must not end the program
// before echo is back: it is caught (which makes the read return), and
// raised again once the terminal is restored. A signal ignored at start
// stays ignored.
class CaughtStops {
public:
    CaughtStops() {
        g_caughtSignal = 0;
        struct sigaction catcher {};
        catcher.sa_handler = &noteSignal;
        sigemptyset(&catcher.sa_mask);
        catcher.sa_flags = 0;  // no SA_RESTART: the read returns with EINTR
        for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
            ::sigaction(kStopSignals[i], nullptr, &m_previous[i]);
            if (m_previous[i].sa_handler != SIG_IGN) ::sigaction(kStopSignals[i], &catcher, nullptr);
        }
    }
    ~CaughtStops() {
        for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
            ::sigaction(kStopSignals[i], &m_previous[i], nullptr);
    }
    CaughtStops(const CaughtStops&) = delete;
    CaughtStops& operator=(const CaughtStops&) = delete;

private:
    struct sigaction m_previous[std::size(kStopSignals)]{};
};

// Echo off on a terminal for the object's life.
class EchoOff {
public:
    explicit EchoOff(int terminal) : m_terminal(terminal) {
        if (::tcgetattr(terminal, &m_saved) != 0) return;
        termios silent = m_saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        silent.c_lflag |= ECHONL;
        m_active = ::tcsetattr(terminal, TCSAFLUSH, &silent) == 0;
    }
    ~EchoOff() {
        if (m_active) ::tcsetattr(m_terminal, TCSAFLUSH, &m_saved);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    int m_terminal;
    termios m_saved{};
    bool m_active = false;
};

// Bytes up to the first line break, one read at a time so that nothing
// after the line is taken from the input. Returns false when the input
// ended before any byte; a caught stop signal is left in g_caughtSignal.
bool readLine(int input, std::string& line) {
    bool any = false;
    for (;;) {
        char c = 0;
        const ssize_t got = ::read(input, &c, 1);
        if (got < 0 && errno == EINTR) {
            if (g_caughtSignal != 0) return any;
            continue;
        }
        if (got < 0)
            throw Error(std::string("cannot read the password from standard input: ") + std::strerror(errno));
        if (got == 0) return any;
        any = true;
        if (c == '\n') return true;
        line += c;
    }
}

}  // namespace

std::string passwordFromInput(int input, std::FILE* prompts) {
    std::string line;
    bool read = false;
    int caught = 0;
    if (::isatty(input) == 1) {
        std::fputs("Password: ", prompts);
        std::fflush(prompts);
        CaughtStops stops;
        {
            EchoOff silent(input);
            read = readLine(input, line);
        }
        caught = g_caughtSignal;
    } else {
        read = readLine(input, line);
    }
    if (caught != 0) {
        // The terminal echoes again and the signal's own handling is back:
        // it now takes the effect it would have had.
        std::fill(line.begin(), line.end(), '\0');
        ::raise(caught);
        throw Error("stopped while the password was typed");
    }
    if (!read) throw Error("standard input ended before the password");
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace tarvel
