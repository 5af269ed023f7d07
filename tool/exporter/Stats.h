// levelwatch-exporter's own metrics, served at /metrics: probes by outcome,
// their durations as a histogram, probes in flight, open connections and
// refused requests by reason. Updated from any thread.
#pragma once

#include <atomic>
#include <string>

namespace exporter {

enum class Outcome { Answered, Silent, Unresolved, Count };
enum class Refusal { Forbidden, Malformed, Busy, Connections, NotFound, Method, Count };

// The upper bounds of the duration histogram's buckets, in seconds.
inline constexpr double kDurationBuckets[] = {0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10};
inline constexpr size_t kDurationBucketCount = sizeof kDurationBuckets / sizeof kDurationBuckets[0];

class Stats {
public:
    void probed(Outcome outcome, double seconds);
    void refused(Refusal reason) { refused_[static_cast<size_t>(reason)].fetch_add(1, std::memory_order_relaxed); }
    std::atomic<long> inFlight{0};
    std::atomic<long> connections{0};
    // The exposition of all of the above (text format 0.0.4).
    std::string text() const;

private:
    std::atomic<long> probes_[static_cast<size_t>(Outcome::Count)] = {};
    std::atomic<long> refused_[static_cast<size_t>(Refusal::Count)] = {};
    std::atomic<long> buckets_[kDurationBucketCount] = {}; // not cumulative
    std::atomic<long> microseconds_{0};
};

} // namespace exporter
