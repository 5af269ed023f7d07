// CSocket: a non-blocking TCP socket with cancellable waits.
#include "snmp/Socket.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

const char CSocket::kCancelMessage = 0;

namespace {

void closeFd(int& fd)
{
    if (fd != -1) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace

CSocket::CSocket() = default;

CSocket::~CSocket()
{
    if (!cancelled && cancelWriteFd != -1) {
        if (::send(cancelWriteFd, &kCancelMessage, 1, MSG_NOSIGNAL) == 1)
            cancelled = true;
    }
    Close();
}

bool CSocket::Valid() const
{
    return socketFd != -1 && cancelWriteFd != -1 && cancelReadFd != -1 && socketFd <= highestFd &&
           cancelWriteFd <= highestFd && cancelReadFd <= highestFd;
}

void CSocket::Close()
{
    closeFd(socketFd);
    closeFd(cancelWriteFd);
    closeFd(cancelReadFd);
    cancelled = false;
}

int CSocket::Open(int family, int type, int protocol)
{
    if (socketFd != -1 || cancelWriteFd != -1 || cancelReadFd != -1) {
        // End any wait still in progress on the old descriptors first.
        if (!cancelled && cancelWriteFd != -1)
            (void)::send(cancelWriteFd, &kCancelMessage, 1, MSG_NOSIGNAL);
        Close();
    }
    int err = 0;
    socketFd = ::socket(family, type, protocol);
    if (socketFd == -1) {
        err = errno;
    } else {
        int flags = ::fcntl(socketFd, F_GETFL, 0);
        if (flags == -1 || ::fcntl(socketFd, F_SETFL, flags | O_NONBLOCK) == -1) {
            err = errno;
        } else {
            int pair[2];
            if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) == -1) {
                err = errno;
            } else {
                cancelWriteFd = pair[0];
                cancelReadFd = pair[1];
            }
        }
    }
    if (err != 0) {
        Close();
        return err;
    }
    highestFd = std::max({socketFd, cancelWriteFd, cancelReadFd});
    return 0;
}

int CSocket::Select(SOCKETSELECTMODE mode, bool* ready)
{
    if (!Valid())
        return -1;
    // poll() rather than select(): descriptors above FD_SETSIZE stay safe.
    pollfd fds[2] = {};
    fds[0].fd = cancelReadFd;
    fds[0].events = POLLIN;
    fds[1].fd = socketFd;
    switch (mode) {
    case SELECTMODE_READ:
        fds[1].events = POLLIN;
        break;
    case SELECTMODE_WRITE:
        fds[1].events = POLLOUT;
        break;
    case SELECTMODE_CONNECT:
        fds[1].events = POLLIN | POLLOUT;
        break;
    }
    for (;;) {
        int r = ::poll(fds, 2, -1);
        if (r >= 0)
            break;
        if (errno != EINTR)
            return errno;
    }
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR))
        return ECANCELED;
    if (ready != nullptr && mode != SELECTMODE_CONNECT) {
        short want = mode == SELECTMODE_READ ? POLLIN : POLLOUT;
        *ready = (fds[1].revents & (want | POLLHUP | POLLERR)) != 0;
    }
    return 0;
}

int CSocket::Connect(const struct sockaddr* addr, socklen_t addrLen)
{
    if (addr == nullptr)
        return -1;
    if (::connect(socketFd, addr, addrLen) == 0)
        return 0;
    if (errno != EINPROGRESS)
        return errno;
    int r = Select(SELECTMODE_CONNECT, nullptr);
    if (r != 0)
        return r;
    sockaddr_storage peer;
    socklen_t peerLen = sizeof peer;
    if (::getpeername(socketFd, reinterpret_cast<sockaddr*>(&peer), &peerLen) == 0)
        return 0;
    if (errno != ENOTCONN)
        return errno;
    int pending = 0;
    socklen_t len = sizeof pending;
    if (::getsockopt(socketFd, SOL_SOCKET, SO_ERROR, &pending, &len) == -1)
        return errno;
    return pending;
}

// Moves all `size` bytes, waiting in Select whenever the socket would block.
// Zero bytes moved is EPIPE; the count moved is reported either way.
template <typename Step>
static int transferAll(CSocket& socket, SOCKETSELECTMODE mode, size_t size, unsigned long* count, Step step)
{
    size_t done = 0;
    int err = 0;
    while (done < size) {
        ssize_t n = step(done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n == 0) {
            err = EPIPE;
            break;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            err = socket.Select(mode, nullptr);
            if (err != 0)
                break;
        } else if (errno != EINTR) {
            err = errno;
            break;
        }
    }
    if (count != nullptr)
        *count = done;
    return err;
}

int CSocket::Read(void* buffer, size_t size, unsigned long* count)
{
    if (!Valid())
        return -1;
    auto* p = static_cast<char*>(buffer);
    return transferAll(*this, SELECTMODE_READ, size, count,
                       [&](size_t done) { return ::read(socketFd, p + done, size - done); });
}

int CSocket::Write(const void* data, size_t size, unsigned long* count)
{
    if (!Valid())
        return -1;
    const auto* p = static_cast<const char*>(data);
    // MSG_NOSIGNAL: a peer that went away gives EPIPE, not a SIGPIPE.
    return transferAll(*this, SELECTMODE_WRITE, size, count,
                       [&](size_t done) { return ::send(socketFd, p + done, size - done, MSG_NOSIGNAL); });
}

int CSocket::Cancel()
{
    if (cancelled)
        return 0;
    if (::send(cancelWriteFd, &kCancelMessage, 1, MSG_NOSIGNAL) != 1)
        return errno;
    cancelled = true;
    return 0;
}
