// Internal to the SNMP library: the UDP and SNMPv3 pieces that the status
// queries, the device information queries and discovery share.
#pragma once

#include "snmp/NetIO.h"

#include <cstddef>
#include <functional>
#include <sys/socket.h>
#include <sys/types.h>

// The printers' engine IDs begin with this (RFC 3411 form, enterprise 3313);
// only such engines are sent a request.
inline constexpr unsigned char kEnginePrefix[4] = {0x80, 0x00, 0x0C, 0xF1};

// Lengths of the encoded OIDs in _sysObjIdOid, _sysNameOid, _pvtDevIdOid,
// _pvtFwVerOid and _pvtMcuVerOid (0: none encoded, nothing matches).
#define _sysObjIdOidLen (SnmpThread().v3.sysObjIdOidLen)
#define _sysNameOidLen (SnmpThread().v3.sysNameOidLen)
#define _pvtDevIdOidLen (SnmpThread().v3.pvtDevIdOidLen)
#define _pvtFwVerOidLen (SnmpThread().v3.pvtFwVerOidLen)
#define _pvtMcuVerOidLen (SnmpThread().v3.pvtMcuVerOidLen)
// Zero-fills one of those 128-byte buffers, encodes text into it and keeps
// the encoding's length.
void encodeValueOid(unsigned char* buffer, int* length, const char* text);

// The address family of what the host text resolves to first; AF_UNSPEC
// (and the trace line) when it does not resolve.
int hostFamily(const char* host);

// A UDP socket of the family, with broadcast permission on or off and a
// receive time-out of timeoutUs microseconds; -1 when none can be opened.
int openUdpSocket(int family, bool broadcast, long timeoutUs);
// Sends the datagram `times` times, pausing 30 microseconds after each;
// returns the result of the last send.
ssize_t sendTimes(int fd, const void* data, size_t size, const sockaddr* to, socklen_t toLength, int times);
// The numeric text of an IPv4 or IPv6 socket address, without a scope ("" for
// another family).
void addressText(const sockaddr* address, char* out, size_t capacity);

// Zero-fills the record and writes the SNMPv3 user and pass phrases into it.
void loadCredentials(_SNMP_PARAM_V3& param);
// Parses a datagram as the answer to an engine-discovery probe into a record
// freshly given the credentials: true when it parses with error-status 0 and
// its engine ID carries kEnginePrefix.
bool acceptEngineReport(unsigned char* datagram, int size, _SNMP_PARAM_V3& param);
// The authPriv GetRequest for the OIDs to the engine of the record, its keys
// kept in the record; the message length, 0 when none was built.
int buildEngineRequest(_SNMP_PARAM_V3& param, const char* const* oids, int count, unsigned char* out);

// An SNMPv3 query of one host sends a request to at most this many engines
// that report from its address, and ends at the latest this long after it
// began (its two windows of a second, one after the other, with room).
inline constexpr size_t kV3QueryMaxEngines = 4;
inline constexpr int kV3QueryLimitMs = 4000;

// One SNMPv3 query of a single agent, as the status query and the device
// information queries run it: the probe to dest (IPv4 or IPv6);
// for every Report that acceptEngineReport takes, a request for the OIDs on
// a second socket to the Report's sender; every answer to it is parsed with
// callback, and when it parses with error-status 0, `accepted` runs. Each
// socket receives until one second passes without a datagram, so an
// answered query lasts about 2 seconds; only dest may report and only the
// engine asked may answer; the whole query ends by kV3QueryLimitMs and the
// datagram bound of NetIO.h. `before` runs before each answer is parsed.
// False when the probe could not be sent.
struct V3Query {
    const char* const* oids;
    int count;
    SNMP_VALUE_CALLBACK callback;
    std::function<void()> before;
    std::function<void()> accepted;
};
bool runV3Query(const sockaddr* dest, socklen_t destLength, const V3Query& query);
