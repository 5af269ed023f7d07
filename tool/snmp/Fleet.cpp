// The fleet road (Fleet.h): its requests, its answer parser and its event loop.
#include "snmp/Fleet.h"

#include "snmp/Ber.h"
#include "snmp/Exchange.h"
#include "snmp/NetIO.h"
#include "snmp/TesselCmd.h"
#include "snmp/Trace.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <deque>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>
#include <unordered_map>

using namespace ber;

namespace {

// The objects every question asks for, in this order (bit k of a mask).
constexpr int kObjectCount = 5;
constexpr unsigned kAllObjects = (1u << kObjectCount) - 1;
const char* const kObjects[kObjectCount] = {kSysObjectIdOidText, kSysNameOidText, kFwVersionOidText,
                                            kMcuVersionOidText, kDeviceIdOidText};
enum { kSysObjectId, kSysName, kFirmware, kMcuFirmware, kDeviceId };

constexpr size_t kTextMax = DEVICE_INFO_TEXT_SIZE - 1;   // longest name or version kept
constexpr int kReceiveSize = 65536;                      // one datagram, whatever its size
constexpr int kDrainBatch = 256;                         // datagrams read from a socket between two polls
constexpr int kSendTimeoutMs = 200;                      // a send waits at most this long for room
constexpr int kSocketBufferBytes = 8 << 20;              // receive and send room of each socket

struct EncodedObject {
    unsigned char bytes[OID_FIELD_SIZE];
    int length;
};

const EncodedObject* encodedObjects()
{
    static const auto table = [] {
        std::vector<EncodedObject> t(kObjectCount);
        for (int k = 0; k < kObjectCount; ++k)
            t[static_cast<size_t>(k)].length = CNetIO::oidEncode(kObjects[k], t[static_cast<size_t>(k)].bytes);
        return t;
    }();
    return table.data();
}

long long monotonicMs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Keeps one binding for an object asked (under mask) in values.
void keepBinding(const unsigned char* oid, int oidLen, unsigned char tag, const unsigned char* value, int valueLen,
                 unsigned mask, FleetValues& values)
{
    const EncodedObject* objects = encodedObjects();
    int k = 0;
    while (k < kObjectCount
           && !((mask & (1u << k)) != 0 && oidLen == objects[k].length
                && std::memcmp(oid, objects[k].bytes, static_cast<size_t>(oidLen)) == 0))
        ++k;
    if (k == kObjectCount)
        return;
    values.any = true;
    if (k == kSysObjectId) {
        if (tag == TAG_OID)
            values.sysObjectId = OidText(value, valueLen);
        return;
    }
    if (tag != TAG_OCTET_STRING)
        return; // noSuchObject, noSuchInstance or a value of another type: not told
    const std::string text(reinterpret_cast<const char*>(value), static_cast<size_t>(valueLen));
    switch (k) {
    case kSysName: values.name = text.substr(0, kTextMax); break;
    case kFirmware: values.firmware = text.substr(0, kTextMax); break;
    case kMcuFirmware: values.mcuFirmware = text.substr(0, kTextMax); break;
    case kDeviceId: {
        if (text.size() >= DEVICEID_BUF_SIZE || text.find('\0') != std::string::npos)
            return;
        PRINTER_STATUS status{};
        CTesselCmd decoder;
        if (decoder.DecodStatusFromDeviceID(text.c_str(), &status) != 0)
            return;
        values.haveLevels = true;
        for (int i = 0; i < 4; ++i) {
            const int level = status.bytes[i] & 0x7f; // over 100: the printer does not know
            values.levels[i] = level <= 100 ? level : -1;
        }
        break;
    }
    }
}

// The SNMPv3 parser's value callback has no user pointer: the values of the
// answer being parsed on this thread are collected here.
thread_local FleetValues* t_values = nullptr;

bool collectV3Value(const unsigned char* oid, int oidLen, unsigned char tag, const unsigned char* value, int valueLen)
{
    if (t_values != nullptr && oid != nullptr && oidLen > 0 && valueLen >= 0 && (value != nullptr || valueLen == 0))
        keepBinding(oid, oidLen, tag, value, valueLen, kAllObjects, *t_values);
    return true;
}

bool readInteger(Reader& r, long long* out)
{
    const unsigned char* v;
    int n;
    if (!r.element(TAG_INTEGER, &v, &n) || n < 1 || n > 5)
        return false;
    long long value = (v[0] & 0x80) != 0 ? -1 : 0;
    for (int i = 0; i < n; ++i)
        value = value * 256 + v[i];
    *out = value;
    return true;
}

// ------------------------------------------------------------ the run

struct Engine {
    unsigned char id[SNMPV3_ENGINEID_MAX];
    int idLength;
    unsigned int boots, time;
    size_t nextSet; // the credential set its next request presents
};

struct Try {
    unsigned char engine; // index into the host's engines
    unsigned char set;    // index into the host's credential sets
    unsigned char authKey[16], privKey[16];
};

enum class State : unsigned char { Waiting, Asking, Done };

struct HostRun {
    union {
        sockaddr sa;
        sockaddr_in in4;
        sockaddr_in6 in6;
    } dest{};
    socklen_t destLength = 0;
    State state = State::Waiting;
    bool retried = false;
    bool v1 = false, v3 = false;
    unsigned char datagrams = 0;
    unsigned v1Mask = kAllObjects;
    uint32_t v1Id = 0;
    long long startMs = 0;
    std::vector<Engine> engines; // only for hosts whose engines reported
    std::vector<Try> tries;
};

// The key of an endpoint in the run's table: family, address, port, and
// for a link-local IPv6 address its scope.
std::string endpointKey(const sockaddr* a)
{
    std::string key;
    if (a->sa_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(a);
        key.assign(1, '4');
        key.append(reinterpret_cast<const char*>(&in->sin_addr), 4);
        key.append(reinterpret_cast<const char*>(&in->sin_port), 2);
    } else if (a->sa_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(a);
        key.assign(1, '6');
        key.append(reinterpret_cast<const char*>(&in6->sin6_addr), 16);
        key.append(reinterpret_cast<const char*>(&in6->sin6_port), 2);
        if (IN6_IS_ADDR_LINKLOCAL(&in6->sin6_addr))
            key.append(reinterpret_cast<const char*>(&in6->sin6_scope_id), 4);
    }
    return key;
}

bool parseDestination(const FleetHost& host, HostRun& run)
{
    std::string text = host.address;
    std::string zone;
    if (const size_t pct = text.find('%'); pct != std::string::npos) {
        zone = text.substr(pct + 1);
        text.resize(pct);
    }
    if (zone.empty() && ::inet_pton(AF_INET, text.c_str(), &run.dest.in4.sin_addr) == 1
        && host.address.find('%') == std::string::npos) {
        run.dest.in4.sin_family = AF_INET;
        run.dest.in4.sin_port = htons(host.port);
        run.destLength = sizeof run.dest.in4;
        return true;
    }
    if (::inet_pton(AF_INET6, text.c_str(), &run.dest.in6.sin6_addr) != 1)
        return false;
    run.dest.in6.sin6_family = AF_INET6;
    run.dest.in6.sin6_port = htons(host.port);
    if (!zone.empty()) {
        const unsigned index = ::if_nametoindex(zone.c_str());
        if (index == 0)
            return false;
        run.dest.in6.sin6_scope_id = index;
    } else if (IN6_IS_ADDR_LINKLOCAL(&run.dest.in6.sin6_addr)) {
        return false; // a link-local address needs the interface to ask by
    }
    run.destLength = sizeof run.dest.in6;
    return true;
}

int openFleetSocket(int family)
{
    const int fd = ::socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd == -1)
        return -1;
    const int room = kSocketBufferBytes;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &room, sizeof room) != 0)
        (void)::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
    if (::setsockopt(fd, SOL_SOCKET, SO_SNDBUFFORCE, &room, sizeof room) != 0)
        (void)::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
    timeval tv{kSendTimeoutMs / 1000, (kSendTimeoutMs % 1000) * 1000};
    (void)::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    if (family == AF_INET6) {
        const int only = 1;
        (void)::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &only, sizeof only);
    }
    return fd;
}

