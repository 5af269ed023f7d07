// Wall time of one run of the Prometheus collector, as the timer's service
// runs it: levelwatch-discover --levels --format prometheus --hosts-file FILE
// over a namespace network of 2 links with 10 agents (5 on each, SNMP v1 and
// SNMPv3, each with its toner levels) and 5 addresses that do not answer, all
// 15 given by the hosts file. Then the same file served by Debian's
// prometheus-node-exporter: the wall time of a scrape of /metrics. Each runs
// N times (default 5; first argument); medians are printed, with the series
// the file holds.
//
// Runs in a private network namespace (root), like the peer tests.
#include "AgentNetwork.h"
#include "Peers.h"
#include "SnmpTestData.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace lwtest;

namespace {

constexpr int kExporterPort = 19101;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

size_t count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// GET /metrics from the exporter: the body, or "" on failure.
std::string scrape()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(kExporterPort);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string reply;
    if (fd != -1 && connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
        const std::string request = "GET /metrics HTTP/1.0\r\nHost: localhost\r\n\r\n";
        if (write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
            char buffer[65536];
            for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
                reply.append(buffer, static_cast<size_t>(n));
        }
    }
    if (fd != -1)
        close(fd);
    const size_t body = reply.find("\r\n\r\n");
    return body == std::string::npos ? "" : reply.substr(body + 4);
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (!enterPrivateNetwork()) {
        std::fprintf(stderr, "exporter_timing: cannot enter a private network namespace: %s\n",
                     privateNetworkError().c_str());
        return 1;
    }
    AgentNetwork net(2);
    std::string hosts = "# 10 printers and 5 addresses that do not answer\n";
    for (int i = 0; i < 10 && net.ok(); ++i) {
        Agent a;
        a.name = "fleet" + std::to_string(i);
        a.link = i % 2;
        a.ipv4 = AgentNetwork::subnet(a.link) + "." + std::to_string(11 + i);
        a.ipv6 = "fe80::" + std::to_string(11 + i);
        a.firmware = "V1.0";
        a.mcuFirmware = "M1.0";
        a.deviceId = deviceIdWithStatus(statusBlock(static_cast<unsigned char>(10 * i), 50, 60, 70));
        if (!net.add(a)) {
            std::fprintf(stderr, "exporter_timing: %s\n", net.error().c_str());
            return 1;
        }
        hosts += a.ipv4 + "\n";
    }
    for (int i = 0; i < 5; ++i)
        hosts += AgentNetwork::subnet(i % 2) + "." + std::to_string(200 + i) + "\n";
    TempDir dir;
    const std::string hostsFile = dir.write("printers", hosts);

    std::vector<double> seconds;
    std::string text;
    int status = -1;
    for (int r = 0; r < runs; ++r) {
        ProcessResult p = runProcess({LEVELWATCH_DISCOVER_BIN, "--levels", "--format", "prometheus", "--hosts-file",
                                      hostsFile},
                                     {}, 120000);
        seconds.push_back(p.seconds);
        text = p.out;
        status = p.exitStatus;
    }
    std::printf("The collector's run over 2 links: 10 printers and 5 silent addresses from --hosts-file, median of %d "
                "(goal: under 3 s)\n\n",
                runs);
    size_t up = 0, down = 0;
    for (size_t at = 0; (at = text.find("\nlevelwatch_printer_up{", at)) != std::string::npos; ++at) {
        const size_t end = text.find('\n', at + 1);
        (text.compare(end - 2, 2, " 1") == 0 ? up : down) += 1;
    }
    std::printf("  seconds  exit  printers up  addresses down  toner samples\n");
    std::printf("  %7.2f  %4d  %11zu  %14zu  %13zu\n\n", median(seconds), status, up, down,
                count(text, "\nlevelwatch_toner_level_ratio{"));

    dir.write("levelwatch.prom", text);
    ChildProcess exporter;
    if (!exporter.start({"prometheus-node-exporter", "--web.listen-address=127.0.0.1:" + std::to_string(kExporterPort),
                         "--collector.disable-defaults", "--collector.textfile",
                         "--collector.textfile.directory=" + dir.path()},
                        {}, "", dir.file("exporter.log"))
        || !waitForTcp("127.0.0.1", kExporterPort)) {
        std::fprintf(stderr, "exporter_timing: prometheus-node-exporter did not start\n");
        return 1;
    }
    std::vector<double> scrapes;
    std::string metrics;
    for (int r = 0; r < runs; ++r) {
        const auto start = std::chrono::steady_clock::now();
        metrics = scrape();
        scrapes.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::printf("node_exporter's scrape of the file: %.1f ms (median of %d), node_textfile_scrape_error %s\n",
                median(scrapes) * 1000, runs,
                metrics.find("\nnode_textfile_scrape_error 0\n") != std::string::npos ? "0" : "not 0");
    return 0;
}
