// Device information and agent discovery against real agents: Net-SNMP's
// snmpd in network namespaces of their own on two bridges (two printers of
// our model, one agent of another model, one printer whose engine ID is not
// ours, one silent address, and two agents with the same link-local address
// on the two links), reached over IPv4 broadcast, IPv6 all-nodes multicast
// and unicast, SNMP v1 and SNMPv3. Faults the real agents never make come
// from a scripted responder and a hostile host.
#include "snmp/Listen.h"
#include "snmp/NetIO.h"

#include "AgentNetwork.h"
#include "HostileHost.h"
#include "Peers.h"
#include "SnmpTestData.h"
#include "UdpResponder.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstring>
#include <map>
#include <memory>
#include <string>

using namespace lwtest;

namespace {

// What the callbacks saw: address%interface -> number of reports.
using Reports = std::map<std::string, int>;

bool collect(const char* address, const char* interfaceName, void* user)
{
    std::string key = address;
    if (interfaceName != nullptr)
        key += std::string("%") + interfaceName;
    ++(*static_cast<Reports*>(user))[key];
    return true;
}

int connections(const std::string& log)
{
    int n = 0;
    for (size_t at = log.find("Connection from"); at != std::string::npos; at = log.find("Connection from", at + 1))
        ++n;
    return n;
}

class Discovery : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!inPrivateNetwork())
            return;
        net_ = new AgentNetwork(2, true);
        Agent a;
        a.name = "printer-a";
        a.ipv4 = "192.0.2.11";
        a.ipv6 = "fe80::11";
        a.sysName = "Front Office";
        a.firmware = "V1.07.3";
        a.mcuFirmware = "M2.11";
        Agent b = a;
        b.name = "printer-b";
        b.ipv4 = "192.0.2.12";
        b.ipv6 = "fe80::12";
        b.sysName = "Print Room";
        b.firmware = "V1.08.0";
        b.mcuFirmware = ""; // answers with its name and firmware only
        Agent other = a;
        other.name = "other-model";
        other.ipv4 = "192.0.2.13";
        other.ipv6 = "fe80::13";
        other.sysObjectId = kOtherModelOid;
        Agent foreign = a;
        foreign.name = "foreign-engine";
        foreign.ipv4 = "192.0.2.14";
        foreign.ipv6 = "fe80::14";
        foreign.v1 = false;
        foreign.engineIdHex = std::string(kForeignEnginePrefixHex) + "000000C0000214";
        Agent silent;
        silent.name = "silent";
        silent.ipv4 = "192.0.2.15";
        silent.ipv6 = "fe80::15";
        silent.silent = true;
        Agent twinA = other;
        twinA.name = "twin-a";
        twinA.ipv4 = "192.0.2.19";
        twinA.ipv6 = "fe80::99";
        Agent twinB = twinA;
        twinB.name = "twin-b";
        twinB.link = 1;
        twinB.ipv4 = "198.51.100.19";
        for (const Agent& agent : {a, b, other, foreign, silent, twinA, twinB})
            if (net_->ok() && !net_->add(agent))
                break;
    }
    static void TearDownTestSuite()
    {
        delete net_;
        net_ = nullptr;
    }

    void SetUp() override
    {
        if (!inPrivateNetwork())
            GTEST_SKIP() << "needs a private network namespace";
        ASSERT_TRUE(net_->ok() && net_->error().empty()) << net_->error();
        scope_id = 0;
        std::strcpy(g_ifsName, "%en0");
        g_findScanIndex = -1;
        g_listenCounts = {};
        io_.InitTargetOID(kOurModelOid, kOurModelOid);
    }

    static std::string onLink(const std::string& address, int link = 0)
    {
        return address + "%" + AgentNetwork::linkName(link);
    }

    static AgentNetwork* net_;
    CNetIO io_;
};

AgentNetwork* Discovery::net_ = nullptr;

