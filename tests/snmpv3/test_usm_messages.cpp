// The SNMPv3 builders (byte layouts, counters, salts) and the response
// parser's bounds and authentication rules.
#include "V3Messages.h"

#include "snmp/NetIO.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace v3test;

namespace {

const char* const kOid = "1.3.6.1.4.1.41873.886.300.369.8531.1.1.0";
const std::string kAuth = "Mw4-Tq8s-Lk2v-Rp6zXc", kPriv = "Hb7-Nd3f-Vy5g-Sj9kQe";
const Bytes kEngine = {0x80, 0x00, 0x0C, 0xF1, 0x03, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55};

Bytes buildRequest(unsigned int boots, unsigned int time, const char* auth, const char* priv,
                   unsigned char* authKey, unsigned char* privKey, int count = 1,
                   const char* const* oids = &kOid)
{
    unsigned char out[2048];
    const int n = CNetIO::BuildSnmpV3RequestPacket(kEngine.data(), static_cast<int>(kEngine.size()), boots,
                                                   time, count, oids, nullptr, nullptr, nullptr, "lwreader",
                                                   auth, priv, authKey, privKey, out);
    return Bytes(out, out + (n > 0 ? n : 0));
}

bool contains(const Bytes& hay, const Bytes& needle)
{
    return std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) != hay.end();
}

std::string g_lastValue;
bool keepValue(const unsigned char*, int, unsigned char tag, const unsigned char* value, int len)
{
    g_lastValue.assign(reinterpret_cast<const char*>(value), static_cast<size_t>(len));
    return tag == 0x04;
}

int parse(Bytes msg, _SNMP_PARAM_V3& param, unsigned char* errorStatus = nullptr)
{
    return CNetIO::parseSnmpV3Response(msg.data(), static_cast<int>(msg.size()), nullptr, nullptr,
                                       errorStatus, nullptr, &param);
}

// A record that holds the keys of an authenticated request to kEngine.
_SNMP_PARAM_V3 keyedRecord()
{
    _SNMP_PARAM_V3 p{};
    const Bytes a = localKey(kAuth, kEngine), v = localKey(kPriv, kEngine);
    std::memcpy(p.authKey, a.data(), 16);
    std::memcpy(p.privKey, v.data(), 16);
    p.varbindCallback = keepValue;
    return p;
}

Answer goodResponse()
{
    Answer a;
    a.flags = 0x03;
    a.user = "lwreader";
    a.authKey = localKey(kAuth, kEngine);
    a.privKey = localKey(kPriv, kEngine);
    a.pduTag = 0xA2;
    a.requestId = 1;
    a.bindings = {{deviceIdOid(), 0x04, text("MFG:X;STS:abc;")}};
    return a;
}

} // namespace

TEST(SnmpV3Builders, FirstProbeIsTheFiftySevenByteMessageAndCountersOnlyChangeTwoBytes)
{
    const Bytes expected = {0x30, 0x37, 0x02, 0x01, 0x03, 0x30, 0x0D, 0x02, 0x01, 0x00, 0x02, 0x02, 0x08, 0x00,
                            0x04, 0x01, 0x04, 0x02, 0x01, 0x03, 0x04, 0x10, 0x30, 0x0E, 0x04, 0x00, 0x02, 0x01,
                            0x00, 0x02, 0x01, 0x00, 0x04, 0x00, 0x04, 0x00, 0x04, 0x00, 0x30, 0x11, 0x04, 0x00,
                            0x04, 0x00, 0xA0, 0x0B, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x30, 0x00};
    unsigned char out[2048];
    ASSERT_EQ(CNetIO::BuildSnmpV3GetEngineIdPacket(0, 0, out, sizeof out), 57);
    EXPECT_EQ(Bytes(out, out + 57), expected);
    ASSERT_EQ(CNetIO::BuildSnmpV3GetEngineIdPacket(1, 1, out, sizeof out), 57);
    Bytes second = expected;
    second[9] = 1;  // msgID
    second[48] = 1; // request-id
    EXPECT_EQ(Bytes(out, out + 57), second);
    EXPECT_EQ(CNetIO::BuildSnmpV3GetEngineIdPacket(0, 0, out, 56), -1); // does not fit the caller's buffer
    EXPECT_EQ(CNetIO::BuildSnmpV3GetEngineIdPacket(0, 0, out, 0), 57); // no capacity given: a full buffer
}

