// levelwatch-exporter: the printers' toner levels for Prometheus, probed at
// /probe?target=ADDRESS as Prometheus scrapes it. See usage(), Server.h and
// levelwatch-exporter(8).
#include "Server.h"

#include "snmp/Credentials.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <string>
#include <sys/resource.h>

namespace {

constexpr int kExitStopped = 0, kExitFailed = 1, kExitUsage = 2;
// Enough descriptors for every connection and every probe's sockets.
constexpr rlim_t kWantedFiles = 8192;

const char* const kUsage =
    "Usage: levelwatch-exporter [--web.listen-address=[HOST]:PORT] --allow=CIDR... [--v1] [--v3]\n"
    "\n"
    "Serves the toner levels of the colour laser printers to Prometheus as a\n"
    "multi-target exporter: GET /probe?target=ADDRESS[:PORT] asks that printer\n"
    "(SNMP v1, then SNMPv3) and answers its metrics; /metrics gives the\n"
    "exporter's own.\n"
    "\n"
    "  --web.listen-address=[HOST]:PORT  where to listen (default \":9934\": every\n"
    "                    address, IPv4 and IPv6); HOST is numeric, IPv6 in brackets\n"
    "  --allow=CIDR      a network the targets may be in, e.g. 192.0.2.0/24 or\n"
    "                    2001:db8::/48; a bare address is one host; repeatable.\n"
    "                    None given: every target is refused (403)\n"
    "  --v1              ask over SNMP v1 only\n"
    "  --v3              ask over SNMPv3 only\n"
    "  --help            this text\n"
    "\n"
    "Exit status: 0 stopped by SIGTERM or SIGINT, 1 cannot listen or read the\n"
    "credentials, 2 usage error.\n";

int usageError(const std::string& message)
{
    std::fprintf(stderr, "levelwatch-exporter: %s\n%s", message.c_str(), kUsage);
    return kExitUsage;
}

bool startsWith(const std::string& text, const char* prefix, std::string& rest)
{
    const size_t n = std::strlen(prefix);
    if (text.compare(0, n, prefix) != 0)
        return false;
    rest = text.substr(n);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    exporter::ServerOptions options;
    std::string listen = ":" + std::to_string(exporter::kDefaultListenPort);
    bool v1Only = false, v3Only = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::string value;
        if (arg == "--help") {
            std::fputs(kUsage, stdout);
            return kExitStopped;
        } else if (arg == "--v1") {
            v1Only = true;
        } else if (arg == "--v3") {
            v3Only = true;
        } else if (startsWith(arg, "--web.listen-address=", value)) {
            listen = value;
        } else if (startsWith(arg, "--allow=", value)) {
            exporter::Network network;
            std::string error;
            if (!exporter::ParseNetwork(value, network, error))
                return usageError("--allow=" + value + ": " + error);
            options.allow.add(network);
        } else {
            return usageError("unknown argument: " + arg);
        }
    }
    if (v1Only && v3Only)
        return usageError("--v1 and --v3 exclude each other");
    options.v1 = !v3Only;
    options.v3 = !v1Only;
    std::string error;
    if (!exporter::ParseListenAddress(listen, options.listen, error))
        return usageError("--web.listen-address=" + listen + ": " + error);
    // The site's SNMPv3 credential sets, where the other programs read them
    // (the service passes them with LoadCredential=).
    if (!LoadSnmpV3Credentials(error)) {
        std::fprintf(stderr, "levelwatch-exporter: %s\n", error.c_str());
        return kExitFailed;
    }

    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < kWantedFiles) {
        files.rlim_cur = std::min(kWantedFiles, files.rlim_max);
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
    // The signals wait for sigwait below; every thread started from here on
    // inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    exporter::Server server;
    if (!server.start(options, error)) {
        std::fprintf(stderr, "levelwatch-exporter: %s: %s\n", listen.c_str(), error.c_str());
        return kExitFailed;
    }
    if (options.allow.empty())
        std::fprintf(stderr, "levelwatch-exporter: no --allow: every target is refused\n");
    std::fprintf(stderr, "levelwatch-exporter: listening on %s\n", listen.c_str());
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.stop();
    return kExitStopped;
}
