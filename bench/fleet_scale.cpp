// Wall time, CPU time and peak memory of levelwatch-discover --hosts-file --levels over 100, 1,000 and 10,000 printers on namespace hosts (half SNMP v1, half SNMPv3 only) plus a tenth as many blackholed addresses, for this build and, when given, another build's program.
//
// Each namespace host carries up to kPrintersPerHost addresses of RFC 2544's
// benchmarking range (198.18.0.0/15) on its loopback, routed to it, and
// runs one Net-SNMP snmpd on the IPv4 wildcard, which answers from the
// address asked. The silent addresses (198.19.128.0/17) are routed to a
// blackhole. Arguments: [--old PROGRAM] [SIZE...] (default 100 1000 10000);
// an old program is run only for sizes up to --old-max (default 1000).
// Runs in a private network namespace (root), like the peer tests.
#include "AgentNetwork.h"
#include "Peers.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace lwtest;

namespace {

constexpr int kPrintersPerHost = 1000;
constexpr int kRunTimeoutSeconds = 900;

const auto kBlock = [] {
    std::vector<unsigned char> b(108);
    for (size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<unsigned char>(i * 7 + 1);
    b[0] = 80, b[1] = 60, b[2] = 40, b[3] = 20;
    return b;
}();

std::string address(uint32_t base, uint32_t offset)
{
    in_addr a{htonl(base + offset)};
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

struct Measured {
    double wall = 0, cpu = 0;
    long peakKiB = 0;
    int lines = 0, withLevels = 0, v1 = 0;
    int exitStatus = -1;
    std::string err;
};

// Runs the program with its output to files; wall time, and CPU time and
// peak resident size of it and of the children it waited for.
Measured measure(const std::string& program, const std::string& hostsFile, const std::string& dir)
{
    Measured m;
    const std::string out = dir + "/out", err = dir + "/err";
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(o, 1);
        dup2(e, 2);
        alarm(kRunTimeoutSeconds);
        execl(program.c_str(), program.c_str(), "--hosts-file", hostsFile.c_str(), "--levels", nullptr);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    m.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
            + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    m.peakKiB = usage.ru_maxrss;
    m.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream o(out);
    for (std::string line; std::getline(o, line);) {
        ++m.lines;
        m.v1 += line.find("\tv1\t") != std::string::npos ? 1 : 0;
        if (line.find("\t80\t60\t40\t20") != std::string::npos)
            ++m.withLevels;
    }
    std::ifstream e(err);
    std::stringstream text;
    text << e.rdbuf();
    m.err = text.str();
    return m;
}

void report(const char* road, int printers, int silent, const Measured& m)
{
    // The summary lines of standard error that are not the silent hosts'.
    std::string notes;
    std::istringstream err(m.err);
    for (std::string line; std::getline(err, line);)
        if (line.find("no printer answered") == std::string::npos)
            notes += (notes.empty() ? "" : " | ") + line.substr(0, 120);
    std::printf("%-4s %6d printers %5d silent: wall %7.2f s  cpu %6.2f s  peak %7.1f MiB  listed %5d (v1 %5d, levels %5d)  "
                "exit %d%s%s\n",
                road, printers, silent, m.wall, m.cpu, static_cast<double>(m.peakKiB) / 1024.0, m.lines, m.v1,
                m.withLevels, m.exitStatus, notes.empty() ? "" : "  stderr: ", notes.c_str());
    std::fflush(stdout);
}

// One size: the network, the hosts file, the runs.
bool runSize(int printers, const std::string& newProgram, const std::string& oldProgram, int oldMax)
{
    AgentNetwork net(1);
    if (!net.ok()) {
        std::fprintf(stderr, "network: %s\n", net.error().c_str());
        return false;
    }
    const int hosts = std::max(2, ((printers + kPrintersPerHost - 1) / kPrintersPerHost + 1) / 2 * 2);
    const int perHost = (printers + hosts - 1) / hosts;
    const uint32_t base = 0xC6120000u;    // 198.18.0.0
    const uint32_t silentBase = 0xC6138000u; // 198.19.128.0
    std::string list;
    int made = 0;
    for (int k = 0; k < hosts && made < printers; ++k) {
        Agent a;
        a.name = "fs" + std::to_string(k);
        a.ipv4 = "192.0.2." + std::to_string(10 + k);
        a.ipv6 = "fe80::" + std::to_string(10 + k);
        a.sysName = "Printer " + std::to_string(k);
        a.firmware = "V1.07.3";
        a.mcuFirmware = "M2.11";
        a.deviceId = deviceIdWithStatus(kBlock);
        a.v1 = k % 2 == 0;
        a.v3 = !a.v1;
        if (!net.add(a)) {
            std::fprintf(stderr, "agent: %s\n", net.error().c_str());
            return false;
        }
        const uint32_t first = base + static_cast<uint32_t>(k) * 1024;
        std::string batch;
        for (int j = 0; j < perHost && made < printers; ++j, ++made) {
            const std::string at = address(first, static_cast<uint32_t>(j + 1));
            batch += "addr add " + at + "/32 dev lo\n";
            list += at + "\n";
        }
        if (runProcess({"ip", "netns", "exec", "lwag-" + a.name, "ip", "-batch", "-"}, {}, 60000, batch).exitStatus != 0
            || runProcess({"ip", "route", "add", address(first, 0) + "/22", "via", a.ipv4}).exitStatus != 0) {
            std::fprintf(stderr, "addresses of %s failed\n", a.name.c_str());
            return false;
        }
    }
    const int silent = printers / 10;
    for (int j = 0; j < silent; ++j)
        list += address(silentBase, static_cast<uint32_t>(j + 1)) + "\n";
    runProcess({"ip", "route", "add", "blackhole", "198.19.128.0/17"});
    TempDir dir;
    const std::string file = dir.write("hosts", list);
    // Datagrams the agents' receive queues dropped during a run.
    auto agentDrops = [&] {
        long drops = 0;
        for (int k = 0; k < hosts; ++k) {
            const ProcessResult r = runProcess({"ip", "netns", "exec", "lwag-fs" + std::to_string(k), "nstat", "-az",
                                                "UdpRcvbufErrors"});
            const size_t at = r.out.find("UdpRcvbufErrors");
            if (at != std::string::npos)
                drops += std::atol(r.out.c_str() + at + std::strlen("UdpRcvbufErrors"));
        }
        return drops;
    };
    long before = agentDrops();
    report("new", printers, silent, measure(newProgram, file, dir.path()));
    std::printf("     agents' receive queues dropped %ld datagrams\n", agentDrops() - before);
    if (!oldProgram.empty() && printers <= oldMax) {
        before = agentDrops();
        report("old", printers, silent, measure(oldProgram, file, dir.path()));
        std::printf("     agents' receive queues dropped %ld datagrams\n", agentDrops() - before);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (!enterPrivateNetwork()) {
        std::fprintf(stderr, "%s\n", privateNetworkError().c_str());
        return 1;
    }
    std::string oldProgram;
    int oldMax = 1000;
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--old") == 0 && i + 1 < argc)
            oldProgram = argv[++i];
        else if (std::strcmp(argv[i], "--old-max") == 0 && i + 1 < argc)
            oldMax = std::atoi(argv[++i]);
        else
            sizes.push_back(std::atoi(argv[i]));
    }
    if (sizes.empty())
        sizes = {100, 1000, 10000};
    for (int n : sizes)
        if (n <= 0 || n > 60000 || !runSize(n, LEVELWATCH_DISCOVER_BIN, oldProgram, oldMax))
            return 1;
    return 0;
}
