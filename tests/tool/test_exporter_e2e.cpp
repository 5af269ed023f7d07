// levelwatch-exporter with real peers: Debian's Prometheus scraping it for
// three printers (snmpd agents in network namespaces) and a silent address,
// read back through Prometheus's query API; then what the exporter refuses,
// every bad form of query, a flood of connections and the scrape timeout.
#include "AgentNetwork.h"
#include "Peers.h"
#include "SnmpTestData.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <regex>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace lwtest;

namespace {

constexpr int kExporterPort = 19934;
constexpr int kPrometheusPort = 19090;
constexpr long kMaxConnections = 1024; // the exporter's bound (Server.h)

int connectTo(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Sends the bytes and reads the whole answer (the server closes: HTTP/1.0),
// giving up after timeoutMs of silence.
std::string exchange(int fd, const std::string& request, int timeoutMs = 20000)
{
    std::string response;
    if (fd < 0 || ::write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size())) {
        if (fd >= 0)
            ::close(fd);
        return response;
    }
    char buf[65536];
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, timeoutMs) == 1) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        response.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return response;
}

std::string get(int port, const std::string& target, const std::string& headers = "")
{
    return exchange(connectTo(port), "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n" + headers + "\r\n");
}

int status(const std::string& response)
{
    return response.size() > 12 && response.rfind("HTTP/1.", 0) == 0 ? std::atoi(response.c_str() + 9) : 0;
}

