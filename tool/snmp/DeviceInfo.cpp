// Device information queries of CNetIO: the printer's name (sysName.0), its
// firmware version and its MCU firmware version, one at a time over SNMP v1
// or all three in one SNMPv3 exchange.
#include "snmp/NetIO.h"

#include "snmp/Exchange.h"
#include "snmp/Listen.h"
#include "snmp/Trace.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <unistd.h>

namespace {

constexpr size_t kV1AnswerSize = 256;

// One v1 read to dest: the GetRequest three times, 30 us apart, then one
// wait of up to a second for an answer of at most 256 bytes.
bool readOneValue(CNetIO& io, const sockaddr* dest, socklen_t destLen, const char* community, const char* oidText,
                  char* out)
{
    const bool v6 = dest->sa_family == AF_INET6;
    unsigned char request[1024];
    const int requestLen = CNetIO::BuildGetRequestFor(1, oidText, community, request);
    if (requestLen <= 0 || out == nullptr)
        return false;
    const int fd = openUdpSocket(dest->sa_family, false, 1000000);
    if (fd == -1)
        return false;
    bool ok = false;
    if (sendTimes(fd, request, static_cast<size_t>(requestLen), dest, destLen, 3) > 0) {
        unsigned char answer[kV1AnswerSize];
        const long got = receiveAnswer(fd, answer, sizeof answer, dest, kListenQuietMs);
        lwTrace("NetSnmpGetV4 recvfrom nRecv = %d\n", static_cast<int>(got));
        ok = got > 0 && io.parseForRecvBuf(answer, static_cast<int>(got), out, DEVICE_INFO_TEXT_SIZE);
    } else if (v6) {
        lwTraceErrno("getv6 nRet");
    }
    ::close(fd);
    return ok;
}

} // namespace

bool CNetIO::NetSnmpGetV4(const char* host, const char* community, const char* oidText, char* out, int)
{
    sockaddr_in dest{};
    dest.sin_family = AF_INET;
    dest.sin_port = htons(kSnmpPort);
    if (host == nullptr || ::inet_pton(AF_INET, host, &dest.sin_addr) != 1)
        return false;
    return readOneValue(*this, reinterpret_cast<sockaddr*>(&dest), sizeof dest, community, oidText, out);
}

bool CNetIO::NetSnmpGetV6(const char* host, const char* community, const char* oidText, char* out, int)
{
    sockaddr_in6 dest{};
    dest.sin6_family = AF_INET6;
    dest.sin6_port = htons(kSnmpPort);
    dest.sin6_scope_id = static_cast<uint32_t>(scope_id);
    lwTrace("scope id=%d", scope_id);
    if (host == nullptr || ::inet_pton(AF_INET6, host, &dest.sin6_addr) != 1)
        return false;
    return readOneValue(*this, reinterpret_cast<sockaddr*>(&dest), sizeof dest, community, oidText, out);
}

namespace {

// The shape of the three single-value reads: IPv6 gets a second attempt.
int readText(CNetIO& io, const char* name, const char* oidText, const char* host, char* out, int pass)
{
    char oid[128];
    std::snprintf(oid, sizeof oid, "%s", oidText);
    lwTrace("%s enter\n", name);
    if (host == nullptr)
        return -1;
    const int family = hostFamily(host);
    bool ok = false;
    if (family == AF_INET6)
        ok = io.NetSnmpGetV6(host, kDefaultCommunity, oid, out, pass)
             || io.NetSnmpGetV6(host, kDefaultCommunity, oid, out, pass);
    else if (family == AF_INET)
        ok = io.NetSnmpGetV4(host, kDefaultCommunity, oid, out, pass);
    return ok ? 0 : -1;
}

} // namespace

int CNetIO::TesselNetworkGetPrinterName(const char* host, unsigned char, char* out, int pass)
{
    return readText(*this, "TesselNetworkGetPrinterName", kSysNameOidText, host, out, pass);
}

int CNetIO::TesselNetworkGetFwVersion(const char* host, unsigned char, char* out, int pass)
{
    return readText(*this, "TesselNetworkGetFwVersion", kFwVersionOidText, host, out, pass);
}

int CNetIO::TesselNetworkGetFwMCUVersion(const char* host, unsigned char, char* out, int pass)
{
    return readText(*this, "TesselNetworkGetFwMCUVersion", kMcuVersionOidText, host, out, pass);
}

// ---------------------------------------------------------------- SNMPv3

