#include "Discover.h"

#include "snmp/Credentials.h"
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
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// ------------------------------------------------------------- children

// A child process and the pipe it writes its lines to.
struct Child {
    pid_t pid = -1;
    int fd = -1;
    std::string pending; // bytes after the last complete line
};

// Starts work(fd) in a child that dies with us; its lines come through fd.
Child spawn(const std::function<void(int)>& work)
{
    int p[2];
    if (::pipe2(p, O_CLOEXEC) != 0)
        return {};
    std::fflush(nullptr);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(p[0]);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) // the parent died before the signal was asked for
            ::_exit(0);
        std::signal(SIGPIPE, SIG_IGN);
        work(p[1]);
        ::_exit(0);
    }
    ::close(p[1]);
    if (pid < 0) {
        ::close(p[0]);
        return {};
    }
    return {pid, p[0], {}};
}

void writeLine(int fd, std::string line)
{
    line += '\n';
    for (size_t done = 0; done < line.size();) {
        const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

void stop(Child& c)
{
    if (c.fd != -1) {
        ::kill(c.pid, SIGKILL);
        ::close(c.fd);
        c.fd = -1;
    }
    if (c.pid > 0) {
        int status;
        ::waitpid(c.pid, &status, 0);
        c.pid = -1;
    }
}

// Runs work(i, fd) for i = 0 .. count-1, each in a child, at most maxAtOnce
// at a time, and hands every complete line to onLine(i, line), until all have
// ended or the deadline passes (the ones still running are stopped then).
// Returns how many never finished.
size_t runChildren(size_t count, size_t maxAtOnce, Clock::time_point deadline,
                   const std::function<void(size_t, int)>& work,
                   const std::function<void(size_t, const std::string&)>& onLine)
{
    std::vector<Child> children(count);
    std::vector<bool> done(count, false);
    size_t next = 0, running = 0;
    for (;;) {
        while (running < maxAtOnce && next < count && Clock::now() < deadline) {
            const size_t i = next++;
            children[i] = spawn([&, i](int fd) { work(i, fd); });
            if (children[i].fd != -1)
                ++running;
            else
                done[i] = true;
        }
        std::vector<pollfd> fds;
        std::vector<size_t> owners;
        for (size_t i = 0; i < count; ++i)
            if (children[i].fd != -1) {
                fds.push_back({children[i].fd, POLLIN, 0});
                owners.push_back(i);
            }
        if (fds.empty())
            break;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            break;
        if (::poll(fds.data(), fds.size(), static_cast<int>(left)) < 0 && errno != EINTR)
            break;
        for (size_t k = 0; k < fds.size(); ++k) {
            if (fds[k].revents == 0)
                continue;
            Child& c = children[owners[k]];
            char buf[4096];
            const ssize_t n = ::read(c.fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                stop(c);
                done[owners[k]] = true;
                --running;
                continue;
            }
            c.pending.append(buf, static_cast<size_t>(n));
            for (size_t end; (end = c.pending.find('\n')) != std::string::npos;) {
                onLine(owners[k], c.pending.substr(0, end));
                c.pending.erase(0, end + 1);
            }
        }
    }
    size_t unfinished = 0;
    for (size_t i = 0; i < count; ++i) {
        stop(children[i]);
        unfinished += done[i] ? 0 : 1;
    }
    return unfinished;
}

std::vector<std::string> splitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

// A value as one field of a line between the processes: backslash, tab
// and line end escaped, so that the value comes through unchanged.
std::string field(const char* text)
{
    std::string out;
    for (const char* p = text; *p != '\0'; ++p) {
        switch (*p) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        default: out += *p;
        }
    }
    return out;
}

std::string unfield(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c;
    }
    return out;
}

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