TEST(SnmpV3Builders, AuthPrivRequestHasFlagsFieldsWholeBlocksAndAVerifiableCode)
{
    unsigned char authKey[16], privKey[16];
    const Bytes msg = buildRequest(200, 100000, kAuth.c_str(), kPriv.c_str(), authKey, privKey);
    ASSERT_FALSE(msg.empty());
    EXPECT_EQ(Bytes(authKey, authKey + 16), localKey(kAuth, kEngine));
    EXPECT_EQ(Bytes(privKey, privKey + 16), localKey(kPriv, kEngine));

    const Request r = parseRequest(msg, localKey(kPriv, kEngine));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.flags, 0x07);
    EXPECT_EQ(r.engineId, kEngine);
    EXPECT_EQ(r.user, "lwreader");
    EXPECT_EQ(r.authParams.size(), 12u);
    EXPECT_EQ(r.privParams.size(), 8u);
    EXPECT_TRUE(r.encrypted);
    EXPECT_EQ(r.msgData.size() % 8, 0u);
    EXPECT_EQ(r.pduTag, 0xA0);
    ASSERT_EQ(r.oids.size(), 1u);
    EXPECT_EQ(r.oids[0], deviceIdOid());
    // Boots 200 and time 100000 as the agent expects them.
    EXPECT_TRUE(contains(msg, {0x02, 0x02, 0x00, 0xC8, 0x02, 0x03, 0x01, 0x86, 0xA0}));
    // The code covers the whole message with its own 12 bytes zeroed.
    Bytes zeroed = msg;
    std::fill_n(zeroed.begin() + static_cast<long>(r.authOffset), 12, 0);
    unsigned char k1[64], k2[64], code[12];
    AuthKey2K1K2(authKey, k1, k2);
    CalcuateAuthParams(zeroed.data(), static_cast<uint32_t>(zeroed.size()), k1, k2, code);
    EXPECT_EQ(r.authParams, Bytes(code, code + 12));
}

TEST(SnmpV3Builders, RequestWithoutPassPhrasesIsPlainWithZeroKeysAndThreeOidsInOrder)
{
    const char* const oids[3] = {"1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.1.0", "1.3.6.1.2.1.1.2.0"};
    unsigned char authKey[16], privKey[16];
    std::memset(authKey, 0xEE, 16);
    std::memset(privKey, 0xEE, 16);
    const Bytes msg = buildRequest(1, 2, nullptr, nullptr, authKey, privKey, 3, oids);
    const Request r = parseRequest(msg);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.flags, 0x04);
    EXPECT_TRUE(r.authParams.empty());
    EXPECT_TRUE(r.privParams.empty());
    EXPECT_FALSE(r.encrypted);
    EXPECT_EQ(Bytes(authKey, authKey + 16), Bytes(16, 0));
    EXPECT_EQ(Bytes(privKey, privKey + 16), Bytes(16, 0));
    ASSERT_EQ(r.oids.size(), 3u);
    EXPECT_EQ(r.oids[0], Bytes({0x2B, 6, 1, 2, 1, 1, 5, 0}));
    EXPECT_EQ(r.oids[1], Bytes({0x2B, 6, 1, 2, 1, 1, 1, 0}));
    EXPECT_EQ(r.oids[2], Bytes({0x2B, 6, 1, 2, 1, 1, 2, 0}));
    // Each binding carries a NULL value.
    EXPECT_TRUE(contains(r.scoped, {0x01, 0x05, 0x00, 0x05, 0x00, 0x30}));
    // An OID that does not encode, or privacy without authentication: no message.
    const char* bad = "1.3.x";
    EXPECT_TRUE(buildRequest(1, 2, kAuth.c_str(), kPriv.c_str(), authKey, privKey, 1, &bad).empty());
    EXPECT_TRUE(buildRequest(1, 2, nullptr, kPriv.c_str(), authKey, privKey).empty());
}

