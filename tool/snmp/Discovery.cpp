// Agent discovery of CNetIO: finding the agents whose sysObjectID matches a
// target OID, over SNMP v1 (a GetRequest for sysObjectID.0) and SNMPv3
// (engine discovery, then an authPriv GetRequest), sent to a broadcast,
// multicast or given address from every local address, to a list of hosts,
// or by scanning the interfaces' IPv6 scopes.
//
// Every operation sends from all its sockets first and then listens on all
// of them side by side (Listen.h), so it lasts about one listening window
// however many local addresses the machine has, within the listening bounds
// of NetIO.h. An answer counts only when it comes from where the message
// went: the host asked, or for a broadcast or link multicast an address of
// the link it came in by.
#include "snmp/NetIO.h"

#include "snmp/Exchange.h"
#include "snmp/Listen.h"
#include "snmp/Trace.h"

#include <arpa/inet.h>
#include <functional>
#include <cstdio>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr long kOneSecondUs = 1000000;
constexpr int kV1AnswerSize = 256;
constexpr int kHostsRetryMs = 250; // a host list asks the hosts that did not answer again after this
const ListenBounds kBounds{kListenQuietMs, kListenLimitMs, kListenMaxDatagrams};

// The first address the host text resolves to (an IPv6 zone gives its
// scope), with port 161; false (and the trace line) when it does not resolve.
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
    if (interfaceName != nullptr && interfaceName[0] != '\0')
        std::snprintf(g_ifsName, sizeof g_ifsName, "%%%s", interfaceName);
    scope_id = scope;
}

// A destination that needs its interface named: link-local, or a link-scope multicast.
bool needsScope(const sockaddr_storage& a)
{
    if (a.ss_family != AF_INET6)
        return false;
    const in6_addr& b = reinterpret_cast<const sockaddr_in6&>(a).sin6_addr;
    return IN6_IS_ADDR_LINKLOCAL(&b) || IN6_IS_ADDR_MC_LINKLOCAL(&b) || IN6_IS_ADDR_MC_NODELOCAL(&b);
}

uint32_t scopeOf(const sockaddr_storage& a)
{
    return a.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6&>(a).sin6_scope_id : 0;
}

std::string interfaceNameOf(int index)
{
    char name[IF_NAMESIZE] = "";
    return index > 0 && ::if_indextoname(static_cast<unsigned>(index), name) != nullptr ? name : "";
}

// One socket of an operation: where it sends from, and where to.
struct Road {
    int family = AF_UNSPEC;
    std::string interfaceName;   // of its local address ("" for an unbound socket)
    int scope = 0;               // IPv6: that interface's index (or the scope tried)
    bool bound = false;
    sockaddr_storage local{};
    socklen_t localLength = 0;
    std::vector<Destination> to;
    int fd = -1;
    int id = -1;                 // in the listener
    int requestFd = -1;          // SNMPv3: where the engines' requests leave from
    int requestId = -1;
};

Destination destinationFor(const sockaddr_storage& address, socklen_t length, const LocalLinks& links)
{
    return {address, length, answerFromFor(reinterpret_cast<const sockaddr*>(&address), links)};
}

void closeRoads(std::vector<Road>& roads)
{
    for (Road& road : roads) {
        if (road.fd != -1)
            ::close(road.fd);
        if (road.requestFd != -1)
            ::close(road.requestFd);
        road.fd = road.requestFd = -1;
    }
}

