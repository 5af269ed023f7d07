// Agent discovery of CNetIO: finding the agents whose sysObjectID matches a
// target OID, over SNMP v1 (a GetRequest for sysObjectID.0) and SNMPv3
// (engine discovery, then an authPriv GetRequest), sent to a broadcast,
// multicast or given address from every local address, or by scanning the
// interfaces' IPv6 scopes.
#include "snmp/NetIO.h"

#include "snmp/Exchange.h"
#include "snmp/Trace.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr long kOneSecondUs = 1000000;
constexpr size_t kV1AnswerSize = 256;

// The first address the host text resolves to, with port 161; false (and
// the trace line) when it does not resolve.
bool resolveHost(const char* host, sockaddr_storage& dest, socklen_t& destLen)
{
    if (host == nullptr)
        return false;
    addrinfo hints{};
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* res = nullptr;
    const int rc = ::getaddrinfo(host, nullptr, &hints, &res);
    if (rc != 0 || res == nullptr) {
        lwTrace("error in getaddrinfo: %s\n", rc != 0 ? ::gai_strerror(rc) : "no address");
        return false;
    }
    std::memcpy(&dest, res->ai_addr, res->ai_addrlen);
    destLen = res->ai_addrlen;
    ::freeaddrinfo(res);
    if (dest.ss_family == AF_INET)
        reinterpret_cast<sockaddr_in&>(dest).sin_port = htons(kSnmpPort);
    else
        reinterpret_cast<sockaddr_in6&>(dest).sin6_port = htons(kSnmpPort);
    return true;
}

// The v1 discovery request (a GetRequest for sysObjectID.0); an empty
// community counts as none.
int discoveryRequest(const char* community, unsigned char* out)
{
    if (community != nullptr && community[0] == '\0')
        community = nullptr;
    return CNetIO::BuildGetRequestFor(1, kSysObjectIdOidText, community, out);
}

bool oidTextEncodes(const char* oidText)
{
    unsigned char encoded[V3_VALUE_BUF_SIZE];
    return CNetIO::oidEncode(oidText, encoded, sizeof encoded) > 0;
}

// The first IPv6 answer fixes the scope of later IPv6 traffic.
void learnScope(int scope, const char* interfaceName)
{
    if (scope_id > 0)
        return;
    if (interfaceName != nullptr)
        std::snprintf(g_ifsName, sizeof g_ifsName, "%%%s", interfaceName);
    scope_id = scope;
}

// One local address that discovery sends from, and where to.
struct Road {
    int family;
    const char* interfaceName;
    int scope;                 // IPv6: the interface's scope identifier
    sockaddr_storage local;    // port 0
    socklen_t localLen;
    sockaddr_storage dest;     // the host with port 161 (IPv6: and the scope)
    socklen_t destLen;
};

// Runs fn for every local address of the family, with the host as the
// destination (nothing, with the trace line, when the address list cannot
// be read); fn returning false ends the walk.
template <typename Fn>
void forEachLocalAddress(int family, const sockaddr_storage& host, socklen_t hostLen, Fn fn)
{
    const char* tag = family == AF_INET ? "[ipv4 BC]" : "[ipv6 BC]";
    ifaddrs* all = nullptr;
    if (::getifaddrs(&all) != 0) {
        char prefix[64];
        std::snprintf(prefix, sizeof prefix, "%s getifaddrs Error! errno", tag);
        lwTraceErrno(prefix);
        return;
    }
    for (ifaddrs* a = all; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != family)
            continue;
        Road road{};
        road.family = family;
        road.interfaceName = a->ifa_name;
        road.dest = host;
        road.destLen = hostLen;
        char text[INET6_ADDRSTRLEN], mask[INET6_ADDRSTRLEN] = "";
        addressText(a->ifa_addr, text, sizeof text);
        if (a->ifa_netmask != nullptr)
            addressText(a->ifa_netmask, mask, sizeof mask);
        lwTrace("%s %s\n", tag, a->ifa_name);
        lwTrace("%s %s   : %s\n", tag, family == AF_INET ? "IPv4" : "IPv6", text);
        lwTrace("%s netmask: %s\n", tag, mask);
        if (family == AF_INET) {
            std::memcpy(&road.local, a->ifa_addr, sizeof(sockaddr_in));
            road.localLen = sizeof(sockaddr_in);
        } else {
            auto& local = reinterpret_cast<sockaddr_in6&>(road.local);
            std::memcpy(&local, a->ifa_addr, sizeof(sockaddr_in6));
            road.localLen = sizeof(sockaddr_in6);
            if (local.sin6_scope_id == 0)
                local.sin6_scope_id = ::if_nametoindex(a->ifa_name);
            road.scope = static_cast<int>(local.sin6_scope_id);
            lwTrace("%s sin6_scope_id: %d\n", tag, road.scope);
            reinterpret_cast<sockaddr_in6&>(road.dest).sin6_scope_id = local.sin6_scope_id;
            char hostText[INET6_ADDRSTRLEN];
            addressText(reinterpret_cast<const sockaddr*>(&host), hostText, sizeof hostText);
            lwTrace("tmpip=%s%%en0\n", hostText);
        }
        if (!fn(road))
            break;
    }
    ::freeifaddrs(all);
}

