// The printers' toner levels in the monitoring systems a site runs, with
// real peers: Debian's prometheus-node-exporter serving the file that
// levelwatch-discover writes (scraped over HTTP, as Prometheus does), and
// check_levelwatch as Icinga or Nagios run it, against agents in network
// namespaces.
#include "AgentNetwork.h"
#include "Peers.h"
#include "SnmpTestData.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/macros.h>
#include <libavutil/version.h>
}

#include <arpa/inet.h>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <link.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace lwtest;

namespace {

constexpr int kExporterPort = 19100;

Agent agent(const std::string& name, const std::string& ipv4, const std::vector<unsigned char>& block)
{
    Agent a;
    a.name = name;
    a.ipv4 = ipv4;
    a.ipv6 = "fe80::" + ipv4.substr(ipv4.rfind('.') + 1);
    a.sysName = name;
    a.firmware = "V1.07.3";
    a.mcuFirmware = "M2.11";
    a.deviceId = deviceIdWithStatus(block);
    return a;
}

// GET /metrics from the exporter, as Prometheus scrapes it; the body.
std::string scrape()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kExporterPort);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string response;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
        const std::string request = "GET /metrics HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
        if (::write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
            char buf[65536];
            for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
                response.append(buf, static_cast<size_t>(n));
        }
    }
    ::close(fd);
    const size_t body = response.find("\r\n\r\n");
    return response.rfind("HTTP/1.0 200", 0) == 0 && body != std::string::npos ? response.substr(body + 4) : "";
}

class Monitoring : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!inPrivateNetwork())
            return;
        net_ = new AgentNetwork(1);
        ok_ = agent("front-office", "192.0.2.11", statusBlock(55, 100, 40, 80));
        // Names are the printer's bytes: a quote, a backslash and a byte
        // that is not UTF-8 must still give a valid file.
        ok_.sysName = "Caf\xE9 \"Nord\" \\2";
        Agent v3Only = agent("low-cyan", "192.0.2.12", statusBlock(55, 12, 80, 100));
        v3Only.v1 = false;
        Agent critical = agent("empty-black", "192.0.2.13", statusBlock(0, 50, 4, 50));
        Agent unknown = agent("unknown-magenta", "192.0.2.14", statusBlock(50, 50, 0x80 | 120, 50));
        Agent silent;
        silent.name = "silent";
        silent.ipv4 = "192.0.2.15";
        silent.ipv6 = "fe80::15";
        silent.silent = true;
        for (const Agent& a : {ok_, v3Only, critical, unknown, silent})
            if (net_->ok() && !net_->add(a))
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

    static ProcessResult check(const std::vector<std::string>& args, const Env& env = {})
    {
        std::vector<std::string> argv = {CHECK_LEVELWATCH_BIN};
        argv.insert(argv.end(), args.begin(), args.end());
        return runProcess(argv, env, 30000);
    }

    static AgentNetwork* net_;
    static Agent ok_;
};

AgentNetwork* Monitoring::net_ = nullptr;
Agent Monitoring::ok_;

// levelwatch-discover's file in node_exporter's textfile directory, the way
// the timer's service writes it (another name first, then renamed).
ProcessResult writeTextfile(const TempDir& dir, const std::vector<std::string>& args)
{
    std::vector<std::string> argv = {LEVELWATCH_DISCOVER_BIN, "--levels", "--format", "prometheus"};
    argv.insert(argv.end(), args.begin(), args.end());
    ProcessResult r = runProcess(argv, {}, 60000);
    dir.write("levelwatch.prom.tmp", r.out);
    std::rename(dir.file("levelwatch.prom.tmp").c_str(), dir.file("levelwatch.prom").c_str());
    return r;
}