// Every local address of the family as a road to the host (IPv6: with the
// address's interface as the host's scope). A host with a zone keeps the
// addresses of that interface only. At most kDiscoveryMaxLocalAddresses.
std::vector<Road> localRoads(int family, const sockaddr_storage& host, socklen_t hostLen, const LocalLinks& links)
{
    std::vector<Road> roads;
    const char* tag = family == AF_INET ? "[ipv4 BC]" : "[ipv6 BC]";
    ifaddrs* all = nullptr;
    if (::getifaddrs(&all) != 0) {
        char prefix[64];
        std::snprintf(prefix, sizeof prefix, "%s getifaddrs Error! errno", tag);
        lwTraceErrno(prefix);
        return roads;
    }
    const uint32_t zone = needsScope(host) ? scopeOf(host) : 0;
    for (ifaddrs* a = all; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != family)
            continue;
        Road road;
        road.family = family;
        road.interfaceName = a->ifa_name;
        road.bound = true;
        sockaddr_storage dest = host;
        if (family == AF_INET) {
            std::memcpy(&road.local, a->ifa_addr, sizeof(sockaddr_in));
            road.localLength = sizeof(sockaddr_in);
        } else {
            auto& local = reinterpret_cast<sockaddr_in6&>(road.local);
            std::memcpy(&local, a->ifa_addr, sizeof(sockaddr_in6));
            road.localLength = sizeof(sockaddr_in6);
            if (local.sin6_scope_id == 0)
                local.sin6_scope_id = ::if_nametoindex(a->ifa_name);
            road.scope = static_cast<int>(local.sin6_scope_id);
            // Asked by way of one interface: the other interfaces stay quiet.
            if (zone != 0 && ::if_nametoindex(a->ifa_name) != zone)
                continue;
            reinterpret_cast<sockaddr_in6&>(dest).sin6_scope_id = local.sin6_scope_id;
        }
        if (static_cast<int>(roads.size()) >= kDiscoveryMaxLocalAddresses) {
            ++g_listenCounts.addressesBound;
            continue;
        }
        char text[INET6_ADDRSTRLEN], mask[INET6_ADDRSTRLEN] = "";
        addressText(a->ifa_addr, text, sizeof text);
        if (a->ifa_netmask != nullptr)
            addressText(a->ifa_netmask, mask, sizeof mask);
        lwTrace("%s %s\n", tag, a->ifa_name);
        lwTrace("%s %s   : %s\n", tag, family == AF_INET ? "IPv4" : "IPv6", text);
        lwTrace("%s netmask: %s\n", tag, mask);
        if (family == AF_INET6) {
            lwTrace("%s sin6_scope_id: %d\n", tag, road.scope);
            char hostText[INET6_ADDRSTRLEN];
            addressText(reinterpret_cast<const sockaddr*>(&host), hostText, sizeof hostText);
            lwTrace("tmpip=%s%%en0\n", hostText);
        }
        road.to.push_back(destinationFor(dest, hostLen, links));
        roads.push_back(road);
    }
    ::freeifaddrs(all);
    return roads;
}

// Opens each road's socket (bound to its local address, when it has one)
// and sends the message `times` times to each of its destinations; the roads
// that sent listen from now on. A socket that cannot be opened skips its
// road, or (stopOnOpenFailure) ends the sending with false.
bool sendOnRoads(std::vector<Road>& roads, bool broadcast, const unsigned char* message, int length, int times,
                 bool stopOnOpenFailure, Listener& listener)
{
    for (Road& road : roads) {
        const bool v6 = road.family == AF_INET6;
        road.fd = openUdpSocket(road.family, broadcast, kOneSecondUs);
        if (road.fd == -1) {
            lwTrace(v6 ? "[ipv6 BC] socket failed\n" : "socket failed\n");
            if (stopOnOpenFailure)
                return false;
            continue;
        }
        if (road.bound && ::bind(road.fd, reinterpret_cast<const sockaddr*>(&road.local), road.localLength) != 0) {
            lwTrace("%s ERROR on binding\n", v6 ? "[ipv6 BC]" : "[ipv4 BC]");
            ::close(road.fd);
            road.fd = -1;
            continue;
        }
        ssize_t sent = -1;
        for (const Destination& d : road.to)
            if (sendTimes(road.fd, message, static_cast<size_t>(length), reinterpret_cast<const sockaddr*>(&d.address),
                          d.length, times) > 0)
                sent = length;
        lwTrace("sendto: nRet=%d\n", static_cast<int>(sent));
        if (sent > 0)
            road.id = listener.add(road.fd);
        else if (v6)
            lwTraceErrno("[ipv6 BC] snedto failed");
    }
    return true;
}

