#include "Server.h"

#include "Discover.h"
#include "Metrics.h"
#include "snmp/Fleet.h"

#include <microhttpd.h>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <set>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace exporter {

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t)
{
    return std::chrono::duration<double>(Clock::now() - t).count();
}

const char* const kTextType = "text/plain; version=0.0.4; charset=utf-8";

const char* const kIndexPage =
    "<!DOCTYPE html>\n<html lang=\"en\">\n<head><meta charset=\"utf-8\"><title>levelwatch-exporter</title></head>\n"
    "<body>\n<h1>levelwatch-exporter</h1>\n"
    "<p>The toner levels of the colour laser printers, for Prometheus.</p>\n<ul>\n"
    "<li><a href=\"probe?target=\">/probe?target=ADDRESS[:PORT]</a>: one printer's levels</li>\n"
    "<li><a href=\"metrics\">/metrics</a>: the exporter's own metrics</li>\n</ul>\n"
    "<p>See levelwatch-exporter(8).</p>\n</body>\n</html>\n";

// One connection, as the watchdog sees it.
struct Connection {
    int fd = -1;
    Clock::time_point since;   // its start, or the end of its last request
    bool inRequest = false;    // a request has arrived whole and is being answered
    bool cut = false;
};

// One probe, from its request to its answer.
struct Probe {
    MHD_Connection* connection = nullptr;
    Target target;
    std::string asked;         // the target as given
    double budget = 0;
    Clock::time_point start;
    unsigned status = MHD_HTTP_OK;
    std::string body;
    bool answered = false;     // the answer is in; the connection was resumed
};

// A name lookup (getaddrinfo_a); one that outlives its time is kept until it
// ends, as the resolver still writes into it.
struct Lookup {
    gaicb request{};
    addrinfo hints{};
    std::string name;
};

enum class Resolved { Ok, Failed, TimedOut };

} // namespace

struct Server::State {
    ServerOptions options;
    MHD_Daemon* daemon = nullptr;
    Stats stats;

    std::mutex connectionLock;
    std::set<Connection*> connections;

    std::mutex poolLock;
    std::condition_variable work;
    std::deque<Probe*> queue;
    std::vector<std::thread> threads;
    size_t idle = 0;
    bool stopping = false;
    std::thread watchdog;
    std::condition_variable watchdogWake;

    std::mutex lookupLock;
    std::vector<Lookup*> abandoned;

    // ---- probe threads ----

    bool submit(Probe* probe)
    {
        std::lock_guard<std::mutex> hold(poolLock);
        if (stopping)
            return false;
        // One idle thread for each probe waiting, or a new thread: a probe
        // never waits behind another's printer.
        if (queue.size() + 1 > idle && threads.size() < static_cast<size_t>(kMaxProbesInFlight)) {
            try {
                threads.emplace_back([this] { probeThread(); });
            } catch (const std::system_error&) {
                if (threads.empty())
                    return false; // no thread at all: refused (busy)
            }
        }
        queue.push_back(probe);
        work.notify_one();
        return true;
    }

    void probeThread()
    {
        std::unique_lock<std::mutex> hold(poolLock);
        for (;;) {
            ++idle;
            work.wait(hold, [this] { return stopping || !queue.empty(); });
            --idle;
            if (queue.empty())
                return; // stopping, nothing left
            Probe* probe = queue.front();
            queue.pop_front();
            hold.unlock();
            run(*probe);
            hold.lock();
        }
    }