class FleetRun {
public:
    FleetRun(const std::vector<FleetHost>& hosts, const FleetOptions& options, FleetCounts& counts)
        : hosts_(hosts), options_(options), counts_(counts), answers_(hosts.size())
    {
        for (const SnmpV3Credentials& set : SnmpV3CredentialSets())
            allSets_.push_back(&set);
        deadlineMs_ = std::max(1LL, static_cast<long long>(options.deadlineSeconds * 1000));
        std::random_device seed;
        nextV1Id_ = (seed() & 0x3FFFFFFFu) | 1u;
    }
    ~FleetRun()
    {
        for (int fd : fds_)
            if (fd >= 0)
                ::close(fd);
    }

    std::vector<FleetAnswer> run();

private:
    const std::vector<const SnmpV3Credentials*>& setsOf(size_t i) const
    {
        return hosts_[i].credentials.empty() ? allSets_ : hosts_[i].credentials;
    }
    int socketFor(int family);
    bool send(size_t i, const unsigned char* data, int length);
    void sendV1(size_t i);
    void sendProbe(size_t i);
    void sendRequest(size_t i, size_t engine);
    void start(size_t i);
    void finish(size_t i, const FleetValues& values, const char* snmp, const char* set);
    void onDatagram(const unsigned char* data, int size, const sockaddr* from);
    bool onV1(size_t i, const unsigned char* data, int size);
    bool onV3(size_t i, const unsigned char* data, int size);

