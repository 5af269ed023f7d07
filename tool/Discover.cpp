#include "Discover.h"

#include "snmp/Credentials.h"
#include "snmp/Fleet.h"
#include "snmp/NetIO.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <net/if.h>
#include <netdb.h>
#include <poll.h>
#include <set>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

bool isLinkLocal6(const std::string& address)
{
    in6_addr a{};
    return ::inet_pton(AF_INET6, address.c_str(), &a) == 1 && IN6_IS_ADDR_LINKLOCAL(&a);
}

// Sort key: IPv4 before IPv6, then the address bytes, then the zone.
std::string sortKey(const std::string& address)
{
    const std::string bare = address.substr(0, address.find('%'));
    unsigned char bytes[16] = {};
    if (::inet_pton(AF_INET, bare.c_str(), bytes) == 1)
        return std::string(1, '4') + std::string(reinterpret_cast<char*>(bytes), 4);
    ::inet_pton(AF_INET6, bare.c_str(), bytes);
    return std::string(1, '6') + std::string(reinterpret_cast<char*>(bytes), 16) + address;
}

// The address as shown: a link-local IPv6 one with its interface.
std::string shownAddress(const std::string& address, const char* interfaceName)
{
    if (interfaceName != nullptr && interfaceName[0] != '\0' && isLinkLocal6(address))
        return address + "%" + interfaceName;
    return address;
}

// ------------------------------------------------- phase 1: finding agents

// What one road found: its printers and what its listening left out.
struct RoadFindings {
    std::set<std::string> printers;   // shown addresses
    size_t overCandidates = 0;
    SnmpListenCounts counts{};
};

bool collectPrinter(const char* address, const char* interfaceName, void* user)
{
    auto& found = *static_cast<RoadFindings*>(user);
    const std::string shown = shownAddress(address, interfaceName);
    if (found.printers.count(shown) == 0 && found.printers.size() >= kMaxCandidates)
        ++found.overCandidates;
    else
        found.printers.insert(shown);
    return true;
}

struct Road {
    bool v1;
    bool multicast6; // else IPv4 broadcast
};

// One broadcast or multicast road, on the calling thread (the library keeps
// each thread's state apart).
void runRoad(const Road& road, const std::string& first, const std::string& second, RoadFindings& found)
{
    CNetIO io;
    io.InitTargetOID(first.c_str(), second.c_str());
    (void)TakeListenCounts();
    const char* to = road.multicast6 ? "ff02::1" : "255.255.255.255";
    if (road.v1 && road.multicast6)
        io.FindSnmpAgentV6_(kDefaultCommunity, to, kSysObjectIdOidText, collectPrinter, &found, 1);
    else if (road.v1)
        io.FindSnmpAgent(kDefaultCommunity, to, kSysObjectIdOidText, collectPrinter, &found, 1);
    else if (road.multicast6)
        io.FindSnmpV3AgentV6_(kDefaultCommunity, to, kSysObjectIdOidText, collectPrinter, &found, 1);
    else
        io.FindSnmpV3Agent(kDefaultCommunity, to, kSysObjectIdOidText, collectPrinter, &found, 1);
    found.counts = TakeListenCounts();
}

// A candidate: whether an authenticated (SNMPv3) answer named it.
struct Candidate {
    bool v3 = false;
};

// Every broadcast and multicast road on a thread of its own, side by side.
// Returns the candidates by shown address, and adds up what was left out.
std::map<std::string, Candidate> findAgents(const DiscoverOptions& o, SnmpListenCounts& counts, long& overCandidates)
{
    const std::string first = o.modelOids.empty() ? kOurModelSysObjectId : o.modelOids[0];
    const std::string second = o.modelOids.size() > 1 ? o.modelOids[1] : first;
    std::vector<Road> roads;
    for (const bool v1 : {true, false})
        if ((v1 && o.v1) || (!v1 && o.v3))
            for (const bool multicast6 : {false, true})
                roads.push_back({v1, multicast6});
    std::vector<RoadFindings> findings(roads.size());
    std::vector<std::thread> threads;
    for (size_t i = 0; i < roads.size(); ++i)
        threads.emplace_back([&, i] { runRoad(roads[i], first, second, findings[i]); });
    for (std::thread& t : threads)
        t.join();
    std::map<std::string, Candidate> found;
    for (size_t i = 0; i < roads.size(); ++i) {
        const SnmpListenCounts& c = findings[i].counts;
        counts.offLink += c.offLink;
        counts.notAsked += c.notAsked;
        counts.datagramBound += c.datagramBound;
        counts.timeBound += c.timeBound;
        counts.enginesBound += c.enginesBound;
        counts.addressesBound += c.addressesBound;
        counts.unsent += c.unsent;
        overCandidates += static_cast<long>(findings[i].overCandidates);
        for (const std::string& shown : findings[i].printers) {
            auto at = found.find(shown);
            if (at == found.end()) {
                if (found.size() >= kMaxCandidates) {
                    ++overCandidates;
                    continue;
                }
                at = found.emplace(shown, Candidate{}).first;
            }
            at->second.v3 = at->second.v3 || !roads[i].v1;
        }
    }
    return found;
}

