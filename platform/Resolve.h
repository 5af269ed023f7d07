// Name lookup per address family.
#pragma once

#include <string>

namespace platform {

// How long one lookup of a name (one family) may take.
inline constexpr int kNameLookupLimitMs = 5000;

// The first address of `name` in the family (AF_INET or AF_INET6), in the
// numeric text form inet_ntop gives; empty when the name has none in that
// family, or when the resolver has not answered within kNameLookupLimitMs
// (the lookup is then abandoned, whatever the resolver goes on doing). IPv4
// addresses are never mapped into IPv6.
std::string firstAddress(const std::string& name, int family);

} // namespace platform
