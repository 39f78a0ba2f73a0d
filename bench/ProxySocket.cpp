#include "ProxySocket.h"

#include <arpa/inet.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace bench {

namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

void setNoDelay(const FileDescriptor& socket) {
    const int on = 1;
    if (::setsockopt(socket.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0) fail("TCP_NODELAY");
}

}  // namespace

sockaddr_in parseSocketAddress(const std::string& text) {
    const std::size_t colon = text.rfind(':');
    sockaddr_in address{};
    address.sin_family = AF_INET;
    if (colon == std::string::npos ||
        ::inet_pton(AF_INET, text.substr(0, colon).c_str(), &address.sin_addr) != 1)
        throw std::runtime_error("not an IPv4 address with a port: " + text);
    std::size_t used = 0;
    const std::string portText = text.substr(colon + 1);
    int port = -1;
    try {
        port = std::stoi(portText, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (portText.empty() || used != portText.size() || port < 0 || port > 65535)
        throw std::runtime_error("not a port: " + text);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}

FileDescriptor listenAt(const sockaddr_in& address) {
    FileDescriptor listener(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!listener.valid()) fail("socket");
    const int on = 1;
    ::setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        fail("bind");
    if (::listen(listener.get(), 64) != 0) fail("listen");
    return listener;
}

int boundPort(const FileDescriptor& socket) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&address), &size) != 0) fail("getsockname");
    return ntohs(address.sin_port);
}

FileDescriptor acceptPending(const FileDescriptor& listener) {
    FileDescriptor client(::accept4(listener.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!client.valid()) {
        // A connection that was reset while waiting is simply gone.
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNABORTED || errno == EINTR) return {};
        fail("accept");
    }
    setNoDelay(client);
    return client;
}

FileDescriptor startConnect(const sockaddr_in& address) {
    FileDescriptor server(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!server.valid()) fail("socket");
    setNoDelay(server);
    if (::connect(server.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
        errno != EINPROGRESS)
        return {};
    return server;
}

int connectError(const FileDescriptor& socket) {
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
    return error;
}

void resetConnection(FileDescriptor& socket) noexcept {
    if (!socket.valid()) return;
    const linger abort{1, 0};
    ::setsockopt(socket.get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    socket.reset();
}

}  // namespace bench
