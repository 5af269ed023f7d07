// From a queue's device URI to the printer's status block: the USB road
// through the sibling filter and the network road through the chain of
// status queries, address by address.
#pragma once

#include "snmp/Credentials.h"
#include "snmp/TesselCmd.h"

#include <string>
#include <vector>

// The addresses of the printer, as getAddressFromURL lists them: entry i of
// mDNSIP is a numeric address, entry i of mDNSType its family label, "IPv4"
// or "IPv6".
extern std::vector<std::string> mDNSIP;
extern std::vector<std::string> mDNSType;

// Fills mDNSIP and mDNSType from the device URI's scheme and host: "socket",
// "ipp" and "lpd" (any letter case) by looking the host up, IPv6 first, then
// IPv4, first address only; "mdns" and "dnssd" by resolving the DNS-SD
// instance named by the host up to its first "." (at most 3 seconds). Any
// other scheme leaves both lists empty.
void getAddressFromURL(const std::string& scheme, const std::string& host);

// The read community of the SNMP v1 queries.
inline constexpr const char* kReadCommunity = "tundra";

// Exit statuses of the tool.
enum : int {
    kExitReported = 0,  // the report was printed
    kExitNoAddress = 1, // the network road found no address at all
    kExitFailed = -1,   // every other failure (seen by the parent as 255)
};

// True when a line read from the sibling filter is long enough to be a
// device-ID text worth decoding: 127 characters or more, its end-of-line
// character counted.
bool UsbLineLongEnough(const std::string& line);

// The USB road: runs the sibling filter for the queue and the URI and
// decodes its first line into the record. Returns an exit status.
int ReadStatusOverUsb(const std::string& queue, const std::string& uri, PRINTER_STATUS& record);

// Which listed address filled the record, and over which SNMP version.
struct NetworkAnswer {
    size_t index = 0; // into mDNSIP and mDNSType
    bool v1 = false;  // false: SNMPv3
    const SnmpV3Credentials* credentials = nullptr; // the set SNMPv3 answered to
};

// The network road over the listed addresses: each gets the SNMP v1 query
// and, when that fails, the SNMPv3 query once per credential set (in the
// order of SnmpV3CredentialSets(), or only `only` when given), in list order,
// until one fills the record (and `answer`, when given). The set that
// answered (else the first tried) is left the thread's set. Returns an exit
// status.
int ReadStatusOverNetwork(PRINTER_STATUS& record, NetworkAnswer* answer = nullptr,
                          const SnmpV3Credentials* only = nullptr);