// Opens a socket bound to the road's local address; -1 when it cannot be
// opened (*openFailed set) or bound (traced).
int openRoadSocket(const Road& road, bool broadcast, bool* openFailed)
{
    const int fd = openUdpSocket(road.family, broadcast, kOneSecondUs);
    if (fd == -1) {
        *openFailed = true;
        return -1;
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&road.local), road.localLen) != 0) {
        lwTrace("%s ERROR on binding\n", road.family == AF_INET ? "[ipv4 BC]" : "[ipv6 BC]");
        ::close(fd);
        return -1;
    }
    return fd;
}

// Sends the message `times` times from every local address of the family
// to the host, and hands each socket that sent it to listen(fd, road). A
// socket that cannot be opened skips its address, or (stopOnOpenFailure)
// ends the walk with false.
template <typename Listen>
bool sendFromEachAddress(int family, const sockaddr_storage& host, socklen_t hostLen, bool broadcast,
                         const unsigned char* message, int length, int times, bool stopOnOpenFailure, Listen listen)
{
    const bool v6 = family == AF_INET6;
    bool ok = true;
    forEachLocalAddress(family, host, hostLen, [&](const Road& road) {
        bool openFailed = false;
        const int fd = openRoadSocket(road, broadcast, &openFailed);
        if (openFailed && v6)
            lwTrace("[ipv6 BC] socket failed\n");
        if (openFailed && stopOnOpenFailure) {
            ok = false;
            return false;
        }
        if (fd == -1)
            return true;
        const ssize_t sent = sendTimes(fd, message, static_cast<size_t>(length),
                                       reinterpret_cast<const sockaddr*>(&road.dest), road.destLen, times);
        lwTrace("sendto: nRet=%d\n", static_cast<int>(sent));
        if (sent > 0)
            listen(fd, road);
        else if (v6)
            lwTraceErrno("[ipv6 BC] snedto failed");
        ::close(fd);
        return true;
    });
    return ok;
}

// Reports the sender of a v1 answer whose sysObjectID matches.
void reportMatch(CNetIO& io, const unsigned char* answer, ssize_t size, const sockaddr_storage& from,
                 SNMP_AGENT_CALLBACK callback, void* user, const char* interfaceName)
{
    if (!io.parseForOID(answer, static_cast<int>(size)))
        return;
    char address[INET6_ADDRSTRLEN];
    addressText(reinterpret_cast<const sockaddr*>(&from), address, sizeof address);
    lwTrace("szAddr=%s\n", address);
    if (callback != nullptr)
        (void)callback(address, interfaceName, user);
}

// Receives v1 answers on fd until one second passes without one, and reports
// every sender whose sysObjectID matches. `onDatagram` runs for each
// datagram first (the IPv6 roads learn their scope there).
template <typename OnDatagram>
int listenV1(CNetIO& io, int fd, SNMP_AGENT_CALLBACK callback, void* user, const char* interfaceName, bool v6,
             OnDatagram onDatagram)
{
    int datagrams = 0;
    unsigned char answer[kV1AnswerSize];
    for (;;) {
        sockaddr_storage from{};
        socklen_t fromLen = sizeof from;
        const ssize_t got = ::recvfrom(fd, answer, sizeof answer, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (v6)
            lwTrace("[ipv6 BC] nRecv = %d", static_cast<int>(got));
        if (got < 0)
            return datagrams;
        ++datagrams;
        onDatagram();
        reportMatch(io, answer, got, from, callback, user, interfaceName);
    }
}

void noDatagramAction() {}

} // namespace

