// The TCP operations of CNetIO on its CSocket part.
#include "snmp/NetIO.h"

#include "snmp/Exchange.h"
#include "snmp/Trace.h"

#include <arpa/inet.h>
#include <cstdint>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>

CNetIO::CNetIO() = default;
CNetIO::~CNetIO() = default;

int CNetIO::NetworkConnect(const char* host, int port)
{
    if (host == nullptr)
        return -1;
    lwTrace("NetworkConnect server=%s\n", host);
    const int family = hostFamily(host);
    if (family == AF_UNSPEC)
        return -1;
    if (family == AF_INET6) {
        int r = NetworkConnectV6(host, port);
        lwTrace("nReturn = %x\n", static_cast<unsigned>(r));
        return r;
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (::inet_pton(AF_INET, host, &addr.sin_addr) != 1)
        return -1; // not a dotted-decimal address
    if (Open(AF_INET, SOCK_STREAM, IPPROTO_TCP) != 0)
        return -1;
    return Connect(reinterpret_cast<sockaddr*>(&addr), sizeof addr);
}

int CNetIO::NetworkConnectV6(const char* host, int port)
{
    if (host == nullptr)
        return -1;
    char text[256];
    std::snprintf(text, sizeof text, "%s%s", host, g_ifsName);
    lwTrace("NetworkConnectV6=%s\n", text);
    sockaddr_in6 addr{};
    addr.sin6_family = AF_INET6;
    addr.sin6_port = htons(static_cast<uint16_t>(port));
    addr.sin6_scope_id = static_cast<uint32_t>(scope_id);
    if (::inet_pton(AF_INET6, host, &addr.sin6_addr) != 1)
        return -1; // not a numeric IPv6 address
    if (Open(AF_INET6, SOCK_STREAM, IPPROTO_TCP) != 0)
        return -1;
    int r = Connect(reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    lwTrace("nRet = %x\n", static_cast<unsigned>(r));
    return r;
}

int CNetIO::NetworkRead(int, void* buffer, int size)
{
    if (buffer == nullptr || size <= 0)
        return 0;
    unsigned long count = 0;
    (void)Read(buffer, static_cast<size_t>(size), &count);
    return static_cast<int>(count);
}

int CNetIO::NetworkWrite(int, const void* data, int size)
{
    if (data == nullptr || size <= 0)
        return 0;
    unsigned long count = 0;
    (void)Write(data, static_cast<size_t>(size), &count);
    return static_cast<int>(count);
}

void CNetIO::NetworkClose(int)
{
    Close();
}