TEST_F(Discovery, BothPrintersAreFoundOverV1AndV3IpV4AndIpV6AndNoOtherAgent)
{
    const Reports printers4 = {{onLink("192.0.2.11"), 1}, {onLink("192.0.2.12"), 1}};
    const Reports printers6 = {{onLink("fe80::11"), 1}, {onLink("fe80::12"), 1}};
    Reports seen;
    const int foreignBefore = connections(net_->log("foreign-engine"));
    EXPECT_TRUE(io_.FindSnmpV3Agent(nullptr, "255.255.255.255", nullptr, collect, &seen, 1));
    EXPECT_EQ(seen, printers4);
    // The engine that is not ours was sent the probe and nothing else.
    EXPECT_EQ(connections(net_->log("foreign-engine")) - foreignBefore, 1) << net_->log("foreign-engine");

    // The first IPv6 answer fixes the scope of later IPv6 traffic.
    seen.clear();
    EXPECT_TRUE(io_.FindSnmpV3AgentV6_(nullptr, "ff02::1", nullptr, collect, &seen, 1));
    EXPECT_EQ(seen, printers6);
    EXPECT_EQ(scope_id, net_->linkIndex(0));
    EXPECT_EQ(std::string(g_ifsName), "%" + AgentNetwork::linkName(0));

    // SNMP v1 sends three requests: three answers each over IPv4, one over
    // IPv6 (sent once).
    seen.clear();
    EXPECT_TRUE(io_.FindSnmpAgent("tundra", "255.255.255.255", kSysObjectIdOidText, collect, &seen, 1));
    EXPECT_EQ(seen, (Reports{{onLink("192.0.2.11"), 3}, {onLink("192.0.2.12"), 3}}));
    seen.clear();
    EXPECT_TRUE(io_.FindSnmpAgent("", "ff02::1", kSysObjectIdOidText, collect, &seen, 1));
    EXPECT_EQ(seen, printers6);

    // The other model answers when it is the one asked for.
    io_.InitTargetOID(kOtherModelOid, kOurModelOid);
    seen.clear();
    EXPECT_TRUE(io_.FindSnmpV3Agent(nullptr, "192.0.2.13", nullptr, collect, &seen, 0));
    EXPECT_EQ(seen, (Reports{{onLink("192.0.2.13"), 1}}));
    EXPECT_FALSE(io_.FindSnmpAgent("tundra", "192.0.2.13", "1.3.x", collect, &seen, 0)) << "OID text";
}

