// How long a print job takes to reach the printer: the time from submitting
// a job to its first byte arriving at the printer's print port (a TCP sink
// in the printer's namespace, behind CUPS's real socket backend), and until
// CUPS reports the job completed. Three printers: one answering SNMP v1
// (community "tundra"), one answering SNMPv3 only, one without SNMP. Each is
// printed to through our PPD (its level filter reads the levels meanwhile)
// with the device URI as a user would type it (socket://ADDRESS, so the
// socket backend first polls SNMP with community "public") and as
// snmp-discover lists it (socket://ADDRESS?snmp=false); and, with
// "?snmp=false", through the same PPD without our filter lines, for what the
// level filter itself adds.
//
// Runs in a private network namespace (root) with a private cupsd and snmpd
// in agent namespaces, like the peer tests. Argument: jobs per queue
// (default 5).
#include "AgentNetwork.h"
#include "Peers.h"
#include "SnmpTestData.h"
#include "TcpSink.h"

#include <cups/cups.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace lwtest;

namespace {

using Clock = std::chrono::steady_clock;

bool activeJob(const std::string& queue, int id)
{
    cups_job_t* jobs = nullptr;
    int n = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.c_str(), 0, CUPS_WHICHJOBS_ACTIVE);
    bool active = false;
    for (int i = 0; i < n; ++i)
        active = active || jobs[i].id == id;
    cupsFreeJobs(n, jobs);
    return active;
}

