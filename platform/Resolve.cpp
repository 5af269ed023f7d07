// Name lookup per address family, ended at its bound whatever the resolver does.
#include "Resolve.h"

#include <arpa/inet.h>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <sys/socket.h>
#include <thread>

namespace platform {

namespace {

std::string lookUp(const std::string& name, int family, int flags)
{
    addrinfo hints {};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = flags;
    addrinfo* result = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &result) != 0 || !result)
        return {};
    char text[256] = "";
    const void* raw = nullptr;
    for (addrinfo* ai = result; ai && !raw; ai = ai->ai_next) {
        if (ai->ai_family == AF_INET)
            raw = &reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr;
        else if (ai->ai_family == AF_INET6)
            raw = &reinterpret_cast<const sockaddr_in6*>(ai->ai_addr)->sin6_addr;
        if (raw && !inet_ntop(ai->ai_family, raw, text, sizeof text))
            text[0] = '\0';
    }
    freeaddrinfo(result);
    return text;
}

// What a lookup on its own thread hands back; the thread keeps it alive as
// long as it runs, even after the caller stopped waiting.
struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::string address;
};

} // namespace

std::string firstAddress(const std::string& name, int family)
{
    if (name.empty() || (family != AF_INET && family != AF_INET6))
        return {};
    // A numeric address needs no resolver.
    if (std::string numeric = lookUp(name, family, AI_NUMERICHOST); !numeric.empty())
        return numeric;
    unsigned char probe[sizeof(in6_addr)];
    if (inet_pton(AF_INET, name.c_str(), probe) == 1 || inet_pton(AF_INET6, name.c_str(), probe) == 1)
        return {}; // an address of the other family
    // A resolver that does not give up is left behind on its thread.
    auto lookup = std::make_shared<Lookup>();
    try {
        std::thread([lookup, name, family] {
            std::string address = lookUp(name, family, 0);
            const std::lock_guard<std::mutex> hold(lookup->mutex);
            lookup->address = std::move(address);
            lookup->finished = true;
            lookup->done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return lookUp(name, family, 0);
    }
    std::unique_lock<std::mutex> hold(lookup->mutex);
    lookup->done.wait_for(hold, std::chrono::milliseconds(kNameLookupLimitMs), [&] { return lookup->finished; });
    return lookup->finished ? lookup->address : std::string();
}

} // namespace platform