TEST_F(Monitoring, NodeExporterServesEveryPrinterAndTheNextFileFollowsTheAgent)
{
    TempDir textfiles;
    ChildProcess exporter;
    ASSERT_TRUE(exporter.start({"prometheus-node-exporter", "--web.listen-address=127.0.0.1:" + std::to_string(kExporterPort),
                                "--collector.disable-defaults", "--collector.textfile",
                                "--collector.textfile.directory=" + textfiles.path()},
                               {}, "", textfiles.file("exporter.log")))
        << "prometheus-node-exporter (Debian's package) must be installed";
    ASSERT_TRUE(waitForTcp("127.0.0.1", kExporterPort)) << textfiles.file("exporter.log");

    // As the timer's service asks: the printers of a hosts file, one of
    // them silent.
    const std::string hosts = textfiles.write("printers.list", "# the fleet\n192.0.2.11\n192.0.2.12\n192.0.2.13\n"
                                                               "192.0.2.14\n192.0.2.15   # switched off\n");
    ProcessResult r = writeTextfile(textfiles, {"--hosts-file", hosts});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    std::string metrics = scrape();
    const auto has = [&](const std::string& line) {
        EXPECT_NE(metrics.find("\n" + line + "\n"), std::string::npos) << line << "\n" << metrics;
    };
    // node_exporter writes the labels in alphabetical order.
    has("node_textfile_scrape_error 0");
    const std::string front = "address=\"192.0.2.11\",color=\"black\",name=\"Caf\xC3\xA9 \\\"Nord\\\" \\\\2\"";
    has("levelwatch_toner_level_ratio{" + front + "} 0.55");
    has("levelwatch_printer_info{address=\"192.0.2.11\",firmware=\"V1.07.3\",mcu_firmware=\"M2.11\","
        "name=\"Caf\xC3\xA9 \\\"Nord\\\" \\\\2\",snmp=\"v1\"} 1");
    has("levelwatch_toner_level_ratio{address=\"192.0.2.12\",color=\"cyan\",name=\"low-cyan\"} 0.12");
    has("levelwatch_printer_info{address=\"192.0.2.12\",firmware=\"V1.07.3\",mcu_firmware=\"M2.11\","
        "name=\"low-cyan\",snmp=\"v3\"} 1");
    has("levelwatch_toner_low{address=\"192.0.2.13\",color=\"magenta\",name=\"empty-black\"} 1");
    has("levelwatch_toner_low{address=\"192.0.2.13\",color=\"cyan\",name=\"empty-black\"} 0");
    has("levelwatch_toner_empty{address=\"192.0.2.13\",color=\"black\",name=\"empty-black\"} 1");
    has("levelwatch_toner_empty{address=\"192.0.2.13\",color=\"magenta\",name=\"empty-black\"} 0");
    has("levelwatch_printer_up{address=\"192.0.2.14\"} 1");
    has("levelwatch_toner_level_ratio{address=\"192.0.2.14\",color=\"yellow\",name=\"unknown-magenta\"} 0.5");
    EXPECT_EQ(metrics.find("color=\"magenta\",name=\"unknown-magenta\""), std::string::npos) << "no guess";
    EXPECT_NE(metrics.find("\nlevelwatch_scan_duration_seconds "), std::string::npos);
    has("levelwatch_printer_up{address=\"192.0.2.15\"} 0");

    // The toner was used: the next file says so. (The agent is put back for
    // the other tests, whatever happens here.)
    struct PutBack {
        ~PutBack() { net_->restart(ok_); }
    } putBack;
    Agent used = ok_;
    used.deviceId = deviceIdWithStatus(statusBlock(54, 100, 40, 80));
    ASSERT_TRUE(net_->restart(used)) << net_->error();
    r = writeTextfile(textfiles, {"--host", "192.0.2.11"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    metrics = scrape();
    has("node_textfile_scrape_error 0");
    has("levelwatch_toner_level_ratio{" + front + "} 0.54");

    // An asked address that does not answer.
    r = writeTextfile(textfiles, {"--host", "192.0.2.15"});
    EXPECT_EQ(r.exitStatus, 1);
    metrics = scrape();
    has("node_textfile_scrape_error 0");
    has("levelwatch_printer_up{address=\"192.0.2.15\"} 0");
    EXPECT_EQ(metrics.find("levelwatch_toner_level_ratio{"), std::string::npos);
}

TEST_F(Monitoring, LevelwatchWritesTheSameForOnePrinter)
{
    ProcessResult r = runProcess({LEVELWATCH_BIN, "--format", "prometheus", "socket://192.0.2.13"});
    EXPECT_EQ(r.exitStatus, 0);
    for (const char* line :
         {"levelwatch_printer_up{address=\"192.0.2.13\"} 1\n",
          "levelwatch_printer_info{address=\"192.0.2.13\",name=\"empty-black\",firmware=\"V1.07.3\","
          "mcu_firmware=\"M2.11\",snmp=\"v1\"} 1\n",
          "levelwatch_toner_level_ratio{address=\"192.0.2.13\",name=\"empty-black\",color=\"magenta\"} 0.04\n",
          "levelwatch_toner_empty{address=\"192.0.2.13\",name=\"empty-black\",color=\"black\"} 1\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;

    r = runProcess({LEVELWATCH_BIN, "--format=prometheus", "socket://192.0.2.15"});
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_NE(r.out.find("\nlevelwatch_printer_up{address=\"192.0.2.15\"} 0\n"), std::string::npos) << r.out;
    r = runProcess({LEVELWATCH_BIN, "--format", "xml", "socket://192.0.2.13"});
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_EQ(r.out, "");
}

TEST_F(Monitoring, CheckStatesExitStatusesAndPerformanceData)
{
    const auto perf = [](int k, int c, int m, int y, const std::string& ranges = ";20:;5:;0;100") {
        return " | 'black'=" + std::to_string(k) + "%" + ranges + " 'cyan'=" + std::to_string(c) + "%" + ranges
               + " 'magenta'=" + std::to_string(m) + "%" + ranges + " 'yellow'=" + std::to_string(y) + "%" + ranges
               + "\n";
    };
    ProcessResult r = check({"-H", "192.0.2.11"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, "TONER OK - black 55%, cyan 100%, magenta 40%, yellow 80%" + perf(55, 100, 40, 80));
    r = check({"-H", "192.0.2.12"}); // over SNMPv3
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.out, "TONER WARNING - black 55%, cyan 12%, magenta 80%, yellow 100%" + perf(55, 12, 80, 100));
    r = check({"-H", "192.0.2.13"});
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_EQ(r.out, "TONER CRITICAL - black 0%, cyan 50%, magenta 4%, yellow 50%" + perf(0, 50, 4, 50));
    r = check({"--hostname=192.0.2.11", "--warning=60:", "--critical=@0:40"});
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_EQ(r.out, "TONER CRITICAL - black 55%, cyan 100%, magenta 40%, yellow 80%"
                         + perf(55, 100, 40, 80, ";60:;@0:40;0;100"));

    r = check({"-H", "192.0.2.14"});
    EXPECT_EQ(r.exitStatus, 3);
    EXPECT_EQ(r.out, "TONER UNKNOWN - black 50%, cyan 50%, magenta unknown, yellow 50% | 'black'=50%;20:;5:;0;100 "
                     "'cyan'=50%;20:;5:;0;100 'magenta'=U;20:;5:;0;100 'yellow'=50%;20:;5:;0;100\n");
    r = check({"-H", "192.0.2.15"});
    EXPECT_EQ(r.exitStatus, 3);
    EXPECT_EQ(r.out, "TONER UNKNOWN - no answer from 192.0.2.15 over SNMP v1 or SNMPv3\n");
    r = check({"-H", "192.0.2.12", "-t", "1"}); // SNMPv3 takes about 2 s
    EXPECT_EQ(r.exitStatus, 3);
    EXPECT_EQ(r.out, "TONER UNKNOWN - no answer within 1 s\n");
    EXPECT_LT(r.seconds, 1.9);

    // By queue, through the scheduler.
    PrivateCupsd cupsd;
    ASSERT_TRUE(cupsd.ok() && cupsd.addQueue("Front", "socket://192.0.2.11")) << cupsd.errorLog();
    r = check({"-Q", "Front"}, cupsd.env());
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out.rfind("TONER OK - black 55%", 0), 0u) << r.out;
    r = check({"-Q", "NoSuchQueue"}, cupsd.env());
    EXPECT_EQ(r.exitStatus, 3);
    EXPECT_EQ(r.out, "TONER UNKNOWN - NoSuchQueue: the queue has no device URI\n");

    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"-H", "192.0.2.11", "-Q", "Front"}, {"-H", "192.0.2.11", "-w", "20:10"}, {"-H"}, {"-x"}}) {
        r = check(args);
        EXPECT_EQ(r.exitStatus, 3);
        EXPECT_NE(r.out.find("Usage: check_levelwatch"), std::string::npos) << r.out;
    }
}

