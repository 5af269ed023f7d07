// CNetIO: BER/OID primitives, SNMP v1 GetRequest and GetResponse, the v1
// status query over UDP, and the TCP operations.
#include "snmp/NetIO.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <utility>

char g_deviceid[DEVICEID_BUF_SIZE];
char g_RecvBuf[RECVBUF_SIZE];
unsigned char sysObjId[SYSOBJID_SIZE];
int sysObjIdLen = 0;
int scope_id = 0;
char g_ifsName[256] = "%en0";

namespace {

// The printer's device-ID object.
constexpr const char* kDeviceIdOid = "1.3.6.1.4.1.41873.886.300.369.8531.1.1.0";
// Community used when the caller gives none (the tool's read community).
constexpr const char* kDefaultCommunity = "tundra";
// sysObjectID.0, "1.3.6.1.2.1.1.2.0".
constexpr unsigned char kSysObjectIdOid[8] = {0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x02, 0x00};

constexpr unsigned char TAG_INTEGER = 0x02;
constexpr unsigned char TAG_OCTET_STRING = 0x04;
constexpr unsigned char TAG_NULL = 0x05;
constexpr unsigned char TAG_OID = 0x06;
constexpr unsigned char TAG_SEQUENCE = 0x30;
constexpr unsigned char TAG_GET_REQUEST = 0xA0;
constexpr unsigned char TAG_GET_RESPONSE = 0xA2;
constexpr unsigned char TAG_SET_REQUEST = 0xA3; // accepted like a GetResponse

constexpr int kStatusPort = 161;
constexpr size_t kStatusRecvSize = 4024;

bool hostIsLittleEndian()
{
    const int one = 1;
    unsigned char first;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

// Reads one element header at p (bounded by end): the tag must be `tag`; on
// success *content points at the content and *len is its size, which lies
// wholly before end.
bool readHeader(const unsigned char*& p, const unsigned char* end, unsigned char tag, int* len)
{
    if (p >= end || *p != tag)
        return false;
    const unsigned char* q = CNetIO::parseLength(p + 1, end, len);
    if (q == nullptr || *len > end - q)
        return false;
    p = q;
    return true;
}

// An INTEGER element: reports its first content byte (0 when it has none).
bool readSmallInt(const unsigned char*& p, const unsigned char* end, unsigned char* first)
{
    int len;
    if (!readHeader(p, end, TAG_INTEGER, &len))
        return false;
    if (first != nullptr)
        *first = len > 0 ? p[0] : 0;
    p += len;
    return true;
}

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

} // namespace

int readIntValue(const unsigned char* p, int n)
{
    if (p == nullptr || n <= 0)
        return 0;
    uint32_t v = 0;
    for (int i = 0; i < n; ++i)
        v = (v << 8) | p[i];
    return static_cast<int>(v);
}

int max(int a, int b)
{
    return a > b ? a : b;
}

unsigned short FLIPWORD(unsigned short w)
{
    if (!hostIsLittleEndian())
        return w;
    return static_cast<unsigned short>(((w & 0xFF) << 8) | (w >> 8));
}

void Big2LittleEndian_(char* p)
{
    if (p == nullptr || !hostIsLittleEndian())
        return;
    std::swap(p[0], p[3]);
    std::swap(p[1], p[2]);
}

CNetIO::CNetIO() = default;
CNetIO::~CNetIO() = default;

// ---------------------------------------------------------------- BER / OID

int CNetIO::oidEncode(const char* text, unsigned char* out, size_t capacity)
{
    if (text == nullptr || out == nullptr)
        return -1;
    size_t textLen = ::strnlen(text, OID_TEXT_MAX + 1);
    if (textLen == 0 || textLen > OID_TEXT_MAX)
        return 0;

    uint32_t arcs[OID_TEXT_MAX / 2 + 1];
    size_t arcCount = 0;
    uint64_t value = 0;
    bool arcHasDigit = false;
    for (size_t i = 0; i <= textLen; ++i) {
        char c = i < textLen ? text[i] : '.';
        if (c >= '0' && c <= '9') {
            value = value * 10 + static_cast<unsigned>(c - '0');
            if (value > UINT32_MAX)
                return 0;
            arcHasDigit = true;
        } else if (c == '.') {
            if (!arcHasDigit)
                return 0; // empty arc
            arcs[arcCount++] = static_cast<uint32_t>(value);
            value = 0;
            arcHasDigit = false;
        } else {
            return 0;
        }
    }
    if (arcCount < 2)
        return 0;

    unsigned char work[OID_TEXT_MAX * 5];
    size_t n = 0;
    work[n++] = static_cast<unsigned char>((40u * arcs[0] + arcs[1]) & 0xFF);
    for (size_t a = 2; a < arcCount; ++a) {
        uint32_t arc = arcs[a];
        unsigned char groups[5];
        int g = 0;
        do {
            groups[g++] = static_cast<unsigned char>(arc & 0x7F);
            arc >>= 7;
        } while (arc != 0);
        while (g > 1)
            work[n++] = static_cast<unsigned char>(groups[--g] | 0x80);
        work[n++] = groups[0];
    }
    if (n > capacity)
        return 0;
    std::memcpy(out, work, n);
    return static_cast<int>(n);
}

unsigned char* CNetIO::berEncodeLength(unsigned char* end, unsigned long length)
{
    unsigned char* p = end;
    unsigned long v = length & 0xFFFFFFFFul;
    int count = 0;
    do {
        *--p = static_cast<unsigned char>(v & 0xFF);
        v >>= 8;
        ++count;
    } while (v != 0);
    if (count > 1 || (*p & 0x80))
        *--p = static_cast<unsigned char>(0x80 + count);
    return p;
}

const unsigned char* CNetIO::parseLength(const unsigned char* p, int* length)
{
    unsigned char first = *p;
    if (first < 0x80) {
        *length = first;
        return p + 1;
    }
    int k = first & 0x7F;
    uint32_t v = 0;
    for (int i = 1; i <= k; ++i)
        v = (v << 8) | p[i];
    *length = static_cast<int>(v);
    return p + 1 + k;
}

const unsigned char* CNetIO::parseLength(const unsigned char* p, const unsigned char* end, int* length)
{
    if (p == nullptr || end == nullptr || length == nullptr || p >= end)
        return nullptr;
    unsigned char first = *p;
    if (first < 0x80) {
        *length = first;
        return p + 1;
    }
    int k = first & 0x7F;
    if (k > end - p - 1)
        return nullptr;
    uint32_t v = 0;
    for (int i = 1; i <= k; ++i)
        v = (v << 8) | p[i];
    if (v > static_cast<uint32_t>(INT_MAX))
        return nullptr;
    *length = static_cast<int>(v);
    return p + 1 + k;
}

// ------------------------------------------------------------ SNMP v1 build

int CNetIO::BuildGetRequestFor(int count, const char* oidText, const char* community, unsigned char* out)
{
    if (count <= 0 || oidText == nullptr || out == nullptr)
        return -1;
    unsigned char oid[OID_TEXT_MAX];
    int m = oidEncode(oidText, oid, sizeof oid);
    if (m <= 0)
        return -1;
    if (community == nullptr)
        community = kDefaultCommunity;
    size_t n = std::strlen(community);
    // Every length is written as one short-form byte, so the whole message
    // (its length T + n + 18 with T = count * (m + 6)) must stay within 127.
    if (count > 127 || n > 127)
        return -1;
    long bindings = static_cast<long>(count) * (m + 6);
    long messageLen = bindings + static_cast<long>(n) + 18;
    if (messageLen > 127)
        return -1;

    unsigned char* w = out;
    *w++ = TAG_SEQUENCE;
    *w++ = static_cast<unsigned char>(messageLen);
    *w++ = TAG_INTEGER; *w++ = 1; *w++ = 0; // version 1
    *w++ = TAG_OCTET_STRING;
    *w++ = static_cast<unsigned char>(n);
    std::memcpy(w, community, n);
    w += n;
    *w++ = TAG_GET_REQUEST;
    *w++ = static_cast<unsigned char>(bindings + 11);
    for (int i = 0; i < 3; ++i) { // request-id, error-status, error-index
        *w++ = TAG_INTEGER; *w++ = 1; *w++ = 0;
    }
    *w++ = TAG_SEQUENCE;
    *w++ = static_cast<unsigned char>(bindings);
    for (int i = 0; i < count; ++i) {
        *w++ = TAG_SEQUENCE;
        *w++ = static_cast<unsigned char>(m + 4);
        *w++ = TAG_OID;
        *w++ = static_cast<unsigned char>(m);
        std::memcpy(w, oid, static_cast<size_t>(m));
        w += m;
        *w++ = TAG_NULL; *w++ = 0;
    }
    return static_cast<int>(w - out);
}

// ------------------------------------------------------------- SNMP v1 walk

bool CNetIO::parseGetResponse(const unsigned char* msg, int size, int* version, char* community,
                              unsigned char* requestId, unsigned char* errorStatus,
                              unsigned char* errorIndex, SNMP_VALUE_CALLBACK callback,
                              size_t communityCapacity)
{
    if (msg == nullptr || size <= 0)
        return false;
    const unsigned char* p = msg;
    const unsigned char* const end = msg + size;
    int len;

    // The message: its length covers exactly the rest of the datagram.
    if (!readHeader(p, end, TAG_SEQUENCE, &len) || len != end - p)
        return false;

    unsigned char v;
    if (!readSmallInt(p, end, &v))
        return false;
    if (version != nullptr)
        *version = v;

    if (!readHeader(p, end, TAG_OCTET_STRING, &len))
        return false;
    if (community != nullptr) {
        if (static_cast<size_t>(len) >= communityCapacity)
            return false;
        std::memcpy(community, p, static_cast<size_t>(len));
        community[len] = '\0';
    }
    p += len;

    if (p >= end || (*p != TAG_GET_RESPONSE && *p != TAG_SET_REQUEST))
        return false;
    if (!readHeader(p, end, *p, &len) || len != end - p)
        return false;

    if (!readSmallInt(p, end, requestId) || !readSmallInt(p, end, errorStatus) ||
        !readSmallInt(p, end, errorIndex))
        return false;

    if (!readHeader(p, end, TAG_SEQUENCE, &len))
        return false;
    const unsigned char* const listEnd = p + len;
    while (p < listEnd) {
        // One binding: its own length must lie within the list; it is not
        // used otherwise (the OID and value are walked element by element).
        int bindingLen;
        if (!readHeader(p, listEnd, TAG_SEQUENCE, &bindingLen))
            return false;
        int oidLen;
        if (!readHeader(p, listEnd, TAG_OID, &oidLen))
            return false;
        const unsigned char* oid = p;
        p += oidLen;
        if (p >= listEnd)
            return false;
        unsigned char tag = *p;
        int valueLen;
        if (!readHeader(p, listEnd, tag, &valueLen))
            return false;
        const unsigned char* value = p;
        p += valueLen;
        if (callback != nullptr)
            (void)callback(oid, oidLen, tag, value, valueLen);
    }
    return true;
}

bool CNetIO::outputDeviceIdValue(const unsigned char* oid, int oidLen, unsigned char tag,
                                 const unsigned char* value, int valueLen)
{
    if (tag != TAG_OCTET_STRING || valueLen < 0 || static_cast<size_t>(valueLen) >= DEVICEID_BUF_SIZE ||
        (value == nullptr && valueLen > 0))
        return false;
    if (valueLen > 0)
        std::memcpy(g_deviceid, value, static_cast<size_t>(valueLen));
    g_deviceid[valueLen] = '\0';
    return true;
}

bool CNetIO::outputRecvBufValue(const unsigned char* oid, int oidLen, unsigned char tag,
                                const unsigned char* value, int valueLen)
{
    if (valueLen < 0 || static_cast<size_t>(valueLen) >= RECVBUF_SIZE || (value == nullptr && valueLen > 0))
        return false;
    if (valueLen > 0)
        std::memcpy(g_RecvBuf, value, static_cast<size_t>(valueLen));
    g_RecvBuf[valueLen] = '\0';
    return true;
}

bool CNetIO::outputOidValue(const unsigned char* oid, int oidLen, unsigned char tag,
                            const unsigned char* value, int valueLen)
{
    if (oid == nullptr || oidLen < static_cast<int>(sizeof kSysObjectIdOid) ||
        std::memcmp(oid, kSysObjectIdOid, sizeof kSysObjectIdOid) != 0)
        return false;
    if (tag != TAG_OID || valueLen < 0 || static_cast<size_t>(valueLen) > SYSOBJID_SIZE ||
        (value == nullptr && valueLen > 0))
        return false;
    if (valueLen > 0)
        std::memcpy(sysObjId, value, static_cast<size_t>(valueLen));
    sysObjIdLen = valueLen;
    return true;
}

bool CNetIO::parseForDeviceId(const unsigned char* msg, int size, PRINTER_STATUS* record)
{
    if (!parseGetResponse(msg, size, nullptr, nullptr, nullptr, nullptr, nullptr, outputDeviceIdValue))
        return false;
    CTesselCmd decoder;
    return decoder.DecodStatusFromDeviceID(g_deviceid, record) == 0;
}

bool CNetIO::parseForRecvBuf(const unsigned char* msg, int size, char* out, size_t outCapacity)
{
    std::memset(g_RecvBuf, 0, sizeof g_RecvBuf);
    if (!parseGetResponse(msg, size, nullptr, nullptr, nullptr, nullptr, nullptr, outputRecvBufValue))
        return false;
    if (out == nullptr)
        return false;
    size_t len = ::strnlen(g_RecvBuf, sizeof g_RecvBuf - 1);
    if (len + 1 > outCapacity)
        return false;
    std::memcpy(out, g_RecvBuf, len + 1);
    return true;
}

bool CNetIO::parseForOID(const unsigned char* msg, int size, unsigned char* unused, int unusedLen)
{
    sysObjIdLen = 0;
    if (!parseGetResponse(msg, size, nullptr, nullptr, nullptr, nullptr, nullptr, outputOidValue))
        return false;
    if (sysObjIdLen <= 4 || static_cast<size_t>(sysObjIdLen) > OID_FIELD_SIZE)
        return false;
    size_t n = static_cast<size_t>(sysObjIdLen);
    return std::memcmp(targetOID1, sysObjId, n) == 0 || std::memcmp(targetOID2, sysObjId, n) == 0;
}

int CNetIO::InitTargetOID(const char* first, const char* second)
{
    std::memset(targetOID1, 0, sizeof targetOID1);
    std::memset(targetOID2, 0, sizeof targetOID2);
    (void)oidEncode(first, targetOID1, sizeof targetOID1);
    return oidEncode(second, targetOID2, sizeof targetOID2);
}

// ------------------------------------------------------ v1 status over UDP

namespace {

// Sends the request three times, waits once for an answer and parses it.
bool exchangeStatus(CNetIO& io, int fd, const sockaddr* dest, socklen_t destLen, const unsigned char* request,
                    int requestLen, PRINTER_STATUS* record, bool trace)
{
    ssize_t sent = 0;
    for (int i = 0; i < 3; ++i)
        sent = ::sendto(fd, request, static_cast<size_t>(requestLen), 0, dest, destLen);
    if (trace)
        std::fprintf(stderr, "Sendto nRet = %d, request_oid_len=%d\n", static_cast<int>(sent), requestLen);
    if (sent <= 0)
        return false;
    unsigned char answer[kStatusRecvSize];
    ssize_t got = ::recvfrom(fd, answer, sizeof answer, 0, nullptr, nullptr);
    if (trace)
        std::fprintf(stderr, "recvfrom nRecv = %d\n", static_cast<int>(got));
    if (got <= 0)
        return false;
    if (trace)
        std::fprintf(stderr, "NetworkReadStatus response=\n");
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
        std::fprintf(stderr, "error in getaddrinfo: %s\n", ::gai_strerror(rc));
        return false;
    }
    int family = res != nullptr ? res->ai_family : AF_UNSPEC;
    ::freeaddrinfo(res);
    if (family == AF_INET6)
        return NetworkReadStatusV6(community, host, record);

