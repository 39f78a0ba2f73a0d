// Test helpers: temporary folders, Firebird databases made with isql-fb, and
// the loopback server's availability.
//
// Server tests follow one convention: when serverAvailable() is false they
// skip, unless serverRequired() (TARVEL_REQUIRE_SERVER=1, set in CI), in which
// case they fail. TARVEL_SKIP_WITHOUT_SERVER() does exactly that.
#pragma once

#include <string>

namespace tarvel::testing {

// A fresh folder under /tmp, readable and writable by everyone (the server
// process must reach the files in it), removed with its contents at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    // path() + "/" + name.
    std::string file(const std::string& name) const;

private:
    std::string m_path;
};

// A Firebird server of a test's own (tests/support/private-fbserver.sh) on
// 127.0.0.1:`port`, beside the shared one: started at construction, with
// `config` lines added to its firebird.conf, and killed at destruction.
class PrivateServer {
public:
    explicit PrivateServer(int port, std::string config = "");
    ~PrivateServer();
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;

    // Start again after kill(); each throws std::runtime_error when the
    // script fails.
    void start();
    void kill();
    int port() const { return m_port; }
    // The form of `path` that reaches it: "127.0.0.1/<port>:<path>".
    std::string database(const std::string& path) const;

private:
    int control(const std::string& command) const;

    TempDir m_dir;
    int m_port;
    std::string m_config;
};

// Creates a dialect-3 database with default character set NONE at `path` (a
// plain file path, created embedded) and runs `sqlScript` (statements ended by
// ";") in it, then commits. The file is left readable and writable by everyone,
// with forced writes off (commits do not wait for the disk).
// Throws std::runtime_error carrying isql's output when anything fails.
// `owner`: the user that creates the database and so owns it; the script
// still runs as SYSDBA, which then owns the tables.
void createDatabase(const std::string& path, const std::string& sqlScript,
                    const std::string& owner = "SYSDBA");

// The address of the test server: "127.0.0.1".
std::string serverAddress();
// The test server's port: TARVEL_FB_PORT, default 3050 (the one a database
// text without a port reaches).
int serverPort();
// How a database file is reached through the test server: "127.0.0.1:" + path
// on port 3050, "127.0.0.1/<port>:" + path on any other.
std::string serverDatabase(const std::string& path);
// "127.0.0.1:<port>", for messages.
std::string serverDescription();
// The SYSDBA password: TARVEL_FB_PASSWORD, default "tarvel-test".
std::string testPassword();
// True when TARVEL_REQUIRE_SERVER=1: a missing server is then a failure.
bool serverRequired();
// True when a TCP connection to the test server's port succeeds now.
bool serverAvailable();
// How the server names this process's attachment over TCP in a refused
// claim: "<program>, process <pid> on host <host>".
std::string thisProcessAsServerShows();

}  // namespace tarvel::testing

// In a GoogleTest test body or fixture SetUp: skip without a server, or fail
// when the server is required.
#define TARVEL_SKIP_WITHOUT_SERVER()                                                            \
    do {                                                                                        \
        if (!::tarvel::testing::serverAvailable()) {                                            \
            if (::tarvel::testing::serverRequired())                                            \
                FAIL() << "Firebird server on " << ::tarvel::testing::serverDescription()       \
                       << " required but not running";                                          \
            GTEST_SKIP() << "no Firebird server on " << ::tarvel::testing::serverDescription(); \
        }                                                                                       \
    } while (false)
