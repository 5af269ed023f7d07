#include "Target.h"

#include <arpa/inet.h>
#include <cstring>
#include <net/if.h>
#include <sys/socket.h>

namespace exporter {

namespace {

bool parsePort(std::string_view text, unsigned short& port)
{
    if (text.empty() || text.size() > 5)
        return false;
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535)
        return false;
    port = static_cast<unsigned short>(value);
    return true;
}

bool parseAddress(std::string_view text, Address& address)
{
    if (text.empty() || text.size() >= INET6_ADDRSTRLEN)
        return false;
    const std::string copy(text);
    if (::inet_pton(AF_INET, copy.c_str(), address.bytes) == 1) {
        address.family = AF_INET;
        return true;
    }
    if (::inet_pton(AF_INET6, copy.c_str(), address.bytes) == 1) {
        address.family = AF_INET6;
        return true;
    }
    return false;
}

// An IPv6 address with an optional zone ("%eth0", or "%25eth0" inside a URI).
bool parseIpv6WithZone(std::string_view text, Target& target, std::string& error)
{
    const size_t percent = text.find('%');
    std::string_view bare = text.substr(0, percent);
    Address address;
    if (!parseAddress(bare, address) || address.family != AF_INET6) {
        error = "not an IPv6 address";
        return false;
    }
    target.host = std::string(bare);
    if (percent != std::string_view::npos) {
        std::string_view zone = text.substr(percent + 1);
        if (zone.substr(0, 2) == "25")
            zone.remove_prefix(2);
        if (zone.empty() || zone.size() >= IF_NAMESIZE || ::if_nametoindex(std::string(zone).c_str()) == 0) {
            error = "no such network interface";
            return false;
        }
        target.host += "%" + std::string(zone);
    }
    target.numeric = true;
    target.address = address;
    return true;
}

// A host name as DNS has them: letters, digits, hyphens, underscores, dots
// between labels of at most 63 bytes, the last one not all digits.
bool isName(std::string_view text)
{
    if (text.empty() || text.size() > kMaxNameBytes || text.front() == '.' || text.front() == '-')
        return false;
    size_t label = 0;
    for (const char c : text) {
        if (c == '.') {
            if (label == 0)
                return false;
            label = 0;
            continue;
        }
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-'
                        || c == '_';
        if (!ok || ++label > 63)
            return false;
    }
    // No top-level domain is all digits: "192.0.2.256" is a bad address.
    const std::string_view last = text.substr(text.rfind('.') == std::string_view::npos ? 0 : text.rfind('.') + 1);
    return last.find_first_not_of("0123456789") != std::string_view::npos;
}

} // namespace

bool ParseTarget(std::string_view text, Target& target, std::string& error)
{
    target = Target{};
    if (text.empty()) {
        error = "empty target";
        return false;
    }
    if (text.size() > kMaxTargetBytes) {
        error = "target too long";
        return false;
    }
    if (text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string_view::npos) {
            error = "no closing bracket";
            return false;
        }
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty() && (rest.front() != ':' || !parsePort(rest.substr(1), target.port))) {
            error = "bad port";
            return false;
        }
        return parseIpv6WithZone(text.substr(1, close - 1), target, error);
    }
    const size_t colon = text.find(':');
    if (colon != std::string_view::npos && text.find(':', colon + 1) != std::string_view::npos)
        return parseIpv6WithZone(text, target, error); // IPv6 without brackets: no port
    std::string_view host = text.substr(0, colon);
    if (colon != std::string_view::npos && !parsePort(text.substr(colon + 1), target.port)) {
        error = "bad port";
        return false;
    }
    if (parseAddress(host, target.address)) {
        if (target.address.family != AF_INET) {
            error = "an IPv6 address with a port needs brackets";
            return false;
        }
        target.numeric = true;
        target.host = std::string(host);
        return true;
    }
    if (!isName(host)) {
        error = "not an address or host name";
        return false;
    }
    target.host = std::string(host);
    return true;
}

bool ParseNetwork(std::string_view text, Network& network, std::string& error)
{
    network = Network{};
    const size_t slash = text.find('/');
    if (!parseAddress(text.substr(0, slash), network.base)) {
        error = "not an address: " + std::string(text.substr(0, slash));
        return false;
    }
    const int bits = network.base.family == AF_INET ? 32 : 128;
    network.prefix = bits;
    if (slash != std::string_view::npos) {
        const std::string_view length = text.substr(slash + 1);
        int value = 0;
        if (length.empty() || length.size() > 3) {
            error = "bad prefix length";
            return false;
        }
        for (const char c : length) {
            if (c < '0' || c > '9') {
                error = "bad prefix length";
                return false;
            }
            value = value * 10 + (c - '0');
        }
        if (value > bits) {
            error = "prefix length over " + std::to_string(bits);
            return false;
        }
        network.prefix = value;
    }
    return true;
}

bool AllowList::allows(const Address& given) const
{
    Address address = given;
    static const unsigned char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    if (address.family == AF_INET6 && std::memcmp(address.bytes, kMapped, 12) == 0) {
        address.family = AF_INET;
        std::memmove(address.bytes, address.bytes + 12, 4);
        std::memset(address.bytes + 4, 0, 12);
    }
    const size_t size = address.family == AF_INET ? 4 : 16;
    static const unsigned char kZero[16] = {};
    if (std::memcmp(address.bytes, kZero, size) == 0)
        return false;
    if ((address.family == AF_INET && address.bytes[0] >= 224 && address.bytes[0] < 240)
        || (address.family == AF_INET6 && address.bytes[0] == 0xff))
        return false;
    for (const Network& n : networks_) {
        if (n.base.family != address.family)
            continue;
        const int whole = n.prefix / 8, rest = n.prefix % 8;
        if (std::memcmp(n.base.bytes, address.bytes, static_cast<size_t>(whole)) != 0)
            continue;
        const unsigned mask = (0xFF00u >> rest) & 0xFFu;
        if (rest == 0 || ((n.base.bytes[whole] ^ address.bytes[whole]) & mask) == 0)
            return true;
    }
    return false;
}

bool ParseScrapeTimeout(std::string_view text, double& seconds)
{
    if (text.empty() || text.size() > 16)
        return false;
    double value = 0, scale = 0;
    bool digits = false;
    for (const char c : text) {
        if (c == '.' && scale == 0) {
            scale = 1;
        } else if (c >= '0' && c <= '9') {
            digits = true;
            if (scale == 0) {
                value = value * 10 + (c - '0');
            } else {
                scale /= 10;
                value += (c - '0') * scale;
            }
        } else {
            return false;
        }
    }
    if (!digits || value <= 0)
        return false;
    seconds = value;
    return true;
}

bool ParseListenAddress(std::string_view text, ListenAddress& listen, std::string& error)
{
    listen = ListenAddress{};
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || !parsePort(text.substr(colon + 1), listen.port)) {
        error = "not [HOST]:PORT";
        return false;
    }
    std::string_view host = text.substr(0, colon);
    if (host.empty())
        return true;
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
        if (!parseAddress(host, listen.address) || listen.address.family != AF_INET6) {
            error = "not an IPv6 address in brackets";
            return false;
        }
    } else if (!parseAddress(host, listen.address) || listen.address.family != AF_INET) {
        error = "not a numeric address (IPv6 in brackets)";
        return false;
    }
    listen.any = false;
    return true;
}

} // namespace exporter