// ------------------------------------------------------------------ v1

bool CNetIO::FindSnmpAgent(const char* community, const char* host, const char* oidText,
                           SNMP_AGENT_CALLBACK callback, void* user, int broadcast)
{
    sockaddr_storage dest{};
    socklen_t destLen = 0;
    if (!resolveHost(host, dest, destLen))
        return true;
    if (dest.ss_family == AF_INET6)
        return FindSnmpAgentV6_(community, host, oidText, callback, user, broadcast);
    unsigned char request[V1_REQUEST_MAX];
    const int requestLen = discoveryRequest(community, request);
    if (requestLen <= 0 || !oidTextEncodes(oidText))
        return false;
    sendFromEachAddress(AF_INET, dest, destLen, broadcast != 0, request, requestLen, 3, false,
                        [&](int fd, const Road& road) {
                            listenV1(*this, fd, callback, user, road.interfaceName, false, noDatagramAction);
                        });
    return true;
}

bool CNetIO::FindSnmpAgentV6_(const char* community, const char* host, const char* oidText,
                              SNMP_AGENT_CALLBACK callback, void* user, int broadcast)
{
    sockaddr_storage dest{};
    socklen_t destLen = 0;
    if (!resolveHost(host, dest, destLen))
        return true;
    unsigned char request[V1_REQUEST_MAX];
    const int requestLen = discoveryRequest(community, request);
    if (requestLen <= 0 || !oidTextEncodes(oidText))
        return false;
    if (dest.ss_family != AF_INET6)
        return true; // nothing of this family to send to
    sendFromEachAddress(AF_INET6, dest, destLen, broadcast != 0, request, requestLen, 1, false,
                        [&](int fd, const Road& road) {
                            listenV1(*this, fd, callback, user, road.interfaceName, true,
                                     [&] { learnScope(road.scope, road.interfaceName); });
                        });
    return true;
}

namespace {

// The scopes a scan tries: scope_id alone once it is set, otherwise the
// index of every interface (never more: a scan without answers ends after
// one pass per interface).
std::vector<int> scanScopes(ifs_info* list)
{
    if (scope_id > 0)
        return {scope_id};
    std::vector<int> scopes;
    for (const ifs_info* n = list; n != nullptr; n = n->next)
        scopes.push_back(n->index);
    return scopes;
}

const char* interfaceNameOf(ifs_info* list, int scope)
{
    const ifs_info* node = find_ifname(list, scope);
    return node != nullptr ? node->name : nullptr;
}

} // namespace

bool CNetIO::FindSnmpAgentV6(const char* community, const char* host, const char* oidText,
                             SNMP_AGENT_CALLBACK callback, void* user, int broadcast)
{
    unsigned char request[V1_REQUEST_MAX];
    const int requestLen = discoveryRequest(community, request);
    if (requestLen <= 0 || !oidTextEncodes(oidText))
        return false;
    sockaddr_in6 dest{};
    dest.sin6_family = AF_INET6;
    dest.sin6_port = htons(kSnmpPort);
    if (host == nullptr || ::inet_pton(AF_INET6, host, &dest.sin6_addr) != 1)
        return true; // no IPv6 address to send to
    lwTrace("ipv6=%s%%en0\n", host);
    ifs_info* list = get_ifs_info(0, 0);
    int lastSize = 0;
    bool ok = true;
    for (int scope : scanScopes(list)) {
        lwTrace("\nfound=%d \n", lastSize);
        const int fd = openUdpSocket(AF_INET6, broadcast != 0, kOneSecondUs);
        if (fd == -1) {
            lwTrace("socket failed\n");
            ok = false;
            break;
        }
        dest.sin6_scope_id = static_cast<uint32_t>(scope);
        const ssize_t sent = sendTimes(fd, request, static_cast<size_t>(requestLen),
                                       reinterpret_cast<sockaddr*>(&dest), sizeof dest, 3);
        lwTrace("RecvAddr.sin6_scope_id=%d", scope);
        int datagrams = 0;
        if (sent > 0) {
            const char* name = interfaceNameOf(list, scope);
            datagrams = listenV1(*this, fd, callback, user, name, true, [&] {
                learnScope(scope, name);
                lwTrace("[find] scope id=%d", scope_id);
            });
            lwTrace("nRecv failed\n");
        } else {
            lwTrace("sendto failed\n index = %d", scope);
        }
        ::close(fd);
        if (datagrams > 0) {
            lastSize = datagrams;
            break;
        }
    }
    free_ifs_info(list);
    return ok;
}

