// levelwatch-discover: lists the printers of our model on the local networks
// with their names and firmware versions (and toner levels with --levels).
// See usage() and the README.
#include "Discover.h"
#include "Log.h"
#include "Metrics.h"
#include "snmp/Credentials.h"
#include "snmp/NetIO.h"

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kExitFound = 0, kExitNoneFound = 1, kExitUsage = 2;
// How long the names of the hosts asked may take to resolve, together.
constexpr double kResolveSeconds = 10;

const char* kUsage =
    "Usage: levelwatch-discover [--v1] [--v3] [--model-oid OID]... [--host ADDRESS]... [--hosts-file FILE]\n"
    "                           [--json] [--levels] [--format FORMAT]\n";

const char* kHelp =
    "\n"
    "Finds the printers of our model on this machine's local networks over SNMP and\n"
    "prints one line per printer: its address, the SNMP version that answered (\"v1\"\n"
    "or \"v3\"), its name, firmware version and MCU firmware version, separated by\n"
    "tabs. By default it asks over both SNMP versions, from every local address at\n"
    "once, by IPv4 broadcast (255.255.255.255) and IPv6 all-nodes multicast\n"
    "(ff02::1); it takes a few seconds. An address that answers several times or\n"
    "over both versions is listed once (as \"v1\" when both answered); an IPv6\n"
    "link-local address carries its interface (fe80::1%%eth0). A value the printer\n"
    "does not give is an empty field.\n"
    "\n"
    "  --v1              ask over SNMP v1 only (community \"tundra\")\n"
    "  --v3              ask over SNMPv3 only (USM user of the credentials file,\n"
    "                    else the build's; authPriv)\n"
    "                    (both, or neither, ask over both versions)\n"
    "  --model-oid OID   the sysObjectID of the printers to list; at most twice\n"
    "                    (default %s, the Corvane 5170)\n"
    "  --host ADDRESS    ask this address (numeric, or a name; a link-local IPv6\n"
    "                    address with the interface to ask by: fe80::1%%eth0)\n"
    "                    instead of broadcasting; may be given several times\n"
    "  --hosts-file FILE ask the addresses or names of FILE, one per line (\"#\"\n"
    "                    starts a comment), each optionally followed by the\n"
    "                    credential set its printer takes; a line that is neither\n"
    "                    is named on standard error and skipped\n"
    "  --json            one JSON object per line: \"address\", \"snmp\", \"name\",\n"
    "                    \"firmware\", \"mcu_firmware\" (and \"levels\")\n"
    "  --levels          also the toner levels in percent: black, cyan, magenta,\n"
    "                    yellow (with --json an object with those keys); a level\n"
    "                    the printer does not know is an empty field (\"\")\n"
    "  --format FORMAT   text (the default), json (as --json) or prometheus:\n"
    "                    Prometheus's text format, with the levels as ratios, low\n"
    "                    and empty toners, the printers' information, 0 in\n"
    "                    levelwatch_printer_up for an asked address that gave no\n"
    "                    printer, and the scan's duration\n"
    "  --help            this text\n"
    "\n"
    "The hosts asked are asked side by side. Names are shown as UTF-8: a byte that\n"
    "is not part of a UTF-8 sequence is shown as the Latin-1 character of that\n"
    "number, and control characters as spaces (JSON: escaped). Answers that cannot\n"
    "be a printer's (from outside the link they came in by, from another address\n"
    "than the one asked, or from an address that does not answer when asked\n"
    "itself) and what a bound of the scan left out are counted on standard error.\n"
    "\n"
    "Exit status: 0 when at least one printer was found, 1 when none was, 2 for a\n"
    "usage error (an address that does not parse, a name that does not resolve, a\n"
    "hosts file that cannot be read, a credentials file that is refused). The SNMPv3\n"
    "credentials come from /etc/levelwatch/snmp.conf (LEVELWATCH_CONFIG=FILE names\n"
    "another; a systemd service's credential snmp.conf) when it exists.\n"
    "LEVELWATCH_DEBUG=1 writes the SNMP library's trace lines to standard error.\n";

