// levelwatch-discover and the CUPS backend snmp-discover as their users run
// them, on two links with agents in network namespaces: a printer of our
// model on each link, another model and a silent address, two agents with the
// same link-local address on the two links, one whose name is not UTF-8, and
// (for one test) a hostile host that answers broadcasts in others' names.
#include "AgentNetwork.h"
#include "ExpectedReport.h"
#include "HostileHost.h"
#include "Peers.h"
#include "SnmpTestData.h"
#include "TcpSink.h"

#include <gtest/gtest.h>

#include <algorithm>
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
        // The same link-local address on both links, told apart by the zone.
        Agent twinA = other;
        twinA.name = "twin-a";
        twinA.ipv4 = "192.0.2.19";
        twinA.ipv6 = "fe80::99";
        twinA.sysName = "Twin A";
        Agent twinB = twinA;
        twinB.name = "twin-b";
        twinB.link = 1;
        twinB.ipv4 = "198.51.100.19";
        twinB.sysName = "Twin B";
        // Latin-1 bytes, a surrogate, a code point past U+10FFFF and a C1
        // control character (CSI) in the printer's name.
        Agent odd = other;
        odd.name = "odd-name";
        odd.link = 1;
        odd.ipv4 = "198.51.100.17";
        odd.ipv6 = "fe80::17";
        odd.sysName = "Caf\xe9 \xc3\xa9t\xe9 \xed\xa0\x80 \xf4\x90\x80\x80 \xc2\x9b" "2J";
        for (const Agent& agent : {a, b, other, silent, twinA, twinB, odd})
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

TEST_F(Discover, AsksTheHostsGivenSideBySideAndRefusesHostsThatAreNone)
{
    ProcessResult r = discover({"--host", "192.0.2.13", "--model-oid", kOtherModelOid, "--v1", "--levels"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, "192.0.2.13\tv1\tElsewhere\tV1.07.3\tM2.11\t\t\t\t\n"); // no device ID: no levels
    r = discover({"--host=fe80::12%lwbr1", "--model-oid=1.3.6.1.4.1.41873.1.1", "--model-oid", kOurModelOid});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, "fe80::12%lwbr1\tv1\tPrint Room\tV1.08.0\t\n");

    // The zone decides which of the two fe80::99 is asked; only that link
    // hears the question.
    for (const char* version : {"--v1", "--v3"}) {
        r = discover({"--host", "fe80::99%lwbr1", "--model-oid", kOtherModelOid, version});
        EXPECT_EQ(r.out, std::string("fe80::99%lwbr1\t") + (version + 2) + "\tTwin B\tV1.07.3\tM2.11\n") << version;
    }

    // A fleet in a file and on the command line, asked together: comments,
    // blank lines, a line that is neither an address nor a name, a name
    // that does not resolve, a silent address and one that is asked twice.
    TempDir dir;
    const std::string fleet = dir.write("fleet", "# printers of the second floor\n"
                                                 "198.51.100.12   # print room\n"
                                                 "\n"
                                                 "two words\n"
                                                 "198.51.100.15\n"
                                                 "no-such-printer.invalid\n"
                                                 "fe80::11%lwbr0\n"
                                                 "bad!name\n"
                                                 "192.0.2.11\n");
    r = discover({"--hosts-file", fleet, "--host", "192.0.2.11", "--levels"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.out, "192.0.2.11\tv1\tFront Office\tV1.07.3\tM2.11\t90\t45\t12\t100\n"
                     "198.51.100.12\tv1\tPrint Room\tV1.08.0\t\t3\t66\t70\t8\n"
                     "fe80::11%lwbr0\tv1\tFront Office\tV1.07.3\tM2.11\t90\t45\t12\t100\n");
    for (const std::string& named : {fleet + ": line 4: \"words\" is no credential set of /etc/levelwatch/snmp.conf (skipped)",
                                    fleet + ": line 6: \"no-such-printer.invalid\" does not resolve",
                                    fleet + ": line 8: \"bad!name\" is neither an address nor a name (skipped)"})
        EXPECT_NE(r.err.find(named), std::string::npos) << named << "\n" << r.err;
    EXPECT_EQ(r.err.find("line 2"), std::string::npos) << r.err;

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
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--model-oid", "1.3.x"}, "not a sysObjectID"},
        {{"--model-oid", "1.3.6", "--model-oid", "1.3.7", "--model-oid", "1.3.8"}, "at most two"},
        {{"--host"}, "needs a value"},
        {{"--host", ""}, "needs an address"},
        {{"--host", "fe80::99%no-such-if"}, "not an address"},
        {{"--host", "fe80::99"}, "needs the interface"},
        {{"--host", "192.0.2.11", "--host", "no-such-printer.invalid"}, "does not resolve"},
        {{"--hosts-file", "/no/such/file"}, "cannot read /no/such/file"},
        {{"--verbose"}, "unknown argument"},
        {{"192.0.2.11"}, "unknown argument"}};
    for (const auto& [args, reason] : cases) {
        ProcessResult r = discover(args);
        EXPECT_EQ(r.exitStatus, 2) << args[0];
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Usage: levelwatch-discover"), std::string::npos) << r.err;
    }
    ProcessResult r = discover({"--help"});
    EXPECT_EQ(r.exitStatus, 0);
    for (const char* documented : {"--v1", "--v3", "--model-oid", "--host", "--hosts-file", "--json", "--levels",
                                   kOurModelOid, "Exit status", "mcu_firmware", "Latin-1"})
        EXPECT_NE(r.out.find(documented), std::string::npos) << documented;
}

