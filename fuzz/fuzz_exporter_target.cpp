// levelwatch-exporter's texts from the network and the command line: a
// probe's target, an --allow network, a scrape timeout, a listen address;
// a target that parses as numeric is also judged by an allow list.
#include "exporter/Target.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    exporter::Target target;
    exporter::Network network;
    exporter::AllowList allow;
    if (exporter::ParseNetwork(text, network, error))
        allow.add(network);
    exporter::Network some;
    exporter::ParseNetwork("192.0.2.0/24", some, error);
    allow.add(some);
    if (exporter::ParseTarget(text, target, error) && target.numeric)
        (void)allow.allows(target.address);
    double seconds = 0;
    (void)exporter::ParseScrapeTimeout(text, seconds);
    exporter::ListenAddress listen;
    (void)exporter::ParseListenAddress(text, listen, error);
    return 0;
}
