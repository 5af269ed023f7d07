// SNMPv3 messages with the User-based Security Model: the builders of the
// engine-discovery probe and of authenticated, encrypted requests, and the
// parser of agents' answers (HMAC-MD5-96 authentication, CBC-DES privacy).
#include "snmp/NetIO.h"

#include "snmp/Trace.h"

#include "snmp/Ber.h"
#include "snmp/Usm.h"

#include <openssl/crypto.h>

#include <cstdio>
#include <cstring>

using namespace ber;

namespace {

constexpr int kMsgMaxSize = 2048;

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
            w.byte(TAG_NULL);
        }
        unsigned char oid[128];
        const int oidLen = oidEncode(oids[i], oid, sizeof oid);
        if (oidLen <= 0 || oidLen > 127)
            return -1;
        const unsigned char* oidEnd = w.pos();
        w.bytes(oid, static_cast<size_t>(oidLen));
        w.wrapShort(TAG_OID, oidEnd);
        w.wrapShort(TAG_SEQUENCE, bindingEnd);
    }
    w.wrap(TAG_SEQUENCE, listEnd);
    const unsigned char zero[3] = {TAG_INTEGER, 0x01, 0x00};
    w.bytes(zero, 3); // error-index
    w.bytes(zero, 3); // error-status
    w.integer(requestId);
    w.wrap(withValues ? TAG_SET_REQUEST : TAG_GET_REQUEST, listEnd);
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
    w.wrapShort(TAG_OCTET_STRING, nameEnd);
    const unsigned char* engineEnd = w.pos();
    w.bytes(contextEngineID, static_cast<size_t>(contextEngineIDLen));
    w.wrapShort(TAG_OCTET_STRING, engineEnd);
    w.wrap(TAG_SEQUENCE, end);
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
    w.wrapShort(TAG_OCTET_STRING, mark);
    mark = w.pos();
    const unsigned char zeros[SNMPV3_AUTHPARAM_LEN] = {};
    if (auth)
        w.bytes(zeros, sizeof zeros);
    const unsigned char* authField = w.pos();
    w.wrapShort(TAG_OCTET_STRING, mark);
    mark = w.pos();
    w.bytes(userName, userLen);
    w.wrap(TAG_OCTET_STRING, mark);
    w.integer(time);
    w.integer(boots);
    mark = w.pos();
    w.bytes(engineID, static_cast<size_t>(engineIDLen));
    w.wrapShort(TAG_OCTET_STRING, mark);
    w.wrap(TAG_SEQUENCE, end);
    w.wrap(TAG_OCTET_STRING, end);
    if (!w.ok())
        return -1;
    if (auth && authOffset != nullptr)
        *authOffset = static_cast<int>(authField - w.pos());
    return w.copyTo(out);
}

