// DNS-SD resolution of a printer's service instance through the Avahi daemon.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct ServiceAddress {
    int family;          // AF_INET or AF_INET6
    std::string address; // numeric text form
};

// Resolves the instance `name` of type "_printer._tcp" in domain "local".
// Waits at most `seconds`, and ends early as soon as two or more addresses
// are known. Addresses come in the order the daemon reported them; an IPv6
// link-local address carries no scope. No Avahi daemon, or nothing found in
// time: an empty list.
std::vector<ServiceAddress> resolvePrinterService(const std::string& name, double seconds = 3.0);

} // namespace platform
