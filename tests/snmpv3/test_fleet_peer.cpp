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
    EXPECT_GE(counts.unsent, 40 * 2 * 2); // blackholed: v1 and probe, asked twice
}

// A set the engine refuses (unknown user, wrong key) gives way to the next.
TEST_F(Fleet, AnEngineThatRefusesASetIsAskedWithTheNext)
{
    const SnmpV3Credentials unknown{"old", "nobody", "not-the-auth-pass", "not-the-priv-pass"};
    SnmpV3Credentials wrongKey = SnmpV3CredentialSets().front();
    wrongKey.name = "typo";
    wrongKey.authPass += "x";
    SnmpV3Credentials right = SnmpV3CredentialSets().front();
    right.name = "site";
    std::vector<FleetHost> hosts = {at("198.18.2.9"), at("198.18.2.10")};
    hosts[0].credentials = {&unknown, &wrongKey, &right};
    hosts[1].credentials = {&unknown};
    FleetOptions v3only;
    v3only.v1 = false;
    FleetCounts counts;
    const std::vector<FleetAnswer> answers = QueryFleet(hosts, v3only, &counts);
    EXPECT_TRUE(answers[0].up);
    EXPECT_EQ(answers[0].credentialSet, "site");
    EXPECT_EQ(answers[0].name, "Fleet Three");
    EXPECT_FALSE(answers[1].up);
    EXPECT_GE(counts.refused, 2);
}

bool collectOne(const char* address, const char*, void* user)
{
    static_cast<std::vector<std::string>*>(user)->push_back(address);
    return true;
}

// Status queries, device information, discovery and the fleet road on two
// threads at once: each thread gets its own answers, buffers, counters and
// scope (under ThreadSanitizer: without a report).
TEST_F(Fleet, OperationsOnTwoThreadsAtOnceEachGetTheirOwnResults)
{
    struct Seen {
        bool status = false;
        PRINTER_STATUS block{};
        char name[DEVICE_INFO_TEXT_SIZE] = "";
        std::vector<std::string> found;
        SnmpListenCounts counts{};
        int scope = -1;
        std::vector<FleetAnswer> fleet;
    };
    auto work = [](const char* v1Host, const char* v3Host, int scope, Seen& seen) {
        scope_id = scope;
        CNetIO io;
        io.InitTargetOID(kOurModelOid, kOurModelOid);
        seen.status = v1Host != nullptr ? NetworkReadStatus(kDefaultCommunity, v1Host, &seen.block)
                                        : NetworkReadStatusSNMPv3(kDefaultCommunity, v3Host, &seen.block);
        char firmware[DEVICE_INFO_TEXT_SIZE] = "", mcu[DEVICE_INFO_TEXT_SIZE] = "";
        if (v1Host != nullptr)
            io.TesselNetworkGetPrinterName(v1Host, 0, seen.name, 0);
        else
            io.TesselNetworkGetNameAndFwAndMCUVersion(v3Host, seen.name, firmware, mcu, 0);
        const char* hosts[] = {v1Host != nullptr ? v1Host : v3Host, "198.18.9.3"};
        if (v1Host != nullptr)
            io.FindSnmpAgentHosts(kDefaultCommunity, hosts, 2, kSysObjectIdOidText, collectOne, &seen.found, 0);
        else
            io.FindSnmpV3AgentHosts(hosts, 2, collectOne, &seen.found, 0);
        seen.counts = TakeListenCounts();
        seen.scope = scope_id;
        seen.fleet = QueryFleet({at(hosts[0]), at(hosts[1])}, FleetOptions{});
    };
    Seen one, three;
    std::thread t([&] { work("198.18.1.40", nullptr, 7, one); });
    work(nullptr, "198.18.2.40", 9, three);
    t.join();
    EXPECT_TRUE(one.status);
    EXPECT_TRUE(three.status);
    EXPECT_EQ((std::vector<int>(one.block.bytes, one.block.bytes + 4)), (std::vector<int>{90, 45, 0x80 | 12, 101}));
    EXPECT_EQ((std::vector<int>(three.block.bytes, three.block.bytes + 4)), (std::vector<int>{3, 66, 70, 8}));
    EXPECT_STREQ(one.name, "Fleet One");
    EXPECT_STREQ(three.name, "Fleet Three");
    EXPECT_EQ(one.found, std::vector<std::string>{"198.18.1.40"});
    EXPECT_EQ(three.found, std::vector<std::string>{"198.18.2.40"});
    EXPECT_GT(one.counts.unsent, 0); // each its own question to the blackholed address
    EXPECT_GT(three.counts.unsent, 0);
    EXPECT_EQ(one.scope, 7);
    EXPECT_EQ(three.scope, 9);
    ASSERT_EQ(one.fleet.size(), 2u);
    ASSERT_EQ(three.fleet.size(), 2u);
    EXPECT_EQ(one.fleet[0].name, "Fleet One");
    EXPECT_EQ(three.fleet[0].name, "Fleet Three");
    EXPECT_FALSE(one.fleet[1].up || three.fleet[1].up);
}

} // namespace