// ------------------------------------ phase 2: every printer asked at once

// Whether the sysObjectID the printer told is one of the models asked (the
// match of discovery).
bool isModel(const std::string& sysObjectId, const DiscoverOptions& o)
{
    CNetIO io;
    const std::string first = o.modelOids.empty() ? kOurModelSysObjectId : o.modelOids[0];
    io.InitTargetOID(first.c_str(), (o.modelOids.size() > 1 ? o.modelOids[1] : first).c_str());
    unsigned char encoded[OID_FIELD_SIZE];
    const int n = CNetIO::oidEncode(sysObjectId.c_str(), encoded, sizeof encoded);
    return n > 0 && io.MatchesTargetOID(encoded, n);
}

void note(DiscoverSummary* summary, bool bound, long n, const std::string& reason, const std::string& text)
{
    if (summary != nullptr && n > 0)
        summary->notes.push_back({bound, std::to_string(n) + " " + text, reason, n});
}

} // namespace

void ReadPrinterInfo(const char* host, bool v1, FoundPrinter& printer)
{
    char name[DEVICE_INFO_TEXT_SIZE] = "", firmware[DEVICE_INFO_TEXT_SIZE] = "", mcu[DEVICE_INFO_TEXT_SIZE] = "";
    CNetIO io;
    if (v1) {
        io.TesselNetworkGetPrinterName(host, 0, name, 0);
        io.TesselNetworkGetFwVersion(host, 0, firmware, 0);
        io.TesselNetworkGetFwMCUVersion(host, 0, mcu, 0);
    } else {
        io.TesselNetworkGetNameAndFwAndMCUVersion(host, name, firmware, mcu, 0);
    }
    printer.name = name;
    printer.firmware = firmware;
    printer.mcuFirmware = mcu;
}

bool IsTargetOid(const std::string& text)
{
    unsigned char encoded[OID_FIELD_SIZE];
    return CNetIO::oidEncode(text.c_str(), encoded, sizeof encoded) > 0;
}

std::string UriHost(const std::string& address)
{
    if (address.find(':') == std::string::npos)
        return address;
    const size_t pct = address.find('%');
    if (pct == std::string::npos)
        return "[" + address + "]";
    // RFC 6874: the zone after "%25", every byte but the unreserved ones encoded.
    std::string zone;
    for (const unsigned char c : address.substr(pct + 1)) {
        if (std::isalnum(c) != 0 || c == '-' || c == '.' || c == '_' || c == '~') {
            zone += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            zone += hex;
        }
    }
    return "[" + address.substr(0, pct) + "%25" + zone + "]";
}

void CopyFleetAnswer(const FleetAnswer& a, bool withLevels, FoundPrinter& p)
{
    p.snmp = a.snmp;
    p.name = a.name;
    p.firmware = a.firmware;
    p.mcuFirmware = a.mcuFirmware;
    if (withLevels && a.haveLevels) {
        p.haveLevels = true;
        std::copy(a.levels, a.levels + 4, p.levels);
    }
}