    const std::vector<FleetHost>& hosts_;
    const FleetOptions& options_;
    FleetCounts& counts_;
    std::vector<FleetAnswer> answers_;
    std::vector<HostRun> runs_;
    std::vector<const SnmpV3Credentials*> allSets_;
    std::unordered_map<std::string, size_t> byEndpoint_;
    std::vector<size_t> duplicateOf_; // for an address listed again: the first listing
    int fds_[2] = {-1, -1};           // IPv4, IPv6
    bool socketFailed_[2] = {false, false};
    long long deadlineMs_ = 0;
    uint32_t nextV1Id_ = 1;
    size_t inFlight_ = 0;
};

int FleetRun::socketFor(int family)
{
    const int k = family == AF_INET ? 0 : 1;
    if (fds_[k] < 0 && !socketFailed_[k]) {
        fds_[k] = openFleetSocket(family);
        socketFailed_[k] = fds_[k] < 0;
    }
    return fds_[k];
}

bool FleetRun::send(size_t i, const unsigned char* data, int length)
{
    HostRun& r = runs_[i];
    const int fd = socketFor(r.dest.sa.sa_family);
    if (length <= 0 || fd < 0
        || ::sendto(fd, data, static_cast<size_t>(length), 0, &r.dest.sa, r.destLength) != length) {
        ++counts_.unsent;
        return false;
    }
    return true;
}

void FleetRun::sendV1(size_t i)
{
    unsigned char request[1024];
    HostRun& r = runs_[i];
    send(i, request, BuildFleetV1Request(options_.community, r.v1Id, r.v1Mask, request, sizeof request));
}

void FleetRun::sendProbe(size_t i)
{
    unsigned char probe[SNMPV3_MSG_MAX];
    const int length = CNetIO::BuildSnmpV3GetEngineIdPacket(SNMPv3RequestID, SNMPv3MsgID, probe, sizeof probe);
    ++SNMPv3RequestID;
    ++SNMPv3MsgID;
    send(i, probe, length);
}