TEST(SnmpV3Builders, CountersWrapAndConsecutiveRequestsCarryTheNextSalt)
{
    SNMPv3MsgID = 65535;
    SNMPv3RequestID = 65535;
    salt_low = 41;
    unsigned char authKey[16], privKey[16];
    const Request first = parseRequest(buildRequest(200, 5, kAuth.c_str(), kPriv.c_str(), authKey, privKey),
                                       localKey(kPriv, kEngine));
    const Request second = parseRequest(buildRequest(200, 5, kAuth.c_str(), kPriv.c_str(), authKey, privKey),
                                        localKey(kPriv, kEngine));
    ASSERT_TRUE(first.ok);
    ASSERT_TRUE(second.ok);
    EXPECT_EQ(first.msgId, 65535u);
    EXPECT_EQ(first.requestId, 65535u);
    EXPECT_EQ(second.msgId, 0u);
    EXPECT_EQ(second.requestId, 0u);
    EXPECT_EQ(first.privParams, Bytes({0, 0, 0, 200, 0, 0, 0, 41}));
    EXPECT_EQ(second.privParams, Bytes({0, 0, 0, 200, 0, 0, 0, 42}));
    EXPECT_EQ(salt_low, 43u);
}

TEST(SnmpV3Parser, AcceptsDiscoveryReportUnauthenticatedAndStoresEngine)
{
    Answer report;
    report.bindings = {{{0x2B, 6, 1, 6, 3, 15, 1, 1, 4, 0}, 0x41, {0x05}}};
    _SNMP_PARAM_V3 p{};
    unsigned char errorStatus = 0xFF;
    ASSERT_EQ(parse(build(report), p, &errorStatus), 1);
    EXPECT_EQ(errorStatus, 0);
    EXPECT_EQ(Bytes(p.engineID, p.engineID + p.engineIDLen), report.engineId);
    EXPECT_EQ(p.engineBoots, 7u);
    EXPECT_EQ(p.engineTime, 1234u);
    // A 32-byte engine ID fits; 33 bytes do not.
    report.engineId.resize(32, 0x42);
    EXPECT_EQ(parse(build(report), p), 1);
    report.engineId.push_back(0x42);
    EXPECT_EQ(parse(build(report), p), 0);
}

TEST(SnmpV3Parser, DecryptsAndVerifiesAnAnswerToOurRequest)
{
    _SNMP_PARAM_V3 p = keyedRecord();
    g_lastValue.clear();
    ASSERT_EQ(parse(build(goodResponse()), p), 1);
    EXPECT_EQ(g_lastValue, "MFG:X;STS:abc;");
}

// Once the record holds a key, only a full matching code with the flag set passes.
TEST(SnmpV3Parser, RefusesForgedOrMissingAuthenticationOnceAKeyIsHeld)
{
    _SNMP_PARAM_V3 p = keyedRecord();
    Answer noCode = goodResponse();
    noCode.authKey.clear();
    noCode.flags = 0x02;
    EXPECT_EQ(parse(build(noCode), p), 0) << "empty field";
    noCode.flags = 0x03;
    EXPECT_EQ(parse(build(noCode), p), 0) << "empty field with the flag";

    // A one-byte field that happens to match the first byte of the code.
    Answer real = goodResponse();
    Bytes msg = build(real);
    const Request r = parseRequest(msg);
    Answer oneByte = goodResponse();
    oneByte.authKey.clear();
    oneByte.authField = {r.authParams[0]};
    EXPECT_EQ(parse(build(oneByte), p), 0) << "one-byte field";

    // The flag cleared on an otherwise correct message.
    Answer noFlag = goodResponse();
    noFlag.flags = 0x02;
    EXPECT_EQ(parse(build(noFlag), p), 0) << "authentication flag missing";

    // One bit off anywhere in the code; the field is zeroed in the buffer anyway.
    for (size_t i = 0; i < 12; ++i) {
        Bytes forged = msg;
        forged[r.authOffset + i] ^= 0x01;
        _SNMP_PARAM_V3 q = keyedRecord();
        EXPECT_EQ(CNetIO::parseSnmpV3Response(forged.data(), static_cast<int>(forged.size()), nullptr, nullptr,
                                              nullptr, nullptr, &q), 0) << "byte " << i;
        EXPECT_EQ(Bytes(forged.begin() + static_cast<long>(r.authOffset),
                        forged.begin() + static_cast<long>(r.authOffset) + 12), Bytes(12, 0));
    }
    // The body changed under a valid code.
    Bytes tampered = msg;
    tampered[tampered.size() - 3] ^= 0x80;
    EXPECT_EQ(parse(tampered, p), 0);
    EXPECT_EQ(parse(msg, p), 1);
}