std::vector<FoundPrinter> DiscoverPrinters(const DiscoverOptions& options,
                                           const std::function<void(const FoundPrinter&)>& onPrinter,
                                           DiscoverSummary* summary)
{
    const Clock::time_point start = Clock::now();
    SnmpListenCounts counts{};
    long overCandidates = 0, unconfirmed = 0;

    // The printers to ask: the hosts given, or what broadcast and multicast found.
    std::vector<std::string> addresses = options.hosts;
    std::vector<bool> authenticated(addresses.size(), false);
    if (options.hosts.empty())
        for (const auto& [shown, candidate] : findAgents(options, counts, overCandidates)) {
            addresses.push_back(shown);
            authenticated.push_back(candidate.v3);
        }

    std::vector<FleetHost> hosts(addresses.size());
    for (size_t i = 0; i < addresses.size(); ++i) {
        hosts[i].address = addresses[i];
        if (i < options.hostCredentials.size() && !options.hostCredentials[i].empty())
            if (const SnmpV3Credentials* set = FindSnmpV3Credentials(options.hostCredentials[i]))
                hosts[i].credentials = {set};
    }
    FleetOptions fleetOptions;
    fleetOptions.v1 = options.v1;
    fleetOptions.v3 = options.v3;
    const double left = options.timeLimitSeconds - std::chrono::duration<double>(Clock::now() - start).count();
    fleetOptions.deadlineSeconds = std::max(0.1, std::min(kFleetHostDeadlineSeconds, left));
    FleetCounts fleet;
    const std::vector<FleetAnswer> answers = QueryFleet(hosts, fleetOptions, &fleet);

    // A printer is one that told our model when asked at its own address; a
    // broadcast's SNMPv3 answer proved itself already, so such a printer is
    // listed even when it does not answer again.
    std::vector<FoundPrinter> printers;
    for (size_t i = 0; i < answers.size(); ++i) {
        const FleetAnswer& a = answers[i];
        FoundPrinter p;
        p.address = addresses[i];
        if (a.up && isModel(a.sysObjectId, options)) {
            CopyFleetAnswer(a, options.levels, p);
        } else if (authenticated[i]) {
            p.snmp = "v3";
        } else {
            if (options.hosts.empty())
                ++unconfirmed;
            continue;
        }
        printers.push_back(p);
        if (onPrinter)
            onPrinter(p);
    }
    std::sort(printers.begin(), printers.end(),
              [](const FoundPrinter& a, const FoundPrinter& b) { return sortKey(a.address) < sortKey(b.address); });

    if (summary != nullptr) {
        std::set<std::string> answered;
        for (const FoundPrinter& p : printers)
            answered.insert(p.address);
        for (const std::string& host : options.hosts)
            if (answered.count(host) == 0)
                summary->silentHosts.push_back(host);
        note(summary, false, counts.offLink, "offlink", "answers ignored: not from the link they came in by");
        note(summary, false, counts.notAsked + fleet.forged, "notasked", "answers ignored: not from the address asked");
        note(summary, false, unconfirmed, "unconfirmed", "answers ignored: no answer again at their own address");
        note(summary, false, fleet.unmatched + fleet.unauthenticated, "unmatched",
             "answers ignored: no answer to the question asked (request id, shape or SNMPv3 authentication)");
        note(summary, true, overCandidates, "candidates",
             "answers ignored: more than " + std::to_string(kMaxCandidates) + " printers in one scan");
        note(summary, true, counts.enginesBound, "engines",
             "answers ignored: more than " + std::to_string(kDiscoveryMaxEngines) + " SNMPv3 engines waiting");
        note(summary, true, fleet.enginesBound, "host_engines",
             "SNMPv3 reports not followed: more than " + std::to_string(kFleetMaxEnginesPerHost)
                 + " engines or " + std::to_string(kFleetMaxTriesPerHost) + " requests for one host");
        note(summary, true, counts.datagramBound, "datagrams",
             "listening loops stopped at " + std::to_string(kListenMaxDatagrams) + " datagrams; later answers ignored");
        note(summary, true, fleet.datagramBound, "host_datagrams",
             "datagrams ignored: more than " + std::to_string(kFleetDatagramsPerHost) + " from one host");
        note(summary, true, counts.timeBound, "time",
             "listening loops stopped after " + std::to_string(kListenLimitMs) + " ms; later answers ignored");
        note(summary, true, counts.addressesBound, "addresses",
             "local addresses or hosts not used: more than the bound of one scan");
        note(summary, true, fleet.overHosts, "hosts",
             "hosts not asked: more than " + std::to_string(kFleetMaxHosts) + " in one run");
        note(summary, true, counts.unsent + fleet.unsent, "unsent",
             "questions to hosts not sent: no room in the send queue or no route (many addresses on the link "
             "that nobody answers for)");
        summary->seconds = std::chrono::duration<double>(Clock::now() - start).count();
    }
    return printers;
}

