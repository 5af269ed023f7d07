#include "ServiceResolver.h"

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/error.h>
#include <avahi-common/simple-watch.h>

#include <chrono>
#include <sys/socket.h>

namespace platform {

namespace {

struct Resolution {
    std::vector<ServiceAddress> addresses;
};

void onResolved(AvahiServiceResolver*, AvahiIfIndex, AvahiProtocol, AvahiResolverEvent event,
                const char*, const char*, const char*, const char*, const AvahiAddress* address, uint16_t,
                AvahiStringList*, AvahiLookupResultFlags, void* userdata)
{
    if (event != AVAHI_RESOLVER_FOUND || !address)
        return;
    auto* r = static_cast<Resolution*>(userdata);
    char text[AVAHI_ADDRESS_STR_MAX] = "";
    if (!avahi_address_snprint(text, sizeof text, address) || !*text)
        return;
    int family = avahi_proto_to_af(address->proto);
    if (family != AF_INET && family != AF_INET6)
        return;
    for (const auto& known : r->addresses)
        if (known.family == family && known.address == text)
            return;
    r->addresses.push_back({family, text});
}

} // namespace

std::vector<ServiceAddress> resolvePrinterService(const std::string& name, double seconds)
{
    Resolution result;
    AvahiSimplePoll* poll = avahi_simple_poll_new();
    if (!poll)
        return {};
    int error = 0;
    AvahiClient* client =
        avahi_client_new(avahi_simple_poll_get(poll), AvahiClientFlags(0), nullptr, nullptr, &error);
    if (client) {
        // One resolver per address family, so that both an IPv4 and an IPv6
        // address of the printer can be learnt.
        AvahiServiceResolver* resolvers[2] = {};
        const AvahiProtocol protocols[2] = {AVAHI_PROTO_INET6, AVAHI_PROTO_INET};
        for (int i = 0; i < 2; ++i)
            resolvers[i] = avahi_service_resolver_new(client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, name.c_str(),
                                                      "_printer._tcp", "local", protocols[i],
                                                      AvahiLookupFlags(0), onResolved, &result);
        using Clock = std::chrono::steady_clock;
        auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(seconds));
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0 || result.addresses.size() >= 2)
                break;
            if (avahi_simple_poll_iterate(poll, static_cast<int>(left)) != 0)
                break;
        }
        for (auto* r : resolvers)
            if (r)
                avahi_service_resolver_free(r);
        avahi_client_free(client);
    }
    avahi_simple_poll_free(poll);
    return result.addresses;
}

} // namespace platform
