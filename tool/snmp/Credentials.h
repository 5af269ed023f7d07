// The SNMPv3 credential sets (user and two pass phrases) that the tool
// presents to printers, and which of them the calling thread presents now.
// The built-in set comes from the build (a header it generates); a site's own
// sets, read from its credentials file, replace it.
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

// Where a site's credentials file is looked for when LEVELWATCH_CONFIG names
// none and the systemd service was given none.
inline constexpr const char* kSnmpV3CredentialsPath = "/etc/levelwatch/snmp.conf";

// Reads the site's credential sets (CredentialsFile.h), which then replace
// the built-in set: from the file LEVELWATCH_CONFIG names; else from
// $CREDENTIALS_DIRECTORY/snmp.conf when a systemd service was given that
// credential (LoadCredential=snmp.conf:...); else from
// kSnmpV3CredentialsPath. True, the built-in set kept, when that last file
// does not exist or this user may not read it, and when the file holds no set.
// False, the sets unchanged, with error naming the file and how to put it
// right (never a value), when the file belongs to neither root nor this user,
// is not a regular file, cannot be read or does not parse, and when it holds
// a set and can be read or written by others than its owner and group or
// written by its group. Once a
// site's sets are held, the process dumps no core (PR_SET_DUMPABLE 0).
bool LoadSnmpV3Credentials(std::string& error);
// The file the sets came from; empty for the built-in set.
const std::string& SnmpV3CredentialsFile();
