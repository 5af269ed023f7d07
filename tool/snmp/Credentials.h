// The SNMPv3 credential sets (user and two pass phrases) that the tool
// presents to printers, and which of them the calling thread presents now.
// The built-in set comes from the build (Credentials.cpp); a site's own sets
// replace it when they are loaded.
#pragma once

#include <string>
#include <vector>

struct SnmpV3Credentials {
    std::string name;      // the set's name ("" for the built-in set)
    std::string user;      // 1 to 32 bytes
    std::string authPass;  // 8 to 64 bytes
    std::string privPass;  // 8 to 64 bytes
};

// The sets this process tries for a printer, in order; never empty (the
// built-in set alone until a site's sets are loaded).
const std::vector<SnmpV3Credentials>& SnmpV3CredentialSets();
// The set of that name, or null.
const SnmpV3Credentials* FindSnmpV3Credentials(const std::string& name);

// The set that the calling thread's SNMPv3 messages present (status queries,
// device information, discovery); null, the default, means the first of
// SnmpV3CredentialSets(). The set must outlive its use.
void SetThreadSnmpV3Credentials(const SnmpV3Credentials* set);
const SnmpV3Credentials& ThreadSnmpV3Credentials();
