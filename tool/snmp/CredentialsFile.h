// The site's SNMPv3 credentials file (/etc/levelwatch/snmp.conf): its syntax.
#pragma once

#include "snmp/Credentials.h"

#include <cstddef>
#include <string>
#include <vector>

// A credentials file is at most this large, and holds at most this many sets.
inline constexpr size_t kCredentialsFileMaxBytes = 64 * 1024;
inline constexpr size_t kCredentialsMaxSets = 64;
// A set's name: 1 to this many letters, digits, '-', '_' or '.'.
inline constexpr size_t kCredentialsNameMax = 32;

// Parses the text of a credentials file:
//
//     # '#' first on a line starts a comment
//     [office]
//     user = lwmonitor
//     auth-passphrase = first pass phrase
//     priv-passphrase = second pass phrase
//
// Blanks before a line, a key and the '=' and after the '=' are skipped; the
// value is the rest of the line, blanks kept (a CR before the LF is not part
// of it). Each set needs all three keys once: a user of 1 to 32 bytes, pass
// phrases of 8 to 64 bytes, none with control characters. On success, sets
// holds the sets in file order (none for a file without a set). On failure,
// error names the line and what is wrong with it, never a value, and sets is
// left empty.
bool ParseSnmpV3CredentialsText(const std::string& text, std::vector<SnmpV3Credentials>& sets, std::string& error);

// Overwrites the set's texts with zeros and empties them.
void WipeSnmpV3Credentials(SnmpV3Credentials& set);
