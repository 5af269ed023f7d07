// CSocket and the CNetIO TCP operations, on 127.0.0.1 with ephemeral ports.
#include "snmp/NetIO.h"
#include "snmp/Socket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// A listening TCP socket on 127.0.0.1 with an ephemeral port.
struct Listener {
    int fd = -1;
    sockaddr_in addr{};
    Listener()
    {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), len), 0);
        EXPECT_EQ(::listen(fd, 4), 0);
        EXPECT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    }
    ~Listener() { ::close(fd); }
    int port() const { return ntohs(addr.sin_port); }
    int accept() { return ::accept(fd, nullptr, nullptr); }
};

// A port on 127.0.0.1 with nobody listening (bound, then released).
int closedPort()
{
    Listener l;
    return l.port();
}

bool fdIsOpen(int fd)
{
    return ::fcntl(fd, F_GETFD) != -1;
}

TEST(CSocket, ShortReadGivesEpipeWithTheCount)
{
    Listener l;
    CSocket s;
    ASSERT_EQ(s.Open(AF_INET, SOCK_STREAM, IPPROTO_TCP), 0);
    ASSERT_TRUE(s.Valid());
    ASSERT_EQ(s.Connect(reinterpret_cast<sockaddr*>(&l.addr), sizeof l.addr), 0);
    int peer = l.accept();
    ASSERT_GE(peer, 0);
    std::thread writer([peer] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the reader waits first
        ASSERT_EQ(::write(peer, "abcd", 4), 4);
        ::close(peer);
    });
    char buf[10];
    unsigned long count = 99;
    EXPECT_EQ(s.Read(buf, sizeof buf, &count), EPIPE);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(std::string(buf, 4), "abcd");
    writer.join();
    // Writing to the closed peer ends with an error, never with a signal.
    int err = 0;
    for (int i = 0; i < 50 && err == 0; ++i)
        err = s.Write("0123456789", 10, &count);
    EXPECT_TRUE(err == EPIPE || err == ECONNRESET) << err;
}

TEST(CSocket, FullTransfersBothWays)
{
    Listener l;
    CNetIO io;
    ASSERT_EQ(io.NetworkConnect("127.0.0.1", l.port()), 0);
    int peer = l.accept();
    ASSERT_GE(peer, 0);
    std::string big(1 << 20, 'q'); // more than the socket buffers hold: Write must wait
    auto drained = std::async(std::launch::async, [peer, n = big.size()] {
        std::string got;
        char b[65536];
        while (got.size() < n) {
            ssize_t r = ::read(peer, b, sizeof b);
            if (r <= 0)
                break;
            got.append(b, static_cast<size_t>(r));
        }
        (void)!::write(peer, "pong", 4);
        return got.size();
    });
    EXPECT_EQ(io.NetworkWrite(0, big.data(), static_cast<int>(big.size())), static_cast<int>(big.size()));
    EXPECT_EQ(drained.get(), big.size());
    char reply[4];
    EXPECT_EQ(io.NetworkRead(0, reply, 4), 4);
    EXPECT_EQ(std::string(reply, 4), "pong");
    io.NetworkClose(0);
    EXPECT_FALSE(io.Valid());
    EXPECT_EQ(io.NetworkRead(0, reply, 4), 0);
    ::close(peer);
}

TEST(CSocket, CancelEndsWaitsUntilReopened)
{
    Listener l;
    CSocket s;
    ASSERT_EQ(s.Open(AF_INET, SOCK_STREAM, IPPROTO_TCP), 0);
    ASSERT_EQ(s.Connect(reinterpret_cast<sockaddr*>(&l.addr), sizeof l.addr), 0);
    int peer = l.accept();
    // A Read waiting for data that never comes is ended by Cancel from another thread.
    auto reader = std::async(std::launch::async, [&s] {
        char b[4];
        unsigned long n = 0;
        return s.Read(b, sizeof b, &n);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(s.Cancel(), 0);
    ASSERT_EQ(reader.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(reader.get(), ECANCELED);
    // A second Cancel writes nothing more: exactly one byte sits in the pair.
    EXPECT_EQ(s.Cancel(), 0);
    char pairBytes[4];
    EXPECT_EQ(::recv(s.cancelReadFd, pairBytes, sizeof pairBytes, MSG_DONTWAIT | MSG_PEEK), 1);
    bool ready = true;
    EXPECT_EQ(s.Select(SELECTMODE_READ, &ready), ECANCELED);
    EXPECT_EQ(s.Select(SELECTMODE_WRITE, &ready), ECANCELED);
    EXPECT_TRUE(s.Valid()); // the socket stays open

    s.Close();
    EXPECT_FALSE(s.Valid());
    ASSERT_EQ(s.Open(AF_INET, SOCK_STREAM, IPPROTO_TCP), 0);
    ASSERT_EQ(s.Connect(reinterpret_cast<sockaddr*>(&l.addr), sizeof l.addr), 0);
    EXPECT_EQ(s.Select(SELECTMODE_WRITE, &ready), 0);
    EXPECT_TRUE(ready);
    ::close(peer);
}

TEST(CSocket, RefusedConnectAndClosedObjects)
{
    int port = closedPort();
    CSocket s;
    ASSERT_EQ(s.Open(AF_INET, SOCK_STREAM, IPPROTO_TCP), 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(s.Connect(reinterpret_cast<sockaddr*>(&addr), sizeof addr), ECONNREFUSED);
    EXPECT_EQ(s.Connect(nullptr, 0), -1);

    CNetIO io;
    EXPECT_EQ(io.NetworkConnect("127.0.0.1", port), ECONNREFUSED);

    CSocket closed;
    char b[1];
    unsigned long count = 77;
    EXPECT_EQ(closed.Read(b, 1, &count), -1);
    EXPECT_EQ(closed.Write(b, 1, &count), -1);
    EXPECT_EQ(count, 77u); // untouched
    EXPECT_FALSE(closed.Valid());

    CNetIO never;
    EXPECT_EQ(never.NetworkRead(0, b, 1), 0);
    EXPECT_EQ(never.NetworkConnect("no such host.invalid", 80), -1);
    EXPECT_FALSE(never.Valid());
}

TEST(CSocket, DestructorClosesAllThreeDescriptors)
{
    int fds[3];
    {
        CSocket s;
        ASSERT_EQ(s.Open(AF_INET, SOCK_STREAM, IPPROTO_TCP), 0);
        fds[0] = s.socketFd;
        fds[1] = s.cancelWriteFd;
        fds[2] = s.cancelReadFd;
        EXPECT_EQ(s.highestFd, std::max({fds[0], fds[1], fds[2]}));
        for (int fd : fds)
            EXPECT_TRUE(fdIsOpen(fd));
        // Reopening replaces all three.
        ASSERT_EQ(s.Open(AF_INET, SOCK_STREAM, IPPROTO_TCP), 0);
        fds[0] = s.socketFd;
        fds[1] = s.cancelWriteFd;
        fds[2] = s.cancelReadFd;
    }
    for (int fd : fds)
        EXPECT_FALSE(fdIsOpen(fd)) << fd;
}

} // namespace
