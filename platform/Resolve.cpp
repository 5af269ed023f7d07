#include "Resolve.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

namespace platform {

std::string firstAddress(const std::string& name, int family)
{
    if (name.empty() || (family != AF_INET && family != AF_INET6))
        return {};
    addrinfo hints {};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_DGRAM;
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

} // namespace platform