// The authPriv request to an engine of the host with the engine's next
// credential set; its keys are kept, so that the answer can be judged.
void FleetRun::sendRequest(size_t i, size_t engineIndex)
{
    HostRun& r = runs_[i];
    Engine& engine = r.engines[engineIndex];
    const auto& sets = setsOf(i);
    if (engine.nextSet >= sets.size() || r.tries.size() >= kFleetMaxTriesPerHost) {
        ++counts_.enginesBound;
        return;
    }
    const SnmpV3Credentials& set = *sets[engine.nextSet];
    Try t{};
    t.engine = static_cast<unsigned char>(engineIndex);
    t.set = static_cast<unsigned char>(engine.nextSet);
    ++engine.nextSet;
    unsigned char request[SNMPV3_MSG_MAX];
    const int length = CNetIO::BuildSnmpV3RequestPacket(
        engine.id, engine.idLength, engine.boots, engine.time, kObjectCount, kObjects, nullptr, nullptr, nullptr,
        set.user.c_str(), set.authPass.c_str(), set.privPass.c_str(), t.authKey, t.privKey, request);
    r.tries.push_back(t);
    send(i, request, length);
}

void FleetRun::start(size_t i)
{
    HostRun& r = runs_[i];
    r.state = State::Asking;
    r.startMs = monotonicMs();
    ++inFlight_;
    if (r.v1) {
        r.v1Id = nextV1Id_;
        nextV1Id_ = (nextV1Id_ + 1) & 0x7FFFFFFFu;
        sendV1(i);
    }
    if (r.v3)
        sendProbe(i);
}

void FleetRun::finish(size_t i, const FleetValues& values, const char* snmp, const char* set)
{
    HostRun& r = runs_[i];
    FleetAnswer& a = answers_[i];
    a.up = true;
    a.snmp = snmp;
    a.credentialSet = set != nullptr ? set : "";
    a.sysObjectId = values.sysObjectId;
    a.name = values.name;
    a.firmware = values.firmware;
    a.mcuFirmware = values.mcuFirmware;
    a.haveLevels = values.haveLevels;
    std::copy(values.levels, values.levels + 4, a.levels);
    a.seconds = static_cast<double>(monotonicMs() - r.startMs) / 1000.0;
    r.state = State::Done;
    r.engines.clear();
    r.engines.shrink_to_fit();
    r.tries.clear();
    r.tries.shrink_to_fit();
    --inFlight_;
}

bool FleetRun::onV1(size_t i, const unsigned char* data, int size)
{
    HostRun& r = runs_[i];
    FleetValues values;
    int errorStatus = 0, errorIndex = 0;
    if (!ParseFleetV1Answer(data, size, r.v1Id, &errorStatus, &errorIndex, values))
        return false;
    // SNMP v1 refuses the whole request for one object the agent lacks:
    // ask again without it.
    if (errorStatus == 2 && errorIndex >= 1) {
        int seen = 0;
        for (int k = 0; k < kObjectCount; ++k)
            if ((r.v1Mask & (1u << k)) != 0 && ++seen == errorIndex) {
                r.v1Mask &= ~(1u << k);
                break;
            }
        if (r.v1Mask != 0) {
            r.v1Id = nextV1Id_;
            nextV1Id_ = (nextV1Id_ + 1) & 0x7FFFFFFFu;
            sendV1(i);
            return true;
        }
    }
    finish(i, values, "v1", nullptr);
    return true;
}

