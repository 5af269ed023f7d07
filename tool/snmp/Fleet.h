// The fleet road: every printer of a list asked at once, from one socket per address family in one event loop, each with one request carrying every object we read.
#pragma once

#include "snmp/Credentials.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Timings of one host. Its first question goes out as soon as it has a
// place among the hosts in flight; a host not answered kFleetRetryMs later
// is asked once more (its last question again), and one not answered by its
// deadline is given up. A host's exchange ends the moment its answer is
// parsed (and, over SNMPv3, authenticated).
inline constexpr double kFleetHostDeadlineSeconds = 3.0;
inline constexpr int kFleetRetryMs = 1000;

// Bounds of one run, whatever the network sends:
// - at most kFleetMaxHosts hosts (the rest are answered up = false and
//   counted as overHosts); a host costs about kFleetBytesPerHost bytes of
//   memory while the run lasts (its state, its answer, its address key);
// - at most kFleetMaxInFlight hosts asked at once (the others wait their
//   turn): this bounds the SNMPv3 engines waiting for an answer and the
//   answers the kernel must queue at once;
// - at most kFleetDatagramsPerHost datagrams handled per host asked, plus
//   kListenMaxDatagrams (NetIO.h), in all;
// - per host at most kFleetMaxEnginesPerHost engines that report from its
//   address, and at most kFleetMaxTriesPerHost authenticated requests
//   (engines times credential sets);
// - two sockets (one IPv4, one IPv6), opened only when a host needs them.
inline constexpr size_t kFleetMaxHosts = 65536;
inline constexpr size_t kFleetMaxInFlight = 4096;
inline constexpr int kFleetDatagramsPerHost = 16;
inline constexpr size_t kFleetMaxEnginesPerHost = 4;
inline constexpr size_t kFleetMaxTriesPerHost = 8;
inline constexpr size_t kFleetBytesPerHost = 1024;

struct FleetHost {
    std::string address;                 // numeric; an IPv6 link-local one with "%zone"
    unsigned short port = 161;
    std::vector<const SnmpV3Credentials*> credentials; // sets tried in order; empty: all of SnmpV3CredentialSets()
};

struct FleetAnswer {
    bool up = false;                     // a parsed (v3: authenticated) answer from the host asked
    std::string snmp;                    // "v1" or "v3"
    std::string credentialSet;           // name of the set that answered (v3)
    std::string sysObjectId;             // dotted text, empty when not told
    std::string name, firmware, mcuFirmware;
    bool haveLevels = false;
    int levels[4] = {-1, -1, -1, -1};    // black, cyan, magenta, yellow percent; -1 unknown (>100 is unknown)
    double seconds = 0;                  // from the first question to the answer
};

struct FleetOptions {
    bool v1 = true, v3 = true;
    double deadlineSeconds = kFleetHostDeadlineSeconds; // per host
    std::string community;               // v1 community; empty: the built-in one
};

// What a run handled and what its bounds or its judgement left out.
struct FleetCounts {
    long datagrams = 0;       // datagrams received and handled
    long forged = 0;          // from an address or port no host of the run was asked at
    long unmatched = 0;       // from a host asked, but no answer to its question (request id, shape)
    long unauthenticated = 0; // SNMPv3 datagrams from a host that no key of its own authenticates
    long late = 0;            // from a host whose exchange had already ended
    long refused = 0;         // credential sets an engine refused (the next set was tried)
    long unsent = 0;          // questions that found no room to be sent
    long badAddress = 0;      // hosts whose address is not numeric (or whose zone is no interface)
    long overHosts = 0;       // hosts over kFleetMaxHosts, not asked
    long datagramBound = 0;   // 1 when the run stopped at its datagram bound
    long enginesBound = 0;    // reports not followed: kFleetMaxEnginesPerHost or kFleetMaxTriesPerHost reached
    long givenUp = 0;         // hosts asked that gave no answer by their deadline
};

// Asks every host at once; answers in the order of hosts. Thread-safe: may
// run on several threads at once (each run has its own sockets and state).
// The pass-phrase keys are computed once per process; only their
// localisation is done per engine.
std::vector<FleetAnswer> QueryFleet(const std::vector<FleetHost>& hosts, const FleetOptions& options,
                                    FleetCounts* counts = nullptr);

// ---- the parts of the road, for its tests and fuzz target ----

// The values an answer carried, as the road keeps them.
struct FleetValues {
    bool any = false;           // at least one binding for an object asked
    std::string sysObjectId, name, firmware, mcuFirmware;
    bool haveLevels = false;
    int levels[4] = {-1, -1, -1, -1};
};

// The SNMP v1 GetRequest of the road: the community (empty: the built-in
// one), the request id and the objects of `mask` (bit k: object k of the
// road's list: sysObjectID, sysName, firmware, MCU firmware, device ID).
// Its length, 0 when it does not fit capacity.
int BuildFleetV1Request(const std::string& community, uint32_t requestId, unsigned mask, unsigned char* out,
                        size_t capacity);

// Parses an SNMP v1 GetResponse to BuildFleetV1Request: true when it is
// well formed, version 0, and carries that request id. errorStatus and
// errorIndex receive the PDU's; values the bindings it carries for the
// objects asked (with error-status 0). Bounded by size; never reads past it.
bool ParseFleetV1Answer(const unsigned char* msg, int size, uint32_t requestId, int* errorStatus,
                        int* errorIndex, FleetValues& values);

// Dotted text of OID content bytes; "" when they are no valid OID (or over
// 128 bytes).
std::string OidText(const unsigned char* oid, int length);
