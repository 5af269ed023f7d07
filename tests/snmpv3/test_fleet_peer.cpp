// The fleet road against some 300 addresses on namespace hosts: Net-SNMP agents serving many loopback addresses each (SNMP v1 only, SNMPv3 only, an engine of another maker), silent addresses, a host that forges answers in every printer's name and one that floods.
#include "snmp/Fleet.h"
#include "snmp/NetIO.h"

#include "AgentNetwork.h"
#include "HostileHost.h"
#include "Peers.h"
#include "SnmpTestData.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using namespace lwtest;

namespace {

const auto kBlockV1 = statusBlock(90, 45, 0x80 | 12, 101);
const auto kBlockV3 = statusBlock(3, 66, 70, 8);

FleetHost at(const std::string& address)
{
    FleetHost h;
    h.address = address;
    return h;
}

struct Block {
    std::string agent;
    std::string prefix; // "198.18.1."
    int count;
};

std::vector<std::string> addresses(const Block& b)
{
    std::vector<std::string> out;
    for (int k = 1; k <= b.count; ++k)
        out.push_back(b.prefix + std::to_string(k));
    return out;
}

class Fleet : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!inPrivateNetwork())
            return;
        net_ = new AgentNetwork(1);
        Agent v1;
        v1.name = "fleet-v1";
        v1.ipv4 = "192.0.2.21";
        v1.ipv6 = "fe80::21";
        v1.sysName = "Fleet One";
        v1.firmware = "V1.07.3"; // no MCU firmware object: asked again without it
        v1.deviceId = deviceIdWithStatus(kBlockV1);
        v1.v3 = false;
        Agent v3 = v1;
        v3.name = "fleet-v3";
        v3.ipv4 = "192.0.2.22";
        v3.ipv6 = "fe80::22";
        v3.sysName = "Fleet Three";
        v3.firmware = "V2.00.1";
        v3.mcuFirmware = "M2.11";
        v3.deviceId = deviceIdWithStatus(kBlockV3);
        v3.v1 = false;
        v3.v3 = true;
        Agent foreign = v3;
        foreign.name = "fleet-foreign";
        foreign.ipv4 = "192.0.2.23";
        foreign.ipv6 = "fe80::23";
        foreign.engineIdHex = std::string(kForeignEnginePrefixHex) + "000000C0000217";
        std::string error;
        for (const Agent& a : {v1, v3, foreign})
            if (!net_->add(a))
                return;
        // Each agent answers for a block of addresses on its loopback,
        // routed to it; the silent block goes nowhere.
        for (const Block& b : blocks()) {
            std::string batch;
            for (const std::string& a : addresses(b))
                batch += "addr add " + a + "/32 dev lo\n";
            if (b.agent.empty()) {
                runProcess({"ip", "route", "add", "blackhole", b.prefix + "0/24"});
                continue;
            }
            const std::string via = b.agent == "fleet-v1" ? v1.ipv4 : b.agent == "fleet-v3" ? v3.ipv4 : foreign.ipv4;
            runProcess({"ip", "netns", "exec", "lwag-" + b.agent, "ip", "-batch", "-"}, {}, 30000, batch);
            runProcess({"ip", "route", "add", b.prefix + "0/24", "via", via});
        }
        HostileHost::Config forger;
        forger.name = "fleet-forger";
        forger.ipv4 = "192.0.2.66";
        for (const Block& b : blocks())
            for (const std::string& a : addresses(b))
                forger.sources.push_back(a);
        forger_ = new HostileHost(*net_, forger);
        HostileHost::Config flood;
        flood.name = "fleet-flood";
        flood.ipv4 = "192.0.2.67";
        flood.streamMs = 1500;
        flood.streamGapUs = 20;
        flood_ = new HostileHost(*net_, flood);
    }
    static void TearDownTestSuite()
    {
        delete flood_;
        delete forger_;
        delete net_;
        flood_ = forger_ = nullptr;
        net_ = nullptr;
    }
    void SetUp() override
    {
        if (!inPrivateNetwork())
            GTEST_SKIP() << "needs a private network namespace";
        ASSERT_TRUE(net_->ok() && net_->error().empty()) << net_->error();
        ASSERT_TRUE(forger_->ok() && flood_->ok()) << forger_->error() << flood_->error();
    }

    static std::vector<Block> blocks()
    {
        return {{"fleet-v1", "198.18.1.", 100}, {"fleet-v3", "198.18.2.", 100},
                {"fleet-foreign", "198.18.3.", 30}, {"", "198.18.9.", 40}};
    }

    static AgentNetwork* net_;
    static HostileHost* forger_;
    static HostileHost* flood_;
};

