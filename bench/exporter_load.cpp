// levelwatch-exporter measured against agents in network namespaces: the
// latency of one probe of an SNMP v1 and of an SNMPv3 printer (goal: under
// 50 ms each); the probes per second it answers over 1,000 targets (500 v1,
// 500 SNMPv3 addresses served by two agents), with its CPU time and memory;
// then 30 s of load: 200 clients probing at once, plus slow clients that
// trickle their requests and clients that send garbage. Every good probe must
// be answered 200 or 503; the exporter's peak memory and survival are told.
//
// Runs in a private network namespace (root), like the peer tests. Argument:
// seconds of load (default 30).
#include "AgentNetwork.h"
#include "Peers.h"
#include "SnmpTestData.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace lwtest;

namespace {

constexpr int kPort = 19940;
using Clock = std::chrono::steady_clock;

double since(Clock::time_point t)
{
    return std::chrono::duration<double>(Clock::now() - t).count();
}

int connectExporter()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kPort);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The status of GET path (0: no answer).
int probe(const std::string& target, std::string* body = nullptr)
{
    const int fd = connectExporter();
    if (fd < 0)
        return 0;
    const std::string request = "GET /probe?target=" + target
                                + " HTTP/1.0\r\nX-Prometheus-Scrape-Timeout-Seconds: 3\r\n\r\n";
    std::string reply;
    if (::write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
        char buf[8192];
        pollfd p{fd, POLLIN, 0};
        while (::poll(&p, 1, 10000) == 1) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0)
                break;
            reply.append(buf, static_cast<size_t>(n));
        }
    }
    ::close(fd);
    if (body != nullptr)
        *body = reply;
    return reply.rfind("HTTP/1.", 0) == 0 && reply.size() > 12 ? std::atoi(reply.c_str() + 9) : 0;
}

struct Usage {
    double cpuSeconds = 0;
    long rssKiB = 0, peakKiB = 0;
    long threads = 0;
};

Usage usageOf(pid_t pid)
{
    Usage u;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string s((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t close = s.rfind(')');
    if (close != std::string::npos) {
        std::istringstream rest(s.substr(close + 2));
        std::string field;
        std::vector<std::string> f;
        while (rest >> field)
            f.push_back(field);
        if (f.size() > 13)
            u.cpuSeconds = (std::atof(f[11].c_str()) + std::atof(f[12].c_str())) / static_cast<double>(sysconf(_SC_CLK_TCK));
    }
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            u.rssKiB = std::atol(line.c_str() + 6);
        else if (line.rfind("VmHWM:", 0) == 0)
            u.peakKiB = std::atol(line.c_str() + 6);
        else if (line.rfind("Threads:", 0) == 0)
            u.threads = std::atol(line.c_str() + 8);
    }
    return u;
}

double percentile(std::vector<double> v, double q)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(q * static_cast<double>(v.size())))];
}

} // namespace

