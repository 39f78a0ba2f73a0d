// The delay proxy as the benchmark runs it (tarvel_delay_proxy in its own
// process), in front of a small echo server on 127.0.0.1.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ProxyProcess.h"
#include "ProxySocket.h"

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The built proxy: in TARVEL_TEST_BIN under CTest, else beside this test.
std::string proxyProgram() {
    if (const char* folder = std::getenv("TARVEL_TEST_BIN"); folder && *folder)
        return std::string(folder) + "/tarvel_delay_proxy";
    return ProxyProcess::programBeside(std::filesystem::read_symlink("/proc/self/exe").string());
}

// Sends every byte it receives back on the same connection; counts the
// connections whose other end went away (an end of stream or a reset).
class EchoServer {
public:
    EchoServer() : m_listener(listenAt(parseSocketAddress("127.0.0.1:0"))), m_port(boundPort(m_listener)) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
        m_wakeRead = FileDescriptor(ends[0]);
        m_wakeWrite = FileDescriptor(ends[1]);
        m_thread = std::jthread([this] { serve(); });
    }
    ~EchoServer() {
        (void)!::write(m_wakeWrite.get(), "x", 1);
        m_thread.join();
    }

    std::string address() const { return "127.0.0.1:" + std::to_string(m_port); }
    // Waits at most `timeout` until `count` connections ended; how many did.
    int waitForEnded(int count, milliseconds timeout) {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, timeout, [&] { return m_ended >= count; });
        return m_ended;
    }

private:
    void serve() {
        std::vector<FileDescriptor> connections;
        for (;;) {
            std::vector<pollfd> watched{{m_wakeRead.get(), POLLIN, 0}, {m_listener.get(), POLLIN, 0}};
            for (const FileDescriptor& connection : connections)
                watched.push_back({connection.get(), POLLIN, 0});
            if (::poll(watched.data(), watched.size(), -1) < 0) continue;
            if (watched[0].revents) return;
            for (std::size_t i = 0; i < connections.size(); ++i)
                if (watched[i + 2].revents && !echo(connections[i])) {
                    connections[i].reset();
                    std::lock_guard lock(m_mutex);
                    ++m_ended;
                    m_changed.notify_all();
                }
            std::erase_if(connections, [](const FileDescriptor& connection) { return !connection.valid(); });
            if (watched[1].revents)
                for (FileDescriptor client = acceptPending(m_listener); client.valid();
                     client = acceptPending(m_listener))
                    connections.push_back(std::move(client));
        }
    }
    // False when the connection ended.
    static bool echo(const FileDescriptor& connection) {
        char buffer[65536];
        const ssize_t count = ::recv(connection.get(), buffer, sizeof buffer, 0);
        if (count <= 0) return count < 0 && errno == EAGAIN;
        for (ssize_t sent = 0; sent < count;) {
            const ssize_t now = ::send(connection.get(), buffer + sent, count - sent, MSG_NOSIGNAL);
            if (now < 0 && errno != EAGAIN) return false;
            if (now < 0) {
                pollfd writable{connection.get(), POLLOUT, 0};
                ::poll(&writable, 1, -1);
            } else {
                sent += now;
            }
        }
        return true;
    }

    FileDescriptor m_listener;
    int m_port;
    FileDescriptor m_wakeRead;
    FileDescriptor m_wakeWrite;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_ended = 0;
    std::jthread m_thread;
};

