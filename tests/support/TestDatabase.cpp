#include "TestDatabase.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace tarvel::testing {

namespace {

// Apostrophes doubled, for a text inside an SQL string literal.
std::string sqlLiteral(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c;
        if (c == '\'') quoted += '\'';
    }
    return quoted + "'";
}

// Runs isql-fb on the script file; returns its exit status and merged output.
int runIsql(const std::string& scriptPath, std::string* output) {
    const std::string command = "isql-fb -q -b -ch NONE -i '" + scriptPath + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot run isql-fb: " + std::string(std::strerror(errno)));
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output->append(buffer, got);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TempDir::TempDir() {
    std::string pattern = "/tmp/tarvel-test-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!::mkdtemp(name.data()))
        throw std::runtime_error("mkdtemp failed: " + std::string(std::strerror(errno)));
    m_path = name.data();
    ::chmod(m_path.c_str(), 0777);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string TempDir::file(const std::string& name) const { return m_path + "/" + name; }

void createDatabase(const std::string& path, const std::string& sqlScript, const std::string& owner) {
    const std::string scriptPath = path + ".create.sql";
    {
        std::ofstream script(scriptPath, std::ios::binary | std::ios::trunc);
        if (!script) throw std::runtime_error("cannot write " + scriptPath);
        script << "SET SQL DIALECT 3;\n"
               << "CREATE DATABASE " << sqlLiteral(path) << " USER " << sqlLiteral(owner) << " PASSWORD "
               << sqlLiteral(testPassword()) << " PAGE_SIZE 8192 DEFAULT CHARACTER SET NONE;\n";
        if (owner != "SYSDBA")
            script << "COMMIT;\nCONNECT " << sqlLiteral(path) << " USER 'SYSDBA' PASSWORD "
                   << sqlLiteral(testPassword()) << ";\n";
        script << sqlScript << "\nCOMMIT;\n";
    }
    std::string output;
    const int status = runIsql(scriptPath, &output);
    std::remove(scriptPath.c_str());
    if (status != 0 || output.find("SQLSTATE") != std::string::npos ||
        output.find("Statement failed") != std::string::npos)
        throw std::runtime_error("creating " + path + " failed (isql-fb exit " + std::to_string(status) +
                                 "):\n" + output);
    ::chmod(path.c_str(), 0666);
    // Tests need no durability; without forced writes every commit is far cheaper.
    std::string gfixOutput;
    FILE* gfix = ::popen(("gfix -user SYSDBA -write async '" + path + "' 2>&1").c_str(), "r");
    if (!gfix) throw std::runtime_error("cannot run gfix: " + std::string(std::strerror(errno)));
    char buffer[1024];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, gfix)) > 0) gfixOutput.append(buffer, got);
    const int gfixStatus = ::pclose(gfix);
    if (!WIFEXITED(gfixStatus) || WEXITSTATUS(gfixStatus) != 0)
        throw std::runtime_error("gfix -user SYSDBA -write async " + path + " failed:\n" + gfixOutput);
}

std::string serverAddress() { return "127.0.0.1"; }

int serverPort() {
    const char* text = std::getenv("TARVEL_FB_PORT");
    if (!text || !*text) return 3050;
    char* end = nullptr;
    errno = 0;
    const long port = std::strtol(text, &end, 10);
    // A wrong setting must not quietly send the tests to another server.
    if (errno != 0 || *end != '\0' || port < 1 || port > 65535)
        throw std::runtime_error("TARVEL_FB_PORT is '" + std::string(text) + "', not a port number");
    return static_cast<int>(port);
}

std::string serverDatabase(const std::string& path) {
    const int port = serverPort();
    if (port == 3050) return serverAddress() + ":" + path;
    return serverAddress() + "/" + std::to_string(port) + ":" + path;
}

std::string serverDescription() { return serverAddress() + ":" + std::to_string(serverPort()); }

std::string testPassword() {
    const char* password = std::getenv("TARVEL_FB_PASSWORD");
    return password && *password ? password : "tarvel-test";
}

bool serverRequired() {
    const char* required = std::getenv("TARVEL_REQUIRE_SERVER");
    return required && std::string(required) == "1";
}

bool serverAvailable() {
    const int port = serverPort();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, serverAddress().c_str(), &address.sin_addr);
    const bool accepted = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return accepted;
}

std::string thisProcessAsServerShows() {
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    return std::filesystem::read_symlink("/proc/self/exe").filename().string() + ", process " +
           std::to_string(::getpid()) + " on host " + host;
}

PrivateServer::PrivateServer(int port, std::string config) : m_port(port), m_config(std::move(config)) {
    start();
}

PrivateServer::~PrivateServer() { control("kill"); }

int PrivateServer::control(const std::string& command) const {
    std::string line = std::string(TARVEL_SOURCE_DIR) + "/tests/support/private-fbserver.sh " + command +
                       " '" + m_dir.path() + "' " + std::to_string(m_port) + " >/dev/null";
    if (!m_config.empty()) line = "TARVEL_FB_CONFIG='" + m_config + "' " + line;
    return std::system(line.c_str());
}

void PrivateServer::start() {
    if (control("start") != 0) throw std::runtime_error("the private server did not start");
}

void PrivateServer::kill() {
    if (control("kill") != 0) throw std::runtime_error("the private server did not end");
}

std::string PrivateServer::database(const std::string& path) const {
    return "127.0.0.1/" + std::to_string(m_port) + ":" + path;
}

}  // namespace tarvel::testing