TEST(SnmpV3Parser, RefusesFieldsLongerThanTheirHolders)
{
    _SNMP_PARAM_V3 p = keyedRecord();
    Answer a = goodResponse();
    a.user = std::string(65, 'u');
    EXPECT_EQ(parse(build(a), p), 0) << "user name";
    a.user = std::string(64, 'u');
    EXPECT_EQ(parse(build(a), p), 1);

    a = goodResponse();
    a.contextName = std::string(65, 'c');
    EXPECT_EQ(parse(build(a), p), 0) << "context name";

    Answer plain; // unauthenticated Report
    plain.authField = Bytes(13, 0);
    _SNMP_PARAM_V3 fresh{};
    EXPECT_EQ(parse(build(plain), fresh), 0) << "authentication field of 13 bytes";
    plain.authField.clear();
    Bytes msg = build(plain);
    // A privacy-parameters field of 65 bytes in a Report.
    Answer salted;
    salted.privKey = Bytes(16, 1);
    salted.salt = Bytes(65, 9);
    salted.flags = 0x00; // the scoped PDU is still the encrypted one's shape: the salt is refused first
    const Bytes scoped = scopedPdu(salted);
    EXPECT_EQ(parse(wrapMessage(salted, scoped), fresh), 0) << "salt";
    EXPECT_EQ(parse(msg, fresh), 1);
}

TEST(SnmpV3Parser, RefusesLengthsThatRunPastTheDatagramOrTheDecryptedBytes)
{
    const Bytes msg = build(goodResponse());
    const _SNMP_PARAM_V3 keyed = keyedRecord();
    Element outer;
    ASSERT_TRUE(read(msg, 0, outer));
    // Every shorter body, with the outer length telling the truth: some inner
    // length now runs past the datagram.
    for (size_t cut = outer.start; cut < msg.size(); ++cut) {
        _SNMP_PARAM_V3 p = keyed;
        EXPECT_EQ(parse(tlv(0x30, Bytes(msg.begin() + static_cast<long>(outer.start),
                                        msg.begin() + static_cast<long>(cut))), p), 0) << cut;
    }
    // An outer length that is not the datagram's.
    Bytes longer = msg;
    longer.push_back(0);
    _SNMP_PARAM_V3 p = keyed;
    EXPECT_EQ(parse(longer, p), 0);

    // A scoped PDU whose SEQUENCE claims more than was decrypted (the byte
    // after the ciphertext is part of the datagram, not of the decrypted PDU).
    Answer a = goodResponse();
    Bytes scoped = scopedPdu(a);
    scoped[1] = static_cast<unsigned char>(scoped[1] + 16);
    const Bytes cipher = encrypt(scoped, a.privKey, a.salt);
    EXPECT_EQ(parse(wrapMessage(a, cat({tlv(0x04, cipher)})), p), 0);
    // Ciphertext that is not whole blocks.
    Bytes uneven = encrypt(scopedPdu(a), a.privKey, a.salt);
    uneven.resize(uneven.size() - 4);
    EXPECT_EQ(parse(wrapMessage(a, tlv(0x04, uneven)), p), 0);
    // A context engine ID that is not the authoritative one.
    a.contextSameAsEngine = false;
    a.contextEngineId = {0x80, 0x00, 0x0C, 0xF1, 0x09};
    EXPECT_EQ(parse(build(a), p), 0);
}