// What one road's child found: its printers and what its listening left out.
struct RoadFindings {
    std::set<std::string> printers;   // shown addresses
    size_t overCandidates = 0;
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

const char* const kCountNames[] = {"offlink", "notasked", "datagrams", "time", "engines", "addresses",
                                   "unconfirmed", "candidates", "unsent"};

// The child's report: a line per printer ("P", address) and one of counts.
void reportFindings(int fd, const RoadFindings& found, size_t unconfirmed)
{
    for (const std::string& shown : found.printers)
        writeLine(fd, "P\t" + shown);
    const SnmpListenCounts& c = g_listenCounts;
    const long counts[] = {c.offLink, c.notAsked, c.datagramBound, c.timeBound, c.enginesBound, c.addressesBound,
                           static_cast<long>(unconfirmed), static_cast<long>(found.overCandidates), c.unsent};
    std::string line = "C";
    for (long n : counts)
        line += "\t" + std::to_string(n);
    writeLine(fd, line);
}

struct Road {
    const char* snmp;       // "v1" or "v3"
    enum { Broadcast4, Multicast6, Hosts } kind;
};

// One road in the child: the library's operation, then (v1 broadcast and
// multicast) the check of every sender at its own address.
void runRoad(const Road& road, const DiscoverOptions& o, const std::string& first, const std::string& second, int fd)
{
    CNetIO io;
    io.InitTargetOID(first.c_str(), second.c_str());
    g_listenCounts = {};
    RoadFindings found;
    std::vector<const char*> hosts;
    for (const std::string& h : o.hosts)
        hosts.push_back(h.c_str());
    const bool v1 = std::strcmp(road.snmp, "v1") == 0;
    switch (road.kind) {
    case Road::Broadcast4:
        if (v1)
            io.FindSnmpAgent(kDefaultCommunity, "255.255.255.255", kSysObjectIdOidText, collectPrinter, &found, 1);
        else
            io.FindSnmpV3Agent(kDefaultCommunity, "255.255.255.255", kSysObjectIdOidText, collectPrinter, &found, 1);
        break;
    case Road::Multicast6:
        if (v1)
            io.FindSnmpAgentV6_(kDefaultCommunity, "ff02::1", kSysObjectIdOidText, collectPrinter, &found, 1);
        else
            io.FindSnmpV3AgentV6_(kDefaultCommunity, "ff02::1", kSysObjectIdOidText, collectPrinter, &found, 1);
        break;
    case Road::Hosts:
        if (v1)
            io.FindSnmpAgentHosts(kDefaultCommunity, hosts.data(), static_cast<int>(hosts.size()),
                                  kSysObjectIdOidText, collectPrinter, &found, 1);
        else
            io.FindSnmpV3AgentHosts(hosts.data(), static_cast<int>(hosts.size()), collectPrinter, &found, 1);
        break;
    }
    // Anyone on the link may answer a broadcast in anyone's name: a v1
    // sender that was not asked by its own address counts once it answers
    // there too (from a new socket, which the broadcast did not make known).
    const std::set<std::string> asked(o.hosts.begin(), o.hosts.end());
    std::vector<const char*> candidates;
    RoadFindings sure;
    for (const std::string& shown : found.printers) {
        if (asked.count(shown) != 0)
            sure.printers.insert(shown);
        else
            candidates.push_back(shown.c_str());
    }
    size_t unconfirmed = 0;
    if (v1 && !candidates.empty()) {
        RoadFindings confirmed = sure;
        const SnmpListenCounts before = g_listenCounts;
        io.FindSnmpAgentHosts(kDefaultCommunity, candidates.data(), static_cast<int>(candidates.size()),
                              kSysObjectIdOidText, collectPrinter, &confirmed, 0);
        g_listenCounts = before;
        unconfirmed = found.printers.size() - std::min(found.printers.size(), confirmed.printers.size());
        found.printers = confirmed.printers;
    }
    reportFindings(fd, found, unconfirmed);
}

struct Found {
    std::string snmp;
    std::string bare;           // the address without a zone
    std::string interfaceName;  // for a link-local IPv6 address
};

// Phase 1: every discovery road in a child of its own. Returns the printers
// by displayed address, and adds up what was left out in counts.
std::map<std::string, Found> findAgents(const DiscoverOptions& o, Clock::time_point deadline,
                                        std::vector<long>& counts)
{
    const std::string first = o.modelOids.empty() ? kOurModelSysObjectId : o.modelOids[0];
    const std::string second = o.modelOids.size() > 1 ? o.modelOids[1] : first;
    std::vector<Road> roads;
    for (const char* snmp : {"v1", "v3"}) {
        if ((std::strcmp(snmp, "v1") == 0 && !o.v1) || (std::strcmp(snmp, "v3") == 0 && !o.v3))
            continue;
        if (o.hosts.empty()) {
            roads.push_back({snmp, Road::Broadcast4});
            roads.push_back({snmp, Road::Multicast6});
        } else {
            roads.push_back({snmp, Road::Hosts});
        }
    }
    std::map<std::string, Found> found;
    counts.assign(std::size(kCountNames), 0);
    runChildren(
        roads.size(), roads.size(), deadline, [&](size_t i, int fd) { runRoad(roads[i], o, first, second, fd); },
        [&](size_t i, const std::string& line) {
            const std::vector<std::string> f = splitTabs(line);
            if (f.size() == counts.size() + 1 && f[0] == "C") {
                for (size_t k = 0; k < counts.size(); ++k)
                    counts[k] += std::atol(f[k + 1].c_str());
                return;
            }
            if (f.size() != 2 || f[0] != "P" || f[1].empty())
                return;
            const std::string& shown = f[1];
            auto at = found.find(shown);
            if (at == found.end()) {
                if (found.size() >= kMaxCandidates) {
                    ++counts[7];
                    return;
                }
                const size_t pct = shown.find('%');
                at = found.emplace(shown, Found{roads[i].snmp, shown.substr(0, pct),
                                                pct == std::string::npos ? "" : shown.substr(pct + 1)})
                         .first;
            } else if (std::strcmp(roads[i].snmp, "v1") == 0) {
                at->second.snmp = "v1"; // the cheaper version to ask further
            }
        });
    return found;
}

// ---------------------------------------------- phase 2: asking each printer

// In the child: everything about one printer, as one line.
std::string describe(const Found& agent, bool withLevels)
{
    if (!agent.interfaceName.empty()) {
        scope_id = static_cast<int>(::if_nametoindex(agent.interfaceName.c_str()));
        std::snprintf(g_ifsName, sizeof g_ifsName, "%%%s", agent.interfaceName.c_str());
    }
    const char* host = agent.bare.c_str();
    const bool v1 = agent.snmp == "v1";
    FoundPrinter info;
    ReadPrinterInfo(host, v1, info);
    std::string line = field(info.name.c_str()) + "\t" + field(info.firmware.c_str()) + "\t"
                       + field(info.mcuFirmware.c_str());
    if (withLevels) {
        PRINTER_STATUS status{};
        if ((v1 && NetworkReadStatus(kDefaultCommunity, host, &status))
            || NetworkReadStatusSNMPv3(kDefaultCommunity, host, &status))
            for (int i = 0; i < 4; ++i) {
                // A level over 100 is the printer saying it does not know.
                const int level = status.bytes[i] & 0x7f;
                line += "\t" + std::to_string(level <= 100 ? level : -1);
            }
    }
    return line;
}

void note(DiscoverSummary* summary, bool bound, long n, const std::string& text)
{
    if (summary != nullptr && n > 0)
        summary->notes.push_back({bound, std::to_string(n) + " " + text});
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

std::vector<FoundPrinter> DiscoverPrinters(const DiscoverOptions& options,
                                           const std::function<void(const FoundPrinter&)>& onPrinter,
                                           DiscoverSummary* summary)
{
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline =
        start + std::chrono::milliseconds(static_cast<long>(options.timeLimitSeconds * 1000));
    std::vector<long> counts;
    const std::map<std::string, Found> found = findAgents(options, deadline, counts);

    std::vector<FoundPrinter> printers;
    std::vector<const Found*> agents;
    for (const auto& [shown, agent] : found) {
        FoundPrinter p;
        p.address = shown;
        p.snmp = agent.snmp;
        printers.push_back(p);
        agents.push_back(&agent);
    }
    std::vector<bool> told(printers.size(), false);
    const size_t unfinished = runChildren(
        printers.size(), kMaxDetailChildren, deadline,
        [&](size_t i, int fd) { writeLine(fd, describe(*agents[i], options.levels)); },
        [&](size_t i, const std::string& line) {
            const std::vector<std::string> f = splitTabs(line);
            FoundPrinter& p = printers[i];
            told[i] = true;
            if (f.size() >= 3) {
                p.name = unfield(f[0]);
                p.firmware = unfield(f[1]);
                p.mcuFirmware = unfield(f[2]);
            }
            if (f.size() == 7) {
                p.haveLevels = true;
                for (int k = 0; k < 4; ++k)
                    p.levels[k] = std::atoi(f[3 + static_cast<size_t>(k)].c_str());
            }
            if (onPrinter)
                onPrinter(p);
        });
    // Printers whose questions ran out of time are still printers.
    for (size_t i = 0; i < printers.size(); ++i)
        if (!told[i] && onPrinter)
            onPrinter(printers[i]);
    std::sort(printers.begin(), printers.end(),
              [](const FoundPrinter& a, const FoundPrinter& b) { return sortKey(a.address) < sortKey(b.address); });

    if (summary != nullptr) {
        std::set<std::string> answered;
        for (const FoundPrinter& p : printers)
            answered.insert(p.address);
        for (const std::string& host : options.hosts)
            if (answered.count(host) == 0)
                summary->silentHosts.push_back(host);
        note(summary, false, counts[0], "answers ignored: not from the link they came in by");
        note(summary, false, counts[1], "answers ignored: not from the address asked");
        note(summary, false, counts[6], "answers ignored: no answer again at their own address");
        note(summary, true, counts[7], "answers ignored: more than " + std::to_string(kMaxCandidates)
                                           + " printers in one scan");
        note(summary, true, counts[4], "answers ignored: more than " + std::to_string(kDiscoveryMaxEngines)
                                           + " SNMPv3 engines waiting");
        note(summary, true, counts[2], "listening loops stopped at " + std::to_string(kListenMaxDatagrams)
                                           + " datagrams; later answers ignored");
        note(summary, true, counts[3], "listening loops stopped after " + std::to_string(kListenLimitMs)
                                           + " ms; later answers ignored");
        note(summary, true, counts[5], "local addresses or hosts not used: more than the bound of one scan");
        note(summary, true, counts[8], "questions to hosts not sent: no room in the send queue (many addresses "
                                       "on the link that nobody answers for)");
        note(summary, true, static_cast<long>(unfinished),
             "printers listed without their information: the time limit was reached");
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