bool CNetIO::FindSnmpAgent3Times(const char* community, const char* oidText, SNMP_AGENT_CALLBACK callback,
                                 void* user)
{
    unsigned char request[V1_REQUEST_MAX];
    const int requestLen = discoveryRequest(community, request);
    if (requestLen <= 0 || !oidTextEncodes(oidText))
        return false;

    // IPv4: the limited broadcast, which leaves by the default route.
    sockaddr_in dest4{};
    dest4.sin_family = AF_INET;
    dest4.sin_port = htons(kSnmpPort);
    dest4.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    int fd4 = openUdpSocket(AF_INET, true, kOneSecondUs);
    if (fd4 != -1
        && sendTimes(fd4, request, static_cast<size_t>(requestLen), reinterpret_cast<sockaddr*>(&dest4),
                     sizeof dest4, 3) <= 0) {
        lwTraceErrno("[ipv4 BC] sendto failed");
        ::close(fd4);
        fd4 = -1;
    }

    // IPv6: all nodes of the link of one scope, found by a scan the first
    // time; the answer that ends the scan is kept and judged like the others.
    sockaddr_in6 dest6{};
    dest6.sin6_family = AF_INET6;
    dest6.sin6_port = htons(kSnmpPort);
    ::inet_pton(AF_INET6, "ff02::1", &dest6.sin6_addr);
    ifs_info* list = get_ifs_info(0, 0);
    int fd6 = -1;
    unsigned char first[kV1AnswerSize];
    ssize_t firstLen = -1;
    sockaddr_storage firstFrom{};
    const std::vector<int> scopes = g_findScanIndex >= 0 ? std::vector<int>{scope_id > 0 ? scope_id : g_findScanIndex}
                                                         : scanScopes(list);
    for (int scope : scopes) {
        const int fd = openUdpSocket(AF_INET6, true, kOneSecondUs);
        if (fd == -1) {
            lwTrace("socket failed\n");
            break;
        }
        dest6.sin6_scope_id = static_cast<uint32_t>(scope);
        if (g_findScanIndex >= 0) {
            sendTimes(fd, request, static_cast<size_t>(requestLen), reinterpret_cast<sockaddr*>(&dest6), sizeof dest6,
                      3);
            fd6 = fd;
            break;
        }
        if (::sendto(fd, request, static_cast<size_t>(requestLen), 0, reinterpret_cast<sockaddr*>(&dest6),
                     sizeof dest6) <= 0) {
            lwTrace("sendto failed\n");
            ::close(fd);
            continue;
        }
        socklen_t fromLen = sizeof firstFrom;
        firstLen = ::recvfrom(fd, first, sizeof first, 0, reinterpret_cast<sockaddr*>(&firstFrom), &fromLen);
        if (firstLen >= 0) {
            g_findScanIndex = scope;
            fd6 = fd;
            break;
        }
        ::close(fd);
    }

    if (fd4 != -1) {
        listenV1(*this, fd4, callback, user, nullptr, false, noDatagramAction);
        ::close(fd4);
    }
    if (fd6 != -1) {
        const char* name = interfaceNameOf(list, g_findScanIndex);
        auto learn = [&] { learnScope(g_findScanIndex, name); };
        if (firstLen >= 0) {
            learn();
            reportMatch(*this, first, firstLen, firstFrom, callback, user, name);
        }
        listenV1(*this, fd6, callback, user, name, true, learn);
        lwTrace("nRecv failed\n");
        ::close(fd6);
    }
    free_ifs_info(list);
    return true;
}

// --------------------------------------------------------------- SNMPv3

