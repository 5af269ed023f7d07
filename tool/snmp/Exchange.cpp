// UDP and SNMPv3 pieces shared by the status queries, the device information
// queries and discovery (Exchange.h).
#include "snmp/Exchange.h"

#include "snmp/Credentials.h"
#include "snmp/Listen.h"
#include "snmp/Trace.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

int _sysObjIdOidLen = 0;
int _sysNameOidLen = 0;
int _pvtDevIdOidLen = 0;
int _pvtFwVerOidLen = 0;
int _pvtMcuVerOidLen = 0;

void encodeValueOid(unsigned char* buffer, int* length, const char* text)
{
    std::memset(buffer, 0, V3_VALUE_BUF_SIZE);
    const int n = CNetIO::oidEncode(text, buffer, V3_VALUE_BUF_SIZE);
    *length = n > 0 ? n : 0;
}

int hostFamily(const char* host)
{
    addrinfo* res = nullptr;
    const int rc = ::getaddrinfo(host, nullptr, nullptr, &res);
    if (rc != 0) {
        lwTrace("error in getaddrinfo: %s\n", ::gai_strerror(rc));
        return AF_UNSPEC;
    }
    const int family = res != nullptr ? res->ai_family : AF_UNSPEC;
    ::freeaddrinfo(res);
    return family;
}

int openUdpSocket(int family, bool broadcast, long timeoutUs)
{
    const int fd = ::socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd == -1)
        return -1;
    const int on = broadcast ? 1 : 0;
    const int on1 = 1;
    (void)::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    timeval tv{};
    tv.tv_sec = timeoutUs / 1000000;
    tv.tv_usec = timeoutUs % 1000000;
    (void)::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    // Room for a burst of answers (the kernel keeps what its limit allows).
    const int room = 1 << 20;
    (void)::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
    // The listening loops judge an answer by the interface it came in by.
    if (family == AF_INET)
        (void)::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on1, sizeof on1);
    else
        (void)::setsockopt(fd, IPPROTO_IPV6, IPV6_RECVPKTINFO, &on1, sizeof on1);
    return fd;
}

ssize_t sendTimes(int fd, const void* data, size_t size, const sockaddr* to, socklen_t toLength, int times)
{
    ssize_t sent = -1;
    for (int i = 0; i < times; ++i) {
        sent = ::sendto(fd, data, size, 0, to, toLength);
        ::usleep(30);
    }
    return sent;
}

void addressText(const sockaddr* address, char* out, size_t capacity)
{
    if (capacity == 0)
        return;
    out[0] = '\0';
    if (address->sa_family == AF_INET)
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, out,
                    static_cast<socklen_t>(capacity));
    else if (address->sa_family == AF_INET6)
        ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, out,
                    static_cast<socklen_t>(capacity));
}

void loadCredentials(_SNMP_PARAM_V3& param)
{
    std::memset(&param, 0, sizeof param);
    const SnmpV3Credentials& set = ThreadSnmpV3Credentials();
    std::snprintf(param.userName, sizeof param.userName, "%s", set.user.c_str());
    std::snprintf(param.authPassword, sizeof param.authPassword, "%s", set.authPass.c_str());
    std::snprintf(param.privPassword, sizeof param.privPassword, "%s", set.privPass.c_str());
}

bool acceptEngineReport(unsigned char* datagram, int size, _SNMP_PARAM_V3& param)
{
    loadCredentials(param);
    unsigned char errorStatus = 0xFF;
    if (CNetIO::parseSnmpV3Response(datagram, size, nullptr, nullptr, &errorStatus, nullptr, &param) == 0
        || errorStatus != 0)
        return false;
    return param.engineIDLen >= 4 && std::memcmp(param.engineID, kEnginePrefix, sizeof kEnginePrefix) == 0;
}

int buildEngineRequest(_SNMP_PARAM_V3& param, const char* const* oids, int count, unsigned char* out)
{
    return CNetIO::BuildSnmpV3RequestPacket(param.engineID, param.engineIDLen, param.engineBoots,
                                            param.engineTime, count, oids, nullptr, nullptr, nullptr,
                                            param.userName, param.authPassword, param.privPassword,
                                            param.authKey, param.privKey, out);
}

