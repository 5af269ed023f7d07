// levelwatch as the printing system runs it: a real process, a private cupsd
// holding the queues, and the printer played by Net-SNMP's snmpd, a private
// Avahi daemon, a fake sibling filter, or (for faults) a scripted responder.
#include "ExpectedReport.h"
#include "Peers.h"
#include "SnmpTestData.h"
#include "UdpResponder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/mount.h>
#include <unistd.h>

using namespace lwtest;

namespace {

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class LevelwatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!inPrivateNetwork())
            GTEST_SKIP() << "needs a private network namespace";
        cupsd_ = std::make_unique<PrivateCupsd>();
        ASSERT_TRUE(cupsd_->ok()) << cupsd_->errorLog();
    }

    ProcessResult levelwatch(const std::string& queue, Env extra = {}, int timeoutMs = 30000)
    {
        Env env = cupsd_->env();
        env.insert(env.end(), extra.begin(), extra.end());
        env.emplace_back("LANG", "C");
        return runProcess({LEVELWATCH_BIN, queue}, env, timeoutMs);
    }

    // The sibling filter: prints `line` and records its arguments, one per
    // line, after their count.
    void installFilter(const std::string& line)
    {
        scratch_.write("filter-line", line);
        std::string script = "#!/bin/sh\n"
                             "{ echo $#; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > '" +
                             scratch_.file("filter-args") + "'\n"
                             "cat '" + scratch_.file("filter-line") + "'\n";
        std::ofstream(cupsd_->serverBin() + "/filter/cablegauge") << script;
        chmod((cupsd_->serverBin() + "/filter/cablegauge").c_str(), 0755);
    }

    std::unique_ptr<PrivateCupsd> cupsd_;
    TempDir scratch_;
};

} // namespace

TEST_F(LevelwatchTest, UsbQueueReportsWhatTheFilterPrints)
{
    auto block = statusBlock(0xE4, 55, 0, 0x7F);
    installFilter(deviceIdWithStatus(block) + "\n");
    ASSERT_TRUE(cupsd_->addQueue("ColourUsb", "usb://Test/Colour%20Laser?serial=A1B2"));
    ProcessResult r = levelwatch("ColourUsb");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, expectedReport(block));
    EXPECT_EQ(slurp(scratch_.file("filter-args")), "2\nColourUsb\nusb://Test/Colour%20Laser?serial=A1B2\n");
}

TEST_F(LevelwatchTest, AGermanUserGetsGermanDescriptionsAndUsage)
{
    installFilter(deviceIdWithStatus(statusBlock(10, 20, 30, 40)) + "\n");
    ASSERT_TRUE(cupsd_->addQueue("ColourDe", "usb://Test/Colour"));
    const Env german = {{"LANGUAGE", "de"}, {"LEVELWATCH_LOCALEDIR", LEVELWATCH_BUILD_LOCALEDIR}};
    Env env = cupsd_->env();
    env.insert(env.end(), german.begin(), german.end());
    env.emplace_back("LANG", "C.UTF-8");
    ProcessResult r = runProcess({LEVELWATCH_BIN, "ColourDe"}, env);
    EXPECT_EQ(r.exitStatus, 0);
    for (const char* description : {"Schwarze Druckkassette", "Cyan-Druckkassette", "Magenta-Druckkassette",
                                    "Gelbe Druckkassette"})
        EXPECT_NE(r.out.find(description), std::string::npos) << description;
    r = runProcess({LEVELWATCH_BIN, "--help"}, env);
    EXPECT_EQ(r.out.rfind("Aufruf: levelwatch WARTESCHLANGE", 0), 0u) << r.out;
}

TEST_F(LevelwatchTest, UsbLineTooShortOrUndecodableFails)
{
    ASSERT_TRUE(cupsd_->addQueue("ShortUsb", "usb://Test/Colour"));
    installFilter("MFG:Test;CMD:PJL;STS:AAAA;\n");
    ProcessResult r = levelwatch("ShortUsb");
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_EQ(r.out, "");

    // Long enough, but the status field holds fewer than 108 bytes.
    installFilter("MFG:Test;CMD:PJL;DES:" + std::string(120, '-') + ";STS:AAAA;\n");
    r = levelwatch("ShortUsb");
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_EQ(r.out, "");
}

