// The v1 status query against scripted and real agents on port 161, inside
// the private network namespace.
#include "snmp/NetIO.h"

#include "Peers.h"
#include "SnmpTestData.h"
#include "UdpResponder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace lwtest;

class StatusQuery : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!lwtest::inPrivateNetwork())
            GTEST_SKIP() << "no private network namespace";
        std::memset(g_deviceid, 0, DEVICEID_BUF_SIZE);
        std::memset(&record, 0, sizeof record);
    }
    PRINTER_STATUS record{};
};

UdpResponder::Handler replyWith(Bytes bytes, int delayMs)
{
    return [bytes, delayMs](const Bytes&) {
        return std::vector<UdpResponder::Reply>{{delayMs, bytes}};
    };
}

TEST_F(StatusQuery, ReadsTheStatusOverIPv4AfterThreeIdenticalRequests)
{
    const auto block = statusBlock(0x80 | 55, 10, 99, 0);
    std::string devId = lwtest::deviceIdWithStatus(block);
    UdpResponder agent("127.0.0.2", 161, replyWith(getResponse(devId), 5));
    ASSERT_TRUE(agent.ok());
    ASSERT_TRUE(NetworkReadStatus("tundra", "127.0.0.2", &record));
    EXPECT_EQ(std::vector<unsigned char>(record.bytes, record.bytes + 108), block);
    EXPECT_STREQ(g_deviceid, devId.c_str());

    // Three identical requests, exactly what the builder makes.
    unsigned char expect[V1_REQUEST_MAX];
    int n = CNetIO::BuildGetRequestFor(1, lwtest::kDeviceIdOid, "tundra", expect);
    ASSERT_EQ(n, 51);
    auto start = std::chrono::steady_clock::now();
    while (agent.requestCount() < 3 && std::chrono::steady_clock::now() - start < std::chrono::seconds(2)) {
    }
    auto requests = agent.requests();
    ASSERT_EQ(requests.size(), 3u);
    for (auto& r : requests)
        EXPECT_EQ(r, Bytes(expect, expect + n));
}

TEST_F(StatusQuery, IPv6TextIsHandedToTheV6Query)
{
    UdpResponder agent("::1", 161, replyWith(getResponse(lwtest::deviceIdWithStatus(statusBlock(1, 2, 3, 4))), 0));
    ASSERT_TRUE(agent.ok());
    EXPECT_TRUE(NetworkReadStatus("tundra", "::1", &record));
    EXPECT_EQ(record.bytes[3], 4);
    std::memset(&record, 0, sizeof record);
    EXPECT_TRUE(NetworkReadStatusV6("tundra", "::1", &record));
    EXPECT_EQ(record.bytes[3], 4);
    EXPECT_FALSE(NetworkReadStatusV6("tundra", "not-an-address", &record));
}

TEST_F(StatusQuery, LateSilentAndUselessAnswersFail)
{
    std::string devId = lwtest::deviceIdWithStatus(statusBlock(1, 2, 3, 4));
    {
        // 70 ms is past the one 50 ms wait (a little margin over 60 for loaded machines).
        UdpResponder late("127.0.0.3", 161, replyWith(getResponse(devId), 70));
        ASSERT_TRUE(late.ok());
        auto t0 = std::chrono::steady_clock::now();
        EXPECT_FALSE(NetworkReadStatus("tundra", "127.0.0.3", &record));
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
    }
    {
        // noSuchName with a NULL value on a first query: nothing to decode.
        UdpResponder agent("127.0.0.3", 161, replyWith(getResponse("", 0x05, 2), 0));
        ASSERT_TRUE(agent.ok());
        EXPECT_FALSE(NetworkReadStatus("tundra", "127.0.0.3", &record));
    }
    {
        // Garbage, and a device-ID text without a status field.
        UdpResponder agent("127.0.0.3", 161, replyWith(Bytes{0x30, 0x03, 0x02, 0x01}, 0));
        EXPECT_FALSE(NetworkReadStatus("tundra", "127.0.0.3", &record));
    }
    {
        UdpResponder agent("127.0.0.3", 161, replyWith(getResponse("MFG:X;CMD:PCL;"), 0));
        EXPECT_FALSE(NetworkReadStatus("tundra", "127.0.0.3", &record));
    }
    {
        // A datagram longer than the 4,024-byte receive buffer arrives cut
        // short and fails the length check instead of being half read.
        UdpResponder agent("127.0.0.3", 161, replyWith(getResponse(devId + std::string(4000, ' ')), 0));
        EXPECT_FALSE(NetworkReadStatus("tundra", "127.0.0.3", &record));
    }
    // A host name: the destination is not an address, the query fails.
    EXPECT_FALSE(NetworkReadStatus("tundra", "localhost", &record));
    // A community the one-byte lengths cannot carry is refused, nothing sent.
    UdpResponder agent("127.0.0.3", 161, replyWith(getResponse(devId), 0));
    EXPECT_FALSE(NetworkReadStatus(std::string(85, 'c').c_str(), "127.0.0.3", &record));
    EXPECT_EQ(agent.requestCount(), 0u);
    EXPECT_TRUE(NetworkReadStatus(std::string(84, 'c').c_str(), "127.0.0.3", &record));
}

TEST_F(StatusQuery, ReadsTheStatusFromSnmpd)
{
    lwtest::SnmpdConfig config;
    config.listen = {"udp:127.0.0.4:161"};
    config.deviceId = lwtest::deviceIdWithStatus(statusBlock(77, 66, 55, 44));
    lwtest::Snmpd snmpd(config);
    ASSERT_TRUE(snmpd.ok()) << snmpd.log();
    bool ok = false;
    for (int i = 0; i < 5 && !ok; ++i) // the first answer of a fresh agent can take longer than 50 ms
        ok = NetworkReadStatus("tundra", "127.0.0.4", &record);
    ASSERT_TRUE(ok) << snmpd.log();
    EXPECT_EQ(record.bytes[0], 77);
    EXPECT_EQ(record.bytes[3], 44);
    std::memset(g_deviceid, 0, DEVICEID_BUF_SIZE);
    EXPECT_FALSE(NetworkReadStatus("wrong", "127.0.0.4", &record));
}

} // namespace