// A host list's roads: an unbound socket per family, the message sent once
// to each host without waiting. A datagram to a host on the link whose
// address nobody answers for waits in the kernel (holding the socket's send
// room) until address resolution gives up: a long list of such hosts would
// block the sending, so what does not fit is counted as not sent instead.
void sendToHosts(std::vector<Road>& roads, bool broadcast, const unsigned char* message, int length,
                 Listener& listener)
{
    for (Road& road : roads) {
        road.fd = openUdpSocket(road.family, broadcast, kOneSecondUs);
        if (road.fd == -1) {
            lwTrace("socket failed\n");
            continue;
        }
        const int room = 1 << 20;
        (void)::setsockopt(road.fd, SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
        int sent = 0;
        for (const Destination& d : road.to) {
            if (::sendto(road.fd, message, static_cast<size_t>(length), MSG_DONTWAIT,
                         reinterpret_cast<const sockaddr*>(&d.address), d.length) == length)
                ++sent;
            else
                ++g_listenCounts.unsent;
        }
        lwTrace("sendto: %d of %d hosts\n", sent, static_cast<int>(road.to.size()));
        road.id = listener.add(road.fd);
    }
}

// Sends the message once more to a destination of a host list's road.
void resend(Road& road, const Destination& d, const unsigned char* message, int length, Listener& listener)
{
    if (road.fd == -1)
        return;
    if (::sendto(road.fd, message, static_cast<size_t>(length), MSG_DONTWAIT,
                 reinterpret_cast<const sockaddr*>(&d.address), d.length) != length)
        ++g_listenCounts.unsent;
    listener.touch(road.id);
}

Road* roadWithId(std::vector<Road>& roads, int id)
{
    for (Road& road : roads)
        if (road.id == id)
            return &road;
    return nullptr;
}

// Reports the sender of a v1 answer whose sysObjectID matches; true when it did.
bool reportMatch(CNetIO& io, const Datagram& datagram, SNMP_AGENT_CALLBACK callback, void* user,
                 const char* interfaceName)
{
    if (!io.parseForOID(datagram.data, datagram.size))
        return false;
    char address[INET6_ADDRSTRLEN];
    addressText(reinterpret_cast<const sockaddr*>(&datagram.from), address, sizeof address);
    lwTrace("szAddr=%s\n", address);
    if (callback != nullptr)
        (void)callback(address, interfaceName, user);
    return true;
}

// The name a road's answers are reported with: its local address's
// interface, or (unbound) the interface the answer came in by.
std::string reportedInterface(const Road& road, const Datagram& datagram)
{
    return road.bound ? road.interfaceName : interfaceNameOf(datagram.ifindex);
}

// A v1 operation over its roads: every answer that comes from where its
// road's message went is matched and reported; IPv6 answers fix the scope.
void listenV1(CNetIO& io, std::vector<Road>& roads, Listener& listener, const LocalLinks& links,
              SNMP_AGENT_CALLBACK callback, void* user)
{
    listener.run(kV1AnswerSize, [&](int id, Datagram& datagram) {
        Road* road = roadWithId(roads, id);
        if (road == nullptr)
            return;
        const bool v6 = road->family == AF_INET6;
        if (v6)
            lwTrace("[ipv6 BC] nRecv = %d", datagram.size);
        if (answeredDestination(road->to, datagram, links) < 0)
            return;
        const std::string name = reportedInterface(*road, datagram);
        if (v6)
            learnScope(road->bound ? road->scope : datagram.ifindex, name.c_str());
        reportMatch(io, datagram, callback, user, name.c_str());
    });
}

// The hosts of a list by family, each a destination of that family's
// unbound road; at most kDiscoveryMaxHosts in all (the rest is counted as
// beyond the address bound). A host that does not resolve is skipped.
std::vector<Road> hostRoads(const char* const* hosts, int count, const LocalLinks& links)
{
    Road v4, v6;
    v4.family = AF_INET;
    v6.family = AF_INET6;
    for (int i = 0; hosts != nullptr && i < count; ++i) {
        sockaddr_storage dest{};
        socklen_t destLen = 0;
        if (!resolveHost(hosts[i], dest, destLen))
            continue;
        if (static_cast<int>(v4.to.size() + v6.to.size()) >= kDiscoveryMaxHosts) {
            ++g_listenCounts.addressesBound;
            continue;
        }
        (dest.ss_family == AF_INET ? v4 : v6).to.push_back(destinationFor(dest, destLen, links));
    }
    std::vector<Road> roads;
    for (Road* road : {&v4, &v6})
        if (!road->to.empty())
            roads.push_back(*road);
    return roads;
}

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
    const LocalLinks links;
    std::vector<Road> roads = localRoads(AF_INET, dest, destLen, links);
    Listener listener(kBounds);
    sendOnRoads(roads, broadcast != 0, request, requestLen, 3, false, listener);
    listenV1(*this, roads, listener, links, callback, user);
    closeRoads(roads);
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
    const LocalLinks links;
    std::vector<Road> roads = localRoads(AF_INET6, dest, destLen, links);
    Listener listener(kBounds);
    sendOnRoads(roads, broadcast != 0, request, requestLen, 1, false, listener);
    listenV1(*this, roads, listener, links, callback, user);
    closeRoads(roads);
    return true;
}