// Queue names and URIs reach the filter as exactly two arguments; none of
// their characters is ever seen by a shell.
TEST_F(LevelwatchTest, HostileQueueAndUriReachTheFilterAsTwoArguments)
{
    // Queue names cannot hold "/": the commands would touch "pwned" in the
    // working directory, which is the scratch directory for this test.
    char* previous = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(scratch_.path().c_str()), 0);
    std::string marker = scratch_.file("pwned");
    installFilter(deviceIdWithStatus(statusBlock(1, 2, 3, 4)) + "\n");
    const std::string queue = "q;touch${IFS}pwned;`touch${IFS}pwned`$(touch${IFS}pwned)";
    const std::string uri = "usb://Test/M?serial=1;$(touch%20pwned)`id`";
    ASSERT_TRUE(cupsd_->addQueue(queue, uri));
    ProcessResult r = levelwatch(queue);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(slurp(scratch_.file("filter-args")), "2\n" + queue + "\n" + uri + "\n");

    // A device URI given directly may hold spaces and quotes as well.
    const std::string direct = "usb://Test/M \"quoted\" 'single' ; $(touch pwned) `touch pwned`";
    r = levelwatch(direct);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(slurp(scratch_.file("filter-args")), "2\n" + direct + "\n" + direct + "\n");
    EXPECT_NE(access(marker.c_str(), F_OK), 0) << "a shell ran part of the queue name or URI";
    EXPECT_EQ(chdir(previous), 0);
    free(previous);
}

TEST_F(LevelwatchTest, SnmpV1OverIPv4AndIPv6)
{
    auto block = statusBlock(80, 61, 42, 23);
    SnmpdConfig config;
    config.listen = {"udp:127.0.0.2:161", "udp6:[::1]:161"};
    config.deviceId = deviceIdWithStatus(block);
    Snmpd agent(config);
    ASSERT_TRUE(agent.ok()) << agent.log();
    ASSERT_TRUE(cupsd_->addQueue("Net4", "socket://127.0.0.2:9100"));
    ASSERT_TRUE(cupsd_->addQueue("Net6", "ipp://[::1]:631/ipp/print"));

    ProcessResult r = levelwatch("Net4");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, expectedReport(block));
    r = levelwatch("Net6");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, expectedReport(block));
}

// A host name with addresses in both families: only its first IPv6 address is asked.
TEST_F(LevelwatchTest, HostNameWithBothFamiliesIsAskedOverIPv6)
{
    std::string hosts = scratch_.write("hosts", "127.0.0.1 localhost\n::1 dual-printer\n127.0.0.2 dual-printer\n");
    ASSERT_EQ(mount(hosts.c_str(), "/etc/hosts", nullptr, MS_BIND, nullptr), 0);
    auto block = statusBlock(9, 8, 7, 6);
    SnmpdConfig v6only;
    v6only.listen = {"udp6:[::1]:161"};
    v6only.deviceId = deviceIdWithStatus(block);
    Snmpd agent(v6only);
    ASSERT_TRUE(agent.ok()) << agent.log();
    ProcessResult r = levelwatch("lpd://dual-printer/queue");
    umount("/etc/hosts");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, expectedReport(block));
}

TEST_F(LevelwatchTest, ExitStatusesOfTheFailurePaths)
{
    ASSERT_TRUE(cupsd_->addQueue("Share", "smb://server/printer"));
    ProcessResult r = levelwatch("Share");
    EXPECT_EQ(r.exitStatus, 1) << "no address at all";
    r = levelwatch("NoSuchQueue");
    EXPECT_EQ(r.exitStatus, 255);
    r = levelwatch("socket://unresolvable.invalid");
    EXPECT_EQ(r.exitStatus, 1);
    // An address where nobody answers: every query fails.
    r = levelwatch("socket://127.0.0.9");
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_EQ(r.out, "");
    r = runProcess({LEVELWATCH_BIN}, cupsd_->env());
    EXPECT_EQ(r.exitStatus, 255) << "no queue argument";
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("Usage: levelwatch QUEUE\n", 0), 0u) << r.err;
    // Asked for, the usage is the only output, on standard output.
    r = runProcess({LEVELWATCH_BIN, "--help"}, cupsd_->env());
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out.rfind("Usage: levelwatch QUEUE\n", 0), 0u) << r.out;
    EXPECT_EQ(r.err, "");
}