// ------------------------------------------------------------ hosts to ask

namespace {

constexpr size_t kHostLineMax = 255;

// Letters, digits, '-', '.', '_' (names), ':' and '%' (IPv6 addresses and zones).
bool hostCharacters(const std::string& text)
{
    for (const unsigned char c : text)
        if (std::isalnum(c) == 0 && c != '-' && c != '.' && c != '_' && c != ':' && c != '%')
            return false;
    return true;
}

std::string trimmed(const std::string& s)
{
    const size_t a = s.find_first_not_of(" \t\r\f\v");
    if (a == std::string::npos)
        return "";
    return s.substr(a, s.find_last_not_of(" \t\r\f\v") - a + 1);
}

void hostLine(const std::string& host, const std::string& set, const std::string& where, int number,
              std::vector<HostEntry>& hosts, std::vector<std::string>& rejected)
{
    if (!hostCharacters(host))
        rejected.push_back(where + "\"" + ValidUtf8(host) + "\" is neither an address nor a name");
    else
        hosts.push_back({host, number, "", set});
}

} // namespace

void ParseHostsText(const std::string& text, std::vector<HostEntry>& hosts, std::vector<std::string>& rejected)
{
    int number = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (const size_t hash = line.find('#'); hash != std::string::npos)
            line.resize(hash);
        line = trimmed(line);
        if (line.empty())
            continue;
        const std::string where = "line " + std::to_string(number) + ": ";
        if (line.size() > kHostLineMax)
            rejected.push_back(where + "longer than " + std::to_string(kHostLineMax) + " bytes");
        else if (const size_t gap = line.find_first_of(" \t"); gap == std::string::npos)
            hostLine(line, "", where, number, hosts, rejected);
        else if (const std::string set = trimmed(line.substr(gap)); set.find_first_of(" \t") != std::string::npos)
            rejected.push_back(where + "\"" + ValidUtf8(line) + "\" is more than an address or name and a "
                                       "credential set");
        else if (set.empty() || FindSnmpV3Credentials(set) == nullptr)
            rejected.push_back(where + "\"" + ValidUtf8(set) + "\" is no credential set of "
                               + (SnmpV3CredentialsFile().empty() ? std::string(kSnmpV3CredentialsPath)
                                                                  : SnmpV3CredentialsFile()));
        else
            hostLine(line.substr(0, gap), set, where, number, hosts, rejected);
    }
}

bool ReadHostsFile(const std::string& path, std::vector<HostEntry>& hosts, std::vector<std::string>& rejected,
                   std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    // A hosts file names at most kDiscoveryMaxHosts hosts in lines of at
    // most 255 bytes: reading stops well past that.
    constexpr size_t kMaxBytes = static_cast<size_t>(kDiscoveryMaxHosts) * 300;
    std::string text(kMaxBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    text.resize(static_cast<size_t>(in.gcount()));
    if (text.size() > kMaxBytes) {
        error = path + " is larger than " + std::to_string(kMaxBytes) + " bytes";
        return false;
    }
    const size_t before = hosts.size();
    ParseHostsText(text, hosts, rejected);
    for (size_t i = before; i < hosts.size(); ++i)
        hosts[i].file = path;
    return true;
}

namespace {

// The numeric text of a resolved address; a link-local IPv6 one with its
// interface's name as the zone.
std::string numericText(const sockaddr* a, std::string& error)
{
    char text[INET6_ADDRSTRLEN] = "";
    if (a->sa_family == AF_INET) {
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(a)->sin_addr, text, sizeof text);
        return text;
    }
    const auto* a6 = reinterpret_cast<const sockaddr_in6*>(a);
    ::inet_ntop(AF_INET6, &a6->sin6_addr, text, sizeof text);
    if (!IN6_IS_ADDR_LINKLOCAL(&a6->sin6_addr))
        return text;
    char name[IF_NAMESIZE] = "";
    if (a6->sin6_scope_id == 0 || ::if_indextoname(a6->sin6_scope_id, name) == nullptr) {
        error = "a link-local address needs the interface to ask by (fe80::1%eth0)";
        return "";
    }
    return std::string(text) + "%" + name;
}

} // namespace

