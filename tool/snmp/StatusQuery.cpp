// The status queries that the tool calls: SNMP v1 (one GetRequest for the
// device-ID object, one 50 ms wait) and SNMPv3 (engine discovery, then an
// authenticated, encrypted GetRequest), over UDP on IPv4 and IPv6; and their
// plain entry points.
#include "snmp/NetIO.h"

#include "snmp/Credentials.h"
#include "snmp/Trace.h"

#include <arpa/inet.h>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

constexpr size_t kStatusRecvSize = 4024;
constexpr unsigned char kEnginePrefix[4] = {0x80, 0x00, 0x0C, 0xF1};

// Opens a UDP socket with broadcasting off and the status query's 50 ms
// receive time-out; -1 on failure.
int openStatusSocket(int family)
{
    int fd = ::socket(family, SOCK_DGRAM, 0);
    if (fd == -1)
        return -1;
    int off = 0;
    (void)::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &off, sizeof off);
    timeval tv{};
    tv.tv_sec = 0;
    tv.tv_usec = 50000;
    (void)::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    return fd;
}

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
    ssize_t got = ::recvfrom(fd, answer, sizeof answer, 0, nullptr, nullptr);
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
    addrinfo* res = nullptr;
    int rc = ::getaddrinfo(host, nullptr, nullptr, &res);
    if (rc != 0) {
        lwTrace("error in getaddrinfo: %s\n", ::gai_strerror(rc));
        return false;
    }
    int family = res != nullptr ? res->ai_family : AF_UNSPEC;
    ::freeaddrinfo(res);
    if (family == AF_INET6)
        return NetworkReadStatusV6(community, host, record);

    unsigned char request[256];
    int requestLen = BuildGetRequestFor(1, kDeviceIdOidText, community, request);
    if (requestLen <= 0)
        return false;
    int fd = openStatusSocket(AF_INET);
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
    int fd = openStatusSocket(AF_INET6);
    if (fd == -1)
        return false;
    bool ok = exchangeStatus(*this, fd, reinterpret_cast<sockaddr*>(&dest), sizeof dest, request, requestLen,
                             record, true);
    ::close(fd);
    return ok;
}

// ---- SNMPv3 status query ----

namespace {

void setReceiveTimeout(int s)
{
    timeval tv{};
    tv.tv_sec = 1;
    tv.tv_usec = 0;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

void loadCredentials(_SNMP_PARAM_V3& param)
{
    std::memset(&param, 0, sizeof param);
    std::snprintf(param.userName, sizeof param.userName, "%s", kSnmpV3User);
    std::snprintf(param.authPassword, sizeof param.authPassword, "%s", kSnmpV3AuthPass);
    std::snprintf(param.privPassword, sizeof param.privPassword, "%s", kSnmpV3PrivPass);
}

// The two exchanges of the query, for either family. Every receive waits
// at most 1 second and neither loop ends early: an answered query lasts
// about 2 seconds (one silent second on each socket).
bool runSnmpV3Query(int family, const sockaddr* dest, socklen_t destLen, bool v6, PRINTER_STATUS* record)
{
    unsigned char probe[SNMPV3_MSG_MAX];
    const int probeLen = CNetIO::BuildSnmpV3GetEngineIdPacket(SNMPv3RequestID, SNMPv3MsgID, probe,
                                                             sizeof probe);
    ++SNMPv3RequestID;
    ++SNMPv3MsgID;

    const int s = socket(family, SOCK_DGRAM, 0);
    if (s < 0)
        return false;
    const int off = 0;
    setsockopt(s, SOL_SOCKET, SO_BROADCAST, &off, sizeof off);
    setReceiveTimeout(s);
    if (probeLen <= 0 || sendto(s, probe, static_cast<size_t>(probeLen), 0, dest, destLen) <= 0) {
        if (v6)
            lwTraceErrno("[ipv6 BC] snedto failed");
        close(s);
        return false;
    }

    bool result = false;
    _SNMP_PARAM_V3 param;
    unsigned char report[SNMPV3_MSG_MAX];
    unsigned char answer[SNMPV3_MSG_MAX];
    for (;;) {
        sockaddr_storage from{};
        socklen_t fromLen = sizeof from;
        const ssize_t got = recvfrom(s, report, sizeof report, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (v6)
            lwTrace("[ipv6 BC] nRecv = %d", static_cast<int>(got));
        if (got < 0)
            break;

        loadCredentials(param);
        unsigned char errorStatus = 0xFF, errorIndex = 0;
        if (CNetIO::parseSnmpV3Response(report, static_cast<int>(got), nullptr, nullptr, &errorStatus,
                                        &errorIndex, &param) == 0
            || errorStatus != 0)
            continue;
        if (param.engineIDLen < 4 || std::memcmp(param.engineID, kEnginePrefix, 4) != 0)
            continue;

        const int s2 = socket(family, SOCK_DGRAM, 0);
        if (s2 < 0)
            continue;
        setReceiveTimeout(s2);
        unsigned char request[SNMPV3_MSG_MAX];
        const char* oids[1] = {kDeviceIdOidText};
        const int requestLen = CNetIO::BuildSnmpV3RequestPacket(
            param.engineID, param.engineIDLen, param.engineBoots, param.engineTime, 1, oids, nullptr,
            nullptr, nullptr, param.userName, param.authPassword, param.privPassword, param.authKey,
            param.privKey, request);
        if (requestLen <= 0
            || sendto(s2, request, static_cast<size_t>(requestLen), 0, reinterpret_cast<sockaddr*>(&from),
                      fromLen) != requestLen) {
            close(s2);
            continue;
        }
        for (;;) {
            std::memset(answer, 0, sizeof answer);
            const ssize_t n = recv(s2, answer, sizeof answer, 0);
            if (n < 0)
                break;
            param.varbindCallback = CNetIO::outputDeviceIdValue;
            // Each answer is judged on its own value, never on an older text.
            g_deviceid[0] = '\0';
            errorStatus = 0xFF;
            if (CNetIO::parseSnmpV3Response(answer, static_cast<int>(n), nullptr, nullptr, &errorStatus,
                                            &errorIndex, &param) == 1
                && errorStatus == 0) {
                CTesselCmd decoder;
                if (decoder.DecodStatusFromDeviceID(g_deviceid, record) != -1)
                    result = true;
            }
        }
        close(s2);
    }
    close(s);
    return result;
}

} // namespace

bool CNetIO::NetworkReadStatusSNMPv3(const char* community, const char* host, PRINTER_STATUS* record)
{
    (void)community; // the v1 community has no place in an SNMPv3 message
    if (host == nullptr || record == nullptr)
        return false;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, nullptr, &found) != 0 || found == nullptr)
        return false;
    const int family = found->ai_family;
    freeaddrinfo(found);
    if (family == AF_INET6)
        return NetworkReadStatusV6SNMPv3(community, host, record);

    sockaddr_in dest{};
    dest.sin_family = AF_INET;
    dest.sin_port = htons(kSnmpPort);
    if (inet_pton(AF_INET, host, &dest.sin_addr) != 1)
        return false; // not a numeric address: nowhere to send
    return runSnmpV3Query(AF_INET, reinterpret_cast<const sockaddr*>(&dest), sizeof dest, false, record);
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
    return runSnmpV3Query(AF_INET6, reinterpret_cast<const sockaddr*>(&dest), sizeof dest, true, record);
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