// Standard error is discarded unless LEVELWATCH_DEBUG=1 keeps it.
TEST_F(LevelwatchTest, StandardErrorOnlyWithDebug)
{
    installFilter("");
    chmod((cupsd_->serverBin() + "/filter/cablegauge").c_str(), 0644); // cannot be started
    ProcessResult quiet = levelwatch("usb://Test/M");
    EXPECT_EQ(quiet.exitStatus, 255);
    EXPECT_EQ(quiet.err, "");
    ProcessResult loud = levelwatch("usb://Test/M", {{"LEVELWATCH_DEBUG", "1"}});
    EXPECT_EQ(loud.exitStatus, 255);
    EXPECT_EQ(loud.err, "Could not open pipe for toner level agents.\n");
}

// The v1 query waits 50 ms for its answer: a printer answering after 60 ms
// counts as silent, the same answer at once is reported.
TEST_F(LevelwatchTest, LateV1AnswerCountsAsSilent)
{
    auto block = statusBlock(11, 22, 33, 44);
    auto answer = getResponse(deviceIdWithStatus(block));
    int delay = 60;
    UdpResponder printer("127.0.0.3", 161, [&](const std::vector<uint8_t>& request) {
        // Answers SNMP v1 requests only (version byte 0 after 30 LL 02 01).
        bool v1 = request.size() > 4 && request[2] == 0x02 && request[3] == 0x01 && request[4] == 0x00;
        return v1 ? std::vector<UdpResponder::Reply> {{delay, answer}} : std::vector<UdpResponder::Reply> {};
    });
    ASSERT_TRUE(printer.ok());
    ProcessResult r = levelwatch("socket://127.0.0.3");
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_EQ(r.out, "");
    EXPECT_GE(printer.requestCount(), 3u) << "three copies of the request leave before the wait";

    delay = 0;
    r = levelwatch("socket://127.0.0.3");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, expectedReport(block));
}

TEST_F(LevelwatchTest, DnssdQueueResolvedThroughAvahi)
{
    PrivateAvahi avahi;
    ASSERT_TRUE(avahi.ok());
    auto block = statusBlock(70, 60, 50, 40);
    SnmpdConfig config;
    config.listen = {"udp:127.0.0.2:161"};
    config.deviceId = deviceIdWithStatus(block);
    Snmpd agent(config);
    ASSERT_TRUE(agent.ok()) << agent.log();
    ASSERT_TRUE(avahi.publishPrinter("Office Colour", "127.0.0.2"));
    ASSERT_TRUE(cupsd_->addQueue("Discovered", "dnssd://Office%20Colour._printer._tcp.local./?uuid=1234"));
    ASSERT_TRUE(cupsd_->addQueue("Gone", "dnssd://Nobody%20Here._printer._tcp.local./"));

    ProcessResult r = levelwatch("Discovered", avahi.env());
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, expectedReport(block));

    r = levelwatch("Gone", avahi.env());
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_GE(r.seconds, 2.5) << "the resolution waits its whole window";
    EXPECT_LT(r.seconds, 10.0) << "and no longer";
}

// A filter that prints its line and then hangs, and one that never prints:
// the first line is reported, and either filter is killed at its bound and
// reaped, never left running.
TEST_F(LevelwatchTest, UsbFilterThatHangsIsKilledAtItsBound)
{
    auto block = statusBlock(10, 20, 30, 40);
    ASSERT_TRUE(cupsd_->addQueue("HangingUsb", "usb://Test/Colour"));
    const std::string marker = scratch_.file("hanging-filter"); // sleep(1) by a name of its own
    ASSERT_EQ(runProcess({"cp", "/bin/sleep", marker}).exitStatus, 0);
    for (const bool prints : {true, false}) {
        scratch_.write("filter-line", deviceIdWithStatus(block) + "\n");
        std::ofstream(cupsd_->serverBin() + "/filter/cablegauge")
            << "#!/bin/sh\n" << (prints ? "cat '" + scratch_.file("filter-line") + "'\n" : "")
            << "exec '" << marker << "' 600\n";
        chmod((cupsd_->serverBin() + "/filter/cablegauge").c_str(), 0755);
        ProcessResult r = levelwatch("HangingUsb", {}, 60000);
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitStatus, prints ? 0 : 255);
        EXPECT_EQ(r.out, prints ? expectedReport(block) : "");
        EXPECT_EQ(runProcess({"pgrep", "-f", marker}).out, "") << "the filter outlived levelwatch";
    }
}
