// SNMPv3 with the User-based Security Model: message builders, the response
// parser and the status query (HMAC-MD5-96 authentication, CBC-DES privacy).
#include "snmp/NetIO.h"

#include "snmp/Credentials.h"
#include "snmp/Usm.h"

#include <openssl/crypto.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

unsigned short SNMPv3MsgID = 0;
unsigned short SNMPv3RequestID = 0;
unsigned int salt_low = 0;

namespace {

constexpr const char* kDeviceIdOidText = "1.3.6.1.4.1.41873.886.300.369.8531.1.1.0";
constexpr unsigned char kEnginePrefix[4] = {0x80, 0x00, 0x0C, 0xF1};
constexpr int kMsgMaxSize = 2048;

// Writes an element from the end of a buffer towards its start; any write
// that would not fit marks the writer failed and writes nothing more.
class BackWriter {
public:
    BackWriter(unsigned char* buf, size_t size) : start_(buf), end_(buf + size), p_(buf + size) {}

    void bytes(const void* src, size_t n)
    {
        if (!ok_ || n > static_cast<size_t>(p_ - start_)) {
            ok_ = false;
            return;
        }
        p_ -= n;
        if (n != 0)
            std::memcpy(p_, src, n);
    }
    void byte(unsigned char b) { bytes(&b, 1); }
    // BER length in its shortest form.
    void berLength(size_t n)
    {
        if (n > 0xFFFFFFFFu) {
            ok_ = false;
            return;
        }
        unsigned char tmp[5];
        int k = 0;
        size_t v = n;
        do {
            tmp[4 - k] = static_cast<unsigned char>(v & 0xFF);
            ++k;
            v >>= 8;
        } while (v != 0);
        if (k > 1 || (tmp[4] & 0x80) != 0) {
            tmp[4 - k] = static_cast<unsigned char>(0x80 + k);
            ++k;
        }
        bytes(tmp + 5 - k, static_cast<size_t>(k));
    }
    // Prefixes tag and BER length to everything written since mark.
    void wrap(unsigned char tag, const unsigned char* mark)
    {
        berLength(static_cast<size_t>(mark - p_));
        byte(tag);
    }
    // Prefixes tag and a single length byte (content below 128 bytes).
    void wrapShort(unsigned char tag, const unsigned char* mark)
    {
        const size_t n = static_cast<size_t>(mark - p_);
        if (n > 127) {
            ok_ = false;
            return;
        }
        byte(static_cast<unsigned char>(n));
        byte(tag);
    }
    // A non-negative INTEGER in its shortest two's-complement form.
    void integer(unsigned int value)
    {
        const unsigned char* mark = p_;
        unsigned int v = value;
        do {
            byte(static_cast<unsigned char>(v & 0xFF));
            v >>= 8;
        } while (v != 0);
        if ((*p_ & 0x80) != 0)
            byte(0x00);
        wrapShort(0x02, mark);
    }
    const unsigned char* pos() const { return p_; }
    bool ok() const { return ok_; }
    int size() const { return static_cast<int>(end_ - p_); }
    int copyTo(unsigned char* out) const
    {
        if (!ok_ || out == nullptr)
            return -1;
        std::memmove(out, p_, static_cast<size_t>(end_ - p_));
        return size();
    }

private:
    unsigned char* start_;
    unsigned char* end_;
    unsigned char* p_;
    bool ok_ = true;
};

} // namespace

// ---- Builders ----