    unsigned char request[256];
    int requestLen = BuildGetRequestFor(1, kDeviceIdOid, community, request);
    if (requestLen <= 0)
        return false;
    int fd = openStatusSocket(AF_INET);
    if (fd == -1)
        return false;
    sockaddr_in dest{};
    dest.sin_family = AF_INET;
    dest.sin_port = htons(kStatusPort);
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
    int requestLen = BuildGetRequestFor(1, kDeviceIdOid, community, request);
    if (requestLen <= 0)
        return false;
    sockaddr_in6 dest{};
    dest.sin6_family = AF_INET6;
    dest.sin6_port = htons(kStatusPort);
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

// ----------------------------------------------------------------- TCP

int CNetIO::NetworkConnect(const char* host, int port)
{
    if (host == nullptr)
        return -1;
    std::printf("NetworkConnect server=%s\n", host);
    addrinfo* res = nullptr;
    int rc = ::getaddrinfo(host, nullptr, nullptr, &res);
    if (rc != 0) {
        std::fprintf(stderr, "error in getaddrinfo: %s\n", ::gai_strerror(rc));
        return -1;
    }
    int family = res != nullptr ? res->ai_family : AF_UNSPEC;
    ::freeaddrinfo(res);
    if (family == AF_INET6) {
        int r = NetworkConnectV6(host, port);
        std::printf("nReturn = %x\n", static_cast<unsigned>(r));
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
    std::printf("NetworkConnectV6=%s\n", text);
    sockaddr_in6 addr{};
    addr.sin6_family = AF_INET6;
    addr.sin6_port = htons(static_cast<uint16_t>(port));
    addr.sin6_scope_id = static_cast<uint32_t>(scope_id);
    if (::inet_pton(AF_INET6, host, &addr.sin6_addr) != 1)
        return -1; // not a numeric IPv6 address
    if (Open(AF_INET6, SOCK_STREAM, IPPROTO_TCP) != 0)
        return -1;
    int r = Connect(reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    std::printf("nRet = %x\n", static_cast<unsigned>(r));
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