bool CNetIO::searchAgentProCallbackEx2(const unsigned char* oid, int oidLen, unsigned char tag,
                                       const unsigned char* value, int valueLen)
{
    if (oid == nullptr || oidLen <= 0 || valueLen < 0 || (value == nullptr && valueLen > 0))
        return false;
    auto is = [&](const unsigned char* encoded, int encodedLen) {
        return oidLen == encodedLen && std::memcmp(oid, encoded, static_cast<size_t>(oidLen)) == 0;
    };
    auto keepText = [&](char* buffer, int bit) {
        if (static_cast<size_t>(valueLen) >= V3_VALUE_BUF_SIZE)
            return false;
        if (valueLen > 0)
            std::memcpy(buffer, value, static_cast<size_t>(valueLen));
        buffer[valueLen] = '\0';
        _availFlag |= bit;
        return true;
    };
    if (is(_sysObjIdOid, _sysObjIdOidLen)) {
        if (static_cast<size_t>(valueLen) > V3_VALUE_BUF_SIZE)
            return false;
        if (valueLen > 0)
            std::memcpy(_sysObjIdValue, value, static_cast<size_t>(valueLen));
        _sysObjIdLen = valueLen;
        _availFlag |= AVAIL_SYSOBJID;
        return true;
    }
    if (is(_sysNameOid, _sysNameOidLen))
        return keepText(_sysNameValue, AVAIL_NAME);
    if (is(_pvtFwVerOid, _pvtFwVerOidLen))
        return keepText(_pvtFwVerValue, AVAIL_FW);
    if (is(_pvtMcuVerOid, _pvtMcuVerOidLen))
        return keepText(_pvtMcuVerValue, AVAIL_MCU);
    return false;
}

namespace {

bool readThreeTexts(const sockaddr* dest, socklen_t destLen, char* name, char* firmware, char* mcuFirmware)
{
    encodeValueOid(_sysNameOid, &_sysNameOidLen, kSysNameOidText);
    encodeValueOid(_pvtFwVerOid, &_pvtFwVerOidLen, kFwVersionOidText);
    encodeValueOid(_pvtMcuVerOid, &_pvtMcuVerOidLen, kMcuVersionOidText);
    const char* oids[3] = {kSysNameOidText, kFwVersionOidText, kMcuVersionOidText};
    bool result = false;
    V3Query query{oids, 3, CNetIO::searchAgentProCallbackEx2,
                  [] {
                      _sysNameValue[0] = _pvtFwVerValue[0] = _pvtMcuVerValue[0] = '\0';
                  },
                  [&] {
                      // A value the answer did not carry leaves its output alone.
                      for (auto [value, out] : {std::pair{_sysNameValue, name}, std::pair{_pvtFwVerValue, firmware},
                                                std::pair{_pvtMcuVerValue, mcuFirmware}})
                          if (value[0] != '\0' && out != nullptr)
                              std::memcpy(out, value, std::strlen(value) + 1);
                      result = true;
                  }};
    return runV3Query(dest, destLen, query) && result;
}

} // namespace

bool CNetIO::NetSnmpGetV4SNMPv3(const char* host, char* name, char* firmware, char* mcuFirmware, int)
{
    if (host == nullptr)
        return false;
    sockaddr_in dest{};
    dest.sin_family = AF_INET;
    dest.sin_port = htons(kSnmpPort);
    if (::inet_pton(AF_INET, host, &dest.sin_addr) != 1)
        return false;
    lwTrace("ipv4=%s\n", host);
    return readThreeTexts(reinterpret_cast<sockaddr*>(&dest), sizeof dest, name, firmware, mcuFirmware);
}

bool CNetIO::NetSnmpGetV6SNMPv3(const char* host, char* name, char* firmware, char* mcuFirmware, int)
{
    if (host == nullptr)
        return false;
    sockaddr_in6 dest{};
    dest.sin6_family = AF_INET6;
    dest.sin6_port = htons(kSnmpPort);
    dest.sin6_scope_id = static_cast<uint32_t>(scope_id);
    if (::inet_pton(AF_INET6, host, &dest.sin6_addr) != 1)
        return false;
    return readThreeTexts(reinterpret_cast<sockaddr*>(&dest), sizeof dest, name, firmware, mcuFirmware);
}

int CNetIO::TesselNetworkGetNameAndFwAndMCUVersion(const char* host, char* name, char* firmware,
                                                   char* mcuFirmware, int pass)
{
    if (host == nullptr)
        return -1;
    const int family = hostFamily(host);
    bool ok = false;
    if (family == AF_INET6)
        ok = NetSnmpGetV6SNMPv3(host, name, firmware, mcuFirmware, pass);
    else if (family == AF_INET)
        ok = NetSnmpGetV4SNMPv3(host, name, firmware, mcuFirmware, pass);
    return ok ? 0 : -1;
}