    Resolved resolve(const std::string& name, double seconds, std::vector<Address>& out)
    {
        {
            std::lock_guard<std::mutex> hold(lookupLock);
            for (auto it = abandoned.begin(); it != abandoned.end();) {
                if (::gai_error(&(*it)->request) == EAI_INPROGRESS) {
                    ++it;
                    continue;
                }
                if ((*it)->request.ar_result != nullptr)
                    ::freeaddrinfo((*it)->request.ar_result);
                delete *it;
                it = abandoned.erase(it);
            }
            if (abandoned.size() >= kMaxAbandonedLookups)
                return Resolved::TimedOut;
        }
        auto* lookup = new Lookup;
        lookup->name = name;
        lookup->hints.ai_socktype = SOCK_DGRAM;
        lookup->request.ar_name = lookup->name.c_str();
        lookup->request.ar_request = &lookup->hints;
        gaicb* list[1] = {&lookup->request};
        if (::getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr) != 0) {
            delete lookup;
            return Resolved::Failed;
        }
        const auto end = Clock::now() + std::chrono::duration<double>(seconds);
        while (::gai_error(&lookup->request) == EAI_INPROGRESS) {
            const double left = std::chrono::duration<double>(end - Clock::now()).count();
            if (left <= 0)
                break;
            timespec wait{static_cast<time_t>(left), static_cast<long>((left - static_cast<double>(static_cast<time_t>(left))) * 1e9)};
            const gaicb* const waitList[1] = {&lookup->request};
            ::gai_suspend(waitList, 1, &wait);
        }
        const int status = ::gai_error(&lookup->request);
        if (status == EAI_INPROGRESS && ::gai_cancel(&lookup->request) != EAI_CANCELED
            && ::gai_error(&lookup->request) == EAI_INPROGRESS) {
            std::lock_guard<std::mutex> hold(lookupLock);
            abandoned.push_back(lookup);
            return Resolved::TimedOut;
        }
        Resolved result = status == EAI_INPROGRESS || status == EAI_CANCELED ? Resolved::TimedOut : Resolved::Failed;
        if (status == 0) {
            for (const addrinfo* a = lookup->request.ar_result; a != nullptr; a = a->ai_next) {
                Address address;
                if (a->ai_family == AF_INET) {
                    address.family = AF_INET;
                    std::memcpy(address.bytes, &reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr, 4);
                } else if (a->ai_family == AF_INET6) {
                    address.family = AF_INET6;
                    std::memcpy(address.bytes, &reinterpret_cast<const sockaddr_in6*>(a->ai_addr)->sin6_addr, 16);
                } else {
                    continue;
                }
                out.push_back(address);
            }
            result = out.empty() ? Resolved::Failed : Resolved::Ok;
        }
        if (lookup->request.ar_result != nullptr)
            ::freeaddrinfo(lookup->request.ar_result);
        delete lookup;
        return result;
    }

    void run(Probe& probe)
    {
        const double left = probe.budget - secondsSince(probe.start);
        std::string host = probe.target.host;
        Outcome outcome = Outcome::Silent;
        bool forbidden = false;
        if (!probe.target.numeric) {
            std::vector<Address> addresses;
            const Resolved r = resolve(host, std::min(kMaxResolveSeconds, std::max(left, 0.0)), addresses);
            if (r != Resolved::Ok) {
                outcome = Outcome::Unresolved;
            } else {
                // Every address the name stands for must be allowed: a name
                // is not a way around --allow. The printer is asked at the
                // first, as resolved, not at a second lookup's answer.
                for (const Address& a : addresses)
                    forbidden = forbidden || !options.allow.allows(a);
                char text[INET6_ADDRSTRLEN] = "";
                ::inet_ntop(addresses.front().family, addresses.front().bytes, text, sizeof text);
                host = text;
            }
        }
        FoundPrinter printer;
        printer.address = probe.asked;
        bool up = false;
        if (forbidden) {
            probe.status = MHD_HTTP_FORBIDDEN;
            probe.body = "target " + probe.target.host + " resolves to an address outside the allowed networks\n";
            stats.refused(Refusal::Forbidden);
        } else {
            if (outcome != Outcome::Unresolved) {
                FleetHost fleetHost;
                fleetHost.address = host;
                fleetHost.port = probe.target.port;
                FleetOptions fleetOptions;
                fleetOptions.v1 = options.v1;
                fleetOptions.v3 = options.v3;
                fleetOptions.deadlineSeconds = std::max(probe.budget - secondsSince(probe.start), 0.0);
                const std::vector<FleetAnswer> answers = QueryFleet({fleetHost}, fleetOptions);
                if (!answers.empty() && answers.front().up) {
                    const FleetAnswer& a = answers.front();
                    up = true;
                    outcome = Outcome::Answered;
                    CopyFleetAnswer(a, true, printer);
                }
            }
            const double seconds = secondsSince(probe.start);
            probe.body = up ? metrics::ProbeText({printer}, {}, seconds)
                            : metrics::ProbeText({}, {probe.asked}, seconds);
            stats.probed(outcome, seconds);
        }
        stats.inFlight.fetch_sub(1);
        // After this the connection's thread owns the probe (and frees it).
        MHD_Connection* connection = probe.connection;
        {
            std::lock_guard<std::mutex> hold(poolLock);
            probe.answered = true;
        }
        MHD_resume_connection(connection);
    }

    // ---- connections ----

    static void onConnection(void* cls, MHD_Connection* connection, void** socketContext,
                             MHD_ConnectionNotificationCode code)
    {
        auto* self = static_cast<State*>(cls);
        if (code == MHD_CONNECTION_NOTIFY_STARTED) {
            auto* c = new Connection;
            const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
            c->fd = info != nullptr ? info->connect_fd : -1;
            c->since = Clock::now();
            std::lock_guard<std::mutex> hold(self->connectionLock);
            self->connections.insert(c);
            self->stats.connections.fetch_add(1);
            *socketContext = c;
        } else if (*socketContext != nullptr) {
            // libmicrohttpd closes the socket after this: the watchdog,
            // which holds the same lock, never touches a closed one.
            auto* c = static_cast<Connection*>(*socketContext);
            std::lock_guard<std::mutex> hold(self->connectionLock);
            self->connections.erase(c);
            self->stats.connections.fetch_sub(1);
            delete c;
            *socketContext = nullptr;
        }
    }

    static Connection* connectionOf(MHD_Connection* connection)
    {
        const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
        return info != nullptr ? static_cast<Connection*>(info->socket_context) : nullptr;
    }

    void watch()
    {
        std::unique_lock<std::mutex> hold(poolLock);
        while (!stopping) {
            watchdogWake.wait_for(hold, std::chrono::seconds(1));
            hold.unlock();
            {
                std::lock_guard<std::mutex> holdConnections(connectionLock);
                for (Connection* c : connections)
                    if (!c->inRequest && !c->cut && c->fd >= 0 && secondsSince(c->since) > kRequestSeconds) {
                        ::shutdown(c->fd, SHUT_RDWR); // the polling thread sees the end and closes it
                        c->cut = true;
                    }
            }
            hold.lock();
        }
    }

    static void onCompleted(void* cls, MHD_Connection* connection, void** requestContext,
                            MHD_RequestTerminationCode)
    {
        auto* self = static_cast<State*>(cls);
        delete static_cast<Probe*>(*requestContext);
        *requestContext = nullptr;
        if (Connection* c = connectionOf(connection)) {
            std::lock_guard<std::mutex> hold(self->connectionLock);
            c->inRequest = false;
            c->since = Clock::now();
        }
    }

    // ---- requests ----

    static MHD_Result reply(MHD_Connection* connection, unsigned status, const std::string& body,
                            const char* type = "text/plain; charset=utf-8", bool retry = false, bool close = false)
    {
        MHD_Response* response =
            MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
        if (response == nullptr)
            return MHD_NO;
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, type);
        if (retry)
            MHD_add_response_header(response, MHD_HTTP_HEADER_RETRY_AFTER, std::to_string(kRetryAfterSeconds).c_str());
        if (status == MHD_HTTP_METHOD_NOT_ALLOWED)
            MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, "GET, HEAD");
        if (close)
            MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
        const MHD_Result result = MHD_queue_response(connection, status, response);
        MHD_destroy_response(response);
        return result;
    }

    MHD_Result refuse(MHD_Connection* connection, Refusal reason, unsigned status, const std::string& why)
    {
        stats.refused(reason);
        return reply(connection, status, why + "\n", "text/plain; charset=utf-8",
                     status == MHD_HTTP_SERVICE_UNAVAILABLE, status == MHD_HTTP_SERVICE_UNAVAILABLE);
    }

    struct Query {
        size_t arguments = 0, bytes = 0;
        int targets = 0;
        bool bad = false;      // a NUL byte in a key or value
        std::string target;
    };

    static MHD_Result onArgument(void* cls, MHD_ValueKind, const char* key, size_t keySize, const char* value,
                                 size_t valueSize)
    {
        auto* q = static_cast<Query*>(cls);
        ++q->arguments;
        q->bytes += keySize + valueSize + 2;
        if (key == nullptr || std::strlen(key) != keySize || (value != nullptr && std::strlen(value) != valueSize))
            q->bad = true;
        else if (keySize == 6 && std::memcmp(key, "target", 6) == 0 && ++q->targets == 1 && value != nullptr)
            q->target.assign(value, valueSize);
        return q->arguments > kMaxQueryArguments || q->bytes > kMaxQueryBytes ? MHD_NO : MHD_YES;
    }

    MHD_Result probe(MHD_Connection* connection, void** requestContext)
    {
        Query q;
        MHD_get_connection_values_n(connection, MHD_GET_ARGUMENT_KIND, &State::onArgument, &q);
        if (q.arguments > kMaxQueryArguments || q.bytes > kMaxQueryBytes)
            return refuse(connection, Refusal::Malformed, MHD_HTTP_BAD_REQUEST, "query too long");
        if (q.bad)
            return refuse(connection, Refusal::Malformed, MHD_HTTP_BAD_REQUEST, "a NUL byte in the query");
        if (q.targets != 1)
            return refuse(connection, Refusal::Malformed, MHD_HTTP_BAD_REQUEST,
                          q.targets == 0 ? "no target: /probe?target=ADDRESS[:PORT]" : "more than one target");
        auto p = std::make_unique<Probe>();
        std::string error;
        if (!ParseTarget(q.target, p->target, error))
            return refuse(connection, Refusal::Malformed, MHD_HTTP_BAD_REQUEST, "bad target: " + error);
        double timeout = kDefaultScrapeTimeoutSeconds;
        if (const char* header =
                MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "X-Prometheus-Scrape-Timeout-Seconds")) {
            if (!ParseScrapeTimeout(header, timeout))
                return refuse(connection, Refusal::Malformed, MHD_HTTP_BAD_REQUEST,
                              "bad X-Prometheus-Scrape-Timeout-Seconds");
        }
        if (p->target.numeric && !options.allow.allows(p->target.address))
            return refuse(connection, Refusal::Forbidden, MHD_HTTP_FORBIDDEN,
                          "target " + p->target.host + " is outside the allowed networks (--allow)");
        if (options.allow.empty())
            return refuse(connection, Refusal::Forbidden, MHD_HTTP_FORBIDDEN, "no network is allowed (--allow)");
        if (stats.inFlight.fetch_add(1) >= kMaxProbesInFlight) {
            stats.inFlight.fetch_sub(1);
            return refuse(connection, Refusal::Busy, MHD_HTTP_SERVICE_UNAVAILABLE, "too many probes at once");
        }
        p->connection = connection;
        p->asked = q.target;
        p->start = Clock::now();
        p->budget = std::clamp(timeout - kScrapeTimeoutMarginSeconds, kMinProbeSeconds, kMaxProbeSeconds);
        // Suspended before a probe thread can resume it; this thread
        // handles the resumed connection only after this call returns.
        MHD_suspend_connection(connection);
        if (!submit(p.get())) {
            MHD_resume_connection(connection);
            stats.inFlight.fetch_sub(1);
            return refuse(connection, Refusal::Busy, MHD_HTTP_SERVICE_UNAVAILABLE, "stopping");
        }
        *requestContext = p.release();
        return MHD_YES;
    }

    static MHD_Result onRequest(void* cls, MHD_Connection* connection, const char* url, const char* method,
                                const char*, const char*, size_t* uploadSize, void** requestContext)
    {
        auto* self = static_cast<State*>(cls);
        if (auto* probe = static_cast<Probe*>(*requestContext)) {
            *uploadSize = 0;
            bool answered;
            {
                std::lock_guard<std::mutex> hold(self->poolLock);
                answered = probe->answered;
            }
            if (!answered)
                return MHD_YES;
            return reply(connection, probe->status, probe->body,
                         probe->status == MHD_HTTP_OK ? kTextType : "text/plain; charset=utf-8");
        }
        if (Connection* c = connectionOf(connection)) {
            std::lock_guard<std::mutex> hold(self->connectionLock);
            c->inRequest = true;
        }
        const std::string path = url != nullptr ? url : "";
        if (self->stats.connections.load() > kMaxConnections)
            return self->refuse(connection, Refusal::Connections, MHD_HTTP_SERVICE_UNAVAILABLE,
                                "too many connections");
        if (std::strcmp(method, MHD_HTTP_METHOD_GET) != 0 && std::strcmp(method, MHD_HTTP_METHOD_HEAD) != 0)
            return self->refuse(connection, Refusal::Method, MHD_HTTP_METHOD_NOT_ALLOWED, "only GET and HEAD");
        const char* length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
        if ((length != nullptr && std::strcmp(length, "0") != 0)
            || MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING) != nullptr)
            return self->refuse(connection, Refusal::Malformed, MHD_HTTP_BAD_REQUEST, "a GET has no body");
        if (path == "/probe")
            return self->probe(connection, requestContext);
        if (path == "/metrics")
            return reply(connection, MHD_HTTP_OK, self->stats.text(), kTextType);
        if (path == "/")
            return reply(connection, MHD_HTTP_OK, kIndexPage, "text/html; charset=utf-8");
        return self->refuse(connection, Refusal::NotFound, MHD_HTTP_NOT_FOUND, "no such page: see /");
    }
};

