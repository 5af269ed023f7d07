// The library's listening loops and the judgement of where an answer came
// from (Listen.h).
#include "snmp/Listen.h"

#include "snmp/Exchange.h"
#include "snmp/NetIO.h"
#include "snmp/Trace.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <poll.h>
#include <sys/uio.h>
#include <time.h>

namespace {

constexpr int kDrainBatch = 64; // datagrams read from one socket between two polls

long long monotonicMs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

const unsigned char* addressBytes(const sockaddr* a)
{
    if (a->sa_family == AF_INET)
        return reinterpret_cast<const unsigned char*>(&reinterpret_cast<const sockaddr_in*>(a)->sin_addr);
    return reinterpret_cast<const unsigned char*>(&reinterpret_cast<const sockaddr_in6*>(a)->sin6_addr);
}

int addressSize(int family) { return family == AF_INET ? 4 : 16; }

int portOf(const sockaddr* a)
{
    if (a->sa_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in*>(a)->sin_port);
    if (a->sa_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(a)->sin6_port);
    return -1;
}

bool isLinkLocal6(const sockaddr* a)
{
    return a->sa_family == AF_INET6 && IN6_IS_ADDR_LINKLOCAL(&reinterpret_cast<const sockaddr_in6*>(a)->sin6_addr);
}

// The interface a datagram came in by, from its packet information.
int arrivalInterface(msghdr& message)
{
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info;
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            return info.ipi_ifindex;
        }
        if (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_PKTINFO) {
            in6_pktinfo info;
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            return static_cast<int>(info.ipi6_ifindex);
        }
    }
    return 0;
}

// One datagram from fd without waiting: its size, or -1 (errno set).
long receiveOne(int fd, unsigned char* buffer, int capacity, Datagram& datagram)
{
    iovec io{buffer, static_cast<size_t>(capacity)};
    alignas(cmsghdr) unsigned char control[256];
    msghdr message{};
    datagram.from = {};
    message.msg_name = &datagram.from;
    message.msg_namelen = sizeof datagram.from;
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t got = ::recvmsg(fd, &message, MSG_DONTWAIT);
    if (got < 0)
        return -1;
    datagram.data = buffer;
    datagram.size = static_cast<int>(std::min<ssize_t>(got, capacity));
    datagram.fromLength = message.msg_namelen;
    datagram.ifindex = arrivalInterface(message);
    return datagram.size;
}

void traceIgnored(const char* why, int soFar, const Datagram& datagram)
{
    char text[INET6_ADDRSTRLEN];
    addressText(reinterpret_cast<const sockaddr*>(&datagram.from), text, sizeof text);
    lwTrace("ignored answer from %s (interface %d): %s; %d so far\n", text, datagram.ifindex, why, soFar);
}

// Judges without counting.
bool answers(const sockaddr* dest, AnswerFrom from, const Datagram& datagram, const LocalLinks& links)
{
    const auto* source = reinterpret_cast<const sockaddr*>(&datagram.from);
    if (source->sa_family != dest->sa_family || portOf(source) != portOf(dest))
        return false;
    switch (from) {
    case AnswerFrom::Anyone:
        return true;
    case AnswerFrom::Link:
        return datagram.ifindex != 0 ? links.onLink(datagram.ifindex, source) : false;
    case AnswerFrom::Peer:
        break;
    }
    if (std::memcmp(addressBytes(source), addressBytes(dest), static_cast<size_t>(addressSize(dest->sa_family))) != 0)
        return false;
    // A link-local peer must answer by the link it was asked on.
    if (isLinkLocal6(dest)) {
        const uint32_t scope = reinterpret_cast<const sockaddr_in6*>(dest)->sin6_scope_id;
        if (scope != 0 && datagram.ifindex != 0 && static_cast<uint32_t>(datagram.ifindex) != scope)
            return false;
    }
    return true;
}

void count(AnswerFrom from, const Datagram& datagram)
{
    if (from == AnswerFrom::Link) {
        ++g_listenCounts.offLink;
        traceIgnored("not on its link", g_listenCounts.offLink, datagram);
    } else {
        ++g_listenCounts.notAsked;
        traceIgnored("not from the address asked", g_listenCounts.notAsked, datagram);
    }
}

} // namespace

// ------------------------------------------------------------ LocalLinks

