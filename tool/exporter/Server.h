// levelwatch-exporter's HTTP server: /probe?target=ADDRESS[:PORT] asks one
// printer and answers its metrics, /metrics the exporter's own, / a page that
// links both.
//
// Threads: libmicrohttpd's one polling thread (epoll) does all the network
// I/O of every connection and answers /, /metrics and every refusal itself;
// a probe's connection is suspended and its probe handed to a pool of
// probe threads (grown on demand up to kMaxProbesInFlight), each of which
// resolves the name if there is one, asks the printer (QueryFleet, which
// blocks), then resumes the connection with the answer. So a slow client
// costs a connection slot and no thread, and a probe costs one thread.
//
// Bounds, whatever arrives (each answered as said, and counted in
// levelwatch_exporter_refused_requests_total):
//   kMaxProbesInFlight probes at once            beyond: 503, Retry-After
//   kMaxConnections connections answered          beyond: 503, Retry-After, closed;
//     kMaxConnections + kConnectionHeadroom open  beyond: closed at once
//   kMaxRequestBytes of request line and headers  beyond: 431 or 414 (libmicrohttpd)
//   kMaxQueryBytes, kMaxQueryArguments            beyond: 400
//   a request arrives whole within kRequestSeconds of the connection (or of
//   the last answer on it), and a connection idle for kIdleSeconds is closed
//   a probe answers within the scrape timeout Prometheus sends
//     (X-Prometheus-Scrape-Timeout-Seconds) less kScrapeTimeoutMarginSeconds,
//     kDefaultScrapeTimeoutSeconds when it sends none, never beyond
//     kMaxProbeSeconds; a name resolves within kMaxResolveSeconds of that,
//     with at most kMaxAbandonedLookups lookups left running after their time
#pragma once

#include "Stats.h"
#include "Target.h"

#include <memory>

struct MHD_Daemon;
#include <string>

namespace exporter {

inline constexpr long kMaxProbesInFlight = 512;
inline constexpr long kMaxConnections = 1024;
inline constexpr unsigned kConnectionHeadroom = 64;
inline constexpr size_t kMaxRequestBytes = 16 * 1024;
inline constexpr size_t kMaxQueryBytes = 1024;
inline constexpr size_t kMaxQueryArguments = 16;
inline constexpr int kRequestSeconds = 10;
inline constexpr unsigned kIdleSeconds = 10;
inline constexpr double kScrapeTimeoutMarginSeconds = 0.5;
inline constexpr double kDefaultScrapeTimeoutSeconds = 10;
inline constexpr double kMinProbeSeconds = 0.1;
inline constexpr double kMaxProbeSeconds = 30;
inline constexpr double kMaxResolveSeconds = 2;
inline constexpr size_t kMaxAbandonedLookups = 64;
inline constexpr int kRetryAfterSeconds = 1;
inline constexpr unsigned kListenBacklog = 1024;
inline constexpr unsigned short kDefaultListenPort = 9934;

struct ServerOptions {
    ListenAddress listen;
    AllowList allow;
    bool v1 = true, v3 = true;   // the SNMP versions probes ask with
};

class Server {
public:
    Server();
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Listens and serves from threads of its own; false, with the reason in
    // error, when it cannot listen.
    bool start(const ServerOptions& options, std::string& error);
    // Stops taking connections, lets the probes under way answer, and
    // closes everything.
    void stop();
    const Stats& stats() const;

    struct State;

private:
    static struct MHD_Daemon* listen(State& s, const ListenAddress& listen, bool ipv4Only);
    std::unique_ptr<State> state_;
};

} // namespace exporter
