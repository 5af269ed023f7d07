// levelwatch-discover and the CUPS backend snmp-discover as their users run
// them, on two links with agents in network namespaces: a printer of our
// model on each link, another model and a silent address.
#include "AgentNetwork.h"
#include "Peers.h"
#include "SnmpTestData.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace lwtest;

namespace {

const auto kBlockA = statusBlock(90, 45, 0x80 | 12, 100);
const auto kBlockB = statusBlock(3, 66, 70, 8);

class Discover : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!inPrivateNetwork())
            return;
        net_ = new AgentNetwork(2);
        Agent a;
        a.name = "printer-a";
        a.ipv4 = "192.0.2.11";
        a.ipv6 = "fe80::11";
        a.sysName = "Front Office";
        a.firmware = "V1.07.3";
        a.mcuFirmware = "M2.11";
        a.deviceId = deviceIdWithStatus(kBlockA);
        Agent b;
        b.name = "printer-b";
        b.link = 1;
        b.ipv4 = "198.51.100.12";
        b.ipv6 = "fe80::12";
        b.sysName = "Print\tRoom";
        b.firmware = "V1.08.0";
        b.deviceId = deviceIdWithStatus(kBlockB);
        Agent other = a;
        other.name = "other-model";
        other.ipv4 = "192.0.2.13";
        other.ipv6 = "fe80::13";
        other.sysObjectId = kOtherModelOid;
        other.sysName = "Elsewhere";
        other.deviceId.clear();
        Agent silent;
        silent.name = "silent";
        silent.link = 1;
        silent.ipv4 = "198.51.100.15";
        silent.ipv6 = "fe80::15";
        silent.silent = true;
        for (const Agent& agent : {a, b, other, silent})
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
    }

    static ProcessResult discover(const std::vector<std::string>& args)
    {
        std::vector<std::string> argv = {LEVELWATCH_DISCOVER_BIN};
        argv.insert(argv.end(), args.begin(), args.end());
        return runProcess(argv, {}, 60000);
    }

    static AgentNetwork* net_;
};

AgentNetwork* Discover::net_ = nullptr;

TEST_F(Discover, ListsEachPrinterOfOurModelOnceOnEveryLinkWithItsInformation)
{
    ProcessResult r = discover({});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.err, "");
    // Both versions answered: listed once, as v1. A tab in a name is a space.
    EXPECT_EQ(r.out, "192.0.2.11\tv1\tFront Office\tV1.07.3\tM2.11\n"
                     "198.51.100.12\tv1\tPrint Room\tV1.08.0\t\n"
                     "fe80::11%lwbr0\tv1\tFront Office\tV1.07.3\tM2.11\n"
                     "fe80::12%lwbr1\tv1\tPrint Room\tV1.08.0\t\n");

    r = discover({"--v3", "--json", "--levels"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    const std::string levelsA = R"("levels":{"black":90,"cyan":45,"magenta":12,"yellow":100})";
    const std::string levelsB = R"("levels":{"black":3,"cyan":66,"magenta":70,"yellow":8})";
    const std::string a = R"("snmp":"v3","name":"Front Office","firmware":"V1.07.3","mcu_firmware":"M2.11",)" + levelsA;
    const std::string b = R"("snmp":"v3","name":"Print\tRoom","firmware":"V1.08.0","mcu_firmware":"",)" + levelsB;
    EXPECT_EQ(r.out, R"({"address":"192.0.2.11",)" + a + "}\n" + R"({"address":"198.51.100.12",)" + b + "}\n"
                         + R"({"address":"fe80::11%lwbr0",)" + a + "}\n" + R"({"address":"fe80::12%lwbr1",)" + b
                         + "}\n");
}

TEST_F(Discover, AsksOneHostForTheModelsGivenAndSaysWhenNothingAnswers)
{
    ProcessResult r = discover({"--host", "192.0.2.13", "--model-oid", kOtherModelOid, "--v1", "--levels"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, "192.0.2.13\tv1\tElsewhere\tV1.07.3\tM2.11\t\t\t\t\n"); // no device ID: no levels
    r = discover({"--host=fe80::12%lwbr1", "--model-oid=1.3.6.1.4.1.41873.1.1", "--model-oid", kOurModelOid});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, "fe80::12%lwbr1\tv1\tPrint Room\tV1.08.0\t\n");

    // The library's trace lines go to standard error, and only when asked for.
    r = runProcess({LEVELWATCH_DISCOVER_BIN, "--host", "192.0.2.11", "--v3"}, {{"LEVELWATCH_DEBUG", "1"}}, 60000);
    EXPECT_EQ(r.out, "192.0.2.11\tv3\tFront Office\tV1.07.3\tM2.11\n");
    EXPECT_NE(r.err.find("parseSnmpV3Response"), std::string::npos) << r.err;

    r = discover({"--host", "198.51.100.15"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.out, "");
    r = discover({"--host", "192.0.2.13"}); // not our model
    EXPECT_EQ(r.exitStatus, 1);
}

TEST_F(Discover, UsageErrorsAndHelp)
{
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--model-oid", "1.3.x"}, {"--model-oid", "1.3.6", "--model-oid", "1.3.7", "--model-oid", "1.3.8"},
             {"--host"}, {"--host", ""}, {"--verbose"}, {"192.0.2.11"}}) {
        ProcessResult r = discover(args);
        EXPECT_EQ(r.exitStatus, 2) << args[0];
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("Usage: levelwatch-discover"), std::string::npos) << r.err;
    }
    ProcessResult r = discover({"--help"});
    EXPECT_EQ(r.exitStatus, 0);
    for (const char* documented : {"--v1", "--v3", "--model-oid", "--host", "--json", "--levels", kOurModelOid,
                                   "Exit status", "mcu_firmware"})
        EXPECT_NE(r.out.find(documented), std::string::npos) << documented;
}

// CUPS lists our printers through the backend, as the "Add Printer" dialogs
// see them; printing is not the backend's business.
TEST_F(Discover, CupsListsThePrintersThroughTheBackend)
{
    PrivateCupsd cupsd;
    ASSERT_TRUE(cupsd.ok()) << cupsd.errorLog();
    ASSERT_TRUE(cupsd.addBackend("snmp-discover", SNMP_DISCOVER_BACKEND));
    ProcessResult r = runProcess({"lpinfo", "--include-schemes", "snmp-discover", "-l", "-v"}, cupsd.env(), 60000);
    EXPECT_EQ(r.exitStatus, 0) << r.err << cupsd.errorLog();
    for (const char* uri : {"socket://192.0.2.11", "socket://198.51.100.12", "socket://[fe80::11%25lwbr0]",
                            "socket://[fe80::12%25lwbr1]"})
        EXPECT_NE(r.out.find(std::string("uri = ") + uri + "\n"), std::string::npos) << uri << "\n" << r.out;
    EXPECT_EQ(r.out.find("192.0.2.13"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("make-and-model = Corvane 5170\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("info = Corvane 5170 (Front Office)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("device-id = MFG:Corvane;MDL:5170;CMD:POSTSCRIPT;\n"), std::string::npos) << r.out;

    r = runProcess({SNMP_DISCOVER_BACKEND, "1", "user", "title", "1", "", "/dev/null"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find("ERROR: "), std::string::npos);
    EXPECT_EQ(r.out, "");
}

} // namespace