int CNetIO::BuildSnmpV3PDU(unsigned short requestId, int count, const char* const* oids,
                           const unsigned char* const* values, const signed char* valueLens,
                           const unsigned char* valueTags, unsigned char* out)
{
    if (out == nullptr || count < 0 || (count > 0 && oids == nullptr))
        return -1;
    const bool withValues = values != nullptr;
    if (withValues && (valueLens == nullptr || valueTags == nullptr))
        return -1;

    unsigned char buf[SNMPV3_MSG_MAX];
    BackWriter w(buf, sizeof buf);
    const unsigned char* listEnd = w.pos();
    // Bindings in array order: written backwards, last one first.
    for (int i = count - 1; i >= 0; --i) {
        const unsigned char* bindingEnd = w.pos();
        if (withValues) {
            const int n = valueLens[i];
            if (n < 0 || (n > 0 && values[i] == nullptr))
                return -1;
            w.bytes(values[i], static_cast<size_t>(n));
            w.berLength(static_cast<size_t>(n));
            w.byte(valueTags[i]);
        } else {
            w.byte(0x00);
            w.byte(0x05);
        }
        unsigned char oid[128];
        const int oidLen = oidEncode(oids[i], oid, sizeof oid);
        if (oidLen <= 0 || oidLen > 127)
            return -1;
        const unsigned char* oidEnd = w.pos();
        w.bytes(oid, static_cast<size_t>(oidLen));
        w.wrapShort(0x06, oidEnd);
        w.wrapShort(0x30, bindingEnd);
    }
    w.wrap(0x30, listEnd);
    const unsigned char zero[3] = {0x02, 0x01, 0x00};
    w.bytes(zero, 3); // error-index
    w.bytes(zero, 3); // error-status
    w.integer(requestId);
    w.wrap(withValues ? 0xA3 : 0xA0, listEnd);
    return w.copyTo(out);
}

int CNetIO::BuildSnmpV3GetRequestPDU(unsigned short requestId, int count, const char* const* oids,
                                     unsigned char* out)
{
    return BuildSnmpV3PDU(requestId, count, oids, nullptr, nullptr, nullptr, out);
}

int CNetIO::BuildSnmpV3msgData(const unsigned char* contextEngineID, int contextEngineIDLen,
                               const char* contextName, unsigned short requestId, int count,
                               const char* const* oids, const unsigned char* const* values,
                               const signed char* valueLens, const unsigned char* valueTags,
                               unsigned char* out)
{
    if (out == nullptr)
        return -1;
    if (contextEngineID == nullptr || contextEngineIDLen < 0)
        contextEngineIDLen = 0;
    if (contextEngineIDLen > SNMPV3_ENGINEID_MAX)
        return -1;
    const size_t nameLen = contextName != nullptr ? std::strlen(contextName) : 0;

    unsigned char pdu[SNMPV3_MSG_MAX];
    const int pduLen = BuildSnmpV3PDU(requestId, count, oids, values, valueLens, valueTags, pdu);
    if (pduLen < 0)
        return -1;

    unsigned char buf[SNMPV3_MSG_MAX];
    BackWriter w(buf, sizeof buf);
    const unsigned char* end = w.pos();
    w.bytes(pdu, static_cast<size_t>(pduLen));
    const unsigned char* nameEnd = w.pos();
    w.bytes(contextName, nameLen);
    w.wrapShort(0x04, nameEnd);
    const unsigned char* engineEnd = w.pos();
    w.bytes(contextEngineID, static_cast<size_t>(contextEngineIDLen));
    w.wrapShort(0x04, engineEnd);
    w.wrap(0x30, end);
    return w.copyTo(out);
}

