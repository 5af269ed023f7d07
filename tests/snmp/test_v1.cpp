// BER/OID primitives, the v1 GetRequest and the bounded GetResponse walker.
#include "snmp/NetIO.h"

#include "SnmpTestData.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using lwtest::Bytes;
using lwtest::cat;
using lwtest::tlv;

Bytes str(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes oid(const char* text)
{
    unsigned char buf[128];
    int n = CNetIO::oidEncode(text, buf, sizeof buf);
    EXPECT_GT(n, 0) << text;
    return Bytes(buf, buf + n);
}

Bytes binding(const char* oidText, unsigned char tag, const Bytes& value)
{
    return tlv(0x30, cat({tlv(0x06, oid(oidText)), tlv(tag, value)}));
}

// A GetResponse with the given bindings; pduTag and errorStatus adjustable.
Bytes response(const std::vector<Bytes>& bindings, unsigned char pduTag = 0xA2, unsigned char errorStatus = 0)
{
    Bytes list;
    for (auto& b : bindings)
        list.insert(list.end(), b.begin(), b.end());
    Bytes pdu = tlv(pduTag, cat({tlv(0x02, {7}), tlv(0x02, {errorStatus}), tlv(0x02, {1}), tlv(0x30, list)}));
    return tlv(0x30, cat({tlv(0x02, {0}), tlv(0x04, str("tundra")), pdu}));
}

constexpr const char* kDevId = "1.3.6.1.4.1.41873.886.300.369.8531.1.1.0";

std::vector<int> g_calls;
bool countingCallback(const unsigned char*, int oidLen, unsigned char tag, const unsigned char*, int valueLen)
{
    g_calls.push_back(valueLen);
    return true;
}

bool walk(const Bytes& m) { return CNetIO::parseGetResponse(m.data(), static_cast<int>(m.size()), nullptr, nullptr, nullptr, nullptr, nullptr, countingCallback); }

TEST(Ber, LengthsBothWays)
{
    const std::pair<unsigned long, Bytes> cases[] = {
        {0, {0x00}}, {127, {0x7F}}, {128, {0x81, 0x80}}, {255, {0x81, 0xFF}},
        {256, {0x82, 0x01, 0x00}}, {0x12345678, {0x84, 0x12, 0x34, 0x56, 0x78}}};
    for (auto& [value, bytes] : cases) {
        unsigned char buf[8];
        unsigned char* first = CNetIO::berEncodeLength(buf + 8, value);
        EXPECT_EQ(Bytes(first, buf + 8), bytes) << value;
        int len = -1;
        EXPECT_EQ(CNetIO::parseLength(bytes.data(), &len), bytes.data() + bytes.size());
        EXPECT_EQ(static_cast<unsigned long>(len), value);
        EXPECT_EQ(CNetIO::parseLength(bytes.data(), bytes.data() + bytes.size(), &len), bytes.data() + bytes.size());
    }
    // 80 (indefinite form) reads as 0 and advances one byte.
    const unsigned char indef[] = {0x80, 0x55};
    int len = -1;
    EXPECT_EQ(CNetIO::parseLength(indef, indef + 2, &len), indef + 1);
    EXPECT_EQ(len, 0);
    // The bounded reader never reads past the end it was given.
    const unsigned char longForm[] = {0x84, 0x00, 0x00, 0x01, 0x00};
    EXPECT_EQ(CNetIO::parseLength(longForm, longForm + 4, &len), nullptr);
    EXPECT_EQ(CNetIO::parseLength(longForm, longForm, &len), nullptr);
    const unsigned char huge[] = {0xFF}; // k = 127 with nothing after it
    EXPECT_EQ(CNetIO::parseLength(huge, huge + 1, &len), nullptr);
    const unsigned char negative[] = {0x84, 0x80, 0x00, 0x00, 0x00};
    EXPECT_EQ(CNetIO::parseLength(negative, negative + 5, &len), nullptr);
}

TEST(Ber, ReadIntValueIsUnsignedBigEndian)
{
    const unsigned char b[] = {0x01, 0x00, 0xFF};
    EXPECT_EQ(readIntValue(b, 2), 256);
    EXPECT_EQ(readIntValue(b + 2, 1), 255);
    EXPECT_EQ(readIntValue(b, 0), 0);
    EXPECT_EQ(readIntValue(b, -1), 0);
}

TEST(Oid, EncodesKnownVectors)
{
    EXPECT_EQ(oid("1.3.6.1.2.1.1.2.0"), (Bytes{0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x02, 0x00}));
    EXPECT_EQ(oid("1.3.128"), (Bytes{0x2B, 0x81, 0x00}));
    EXPECT_EQ(oid("1.3.16383"), (Bytes{0x2B, 0xFF, 0x7F}));
    EXPECT_EQ(oid("1.3.16384"), (Bytes{0x2B, 0x81, 0x80, 0x00}));
    EXPECT_EQ(oid("1.3.4294967295"), (Bytes{0x2B, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F}));
    Bytes dev = oid(kDevId);
    EXPECT_EQ(dev.size(), 19u);
    EXPECT_EQ(Bytes(dev.begin() + 8, dev.begin() + 10), (Bytes{0x86, 0x76}));   // 886
    EXPECT_EQ(Bytes(dev.begin() + 14, dev.begin() + 16), (Bytes{0xC2, 0x53})); // 8531
}

TEST(Oid, RefusesTextsThatDoNotEncode)
{
    unsigned char out[32];
    std::memset(out, 0xEE, sizeof out);
    for (const char* bad : {"1.3.6.a", "1.3 .6", "", "1", "1..3", ".1.3", "1.3.", "1.3.4294967296"})
        EXPECT_EQ(CNetIO::oidEncode(bad, out), 0) << bad;
    EXPECT_EQ(out[0], 0xEE); // nothing written
    EXPECT_EQ(CNetIO::oidEncode(nullptr, out), -1);
    EXPECT_EQ(CNetIO::oidEncode("1.3", nullptr), -1);
    // An encoding longer than the 32-byte field is refused, not overrun.
    std::string longOid = "1.3";
    for (int i = 0; i < 7; ++i)
        longOid += ".4294967295"; // 5 bytes each: 36 in all
    EXPECT_EQ(CNetIO::oidEncode(longOid.c_str(), out), 0);
    EXPECT_EQ(out[0], 0xEE);
    EXPECT_EQ(CNetIO::oidEncode(std::string(128, '1').c_str(), out, 128), 0); // over 127 characters
}

TEST(GetRequest, BuildsTheFortyByteRequest)
{
    unsigned char out[V1_REQUEST_MAX];
    int n = CNetIO::BuildGetRequestFor(1, "1.3.6.1.2.1.1.5.0", "tundra", out);
    Bytes expect = {0x30, 38, 0x02, 0x01, 0x00, 0x04, 0x06, 't', 'u', 'n', 'd', 'r', 'a',
                    0xA0, 25, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00,
                    0x30, 14, 0x30, 12, 0x06, 8, 0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x05, 0x00, 0x05, 0x00};
    ASSERT_EQ(n, 40);
    EXPECT_EQ(Bytes(out, out + n), expect);
    // No community: the built-in one gives the same message.
    unsigned char dflt[V1_REQUEST_MAX];
    ASSERT_EQ(CNetIO::BuildGetRequestFor(1, "1.3.6.1.2.1.1.5.0", nullptr, dflt), 40);
    EXPECT_EQ(std::memcmp(dflt, out, 40), 0);
}

TEST(GetRequest, RefusesWhatOneByteLengthsCannotCarry)
{
    unsigned char out[V1_REQUEST_MAX + 16];
    std::memset(out, 0xEE, sizeof out);
    std::string c84(84, 'c');
    int n = CNetIO::BuildGetRequestFor(1, kDevId, c84.c_str(), out);
    ASSERT_EQ(n, 129);
    EXPECT_EQ(out[1], 127);
    EXPECT_EQ(out[n], 0xEE);
    std::memset(out, 0xEE, sizeof out);
    EXPECT_EQ(CNetIO::BuildGetRequestFor(1, kDevId, std::string(85, 'c').c_str(), out), -1);
    EXPECT_EQ(CNetIO::BuildGetRequestFor(1, kDevId, std::string(300, 'c').c_str(), out), -1);
    EXPECT_EQ(CNetIO::BuildGetRequestFor(5, kDevId, "tundra", out), -1); // 5 bindings of 25 bytes
    EXPECT_EQ(CNetIO::BuildGetRequestFor(0, kDevId, "tundra", out), -1);
    EXPECT_EQ(CNetIO::BuildGetRequestFor(1, "1.3.x", "tundra", out), -1);
    EXPECT_EQ(CNetIO::BuildGetRequestFor(1, nullptr, "tundra", out), -1);
    EXPECT_EQ(out[0], 0xEE);
    EXPECT_EQ(CNetIO::BuildGetRequestFor(3, "1.3.6.1.2.1.1.5.0", "tundra", out), 68); // 3 x 14 bytes
}

TEST(Walker, AcceptsGetResponseAndReportsFields)
{
    Bytes m = response({binding(kDevId, 0x04, str("hello")), binding("1.3.6.1.2.1.1.5.0", 0x04, str("ab"))}, 0xA2, 5);
    int version = -1;
    char community[16];
    unsigned char rid = 0, es = 0, ei = 0;
    g_calls.clear();
    ASSERT_TRUE(CNetIO::parseGetResponse(m.data(), static_cast<int>(m.size()), &version, community, &rid, &es, &ei,
                                         countingCallback, sizeof community));
    EXPECT_EQ(version, 0);
    EXPECT_STREQ(community, "tundra");
    EXPECT_EQ(rid, 7);
    EXPECT_EQ(es, 5); // reported, not judged
    EXPECT_EQ(ei, 1);
    EXPECT_EQ(g_calls, (std::vector<int>{5, 2}));
    // A community longer than the caller's buffer fails the walk.
    char tiny[6];
    EXPECT_FALSE(CNetIO::parseGetResponse(m.data(), static_cast<int>(m.size()), nullptr, tiny, nullptr, nullptr,
                                          nullptr, nullptr, sizeof tiny));
}

TEST(Walker, PduTagsAndOuterLengths)
{
    Bytes b = binding(kDevId, 0x04, str("x"));
    EXPECT_TRUE(walk(response({b}, 0xA3)));
    EXPECT_FALSE(walk(response({b}, 0xA0)));
    EXPECT_FALSE(walk(response({b}, 0xA8)));
    Bytes m = response({b});
    Bytes longer = m;
    longer.push_back(0);
    EXPECT_FALSE(walk(longer)); // outer length one short of the datagram
    Bytes shorter(m.begin(), m.end() - 1);
    EXPECT_FALSE(walk(shorter)); // one longer than the datagram
    Bytes badOuter = m;
    badOuter[1]++;
    EXPECT_FALSE(walk(badOuter));
    EXPECT_FALSE(walk({}));
    EXPECT_FALSE(walk({0x30}));
}

TEST(Walker, BindingListEdgeCases)
{
    // Long-form 80 for the list: success, no callback.
    Bytes pdu = {0xA2, 11, 0x02, 1, 0, 0x02, 1, 0, 0x02, 1, 0, 0x30, 0x80};
    pdu[1] = static_cast<unsigned char>(pdu.size() - 2);
    Bytes m = tlv(0x30, cat({tlv(0x02, {0}), tlv(0x04, str("t")), pdu}));
    g_calls.clear();
    EXPECT_TRUE(walk(m));
    EXPECT_TRUE(g_calls.empty());
    EXPECT_TRUE(walk(response({})));
    // noSuchName with a NULL value: structural success.
    g_calls.clear();
    EXPECT_TRUE(walk(response({binding(kDevId, 0x05, {})}, 0xA2, 2)));
    EXPECT_EQ(g_calls, (std::vector<int>{0}));
    // A second element that is not a binding fails.
    EXPECT_FALSE(walk(response({binding(kDevId, 0x04, str("x")), tlv(0x04, str("zz"))})));
}

// Rewrites one length byte of a single-binding response and checks the walker
// refuses it without reading outside the message (ASan checks the reads: the
// message lives in an exactly sized heap buffer).
TEST(Walker, DeclaredLengthsPastTheBytesFail)
{
    Bytes m = response({binding(kDevId, 0x04, str("abc"))});
    // Offsets: the binding list header follows the three INTEGERs.
    size_t list = m.size() - (2 + 2 + 2 + 19 + 2 + 3);
    ASSERT_EQ(m[list], 0x30);
    for (size_t field : {list + 1, list + 3, list + 5, list + 26}) {
        for (int delta : {+1, +40, 0x7F - m[field]}) {
            Bytes bad = m;
            bad[field] = static_cast<unsigned char>(bad[field] + delta);
            g_calls.clear();
            EXPECT_FALSE(walk(bad)) << field << " " << delta;
            EXPECT_TRUE(g_calls.empty());
        }
    }
    // A long-form length claiming more bytes than remain.
    Bytes bad = m;
    bad[list + 1] = 0x84;
    EXPECT_FALSE(walk(bad));
}

TEST(Callbacks, DeviceIdValueIsBoundedAndOctetStringOnly)
{
    std::strcpy(g_deviceid, "previous");
    EXPECT_FALSE(CNetIO::outputDeviceIdValue(nullptr, 0, 0x05, nullptr, 0));
    EXPECT_STREQ(g_deviceid, "previous");
    Bytes fits(DEVICEID_BUF_SIZE - 1, 'a');
    EXPECT_TRUE(CNetIO::outputDeviceIdValue(nullptr, 0, 0x04, fits.data(), static_cast<int>(fits.size())));
    EXPECT_EQ(std::strlen(g_deviceid), DEVICEID_BUF_SIZE - 1);
    Bytes tooLong(DEVICEID_BUF_SIZE, 'b');
    EXPECT_FALSE(CNetIO::outputDeviceIdValue(nullptr, 0, 0x04, tooLong.data(), static_cast<int>(tooLong.size())));
    EXPECT_EQ(g_deviceid[0], 'a'); // unchanged, never half-written
}

TEST(Callbacks, RecvBufAndOidValueAreBounded)
{
    Bytes big(RECVBUF_SIZE, 'r');
    std::strcpy(g_RecvBuf, "old");
    EXPECT_FALSE(CNetIO::outputRecvBufValue(nullptr, 0, 0x04, big.data(), static_cast<int>(big.size())));
    EXPECT_STREQ(g_RecvBuf, "old");
    EXPECT_TRUE(CNetIO::outputRecvBufValue(nullptr, 0, 0x02, big.data(), static_cast<int>(big.size() - 1)));

    Bytes sysOid = oid("1.3.6.1.2.1.1.2.0");
    Bytes value = oid("1.3.6.1.4.1.41873.5");
    sysObjIdLen = 0;
    EXPECT_FALSE(CNetIO::outputOidValue(sysOid.data(), 7, 0x06, value.data(), static_cast<int>(value.size())));
    EXPECT_FALSE(CNetIO::outputOidValue(sysOid.data(), 8, 0x04, value.data(), static_cast<int>(value.size())));
    Bytes huge(SYSOBJID_SIZE + 1, 1);
    EXPECT_FALSE(CNetIO::outputOidValue(sysOid.data(), 8, 0x06, huge.data(), static_cast<int>(huge.size())));
    EXPECT_EQ(sysObjIdLen, 0);
    EXPECT_TRUE(CNetIO::outputOidValue(sysOid.data(), 8, 0x06, value.data(), static_cast<int>(value.size())));
    EXPECT_EQ(sysObjIdLen, static_cast<int>(value.size()));
}

TEST(Parsers, DeviceIdRecvBufAndOid)
{
    CNetIO io;
    std::string field(144, 'A'); // 108 zero bytes
    field[0] = 'Z';
    std::memset(g_deviceid, 0, DEVICEID_BUF_SIZE);
    PRINTER_STATUS st{};
    Bytes noSuch = response({binding(kDevId, 0x05, {})}, 0xA2, 2);
    EXPECT_FALSE(io.parseForDeviceId(noSuch.data(), static_cast<int>(noSuch.size()), &st));
    Bytes good = response({binding(kDevId, 0x04, str("MFG:X;STS:" + field + ";"))});
    EXPECT_TRUE(io.parseForDeviceId(good.data(), static_cast<int>(good.size()), &st));
    EXPECT_EQ(st.bytes[0], 0x64);
    // The previous device ID stays when an answer brings none.
    EXPECT_TRUE(io.parseForDeviceId(noSuch.data(), static_cast<int>(noSuch.size()), &st));

    Bytes two = response({binding("1.3.6.1.2.1.1.5.0", 0x04, str("first")), binding("1.3.6.1.2.1.1.5.0", 0x04, str("printer"))});
    char out[16];
    EXPECT_TRUE(io.parseForRecvBuf(two.data(), static_cast<int>(two.size()), out, sizeof out));
    EXPECT_STREQ(out, "printer"); // last one wins
    char small[7] = "xxxxxx";
    EXPECT_FALSE(io.parseForRecvBuf(two.data(), static_cast<int>(two.size()), small, sizeof small));
    EXPECT_STREQ(small, "xxxxxx");

    ASSERT_GT(io.InitTargetOID("1.3.6.1.4.1.41873.5", "1.3.6.1.4.1.41873.9.1"), 0);
    auto sysObj = [](const char* value) {
        return response({binding("1.3.6.1.2.1.1.2.0", 0x06, oid(value))});
    };
    Bytes m = sysObj("1.3.6.1.4.1.41873.9.1");
    EXPECT_TRUE(io.parseForOID(m.data(), static_cast<int>(m.size())));
    m = sysObj("1.3.6.1.4.1.41873.5");
    EXPECT_TRUE(io.parseForOID(m.data(), static_cast<int>(m.size())));
    m = sysObj("1.3.6.1.4.1.41873.6");
    EXPECT_FALSE(io.parseForOID(m.data(), static_cast<int>(m.size())));
    m = sysObj("1.3.6.1");  // 4 bytes, a prefix of both targets
    EXPECT_FALSE(io.parseForOID(m.data(), static_cast<int>(m.size())));
    // A value longer than the 32-byte target fields never matches.
    std::string longOid = "1.3.6.1.4.1.41873.5";
    for (int i = 0; i < 30; ++i)
        longOid += ".0";
    m = sysObj(longOid.c_str());
    EXPECT_FALSE(io.parseForOID(m.data(), static_cast<int>(m.size())));
}

} // namespace