Server::Server() : state_(std::make_unique<State>()) {}

Server::~Server()
{
    stop();
}

const Stats& Server::stats() const
{
    return state_->stats;
}

bool Server::start(const ServerOptions& options, std::string& error)
{
    State& s = *state_;
    s.options = options;
    s.daemon = listen(s, options.listen, false);
    // Every address on a machine without IPv6: every IPv4 address.
    if (s.daemon == nullptr && options.listen.any)
        s.daemon = listen(s, options.listen, true);
    if (s.daemon == nullptr) {
        error = "cannot listen on that address (in use, or not an address of this machine)";
        return false;
    }
    s.watchdog = std::thread([&s] { s.watch(); });
    return true;
}

MHD_Daemon* Server::listen(State& s, const ListenAddress& listen, bool ipv4Only)
{
    ServerOptions options;
    options.listen = listen;
    sockaddr_storage address{};
    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ERROR_LOG;
    if (!ipv4Only && (options.listen.any || options.listen.address.family == AF_INET6)) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(options.listen.port);
        if (!options.listen.any)
            std::memcpy(&in6->sin6_addr, options.listen.address.bytes, 16);
        static const unsigned char kAny[16] = {};
        const bool everyAddress = options.listen.any || std::memcmp(options.listen.address.bytes, kAny, 16) == 0;
        flags |= everyAddress ? MHD_USE_DUAL_STACK : MHD_USE_IPv6;
    } else {
        auto* in = reinterpret_cast<sockaddr_in*>(&address);
        in->sin_family = AF_INET;
        in->sin_port = htons(options.listen.port);
        if (!options.listen.any)
            std::memcpy(&in->sin_addr, options.listen.address.bytes, 4);
    }
    return MHD_start_daemon(
        flags, options.listen.port, nullptr, nullptr, &State::onRequest, &s, MHD_OPTION_SOCK_ADDR, &address,
        MHD_OPTION_CONNECTION_LIMIT, static_cast<unsigned>(kMaxConnections) + kConnectionHeadroom,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, kMaxRequestBytes, MHD_OPTION_CONNECTION_TIMEOUT, kIdleSeconds,
        MHD_OPTION_LISTEN_BACKLOG_SIZE, kListenBacklog, MHD_OPTION_NOTIFY_COMPLETED, &State::onCompleted, &s,
        MHD_OPTION_NOTIFY_CONNECTION, &State::onConnection, &s, MHD_OPTION_END);
}

void Server::stop()
{
    State& s = *state_;
    if (s.daemon == nullptr)
        return;
    const MHD_socket listening = MHD_quiesce_daemon(s.daemon);
    {
        std::lock_guard<std::mutex> hold(s.poolLock);
        s.stopping = true;
    }
    s.work.notify_all();
    s.watchdogWake.notify_all();
    // The probes under way answer (their threads finish the queue first).
    for (std::thread& t : s.threads)
        t.join();
    s.watchdog.join();
    MHD_stop_daemon(s.daemon);
    s.daemon = nullptr;
    if (listening != MHD_INVALID_SOCKET)
        ::close(listening);
    std::lock_guard<std::mutex> hold(s.lookupLock);
    for (Lookup* lookup : s.abandoned) {
        ::gai_cancel(&lookup->request);
        // a lookup still running is left to the process's end
    }
}

} // namespace exporter
