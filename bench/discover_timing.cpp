// Wall time of full levelwatch-discover runs (SNMP v1 and SNMPv3, IPv4
// broadcast and IPv6 multicast on every interface) on a namespace network:
// 1 or 2 links (bridges, besides loopback) and 1 to 3 agents, all on the
// first link: printers of our model, the third one of another model. Each
// configuration runs N times (default 3; first argument) and the median is
// printed, with the number of printers listed (each has an IPv4 and an IPv6
// link-local address, so two lines per printer of our model).
//
// Runs in a private network namespace (root), like the peer tests.
#include "AgentNetwork.h"
#include "Peers.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace lwtest;

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    if (!enterPrivateNetwork()) {
        std::fprintf(stderr, "discover_timing: cannot enter a private network namespace: %s\n",
                     privateNetworkError().c_str());
        return 1;
    }
    std::printf("levelwatch-discover, SNMP v1 and v3, median of %d runs\n\n", runs);
    std::printf("  interfaces  agents  seconds  lines listed\n");
    for (int links = 1; links <= 2; ++links) {
        for (int agents = 1; agents <= 3; ++agents) {
            AgentNetwork net(links);
            for (int i = 0; i < agents && net.ok(); ++i) {
                Agent a;
                a.name = "bench" + std::to_string(i);
                a.ipv4 = "192.0.2." + std::to_string(11 + i);
                a.ipv6 = "fe80::" + std::to_string(11 + i);
                a.firmware = "V1.0";
                a.mcuFirmware = "M1.0";
                if (i == 2)
                    a.sysObjectId = kOtherModelOid;
                if (!net.add(a)) {
                    std::fprintf(stderr, "discover_timing: %s\n", net.error().c_str());
                    return 1;
                }
            }
            std::vector<double> seconds;
            size_t lines = 0;
            for (int r = 0; r < runs; ++r) {
                ProcessResult p = runProcess({LEVELWATCH_DISCOVER_BIN}, {}, 60000);
                seconds.push_back(p.seconds);
                lines = static_cast<size_t>(std::count(p.out.begin(), p.out.end(), '\n'));
            }
            std::sort(seconds.begin(), seconds.end());
            std::printf("  %10d  %6d  %7.2f  %12zu\n", links, agents, seconds[seconds.size() / 2], lines);
            std::fflush(stdout);
        }
    }
    return 0;
}