AgentNetwork* Fleet::net_ = nullptr;
HostileHost* Fleet::forger_ = nullptr;
HostileHost* Fleet::flood_ = nullptr;

TEST_F(Fleet, EveryPrinterAskedAtOnceWithItsOwnValuesAndNothingForged)
{
    // The forger and the flood go first, so their datagrams meet every
    // printer's exchange; the agents' own addresses are asked too.
    std::vector<FleetHost> hosts = {at("192.0.2.66"), at("192.0.2.67"), at("192.0.2.21"), at("192.0.2.22")};
    std::vector<std::string> expect = {"", "", "v1", "v3"};
    for (const Block& b : blocks())
        for (const std::string& a : addresses(b)) {
            hosts.push_back(at(a));
            expect.push_back(b.agent == "fleet-v1" ? "v1" : b.agent == "fleet-v3" ? "v3" : "");
        }
    hosts.push_back(at("198.18.1.7")); // listed twice: the same answer
    expect.push_back("v1");
    hosts.push_back(at("printer.example")); // not numeric
    expect.push_back("");

    FleetCounts counts;
    const std::vector<FleetAnswer> answers = QueryFleet(hosts, FleetOptions{}, &counts);
    ASSERT_EQ(answers.size(), hosts.size());
    for (size_t i = 0; i < hosts.size(); ++i) {
        const FleetAnswer& a = answers[i];
        SCOPED_TRACE(hosts[i].address);
        ASSERT_EQ(a.up, !expect[i].empty());
        if (!a.up)
            continue;
        EXPECT_EQ(a.snmp, expect[i]);
        EXPECT_EQ(a.sysObjectId, kOurModelOid);
        EXPECT_LE(a.seconds, kFleetHostDeadlineSeconds);
        ASSERT_TRUE(a.haveLevels);
        if (a.snmp == "v1") {
            EXPECT_EQ(a.name, "Fleet One");
            EXPECT_EQ(a.firmware, "V1.07.3");
            EXPECT_EQ(a.mcuFirmware, "");
            EXPECT_EQ((std::vector<int>(a.levels, a.levels + 4)), (std::vector<int>{90, 45, 12, -1}));
        } else {
            EXPECT_EQ(a.credentialSet, SnmpV3CredentialSets().front().name);
            EXPECT_EQ(a.name, "Fleet Three");
            EXPECT_EQ(a.firmware, "V2.00.1");
            EXPECT_EQ(a.mcuFirmware, "M2.11");
            EXPECT_EQ((std::vector<int>(a.levels, a.levels + 4)), (std::vector<int>{3, 66, 70, 8}));
        }
    }
    EXPECT_GT(forger_->answersSent(), 200);
    EXPECT_GT(flood_->answersSent(), kFleetDatagramsPerHost);
    EXPECT_GE(counts.datagramBound, 1);   // the flood, cut at its host's bound
    EXPECT_GT(counts.unmatched + counts.unauthenticated + counts.late, 0);
    EXPECT_EQ(counts.badAddress, 1);
    EXPECT_GE(counts.givenUp, 40 + 30 + 2); // silent, foreign engine, forger and flood
    // Blackholed: v1 and probe, asked twice, and the request to the engine
    // a forged report named.
    EXPECT_EQ(counts.unsent, 40 * (2 * 2 + 1));
}

TEST_F(Fleet, RunsOnSeveralThreadsAtOnceEachWithItsOwnAnswers)
{
    const std::vector<FleetHost> one = {at("198.18.1.1"), at("198.18.9.1"), at("198.18.2.5")};
    const std::vector<FleetHost> other = {at("198.18.2.1"), at("198.18.1.3")};
    std::vector<FleetAnswer> a, b;
    std::thread t([&] { a = QueryFleet(one, FleetOptions{}); });
    b = QueryFleet(other, FleetOptions{});
    t.join();
    ASSERT_EQ(a.size(), 3u);
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(a[0].name, "Fleet One");
    EXPECT_FALSE(a[1].up);
    EXPECT_EQ(a[2].name, "Fleet Three");
    EXPECT_EQ(b[0].snmp, "v3");
    EXPECT_EQ(b[1].snmp, "v1");
}

} // namespace
