// A non-blocking TCP socket whose every wait can be cancelled: each wait
// watches the socket and one end of a private socket pair; Cancel() writes one
// byte into the other end and the wait returns ECANCELED.
#pragma once

#include <atomic>
#include <cstddef>
#include <sys/socket.h>

enum SOCKETSELECTMODE {
    SELECTMODE_CONNECT = 0, // readable or writable, nothing reported
    SELECTMODE_READ = 1,
    SELECTMODE_WRITE = 2,
};

// Return codes of the members: 0 on success; otherwise the system error
// number of the failing call, -1 for an object that is not open (or a null
// address), EPIPE for a transfer that moved zero bytes, ECANCELED when a wait
// ended by cancellation.
class CSocket {
public:
    CSocket();
    // Sends the cancel byte (ending any wait in progress), then closes.
    ~CSocket();
    CSocket(const CSocket&) = delete;
    CSocket& operator=(const CSocket&) = delete;

    // Closes what was open, creates a non-blocking socket and a new cancel pair.
    int Open(int family, int type, int protocol);
    int Connect(const struct sockaddr* addr, socklen_t addrLen);
    // Waits without timeout for the mode's readiness or cancellation. When
    // ready is not null and the mode is READ or WRITE, stores the readiness.
    int Select(SOCKETSELECTMODE mode, bool* ready);
    // Transfer exactly size bytes, or end with an error; *count (when given)
    // receives the bytes moved. A peer that closes early gives EPIPE.
    int Read(void* buffer, size_t size, unsigned long* count);
    int Write(const void* data, size_t size, unsigned long* count);
    // Writes the cancel byte once; later calls return 0 and write nothing.
    int Cancel();
    bool Valid() const;
    void Close();

    static const char kCancelMessage;

    int socketFd = -1;
    int cancelWriteFd = -1;
    int cancelReadFd = -1;
    int highestFd = -1;
    std::atomic<bool> cancelled{false};
};