// A blocking client connection to the proxy; a read waits at most 10 s.
FileDescriptor connectTo(int port) {
    FileDescriptor socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_in address = parseSocketAddress("127.0.0.1:" + std::to_string(port));
    const timeval limit{10, 0};
    ::setsockopt(socket.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("cannot connect to the proxy");
    return socket;
}

void sendAll(const FileDescriptor& socket, const std::string& bytes) {
    ASSERT_EQ(::send(socket.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
}

std::string receive(const FileDescriptor& socket, std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t done = 0; done < size;) {
        const ssize_t count = ::recv(socket.get(), bytes.data() + done, size - done, 0);
        if (count <= 0) return bytes.substr(0, done);
        done += static_cast<std::size_t>(count);
    }
    return bytes;
}

// Message `index` of `size` bytes: no two messages, and few neighbouring bytes, alike.
std::string message(int index, std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((index * 31 + i * 7) % 251);
    return bytes;
}

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct ExchangeCase {
    const char* name;
    double rttMs;
    int exchanges;
    std::size_t size;
};

void PrintTo(const ExchangeCase& c, std::ostream* out) { *out << c.name; }

class DelayProxyExchanges : public ::testing::TestWithParam<ExchangeCase> {};

TEST_P(DelayProxyExchanges, PassesBytesInOrderLateByTheRoundTripAndCountsEachExchange) {
    const ExchangeCase& c = GetParam();
    EchoServer server;
    ProxyProcess proxy(proxyProgram(), server.address(), c.rttMs);
    const ProxyCounts before = proxy.counts();
    {
        const FileDescriptor client = connectTo(proxy.port());
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < c.exchanges; ++i) {
            sendAll(client, message(i, c.size));
            ASSERT_EQ(receive(client, c.size), message(i, c.size)) << "exchange " << i;
        }
        const double elapsed = millisecondsSince(start);
        EXPECT_GE(elapsed, c.exchanges * c.rttMs);
        EXPECT_LT(elapsed, c.exchanges * c.rttMs + 2000);  // loose: machines are noisy
    }
    const ProxyCounts counted = proxy.counts().since(before);
    EXPECT_EQ(counted.connections, 1);
    EXPECT_EQ(counted.roundTrips, c.exchanges);
    EXPECT_EQ(counted.bytesToServer, static_cast<std::int64_t>(c.exchanges * c.size));
    EXPECT_EQ(counted.bytesToClient, static_cast<std::int64_t>(c.exchanges * c.size));
    EXPECT_EQ(proxy.stop().roundTrips, before.roundTrips + c.exchanges);
}

INSTANTIATE_TEST_SUITE_P(Delays, DelayProxyExchanges,
                         ::testing::Values(ExchangeCase{"NoDelay", 0, 20, 1000},
                                           ExchangeCase{"OneMillisecond", 1, 20, 1000},
                                           ExchangeCase{"TwentyMilliseconds", 20, 5, 16000}),
                         [](const ::testing::TestParamInfo<ExchangeCase>& info) {
                             return std::string(info.param.name);
                         });

// Messages sent 20 ms apart through 200 ms: each waits its own 200 ms, not
// behind the ones before it (as a sleep per read would make it). The first
// four go before any answer can come back: one round trip between them.
TEST(DelayProxy, HoldsEachChunkForItsOwnDelayOnly) {
    EchoServer server;
    ProxyProcess proxy(proxyProgram(), server.address(), 200);
    const FileDescriptor client = connectTo(proxy.port());
    const int messages = 10;
    const Clock::time_point start = Clock::now();
    std::string sent;
    for (int i = 0; i < messages; ++i) {
        if (i > 0) std::this_thread::sleep_for(milliseconds(20));
        sent += message(i, 100);
        sendAll(client, message(i, 100));
    }
    EXPECT_EQ(receive(client, sent.size()), sent);
    const double elapsed = millisecondsSince(start);
    EXPECT_GE(elapsed, (messages - 1) * 20 + 200);
    EXPECT_LT(elapsed, (messages - 1) * 20 + 200 + 400);  // one by one it would be over 1,000 ms
    EXPECT_LE(proxy.counts().roundTrips, messages - 3);
}

// SIGUSR2: the client sees a reset, the server's side stays open (no end of
// stream reaches the server) until the proxy ends.
TEST(DelayProxy, DropResetsTheClientAndKeepsTheServerSideOpen) {
    EchoServer server;
    ProxyProcess proxy(proxyProgram(), server.address(), 1);
    const FileDescriptor client = connectTo(proxy.port());
    sendAll(client, "hello");
    ASSERT_EQ(receive(client, 5), "hello");

    EXPECT_EQ(proxy.dropClients().clientResets, 1);
    char byte = 0;
    EXPECT_EQ(::recv(client.get(), &byte, 1, 0), -1);
    EXPECT_EQ(errno, ECONNRESET);
    EXPECT_EQ(server.waitForEnded(1, milliseconds(300)), 0);

    proxy.stop();
    EXPECT_EQ(server.waitForEnded(1, milliseconds(5000)), 1);
}

}  // namespace
}  // namespace bench