LocalLinks::LocalLinks(bool read)
{
    ifaddrs* all = nullptr;
    if (!read || ::getifaddrs(&all) != 0)
        return;
    for (const ifaddrs* a = all; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_netmask == nullptr
            || (a->ifa_addr->sa_family != AF_INET && a->ifa_addr->sa_family != AF_INET6))
            continue;
        Prefix p{};
        p.family = a->ifa_addr->sa_family;
        p.ifindex = static_cast<int>(::if_nametoindex(a->ifa_name));
        const int n = addressSize(p.family);
        std::memcpy(p.address, addressBytes(a->ifa_addr), static_cast<size_t>(n));
        std::memcpy(p.mask, addressBytes(a->ifa_netmask), static_cast<size_t>(n));
        if (p.family == AF_INET && (a->ifa_flags & IFF_BROADCAST) != 0 && a->ifa_broadaddr != nullptr
            && a->ifa_broadaddr->sa_family == AF_INET) {
            p.hasBroadcast = true;
            std::memcpy(p.broadcast, addressBytes(a->ifa_broadaddr), 4);
        }
        prefixes_.push_back(p);
    }
    ::freeifaddrs(all);
}

bool LocalLinks::onLink(int ifindex, const sockaddr* source) const
{
    if (isLinkLocal6(source))
        return true;
    const int n = addressSize(source->sa_family);
    const unsigned char* bytes = addressBytes(source);
    for (const Prefix& p : prefixes_) {
        if (p.ifindex != ifindex || p.family != source->sa_family)
            continue;
        bool same = true;
        for (int i = 0; same && i < n; ++i)
            same = (bytes[i] & p.mask[i]) == (p.address[i] & p.mask[i]);
        if (same)
            return true;
    }
    return false;
}

bool LocalLinks::isBroadcast(const in_addr& address) const
{
    if (address.s_addr == htonl(INADDR_BROADCAST))
        return true;
    const auto* a = reinterpret_cast<const unsigned char*>(&address);
    for (const Prefix& p : prefixes_) {
        if (p.family != AF_INET)
            continue;
        if (p.hasBroadcast && std::memcmp(p.broadcast, a, 4) == 0)
            return true;
        // The subnet's directed broadcast, whether or not it was configured
        // (a /31 or /32 has none).
        bool all = (p.mask[3] & 0x02) == 0;
        for (int i = 0; all && i < 4; ++i)
            all = (a[i] & p.mask[i]) == (p.address[i] & p.mask[i]) && (a[i] | p.mask[i]) == 0xFF;
        if (all)
            return true;
    }
    return false;
}

AnswerFrom answerFromFor(const sockaddr* dest, const LocalLinks& links)
{
    if (dest->sa_family == AF_INET) {
        const in_addr a = reinterpret_cast<const sockaddr_in*>(dest)->sin_addr;
        if (links.isBroadcast(a))
            return AnswerFrom::Link;
        if (IN_MULTICAST(ntohl(a.s_addr)))
            return (ntohl(a.s_addr) & 0xFFFFFF00u) == 0xE0000000u ? AnswerFrom::Link : AnswerFrom::Anyone;
        return AnswerFrom::Peer;
    }
    const in6_addr& a = reinterpret_cast<const sockaddr_in6*>(dest)->sin6_addr;
    if (IN6_IS_ADDR_MULTICAST(&a))
        return IN6_IS_ADDR_MC_LINKLOCAL(&a) || IN6_IS_ADDR_MC_NODELOCAL(&a) ? AnswerFrom::Link : AnswerFrom::Anyone;
    return AnswerFrom::Peer;
}

bool mayAnswer(const sockaddr* dest, AnswerFrom from, const Datagram& datagram, const LocalLinks& links)
{
    if (answers(dest, from, datagram, links))
        return true;
    count(from, datagram);
    return false;
}

int answeredDestination(const std::vector<Destination>& sent, const Datagram& datagram, const LocalLinks& links)
{
    for (size_t i = 0; i < sent.size(); ++i)
        if (answers(reinterpret_cast<const sockaddr*>(&sent[i].address), sent[i].from, datagram, links))
            return static_cast<int>(i);
    // Counted once, as what the most open destination would have refused.
    AnswerFrom widest = AnswerFrom::Peer;
    for (const Destination& d : sent)
        if (d.from == AnswerFrom::Link)
            widest = AnswerFrom::Link;
    count(widest, datagram);
    return -1;
}

bool sameEndpoint(const sockaddr* a, const sockaddr* b)
{
    return portOf(a) == portOf(b) && sameAddress(a, b);
}

bool sameAddress(const sockaddr* a, const sockaddr* b)
{
    if (a->sa_family != b->sa_family
        || std::memcmp(addressBytes(a), addressBytes(b), static_cast<size_t>(addressSize(a->sa_family))) != 0)
        return false;
    if (a->sa_family == AF_INET6) {
        const uint32_t sa = reinterpret_cast<const sockaddr_in6*>(a)->sin6_scope_id;
        const uint32_t sb = reinterpret_cast<const sockaddr_in6*>(b)->sin6_scope_id;
        return sa == 0 || sb == 0 || sa == sb;
    }
    return true;
}