namespace {

// One request of v3 discovery waiting for its answers: its socket, the
// record holding the engine's keys, and when its second of silence ends.
struct PendingRequest {
    int fd;
    _SNMP_PARAM_V3 param;
    Clock::time_point quietUntil;
};

// Receives the Reports to the probe on fd (the road's first socket) and
// sends each acceptable engine its request from a second socket bound to the
// same local address; the requests' answers are received side by side with
// further Reports. Every socket is listened to until one second passes
// without a datagram on it.
void listenV3(CNetIO& io, int fd, const Road& road, SNMP_AGENT_CALLBACK callback, void* user, const char* traceName)
{
    const bool v6 = road.family == AF_INET6;
    const char* const oids[3] = {kSysObjectIdOidText, kSysNameOidText, kDeviceIdOidText};
    std::vector<PendingRequest> pending;
    bool firstOpen = true;
    Clock::time_point firstQuietUntil = Clock::now() + std::chrono::seconds(1);
    unsigned char datagram[SNMPV3_MSG_MAX];

    auto onReport = [&](ssize_t got, const sockaddr_storage& from, socklen_t fromLen) {
        char address[INET6_ADDRSTRLEN];
        addressText(reinterpret_cast<const sockaddr*>(&from), address, sizeof address);
        lwTrace("recvfrom nRecv = %d, szAddr=%s\n", static_cast<int>(got), address);
        if (v6)
            learnScope(road.scope, road.interfaceName);
        PendingRequest request{-1, {}, {}};
        if (!acceptEngineReport(datagram, static_cast<int>(got), request.param))
            return;
        request.fd = openUdpSocket(road.family, false, kOneSecondUs);
        if (request.fd == -1)
            return;
        if (::bind(request.fd, reinterpret_cast<const sockaddr*>(&road.local), road.localLen) != 0) {
            if (!v6)
                lwTrace("nSendSock2 [ipv4 BC] ERROR on binding\n");
            ::close(request.fd);
            return;
        }
        unsigned char message[SNMPV3_MSG_MAX];
        const int length = buildEngineRequest(request.param, oids, 3, message);
        if (v6)
            lwTrace("snmpv3RequestPacketLen = %d", length);
        // The request goes to the engine that reported, not to everyone
        // the probe reached.
        if (length <= 0
            || ::sendto(request.fd, message, static_cast<size_t>(length), 0, reinterpret_cast<const sockaddr*>(&from),
                        fromLen) != length) {
            ::close(request.fd);
            return;
        }
        request.quietUntil = Clock::now() + std::chrono::seconds(1);
        pending.push_back(request);
    };

    auto onAnswer = [&](PendingRequest& request, ssize_t got, const sockaddr_storage& from) {
        char address[INET6_ADDRSTRLEN];
        addressText(reinterpret_cast<const sockaddr*>(&from), address, sizeof address);
        lwTrace("recvfrom nRecv2 = %d, szAddr=%s\n", static_cast<int>(got), address);
        _sysObjIdLen = 0;
        _sysNameValue[0] = '\0';
        _availFlag = 0;
        request.param.varbindCallback = CNetIO::searchAgentProCallbackEx2;
        lwTrace("parseSnmpV3Response begin");
        unsigned char errorStatus = 0xFF;
        if (CNetIO::parseSnmpV3Response(datagram, static_cast<int>(got), nullptr, nullptr, &errorStatus, nullptr,
                                        &request.param) != 1
            || errorStatus != 0) {
            lwTrace("parseSnmpV3Response end");
            return;
        }
        lwTrace("parseSnmpV3Response end1");
        if ((_availFlag & AVAIL_SYSOBJID) == 0 || !io.MatchesTargetOID(_sysObjIdValue, _sysObjIdLen))
            return;
        lwTrace("%s szAddr=%s\n", traceName, address);
        if (callback != nullptr)
            (void)callback(address, road.interfaceName, user);
    };

    while (firstOpen || !pending.empty()) {
        const Clock::time_point now = Clock::now();
        // Sockets whose second of silence has passed stop listening.
        if (firstOpen && now >= firstQuietUntil)
            firstOpen = false;
        for (auto it = pending.begin(); it != pending.end();) {
            if (now >= it->quietUntil) {
                lwTrace("break\n");
                ::close(it->fd);
                it = pending.erase(it);
            } else {
                ++it;
            }
        }
        if (!firstOpen && pending.empty())
            break;

        std::vector<pollfd> fds;
        Clock::time_point wakeAt = Clock::time_point::max();
        if (firstOpen) {
            fds.push_back({fd, POLLIN, 0});
            wakeAt = firstQuietUntil;
        }
        for (const PendingRequest& request : pending) {
            fds.push_back({request.fd, POLLIN, 0});
            wakeAt = std::min(wakeAt, request.quietUntil);
        }
        const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(wakeAt - now).count();
        if (::poll(fds.data(), fds.size(), static_cast<int>(waitMs)) <= 0)
            continue;

        size_t i = 0;
        if (firstOpen) {
            if (fds[i].revents != 0) {
                sockaddr_storage from{};
                socklen_t fromLen = sizeof from;
                const ssize_t got = ::recvfrom(fd, datagram, sizeof datagram, MSG_DONTWAIT,
                                               reinterpret_cast<sockaddr*>(&from), &fromLen);
                if (v6)
                    lwTrace("[ipv6 BC] nRecv = %d", static_cast<int>(got));
                if (got >= 0) {
                    firstQuietUntil = Clock::now() + std::chrono::seconds(1);
                    onReport(got, from, fromLen);
                } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                    firstOpen = false; // the receive failed: this loop ends
                }
            }
            ++i;
        }
        // onReport may have added requests after the polled ones.
        const size_t polled = fds.size() - i;
        for (size_t k = 0; k < polled; ++k, ++i) {
            if (fds[i].revents == 0)
                continue;
            PendingRequest& request = pending[k];
            std::memset(datagram, 0, sizeof datagram);
            sockaddr_storage from{};
            socklen_t fromLen = sizeof from;
            const ssize_t got = ::recvfrom(request.fd, datagram, sizeof datagram, MSG_DONTWAIT,
                                           reinterpret_cast<sockaddr*>(&from), &fromLen);
            if (got >= 0) {
                request.quietUntil = Clock::now() + std::chrono::seconds(1);
                onAnswer(request, got, from);
            } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                request.quietUntil = Clock::now(); // the receive failed: this loop ends
            }
        }
    }
}

