#include "ServiceResolver.h"

#include "Loaded.h"

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/error.h>
#include <avahi-common/simple-watch.h>

#include <chrono>
#include <sys/socket.h>

namespace platform {

namespace {

// The functions of Avahi's two client libraries this file needs.
struct Avahi {
    decltype(&avahi_simple_poll_new) pollNew = nullptr;
    decltype(&avahi_simple_poll_get) pollGet = nullptr;
    decltype(&avahi_simple_poll_iterate) pollIterate = nullptr;
    decltype(&avahi_simple_poll_free) pollFree = nullptr;
    decltype(&avahi_address_snprint) addressText = nullptr;
    decltype(&avahi_proto_to_af) protoToAf = nullptr;
    decltype(&avahi_client_new) clientNew = nullptr;
    decltype(&avahi_client_free) clientFree = nullptr;
    decltype(&avahi_service_resolver_new) resolverNew = nullptr;
    decltype(&avahi_service_resolver_free) resolverFree = nullptr;
    bool ok = false;
};

const Avahi& avahi()
{
    static const Avahi loaded = [] {
        static LoadedLibrary common(LEVELWATCH_AVAHI_COMMON_SONAME);
        static LoadedLibrary client(LEVELWATCH_AVAHI_CLIENT_SONAME);
        Avahi a;
        common.bind(a.pollNew, "avahi_simple_poll_new");
        common.bind(a.pollGet, "avahi_simple_poll_get");
        common.bind(a.pollIterate, "avahi_simple_poll_iterate");
        common.bind(a.pollFree, "avahi_simple_poll_free");
        common.bind(a.addressText, "avahi_address_snprint");
        common.bind(a.protoToAf, "avahi_proto_to_af");
        client.bind(a.clientNew, "avahi_client_new");
        client.bind(a.clientFree, "avahi_client_free");
        client.bind(a.resolverNew, "avahi_service_resolver_new");
        client.bind(a.resolverFree, "avahi_service_resolver_free");
        a.ok = common.ok() && client.ok();
        return a;
    }();
    return loaded;
}

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
    if (!avahi().addressText(text, sizeof text, address) || !*text)
        return;
    int family = avahi().protoToAf(address->proto);
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
    if (!avahi().ok)
        return {};
    AvahiSimplePoll* poll = avahi().pollNew();
    if (!poll)
        return {};
    int error = 0;
    AvahiClient* client =
        avahi().clientNew(avahi().pollGet(poll), AvahiClientFlags(0), nullptr, nullptr, &error);
    if (client) {
        // One resolver per address family, so that both an IPv4 and an IPv6
        // address of the printer can be learnt.
        AvahiServiceResolver* resolvers[2] = {};
        const AvahiProtocol protocols[2] = {AVAHI_PROTO_INET6, AVAHI_PROTO_INET};
        for (int i = 0; i < 2; ++i)
            resolvers[i] = avahi().resolverNew(client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, name.c_str(),
                                                      "_printer._tcp", "local", protocols[i],
                                                      AvahiLookupFlags(0), onResolved, &result);
        using Clock = std::chrono::steady_clock;
        auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(seconds));
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0 || result.addresses.size() >= 2)
                break;
            if (avahi().pollIterate(poll, static_cast<int>(left)) != 0)
                break;
        }
        for (auto* r : resolvers)
            if (r)
                avahi().resolverFree(r);
        avahi().clientFree(client);
    }
    avahi().pollFree(poll);
    return result.addresses;
}

} // namespace platform
