// What levelwatch-exporter is asked to probe and where it may send: the
// target "ADDRESS[:PORT]" of /probe, the networks of --allow=CIDR, and the
// scrape timeout Prometheus announces. Pure text handling, bounded by its
// input.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace exporter {

// The longest target text taken: a name of 253 bytes, brackets, a port.
inline constexpr size_t kMaxTargetBytes = 270;
inline constexpr size_t kMaxNameBytes = 253;
inline constexpr unsigned short kDefaultSnmpPort = 161;

// A numeric address: family AF_INET or AF_INET6 and its bytes (4 or 16).
struct Address {
    int family = 0;
    unsigned char bytes[16] = {};
};

struct Target {
    std::string host;        // a numeric address (IPv6 without brackets; a zone as "%if") or a name
    unsigned short port = kDefaultSnmpPort;
    bool numeric = false;    // host is an address: `address` holds it
    Address address;
};

// Parses "192.0.2.7", "192.0.2.7:1161", "printer.example", "printer:161",
// "2001:db8::7", "[2001:db8::7]", "[2001:db8::7]:1161" and a link-local
// address with its zone, "fe80::7%eth0" or "[fe80::7%25eth0]:161" (the
// interface must exist). False, with the reason in error, otherwise.
bool ParseTarget(std::string_view text, Target& target, std::string& error);

// A network of --allow: "192.0.2.0/24", "2001:db8::/32", or a bare address
// (one host).
struct Network {
    Address base;
    int prefix = 0;
};
bool ParseNetwork(std::string_view text, Network& network, std::string& error);

// The networks a target may be in; empty allows nothing. An IPv4-mapped
// IPv6 address (::ffff:192.0.2.7) is judged as its IPv4 address; the
// unspecified address and multicast addresses are never allowed.
class AllowList {
public:
    void add(const Network& network) { networks_.push_back(network); }
    bool empty() const { return networks_.empty(); }
    bool allows(const Address& address) const;

private:
    std::vector<Network> networks_;
};

// X-Prometheus-Scrape-Timeout-Seconds: a positive decimal number of seconds
// ("10", "9.5"), at most 16 bytes. False when it is anything else.
bool ParseScrapeTimeout(std::string_view text, double& seconds);

// The listen address of --web.listen-address: "[HOST]:PORT" with HOST a
// numeric IPv4 address, an IPv6 address in brackets, or nothing (every
// address, IPv4 and IPv6).
struct ListenAddress {
    bool any = true;
    Address address;
    unsigned short port = 0;
};
bool ParseListenAddress(std::string_view text, ListenAddress& listen, std::string& error);

} // namespace exporter