// -------------------------------------------------------------- Listener

Listener::Listener(const ListenBounds& bounds) : bounds_(bounds), startMs_(monotonicMs()) {}

long long Listener::nowMs() const { return monotonicMs(); }

long long Listener::leftMs() const { return std::max(0LL, startMs_ + bounds_.limitMs - nowMs()); }

int Listener::add(int fd)
{
    sockets_.push_back({fd, nowMs() + bounds_.quietMs, true});
    return static_cast<int>(sockets_.size() - 1);
}

void Listener::touch(int id)
{
    if (id >= 0 && static_cast<size_t>(id) < sockets_.size() && sockets_[static_cast<size_t>(id)].open)
        sockets_[static_cast<size_t>(id)].quietUntilMs = nowMs() + bounds_.quietMs;
}

void Listener::schedule(int atMs, std::function<void()> fn)
{
    due_.push_back({startMs_ + atMs, std::move(fn), false});
}

void Listener::drop(int id)
{
    if (id >= 0 && static_cast<size_t>(id) < sockets_.size())
        sockets_[static_cast<size_t>(id)].open = false;
}

void Listener::run(int capacity, const std::function<void(int, Datagram&)>& onDatagram)
{
    std::vector<unsigned char> buffer(static_cast<size_t>(capacity));
    const long long endMs = startMs_ + bounds_.limitMs;
    for (;;) {
        for (Due& d : due_)
            if (!d.done && nowMs() >= d.atMs) {
                d.done = true;
                d.fn();
            }
        const long long now = nowMs();
        std::vector<pollfd> fds;
        std::vector<int> ids;
        long long wakeAt = endMs;
        for (const Due& d : due_)
            if (!d.done)
                wakeAt = std::min(wakeAt, d.atMs);
        for (size_t i = 0; i < sockets_.size(); ++i) {
            Socket& s = sockets_[i];
            if (s.open && now >= s.quietUntilMs)
                s.open = false;
            if (!s.open)
                continue;
            fds.push_back({s.fd, POLLIN, 0});
            ids.push_back(static_cast<int>(i));
            wakeAt = std::min(wakeAt, s.quietUntilMs);
        }
        if (fds.empty() || finished_)
            return;
        if (now >= endMs) {
            ++g_listenCounts.timeBound;
            lwTrace("listening stopped: %d ms since the operation began\n", bounds_.limitMs);
            return;
        }
        const int r = ::poll(fds.data(), fds.size(), static_cast<int>(std::max(0LL, wakeAt - now)));
        if (r < 0 && errno != EINTR)
            return;
        for (size_t k = 0; r > 0 && k < fds.size(); ++k) {
            if (fds[k].revents == 0)
                continue;
            // A socket that is ready is emptied (up to a batch) before the
            // next poll: a burst of datagrams is read as fast as it can be,
            // so a flood leaves the kernel's queue as little as possible to
            // drop.
            const int id = ids[k];
            for (int batch = 0; batch < kDrainBatch && !finished_; ++batch) {
                Datagram datagram{};
                if (receiveOne(fds[k].fd, buffer.data(), capacity, datagram) < 0) {
                    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                        sockets_[static_cast<size_t>(id)].open = false; // the receive failed: this socket is done
                    break;
                }
                if (datagrams_ >= bounds_.maxDatagrams) {
                    ++g_listenCounts.datagramBound;
                    lwTrace("listening stopped: %d datagrams\n", bounds_.maxDatagrams);
                    return;
                }
                ++datagrams_;
                sockets_[static_cast<size_t>(id)].quietUntilMs = nowMs() + bounds_.quietMs;
                onDatagram(id, datagram);
            }
        }
    }
}

long receiveAnswer(int fd, unsigned char* buffer, int capacity, const sockaddr* dest, int timeoutMs)
{
    const long long endMs = monotonicMs() + timeoutMs;
    for (int handled = 0; handled < kListenMaxDatagrams;) {
        const long long left = endMs - monotonicMs();
        if (left <= 0)
            return -1;
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(left));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return -1;
        Datagram datagram{};
        if (receiveOne(fd, buffer, capacity, datagram) < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                continue;
            return -1;
        }
        ++handled;
        if (sameEndpoint(reinterpret_cast<const sockaddr*>(&datagram.from), dest))
            return datagram.size;
        ++g_listenCounts.notAsked;
        traceIgnored("not from the address asked", g_listenCounts.notAsked, datagram);
    }
    return -1;
}