int main(int argc, char** argv)
{
    const int loadSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    if (!enterPrivateNetwork()) {
        std::fprintf(stderr, "exporter_load: %s\n", privateNetworkError().c_str());
        return 1;
    }
    rlimit files{16384, 16384};
    ::setrlimit(RLIMIT_NOFILE, &files);
    AgentNetwork net(1);
    Agent v1;
    v1.name = "load-v1";
    v1.ipv4 = "192.0.2.11";
    v1.ipv6 = "fe80::11";
    v1.firmware = "V1.07.3";
    v1.mcuFirmware = "M2.11";
    v1.deviceId = deviceIdWithStatus(statusBlock(55, 60, 70, 80));
    v1.v3 = false;
    Agent v3 = v1;
    v3.name = "load-v3";
    v3.ipv4 = "192.0.2.12";
    v3.ipv6 = "fe80::12";
    v3.v1 = false;
    v3.v3 = true;
    if (!net.ok() || !net.add(v1) || !net.add(v3)) {
        std::fprintf(stderr, "exporter_load: %s\n", net.error().c_str());
        return 1;
    }
    // 250 addresses per /24 on each agent's loopback, routed to it.
    std::vector<std::string> targets;
    for (int block = 1; block <= 4; ++block) {
        const Agent& agent = block <= 2 ? v1 : v3;
        const std::string prefix = "198.18." + std::to_string(block) + ".";
        std::string batch;
        for (int k = 1; k <= 250; ++k) {
            batch += "addr add " + prefix + std::to_string(k) + "/32 dev lo\n";
            targets.push_back(prefix + std::to_string(k));
        }
        runProcess({"ip", "netns", "exec", "lwag-" + agent.name, "ip", "-batch", "-"}, {}, 30000, batch);
        runProcess({"ip", "route", "add", prefix + "0/24", "via", agent.ipv4});
    }
    runProcess({"ip", "route", "add", "blackhole", "198.18.9.0/24"});

    TempDir dir;
    ChildProcess exporter;
    if (!exporter.start({LEVELWATCH_EXPORTER_BIN, "--web.listen-address=127.0.0.1:" + std::to_string(kPort),
                         "--allow=192.0.2.0/24", "--allow=198.18.0.0/16"},
                        {}, "", dir.file("exporter.log"))
        || !waitForTcp("127.0.0.1", kPort)) {
        std::fprintf(stderr, "exporter_load: levelwatch-exporter did not start\n");
        return 1;
    }

    // ---- latency ----
    probe(v1.ipv4);
    probe(v3.ipv4); // the first SNMPv3 question of the process derives the keys
    std::printf("Probe latency (HTTP round trip on loopback, 30 probes each; goal: under 50 ms)\n\n");
    std::printf("  printer   median ms  p90 ms  max ms  status\n");
    for (const Agent* a : {&v1, &v3}) {
        std::vector<double> ms;
        int status = 0;
        std::string body;
        for (int i = 0; i < 30; ++i) {
            const auto t = Clock::now();
            status = probe(a->ipv4, &body);
            ms.push_back(since(t) * 1000);
        }
        const bool up = body.find("levelwatch_printer_up{address=\"" + a->ipv4 + "\"} 1") != std::string::npos;
        std::printf("  %-8s  %9.1f  %6.1f  %6.1f  %d%s\n", a == &v1 ? "v1" : "SNMPv3", percentile(ms, 0.5),
                    percentile(ms, 0.9), percentile(ms, 1.0), status, up ? " up" : " NOT UP");
    }

    // ---- throughput over 1,000 targets ----
    std::printf("\nThroughput: every one of 1,000 targets (500 v1, 500 SNMPv3) probed once by 64 clients\n\n");
    std::printf("  round  seconds  probes/s  up    not 200  exporter CPU s  RSS MiB\n");
    for (int round = 1; round <= 3; ++round) {
        std::atomic<size_t> next{0};
        std::atomic<int> up{0}, bad{0};
        const Usage before = usageOf(exporter.pid());
        const auto t = Clock::now();
        std::vector<std::thread> clients;
        for (int c = 0; c < 64; ++c)
            clients.emplace_back([&] {
                std::string body;
                for (size_t i; (i = next++) < targets.size();) {
                    if (probe(targets[i], &body) != 200)
                        ++bad;
                    else if (body.find("} 1\n# HELP levelwatch_printer_info") != std::string::npos)
                        ++up;
                }
            });
        for (std::thread& c : clients)
            c.join();
        const double seconds = since(t);
        const Usage after = usageOf(exporter.pid());
        std::printf("  %5d  %7.2f  %8.0f  %4d  %7d  %14.2f  %7.1f\n", round, seconds,
                    static_cast<double>(targets.size()) / seconds, up.load(), bad.load(),
                    after.cpuSeconds - before.cpuSeconds, static_cast<double>(after.rssKiB) / 1024);
    }

    // ---- burst beyond the probes in flight ----
    {
        std::atomic<long> ok{0}, busy{0}, other{0};
        std::vector<std::thread> burst;
        const auto t = Clock::now();
        for (int c = 0; c < 700; ++c)
            burst.emplace_back([&, c] {
                const int status = probe("198.18.9." + std::to_string(1 + c % 250));
                (status == 200 ? ok : status == 503 ? busy : other) += 1;
            });
        for (std::thread& b : burst)
            b.join();
        std::printf("\nBurst: 700 probes of silent addresses at once (each may take 2.5 s): %ld answered 200 "
                    "(printer down), %ld refused 503, %ld other, in %.1f s\n",
                    ok.load(), busy.load(), other.load(), since(t));
    }

    // ---- load ----
    std::printf("\nLoad: 200 clients probing at once for %d s (1 in 10 a silent address), 20 slow clients\n"
                "trickling a byte a second, 20 clients sending garbage\n\n",
                loadSeconds);
    std::atomic<bool> stop{false};
    std::atomic<long> ok{0}, busy{0}, other{0}, none{0}, garbage{0}, slowCut{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < 200; ++c)
        clients.emplace_back([&, c] {
            for (size_t i = static_cast<size_t>(c) * 37; !stop; i += 7) {
                const std::string target =
                    i % 10 == 0 ? "198.18.9." + std::to_string(1 + i % 250) : targets[i % targets.size()];
                const int status = probe(target);
                (status == 200 ? ok : status == 503 ? busy : status == 0 ? none : other) += 1;
            }
        });
    for (int c = 0; c < 20; ++c)
        clients.emplace_back([&] {
            while (!stop) {
                const int fd = connectExporter();
                const std::string request = "GET /probe?target=198.18.1.1 HTTP/1.0\r\n\r\n";
                size_t sent = 0;
                for (; fd >= 0 && !stop && sent < request.size(); ++sent) {
                    if (::send(fd, request.data() + sent, 1, MSG_NOSIGNAL) != 1)
                        break;
                    std::this_thread::sleep_for(std::chrono::seconds(1));
                }
                if (sent < request.size())
                    ++slowCut;
                if (fd >= 0)
                    ::close(fd);
            }
        });
    for (int c = 0; c < 20; ++c)
        clients.emplace_back([&, c] {
            const std::string junk[] = {"\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", "GET /probe?target=%00 HTTP/1.1\r\n\r\n",
                                        "GET /" + std::string(20000, 'a') + " HTTP/1.0\r\n\r\n",
                                        "GET /probe?target=[::1 HTTP/1.0\r\n\r\n", "\r\n\r\n\r\n"};
            for (size_t i = static_cast<size_t>(c); !stop; ++i) {
                const int fd = connectExporter();
                if (fd < 0)
                    continue;
                const std::string& j = junk[i % 5];
                ::send(fd, j.data(), j.size(), MSG_NOSIGNAL);
                char buf[512];
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, 2000) == 1)
                    ::read(fd, buf, sizeof buf);
                ::close(fd);
                ++garbage;
            }
        });
    long peakRss = 0, peakThreads = 0;
    const Usage before = usageOf(exporter.pid());
    for (int s = 0; s < loadSeconds; ++s) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const Usage u = usageOf(exporter.pid());
        peakRss = std::max(peakRss, u.rssKiB);
        peakThreads = std::max(peakThreads, u.threads);
    }
    stop = true;
    for (std::thread& c : clients)
        c.join();
    const Usage after = usageOf(exporter.pid());
    const bool alive = exporter.running();
    std::printf("  good probes: %ld answered 200, %ld refused 503, %ld other status, %ld unanswered\n", ok.load(),
                busy.load(), other.load(), none.load());
    std::printf("  garbage requests sent: %ld; slow clients cut off before their request was whole: %ld\n",
                garbage.load(), slowCut.load());
    std::printf("  exporter: CPU %.1f s over %d s, peak RSS %.1f MiB (VmHWM %.1f MiB), peak threads %ld, %s\n",
                after.cpuSeconds - before.cpuSeconds, loadSeconds, static_cast<double>(peakRss) / 1024,
                static_cast<double>(after.peakKiB) / 1024, peakThreads, alive ? "still running" : "NOT RUNNING");
    std::string metrics;
    {
        const int fd = connectExporter();
        const std::string request = "GET /metrics HTTP/1.0\r\n\r\n";
        if (fd >= 0 && ::write(fd, request.data(), request.size()) > 0) {
            char buf[16384];
            for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
                metrics.append(buf, static_cast<size_t>(n));
        }
        if (fd >= 0)
            ::close(fd);
    }
    std::printf("\nThe exporter's own counters afterwards:\n");
    std::istringstream lines(metrics);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("levelwatch_exporter_probes_total", 0) == 0 || line.rfind("levelwatch_exporter_refused", 0) == 0)
            std::printf("  %s\n", line.c_str());
    return alive && other.load() == 0 && none.load() == 0 ? 0 : 1;
}