// Without libavutil (here: its file hidden in a mount namespace of the
// check's own), SNMPv3 privacy fails with the reason, and SNMP v1 never
// needed it.
TEST_F(Monitoring, WithoutLibavutilSnmpV3SaysWhyAndV1StillWorks)
{
    const char* soname = "libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR);
    void* lib = dlopen(soname, RTLD_LAZY);
    link_map* map = nullptr;
    ASSERT_TRUE(lib && dlinfo(lib, RTLD_DI_LINKMAP, &map) == 0 && map) << dlerror();
    char file[PATH_MAX];
    ASSERT_TRUE(realpath(map->l_name, file));
    dlclose(lib);
    const auto hidden = [&](const std::string& host) {
        return runProcess({"unshare", "-m", "--propagation", "private", "sh", "-c", "mount --bind /dev/null \"$0\" && exec \"$@\"",
                           file, CHECK_LEVELWATCH_BIN, "-H", host},
                          {}, 30000);
    };
    ProcessResult r = hidden("192.0.2.12");
    EXPECT_EQ(r.exitStatus, 3);
    EXPECT_EQ(r.out.rfind(std::string("TONER UNKNOWN - SNMPv3 privacy (DES) needs ") + soname
                              + " (FFmpeg's libavutil), which cannot be loaded: ",
                          0),
              0u)
        << r.out << r.err;
    r = hidden("192.0.2.11");
    EXPECT_EQ(r.exitStatus, 0) << r.out << r.err;
}

} // namespace