bool CNetIO::FindSnmpAgentHosts(const char* community, const char* const* hosts, int count, const char* oidText,
                                SNMP_AGENT_CALLBACK callback, void* user, int broadcast)
{
    unsigned char request[V1_REQUEST_MAX];
    const int requestLen = discoveryRequest(community, request);
    if (requestLen <= 0 || !oidTextEncodes(oidText))
        return false;
    const LocalLinks links;
    std::vector<Road> roads = hostRoads(hosts, count, links);
    Listener listener(kBounds);
    sendToHosts(roads, broadcast != 0, request, requestLen, listener);
    // The operation ends once every host asked has answered; a host that has
    // not is asked once more (a datagram lost on a busy link is not a silent
    // printer).
    std::vector<std::vector<bool>> answered;
    size_t hostsAsked = 0, done = 0;
    for (const Road& road : roads) {
        answered.emplace_back(road.to.size(), false);
        hostsAsked += road.to.size();
    }
    listener.schedule(kHostsRetryMs, [&] {
        for (size_t r = 0; r < roads.size(); ++r)
            for (size_t d = 0; d < roads[r].to.size(); ++d)
                if (!answered[r][d] && roads[r].to[d].from == AnswerFrom::Peer)
                    resend(roads[r], roads[r].to[d], request, requestLen, listener);
    });
    listener.run(kV1AnswerSize, [&](int id, Datagram& datagram) {
        Road* road = roadWithId(roads, id);
        if (road == nullptr)
            return;
        const int which = answeredDestination(road->to, datagram, links);
        if (which < 0)
            return;
        const Destination& to = road->to[static_cast<size_t>(which)];
        const std::string name = reportedInterface(*road, datagram);
        if (road->family == AF_INET6 && needsScope(to.address))
            learnScope(datagram.ifindex, name.c_str());
        // Only a GetResponse that tells our model ends a host's wait: any
        // other datagram from its address (forged, or not an answer) does not.
        if (!reportMatch(*this, datagram, callback, user, name.c_str()))
            return;
        auto place = answered[static_cast<size_t>(road - roads.data())].begin() + which;
        if (to.from == AnswerFrom::Peer && !*place) {
            *place = true;
            if (++done == hostsAsked)
                listener.finish();
        }
    });
    closeRoads(roads);
    return true;
}

