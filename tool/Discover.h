// Finding the printers of our model on the local networks, or at the hosts
// an administrator lists, with their names, firmware versions and (when
// asked) toner levels: what levelwatch-discover and the CUPS backend
// snmp-discover show.
//
// The library keeps each thread's state apart, so the roads run side by
// side in one process: the broadcast and multicast roads (SNMP v1 and
// SNMPv3; IPv4 broadcast and IPv6 all-nodes multicast) each on a thread of
// its own, listening on all the machine's addresses at once; then every
// printer they found, or every host asked, is asked for its information
// (and levels) at once by the fleet road (snmp/Fleet.h), one request each.
//
// Bounds, whatever the network sends: the library's listening bounds
// (NetIO.h: 2.5 s, 4096 datagrams per operation, 256 SNMPv3 engines
// waiting), at most kMaxCandidates printers per scan, the fleet road's
// bounds (Fleet.h: 65,536 hosts, a deadline per host, datagrams per host),
// and the caller's time limit, which also shortens the fleet road's
// deadline. A v1 answer to a broadcast or multicast is not authenticated, so
// its sender is listed only after it answered again when asked at its own
// address (a forged answer names an address that does not); an SNMPv3
// answer proves itself with the printers' keys. What is left out is said in
// the summary's notes.
#pragma once

#include "Utf8.h"

#include <functional>
#include <string>
#include <vector>

// The sysObjectID of our model (Corvane 5170), the default target.
inline constexpr const char* kOurModelSysObjectId = "1.3.6.1.4.1.41873.1.5170";

inline constexpr size_t kMaxCandidates = 256;

struct DiscoverOptions {
    bool v1 = true;
    bool v3 = true;
    std::vector<std::string> modelOids = {kOurModelSysObjectId}; // one or two
    // Numeric addresses to ask (an IPv6 link-local one as "fe80::1%eth0");
    // empty: broadcast and multicast from every local address.
    std::vector<std::string> hosts;
    // The SNMPv3 credential set named for each host (parallel to hosts; a
    // missing or empty name: each set in turn).
    std::vector<std::string> hostCredentials;
    bool levels = false;     // also read the toner levels
    double timeLimitSeconds = 30; // the broadcast roads end by their bounds; the hosts' deadline shrinks to fit
};

struct FoundPrinter {
    std::string address;     // numeric; an IPv6 link-local one carries "%interface"
    std::string snmp;        // "v1" or "v3": the version that answered (v1 when both did)
    std::string name, firmware, mcuFirmware; // empty when the printer did not tell
    bool haveLevels = false;
    int levels[4] = {0, 0, 0, 0}; // black, cyan, magenta, yellow (percent); -1: the printer does not know
};

// What a run left out or could not do, for standard error.
struct DiscoverNote {
    bool bound;              // a bound was reached (else: answers judged false)
    std::string text;        // e.g. "12 answers ignored: not from the link they came in by"
    std::string reason = {}; // a short key for the metric ("offlink", "unsent", ...)
    long count = 0;          // how many
};

struct DiscoverSummary {
    std::vector<std::string> silentHosts; // hosts asked that gave no printer of ours
    std::vector<DiscoverNote> notes;
    double seconds = 0;                   // the run's wall time
};

// Runs the discovery; calls onPrinter (when given) for each printer as soon
// as its information is in, and returns them all, IPv4 before IPv6, each in
// address order. Each address is listed once. summary (may be null)
// receives what was left out.
std::vector<FoundPrinter> DiscoverPrinters(const DiscoverOptions& options,
                                           const std::function<void(const FoundPrinter&)>& onPrinter = {},
                                           DiscoverSummary* summary = nullptr);

struct FleetAnswer;
// The fleet road's answer about a printer into p: the version, name and
// firmware versions, and the levels when withLevels and the printer told them.
void CopyFleetAnswer(const FleetAnswer& answer, bool withLevels, FoundPrinter& p);

// The printer's name and firmware versions into printer, asked at host (a
// numeric address; an IPv6 link-local one takes scope_id as its scope) over
// SNMP v1 (three reads) or SNMPv3 (one exchange). What the printer does not
// tell stays empty.
void ReadPrinterInfo(const char* host, bool v1, FoundPrinter& printer);

// True when text is an OID that can be a target (dotted decimal that encodes
// to at most 32 bytes).
bool IsTargetOid(const std::string& text);

// The address as a URI host: IPv6 in brackets, a zone percent-encoded after
// "%25" (RFC 6874).
std::string UriHost(const std::string& address);

// ---- hosts to ask ----

// One host as given (on the command line, or a line of a hosts file).
struct HostEntry {
    std::string text;
    int line = 0;            // its line in the hosts file; 0 on the command line
    std::string file;        // the hosts file ("" on the command line)
    std::string credentials; // the SNMPv3 credential set to present (FindSnmpV3Credentials); "": each in turn
};

// Reads a hosts file: one address or name per line, optionally followed by
// the name of the SNMPv3 credential set its printer takes ("192.0.2.20 lab"),
// "#" starts a comment, blank lines are skipped. A line that holds anything
// else (three words, a set the credentials file does not hold, a character no
// address or name has, over 255 bytes) goes to `rejected` with the reason. False, with the reason in error, when the file cannot be read.
bool ReadHostsFile(const std::string& path, std::vector<HostEntry>& hosts, std::vector<std::string>& rejected,
                   std::string& error);
// The same on the file's bytes.
void ParseHostsText(const std::string& text, std::vector<HostEntry>& hosts, std::vector<std::string>& rejected);

struct ResolvedHost {
    HostEntry entry;
    std::string address;     // numeric (an IPv6 link-local one with "%interface"); empty on error
    std::string error;       // why it has no address
};
// Resolves every entry side by side: a numeric address (with a zone that
// names an interface of this machine) as it is, a name through the system's
// resolver, waiting at most timeoutSeconds for all names together.
std::vector<ResolvedHost> ResolveHosts(const std::vector<HostEntry>& entries, double timeoutSeconds);
