// Finding the printers of our model on the local networks, with their names,
// firmware versions and (when asked) toner levels: what levelwatch-discover
// and the CUPS backend snmp-discover show.
//
// The SNMP library runs one operation at a time in one process (its buffers,
// counters and IPv6 scope are process-wide), and each of its listening loops
// lasts a second after the last answer. So every discovery road (SNMP v1 and
// SNMPv3, IPv4 broadcast and IPv6 all-nodes multicast) runs in a child
// process of its own, side by side; then every printer found is asked for
// its information by a child of its own, again side by side.
#pragma once

#include <functional>
#include <string>
#include <vector>

// The sysObjectID of our model (Corvane 5170), the default target.
inline constexpr const char* kOurModelSysObjectId = "1.3.6.1.4.1.41873.1.5170";

struct DiscoverOptions {
    bool v1 = true;
    bool v3 = true;
    std::vector<std::string> modelOids = {kOurModelSysObjectId}; // one or two
    std::string host;        // empty: broadcast and multicast on every interface
    bool levels = false;     // also read the toner levels
    double timeLimitSeconds = 30; // children still running then are stopped
};

struct FoundPrinter {
    std::string address;     // numeric; an IPv6 link-local one carries "%interface"
    std::string snmp;        // "v1" or "v3": the version that answered (v1 when both did)
    std::string name, firmware, mcuFirmware; // empty when the printer did not tell
    bool haveLevels = false;
    int levels[4] = {0, 0, 0, 0}; // black, cyan, magenta, yellow (percent)
};

// Runs the discovery; calls onPrinter (when given) for each printer as soon
// as its information is in, and returns them all, IPv4 before IPv6, each in
// address order. Each address is listed once.
std::vector<FoundPrinter> DiscoverPrinters(const DiscoverOptions& options,
                                           const std::function<void(const FoundPrinter&)>& onPrinter = {});

// True when text is an OID that can be a target (dotted decimal that encodes
// to at most 32 bytes).
bool IsTargetOid(const std::string& text);

// The address as a URI host: IPv6 in brackets, a zone as "%25zone".
std::string UriHost(const std::string& address);