bool FleetRun::onV3(size_t i, const unsigned char* data, int size)
{
    HostRun& r = runs_[i];
    if (size > SNMPV3_MSG_MAX)
        return false;
    unsigned char copy[SNMPV3_MSG_MAX];
    // An answer: authenticated by the keys of a request sent, from the engine asked.
    for (const Try& t : r.tries) {
        const Engine& engine = r.engines[t.engine];
        std::memcpy(copy, data, static_cast<size_t>(size));
        _SNMP_PARAM_V3 param{};
        std::memcpy(param.authKey, t.authKey, sizeof t.authKey);
        std::memcpy(param.privKey, t.privKey, sizeof t.privKey);
        FleetValues values;
        param.varbindCallback = collectV3Value;
        t_values = &values;
        unsigned char errorStatus = 0xFF;
        const int ok = CNetIO::parseSnmpV3Response(copy, size, nullptr, nullptr, &errorStatus, nullptr, &param);
        t_values = nullptr;
        if (ok == 1 && param.engineIDLen == engine.idLength
            && std::memcmp(param.engineID, engine.id, static_cast<size_t>(engine.idLength)) == 0) {
            if (!values.any)
                return false; // authenticated, but no answer to our question (e.g. a report)
            finish(i, values, "v3", setsOf(i)[t.set]->name.c_str());
            return true;
        }
    }
    // A report without authentication: an engine telling its ID (to the
    // probe), or refusing the set it was sent (to a request).
    std::memcpy(copy, data, static_cast<size_t>(size));
    _SNMP_PARAM_V3 param{};
    if (!acceptEngineReport(copy, size, param)) {
        ++counts_.unauthenticated;
        return true;
    }
    for (size_t e = 0; e < r.engines.size(); ++e)
        if (r.engines[e].idLength == param.engineIDLen
            && std::memcmp(r.engines[e].id, param.engineID, static_cast<size_t>(param.engineIDLen)) == 0) {
            if (r.engines[e].nextSet < setsOf(i).size())
                ++counts_.refused;
            r.engines[e].boots = param.engineBoots;
            r.engines[e].time = param.engineTime;
            sendRequest(i, e);
            return true;
        }
    if (r.engines.size() >= kFleetMaxEnginesPerHost) {
        ++counts_.enginesBound;
        return true;
    }
    Engine engine{};
    std::memcpy(engine.id, param.engineID, static_cast<size_t>(param.engineIDLen));
    engine.idLength = param.engineIDLen;
    engine.boots = param.engineBoots;
    engine.time = param.engineTime;
    r.engines.push_back(engine);
    sendRequest(i, r.engines.size() - 1);
    return true;
}

void FleetRun::onDatagram(const unsigned char* data, int size, const sockaddr* from)
{
    ++counts_.datagrams;
    const auto at = byEndpoint_.find(endpointKey(from));
    if (at == byEndpoint_.end()) {
        ++counts_.forged;
        return;
    }
    const size_t i = at->second;
    HostRun& r = runs_[i];
    if (r.state != State::Asking) {
        ++counts_.late;
        return;
    }
    if (r.datagrams >= kFleetDatagramsPerHost) {
        ++counts_.datagramBound;
        return;
    }
    ++r.datagrams;
    // The message's version tells the roads apart: 0 for SNMP v1, 3 for SNMPv3.
    Reader all{data, data + size};
    int n = 0;
    long long version = -1;
    if (all.header(TAG_SEQUENCE, &n))
        readInteger(all, &version);
    bool handled = false;
    if (r.v1 && version == 0)
        handled = onV1(i, data, size);
    else if (r.v3 && version == 3)
        handled = onV3(i, data, size);
    if (!handled)
        ++counts_.unmatched;
}