void usage(FILE* out)
{
    std::fputs(platform::localizedString(kUsage), out);
    if (out == stdout)
        std::printf(platform::localizedString(kHelp), kOurModelSysObjectId);
}

int usageError(const std::string& message)
{
    std::fprintf(stderr, "levelwatch-discover: %s\n", message.c_str());
    usage(stderr);
    return kExitUsage;
}

// A JSON string of valid UTF-8; control characters escaped.
std::string json(const std::string& bytes)
{
    const std::string s = ValidUtf8(bytes);
    std::string out = "\"";
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c == '\t' || c == '\n' || c == '\r') {
            out += c == '\t' ? "\\t" : c == '\n' ? "\\n" : "\\r";
        } else if (c < 0x20 || c == 0x7f) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

// A value as a text field of valid UTF-8: control characters (a terminal
// would act on them, C1 ones included) become spaces.
std::string plain(const std::string& bytes)
{
    const std::string s = ValidUtf8(bytes);
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) < 0xA0) {
            out += ' '; // U+0080..U+009F
            ++i;
        } else {
            out += c < 0x20 || c == 0x7f ? ' ' : s[i];
        }
    }
    return out;
}

std::string level(const FoundPrinter& p, int i, const std::string& unknown)
{
    return p.haveLevels && p.levels[i] >= 0 ? std::to_string(p.levels[i]) : unknown;
}

std::string textLine(const FoundPrinter& p, bool levels)
{
    std::string line = plain(p.address) + "\t" + p.snmp + "\t" + plain(p.name) + "\t" + plain(p.firmware) + "\t"
                       + plain(p.mcuFirmware);
    if (levels)
        for (int i = 0; i < 4; ++i)
            line += "\t" + level(p, i, "");
    return line;
}

std::string jsonLine(const FoundPrinter& p, bool levels)
{
    std::string line = "{\"address\":" + json(p.address) + ",\"snmp\":" + json(p.snmp) + ",\"name\":" + json(p.name)
                       + ",\"firmware\":" + json(p.firmware) + ",\"mcu_firmware\":" + json(p.mcuFirmware);
    if (levels) {
        const char* colours[4] = {"black", "cyan", "magenta", "yellow"};
        line += ",\"levels\":{";
        for (int i = 0; i < 4; ++i)
            line += std::string(i ? "," : "") + "\"" + colours[i] + "\":" + level(p, i, "\"\"");
        line += "}";
    }
    return line + "}";
}

} // namespace