struct Times {
    std::vector<double> firstByteMs, completedMs;
    int failures = 0;
};

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// One job on the queue, whose printer is the sink.
void runJob(const std::string& queue, const std::string& document, TcpSink& sink, Times& times)
{
    const size_t before = sink.jobs().size();
    const Clock::time_point t0 = Clock::now();
    int id = cupsPrintFile2(CUPS_HTTP_DEFAULT, queue.c_str(), document.c_str(), "bench", 0, nullptr);
    if (id <= 0) {
        ++times.failures;
        return;
    }
    for (int i = 0; i < 6000 && activeJob(queue, id); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const Clock::time_point done = Clock::now();
    if (!sink.waitForJobs(before + 1, 5000)) {
        ++times.failures;
        return;
    }
    const Clock::time_point first = sink.jobs()[before].firstByte;
    times.firstByteMs.push_back(std::chrono::duration<double, std::milli>(first - t0).count());
    times.completedMs.push_back(std::chrono::duration<double, std::milli>(done - t0).count());
}

std::string withoutOurFilterLines(const std::string& ppd)
{
    std::istringstream in(ppd);
    std::string out, line;
    while (std::getline(in, line))
        if (line.rfind("*cupsFilter2:", 0) != 0 && line.rfind("*cupsCommands:", 0) != 0)
            out += line + "\n";
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (!enterPrivateNetwork()) {
        std::fprintf(stderr, "job_latency: cannot enter a private network namespace: %s\n",
                     privateNetworkError().c_str());
        return 1;
    }
    AgentNetwork net(1);
    std::vector<unsigned char> block(108, 0);
    block[0] = 80, block[1] = 61, block[2] = 42, block[3] = 23;
    struct Printer {
        const char* label;
        const char* name;
        const char* ipv4;
    };
    const Printer printers[3] = {{"SNMP v1", "v1", "192.0.2.21"},
                                 {"SNMPv3 only", "v3only", "192.0.2.22"},
                                 {"no SNMP", "nosnmp", "192.0.2.23"}};
    for (int p = 0; p < 3 && net.ok(); ++p) {
        Agent a;
        a.name = printers[p].name;
        a.ipv4 = printers[p].ipv4;
        a.ipv6 = "fe80::2" + std::to_string(p + 1);
        a.deviceId = deviceIdWithStatus(block);
        a.v3 = p == 1;
        a.v1 = p == 0;
        a.silent = p == 2;
        if (!net.add(a)) {
            std::fprintf(stderr, "job_latency: %s\n", net.error().c_str());
            return 1;
        }
    }
    std::vector<std::unique_ptr<TcpSink>> sinks;
    for (const Printer& p : printers) {
        sinks.push_back(std::make_unique<TcpSink>(p.name));
        if (!sinks.back()->ok()) {
            std::fprintf(stderr, "job_latency: no print port for %s\n", p.name);
            return 1;
        }
    }
    PrivateCupsd cupsd;
    if (!cupsd.ok()) {
        std::fprintf(stderr, "job_latency: the private cupsd did not start:\n%s\n", cupsd.errorLog().c_str());
        return 1;
    }
    cupsSetServer(cupsd.socketPath().c_str());
    TempDir dir;
    std::ostringstream shipped;
    shipped << std::ifstream(LW_SOURCE_DIR "/plugin/ppd/corvane5170.ppd").rdbuf();
    const std::string withPpd = dir.write("with.ppd", shipped.str());
    const std::string withoutPpd = dir.write("without.ppd", withoutOurFilterLines(shipped.str()));
    if (!cupsd.addBackend("socket", "/usr/lib/cups/backend/socket")
        || !cupsd.installFilter(LEVELWATCH_PASSTHRU_BIN, "levelwatch-passthru")
        || !cupsd.installFilter(LEVELWATCH_COMMAND_BIN, "levelwatch-command")) {
        std::fprintf(stderr, "job_latency: cannot install the backend and filters\n");
        return 1;
    }
    // Per printer: the URI as typed, as snmp-discover lists it, and the
    // latter without our filter.
    struct Queue {
        std::string name;
        int printer;
        const char* uri;
        const char* filter;
    };
    std::vector<Queue> queues;
    for (int p = 0; p < 3; ++p) {
        const std::string address = printers[p].ipv4;
        queues.push_back({std::string(printers[p].name) + "-typed", p, "socket://ADDRESS", "with"});
        queues.push_back({std::string(printers[p].name) + "-listed", p, "socket://ADDRESS?snmp=false", "with"});
        queues.push_back({std::string(printers[p].name) + "-nofilter", p, "socket://ADDRESS?snmp=false", "without"});
        for (size_t q = queues.size() - 3; q < queues.size(); ++q) {
            std::string uri = queues[q].uri;
            uri.replace(uri.find("ADDRESS"), 7, address);
            if (!cupsd.addQueue(queues[q].name, uri, std::strcmp(queues[q].filter, "with") == 0 ? withPpd : withoutPpd)) {
                std::fprintf(stderr, "job_latency: queue %s\n%s\n", queues[q].name.c_str(), cupsd.errorLog().c_str());
                return 1;
            }
        }
    }
    // A PostScript document of about 200 KB.
    std::string document = "%!PS-Adobe-3.0\n";
    while (document.size() < 200 * 1024)
        document += "0 0 moveto (toner levels) show\n";
    document += "showpage\n";
    const std::string documentPath = dir.write("document.ps", document);

    std::vector<Times> times(queues.size());
    Times warmUp;
    runJob(queues[1].name, documentPath, *sinks[0], warmUp); // cupsd's first job is slower
    for (int r = 0; r < runs; ++r)
        for (size_t q = 0; q < queues.size(); ++q)
            runJob(queues[q].name, documentPath, *sinks[static_cast<size_t>(queues[q].printer)], times[q]);

    std::printf("%d jobs per queue, %zu-byte PostScript document, CUPS's socket backend; medians in ms\n\n", runs,
                document.size());
    std::printf("  %-12s %-29s %-13s %22s %14s %9s\n", "printer", "device URI", "level filter",
                "first byte at printer", "job completed", "failures");
    for (size_t q = 0; q < queues.size(); ++q)
        std::printf("  %-12s %-29s %-13s %22.1f %14.1f %9d\n", printers[queues[q].printer].label, queues[q].uri,
                    queues[q].filter, median(times[q].firstByteMs), median(times[q].completedMs), times[q].failures);
    std::printf("\n  (goal: the job's first byte at the printer within a fraction of a second with the URI "
                "snmp-discover lists)\n");
    return 0;
}