int CNetIO::BuildSnmpV3msgSecurityParameters(const unsigned char* engineID, int engineIDLen,
                                             unsigned int boots, unsigned int time,
                                             const char* userName, const char* authPass,
                                             const unsigned char* privParams, int privParamsLen,
                                             unsigned char* out, int* authOffset)
{
    if (authOffset != nullptr)
        *authOffset = -1;
    if (out == nullptr)
        return -1;
    if (engineID == nullptr || engineIDLen < 0)
        engineIDLen = 0;
    if (privParams == nullptr || privParamsLen < 0)
        privParamsLen = 0;
    if (engineIDLen > SNMPV3_ENGINEID_MAX || privParamsLen > SNMPV3_HOLDER_MAX)
        return -1;
    const size_t userLen = userName != nullptr ? std::strlen(userName) : 0;
    const bool auth = authPass != nullptr && authPass[0] != '\0';

    unsigned char buf[SNMPV3_MSG_MAX];
    BackWriter w(buf, sizeof buf);
    const unsigned char* end = w.pos();
    const unsigned char* mark = w.pos();
    w.bytes(privParams, static_cast<size_t>(privParamsLen));
    w.wrapShort(0x04, mark);
    mark = w.pos();
    const unsigned char zeros[SNMPV3_AUTHPARAM_LEN] = {};
    if (auth)
        w.bytes(zeros, sizeof zeros);
    const unsigned char* authField = w.pos();
    w.wrapShort(0x04, mark);
    mark = w.pos();
    w.bytes(userName, userLen);
    w.wrap(0x04, mark);
    w.integer(time);
    w.integer(boots);
    mark = w.pos();
    w.bytes(engineID, static_cast<size_t>(engineIDLen));
    w.wrapShort(0x04, mark);
    w.wrap(0x30, end);
    w.wrap(0x04, end);
    if (!w.ok())
        return -1;
    if (auth && authOffset != nullptr)
        *authOffset = static_cast<int>(authField - w.pos());
    return w.copyTo(out);
}

int CNetIO::BuildSnmpV3msgGlobalDataUSM(unsigned short msgId, int msgMaxSize, bool reportable,
                                        bool privacy, bool authentication, unsigned char* out)
{
    std::fprintf(stderr, "msgMaxSize=%x, FLIPWORD((LOWORD(msgMaxSize)))=%x\n", msgMaxSize,
                 FLIPWORD(static_cast<unsigned short>(msgMaxSize & 0xFFFF)));
    if (out == nullptr || msgMaxSize < 0)
        return -1;
    const unsigned char flags = static_cast<unsigned char>((reportable ? 0x04 : 0)
                                                           | (privacy ? 0x02 : 0)
                                                           | (authentication ? 0x01 : 0));
    unsigned char buf[64];
    BackWriter w(buf, sizeof buf);
    const unsigned char* end = w.pos();
    w.integer(3); // msgSecurityModel: USM
    const unsigned char* mark = w.pos();
    w.byte(flags);
    w.wrapShort(0x04, mark);
    w.integer(static_cast<unsigned int>(msgMaxSize));
    w.integer(msgId);
    w.wrap(0x30, end);
    return w.copyTo(out);
}

int CNetIO::BuildSnmpV3Packet(const unsigned char* globalData, int globalDataLen,
                              const unsigned char* securityParams, int securityParamsLen,
                              const unsigned char* msgData, int msgDataLen, int* authOffset,
                              unsigned char* out)
{
    if (out == nullptr || globalData == nullptr || securityParams == nullptr || msgData == nullptr
        || globalDataLen <= 0 || securityParamsLen <= 0 || msgDataLen <= 0)
        return -1;
    unsigned char buf[SNMPV3_MSG_MAX];
    BackWriter w(buf, sizeof buf);
    const unsigned char* end = w.pos();
    w.bytes(msgData, static_cast<size_t>(msgDataLen));
    w.bytes(securityParams, static_cast<size_t>(securityParamsLen));
    w.bytes(globalData, static_cast<size_t>(globalDataLen));
    const unsigned char* versionEnd = w.pos();
    w.integer(3); // msgVersion: SNMPv3
    w.wrap(0x30, end);
    if (!w.ok())
        return -1;
    if (authOffset != nullptr && *authOffset >= 0) {
        *authOffset += globalDataLen;
        *authOffset += static_cast<int>(versionEnd - w.pos());
    }
    return w.copyTo(out);
}