TEST_F(Discovery, ScopeScansTryEachInterfaceOnceAndRememberWhereTheAnswersCame)
{
    Reports seen;
    // A silent link-local address: one pass per interface, then the end.
    EXPECT_TRUE(io_.FindSnmpAgentV6("tundra", "fe80::15", kSysObjectIdOidText, collect, &seen, 0));
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(scope_id, 0);
    EXPECT_TRUE(io_.FindSnmpAgentV6("tundra", "fe80::11", kSysObjectIdOidText, collect, &seen, 0));
    EXPECT_EQ(seen, (Reports{{onLink("fe80::11"), 3}}));
    EXPECT_EQ(scope_id, net_->linkIndex(0));

    // The fixed broadcast and multicast: the scan's own answer counts too;
    // the second call sends three requests on the remembered scope at once.
    scope_id = 0;
    seen.clear();
    EXPECT_TRUE(io_.FindSnmpAgent3Times(nullptr, kSysObjectIdOidText, collect, &seen));
    EXPECT_EQ(seen, (Reports{{"192.0.2.11", 3}, {"192.0.2.12", 3}, {onLink("fe80::11"), 1}, {onLink("fe80::12"), 1}}));
    EXPECT_EQ(g_findScanIndex, net_->linkIndex(0));
    EXPECT_EQ(scope_id, net_->linkIndex(0));
    seen.clear();
    EXPECT_TRUE(io_.FindSnmpAgent3Times("tundra", kSysObjectIdOidText, collect, &seen));
    EXPECT_EQ(seen, (Reports{{"192.0.2.11", 3}, {"192.0.2.12", 3}, {onLink("fe80::11"), 3}, {onLink("fe80::12"), 3}}));

    ifs_info* list = get_ifs_info(0, 0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(find_ifscope_id(list, AgentNetwork::linkName(0).c_str()), net_->linkIndex(0));
    EXPECT_EQ(find_ifscope_id(list, "no-such-if"), 4);
    ASSERT_NE(find_ifname(list, net_->linkIndex(0)), nullptr);
    EXPECT_STREQ(find_ifname(list, net_->linkIndex(0))->name, AgentNetwork::linkName(0).c_str());
    EXPECT_EQ(free_ifs_info(list), nullptr);
}

TEST_F(Discovery, DeviceInformationOverV1AndV3IsWhatTheAgentsHold)
{
    char name[DEVICE_INFO_TEXT_SIZE] = "", fw[DEVICE_INFO_TEXT_SIZE] = "", mcu[DEVICE_INFO_TEXT_SIZE] = "";
    EXPECT_EQ(io_.TesselNetworkGetPrinterName("192.0.2.11", 0, name, 0), 0);
    EXPECT_EQ(io_.TesselNetworkGetFwVersion("192.0.2.11", 0, fw, 0), 0);
    EXPECT_EQ(io_.TesselNetworkGetFwMCUVersion("192.0.2.11", 0, mcu, 0), 0);
    EXPECT_STREQ(name, "Front Office");
    EXPECT_STREQ(fw, "V1.07.3");
    EXPECT_STREQ(mcu, "M2.11");

    scope_id = net_->linkIndex(0); // as the first IPv6 answer of a discovery sets it
    EXPECT_EQ(io_.TesselNetworkGetPrinterName("fe80::12", 0, name, 0), 0);
    EXPECT_STREQ(name, "Print Room");

    // SNMPv3, all three at once; printer-b has no MCU version, so that
    // output keeps what it held.
    std::strcpy(mcu, "untouched");
    EXPECT_EQ(io_.TesselNetworkGetNameAndFwAndMCUVersion("fe80::12", name, fw, mcu, 0), 0);
    EXPECT_STREQ(name, "Print Room");
    EXPECT_STREQ(fw, "V1.08.0");
    EXPECT_STREQ(mcu, "untouched");
    EXPECT_EQ(io_.TesselNetworkGetNameAndFwAndMCUVersion("192.0.2.11", name, fw, mcu, 0), 0);
    EXPECT_STREQ(name, "Front Office");
    EXPECT_STREQ(fw, "V1.07.3");
    EXPECT_STREQ(mcu, "M2.11");

    // The foreign engine gets no request, the silent address gives nothing.
    EXPECT_EQ(io_.TesselNetworkGetNameAndFwAndMCUVersion("192.0.2.14", name, fw, mcu, 0), -1);
    EXPECT_EQ(io_.TesselNetworkGetPrinterName("192.0.2.15", 0, name, 0), -1);
    EXPECT_EQ(io_.TesselNetworkGetPrinterName("no.such.host.invalid", 0, name, 0), -1);
}

TEST_F(Discovery, AV1AnswerAfterTheSecondIsNoValue)
{
    UdpResponder late("127.0.0.7", 161, [](const Bytes&) {
        return std::vector<UdpResponder::Reply>{{1200, getResponse("Late Printer")}};
    });
    ASSERT_TRUE(late.ok());
    char out[DEVICE_INFO_TEXT_SIZE] = "before";
    EXPECT_FALSE(io_.NetSnmpGetV4("127.0.0.7", "tundra", kSysNameOidText, out, 0));
    EXPECT_STREQ(out, "before");
}

// A zone names the one link to ask by: the other link's agent with the same
// address never hears the question. Without a zone, both are asked.
TEST_F(Discovery, AZonedHostIsAskedByWayOfItsInterfaceOnly)
{
    io_.InitTargetOID(kOtherModelOid, kOtherModelOid);
    Reports seen;
    EXPECT_TRUE(io_.FindSnmpAgentV6_("tundra", "fe80::99%lwbr1", kSysObjectIdOidText, collect, &seen, 0));
    EXPECT_EQ(seen, (Reports{{onLink("fe80::99", 1), 1}}));
    seen.clear();
    EXPECT_TRUE(io_.FindSnmpV3AgentV6_(nullptr, "fe80::99%lwbr0", nullptr, collect, &seen, 0));
    EXPECT_EQ(seen, (Reports{{onLink("fe80::99", 0), 1}}));
    seen.clear();
    EXPECT_TRUE(io_.FindSnmpAgentV6_("tundra", "fe80::99", kSysObjectIdOidText, collect, &seen, 0));
    EXPECT_EQ(seen, (Reports{{onLink("fe80::99", 0), 1}, {onLink("fe80::99", 1), 1}}));

    // A list of hosts is asked at once, each by its own zone.
    seen.clear();
    const char* hosts[] = {"fe80::99%lwbr1", "192.0.2.13", "192.0.2.15"};
    EXPECT_TRUE(io_.FindSnmpAgentHosts("tundra", hosts, 3, kSysObjectIdOidText, collect, &seen, 0));
    EXPECT_EQ(seen, (Reports{{onLink("fe80::99", 1), 1}, {onLink("192.0.2.13"), 1}}));
    seen.clear();
    EXPECT_TRUE(io_.FindSnmpV3AgentHosts(hosts, 3, collect, &seen, 0));
    EXPECT_EQ(seen, (Reports{{onLink("fe80::99", 1), 1}, {onLink("192.0.2.13"), 1}}));
}

// Who may answer what, judged on this machine's real interfaces: a
// broadcast or ff02::1 by any address of the link the answer came in by
// (IPv6: link-local, or the link's own prefix), a unicast message only by its
// address and port. What is refused is counted.
TEST_F(Discovery, AnswersCountOnlyFromWhereTheQuestionWent)
{
    const LocalLinks links;
    const int link0 = net_->linkIndex(0);
    auto endpoint = [](const std::string& address, int port = 161) {
        sockaddr_storage s{};
        if (address.find(':') == std::string::npos) {
            auto& a = reinterpret_cast<sockaddr_in&>(s);
            a.sin_family = AF_INET;
            a.sin_port = htons(static_cast<uint16_t>(port));
            inet_pton(AF_INET, address.c_str(), &a.sin_addr);
        } else {
            auto& a = reinterpret_cast<sockaddr_in6&>(s);
            a.sin6_family = AF_INET6;
            a.sin6_port = htons(static_cast<uint16_t>(port));
            inet_pton(AF_INET6, address.c_str(), &a.sin6_addr);
        }
        return s;
    };
    auto judge = [&](const std::string& dest, const std::string& from, int port = 161) {
        const sockaddr_storage d = endpoint(dest);
        Datagram datagram{};
        datagram.from = endpoint(from, port);
        datagram.ifindex = link0;
        const auto* to = reinterpret_cast<const sockaddr*>(&d);
        return mayAnswer(to, answerFromFor(to, links), datagram, links);
    };
    EXPECT_TRUE(judge("255.255.255.255", "192.0.2.200"));
    EXPECT_TRUE(judge("192.0.2.255", "192.0.2.7")); // the link's own broadcast address
    EXPECT_FALSE(judge("255.255.255.255", "198.51.100.7")); // link 1's subnet, come in by link 0
    EXPECT_FALSE(judge("255.255.255.255", "169.254.100.1"));
    EXPECT_TRUE(judge("ff02::1", "fe80::1234"));
    EXPECT_TRUE(judge("ff02::1", "2001:db8:0:0::5"));
    EXPECT_FALSE(judge("ff02::1", "2001:db8:0:1::5"));
    EXPECT_FALSE(judge("ff02::1", "2001:db8:99::5"));
    EXPECT_TRUE(judge("192.0.2.11", "192.0.2.11"));
    EXPECT_FALSE(judge("192.0.2.11", "192.0.2.12"));
    EXPECT_FALSE(judge("192.0.2.11", "192.0.2.11", 162));
    EXPECT_EQ(g_listenCounts.offLink, 4);
    EXPECT_EQ(g_listenCounts.notAsked, 2);
}

// A host that never stops answering keeps no loop alive: a stream of v1
// answers ends a broadcast at a bound (4,096 datagrams, or 2.5 s where the
// machine reads them more slowly than they come), a slower stream of SNMPv3
// Reports ends the status query at its time bound; both come back with
// what they had.
TEST_F(Discovery, AStreamOfAnswersEndsEveryListeningLoopAtItsBound)
{
    HostileHost::Config fast;
    fast.name = "streaming";
    fast.ipv4 = "192.0.2.70";
    fast.streamMs = 30000;
    fast.streamGapUs = 200;
    Reports seen;
    {
        HostileHost stream(*net_, fast);
        ASSERT_TRUE(stream.ok()) << stream.error();
        EXPECT_TRUE(io_.FindSnmpAgent("tundra", "255.255.255.255", kSysObjectIdOidText, collect, &seen, 1));
    }
    EXPECT_EQ(g_listenCounts.datagramBound + g_listenCounts.timeBound, 1);
    EXPECT_EQ(seen.count(onLink("192.0.2.11")), 1u); // the printer answered before the bound
    g_listenCounts = {};

    HostileHost::Config slow = fast;
    slow.name = "streaming-v3";
    slow.ipv4 = "192.0.2.71";
    slow.streamGapUs = 2000;
    HostileHost stream(*net_, slow);
    ASSERT_TRUE(stream.ok()) << stream.error();
    PRINTER_STATUS status{};
    EXPECT_FALSE(io_.NetworkReadStatusSNMPv3(nullptr, "192.0.2.71", &status));
    EXPECT_GE(g_listenCounts.timeBound, 1);
    EXPECT_LT(stream.answersSent(), 4000); // it was still sending when the query gave up
}

} // namespace
