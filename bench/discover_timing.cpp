// Wall time of full scans of levelwatch-discover and of the CUPS backend
// snmp-discover (SNMP v1 and SNMPv3, IPv4 broadcast and IPv6 multicast from
// every local address) on namespace networks of 1, 2 and 4 links, each link
// with its IPv4, IPv6 link-local and global IPv6 address, and 1 to 3 agents
// spread over the links (each with the same three kinds of address; the
// third is of another model). Each configuration runs N times (default 5;
// first argument) and the median is printed, with the machine's local
// addresses (loopback's two included) and the lines listed.
//
// Then a flood: on 2 links with one printer, a host of the first link
// answers each broadcast with 1,000 forged answers from spoofed sources (150
// of them on its subnet) and forged SNMPv3 Reports; printed are the wall
// time, the most child processes levelwatch-discover had at once, and the
// printers listed.
//
// Runs in a private network namespace (root), like the peer tests.
#include "AgentNetwork.h"
#include "HostileHost.h"
#include "Peers.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <ifaddrs.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace lwtest;

namespace {

int localAddresses()
{
    ifaddrs* all = nullptr;
    if (getifaddrs(&all) != 0)
        return 0;
    int n = 0;
    for (ifaddrs* a = all; a != nullptr; a = a->ifa_next)
        if (a->ifa_addr != nullptr && (a->ifa_addr->sa_family == AF_INET || a->ifa_addr->sa_family == AF_INET6))
            ++n;
    freeifaddrs(all);
    return n;
}

// The children of pid right now.
int childrenOf(pid_t pid)
{
    int n = 0;
    DIR* proc = opendir("/proc");
    if (proc == nullptr)
        return 0;
    while (dirent* e = readdir(proc)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9')
            continue;
        std::ifstream stat(std::string("/proc/") + e->d_name + "/stat");
        std::string line;
        std::getline(stat, line);
        const size_t close = line.rfind(')');
        if (close == std::string::npos)
            continue;
        char state = 0;
        int ppid = 0;
        if (std::sscanf(line.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == pid)
            ++n;
    }
    closedir(proc);
    return n;
}

struct Run {
    double seconds = 0;
    int lines = 0;
    int peakChildren = 0;
};

// Runs the program, its output to a file, counting its children meanwhile.
Run runCounting(const std::string& program)
{
    TempDir dir;
    const std::string out = dir.file("out");
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int null = open("/dev/null", O_WRONLY);
        dup2(fd, 1);
        dup2(null, 2);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    Run run;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        run.peakChildren = std::max(run.peakChildren, childrenOf(pid));
        usleep(2000);
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::ifstream in(out);
    for (std::string line; std::getline(in, line);)
        ++run.lines;
    return run;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

bool addAgents(AgentNetwork& net, int agents)
{
    for (int i = 0; i < agents; ++i) {
        const int link = i % net.links();
        Agent a;
        a.name = "bench" + std::to_string(i);
        a.link = link;
        a.ipv4 = AgentNetwork::subnet(link) + "." + std::to_string(11 + i);
        a.ipv6 = "fe80::" + std::to_string(11 + i);
        a.ipv6Global = "2001:db8:0:" + std::to_string(link) + "::" + std::to_string(11 + i);
        a.firmware = "V1.0";
        a.mcuFirmware = "M1.0";
        if (i == 2)
            a.sysObjectId = kOtherModelOid;
        if (!net.add(a)) {
            std::fprintf(stderr, "discover_timing: %s\n", net.error().c_str());
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (!enterPrivateNetwork()) {
        std::fprintf(stderr, "discover_timing: cannot enter a private network namespace: %s\n",
                     privateNetworkError().c_str());
        return 1;
    }
    std::printf("Full scans, SNMP v1 and v3, median of %d runs (goal: under 3 s, flat in the addresses)\n\n", runs);
    std::printf("  links  local addresses  agents  levelwatch-discover  snmp-discover  lines listed\n");
    for (int links : {1, 2, 4}) {
        for (int agents = 1; agents <= 3; ++agents) {
            AgentNetwork net(links, true);
            if (!net.ok() || !addAgents(net, agents)) {
                std::fprintf(stderr, "discover_timing: %s\n", net.error().c_str());
                return 1;
            }
            std::vector<double> discover, backend;
            int lines = 0;
            for (int r = 0; r < runs; ++r) {
                const Run d = runCounting(LEVELWATCH_DISCOVER_BIN);
                discover.push_back(d.seconds);
                lines = d.lines;
                backend.push_back(runCounting(SNMP_DISCOVER_BIN).seconds);
            }
            std::printf("  %5d  %15d  %6d  %17.2f s  %11.2f s  %12d\n", links, localAddresses(), agents,
                        median(discover), median(backend), lines);
            std::fflush(stdout);
        }
    }

    std::printf("\nFlood: 1,000 forged answers to each broadcast (150 from the link's subnet), 2 links, "
                "1 printer; median of %d runs\n\n",
                runs);
    AgentNetwork net(2, true);
    if (!net.ok() || !addAgents(net, 1)) {
        std::fprintf(stderr, "discover_timing: %s\n", net.error().c_str());
        return 1;
    }
    HostileHost::Config c;
    c.ipv4 = "192.0.2.66";
    c.sources = HostileHost::forgedSources(0, 1000, 150);
    HostileHost hostile(net, c);
    if (!hostile.ok()) {
        std::fprintf(stderr, "discover_timing: %s\n", hostile.error().c_str());
        return 1;
    }
    std::vector<double> seconds;
    int peak = 0, lines = 0;
    for (int r = 0; r < runs; ++r) {
        const Run d = runCounting(LEVELWATCH_DISCOVER_BIN);
        seconds.push_back(d.seconds);
        peak = std::max(peak, d.peakChildren);
        lines = d.lines;
    }
    std::printf("  seconds  most children at once  lines listed  forged answers sent\n");
    std::printf("  %7.2f  %21d  %12d  %19d\n", median(seconds), peak, lines, hostile.answersSent());
    std::printf("\n  (the printer has 3 addresses: IPv4, link-local and global IPv6, so 3 lines)\n");
    return 0;
}
