// SNMP v1 messages of CNetIO: the GetRequest builder, the bounded GetResponse
// walker, its value callbacks and the three parsers on top of it, and the
// target OIDs of discovery.
#include "snmp/NetIO.h"

#include "snmp/Ber.h"

#include <cstring>

using namespace ber;

namespace {

// sysObjectID.0, "1.3.6.1.2.1.1.2.0".
constexpr unsigned char kSysObjectIdOid[8] = {0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x02, 0x00};

// An INTEGER element: reports its first content byte (0 when it has none).
bool readSmallInt(Reader& r, unsigned char* first)
{
    const unsigned char* content;
    int len;
    if (!r.element(TAG_INTEGER, &content, &len))
        return false;
    if (first != nullptr)
        *first = len > 0 ? content[0] : 0;
    return true;
}

} // namespace

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
    const unsigned char* const end = msg + size;
    Reader r{msg, end};
    int len;

    // The message: its length covers exactly the rest of the datagram.
    if (!r.header(TAG_SEQUENCE, &len) || len != end - r.p)
        return false;

    unsigned char v;
    if (!readSmallInt(r, &v))
        return false;
    if (version != nullptr)
        *version = v;

    const unsigned char* text;
    if (!r.element(TAG_OCTET_STRING, &text, &len))
        return false;
    if (community != nullptr) {
        if (static_cast<size_t>(len) >= communityCapacity)
            return false;
        std::memcpy(community, text, static_cast<size_t>(len));
        community[len] = '\0';
    }

    // GetResponse (or the SetRequest tag), its length again exactly the rest.
    unsigned char pduTag;
    if (!r.header(ANY_TAG, &len, &pduTag) || (pduTag != TAG_GET_RESPONSE && pduTag != TAG_SET_REQUEST)
        || len != end - r.p)
        return false;

    if (!readSmallInt(r, requestId) || !readSmallInt(r, errorStatus) || !readSmallInt(r, errorIndex))
        return false;

    if (!r.header(TAG_SEQUENCE, &len))
        return false;
    Reader list{r.p, r.p + len};
    while (!list.atEnd()) {
        // One binding: its own length must lie within the list; it is not
        // used otherwise (the OID and value are walked element by element).
        int bindingLen;
        if (!list.header(TAG_SEQUENCE, &bindingLen))
            return false;
        const unsigned char* oid;
        int oidLen;
        if (!list.element(TAG_OID, &oid, &oidLen))
            return false;
        const unsigned char* value;
        int valueLen;
        unsigned char tag;
        if (!list.element(ANY_TAG, &value, &valueLen, &tag))
            return false;
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
    return MatchesTargetOID(sysObjId, sysObjIdLen);
}

bool CNetIO::MatchesTargetOID(const unsigned char* value, int length) const
{
    if (value == nullptr || length <= 4 || static_cast<size_t>(length) > OID_FIELD_SIZE)
        return false;
    const size_t n = static_cast<size_t>(length);
    return std::memcmp(targetOID1, value, n) == 0 || std::memcmp(targetOID2, value, n) == 0;
}

int CNetIO::InitTargetOID(const char* first, const char* second)
{
    std::memset(targetOID1, 0, sizeof targetOID1);
    std::memset(targetOID2, 0, sizeof targetOID2);
    (void)oidEncode(first, targetOID1, sizeof targetOID1);
    return oidEncode(second, targetOID2, sizeof targetOID2);
}

