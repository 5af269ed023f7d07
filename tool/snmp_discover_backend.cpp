// snmp-discover: a CUPS backend that lists the printers of our model found
// on the local networks (SNMP v1 and SNMPv3, IPv4 broadcast and IPv6
// all-nodes multicast), so that they show up in lpinfo -v and in the
// desktop's "Add Printer" dialogs. Each is listed with a socket:// device URI
// with "?snmp=false": printing goes through CUPS's own socket backend, never
// through this one, and that backend's own SNMP poll (community "public",
// which our printers do not answer) would hold every job for seconds and
// overwrite the supply levels our filter reports.
//
// Run without arguments (as cups-deviced runs backends), it prints one device
// line per printer, as backend(7) describes, and exits with 0; what the scan
// left out goes to standard error as DEBUG: and WARNING: lines. Run with job
// arguments, it refuses with a message and CUPS_BACKEND_FAILED, as it does
// when the site's SNMPv3 credentials file (readable by lp) is refused.
#include "Discover.h"
#include "snmp/Credentials.h"

#include <cstdio>
#include <string>

namespace {

constexpr int kBackendOk = 0, kBackendFailed = 1;
constexpr const char* kMakeAndModel = "Corvane 5170";
constexpr const char* kDeviceId = "MFG:Corvane;MDL:5170;CMD:POSTSCRIPT;";
// cups-deviced stops a backend that takes too long; a discovery takes a few
// seconds, and whatever is still running after this is given up.
constexpr double kTimeLimitSeconds = 10;

// A text inside a quoted field of a device line: valid UTF-8 without
// quotes, backslashes or control characters.
std::string quotable(const std::string& text)
{
    std::string s = ValidUtf8(text);
    for (char& c : s)
        if (c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = ' ';
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 6 || argc == 7) {
        std::fputs("ERROR: snmp-discover only finds printers; print through a socket:// device URI\n", stderr);
        return kBackendFailed;
    }
    if (argc != 1) {
        std::fprintf(stderr, "Usage: %s job-id user title copies options [file]\n", argv[0]);
        return kBackendFailed;
    }
    if (std::string why; !LoadSnmpV3Credentials(why)) {
        std::fprintf(stderr, "ERROR: snmp-discover: %s\n", why.c_str());
        return kBackendFailed;
    }
    DiscoverOptions options;
    options.timeLimitSeconds = kTimeLimitSeconds;
    DiscoverSummary summary;
    DiscoverPrinters(
        options,
        [](const FoundPrinter& p) {
            const std::string info =
                std::string(kMakeAndModel) + " (" + quotable(p.name.empty() ? p.address : p.name) + ")";
            std::printf("network socket://%s?snmp=false \"%s\" \"%s\" \"%s\" \"\"\n", UriHost(p.address).c_str(),
                        kMakeAndModel, info.c_str(), kDeviceId);
            std::fflush(stdout);
        },
        &summary);
    for (const DiscoverNote& n : summary.notes)
        std::fprintf(stderr, "%s: snmp-discover: %s\n", n.bound ? "WARNING" : "DEBUG", n.text.c_str());
    return kBackendOk;
}