std::vector<FleetAnswer> FleetRun::run()
{
    const size_t n = std::min(hosts_.size(), kFleetMaxHosts);
    counts_.overHosts += static_cast<long>(hosts_.size() - n);
    runs_.resize(n);
    duplicateOf_.assign(n, SIZE_MAX);
    byEndpoint_.reserve(n);
    std::vector<size_t> order; // hosts to ask, in the order they start
    order.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        HostRun& r = runs_[i];
        if (!parseDestination(hosts_[i], r)) {
            ++counts_.badAddress;
            r.state = State::Done;
            continue;
        }
        r.v1 = options_.v1;
        r.v3 = options_.v3;
        const auto [at, added] = byEndpoint_.emplace(endpointKey(&r.dest.sa), i);
        if (!added) {
            duplicateOf_[i] = at->second;
            r.state = State::Done;
            continue;
        }
        if (r.v1 || r.v3)
            order.push_back(i);
        else
            r.state = State::Done;
    }

    std::vector<unsigned char> buffer(kReceiveSize);
    size_t next = 0;       // the next host of order to start
    size_t oldest = 0;     // the oldest host of order still asking (or not yet started)
    size_t retryCursor = 0; // the next host of order whose retry time may come
    const long long retryMs = kFleetRetryMs;
    for (;;) {
        while (next < order.size() && inFlight_ < kFleetMaxInFlight)
            start(order[next++]);
        const long long now = monotonicMs();
        while (retryCursor < next && runs_[order[retryCursor]].startMs + retryMs <= now) {
            const size_t i = order[retryCursor++];
            HostRun& r = runs_[i];
            if (r.state != State::Asking || r.retried || retryMs >= deadlineMs_)
                continue;
            r.retried = true;
            if (r.v1)
                sendV1(i);
            if (r.v3) {
                if (r.engines.empty())
                    sendProbe(i);
                for (size_t e = 0; e < r.engines.size() && r.state == State::Asking; ++e) {
                    if (r.engines[e].nextSet > 0)
                        --r.engines[e].nextSet; // the same set once more
                    sendRequest(i, e);
                }
            }
        }
        while (oldest < next && (runs_[order[oldest]].state != State::Asking
                                 || runs_[order[oldest]].startMs + deadlineMs_ <= now)) {
            HostRun& r = runs_[order[oldest++]];
            if (r.state == State::Asking) {
                r.state = State::Done;
                ++counts_.givenUp;
                --inFlight_;
                r.engines = {};
                r.tries = {};
            }
        }
        if (oldest == order.size())
            break;
        long long wakeAt = runs_[order[oldest]].startMs + deadlineMs_;
        if (retryCursor < next)
            wakeAt = std::min(wakeAt, runs_[order[retryCursor]].startMs + retryMs);
        if (next < order.size() && inFlight_ < kFleetMaxInFlight)
            wakeAt = now;
        pollfd fds[2];
        int count = 0;
        for (int fd : fds_)
            if (fd >= 0)
                fds[count++] = {fd, POLLIN, 0};
        const int r = ::poll(fds, static_cast<nfds_t>(count), static_cast<int>(std::max(0LL, wakeAt - now)));
        if (r < 0 && errno != EINTR)
            break;
        for (int k = 0; r > 0 && k < count; ++k) {
            if ((fds[k].revents & POLLIN) == 0)
                continue;
            for (int batch = 0; batch < kDrainBatch; ++batch) {
                sockaddr_storage from{};
                socklen_t fromLength = sizeof from;
                const ssize_t got = ::recvfrom(fds[k].fd, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                               reinterpret_cast<sockaddr*>(&from), &fromLength);
                if (got < 0)
                    break;
                onDatagram(buffer.data(), static_cast<int>(got), reinterpret_cast<const sockaddr*>(&from));
            }
        }
    }
    for (size_t i = 0; i < n; ++i)
        if (duplicateOf_[i] != SIZE_MAX)
            answers_[i] = answers_[duplicateOf_[i]];
    return std::move(answers_);
}

} // namespace

// ------------------------------------------------------------ public parts

std::string OidText(const unsigned char* oid, int length)
{
    if (oid == nullptr || length <= 0 || length > static_cast<int>(SYSOBJID_SIZE))
        return "";
    std::string text;
    unsigned long long arc = 0;
    bool first = true;
    for (int i = 0; i < length; ++i) {
        if (arc > (0xFFFFFFFFull >> 7))
            return ""; // an arc over 32 bits
        arc = (arc << 7) | (oid[i] & 0x7Fu);
        if ((oid[i] & 0x80) != 0) {
            if (i + 1 == length)
                return ""; // the last arc is cut
            continue;
        }
        if (first) {
            const unsigned long long a1 = arc < 80 ? arc / 40 : 2;
            text = std::to_string(a1) + "." + std::to_string(arc - a1 * 40);
            first = false;
        } else {
            text += "." + std::to_string(arc);
        }
        arc = 0;
    }
    return text;
}