std::string encode(const std::string& text)
{
    std::string out;
    for (const unsigned char c : text) {
        if (std::isalnum(c) || c == '_' || c == '.') {
            out += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

// The value of an instant query that gives one sample; "" while it gives none.
std::string queryValue(const std::string& promql)
{
    const std::string body = get(kPrometheusPort, "/api/v1/query?query=" + encode(promql));
    std::smatch m;
    static const std::regex kValue(R"re("value":\[[0-9.]+,"([^"]*)"\])re");
    return std::regex_search(body, m, kValue) ? m[1].str() : "";
}

// Waits (Prometheus scrapes every second) until the query gives `expected`;
// the last value otherwise.
std::string waitForValue(const std::string& promql, const std::string& expected, int seconds = 40)
{
    std::string value;
    for (int i = 0; i < seconds * 4; ++i) {
        value = queryValue(promql);
        if (value == expected)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    return value;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

Agent printer(const std::string& name, const std::string& ipv4, const std::vector<unsigned char>& block)
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

class Exporter : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!inPrivateNetwork())
            return;
        rlimit files{4096, 4096};
        ::setrlimit(RLIMIT_NOFILE, &files);
        net_ = new AgentNetwork(1);
        first_ = printer("front-office", "192.0.2.21", statusBlock(55, 100, 40, 80));
        Agent v3Only = printer("back-office", "192.0.2.22", statusBlock(5, 60, 70, 0));
        v3Only.v1 = false;
        Agent third = printer("store", "192.0.2.23", statusBlock(90, 91, 92, 93));
        Agent silent;
        silent.name = "silent";
        silent.ipv4 = "192.0.2.24";
        silent.ipv6 = "fe80::24";
        silent.silent = true;
        for (const Agent& a : {first_, v3Only, third, silent})
            if (net_->ok() && !net_->add(a))
                break;
        dir_ = new TempDir;
        exporter_ = new ChildProcess;
        exporter_->start({LEVELWATCH_EXPORTER_BIN, "--web.listen-address=127.0.0.1:" + std::to_string(kExporterPort),
                          "--allow=192.0.2.0/24", "--allow=2001:db8::1", "--allow=fe80::/10"},
                         {}, "", dir_->file("exporter.log"));
        waitForTcp("127.0.0.1", kExporterPort);
    }
    static void TearDownTestSuite()
    {
        delete exporter_;
        delete dir_;
        delete net_;
        exporter_ = nullptr;
        dir_ = nullptr;
        net_ = nullptr;
    }
    void SetUp() override
    {
        if (!inPrivateNetwork())
            GTEST_SKIP() << "needs a private network namespace";
        ASSERT_TRUE(net_->ok() && net_->error().empty()) << net_->error();
        ASSERT_TRUE(exporter_->running()) << dir_->file("exporter.log");
    }

    static AgentNetwork* net_;
    static TempDir* dir_;
    static ChildProcess* exporter_;
    static Agent first_;
};

AgentNetwork* Exporter::net_ = nullptr;
TempDir* Exporter::dir_ = nullptr;
ChildProcess* Exporter::exporter_ = nullptr;
Agent Exporter::first_;

TEST_F(Exporter, PrometheusScrapesEveryPrinterAndTheNextScrapeFollowsTheAgent)
{
    // The shipped scrape configuration and rules, made quick (a scrape a
    // second) and pointed at this exporter and a targets file of the test.
    TempDir prom;
    prom.write("printers.yml", "- targets: [192.0.2.21, 192.0.2.22, '192.0.2.23:161', 192.0.2.24]\n");
    std::string config = readFile(LEVELWATCH_SOURCE_DIR "/packaging/prometheus/levelwatch-exporter.yml");
    ASSERT_FALSE(config.empty());
    for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
             {"scrape_interval: 1m", "scrape_interval: 1s"},
             {"scrape_timeout: 10s", "scrape_timeout: 1s"},
             {"evaluation_interval: 1m", "evaluation_interval: 1s"},
             {"/etc/prometheus/levelwatch/*.yml", prom.file("printers.yml")},
             {"/usr/share/levelwatch/prometheus/", LEVELWATCH_SOURCE_DIR "/packaging/prometheus/"},
             {"localhost:9934", "127.0.0.1:" + std::to_string(kExporterPort)}})
        for (size_t at; (at = config.find(from)) != std::string::npos;)
            config.replace(at, from.size(), to);
    config = prom.write("prometheus.yml", config);
    ChildProcess prometheus;
    ASSERT_TRUE(prometheus.start({"prometheus", "--config.file=" + config, "--storage.tsdb.path=" + prom.file("data"),
                                  "--web.listen-address=127.0.0.1:" + std::to_string(kPrometheusPort)},
                                 {}, "", prom.file("prometheus.log")))
        << "Debian's prometheus must be installed";
    ASSERT_TRUE(waitForTcp("127.0.0.1", kPrometheusPort, 30000)) << prom.file("prometheus.log");

    EXPECT_EQ(waitForValue(R"(levelwatch_toner_level_ratio{instance="192.0.2.21",color="black"})", "0.55"), "0.55");
    EXPECT_EQ(waitForValue(R"(levelwatch_toner_level_ratio{instance="192.0.2.22",color="cyan"})", "0.6"), "0.6");
    EXPECT_EQ(waitForValue(R"(levelwatch_toner_empty{instance="192.0.2.22",color="yellow"})", "1"), "1");
    EXPECT_EQ(waitForValue(R"(levelwatch_toner_low{instance="192.0.2.22",color="black"})", "1"), "1");
    EXPECT_EQ(waitForValue(R"(levelwatch_toner_level_ratio{instance="192.0.2.23:161",color="yellow"})", "0.93"),
              "0.93");
    EXPECT_EQ(waitForValue(R"(count(levelwatch_printer_info{name="back-office",snmp="v3"}))", "1"), "1");
    // The silent printer: its scrape succeeds and says so.
    EXPECT_EQ(waitForValue(R"(levelwatch_printer_up{instance="192.0.2.24"})", "0"), "0");
    EXPECT_EQ(waitForValue(R"(up{instance="192.0.2.24"})", "1"), "1");
    EXPECT_EQ(waitForValue(R"(up{job="levelwatch-exporter"})", "1"), "1");
    EXPECT_EQ(waitForValue(R"(count(up{job="levelwatch"} == 1))", "4"), "4");
    EXPECT_EQ(waitForValue(R"(clamp_max(levelwatch_exporter_probes_total{outcome="answered"}, 1))", "1"), "1");

    // The toner was used: the next scrape says so.
    struct PutBack {
        ~PutBack() { net_->restart(first_); }
    } putBack;
    Agent used = first_;
    used.deviceId = deviceIdWithStatus(statusBlock(54, 100, 40, 80));
    ASSERT_TRUE(net_->restart(used)) << net_->error();
    EXPECT_EQ(waitForValue(R"(levelwatch_toner_level_ratio{instance="192.0.2.21",color="black"})", "0.54"), "0.54");
    prometheus.stop();
}

TEST_F(Exporter, RefusesTargetsOutsideTheAllowedNetworksAndEveryBadQuery)
{
    // Not allowed: another network, a name whose addresses are not all
    // allowed, multicast; and, with no --allow at all, everything.
    EXPECT_EQ(status(get(kExporterPort, "/probe?target=198.51.100.7")), 403);
    EXPECT_EQ(status(get(kExporterPort, "/probe?target=[2001:db8::2]:161")), 403);
    EXPECT_EQ(status(get(kExporterPort, "/probe?target=localhost")), 403);
    EXPECT_EQ(status(get(kExporterPort, "/probe?target=%3A%3Affff%3A198.51.100.7")), 403);
    EXPECT_EQ(status(get(kExporterPort, "/probe?target=224.0.0.1")), 403);
    {
        ChildProcess closed;
        ASSERT_TRUE(closed.start({LEVELWATCH_EXPORTER_BIN, "--web.listen-address=[::1]:19935"}));
        ASSERT_TRUE(waitForTcp("::1", 19935));
        const int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in6 to{};
        to.sin6_family = AF_INET6;
        to.sin6_port = htons(19935);
        to.sin6_addr = in6addr_loopback;
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
        EXPECT_EQ(status(exchange(fd, "GET /probe?target=192.0.2.21 HTTP/1.0\r\n\r\n")), 403);
    }

    // Allowed: the first printer by its link-local address, zone and port.
    const std::string linkLocal = get(kExporterPort, "/probe?target=%5Bfe80::21%2525lwbr0%5D:161");
    EXPECT_NE(linkLocal.find("levelwatch_printer_up{address=\"[fe80::21%25lwbr0]:161\"} 1\n"), std::string::npos)
        << linkLocal;

    for (const char* query : {"", "?", "?target", "?target=", "?target=192.0.2.21&target=192.0.2.22",
                              "?target=192.0.2.21:0", "?target=192.0.2.21:65536", "?target=192.0.2.21:+161",
                              "?target=192.0.2.21:", "?target=[2001:db8::1", "?target=[2001:db8::1]x",
                              "?target=2001:db8::1]:161", "?target=[192.0.2.21]", "?target=192.0.2.21%00x",
                              "?target=bad%20name", "?target=-x.example", "?target=a..b", "?target=%zz",
                              "?target=fe80::1%25nosuchif0", "?target=192.0.2.256"}) {
        const std::string response = get(kExporterPort, std::string("/probe") + query);
        EXPECT_EQ(status(response), 400) << query << "\n" << response;
    }
    EXPECT_EQ(status(get(kExporterPort, "/probe?target=" + std::string(300, 'a'))), 400);
    EXPECT_EQ(status(get(kExporterPort, "/probe?target=192.0.2.21&pad=" + std::string(1100, 'a'))), 400);
    EXPECT_EQ(status(get(kExporterPort, "/probe?target=192.0.2.24", "X-Prometheus-Scrape-Timeout-Seconds: -1\r\n")),
              400);
    EXPECT_EQ(status(get(kExporterPort, "/probe?target=192.0.2.24", "X-Prometheus-Scrape-Timeout-Seconds: 1e9\r\n")),
              400);
    EXPECT_EQ(status(exchange(connectTo(kExporterPort), "POST /probe?target=192.0.2.21 HTTP/1.0\r\n\r\n")), 405);
    EXPECT_EQ(status(exchange(connectTo(kExporterPort), "GET /probe?target=192.0.2.21 HTTP/1.0\r\n"
                                                        "Content-Length: 3\r\n\r\nabc")), 400);
    EXPECT_EQ(status(get(kExporterPort, "/nothing")), 404);
    const std::string nonsense = exchange(connectTo(kExporterPort), "NONSENSE\r\n\r\n");
    EXPECT_TRUE(nonsense.empty() || status(nonsense) == 400) << nonsense;
    EXPECT_GE(status(get(kExporterPort, "/", "X-Pad: " + std::string(20000, 'a') + "\r\n")), 400);

    // It still works, and counted all of it.
    const std::string metrics = get(kExporterPort, "/metrics");
    EXPECT_EQ(status(metrics), 200);
    EXPECT_NE(metrics.find("levelwatch_exporter_refused_requests_total{reason=\"forbidden\"} 5\n"), std::string::npos)
        << metrics;
    EXPECT_NE(metrics.find("levelwatch_exporter_refused_requests_total{reason=\"method\"} 1\n"), std::string::npos);
    const std::string index = get(kExporterPort, "/");
    EXPECT_NE(index.find("href=\"metrics\""), std::string::npos) << index;
    EXPECT_NE(index.find("href=\"probe?target=\""), std::string::npos);
}

TEST_F(Exporter, AFloodOfConnectionsIsRefusedAndASilentPrinterAnswersWithinTheScrapeTimeout)
{
    // A client that trickles its request, a byte a second, is cut off when
    // the request is not whole in time (each byte would keep an idle timer
    // alive).
    const int slow = connectTo(kExporterPort);
    ASSERT_GE(slow, 0);
    std::thread trickle([slow] {
        const std::string request = "GET /metrics HTTP/1.0\r\nX-Pad: " + std::string(40, 'a') + "\r\n\r\n";
        for (const char c : request) {
            if (::send(slow, &c, 1, MSG_NOSIGNAL) != 1)
                break;
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
    });

    std::vector<int> flood;
    for (long i = 0; i < kMaxConnections; ++i) {
        const int fd = connectTo(kExporterPort);
        if (fd >= 0)
            flood.push_back(fd);
    }
    // The exporter has them all: the next request is told to come back.
    std::string refused;
    for (int attempt = 0; attempt < 50 && status(refused) != 503; ++attempt)
        refused = get(kExporterPort, "/metrics");
    EXPECT_EQ(status(refused), 503) << refused;
    EXPECT_NE(refused.find("Retry-After: 1"), std::string::npos) << refused;
    // Beyond the headroom a connection is closed at once.
    for (int i = 0; i < 80; ++i)
        if (const int fd = connectTo(kExporterPort); fd >= 0)
            flood.push_back(fd);
    for (const int fd : flood)
        ::close(fd);
    std::string answer;
    for (int attempt = 0; attempt < 50 && status(answer) != 200; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        answer = get(kExporterPort, "/metrics");
    }
    EXPECT_EQ(status(answer), 200);

    // Prometheus gives 1.5 s: the silent printer's answer comes with the
    // margin to spare.
    const std::string probe =
        get(kExporterPort, "/probe?target=192.0.2.24", "X-Prometheus-Scrape-Timeout-Seconds: 1.5\r\n");
    EXPECT_EQ(status(probe), 200) << probe;
    EXPECT_NE(probe.find("\nlevelwatch_printer_up{address=\"192.0.2.24\"} 0\n"), std::string::npos) << probe;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(probe, m, std::regex("\nlevelwatch_probe_duration_seconds ([0-9.]+)\n")));
    EXPECT_LE(std::stod(m[1].str()), 1.0 + 0.05);

    trickle.join(); // ends when a send fails: the exporter closed the connection
    char byte;
    pollfd p{slow, POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 0), 1);
    EXPECT_LE(::read(slow, &byte, 1), 0) << "the slow client got an answer";
    ::close(slow);
}

} // namespace