namespace {

// The scopes a scan tries: scope_id alone once it is set, otherwise the
// index of every interface (at most kDiscoveryMaxLocalAddresses).
std::vector<int> scanScopes(ifs_info* list)
{
    if (scope_id > 0)
        return {scope_id};
    std::vector<int> scopes;
    for (const ifs_info* n = list; n != nullptr; n = n->next) {
        if (static_cast<int>(scopes.size()) >= kDiscoveryMaxLocalAddresses) {
            ++g_listenCounts.addressesBound;
            break;
        }
        scopes.push_back(n->index);
    }
    return scopes;
}

const char* listName(ifs_info* list, int scope)
{
    const ifs_info* node = find_ifname(list, scope);
    return node != nullptr ? node->name : nullptr;
}

// A road per scope to the IPv6 destination, unbound.
std::vector<Road> scopeRoads(const sockaddr_in6& dest, const std::vector<int>& scopes, ifs_info* list,
                             const LocalLinks& links)
{
    std::vector<Road> roads;
    for (int scope : scopes) {
        Road road;
        road.family = AF_INET6;
        road.scope = scope;
        const char* name = listName(list, scope);
        road.interfaceName = name != nullptr ? name : "";
        sockaddr_storage d{};
        std::memcpy(&d, &dest, sizeof dest);
        reinterpret_cast<sockaddr_in6&>(d).sin6_scope_id = static_cast<uint32_t>(scope);
        road.to.push_back(destinationFor(d, sizeof dest, links));
        roads.push_back(road);
    }
    return roads;
}

// Listens to a scope scan: every scope listens side by side, and the scope
// that comes first in the scan's order among those whose answers count
// wins, as if they had been tried one after another; its answers are
// reported when the listening ends. Returns the winning scope, or -1. Other
// sockets' datagrams go to `other` first.
int listenScan(CNetIO& io, std::vector<Road>& scan, Listener& listener, const LocalLinks& links,
               SNMP_AGENT_CALLBACK callback, void* user, const std::function<bool(int id, Datagram&)>& other = {})
{
    struct Kept {
        size_t road;
        std::vector<unsigned char> bytes;
        sockaddr_storage from;
        socklen_t fromLength;
        int ifindex;
    };
    std::vector<Kept> kept;
    size_t winner = scan.size();
    listener.run(kV1AnswerSize, [&](int id, Datagram& datagram) {
        if (other && other(id, datagram))
            return;
        Road* road = roadWithId(scan, id);
        if (road == nullptr)
            return;
        const size_t index = static_cast<size_t>(road - scan.data());
        lwTrace(" nRecv = %d", datagram.size);
        if (index > winner || answeredDestination(road->to, datagram, links) < 0)
            return;
        if (index < winner) {
            // Scopes later in the order can no longer win.
            winner = index;
            for (size_t r = index + 1; r < scan.size(); ++r)
                listener.drop(scan[r].id);
        }
        kept.push_back({index, std::vector<unsigned char>(datagram.data, datagram.data + datagram.size),
                        datagram.from, datagram.fromLength, datagram.ifindex});
    });
    if (winner == scan.size())
        return -1;
    const Road& road = scan[winner];
    const char* name = road.interfaceName.empty() ? nullptr : road.interfaceName.c_str();
    learnScope(road.scope, name);
    lwTrace("[find] scope id=%d", scope_id);
    for (Kept& k : kept) {
        if (k.road != winner)
            continue;
        Datagram datagram{k.bytes.data(), static_cast<int>(k.bytes.size()), k.from, k.fromLength, k.ifindex};
        reportMatch(io, datagram, callback, user, name);
    }
    return road.scope;
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
    const LocalLinks links;
    // Every scope is tried at once; the first that brings an answer wins.
    std::vector<Road> scan = scopeRoads(dest, scanScopes(list), list, links);
    Listener listener(kBounds);
    const bool ok = sendOnRoads(scan, broadcast != 0, request, requestLen, 3, true, listener);
    if (ok)
        listenScan(*this, scan, listener, links, callback, user);
    lwTrace("nRecv failed\n");
    closeRoads(scan);
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
    const LocalLinks links;
    Listener listener(kBounds);

    // IPv4: the limited broadcast, which leaves by the default route.
    std::vector<Road> v4(1);
    v4[0].family = AF_INET;
    sockaddr_storage all{};
    auto& dest4 = reinterpret_cast<sockaddr_in&>(all);
    dest4.sin_family = AF_INET;
    dest4.sin_port = htons(kSnmpPort);
    dest4.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    v4[0].to.push_back(destinationFor(all, sizeof dest4, links));
    sendOnRoads(v4, true, request, requestLen, 3, false, listener);

    // IPv6: all nodes of the link of one scope. The first time every scope
    // is tried at once with one request and the first to answer is kept;
    // later calls send three requests on the kept scope.
    sockaddr_in6 dest6{};
    dest6.sin6_family = AF_INET6;
    dest6.sin6_port = htons(kSnmpPort);
    ::inet_pton(AF_INET6, "ff02::1", &dest6.sin6_addr);
    ifs_info* list = get_ifs_info(0, 0);
    const bool remembered = g_findScanIndex >= 0;
    const std::vector<int> scopes =
        remembered ? std::vector<int>{scope_id > 0 ? scope_id : g_findScanIndex} : scanScopes(list);
    std::vector<Road> scan = scopeRoads(dest6, scopes, list, links);
    sendOnRoads(scan, true, request, requestLen, remembered ? 3 : 1, false, listener);

    const int winner = listenScan(*this, scan, listener, links, callback, user, [&](int id, Datagram& datagram) {
                                      if (id != v4[0].id)
                                          return false;
                                      if (answeredDestination(v4[0].to, datagram, links) >= 0)
                                          reportMatch(*this, datagram, callback, user, nullptr);
                                      return true;
                                  });
    if (winner != -1)
        g_findScanIndex = winner;
    lwTrace("nRecv failed\n");
    closeRoads(v4);
    closeRoads(scan);
    free_ifs_info(list);
    return true;
}

// --------------------------------------------------------------- SNMPv3

namespace {

// An SNMPv3 discovery over its roads. Each road's probe brings Reports; every
// engine with the printers' prefix that reports from where the probe went is
// sent the authPriv request from the road's request socket (one per engine
// and road, at most kDiscoveryMaxEngines in all), and its answer, from that
// engine's address only, is matched and reported.
class V3Discovery {
public:
    V3Discovery(CNetIO& io, std::vector<Road>& roads, Listener& listener, const LocalLinks& links,
                SNMP_AGENT_CALLBACK callback, void* user, const char* traceName)
        : io_(io), roads_(roads), listener_(listener), links_(links), callback_(callback), user_(user),
          traceName_(traceName)
    {
    }