bool runV3Query(const sockaddr* dest, socklen_t destLength, const V3Query& query)
{
    const int family = dest->sa_family;
    const bool v6 = family == AF_INET6;
    unsigned char probe[SNMPV3_MSG_MAX];
    const int probeLen = CNetIO::BuildSnmpV3GetEngineIdPacket(SNMPv3RequestID, SNMPv3MsgID, probe,
                                                             sizeof probe);
    ++SNMPv3RequestID;
    ++SNMPv3MsgID;

    const int s = openUdpSocket(family, false, 1000000);
    if (s < 0)
        return false;
    if (probeLen <= 0 || ::sendto(s, probe, static_cast<size_t>(probeLen), 0, dest, destLength) <= 0) {
        if (v6)
            lwTraceErrno("[ipv6 BC] snedto failed");
        ::close(s);
        return false;
    }

    // The probe's socket listens until a second passes without a datagram;
    // each engine that reports is sent the request on a socket of its own,
    // which is listened to until its own second of silence before the
    // probe's socket is listened to again. Only the host asked may report,
    // only the engine asked may answer, and the whole query ends at its
    // bound however many datagrams arrive.
    struct Engine {
        int fd;
        sockaddr_storage at;
        socklen_t atLength;
        _SNMP_PARAM_V3 param;
    };
    std::vector<Engine> engines;
    engines.reserve(kV3QueryMaxEngines); // never moved: each record's keys are wiped where they are
    const LocalLinks noLinks(false);
    Listener listener({kListenQuietMs, kV3QueryLimitMs, kListenMaxDatagrams});
    const int probeId = listener.add(s);
    listener.run(SNMPV3_MSG_MAX, [&](int, Datagram& report) {
        if (v6)
            lwTrace("[ipv6 BC] nRecv = %d", report.size);
        if (!mayAnswer(dest, AnswerFrom::Peer, report, noLinks))
            return;
        if (engines.size() >= kV3QueryMaxEngines) {
            _SNMP_PARAM_V3 param;
            if (acceptEngineReport(report.data, report.size, param))
                ++g_listenCounts.enginesBound;
            explicit_bzero(&param, sizeof param);
            return;
        }
        Engine& engine = engines.emplace_back(Engine{-1, report.from, report.fromLength, {}});
        if (!acceptEngineReport(report.data, report.size, engine.param)) {
            explicit_bzero(&engine.param, sizeof engine.param);
            engines.pop_back();
            return;
        }
        engine.fd = openUdpSocket(family, false, 1000000);
        if (engine.fd < 0) {
            explicit_bzero(&engine.param, sizeof engine.param);
            engines.pop_back();
            return;
        }
        unsigned char request[SNMPV3_MSG_MAX];
        const int requestLen = buildEngineRequest(engine.param, query.oids, query.count, request);
        if (requestLen <= 0
            || ::sendto(engine.fd, request, static_cast<size_t>(requestLen), 0,
                        reinterpret_cast<const sockaddr*>(&engine.at), engine.atLength) != requestLen)
            return;
        Listener answers({kListenQuietMs, static_cast<int>(listener.leftMs()),
                          kListenMaxDatagrams - listener.datagrams()});
        answers.add(engine.fd);
        answers.run(SNMPV3_MSG_MAX, [&](int, Datagram& answer) {
            if (!mayAnswer(reinterpret_cast<const sockaddr*>(&engine.at), AnswerFrom::Peer, answer, noLinks))
                return;
            engine.param.varbindCallback = query.callback;
            if (query.before)
                query.before();
            unsigned char errorStatus = 0xFF;
            if (CNetIO::parseSnmpV3Response(answer.data, answer.size, nullptr, nullptr, &errorStatus, nullptr,
                                            &engine.param) == 1
                && errorStatus == 0 && query.accepted)
                query.accepted();
        });
        listener.touch(probeId);
    });
    // The pass phrases and the keys made from them go no further.
    for (Engine& engine : engines) {
        ::close(engine.fd);
        explicit_bzero(&engine.param, sizeof engine.param);
    }
    ::close(s);
    return true;
}
