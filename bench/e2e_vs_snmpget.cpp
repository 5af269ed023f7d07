// End-to-end comparison, in one run: levelwatch fetching the printer's status
// against Net-SNMP's snmpget fetching the same device-ID object from the same
// snmpd, over SNMP v1 and over SNMPv3 (authPriv, MD5/DES). Each command runs
// N times (default 25; first argument); the program prints the median wall
// time, the ratio of medians and the peak resident memory of each.
//
// Then levelwatch by URI (and by queue) against snmpget -v1 in pairs (the
// two commands one after the other, the order alternating), on an idle
// machine and with one core kept busy by a spinning process: the medians,
// their ratio and the median of the pairs' ratios.
//
// The SNMPv3 agent knows a site's own user, not the build's: levelwatch reads
// it from its credentials file (LEVELWATCH_CONFIG) and snmpget from its
// snmp.conf (defSecurityName...), so neither command line carries a pass
// phrase. Every levelwatch run reads the file, the SNMP v1 ones included.
//
// Runs in a private network namespace (root) with a private cupsd, like the
// peer tests; nothing of the machine's own services is touched.
#include "Peers.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace lwtest;

namespace {

struct Sample {
    double seconds;
    double cpuSeconds; // user and system time of the child
    long maxRssKiB;
    int status;
};

// Runs argv with the extra environment, output discarded; wall time and the
// child's own peak resident set.
Sample runOnce(const std::vector<std::string>& argv, const Env& env)
{
    std::vector<std::string> args = argv;
    std::vector<std::string> envs;
    for (char** e = environ; *e; ++e)
        envs.emplace_back(*e);
    for (const auto& [k, v] : env)
        envs.push_back(k + "=" + v);
    std::vector<char*> cargs, cenv;
    for (auto& a : args)
        cargs.push_back(a.data());
    cargs.push_back(nullptr);
    for (auto& e : envs)
        cenv.push_back(e.data());
    cenv.push_back(nullptr);
    std::fflush(stdout);
    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execvpe(cargs[0], cargs.data(), cenv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage {};
    wait4(pid, &status, 0, &usage);
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
                       + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return {s, cpu, usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

struct Summary {
    double median;
    double cpuMedian;
    long peakKiB;
    int failures;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

Summary measure(const std::vector<std::string>& argv, const Env& env, int runs)
{
    std::vector<double> times, cpu;
    long peak = 0;
    int failures = 0;
    for (int i = 0; i < runs; ++i) {
        Sample s = runOnce(argv, env);
        times.push_back(s.seconds);
        cpu.push_back(s.cpuSeconds);
        peak = std::max(peak, s.maxRssKiB);
        failures += s.status != 0;
    }
    return {median(times), median(cpu), peak, failures};
}

// a and b one after the other, runs times, the order alternating.
void paired(const char* condition, const std::vector<std::string>& a, const std::vector<std::string>& b,
            const Env& env, int runs)
{
    std::vector<double> ta, tb, ratios;
    int failures = 0;
    for (int i = 0; i < runs; ++i) {
        Sample sa, sb;
        if (i % 2 == 0) {
            sa = runOnce(a, env);
            sb = runOnce(b, env);
        } else {
            sb = runOnce(b, env);
            sa = runOnce(a, env);
        }
        failures += (sa.status != 0) + (sb.status != 0);
        ta.push_back(sa.seconds);
        tb.push_back(sb.seconds);
        ratios.push_back(sa.seconds / sb.seconds);
    }
    const double ma = median(ta), mb = median(tb);
    std::printf("  %-18s levelwatch %6.2f ms   snmpget %6.2f ms   ratio of medians %.2f   median ratio of pairs %.2f"
                "   failures %d\n",
                condition, ma * 1000, mb * 1000, ma / mb, median(ratios), failures);
}

// A process that keeps one core busy until it is stopped.
pid_t busyCore()
{
    const pid_t pid = fork();
    if (pid == 0) {
        volatile unsigned long n = 0;
        for (;;)
            n = n + 1;
    }
    return pid;
}

void row(const char* name, const Summary& s)
{
    std::printf("  %-44s median %8.2f ms   CPU %6.2f ms   peak RSS %6ld KiB   failures %d\n", name,
                s.median * 1000, s.cpuMedian * 1000, s.peakKiB, s.failures);
}

} // namespace

int main(int argc, char** argv)
{
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 25;
    if (!enterPrivateNetwork()) {
        std::fprintf(stderr, "e2e_vs_snmpget: cannot enter a private network namespace: %s\n",
                     privateNetworkError().c_str());
        return 1;
    }
    PrivateCupsd cupsd;
    std::vector<unsigned char> block(108, 0x33);
    SnmpdConfig v1;
    v1.listen = {"udp:127.0.0.2:161"};
    v1.deviceId = deviceIdWithStatus(block);
    Snmpd v1Agent(v1);
    SnmpdConfig v3;
    v3.listen = {"udp:127.0.0.3:161"};
    v3.community = "";
    v3.deviceId = v1.deviceId;
    v3.v3User = "lwbench";
    v3.v3AuthPass = "the bench's auth phrase";
    v3.v3PrivPass = "the bench's priv phrase";
    v3.engineIdHex = "80000CF103525400A1B2C3";
    Snmpd v3Agent(v3);
    if (!cupsd.ok() || !v1Agent.ok() || !v3Agent.ok() || !cupsd.addQueue("BenchV1", "socket://127.0.0.2") ||
        !cupsd.addQueue("BenchV3", "socket://127.0.0.3")) {
        std::fprintf(stderr, "e2e_vs_snmpget: peers did not start\n");
        return 1;
    }
    Env env = cupsd.env();
    for (const auto& kv : v1Agent.clientEnv())
        env.push_back(kv);
    // The credentials, each in its program's own file.
    TempDir files;
    env.emplace_back("LEVELWATCH_CONFIG",
                     files.write("levelwatch.conf",
                                 "[bench]\nuser = " + v3.v3User + "\nauth-passphrase = " + v3.v3AuthPass
                                     + "\npriv-passphrase = " + v3.v3PrivPass + "\n",
                                 0600));
    for (const auto& [key, dir] : v1Agent.clientEnv())
        if (key == "SNMPCONFPATH") {
            ::mkdir(dir.c_str(), 0700);
            FILE* conf = std::fopen((dir + "/snmp.conf").c_str(), "w");
            if (conf) {
                std::fprintf(conf,
                             "defSecurityName %s\ndefSecurityLevel authPriv\ndefAuthType MD5\ndefPrivType DES\n"
                             "defAuthPassphrase %s\ndefPrivPassphrase %s\n",
                             v3.v3User.c_str(), v3.v3AuthPass.c_str(), v3.v3PrivPass.c_str());
                std::fclose(conf);
            }
        }
    const std::string oid = std::string(".") + kDeviceIdOid;

    std::printf("%d runs each\n\nSNMP v1\n", runs);
    Summary snmpget1 = measure({"snmpget", "-v1", "-c", "tundra", "-m", "", "127.0.0.2", oid}, env, runs);
    Summary queue1 = measure({LEVELWATCH_BIN, "BenchV1"}, env, runs);
    Summary uri1 = measure({LEVELWATCH_BIN, "socket://127.0.0.2"}, env, runs);
    row("snmpget -v1 -m \"\"", snmpget1);
    row("levelwatch QUEUE (CUPS lookup + v1 query)", queue1);
    row("levelwatch socket://127.0.0.2 (v1 query)", uri1);
    std::printf("  ratio of medians levelwatch/snmpget: %.2f (queue), %.2f (URI)\n", queue1.median / snmpget1.median,
                uri1.median / snmpget1.median);
    std::printf("  peak memory levelwatch/snmpget: %.2f\n", double(queue1.peakKiB) / double(snmpget1.peakKiB));

    std::printf("\nAgainst snmpget -v1, %d pairs each (alternating order)\n", runs);
    const std::vector<std::string> byUri = {LEVELWATCH_BIN, "socket://127.0.0.2"};
    const std::vector<std::string> byQueue = {LEVELWATCH_BIN, "BenchV1"};
    const std::vector<std::string> snmpget = {"snmpget", "-v1", "-c", "tundra", "-m", "", "127.0.0.2", oid};
    paired("URI, idle", byUri, snmpget, env, runs);
    paired("queue, idle", byQueue, snmpget, env, runs);
    const pid_t busy = busyCore();
    paired("URI, 1 core busy", byUri, snmpget, env, runs);
    paired("queue, 1 core busy", byQueue, snmpget, env, runs);
    if (busy > 0) {
        kill(busy, SIGKILL);
        waitpid(busy, nullptr, 0);
    }

    int runs3 = std::max(1, runs / 2);
    std::printf("\nSNMPv3 (authPriv, MD5/DES; %d runs each)\n", runs3);
    Summary snmpget3 = measure({"snmpget", "-v3", "-m", "", "127.0.0.3", oid}, env, runs3);
    Summary queue3 = measure({LEVELWATCH_BIN, "BenchV3"}, env, runs3);
    Summary uri3 = measure({LEVELWATCH_BIN, "socket://127.0.0.3"}, env, runs3);
    row("snmpget -v3 (authPriv, MD5/DES from snmp.conf)", snmpget3);
    row("levelwatch QUEUE (v1 fails, then SNMPv3)", queue3);
    row("levelwatch socket://127.0.0.3", uri3);
    std::printf("  CPU levelwatch/snmpget: %.2f (queue), %.2f (URI)\n", queue3.cpuMedian / snmpget3.cpuMedian,
                uri3.cpuMedian / snmpget3.cpuMedian);
    std::printf("  levelwatch minus the 2 s of receive windows: %.2f ms against snmpget's %.2f ms\n",
                (queue3.median - 2.0) * 1000, snmpget3.median * 1000);
    std::printf("  peak memory levelwatch/snmpget: %.2f\n", double(queue3.peakKiB) / double(snmpget3.peakKiB));
    return 0;
}
