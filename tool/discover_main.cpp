// levelwatch-discover: lists the printers of our model on the local networks
// with their names and firmware versions (and toner levels with --levels).
// See usage() and the README.
#include "Discover.h"
#include "Log.h"
#include "Metrics.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kExitFound = 0, kExitNoneFound = 1, kExitUsage = 2;

const char* kUsage =
    "Usage: levelwatch-discover [--v1] [--v3] [--model-oid OID]... [--host ADDRESS] [--json] [--levels]\n"
    "                          [--format FORMAT]\n";

const char* kHelp =
    "\n"
    "Finds the printers of our model on this machine's local networks over SNMP and\n"
    "prints one line per printer: its address, the SNMP version that answered (\"v1\"\n"
    "or \"v3\"), its name, firmware version and MCU firmware version, separated by\n"
    "tabs. By default it asks over both SNMP versions, from every local interface, by\n"
    "IPv4 broadcast (255.255.255.255) and IPv6 all-nodes multicast (ff02::1); it\n"
    "takes a few seconds. An address that answers several times or over both\n"
    "versions is listed once (as \"v1\" when both answered); an IPv6 link-local\n"
    "address carries its interface (fe80::1%%eth0). A value the printer does not\n"
    "give is an empty field.\n"
    "\n"
    "  --v1              ask over SNMP v1 only (community \"tundra\")\n"
    "  --v3              ask over SNMPv3 only (the build's USM user, authPriv)\n"
    "                    (both, or neither, ask over both versions)\n"
    "  --model-oid OID   the sysObjectID of the printers to list; at most twice\n"
    "                    (default %s, the Corvane 5170)\n"
    "  --host ADDRESS    ask this address (numeric, or a name) instead\n"
    "  --json            one JSON object per line: \"address\", \"snmp\", \"name\",\n"
    "                    \"firmware\", \"mcu_firmware\" (and \"levels\")\n"
    "  --levels          also the toner levels in percent: black, cyan, magenta,\n"
    "                    yellow (with --json an object with those keys)\n"
    "  --format FORMAT   text (the default), json (as --json) or prometheus:\n"
    "                    Prometheus's text format, with the levels as ratios, low\n"
    "                    and empty toners, the printers' information, 0 in\n"
    "                    levelwatch_printer_up for an asked address that gave no\n"
    "                    printer, and the scan's duration\n"
    "  --help            this text\n"
    "\n"
    "Exit status: 0 when at least one printer was found, 1 when none was, 2 for a\n"
    "usage error. LEVELWATCH_DEBUG=1 writes the SNMP library's trace lines to\n"
    "standard error.\n";

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

// A JSON string: control characters and bytes that are not UTF-8 escaped.
std::string json(const std::string& s)
{
    std::string out = "\"";
    auto escapeByte = [&](unsigned char c) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04x", c);
        out += buf;
    };
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c == '\t' || c == '\n' || c == '\r') {
            out += c == '\t' ? "\\t" : c == '\n' ? "\\n" : "\\r";
            ++i;
        } else if (c < 0x20 || c == 0x7f) {
            escapeByte(c);
            ++i;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else {
            // A whole UTF-8 sequence passes; any other byte is escaped.
            const size_t n = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
            bool whole = n != 0 && i + n <= s.size();
            for (size_t k = 1; whole && k < n; ++k)
                whole = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
            if (whole) {
                out.append(s, i, n);
                i += n;
            } else {
                escapeByte(c);
                ++i;
            }
        }
    }
    return out + "\"";
}

// A value as a text field: control characters (a terminal would act on
// them) become spaces.
std::string plain(std::string s)
{
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = ' ';
    return s;
}

std::string textLine(const FoundPrinter& p, bool levels)
{
    std::string line = p.address + "\t" + p.snmp + "\t" + plain(p.name) + "\t" + plain(p.firmware) + "\t"
                       + plain(p.mcuFirmware);
    if (levels)
        for (int i = 0; i < 4; ++i)
            line += "\t" + (p.haveLevels ? std::to_string(p.levels[i]) : std::string());
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
            line += std::string(i ? "," : "") + "\"" + colours[i]
                    + "\":" + (p.haveLevels ? std::to_string(p.levels[i]) : std::string("\"\""));
        line += "}";
    }
    return line + "}";
}

} // namespace

int main(int argc, char** argv)
{
    DiscoverOptions options;
    bool v1 = false, v3 = false, asJson = false, hostGiven = false, prometheus = false;
    std::vector<std::string> oids;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i], value;
        const bool takesValue = arg == "--model-oid" || arg == "--host" || arg.rfind("--model-oid=", 0) == 0
                                || arg.rfind("--host=", 0) == 0 || arg == "--format" || arg.rfind("--format=", 0) == 0;
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
                return usageError("unknown format \"" + value + "\"");
            asJson = value == "json";
            prometheus = value == "prometheus";
        } else if (arg == "--model-oid") {
            if (oids.size() == 2)
                return usageError("at most two --model-oid");
            if (!IsTargetOid(value))
                return usageError("not a sysObjectID: \"" + value + "\"");
            oids.push_back(value);
        } else if (arg == "--host") {
            if (hostGiven || value.empty())
                return usageError(hostGiven ? "one --host at most" : "--host needs an address");
            options.host = value;
            hostGiven = true;
        } else {
            return usageError("unknown argument \"" + arg + "\"");
        }
    }
    if (v1 || v3) {
        options.v1 = v1;
        options.v3 = v3;
    }
    if (!oids.empty())
        options.modelOids = oids;

    const auto started = std::chrono::steady_clock::now();
    const std::vector<FoundPrinter> printers = DiscoverPrinters(options);
    if (prometheus) {
        const std::vector<std::string> asked = hostGiven ? std::vector<std::string>{options.host} : std::vector<std::string>{};
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
        std::fputs(metrics::PrometheusText(printers, metrics::SilentHosts(asked, printers), took.count()).c_str(), stdout);
        return printers.empty() ? kExitNoneFound : kExitFound;
    }
    for (const FoundPrinter& p : printers)
        std::puts((asJson ? jsonLine(p, options.levels) : textLine(p, options.levels)).c_str());
    return printers.empty() ? kExitNoneFound : kExitFound;
}
