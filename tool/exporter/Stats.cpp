#include "Stats.h"

#include <charconv>

namespace exporter {

namespace {

const char* const kOutcomes[] = {"answered", "silent", "unresolved"};
const char* const kRefusals[] = {"forbidden", "malformed", "busy", "connections", "not_found", "method"};

std::string number(double value)
{
    char buf[32];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? std::string(buf, end) : std::string("NaN");
}

void header(std::string& out, const char* name, const char* type, const char* help)
{
    out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

} // namespace

void Stats::probed(Outcome outcome, double seconds)
{
    probes_[static_cast<size_t>(outcome)].fetch_add(1, std::memory_order_relaxed);
    for (size_t i = 0; i < kDurationBucketCount; ++i)
        if (seconds <= kDurationBuckets[i]) {
            buckets_[i].fetch_add(1, std::memory_order_relaxed);
            break;
        }
    microseconds_.fetch_add(static_cast<long>(seconds * 1e6), std::memory_order_relaxed);
}

std::string Stats::text() const
{
    std::string out;
    header(out, "levelwatch_exporter_probes_total", "counter",
           "Probes finished, by outcome: the printer answered, was silent, or its name did not resolve in time.");
    long total = 0;
    for (size_t i = 0; i < static_cast<size_t>(Outcome::Count); ++i) {
        const long n = probes_[i].load(std::memory_order_relaxed);
        total += n;
        out += std::string("levelwatch_exporter_probes_total{outcome=\"") + kOutcomes[i] + "\"} " + std::to_string(n)
               + "\n";
    }
    header(out, "levelwatch_exporter_probe_duration_seconds", "histogram", "How long the probes took.");
    long cumulative = 0;
    for (size_t i = 0; i < kDurationBucketCount; ++i) {
        cumulative += buckets_[i].load(std::memory_order_relaxed);
        out += "levelwatch_exporter_probe_duration_seconds_bucket{le=\"" + number(kDurationBuckets[i]) + "\"} "
               + std::to_string(cumulative) + "\n";
    }
    // Counted apart, the buckets may lag the total by a probe in progress.
    if (total < cumulative)
        total = cumulative;
    out += "levelwatch_exporter_probe_duration_seconds_bucket{le=\"+Inf\"} " + std::to_string(total) + "\n";
    out += "levelwatch_exporter_probe_duration_seconds_sum "
           + number(static_cast<double>(microseconds_.load(std::memory_order_relaxed)) / 1e6) + "\n";
    out += "levelwatch_exporter_probe_duration_seconds_count " + std::to_string(total) + "\n";
    header(out, "levelwatch_exporter_probes_in_flight", "gauge", "Probes being answered now.");
    out += "levelwatch_exporter_probes_in_flight " + std::to_string(inFlight.load()) + "\n";
    header(out, "levelwatch_exporter_connections", "gauge", "HTTP connections open now.");
    out += "levelwatch_exporter_connections " + std::to_string(connections.load()) + "\n";
    header(out, "levelwatch_exporter_refused_requests_total", "counter",
           "Requests refused, by reason: target not allowed (403), malformed (400), too many probes or "
           "connections (503), no such page (404), method not allowed (405).");
    for (size_t i = 0; i < static_cast<size_t>(Refusal::Count); ++i)
        out += std::string("levelwatch_exporter_refused_requests_total{reason=\"") + kRefusals[i] + "\"} "
               + std::to_string(refused_[i].load(std::memory_order_relaxed)) + "\n";
    return out;
}

} // namespace exporter