// Bytes of a name that are not UTF-8 never make the output invalid: in
// both forms each such byte is the Latin-1 character of its number; valid
// sequences stay; a control character is a space (text) or escaped (JSON).
TEST_F(Discover, NamesThatAreNotUtf8ComeOutAsValidUtf8)
{
    ProcessResult r = discover({"--host", "198.51.100.17", "--model-oid", kOtherModelOid, "--v1"});
    EXPECT_EQ(r.out, "198.51.100.17\tv1\tCaf\u00e9 \u00e9t\u00e9 \u00ed\u00a0  \u00f4     2J\tV1.07.3\tM2.11\n");
    r = discover({"--host", "198.51.100.17", "--model-oid", kOtherModelOid, "--v1", "--json"});
    EXPECT_NE(r.out.find("\"name\":\"Caf\u00e9 \u00e9t\u00e9 \u00ed\u00a0\u0080 \u00f4\u0090\u0080\u0080 \u009b2J\""),
              std::string::npos)
        << r.out;
}

// CUPS lists our printers through the backend, as the "Add Printer" dialogs
// see them, with device URIs that keep CUPS's socket backend from polling
// SNMP; a job through such a URI reaches the printer's print port.
TEST_F(Discover, CupsListsThePrintersThroughTheBackendAndTheirUrisPrint)
{
    PrivateCupsd cupsd;
    ASSERT_TRUE(cupsd.ok()) << cupsd.errorLog();
    ASSERT_TRUE(cupsd.addBackend("snmp-discover", SNMP_DISCOVER_BACKEND));
    ProcessResult r = runProcess({"lpinfo", "--include-schemes", "snmp-discover", "-l", "-v"}, cupsd.env(), 60000);
    EXPECT_EQ(r.exitStatus, 0) << r.err << cupsd.errorLog();
    for (const char* uri : {"socket://192.0.2.11?snmp=false", "socket://198.51.100.12?snmp=false",
                            "socket://[fe80::11%25lwbr0]?snmp=false", "socket://[fe80::12%25lwbr1]?snmp=false"})
        EXPECT_NE(r.out.find(std::string("uri = ") + uri + "\n"), std::string::npos) << uri << "\n" << r.out;
    EXPECT_EQ(r.out.find("192.0.2.13"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("make-and-model = Corvane 5170\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("info = Corvane 5170 (Front Office)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("device-id = MFG:Corvane;MDL:5170;CMD:POSTSCRIPT;\n"), std::string::npos) << r.out;

    // CUPS's own socket backend takes the URI as listed.
    TcpSink printer("printer-a");
    ASSERT_TRUE(printer.ok());
    ASSERT_TRUE(cupsd.addBackend("socket", "/usr/lib/cups/backend/socket"));
    ASSERT_TRUE(cupsd.addQueue("Found", "socket://192.0.2.11?snmp=false"));
    TempDir dir;
    r = runProcess({"lp", "-d", "Found", "-o", "raw", dir.write("job", "%!PS\nshowpage\n")}, cupsd.env());
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    ASSERT_TRUE(printer.waitForJobs(1, 30000)) << cupsd.errorLog();
    EXPECT_EQ(printer.jobs()[0].data, "%!PS\nshowpage\n");
    // levelwatch reads such a queue's levels as any other's.
    r = runProcess({LEVELWATCH_BIN, "Found"}, cupsd.env());
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, expectedReport(kBlockA));

    r = runProcess({SNMP_DISCOVER_BACKEND, "1", "user", "title", "1", "", "/dev/null"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find("ERROR: "), std::string::npos);
    EXPECT_EQ(r.out, "");
}

// A host on the link answers every broadcast with 1,000 forged answers of
// our model (150 in the names of addresses of the link, the rest from
// beyond it) and forged SNMPv3 Reports: the scan still lists the real
// printers and nothing else, and says what it ignored.
TEST_F(Discover, AFloodOfForgedAnswersNeitherListsNorHidesAPrinter)
{
    HostileHost::Config c;
    c.ipv4 = "192.0.2.66";
    c.sources = HostileHost::forgedSources(0, 1000, 150);
    HostileHost hostile(*net_, c);
    ASSERT_TRUE(hostile.ok()) << hostile.error();

    ProcessResult r = discover({"--levels"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.out, "192.0.2.11\tv1\tFront Office\tV1.07.3\tM2.11\t90\t45\t12\t100\n"
                     "198.51.100.12\tv1\tPrint Room\tV1.08.0\t\t3\t66\t70\t8\n"
                     "fe80::11%lwbr0\tv1\tFront Office\tV1.07.3\tM2.11\t90\t45\t12\t100\n"
                     "fe80::12%lwbr1\tv1\tPrint Room\tV1.08.0\t\t3\t66\t70\t8\n")
        << r.err;
    EXPECT_GE(hostile.requestsSeen(), 2); // both versions' broadcasts
    EXPECT_NE(r.err.find("answers ignored: not from the link they came in by"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("150 answers ignored: no answer again at their own address"), std::string::npos) << r.err;

    PrivateCupsd cupsd;
    ASSERT_TRUE(cupsd.ok()) << cupsd.errorLog();
    r = runProcess({SNMP_DISCOVER_BACKEND}, cupsd.env(), 60000);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 4) << r.out;
    EXPECT_NE(r.err.find("DEBUG: snmp-discover: 150 answers ignored: no answer again"), std::string::npos) << r.err;
}

} // namespace