    // hostsAsked > 0: the operation ends once that many distinct engines
    // (one per asked host) have answered.
    void run(size_t hostsAsked)
    {
        hostsAsked_ = hostsAsked;
        listener_.run(SNMPV3_MSG_MAX, [&](int id, Datagram& datagram) {
            for (size_t r = 0; r < roads_.size(); ++r) {
                if (roads_[r].id == id)
                    return onReport(r, datagram);
                if (roads_[r].requestId == id)
                    return onAnswer(r, datagram);
            }
        });
    }

    // Whether an engine reported from that destination of the road.
    bool reported(size_t road, const Destination& d) const
    {
        for (const Engine& e : engines_)
            if (e.road == road && sameAddress(reinterpret_cast<const sockaddr*>(&e.at),
                                              reinterpret_cast<const sockaddr*>(&d.address)))
                return true;
        return false;
    }

private:
    struct Engine {
        size_t road;
        sockaddr_storage at;
        socklen_t atLength;
        _SNMP_PARAM_V3 param;
        bool answered;
    };

    void onReport(size_t r, Datagram& datagram)
    {
        Road& road = roads_[r];
        const bool v6 = road.family == AF_INET6;
        char address[INET6_ADDRSTRLEN];
        addressText(reinterpret_cast<const sockaddr*>(&datagram.from), address, sizeof address);
        lwTrace("recvfrom nRecv = %d, szAddr=%s\n", datagram.size, address);
        if (v6)
            lwTrace("[ipv6 BC] nRecv = %d", datagram.size);
        if (answeredDestination(road.to, datagram, links_) < 0)
            return;
        const std::string name = reportedInterface(road, datagram);
        if (v6)
            learnScope(road.bound ? road.scope : datagram.ifindex, name.c_str());
        Engine engine{r, datagram.from, datagram.fromLength, {}, false};
        if (!acceptEngineReport(datagram.data, datagram.size, engine.param))
            return;
        for (const Engine& e : engines_)
            if (e.road == r && sameEndpoint(reinterpret_cast<const sockaddr*>(&e.at),
                                            reinterpret_cast<const sockaddr*>(&datagram.from)))
                return; // asked already
        if (engines_.size() >= static_cast<size_t>(kDiscoveryMaxEngines)) {
            ++g_listenCounts.enginesBound;
            lwTrace("engine of %s not asked: %d engines waiting\n", address, kDiscoveryMaxEngines);
            return;
        }
        if (road.requestFd == -1) {
            road.requestFd = openUdpSocket(road.family, false, kOneSecondUs);
            if (road.requestFd == -1)
                return;
            if (road.bound
                && ::bind(road.requestFd, reinterpret_cast<const sockaddr*>(&road.local), road.localLength) != 0) {
                if (!v6)
                    lwTrace("nSendSock2 [ipv4 BC] ERROR on binding\n");
                ::close(road.requestFd);
                road.requestFd = -1;
                return;
            }
            road.requestId = listener_.add(road.requestFd);
        }
        const char* const oids[3] = {kSysObjectIdOidText, kSysNameOidText, kDeviceIdOidText};
        unsigned char message[SNMPV3_MSG_MAX];
        const int length = buildEngineRequest(engine.param, oids, 3, message);
        if (v6)
            lwTrace("snmpv3RequestPacketLen = %d", length);
        // The request goes to the engine that reported, not to everyone the
        // probe reached, and never waits for room (an engine at an address
        // nobody answers for holds its datagram until resolution gives up).
        if (length <= 0)
            return;
        if (::sendto(road.requestFd, message, static_cast<size_t>(length), MSG_DONTWAIT,
                     reinterpret_cast<const sockaddr*>(&engine.at), engine.atLength) != length) {
            ++g_listenCounts.unsent;
            return;
        }
        listener_.touch(road.requestId);
        engines_.push_back(engine);
    }