int BuildFleetV1Request(const std::string& community, uint32_t requestId, unsigned mask, unsigned char* out,
                        size_t capacity)
{
    const std::string& c = community.empty() ? std::string(kDefaultCommunity) : community;
    if (out == nullptr || c.size() > 255)
        return 0;
    const EncodedObject* objects = encodedObjects();
    unsigned char buffer[1024];
    BackWriter w(buffer, sizeof buffer);
    const unsigned char* messageEnd = w.pos();
    const unsigned char* pduEnd = w.pos();
    const unsigned char* listEnd = w.pos();
    for (int k = kObjectCount - 1; k >= 0; --k) {
        if ((mask & (1u << k)) == 0)
            continue;
        const unsigned char* bindingEnd = w.pos();
        w.byte(0x00);
        w.byte(TAG_NULL);
        const unsigned char* oidEnd = w.pos();
        w.bytes(objects[k].bytes, static_cast<size_t>(objects[k].length));
        w.wrap(TAG_OID, oidEnd);
        w.wrap(TAG_SEQUENCE, bindingEnd);
    }
    w.wrap(TAG_SEQUENCE, listEnd);
    for (int k = 0; k < 2; ++k) { // error-index, error-status
        w.byte(0x00);
        w.byte(0x01);
        w.byte(TAG_INTEGER);
    }
    w.integer(requestId & 0x7FFFFFFFu);
    w.wrap(TAG_GET_REQUEST, pduEnd);
    const unsigned char* communityEnd = w.pos();
    w.bytes(c.data(), c.size());
    w.wrap(TAG_OCTET_STRING, communityEnd);
    w.byte(0x00);
    w.byte(0x01);
    w.byte(TAG_INTEGER);
    w.wrap(TAG_SEQUENCE, messageEnd);
    if (!w.ok() || static_cast<size_t>(w.size()) > capacity)
        return 0;
    return w.copyTo(out);
}

bool ParseFleetV1Answer(const unsigned char* msg, int size, uint32_t requestId, int* errorStatus,
                        int* errorIndex, FleetValues& values)
{
    if (msg == nullptr || size < 2)
        return false;
    Reader all{msg, msg + size};
    const unsigned char* body;
    int n;
    if (!all.element(TAG_SEQUENCE, &body, &n) || body + n != msg + size)
        return false;
    Reader m{body, body + n};
    long long version, id, status, index;
    const unsigned char* content;
    unsigned char tag;
    if (!readInteger(m, &version) || version != 0 || !m.element(TAG_OCTET_STRING, &content, &n)
        || !m.element(TAG_GET_RESPONSE, &content, &n) || !m.atEnd())
        return false;
    Reader pdu{content, content + n};
    if (!readInteger(pdu, &id) || id != static_cast<long long>(requestId & 0x7FFFFFFFu)
        || !readInteger(pdu, &status) || !readInteger(pdu, &index) || !pdu.element(TAG_SEQUENCE, &content, &n)
        || !pdu.atEnd())
        return false;
    if (errorStatus != nullptr)
        *errorStatus = static_cast<int>(status);
    if (errorIndex != nullptr)
        *errorIndex = static_cast<int>(index);
    Reader list{content, content + n};
    FleetValues kept;
    while (!list.atEnd()) {
        if (!list.element(TAG_SEQUENCE, &content, &n))
            return false;
        Reader binding{content, content + n};
        const unsigned char* oid;
        int oidLen;
        const unsigned char* value;
        int valueLen;
        if (!binding.element(TAG_OID, &oid, &oidLen) || !binding.element(ANY_TAG, &value, &valueLen, &tag)
            || !binding.atEnd())
            return false;
        if (status == 0)
            keepBinding(oid, oidLen, tag, value, valueLen, kAllObjects, kept);
    }
    values = kept;
    return true;
}

std::vector<FleetAnswer> QueryFleet(const std::vector<FleetHost>& hosts, const FleetOptions& options,
                                    FleetCounts* counts)
{
    FleetCounts local;
    FleetCounts& c = counts != nullptr ? *counts : local;
    FleetRun run(hosts, options, c);
    return run.run();
}
