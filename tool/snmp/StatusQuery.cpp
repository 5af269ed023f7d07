// The status queries that the tool calls: SNMP v1 (one GetRequest for the
// device-ID object, one 50 ms wait) and SNMPv3 (engine discovery, then an
// authenticated, encrypted GetRequest), over UDP on IPv4 and IPv6; and their
// plain entry points.
#include "snmp/NetIO.h"

#include "snmp/Exchange.h"
#include "snmp/Listen.h"
#include "snmp/Trace.h"

#include <arpa/inet.h>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

constexpr size_t kStatusRecvSize = 4024;
constexpr int kStatusWaitMs = 50; // the one wait for a v1 answer

// Sends the request three times, waits once for an answer and parses it.
bool exchangeStatus(CNetIO& io, int fd, const sockaddr* dest, socklen_t destLen, const unsigned char* request,
                    int requestLen, PRINTER_STATUS* record, bool trace)
{
    ssize_t sent = 0;
    for (int i = 0; i < 3; ++i)
        sent = ::sendto(fd, request, static_cast<size_t>(requestLen), 0, dest, destLen);
    if (trace)
        lwTrace("Sendto nRet = %d, request_oid_len=%d\n", static_cast<int>(sent), requestLen);
    if (sent <= 0)
        return false;
    unsigned char answer[kStatusRecvSize];
    const long got = receiveAnswer(fd, answer, sizeof answer, dest, kStatusWaitMs);
    if (trace)
        lwTrace("recvfrom nRecv = %d\n", static_cast<int>(got));
    if (got <= 0)
        return false;
    if (trace)
        lwTrace("NetworkReadStatus response=\n");
    return io.parseForDeviceId(answer, static_cast<int>(got), record);
}

} // namespace

bool CNetIO::NetworkReadStatus(const char* community, const char* host, PRINTER_STATUS* record)
{
    if (host == nullptr || record == nullptr)
        return false;
    const int family = hostFamily(host);
    if (family == AF_UNSPEC)
        return false;
    if (family == AF_INET6)
        return NetworkReadStatusV6(community, host, record);

    unsigned char request[256];
    int requestLen = BuildGetRequestFor(1, kDeviceIdOidText, community, request);
    if (requestLen <= 0)
        return false;
    int fd = openUdpSocket(AF_INET, false, kStatusWaitMs * 1000);
    if (fd == -1)
        return false;
    sockaddr_in dest{};
    dest.sin_family = AF_INET;
    dest.sin_port = htons(kSnmpPort);
    dest.sin_addr.s_addr = ::inet_addr(host);
    bool ok = exchangeStatus(*this, fd, reinterpret_cast<sockaddr*>(&dest), sizeof dest, request, requestLen,
                             record, false);
    ::close(fd);
    return ok;
}

bool CNetIO::NetworkReadStatusV6(const char* community, const char* host, PRINTER_STATUS* record)
{
    if (host == nullptr || record == nullptr)
        return false;
    unsigned char request[256];
    int requestLen = BuildGetRequestFor(1, kDeviceIdOidText, community, request);
    if (requestLen <= 0)
        return false;
    sockaddr_in6 dest{};
    dest.sin6_family = AF_INET6;
    dest.sin6_port = htons(kSnmpPort);
    dest.sin6_flowinfo = 0;
    dest.sin6_scope_id = static_cast<uint32_t>(scope_id);
    // A text that is not an IPv6 address has no destination: fail rather
    // than send to the unspecified address.
    if (::inet_pton(AF_INET6, host, &dest.sin6_addr) != 1)
        return false;
    int fd = openUdpSocket(AF_INET6, false, kStatusWaitMs * 1000);
    if (fd == -1)
        return false;
    bool ok = exchangeStatus(*this, fd, reinterpret_cast<sockaddr*>(&dest), sizeof dest, request, requestLen,
                             record, true);
    ::close(fd);
    return ok;
}

// ---- SNMPv3 status query ----

namespace {

// The query for either family. Each answer is decoded from its own value
// (never from an older text) into a record of its own, which replaces the
// caller's only when the status field decoded: an undecodable answer later
// in the window leaves the levels already read alone.
bool runStatusQuery(const sockaddr* dest, socklen_t destLen, PRINTER_STATUS* record)
{
    const char* oids[1] = {kDeviceIdOidText};
    bool result = false;
    V3Query query{oids, 1, CNetIO::outputDeviceIdValue, [] { g_deviceid[0] = '\0'; }, [&] {
        PRINTER_STATUS decoded;
        CTesselCmd decoder;
        if (decoder.DecodStatusFromDeviceID(g_deviceid, &decoded) == 0) {
            *record = decoded;
            result = true;
        }
    }};
    return runV3Query(dest, destLen, query) && result;
}

} // namespace

bool CNetIO::NetworkReadStatusSNMPv3(const char* community, const char* host, PRINTER_STATUS* record)
{
    (void)community; // the v1 community has no place in an SNMPv3 message
    if (host == nullptr || record == nullptr)
        return false;
    const int family = hostFamily(host);
    if (family == AF_UNSPEC)
        return false;
    if (family == AF_INET6)
        return NetworkReadStatusV6SNMPv3(community, host, record);

    sockaddr_in dest{};
    dest.sin_family = AF_INET;
    dest.sin_port = htons(kSnmpPort);
    if (inet_pton(AF_INET, host, &dest.sin_addr) != 1)
        return false; // not a numeric address: nowhere to send
    return runStatusQuery(reinterpret_cast<const sockaddr*>(&dest), sizeof dest, record);
}

bool CNetIO::NetworkReadStatusV6SNMPv3(const char* community, const char* host, PRINTER_STATUS* record)
{
    (void)community;
    if (host == nullptr || record == nullptr)
        return false;
    sockaddr_in6 dest{};
    dest.sin6_family = AF_INET6;
    dest.sin6_port = htons(kSnmpPort);
    dest.sin6_scope_id = static_cast<uint32_t>(scope_id);
    if (inet_pton(AF_INET6, host, &dest.sin6_addr) != 1)
        return false;
    return runStatusQuery(reinterpret_cast<const sockaddr*>(&dest), sizeof dest, record);
}

extern "C" bool NetworkReadStatusSNMPv3(const char* community, const char* host, PRINTER_STATUS* record)
{
    CNetIO io;
    return io.NetworkReadStatusSNMPv3(community, host, record);
}

extern "C" bool NetworkReadStatusV6SNMPv3(const char* community, const char* host, PRINTER_STATUS* record)
{
    CNetIO io;
    return io.NetworkReadStatusV6SNMPv3(community, host, record);
}

// ------------------------------------------------- entry points of the tool

extern "C" bool NetworkReadStatus(const char* community, const char* host, PRINTER_STATUS* record)
{
    CNetIO io;
    return io.NetworkReadStatus(community, host, record);
}

extern "C" bool NetworkReadStatusV6(const char* community, const char* host, PRINTER_STATUS* record)
{
    CNetIO io;
    return io.NetworkReadStatusV6(community, host, record);
}