    void onAnswer(size_t r, Datagram& datagram)
    {
        Road& road = roads_[r];
        char address[INET6_ADDRSTRLEN];
        addressText(reinterpret_cast<const sockaddr*>(&datagram.from), address, sizeof address);
        lwTrace("recvfrom nRecv2 = %d, szAddr=%s\n", datagram.size, address);
        Engine* engine = nullptr;
        for (Engine& e : engines_)
            if (e.road == r && sameEndpoint(reinterpret_cast<const sockaddr*>(&e.at),
                                            reinterpret_cast<const sockaddr*>(&datagram.from)))
                engine = &e;
        if (engine == nullptr) {
            ++g_listenCounts.notAsked;
            lwTrace("ignored answer from %s: no engine asked there; %d so far\n", address, g_listenCounts.notAsked);
            return;
        }
        _sysObjIdLen = 0;
        _sysNameValue[0] = '\0';
        _availFlag = 0;
        engine->param.varbindCallback = CNetIO::searchAgentProCallbackEx2;
        lwTrace("parseSnmpV3Response begin");
        unsigned char errorStatus = 0xFF;
        if (CNetIO::parseSnmpV3Response(datagram.data, datagram.size, nullptr, nullptr, &errorStatus, nullptr,
                                        &engine->param) != 1
            || errorStatus != 0) {
            lwTrace("parseSnmpV3Response end");
            return;
        }
        lwTrace("parseSnmpV3Response end1");
        if (!engine->answered) {
            engine->answered = true;
            if (hostsAsked_ > 0 && ++answeredEngines_ >= hostsAsked_)
                listener_.finish();
        }
        if ((_availFlag & AVAIL_SYSOBJID) == 0 || !io_.MatchesTargetOID(_sysObjIdValue, _sysObjIdLen))
            return;
        lwTrace("%s szAddr=%s\n", traceName_, address);
        const std::string name = reportedInterface(road, datagram);
        if (callback_ != nullptr)
            (void)callback_(address, name.c_str(), user_);
    }