int CNetIO::BuildSnmpV3GetEngineIdPacket(unsigned short requestId, unsigned short msgId,
                                         unsigned char* out, int capacity)
{
    if (out == nullptr)
        return -1;
    unsigned char scoped[SNMPV3_MSG_MAX], security[SNMPV3_MSG_MAX], global[SNMPV3_MSG_MAX];
    const int scopedLen = BuildSnmpV3msgData(nullptr, 0, nullptr, requestId, 0, nullptr, nullptr,
                                             nullptr, nullptr, scoped);
    const int securityLen = BuildSnmpV3msgSecurityParameters(nullptr, 0, 0, 0, nullptr, nullptr,
                                                             nullptr, 0, security, nullptr);
    const int globalLen = BuildSnmpV3msgGlobalDataUSM(msgId, kMsgMaxSize, true, false, false, global);
    unsigned char msg[SNMPV3_MSG_MAX];
    const int len = BuildSnmpV3Packet(global, globalLen, security, securityLen, scoped, scopedLen,
                                      nullptr, msg);
    if (len <= 0 || (capacity > 0 && len > capacity))
        return -1;
    std::memcpy(out, msg, static_cast<size_t>(len));
    return len;
}

int CNetIO::BuildSnmpV3RequestPacket(const unsigned char* engineID, int engineIDLen,
                                     unsigned int boots, unsigned int time, int count,
                                     const char* const* oids, const unsigned char* const* values,
                                     const signed char* valueLens, const unsigned char* valueTags,
                                     const char* userName, const char* authPass,
                                     const char* privPass, unsigned char* authKeyOut,
                                     unsigned char* privKeyOut, unsigned char* out)
{
    if (authKeyOut != nullptr)
        std::memset(authKeyOut, 0, kUsmKeyLen);
    if (privKeyOut != nullptr)
        std::memset(privKeyOut, 0, kUsmKeyLen);
    if (out == nullptr || authKeyOut == nullptr || privKeyOut == nullptr)
        return 0;
    if (engineID == nullptr || engineIDLen < 0)
        engineIDLen = 0;
    if (engineIDLen > SNMPV3_ENGINEID_MAX)
        return 0;
    const bool auth = authPass != nullptr && authPass[0] != '\0';
    const bool priv = privPass != nullptr && privPass[0] != '\0';
    if (priv && !auth)
        return 0; // privacy without authentication is no USM security level

    // 1. The scoped PDU, in a zero-filled buffer (the zeros pad the last DES block).
    unsigned char scoped[SNMPV3_MSG_MAX] = {};
    const int scopedLen = BuildSnmpV3msgData(engineID, engineIDLen, nullptr, SNMPv3RequestID, count,
                                             oids, values, valueLens, valueTags, scoped);
    ++SNMPv3RequestID;
    if (scopedLen <= 0)
        return 0;
    const int raised = (scopedLen + 7) & ~7;
    if (raised > SNMPV3_MSG_MAX)
        return 0;

    // 2. Privacy: key, salt (boots, then salt_low), IV, encryptedPDU.
    unsigned char salt[kUsmSaltLen] = {};
    unsigned char encrypted[SNMPV3_MSG_MAX + 8];
    const unsigned char* msgData = scoped;
    int msgDataLen = scopedLen;
    if (priv) {
        Password_to_Key_md5(reinterpret_cast<const unsigned char*>(privPass),
                            static_cast<uint32_t>(std::strlen(privPass)), engineID,
                            static_cast<uint32_t>(engineIDLen), privKeyOut);
        const unsigned int low = salt_low++;
        for (int i = 0; i < 4; ++i) {
            salt[i] = static_cast<unsigned char>(boots >> (24 - 8 * i));
            salt[4 + i] = static_cast<unsigned char>(low >> (24 - 8 * i));
        }
        unsigned char iv[8];
        for (int i = 0; i < 8; ++i)
            iv[i] = privKeyOut[8 + i] ^ salt[i];
        unsigned char cipher[SNMPV3_MSG_MAX];
        const int n = DesEncryption(privKeyOut, iv, scoped, static_cast<uint32_t>(scopedLen), cipher,
                                    sizeof cipher);
        if (n != scopedLen)
            return 0;
        BackWriter w(encrypted, sizeof encrypted);
        const unsigned char* end = w.pos();
        w.bytes(cipher, static_cast<size_t>(raised));
        w.wrap(0x04, end);
        msgDataLen = w.copyTo(encrypted);
        msgData = encrypted;
        if (msgDataLen <= 0)
            return 0;
    }

    // 3. Security parameters (12 zero bytes hold the place of the code).
    unsigned char security[SNMPV3_MSG_MAX];
    int authOffset = -1;
    const int securityLen = BuildSnmpV3msgSecurityParameters(
        engineID, engineIDLen, boots, time, userName, auth ? authPass : nullptr,
        priv ? salt : nullptr, priv ? static_cast<int>(sizeof salt) : 0, security, &authOffset);

    // 4. Global data.
    unsigned char global[64];
    const int globalLen = BuildSnmpV3msgGlobalDataUSM(SNMPv3MsgID, kMsgMaxSize, true, priv, auth, global);
    ++SNMPv3MsgID;
    if (securityLen <= 0 || globalLen <= 0)
        return 0;

    // 5. The whole message.
    const int len = BuildSnmpV3Packet(global, globalLen, security, securityLen, msgData, msgDataLen,
                                      &authOffset, out);
    if (len <= 0)
        return 0;

    // 6. Authentication over every byte of the message.
    if (auth) {
        if (authOffset < 0 || authOffset + SNMPV3_AUTHPARAM_LEN > len)
            return 0;
        Password_to_Key_md5(reinterpret_cast<const unsigned char*>(authPass),
                            static_cast<uint32_t>(std::strlen(authPass)), engineID,
                            static_cast<uint32_t>(engineIDLen), authKeyOut);
        unsigned char k1[64], k2[64];
        AuthKey2K1K2(authKeyOut, k1, k2);
        CalcuateAuthParams(out, static_cast<uint32_t>(len), k1, k2, out + authOffset);
        OPENSSL_cleanse(k1, sizeof k1);
        OPENSSL_cleanse(k2, sizeof k2);
    }
    return len;
}