// The engine-discovery probe of one discovery call; the counters advance.
int discoveryProbe(unsigned char* out)
{
    const int length = CNetIO::BuildSnmpV3GetEngineIdPacket(SNMPv3RequestID, SNMPv3MsgID, out, SNMPV3_MSG_MAX);
    ++SNMPv3RequestID;
    ++SNMPv3MsgID;
    encodeValueOid(_sysObjIdOid, &_sysObjIdOidLen, kSysObjectIdOidText);
    encodeValueOid(_sysNameOid, &_sysNameOidLen, kSysNameOidText);
    encodeValueOid(_pvtDevIdOid, &_pvtDevIdOidLen, kDeviceIdOidText);
    return length;
}

} // namespace

bool CNetIO::FindSnmpV3Agent(const char* community, const char* host, const char* oidText,
                             SNMP_AGENT_CALLBACK callback, void* user, int broadcast)
{
    sockaddr_storage dest{};
    socklen_t destLen = 0;
    if (!resolveHost(host, dest, destLen))
        return true;
    if (dest.ss_family == AF_INET6)
        return FindSnmpV3AgentV6_(community, host, oidText, callback, user, broadcast);
    unsigned char probe[SNMPV3_MSG_MAX];
    const int probeLen = discoveryProbe(probe);
    if (probeLen <= 0)
        return true;
    sendFromEachAddress(AF_INET, dest, destLen, broadcast != 0, probe, probeLen, 1, false,
                        [&](int fd, const Road& road) {
                            listenV3(*this, fd, road, callback, user, "FindSnmpV3Agent");
                        });
    return true;
}

bool CNetIO::FindSnmpV3AgentV6_(const char* community, const char* host, const char* oidText,
                                SNMP_AGENT_CALLBACK callback, void* user, int broadcast)
{
    sockaddr_storage dest{};
    socklen_t destLen = 0;
    if (!resolveHost(host, dest, destLen))
        return true;
    if (dest.ss_family != AF_INET6)
        return true;
    unsigned char probe[SNMPV3_MSG_MAX];
    const int probeLen = discoveryProbe(probe);
    if (probeLen <= 0)
        return true;
    return sendFromEachAddress(AF_INET6, dest, destLen, broadcast != 0, probe, probeLen, 1, true,
                               [&](int fd, const Road& road) {
                                   listenV3(*this, fd, road, callback, user, "FindSnmpV3AgentV6_");
                               });
}
