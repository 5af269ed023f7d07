#include "Discover.h"

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
#include <map>
#include <net/if.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

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
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(p[0]);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
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

// Reads the children's lines until every child has ended, or stops the
// ones still running at the deadline. onLine gets the child's position and
// each complete line.
void collect(std::vector<Child>& children, Clock::time_point deadline,
             const std::function<void(size_t, const std::string&)>& onLine)
{
    for (;;) {
        std::vector<pollfd> fds;
        std::vector<size_t> owners;
        for (size_t i = 0; i < children.size(); ++i)
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
                ::close(c.fd);
                c.fd = -1;
                continue;
            }
            c.pending.append(buf, static_cast<size_t>(n));
            for (size_t end; (end = c.pending.find('\n')) != std::string::npos;) {
                onLine(owners[k], c.pending.substr(0, end));
                c.pending.erase(0, end + 1);
            }
        }
    }
    for (Child& c : children) {
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

bool reportToPipe(const char* address, const char* interfaceName, void* user)
{
    writeLine(*static_cast<int*>(user), std::string(address) + "\t" + (interfaceName ? interfaceName : ""));
    return true;
}

struct Found {
    std::string snmp;
    std::string bare;           // the address without a zone
    std::string interfaceName;  // for a link-local IPv6 address
};

// Phase 1: every discovery road in a child of its own. Returns the printers
// by displayed address.
std::map<std::string, Found> findAgents(const DiscoverOptions& o, Clock::time_point deadline)
{
    const std::string first = o.modelOids.empty() ? kOurModelSysObjectId : o.modelOids[0];
    const std::string second = o.modelOids.size() > 1 ? o.modelOids[1] : first;
    struct Road {
        const char* snmp;
        const char* host;
        bool (CNetIO::*find)(const char*, const char*, const char*, SNMP_AGENT_CALLBACK, void*, int);
    };
    std::vector<Road> roads;
    const char* host = o.host.c_str();
    if (o.v1) {
        if (o.host.empty()) {
            roads.push_back({"v1", "255.255.255.255", &CNetIO::FindSnmpAgent});
            roads.push_back({"v1", "ff02::1", &CNetIO::FindSnmpAgentV6_});
        } else {
            roads.push_back({"v1", host, &CNetIO::FindSnmpAgent});
        }
    }
    if (o.v3) {
        if (o.host.empty()) {
            roads.push_back({"v3", "255.255.255.255", &CNetIO::FindSnmpV3Agent});
            roads.push_back({"v3", "ff02::1", &CNetIO::FindSnmpV3AgentV6_});
        } else {
            roads.push_back({"v3", host, &CNetIO::FindSnmpV3Agent});
        }
    }
    std::vector<Child> children;
    for (const Road& road : roads)
        children.push_back(spawn([&](int fd) {
            CNetIO io;
            io.InitTargetOID(first.c_str(), second.c_str());
            (io.*road.find)(kDefaultCommunity, road.host, kSysObjectIdOidText, reportToPipe, &fd, 1);
        }));

    std::map<std::string, Found> found;
    collect(children, deadline, [&](size_t i, const std::string& line) {
        const std::vector<std::string> f = splitTabs(line);
        if (f.size() != 2 || f[0].empty())
            return;
        Found agent{roads[i].snmp, f[0], ""};
        std::string shown = f[0];
        if (isLinkLocal6(f[0]) && !f[1].empty()) {
            agent.interfaceName = f[1];
            shown += "%" + f[1];
        }
        auto [at, added] = found.emplace(shown, agent);
        if (!added && agent.snmp == "v1")
            at->second.snmp = "v1"; // the cheaper version to ask further
    });
    return found;
}

// Phase 2, in the child: everything about one printer, as one line.
std::string describe(const Found& agent, bool withLevels)
{
    if (!agent.interfaceName.empty()) {
        scope_id = static_cast<int>(::if_nametoindex(agent.interfaceName.c_str()));
        std::snprintf(g_ifsName, sizeof g_ifsName, "%%%s", agent.interfaceName.c_str());
    }
    const char* host = agent.bare.c_str();
    CNetIO io;
    char name[DEVICE_INFO_TEXT_SIZE] = "", firmware[DEVICE_INFO_TEXT_SIZE] = "", mcu[DEVICE_INFO_TEXT_SIZE] = "";
    const bool v1 = agent.snmp == "v1";
    if (v1) {
        io.TesselNetworkGetPrinterName(host, 0, name, 0);
        io.TesselNetworkGetFwVersion(host, 0, firmware, 0);
        io.TesselNetworkGetFwMCUVersion(host, 0, mcu, 0);
    } else {
        io.TesselNetworkGetNameAndFwAndMCUVersion(host, name, firmware, mcu, 0);
    }
    std::string line = field(name) + "\t" + field(firmware) + "\t" + field(mcu);
    if (withLevels) {
        PRINTER_STATUS status{};
        if ((v1 && NetworkReadStatus(kDefaultCommunity, host, &status))
            || NetworkReadStatusSNMPv3(kDefaultCommunity, host, &status))
            for (int i = 0; i < 4; ++i)
                line += "\t" + std::to_string(status.bytes[i] & 0x7f);
    }
    return line;
}

} // namespace

bool IsTargetOid(const std::string& text)
{
    unsigned char encoded[OID_FIELD_SIZE];
    return CNetIO::oidEncode(text.c_str(), encoded, sizeof encoded) > 0;
}

std::string UriHost(const std::string& address)
{
    if (address.find(':') == std::string::npos)
        return address;
    std::string zoned = address;
    if (const size_t pct = zoned.find('%'); pct != std::string::npos)
        zoned.replace(pct, 1, "%25");
    return "[" + zoned + "]";
}

std::vector<FoundPrinter> DiscoverPrinters(const DiscoverOptions& options,
                                           const std::function<void(const FoundPrinter&)>& onPrinter)
{
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(static_cast<long>(options.timeLimitSeconds * 1000));
    const std::map<std::string, Found> found = findAgents(options, deadline);

    std::vector<FoundPrinter> printers;
    std::vector<Child> children;
    for (const auto& [shown, agent] : found) {
        FoundPrinter p;
        p.address = shown;
        p.snmp = agent.snmp;
        printers.push_back(p);
        children.push_back(spawn([&, a = agent](int fd) { writeLine(fd, describe(a, options.levels)); }));
    }
    std::vector<bool> told(printers.size(), false);
    collect(children, deadline, [&](size_t i, const std::string& line) {
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
                p.levels[k] = std::atoi(f[3 + k].c_str());
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
    return printers;
}