// ---- Parser ----

namespace {

// A bounded view of received bytes: nothing at or past end is ever read.
struct Cursor {
    unsigned char* p;
    unsigned char* end;
};

// Reads one element at c.p: its tag (must equal wantTag unless wantTag < 0),
// its BER length (short form, or 0x80+k and k bytes; k = 0 reads as 0), and
// requires the whole content to lie before c.end. On success c.p moves past
// the element. Lengths of 2^31 or more are refused.
bool element(Cursor& c, int wantTag, unsigned char** content, int* length, unsigned char* tag = nullptr)
{
    if (c.p >= c.end)
        return false;
    const unsigned char t = c.p[0];
    if (wantTag >= 0 && t != wantTag)
        return false;
    unsigned char* q = c.p + 1;
    if (q >= c.end)
        return false;
    unsigned long n = *q++;
    if (n & 0x80) {
        const unsigned k = n & 0x7F;
        n = 0;
        if (k > static_cast<unsigned>(c.end - q))
            return false;
        for (unsigned i = 0; i < k; ++i) {
            if (n > 0x7FFFFF)
                return false; // would reach 2^31
            n = (n << 8) | *q++;
        }
    }
    if (n > static_cast<unsigned long>(c.end - q))
        return false;
    if (tag != nullptr)
        *tag = t;
    *content = q;
    *length = static_cast<int>(n);
    c.p = q + n;
    return true;
}

// An INTEGER whose first content byte is reported (when out is not null).
bool integerFirstByte(Cursor& c, unsigned char* out)
{
    unsigned char* v;
    int n;
    if (!element(c, 0x02, &v, &n) || n < 1)
        return false;
    if (out != nullptr)
        *out = v[0];
    return true;
}

// An INTEGER read as an unsigned big-endian number (low 32 bits).
bool integerUnsigned(Cursor& c, unsigned int* out)
{
    unsigned char* v;
    int n;
    if (!element(c, 0x02, &v, &n) || n < 1)
        return false;
    unsigned int value = 0;
    for (int i = 0; i < n; ++i)
        value = (value << 8) | v[i];
    *out = value;
    return true;
}

bool keyHeld(const unsigned char* key)
{
    unsigned char any = 0;
    for (int i = 0; i < 16; ++i)
        any |= key[i];
    return any != 0;
}

} // namespace

