// What the toner-level filter costs a print job: the time from submitting a
// job to its first byte reaching the backend, with our queue's PPD (the job
// passes levelwatch-passthru, which reads the levels meanwhile) and with the
// same PPD without our filter lines (the path CUPS takes by default), for a
// printer answering SNMP v1 and one answering SNMPv3 only. The time until the
// job is reported completed is shown as well: the filter waits for the level
// read after the data has gone (about 2 s for an SNMPv3-only printer).
//
// Runs in a private network namespace (root) with a private cupsd and
// snmpd, like the peer tests. Argument: runs per queue (default 15). The
// backend is this program, started by cupsd through a small script.
#include "Peers.h"

#include <cups/cups.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

using namespace lwtest;

namespace {

long long nowNs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

// Backend mode: DIR JOB-ID USER TITLE COPIES OPTIONS. Records when the first
// byte of the job arrives (monotonic clock, shared by all processes), then
// takes the rest.
int backend(int argc, char** argv)
{
    if (argc < 4)
        return 0; // device discovery: nothing to list
    const std::string stamp = std::string(argv[2]) + "/" + argv[3];
    char buffer[65536];
    ssize_t n = read(0, buffer, sizeof buffer);
    const long long first = nowNs();
    while (n > 0)
        n = read(0, buffer, sizeof buffer);
    std::ofstream(stamp + ".tmp") << first << "\n";
    std::rename((stamp + ".tmp").c_str(), stamp.c_str());
    return 0;
}

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

// One job on the queue; the backend leaves its stamp in `stamps`.
void runJob(const std::string& queue, const std::string& document, const std::string& stamps, Times& times)
{
    const long long t0 = nowNs();
    int id = cupsPrintFile2(CUPS_HTTP_DEFAULT, queue.c_str(), document.c_str(), "bench", 0, nullptr);
    if (id <= 0) {
        ++times.failures;
        return;
    }
    const std::string stamp = stamps + "/" + std::to_string(id);
    for (int i = 0; i < 3000 && activeJob(queue, id); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const long long done = nowNs();
    long long first = 0;
    std::ifstream(stamp) >> first;
    if (first <= 0) {
        ++times.failures;
        return;
    }
    times.firstByteMs.push_back((first - t0) / 1e6);
    times.completedMs.push_back((done - t0) / 1e6);
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
    if (argc > 1 && std::strcmp(argv[1], "--backend") == 0)
        return backend(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    if (!enterPrivateNetwork()) {
        std::fprintf(stderr, "job_latency: cannot enter a private network namespace: %s\n",
                     privateNetworkError().c_str());
        return 1;
    }
    PrivateCupsd cupsd;
    if (!cupsd.ok()) {
        std::fprintf(stderr, "job_latency: the private cupsd did not start:\n%s\n", cupsd.errorLog().c_str());
        return 1;
    }
    cupsSetServer(cupsd.socketPath().c_str());
    TempDir dir;
    const std::string stamps = dir.file("stamps");
    mkdir(stamps.c_str(), 0777);
    chmod(stamps.c_str(), 0777);
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
        return 1;
    const std::string backendScript = cupsd.serverBin() + "/backend/socket";
    std::ofstream(backendScript, std::ios::trunc)
        << "#!/bin/sh\n[ $# -eq 0 ] && exit 0\nexec '" << self << "' --backend '" << stamps << "' \"$@\"\n";
    chmod(backendScript.c_str(), 0755);

    std::vector<unsigned char> block(108, 0);
    block[0] = 80, block[1] = 61, block[2] = 42, block[3] = 23;
    SnmpdConfig v1;
    v1.listen = {"udp:127.0.0.2:161"};
    v1.deviceId = deviceIdWithStatus(block);
    Snmpd v1Agent(v1);
    SnmpdConfig v3;
    v3.listen = {"udp:127.0.0.3:161"};
    v3.community = "";
    v3.deviceId = v1.deviceId;
    v3.v3User = LEVELWATCH_SNMPV3_USER;
    v3.v3AuthPass = LEVELWATCH_SNMPV3_AUTH_PASS;
    v3.v3PrivPass = LEVELWATCH_SNMPV3_PRIV_PASS;
    v3.engineIdHex = "80000CF103525400A1B2C3";
    Snmpd v3Agent(v3);

    std::ostringstream shipped;
    shipped << std::ifstream(LW_SOURCE_DIR "/plugin/ppd/corvane5170.ppd").rdbuf();
    const std::string withPpd = dir.write("with.ppd", shipped.str());
    const std::string withoutPpd = dir.write("without.ppd", withoutOurFilterLines(shipped.str()));
    if (!v1Agent.ok() || !v3Agent.ok() || !cupsd.installFilter(LEVELWATCH_PASSTHRU_BIN, "levelwatch-passthru") ||
        !cupsd.installFilter(LEVELWATCH_COMMAND_BIN, "levelwatch-command") ||
        !cupsd.addQueue("V1Plain", "socket://127.0.0.2:9100", withoutPpd) ||
        !cupsd.addQueue("V1Levels", "socket://127.0.0.2:9100", withPpd) ||
        !cupsd.addQueue("V3Plain", "socket://127.0.0.3:9100", withoutPpd) ||
        !cupsd.addQueue("V3Levels", "socket://127.0.0.3:9100", withPpd)) {
        std::fprintf(stderr, "job_latency: peers did not start\n%s\n", cupsd.errorLog().c_str());
        return 1;
    }
    // A PostScript document of about 200 KB.
    std::string document = "%!PS-Adobe-3.0\n";
    while (document.size() < 200 * 1024)
        document += "0 0 moveto (toner levels) show\n";
    document += "showpage\n";
    const std::string documentPath = dir.write("document.ps", document);

    const char* queues[4] = {"V1Plain", "V1Levels", "V3Plain", "V3Levels"};
    Times times[4];
    runJob("V1Plain", documentPath, stamps, times[0]); // warm-up: cupsd's first job is slower
    times[0] = Times {};
    for (int r = 0; r < runs; ++r)
        for (int q = 0; q < 4; ++q) {
            std::fflush(stdout);
            runJob(queues[q], documentPath, stamps, times[q]);
        }

    std::printf("%d jobs per queue, %zu-byte PostScript document; medians in ms\n\n", runs, document.size());
    std::printf("  %-16s %-14s %22s %16s %9s\n", "printer", "level filter", "first byte at backend", "job completed",
                "failures");
    const char* printers[4] = {"SNMP v1", "SNMP v1", "SNMPv3 only", "SNMPv3 only"};
    for (int q = 0; q < 4; ++q)
        std::printf("  %-16s %-14s %22.1f %16.1f %9d\n", printers[q], q % 2 ? "with" : "without",
                    median(times[q].firstByteMs), median(times[q].completedMs), times[q].failures);
    std::printf("\n  added before the data reaches the backend: SNMP v1 %+.1f ms, SNMPv3 only %+.1f ms "
                "(goal: under 100 ms)\n",
                median(times[1].firstByteMs) - median(times[0].firstByteMs),
                median(times[3].firstByteMs) - median(times[2].firstByteMs));
    return 0;
}
