// Internal to the SNMP library: how it listens for answers. Every loop of
// the library that waits for datagrams runs here, bounded in time and in
// datagrams whatever arrives (the bounds are in NetIO.h), and every datagram
// is judged by where it came from before anything parses it.
#pragma once

#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <vector>

// Who may answer a message, by where it was sent.
enum class AnswerFrom {
    Peer,   // a unicast address: only that address, from the port it was sent to
    Link,   // a broadcast or a link-scope multicast: any address of the link the answer came in by
    Anyone, // a multicast beyond the link
};

// The machine's interfaces as discovery needs them: each address with its
// interface and prefix, read once per operation.
class LocalLinks {
public:
    // read false: an empty table, for unicast peers only.
    explicit LocalLinks(bool read = true);
    // Whether source lies on the link of the interface with that index: an
    // IPv6 link-local source always does (the kernel gave its interface); any
    // other lies in the prefix of an address of that interface (IPv4 netmask,
    // IPv6 prefix length).
    bool onLink(int ifindex, const sockaddr* source) const;
    // 255.255.255.255, or the broadcast address of a local IPv4 subnet.
    bool isBroadcast(const in_addr& address) const;

private:
    struct Prefix {
        int ifindex;
        int family;
        unsigned char address[16];
        unsigned char mask[16];
        bool hasBroadcast;
        unsigned char broadcast[4];
    };
    std::vector<Prefix> prefixes_;
};

// Who may answer a message sent to dest.
AnswerFrom answerFromFor(const sockaddr* dest, const LocalLinks& links);

// One datagram as a listening loop hands it on.
struct Datagram {
    unsigned char* data;
    int size;
    sockaddr_storage from;
    socklen_t fromLength;
    int ifindex; // the interface it came in by; 0 when the kernel did not say
};

// Whether the datagram may answer a message sent to dest (with the port it
// was sent to). Counts what it refuses in g_listenCounts and traces it.
bool mayAnswer(const sockaddr* dest, AnswerFrom from, const Datagram& datagram, const LocalLinks& links);
// The same for a message sent to several destinations; the index of the one
// it answers, or -1.
struct Destination {
    sockaddr_storage address;
    socklen_t length;
    AnswerFrom from;
};
int answeredDestination(const std::vector<Destination>& sent, const Datagram& datagram, const LocalLinks& links);

// Equal addresses and ports (IPv6: and scopes, where both carry one).
bool sameEndpoint(const sockaddr* a, const sockaddr* b);
// The same without the ports.
bool sameAddress(const sockaddr* a, const sockaddr* b);

struct ListenBounds {
    int quietMs;       // a socket stops listening after this long without a datagram
    int limitMs;       // every socket stops this long after the loop's clock started
    int maxDatagrams;  // and once this many datagrams were handled
};

// A bounded loop over several sockets. The loop's clock starts at
// construction. Each socket listens until quietMs pass without a datagram on
// it (or a send through touch()); all stop at limitMs or after maxDatagrams,
// or when the handler calls finish(). The sockets stay their owners'.
class Listener {
public:
    explicit Listener(const ListenBounds& bounds);
    // Listens on fd from now on; returns its id.
    int add(int fd);
    // Restarts the quiet window of a socket (after a send on it).
    void touch(int id);
    // Stops listening on a socket.
    void drop(int id);
    // Ends the loop at the next turn.
    void finish() { finished_ = true; }
    // Runs fn once, atMs after the loop's clock started (while the loop
    // still runs); fn may send and touch().
    void schedule(int atMs, std::function<void()> fn);
    // Receives until the bounds end the loop; onDatagram gets the socket's id
    // and the datagram (in a buffer of `capacity` bytes; a longer datagram is
    // cut) and may add, touch or drop sockets.
    void run(int capacity, const std::function<void(int id, Datagram& datagram)>& onDatagram);
    int datagrams() const { return datagrams_; }
    // What is left of the loop's time (0 when none).
    long long leftMs() const;

private:
    struct Socket {
        int fd;
        long long quietUntilMs;
        bool open;
    };
    long long nowMs() const;

    struct Due {
        long long atMs;
        std::function<void()> fn;
        bool done;
    };
    ListenBounds bounds_;
    long long startMs_;
    std::vector<Due> due_;
    std::vector<Socket> sockets_;
    int datagrams_ = 0;
    bool finished_ = false;
};

// Receives one datagram on fd that may answer a message sent to dest, waiting
// at most timeoutMs in all; datagrams from elsewhere are dropped (at most
// kListenMaxDatagrams). The datagram's size, or -1 when none came.
long receiveAnswer(int fd, unsigned char* buffer, int capacity, const sockaddr* dest, int timeoutMs);