int CNetIO::parseSnmpV3Response(unsigned char* msg, int len, int* version, unsigned char* requestId,
                                unsigned char* errorStatus, unsigned char* errorIndex,
                                _SNMP_PARAM_V3* param)
{
    if (msg == nullptr || len < 2 || param == nullptr)
        return 0;
    if (len > SNMPV3_MSG_MAX)
        len = SNMPV3_MSG_MAX; // the receive buffers hold 2048 bytes; more is not ours to read

    // 1. The message SEQUENCE fills the datagram exactly.
    Cursor all{msg, msg + len};
    unsigned char* body;
    int bodyLen;
    if (!element(all, 0x30, &body, &bodyLen) || body + bodyLen != msg + len)
        return 0;
    Cursor c{body, body + bodyLen};

    // 2. msgVersion.
    unsigned char v;
    if (!integerFirstByte(c, &v))
        return 0;
    if (version != nullptr)
        *version = v;

    // 3. msgGlobalData: msgID, msgMaxSize, msgFlags, msgSecurityModel.
    unsigned char* content;
    int n;
    if (!element(c, 0x30, &content, &n))
        return 0;
    Cursor global{content, content + n};
    unsigned char flags;
    unsigned char* field;
    int fieldLen;
    if (!integerFirstByte(global, nullptr) || !integerFirstByte(global, nullptr)
        || !element(global, 0x04, &field, &fieldLen) || fieldLen < 1)
        return 0;
    flags = field[0];
    if (!integerFirstByte(global, nullptr))
        return 0;

    // 4. msgSecurityParameters: an OCTET STRING holding a SEQUENCE.
    if (!element(c, 0x04, &content, &n))
        return 0;
    Cursor securityOuter{content, content + n};
    if (!element(securityOuter, 0x30, &content, &n))
        return 0;
    Cursor security{content, content + n};

    // 5. Engine ID, boots, time: stored into the record at once.
    unsigned char* engineID;
    int engineIDLen;
    unsigned int boots = 0, engineTime = 0;
    if (!element(security, 0x04, &engineID, &engineIDLen) || engineIDLen > SNMPV3_ENGINEID_MAX
        || !integerUnsigned(security, &boots) || !integerUnsigned(security, &engineTime))
        return 0;
    std::memset(param->engineID, 0, sizeof param->engineID);
    std::memcpy(param->engineID, engineID, static_cast<size_t>(engineIDLen));
    param->engineIDLen = engineIDLen;
    param->engineBoots = boots;
    param->engineTime = engineTime;

    // 6. msgUserName (not compared).
    if (!element(security, 0x04, &field, &fieldLen) || fieldLen > SNMPV3_HOLDER_MAX)
        return 0;

    // 7. msgAuthenticationParameters. Before any key exists (the discovery
    // Report) an empty field passes; once we hold a key, nothing but the
    // authentication flag with a full 12-byte code that matches will do.
    unsigned char* authField;
    int authLen;
    if (!element(security, 0x04, &authField, &authLen) || authLen > SNMPV3_AUTHPARAM_LEN)
        return 0;
    unsigned char received[SNMPV3_AUTHPARAM_LEN] = {};
    std::memcpy(received, authField, static_cast<size_t>(authLen));
    std::memset(authField, 0, static_cast<size_t>(authLen)); // left zeroed whatever the outcome
    if (keyHeld(param->authKey) && ((flags & 0x01) == 0 || authLen != SNMPV3_AUTHPARAM_LEN))
        return 0;
    if (authLen > 0) {
        if (authLen != SNMPV3_AUTHPARAM_LEN)
            return 0; // a short code proves nothing
        unsigned char k1[64], k2[64], code[SNMPV3_AUTHPARAM_LEN];
        AuthKey2K1K2(param->authKey, k1, k2);
        CalcuateAuthParams(msg, static_cast<uint32_t>(len), k1, k2, code);
        OPENSSL_cleanse(k1, sizeof k1);
        OPENSSL_cleanse(k2, sizeof k2);
        if (CRYPTO_memcmp(code, received, sizeof code) != 0)
            return 0;
    }

    // 8. msgPrivacyParameters: the salt, zero-padded to 8 bytes.
    if (!element(security, 0x04, &field, &fieldLen) || fieldLen > SNMPV3_HOLDER_MAX)
        return 0;
    unsigned char salt[kUsmSaltLen] = {};
    std::memcpy(salt, field, static_cast<size_t>(fieldLen < 8 ? fieldLen : 8));

    // 9. msgData: decrypted in place when the privacy flag is set; the
    // scoped PDU must then lie within the decrypted bytes.
    Cursor scopedArea{c.p, c.end};
    if (flags & 0x02) {
        if (!element(c, 0x04, &content, &n) || n % 8 != 0 || n == 0)
            return 0;
        if (DecryptMsgData(content, static_cast<uint32_t>(n), param->privKey, salt) != 1)
            return 0;
        scopedArea = Cursor{content, content + n};
    }

    // 10. Scoped PDU: contextEngineID must be the authoritative engine ID.
    if (!element(scopedArea, 0x30, &content, &n))
        return 0;
    Cursor scoped{content, content + n};
    if (!element(scoped, 0x04, &field, &fieldLen) || fieldLen != engineIDLen
        || std::memcmp(field, param->engineID, static_cast<size_t>(fieldLen)) != 0)
        return 0;
    if (!element(scoped, 0x04, &field, &fieldLen) || fieldLen > SNMPV3_HOLDER_MAX)
        return 0;

    // 11. PDU: Response, SetRequest-shaped answer or Report.
    unsigned char pduTag;
    if (!element(scoped, -1, &content, &n, &pduTag)
        || (pduTag != 0xA2 && pduTag != 0xA3 && pduTag != 0xA8))
        return 0;
    Cursor pdu{content, content + n};

    // 12. request-id, error-status, error-index (first content bytes).
    if (!integerFirstByte(pdu, requestId) || !integerFirstByte(pdu, errorStatus)
        || !integerFirstByte(pdu, errorIndex))
        return 0;

    // 13. Variable bindings.
    if (!element(pdu, 0x30, &content, &n))
        return 0;
    Cursor list{content, content + n};
    // 14. Each binding: SEQUENCE { OID, value of any tag } inside the list.
    while (list.p < list.end) {
        unsigned char* bindingContent;
        int bindingLen;
        if (!element(list, 0x30, &bindingContent, &bindingLen))
            return 0;
        Cursor binding{bindingContent, bindingContent + bindingLen};
        unsigned char* oid;
        int oidLen;
        unsigned char* value;
        int valueLen;
        unsigned char valueTag;
        if (!element(binding, 0x06, &oid, &oidLen) || !element(binding, -1, &value, &valueLen, &valueTag))
            return 0;
        if (param->varbindCallback != nullptr)
            param->varbindCallback(oid, oidLen, valueTag, value, valueLen);
    }
    return 1;
}

// ---- Status query ----

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
            std::perror("[ipv6 BC] snedto failed");
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
            std::fprintf(stderr, "[ipv6 BC] nRecv = %d", static_cast<int>(got));
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
    dest.sin_port = htons(161);
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
    dest.sin6_port = htons(161);
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