int CNetIO::BuildSnmpV3msgGlobalDataUSM(unsigned short msgId, int msgMaxSize, bool reportable,
                                        bool privacy, bool authentication, unsigned char* out)
{
    lwTrace("msgMaxSize=%x, FLIPWORD((LOWORD(msgMaxSize)))=%x\n", msgMaxSize,
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
    w.wrapShort(TAG_OCTET_STRING, mark);
    w.integer(static_cast<unsigned int>(msgMaxSize));
    w.integer(msgId);
    w.wrap(TAG_SEQUENCE, end);
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
    w.wrap(TAG_SEQUENCE, end);
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
        w.wrap(TAG_OCTET_STRING, end);
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

// An INTEGER whose first content byte is reported (when out is not null).
bool integerFirstByte(Reader& c, unsigned char* out)
{
    const unsigned char* v;
    int n;
    if (!c.element(TAG_INTEGER, &v, &n) || n < 1)
        return false;
    if (out != nullptr)
        *out = v[0];
    return true;
}

// An INTEGER read as an unsigned big-endian number (low 32 bits).
bool integerUnsigned(Reader& c, unsigned int* out)
{
    const unsigned char* v;
    int n;
    if (!c.element(TAG_INTEGER, &v, &n) || n < 1)
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
    // The reader hands out read-only positions; the two fields this parser
    // changes in place (authentication code, encrypted PDU) lie in msg.
    auto writable = [msg](const unsigned char* q) { return msg + (q - msg); };

    // 1. The message SEQUENCE fills the datagram exactly.
    Reader all{msg, msg + len};
    const unsigned char* body;
    int bodyLen;
    if (!all.element(TAG_SEQUENCE, &body, &bodyLen) || body + bodyLen != msg + len)
        return 0;
    Reader c{body, body + bodyLen};

    // 2. msgVersion.
    unsigned char v;
    if (!integerFirstByte(c, &v))
        return 0;
    if (version != nullptr)
        *version = v;

    // 3. msgGlobalData: msgID, msgMaxSize, msgFlags, msgSecurityModel.
    const unsigned char* content;
    int n;
    if (!c.element(TAG_SEQUENCE, &content, &n))
        return 0;
    Reader global{content, content + n};
    unsigned char flags;
    const unsigned char* field;
    int fieldLen;
    if (!integerFirstByte(global, nullptr) || !integerFirstByte(global, nullptr)
        || !global.element(TAG_OCTET_STRING, &field, &fieldLen) || fieldLen < 1)
        return 0;
    flags = field[0];
    if (!integerFirstByte(global, nullptr))
        return 0;

    // 4. msgSecurityParameters: an OCTET STRING holding a SEQUENCE.
    if (!c.element(TAG_OCTET_STRING, &content, &n))
        return 0;
    Reader securityOuter{content, content + n};
    if (!securityOuter.element(TAG_SEQUENCE, &content, &n))
        return 0;
    Reader security{content, content + n};

    // 5. Engine ID, boots, time: stored into the record at once.
    const unsigned char* engineID;
    int engineIDLen;
    unsigned int boots = 0, engineTime = 0;
    if (!security.element(TAG_OCTET_STRING, &engineID, &engineIDLen) || engineIDLen > SNMPV3_ENGINEID_MAX
        || !integerUnsigned(security, &boots) || !integerUnsigned(security, &engineTime))
        return 0;
    std::memset(param->engineID, 0, sizeof param->engineID);
    std::memcpy(param->engineID, engineID, static_cast<size_t>(engineIDLen));
    param->engineIDLen = engineIDLen;
    param->engineBoots = boots;
    param->engineTime = engineTime;

    // 6. msgUserName (not compared).
    if (!security.element(TAG_OCTET_STRING, &field, &fieldLen) || fieldLen > SNMPV3_HOLDER_MAX)
        return 0;

    // 7. msgAuthenticationParameters. Before any key exists (the discovery
    // Report) an empty field passes; once we hold a key, nothing but the
    // authentication flag with a full 12-byte code that matches will do.
    const unsigned char* authField;
    int authLen;
    if (!security.element(TAG_OCTET_STRING, &authField, &authLen) || authLen > SNMPV3_AUTHPARAM_LEN)
        return 0;
    unsigned char received[SNMPV3_AUTHPARAM_LEN] = {};
    std::memcpy(received, authField, static_cast<size_t>(authLen));
    std::memset(writable(authField), 0, static_cast<size_t>(authLen)); // left zeroed whatever the outcome
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
    if (!security.element(TAG_OCTET_STRING, &field, &fieldLen) || fieldLen > SNMPV3_HOLDER_MAX)
        return 0;
    unsigned char salt[kUsmSaltLen] = {};
    std::memcpy(salt, field, static_cast<size_t>(fieldLen < 8 ? fieldLen : 8));

    // 9. msgData: decrypted in place when the privacy flag is set; the
    // scoped PDU must then lie within the decrypted bytes.
    Reader scopedArea{c.p, c.end};
    if (flags & 0x02) {
        if (!c.element(TAG_OCTET_STRING, &content, &n) || n % 8 != 0 || n == 0)
            return 0;
        if (DecryptMsgData(writable(content), static_cast<uint32_t>(n), param->privKey, salt) != 1)
            return 0;
        scopedArea = Reader{content, content + n};
    }

    // 10. Scoped PDU: contextEngineID must be the authoritative engine ID.
    if (!scopedArea.element(TAG_SEQUENCE, &content, &n))
        return 0;
    Reader scoped{content, content + n};
    if (!scoped.element(TAG_OCTET_STRING, &field, &fieldLen) || fieldLen != engineIDLen
        || std::memcmp(field, param->engineID, static_cast<size_t>(fieldLen)) != 0)
        return 0;
    if (!scoped.element(TAG_OCTET_STRING, &field, &fieldLen) || fieldLen > SNMPV3_HOLDER_MAX)
        return 0;

    // 11. PDU: Response, SetRequest-shaped answer or Report.
    unsigned char pduTag;
    if (!scoped.element(ANY_TAG, &content, &n, &pduTag)
        || (pduTag != TAG_GET_RESPONSE && pduTag != TAG_SET_REQUEST && pduTag != TAG_REPORT))
        return 0;
    Reader pdu{content, content + n};

    // 12. request-id, error-status, error-index (first content bytes).
    if (!integerFirstByte(pdu, requestId) || !integerFirstByte(pdu, errorStatus)
        || !integerFirstByte(pdu, errorIndex))
        return 0;

    // 13. Variable bindings.
    if (!pdu.element(TAG_SEQUENCE, &content, &n))
        return 0;
    Reader list{content, content + n};
    // 14. Each binding: SEQUENCE { OID, value of any tag } inside the list.
    while (!list.atEnd()) {
        const unsigned char* bindingContent;
        int bindingLen;
        if (!list.element(TAG_SEQUENCE, &bindingContent, &bindingLen))
            return 0;
        Reader binding{bindingContent, bindingContent + bindingLen};
        const unsigned char* oid;
        int oidLen;
        const unsigned char* value;
        int valueLen;
        unsigned char valueTag;
        if (!binding.element(TAG_OID, &oid, &oidLen) || !binding.element(ANY_TAG, &value, &valueLen, &valueTag))
            return 0;
        if (param->varbindCallback != nullptr)
            param->varbindCallback(oid, oidLen, valueTag, value, valueLen);
    }
    return 1;
}