int main(int argc, char** argv)
{
    DiscoverOptions options;
    bool v1 = false, v3 = false, asJson = false, prometheus = false;
    std::vector<std::string> oids;
    std::vector<HostEntry> hosts;            // from --host, in order
    std::vector<std::string> hostsFiles;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i], value;
        const bool takesValue = arg == "--model-oid" || arg == "--host" || arg == "--hosts-file"
                                || arg.rfind("--model-oid=", 0) == 0 || arg.rfind("--host=", 0) == 0
                                || arg.rfind("--hosts-file=", 0) == 0 || arg == "--format"
                                || arg.rfind("--format=", 0) == 0;
        if (takesValue) {
            if (const size_t eq = arg.find('='); eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg.resize(eq);
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                return usageError(arg + " needs a value");
            }
        }
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        } else if (arg == "--v1") {
            v1 = true;
        } else if (arg == "--v3") {
            v3 = true;
        } else if (arg == "--json") {
            asJson = true;
        } else if (arg == "--levels") {
            options.levels = true;
        } else if (arg == "--format") {
            if (value != "text" && value != "json" && value != "prometheus")
                return usageError("unknown format \"" + ValidUtf8(value) + "\"");
            asJson = value == "json";
            prometheus = value == "prometheus";
        } else if (arg == "--model-oid") {
            if (oids.size() == 2)
                return usageError("at most two --model-oid");
            if (!IsTargetOid(value))
                return usageError("not a sysObjectID: \"" + ValidUtf8(value) + "\"");
            oids.push_back(value);
        } else if (arg == "--host") {
            if (value.empty())
                return usageError("--host needs an address");
            hosts.push_back({value, 0, "", ""});
        } else if (arg == "--hosts-file") {
            if (value.empty())
                return usageError("--hosts-file needs a file");
            hostsFiles.push_back(value);
        } else {
            return usageError("unknown argument \"" + ValidUtf8(arg) + "\"");
        }
    }
    if (v1 || v3) {
        options.v1 = v1;
        options.v3 = v3;
    }
    if (!oids.empty())
        options.modelOids = oids;

    // The site's SNMPv3 credentials, before the hosts files name their sets.
    if (std::string why; !LoadSnmpV3Credentials(why)) {
        std::fprintf(stderr, "levelwatch-discover: %s\n", why.c_str());
        return kExitUsage;
    }
    // The hosts: every --host must be one; a file's line that is not is
    // named and skipped.
    const size_t fromCommandLine = hosts.size();
    for (const std::string& file : hostsFiles) {
        std::vector<HostEntry> entries;
        std::vector<std::string> rejected;
        std::string error;
        if (!ReadHostsFile(file, entries, rejected, error))
            return usageError(ValidUtf8(error));
        for (const std::string& r : rejected)
            std::fprintf(stderr, "levelwatch-discover: %s: %s (skipped)\n", ValidUtf8(file).c_str(), r.c_str());
        hosts.insert(hosts.end(), entries.begin(), entries.end());
    }
    if (hosts.size() > static_cast<size_t>(kDiscoveryMaxHosts)) {
        std::fprintf(stderr, "levelwatch-discover: %zu hosts ignored: more than %d hosts\n",
                     hosts.size() - static_cast<size_t>(kDiscoveryMaxHosts), kDiscoveryMaxHosts);
        hosts.resize(static_cast<size_t>(kDiscoveryMaxHosts));
    }
    std::set<std::string> asked;
    for (const ResolvedHost& h : ResolveHosts(hosts, kResolveSeconds)) {
        if (h.address.empty()) {
            if (h.entry.line == 0)
                return usageError("--host " + ValidUtf8(h.entry.text) + ": " + h.error);
            std::fprintf(stderr, "levelwatch-discover: %s: line %d: \"%s\" %s (skipped)\n",
                         ValidUtf8(h.entry.file).c_str(), h.entry.line, ValidUtf8(h.entry.text).c_str(),
                         h.error.c_str());
            continue;
        }
        if (asked.insert(h.address).second)
            options.hosts.push_back(h.address);
    }
    if (!hostsFiles.empty() && options.hosts.empty() && fromCommandLine == 0) {
        std::fputs("levelwatch-discover: no host to ask\n", stderr);
        return kExitNoneFound;
    }

    DiscoverSummary summary;
    const std::vector<FoundPrinter> printers = DiscoverPrinters(options, {}, &summary);
    if (prometheus)
        std::fputs(metrics::PrometheusText(printers, summary.silentHosts, summary.seconds).c_str(), stdout);
    else
        for (const FoundPrinter& p : printers)
            std::puts((asJson ? jsonLine(p, options.levels) : textLine(p, options.levels)).c_str());
    for (const DiscoverNote& n : summary.notes)
        std::fprintf(stderr, "levelwatch-discover: %s\n", n.text.c_str());
    for (const std::string& host : summary.silentHosts)
        std::fprintf(stderr, "levelwatch-discover: no printer answered at %s\n", plain(host).c_str());
    return printers.empty() ? kExitNoneFound : kExitFound;
}