namespace {

// The names' lookups, in a child process: each answer is written to `out` as
// it comes, one line "INDEX A ADDRESS" or "INDEX E REASON".
[[noreturn]] void lookUpNames(const std::vector<HostEntry>& entries, const std::vector<size_t>& names, int out)
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_ADDRCONFIG;
    std::vector<gaicb> requests(names.size());
    std::vector<gaicb*> list;
    for (size_t k = 0; k < names.size(); ++k) {
        requests[k].ar_name = entries[names[k]].text.c_str();
        requests[k].ar_request = &hints;
        list.push_back(&requests[k]);
    }
    if (::getaddrinfo_a(GAI_NOWAIT, list.data(), static_cast<int>(list.size()), nullptr) != 0)
        ::_exit(1);
    std::vector<const gaicb*> waiting(list.begin(), list.end());
    while (!waiting.empty()) {
        ::gai_suspend(waiting.data(), static_cast<int>(waiting.size()), nullptr);
        for (size_t w = 0; w < waiting.size();) {
            const gaicb* r = waiting[w];
            const int rc = ::gai_error(const_cast<gaicb*>(r));
            if (rc == EAI_INPROGRESS) {
                ++w;
                continue;
            }
            std::string error, line = std::to_string(names[static_cast<size_t>(r - requests.data())]);
            if (rc != 0 || r->ar_result == nullptr)
                error = std::string("does not resolve (") + ::gai_strerror(rc) + ")";
            const std::string address = error.empty() ? numericText(r->ar_result->ai_addr, error) : "";
            line += address.empty() ? " E " + error : " A " + address;
            line += '\n';
            if (::write(out, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
                ::_exit(1);
            waiting.erase(waiting.begin() + static_cast<long>(w));
        }
    }
    ::_exit(0);
}

} // namespace

std::vector<ResolvedHost> ResolveHosts(const std::vector<HostEntry>& entries, double timeoutSeconds)
{
    std::vector<ResolvedHost> out(entries.size());
    std::vector<size_t> names;
    for (size_t i = 0; i < entries.size(); ++i) {
        out[i].entry = entries[i];
        addrinfo hints{};
        hints.ai_socktype = SOCK_DGRAM;
        hints.ai_flags = AI_NUMERICHOST;
        addrinfo* res = nullptr;
        const int rc = ::getaddrinfo(entries[i].text.c_str(), nullptr, &hints, &res);
        if (rc == 0 && res != nullptr) {
            out[i].address = numericText(res->ai_addr, out[i].error);
            ::freeaddrinfo(res);
            continue;
        }
        if (entries[i].text.find_first_of(":%") != std::string::npos) {
            out[i].error = "not an address (or its zone is no interface of this machine)";
            continue;
        }
        out[i].error = "does not resolve (no answer from the resolver in time)";
        names.push_back(i);
    }
    if (names.empty())
        return out;
    // The resolver may not give up (gai_cancel cannot stop a lookup under
    // way): the lookups run in a child process, killed at the deadline.
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(static_cast<long>(timeoutSeconds * 1000));
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        for (const size_t i : names)
            out[i].error = "the resolver cannot be asked";
        return out;
    }
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        (void)::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(1);
        lookUpNames(entries, names, fds[1]);
    }
    ::close(fds[1]);
    if (child < 0) {
        ::close(fds[0]);
        for (const size_t i : names)
            out[i].error = "the resolver cannot be asked";
        return out;
    }
    std::string pending;
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{fds[0], POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) == 0)
            break;
        const ssize_t got = ::read(fds[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        pending.append(buffer, static_cast<size_t>(got));
        for (size_t nl; (nl = pending.find('\n')) != std::string::npos; pending.erase(0, nl + 1)) {
            const std::string line = pending.substr(0, nl);
            char* rest = nullptr;
            const unsigned long i = std::strtoul(line.c_str(), &rest, 10);
            if (i >= out.size() || rest == nullptr || std::strlen(rest) < 3)
                continue;
            (rest[1] == 'A' ? out[i].address : out[i].error) = rest + 3;
            if (rest[1] == 'A')
                out[i].error.clear();
        }
    }
    ::close(fds[0]);
    ::kill(child, SIGKILL);
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    return out;
}