    CNetIO& io_;
    std::vector<Road>& roads_;
    Listener& listener_;
    const LocalLinks& links_;
    SNMP_AGENT_CALLBACK callback_;
    void* user_;
    const char* traceName_;
    std::vector<Engine> engines_;
    size_t hostsAsked_ = 0;
    size_t answeredEngines_ = 0;
};

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
    const LocalLinks links;
    std::vector<Road> roads = localRoads(AF_INET, dest, destLen, links);
    char text[INET6_ADDRSTRLEN];
    addressText(reinterpret_cast<const sockaddr*>(&dest), text, sizeof text);
    lwTrace("ipv4=%s\n", text);
    Listener listener(kBounds);
    sendOnRoads(roads, broadcast != 0, probe, probeLen, 1, false, listener);
    V3Discovery(*this, roads, listener, links, callback, user, "FindSnmpV3Agent").run(0);
    closeRoads(roads);
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
    const LocalLinks links;
    std::vector<Road> roads = localRoads(AF_INET6, dest, destLen, links);
    Listener listener(kBounds);
    const bool ok = sendOnRoads(roads, broadcast != 0, probe, probeLen, 1, true, listener);
    if (ok)
        V3Discovery(*this, roads, listener, links, callback, user, "FindSnmpV3AgentV6_").run(0);
    closeRoads(roads);
    return ok;
}

bool CNetIO::FindSnmpV3AgentHosts(const char* const* hosts, int count, SNMP_AGENT_CALLBACK callback, void* user,
                                  int broadcast)
{
    unsigned char probe[SNMPV3_MSG_MAX];
    const int probeLen = discoveryProbe(probe);
    if (probeLen <= 0)
        return true;
    const LocalLinks links;
    std::vector<Road> roads = hostRoads(hosts, count, links);
    size_t hostsAsked = 0;
    bool onlyUnicast = true;
    for (const Road& road : roads)
        for (const Destination& d : road.to) {
            ++hostsAsked;
            onlyUnicast = onlyUnicast && d.from == AnswerFrom::Peer;
        }
    Listener listener(kBounds);
    sendToHosts(roads, broadcast != 0, probe, probeLen, listener);
    V3Discovery discovery(*this, roads, listener, links, callback, user, "FindSnmpV3AgentHosts");
    // A host that has not reported is probed once more.
    listener.schedule(kHostsRetryMs, [&] {
        for (size_t r = 0; r < roads.size(); ++r)
            for (const Destination& d : roads[r].to)
                if (d.from == AnswerFrom::Peer && !discovery.reported(r, d))
                    resend(roads[r], d, probe, probeLen, listener);
    });
    discovery.run(onlyUnicast ? hostsAsked : 0);
    closeRoads(roads);
    return true;
}
