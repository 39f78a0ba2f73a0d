// The socket calls of the delay proxy: IPv4 addresses written "a.b.c.d:port",
// non-blocking TCP sockets with Nagle's delay off (the proxy adds the delay
// it is asked for, and no other), and the reset of a connection.
#pragma once

#include <netinet/in.h>

#include <string>

#include "FileDescriptor.h"

namespace bench {

// "127.0.0.1:3050" as a socket address; throws std::runtime_error on anything else.
sockaddr_in parseSocketAddress(const std::string& text);

// A non-blocking socket listening at `address` (port 0: a free one).
FileDescriptor listenAt(const sockaddr_in& address);
// The port a socket is bound to.
int boundPort(const FileDescriptor& socket);
// The next pending connection of a listening socket, non-blocking; an
// invalid descriptor when none is waiting.
FileDescriptor acceptPending(const FileDescriptor& listener);
// A non-blocking socket whose connection to `address` is under way: it
// becomes writable once connected, and connectError() then tells the outcome.
FileDescriptor startConnect(const sockaddr_in& address);
// The error of a finished connect (0 when connected).
int connectError(const FileDescriptor& socket);
// Closes the socket so that its peer sees a reset rather than an orderly end.
void resetConnection(FileDescriptor& socket) noexcept;

}  // namespace bench
