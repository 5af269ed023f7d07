// The SNMP engine CNetIO and the library's process-wide state. Its members
// are defined one feature per file: BER/OID primitives (Ber.cpp), SNMP v1
// messages (SnmpV1.cpp), SNMPv3 messages (SnmpV3.cpp), the status queries
// (StatusQuery.cpp), device information (DeviceInfo.cpp), agent discovery
// (Discovery.cpp, with the interface list in Interfaces.cpp) and the TCP
// operations (Tcp.cpp); the working buffers and counters belong to the
// calling thread (SnmpThreadState, Globals.cpp), so operations may run on
// several threads at once. The library writes trace lines only to standard
// error, and only when the environment holds LEVELWATCH_DEBUG=1.
#pragma once

#include <cstddef>

#include "snmp/Socket.h"
#include "snmp/TesselCmd.h"

// Sizes of the process-wide buffers and fields.
inline constexpr size_t DEVICEID_BUF_SIZE = 4032; // g_deviceid
inline constexpr size_t RECVBUF_SIZE = 1024;      // g_RecvBuf
inline constexpr size_t SYSOBJID_SIZE = 128;      // sysObjId
inline constexpr size_t OID_FIELD_SIZE = 32;      // an encoded target OID
inline constexpr size_t OID_TEXT_MAX = 127;       // longest OID text accepted
inline constexpr size_t COMMUNITY_OUT_SIZE = 256; // default capacity of parseGetResponse's community output
inline constexpr int V1_REQUEST_MAX = 129;        // largest GetRequest BuildGetRequestFor writes

// The printer's device-ID object, the agents' UDP port, and the community
// used when a caller gives none (the tool's read community).
inline constexpr const char* kDeviceIdOidText = "1.3.6.1.4.1.41873.886.300.369.8531.1.1.0";
inline constexpr int kSnmpPort = 161;
inline constexpr const char* kDefaultCommunity = "tundra";

// Value callback of the response walkers, called once per variable binding
// with the OID content bytes and their count, the value's tag byte and the
// value's content bytes and their count. Both ranges lie inside the message
// handed to the walker. A callback that stores the value refuses (returns
// false, stores nothing) a value that does not fit its buffer.
typedef bool (*SNMP_VALUE_CALLBACK)(const unsigned char* oid, int oidLen, unsigned char tag,
                                    const unsigned char* value, int valueLen);

// The SNMP v1 buffers and the IPv6 scope of the calling thread (see
// SnmpThreadState below), all zero at a thread's start.
#define g_deviceid (SnmpThread().deviceId)       // last device-ID text, NUL-terminated
#define g_RecvBuf (SnmpThread().recvBuf)         // last text value, NUL-terminated
#define sysObjId (SnmpThread().sysObjectId)      // last sysObjectID value (OID content bytes)
#define sysObjIdLen (SnmpThread().sysObjectIdLength) // its length
#define scope_id (SnmpThread().scopeId)          // IPv6 scope identifier; 0 until discovery sets it
#define g_ifsName (SnmpThread().interfaceSuffix) // interface suffix, "%en0" at start

// Big-endian value of the n bytes at p, accumulated as unsigned (FF gives
// 255); 0 when n <= 0 or p is null. Reads exactly n bytes.
int readIntValue(const unsigned char* p, int n);
int max(int a, int b);
// Host <-> network byte order for 16-bit values.
unsigned short FLIPWORD(unsigned short w);
// Same four-byte reversal as Big2LittleEndian.
void Big2LittleEndian_(char* p);

// ---- SNMPv3 (USM) plain declarations: begin ----
// Every SNMPv3 message we build or accept, and every element of it, fits 2048 bytes.
inline constexpr int SNMPV3_MSG_MAX = 2048;
inline constexpr int SNMPV3_ENGINEID_MAX = 32;   // engine ID holder
inline constexpr int SNMPV3_HOLDER_MAX = 64;     // user name, privacy parameters, context name
inline constexpr int SNMPV3_AUTHPARAM_LEN = 12;  // HMAC-MD5-96 code
inline constexpr int SNMPV3_USER_FIELD = 36;     // user name text field (32 characters and NUL fit)
inline constexpr int SNMPV3_PASS_FIELD = 65;     // pass phrase text fields (64 characters and NUL)

// The SNMPv3 parameter record, zero-filled before each use.
struct _SNMP_PARAM_V3 {
    unsigned char engineID[SNMPV3_ENGINEID_MAX]; // msgAuthoritativeEngineID of the last parsed message
    int engineIDLen;
    unsigned int engineBoots;
    unsigned int engineTime;
    char userName[SNMPV3_USER_FIELD];
    char authPassword[SNMPV3_PASS_FIELD];
    char privPassword[SNMPV3_PASS_FIELD];
    unsigned char privKey[16];                   // localized keys of the last request; all zero: none
    unsigned char authKey[16];
    SNMP_VALUE_CALLBACK varbindCallback;         // called for every binding of an accepted message
};

// The calling thread's counters, 0 at a thread's start; each value is used,
// then the counter grows by one (the 16-bit ones wrap at 65536).
#define SNMPv3MsgID (SnmpThread().msgId)
#define SNMPv3RequestID (SnmpThread().requestId)
#define salt_low (SnmpThread().saltLow)

// SNMPv3 status queries for the tool's entry: each builds a CNetIO on its
// stack and returns the member's result.
extern "C" bool NetworkReadStatusSNMPv3(const char* community, const char* host, PRINTER_STATUS* record);
extern "C" bool NetworkReadStatusV6SNMPv3(const char* community, const char* host, PRINTER_STATUS* record);
// ---- SNMPv3 (USM) plain declarations: end ----

// ---- Device information and discovery: plain declarations ----
// Objects read by the device information queries and by discovery.
inline constexpr const char* kSysObjectIdOidText = "1.3.6.1.2.1.1.2.0";
inline constexpr const char* kSysNameOidText = "1.3.6.1.2.1.1.5.0";
inline constexpr const char* kFwVersionOidText = "1.3.6.1.4.1.41873.886.300.369.8531.1.2.1.0";
inline constexpr const char* kMcuVersionOidText = "1.3.6.1.4.1.41873.886.300.369.8531.1.2.3.0";

// Every text output handed to a device information query holds at least
// this many bytes (a v1 value comes in a 256-byte datagram, a v3 value from
// a 128-byte buffer, so each fits with its NUL).
inline constexpr size_t DEVICE_INFO_TEXT_SIZE = 256;
inline constexpr size_t V3_VALUE_BUF_SIZE = 128; // the _... OID and value buffers below
inline constexpr size_t V3_DEVID_VALUE_SIZE = 512;

// The calling thread's buffers of the SNMPv3 device information and
// discovery roads, all zero at start: the encoded OIDs (content bytes) that
// searchAgentProCallbackEx2 compares bindings against, and the values it
// keeps (texts NUL-terminated; the sysObjectID as content bytes).
#define _sysObjIdOid (SnmpThread().v3.sysObjIdOid)
#define _sysNameOid (SnmpThread().v3.sysNameOid)
#define _pvtDevIdOid (SnmpThread().v3.pvtDevIdOid)
#define _pvtFwVerOid (SnmpThread().v3.pvtFwVerOid)
#define _pvtMcuVerOid (SnmpThread().v3.pvtMcuVerOid)
#define _sysObjIdValue (SnmpThread().v3.sysObjIdValue)
#define _sysObjIdLen (SnmpThread().v3.sysObjIdValueLen)
#define _sysNameValue (SnmpThread().v3.sysNameValue)
#define _pvtFwVerValue (SnmpThread().v3.pvtFwVerValue)
#define _pvtMcuVerValue (SnmpThread().v3.pvtMcuVerValue)
#define _pvtDevIdValue (SnmpThread().v3.pvtDevIdValue) // reserved: no operation writes it
// Bit set of the values received: AVAIL_SYSOBJID, AVAIL_NAME, AVAIL_FW, AVAIL_MCU.
#define _availFlag (SnmpThread().v3.availFlag)
enum : int { AVAIL_SYSOBJID = 1, AVAIL_NAME = 2, AVAIL_FW = 4, AVAIL_MCU = 8 };

// The scope identifier with which FindSnmpAgent3Times last found an IPv6
// answer on this thread, -1 until then; later calls skip the scope scan.
#define g_findScanIndex (SnmpThread().findScanIndex)

// Bounds of every listening loop of the library, whatever arrives. A socket
// listens until one second passes without a datagram on it (the window of
// the protocol's operations), but never longer than kListenLimitMs after its
// operation began, and an operation handles at most kListenMaxDatagrams
// datagrams. Discovery sends from at most kDiscoveryMaxLocalAddresses local
// addresses (or scopes) at once, and keeps at most kDiscoveryMaxEngines
// SNMPv3 engines waiting for their answer. A host list names at most
// kDiscoveryMaxHosts destinations.
inline constexpr int kListenQuietMs = 1000;
inline constexpr int kListenLimitMs = 2500;
inline constexpr int kListenMaxDatagrams = 4096;
inline constexpr int kDiscoveryMaxLocalAddresses = 64;
inline constexpr int kDiscoveryMaxEngines = 256;
inline constexpr int kDiscoveryMaxHosts = 4096;

// What the listening loops left out, counted since the caller last cleared
// the record (the calling thread's, like the library's other state).
struct SnmpListenCounts {
    int offLink;         // answers to a broadcast or link multicast from a source off the link they came in by
    int notAsked;        // answers to a unicast message from another address or port
    int datagramBound;   // loops that stopped at kListenMaxDatagrams
    int timeBound;       // loops that stopped at kListenLimitMs with a socket still busy
    int enginesBound;    // SNMPv3 Reports not answered: kDiscoveryMaxEngines engines were waiting
    int addressesBound;  // local addresses or scopes not used: over kDiscoveryMaxLocalAddresses
    int unsent;          // datagrams to listed hosts or reporting engines that found no room to be sent
};
#define g_listenCounts (SnmpThread().listenCounts)
// What the calling thread's operations counted since the last call, and a
// clean record from now on.
SnmpListenCounts TakeListenCounts();

// The working state of the SNMP library on one thread: every buffer,
// counter and scope the operations keep between their steps and calls. Each
// thread has its own, zero (or its stated start value) when the thread
// starts; the names above (g_deviceid, scope_id, SNMPv3MsgID, ...) reach the
// calling thread's. About 7 KiB per thread that uses the library.
struct SnmpThreadState {
    char deviceId[DEVICEID_BUF_SIZE] = {};
    char recvBuf[RECVBUF_SIZE] = {};
    unsigned char sysObjectId[SYSOBJID_SIZE] = {};
    int sysObjectIdLength = 0;
    int scopeId = 0;
    char interfaceSuffix[256] = "%en0";
    unsigned short msgId = 0;
    unsigned short requestId = 0;
    unsigned int saltLow = 0;
    struct {
        unsigned char sysObjIdOid[V3_VALUE_BUF_SIZE] = {};
        unsigned char sysNameOid[V3_VALUE_BUF_SIZE] = {};
        unsigned char pvtDevIdOid[V3_VALUE_BUF_SIZE] = {};
        unsigned char pvtFwVerOid[V3_VALUE_BUF_SIZE] = {};
        unsigned char pvtMcuVerOid[V3_VALUE_BUF_SIZE] = {};
        int sysObjIdOidLen = 0, sysNameOidLen = 0, pvtDevIdOidLen = 0, pvtFwVerOidLen = 0, pvtMcuVerOidLen = 0;
        unsigned char sysObjIdValue[V3_VALUE_BUF_SIZE] = {};
        int sysObjIdValueLen = 0;
        char sysNameValue[V3_VALUE_BUF_SIZE] = {};
        char pvtFwVerValue[V3_VALUE_BUF_SIZE] = {};
        char pvtMcuVerValue[V3_VALUE_BUF_SIZE] = {};
        char pvtDevIdValue[V3_DEVID_VALUE_SIZE] = {};
        int availFlag = 0;
    } v3;
    int findScanIndex = -1;
    SnmpListenCounts listenCounts = {};
};
// The calling thread's state.
SnmpThreadState& SnmpThread();

// Report callback of discovery: the agent's numeric address (dotted IPv4,
// inet_ntop form for IPv6, without a scope), the name of the local
// interface the answer came in on (null when it is not known), and the
// caller's pointer. The result is ignored.
typedef bool (*SNMP_AGENT_CALLBACK)(const char* address, const char* interfaceName, void* user);

// One node of the interface list: the interface's name, its index (the IPv6
// scope identifier of its link-local addresses) and the next node.
struct ifs_info {
    char name[16];
    int index;
    ifs_info* next;
};
// Every interface of the machine in index order (if_nameindex), one node
// each; null when there is none or the list cannot be read. The arguments
// are not used.
ifs_info* get_ifs_info(int unused1, int unused2);
// The first node with that index, or null.
ifs_info* find_ifname(ifs_info* list, int index);
// The index of the first node with that name, or 4 when no node has it.
int find_ifscope_id(ifs_info* list, const char* name);
// Frees every node; returns null.
ifs_info* free_ifs_info(ifs_info* list);
// ---- Device information and discovery: plain declarations: end ----

class CNetIO : public CSocket {
public:
    CNetIO();
    ~CNetIO();

    // ---- BER and OID primitives (use no member data) ----

    // Encodes dotted decimal text ("1.3.6.1...") as OID content bytes into
    // out, which holds capacity bytes. Returns the number of bytes written;
    // 0 (nothing written) for a character other than a digit or ".", fewer
    // than two arcs, an empty arc, a text over 127 characters, or an encoding
    // longer than capacity; -1 when text or out is null. Arcs are read as
    // 32-bit values; the first byte is the low eight bits of 40*arc1 + arc2.
    static int oidEncode(const char* text, unsigned char* out, size_t capacity = OID_FIELD_SIZE);
    // Writes the BER length so that it ends right before end (minimal form;
    // 0..127 one byte, else 81..84 and the bytes) and returns its first byte.
    // At most five bytes before end are written.
    static unsigned char* berEncodeLength(unsigned char* end, unsigned long length);
    // Reads the BER length at p into *length and returns the position after
    // it. Short form, or 0x80+k and k bytes (k up to 127, accumulated into 32
    // bits); k = 0 reads as 0. Unbounded: p must be followed by all the
    // length bytes; use the bounded form on received data.
    static const unsigned char* parseLength(const unsigned char* p, int* length);
    // Bounded form: never reads at or past end. Returns nullptr when the
    // length bytes do not all lie before end, or when the length is 2^31 or
    // more; otherwise as above.
    static const unsigned char* parseLength(const unsigned char* p, const unsigned char* end, int* length);

    // ---- SNMP v1 messages ----

    // Builds a GetRequest (version 1, request-id 0) with count bindings of
    // the same OID and a NULL value; a null community means the built-in
    // "tundra". Returns the size written to out (at most V1_REQUEST_MAX), or
    // -1 for count <= 0, a null OID or out, an OID that does not encode, or
    // a community/OID whose lengths do not fit one-byte length fields
    // (message length over 127). Nothing is written to out on -1.
    static int BuildGetRequestFor(int count, const char* oidText, const char* community, unsigned char* out);

    // Walks a GetResponse (PDU tag A2 or A3). The message and PDU lengths
    // must equal exactly the bytes that follow them; every element must lie
    // inside the message, and every binding inside the binding list. Reports
    // the first content byte of version, request-id, error-status and
    // error-index (each output may be null), copies the community with a NUL
    // into community (capacity communityCapacity; a longer one fails the
    // walk), and calls the callback (may be null) for each binding. True when
    // the structure is as expected, whatever the error-status; false at the
    // first mismatch (outputs written before it stay written).
    static bool parseGetResponse(const unsigned char* msg, int size, int* version, char* community,
                                 unsigned char* requestId, unsigned char* errorStatus,
                                 unsigned char* errorIndex, SNMP_VALUE_CALLBACK callback,
                                 size_t communityCapacity = COMMUNITY_OUT_SIZE);

    // Value callbacks.
    // OCTET STRING only, of at most 4031 bytes: copied into g_deviceid with a NUL.
    static bool outputDeviceIdValue(const unsigned char* oid, int oidLen, unsigned char tag,
                                    const unsigned char* value, int valueLen);
    // Any value of at most 1023 bytes: copied into g_RecvBuf with a NUL.
    static bool outputRecvBufValue(const unsigned char* oid, int oidLen, unsigned char tag,
                                   const unsigned char* value, int valueLen);
    // sysObjectID.0 (OID of 8 or more bytes starting 2B 06 01 02 01 01 02 00)
    // with an OBJECT IDENTIFIER value of at most 128 bytes: copied into
    // sysObjId, length in sysObjIdLen.
    static bool outputOidValue(const unsigned char* oid, int oidLen, unsigned char tag,
                               const unsigned char* value, int valueLen);

    // Walks with outputDeviceIdValue, then decodes g_deviceid into record.
    // g_deviceid is not cleared first. True only when the decode gave 0.
    bool parseForDeviceId(const unsigned char* msg, int size, PRINTER_STATUS* record);
    // Clears g_RecvBuf, walks with outputRecvBufValue (last binding wins) and
    // copies the NUL-terminated text to out, which holds outCapacity bytes
    // (the default, 1024, always suffices). False, out untouched, when the
    // walk fails or the text with its NUL does not fit outCapacity.
    bool parseForRecvBuf(const unsigned char* msg, int size, char* out, size_t outCapacity = RECVBUF_SIZE);
    // Walks with outputOidValue; true when more than 4 bytes were received
    // and they equal the first sysObjIdLen bytes of the first or second
    // target OID (a value longer than a 32-byte target field never matches).
    bool parseForOID(const unsigned char* msg, int size, unsigned char* unused = nullptr, int unusedLen = 0);
    // Clears both target fields, encodes the texts into them; returns the
    // result of encoding the second.
    int InitTargetOID(const char* first, const char* second);
    // The match of discovery: a received sysObjectID (content bytes) of more
    // than 4 and at most 32 bytes that equals the first bytes of the first
    // or the second target OID.
    bool MatchesTargetOID(const unsigned char* value, int length) const;

    // ---- SNMP v1 status query (UDP port 161) ----
    bool NetworkReadStatus(const char* community, const char* host, PRINTER_STATUS* record);
    bool NetworkReadStatusV6(const char* community, const char* host, PRINTER_STATUS* record);

    // ---- TCP operations on the CSocket part ----
    // Connects to a numeric host text (IPv6 texts go to NetworkConnectV6,
    // which uses scope_id). Returns 0, a CSocket code, or -1 when the host
    // does not resolve, is not a numeric address, or the socket cannot open.
    int NetworkConnect(const char* host, int port);
    int NetworkConnectV6(const char* host, int port);
    int NetworkRead(int unused, void* buffer, int size);        // bytes read (0 when not open)
    int NetworkWrite(int unused, const void* data, int size);   // bytes written (0 when not open)
    void NetworkClose(int unused);

    // The two target OIDs (encoded content bytes), written by InitTargetOID.
    unsigned char targetOID1[OID_FIELD_SIZE] = {};
    unsigned char targetOID2[OID_FIELD_SIZE] = {};

    // ---- SNMPv3 (USM) members: begin ----
    // Builders (RFC 3412 message, RFC 3414 USM). Each assembles its element
    // from the end of a 2048-byte stack buffer and copies it to out in one
    // piece. They return the element's length, or -1 (nothing written) for a
    // null argument they need, an OID that does not encode, or an element
    // that would not fit 2048 bytes or its one-byte length fields.

    // The engine-discovery probe (flags 0x04, no user, no bindings); the
    // first of a run (0, 0) is 57 bytes. The caller advances the counters.
    // A positive capacity bounds the write (-1 when the probe does not fit);
    // 0 or less means the caller's buffer is a full 2048-byte one.
    static int BuildSnmpV3GetEngineIdPacket(unsigned short requestId, unsigned short msgId,
                                            unsigned char* out, int capacity);
    // An authenticated (and, with a privacy pass phrase, DES-encrypted)
    // request. Uses and advances SNMPv3RequestID, salt_low (when encrypting)
    // and SNMPv3MsgID; fills both 16-byte key outputs (zero when the pass
    // phrase is absent). values/valueLens/valueTags null: GetRequest, else
    // SetRequest. A null or empty pass phrase counts as absent. Returns the
    // message length written to out (2048 bytes), or 0 when none was built:
    // scoped PDU empty, failed or over 2048 bytes once raised to whole DES
    // blocks, engine ID over 32 bytes, or privacy asked without authentication.
    static int BuildSnmpV3RequestPacket(const unsigned char* engineID, int engineIDLen,
                                        unsigned int boots, unsigned int time, int count,
                                        const char* const* oids, const unsigned char* const* values,
                                        const signed char* valueLens, const unsigned char* valueTags,
                                        const char* userName, const char* authPass,
                                        const char* privPass, unsigned char* authKeyOut,
                                        unsigned char* privKeyOut, unsigned char* out);
    static int BuildSnmpV3msgGlobalDataUSM(unsigned short msgId, int msgMaxSize, bool reportable,
                                           bool privacy, bool authentication, unsigned char* out);
    // authOffset (may be null) receives the offset of the first of the 12
    // authentication bytes from the first byte of out (-1 when there are none).
    static int BuildSnmpV3msgSecurityParameters(const unsigned char* engineID, int engineIDLen,
                                                unsigned int boots, unsigned int time,
                                                const char* userName, const char* authPass,
                                                const unsigned char* privParams, int privParamsLen,
                                                unsigned char* out, int* authOffset);
    static int BuildSnmpV3msgData(const unsigned char* contextEngineID, int contextEngineIDLen,
                                  const char* contextName, unsigned short requestId, int count,
                                  const char* const* oids, const unsigned char* const* values,
                                  const signed char* valueLens, const unsigned char* valueTags,
                                  unsigned char* out);
    static int BuildSnmpV3PDU(unsigned short requestId, int count, const char* const* oids,
                              const unsigned char* const* values, const signed char* valueLens,
                              const unsigned char* valueTags, unsigned char* out);
    static int BuildSnmpV3GetRequestPDU(unsigned short requestId, int count,
                                        const char* const* oids, unsigned char* out);
    // Joins version 3 and the three elements; *authOffset (may be null) is
    // advanced to count from the message's first byte.
    static int BuildSnmpV3Packet(const unsigned char* globalData, int globalDataLen,
                                 const unsigned char* securityParams, int securityParamsLen,
                                 const unsigned char* msgData, int msgDataLen, int* authOffset,
                                 unsigned char* out);

    // Parses a received SNMPv3 message of len bytes (at most 2048 are
    // looked at). Returns 1 when accepted, 0 when rejected. Never reads past
    // len bytes nor writes past a holder: a field longer than its holder
    // (engine ID 32, authentication 12, user name, salt, context name 64) or
    // any length running past its enclosing element rejects the message.
    // Authentication: while param->authKey is all zero (engine discovery) an
    // empty authentication field is accepted; once it holds a key, the
    // message must carry the authentication flag and exactly 12 bytes equal
    // to its HMAC-MD5-96 code (compared in constant time). The field is
    // zeroed in msg and an encrypted scoped PDU is decrypted in place.
    // engineID/engineIDLen/engineBoots/engineTime are overwritten from the
    // message; version, requestId, errorStatus, errorIndex (may be null)
    // receive the first content byte of each INTEGER.
    static int parseSnmpV3Response(unsigned char* msg, int len, int* version,
                                   unsigned char* requestId, unsigned char* errorStatus,
                                   unsigned char* errorIndex, _SNMP_PARAM_V3* param);

    // The SNMPv3 status query: discovery probe, then an authPriv GetRequest
    // for the device-ID object to every agent whose engine ID begins
    // 80 00 0C F1. True when an answer was decoded into record. The
    // community is not used. Lasts about 2 s for an answering printer.
    bool NetworkReadStatusSNMPv3(const char* community, const char* host, PRINTER_STATUS* record);
    bool NetworkReadStatusV6SNMPv3(const char* community, const char* host, PRINTER_STATUS* record);
    // ---- SNMPv3 (USM) members: end ----

    // ---- Device information (DeviceInfo.cpp) ----
    // The host is a numeric address text; IPv6 destinations take scope_id as
    // their scope. Every text output holds DEVICE_INFO_TEXT_SIZE bytes.

    // Reads one value over SNMP v1: three GetRequests 30 us apart, one wait
    // of up to 1 s for a datagram of at most 256 bytes from the host (others
    // are dropped). True when a
    // well-formed GetResponse arrived; out receives its (last) value as text.
    bool NetSnmpGetV4(const char* host, const char* community, const char* oidText, char* out, int unused);
    bool NetSnmpGetV6(const char* host, const char* community, const char* oidText, char* out, int unused);
    // The printer's name, firmware version and MCU firmware version over
    // SNMP v1 (community "tundra"): 0 when read into out, -1 otherwise. An
    // IPv6 host gets a second attempt when the first fails.
    int TesselNetworkGetPrinterName(const char* host, unsigned char unused, char* out, int pass);
    int TesselNetworkGetFwVersion(const char* host, unsigned char unused, char* out, int pass);
    int TesselNetworkGetFwMCUVersion(const char* host, unsigned char unused, char* out, int pass);
    // All three texts in one SNMPv3 exchange (engine discovery, then an
    // authPriv GetRequest to every agent with the printers' engine prefix).
    // True when an answer was accepted; each output receives its value when
    // the answer carried one and is left as it was otherwise. Lasts about
    // 2 s for an answering printer (each socket waits out its second).
    bool NetSnmpGetV4SNMPv3(const char* host, char* name, char* firmware, char* mcuFirmware, int unused);
    bool NetSnmpGetV6SNMPv3(const char* host, char* name, char* firmware, char* mcuFirmware, int unused);
    // The same by address family of the host: 0 when at least one text was
    // read, -1 otherwise.
    int TesselNetworkGetNameAndFwAndMCUVersion(const char* host, char* name, char* firmware,
                                               char* mcuFirmware, int pass);
    // Value callback of the SNMPv3 roads: a binding whose OID equals one of
    // _sysObjIdOid, _sysNameOid, _pvtFwVerOid, _pvtMcuVerOid (in that order)
    // has its value kept in the matching buffer and its bit set in
    // _availFlag; true then. A value that does not fit its buffer (128
    // bytes; texts 127 and a NUL) is refused and nothing changes.
    static bool searchAgentProCallbackEx2(const unsigned char* oid, int oidLen, unsigned char tag,
                                          const unsigned char* value, int valueLen);

    // ---- Discovery (Discovery.cpp) ----
    // Each reports every agent whose sysObjectID matches a target OID
    // (InitTargetOID) to callback (may be null) with user, and returns true,
    // except as noted. The v1 operations ask for sysObjectID.0 with the
    // community ("tundra" when null or empty) and return false at once when
    // oidText does not encode. A nonzero broadcast gives the sockets
    // broadcast permission. An operation sends from all its local addresses
    // (or scopes) at once and listens on them side by side, each socket until
    // one second passes without a datagram on it, within the listening
    // bounds above. Only answers from where the message went count: the host
    // asked (address and port), or for a broadcast or link multicast an
    // address on the link the answer came in by; the rest are counted in
    // g_listenCounts. The first IPv6 answer sets scope_id and g_ifsName while
    // scope_id is 0 or less. A host with an IPv6 zone is asked by way of that
    // interface only.

    // SNMP v1 to host from every local IPv4 address (an IPv6 host goes to
    // FindSnmpAgentV6_).
    bool FindSnmpAgent(const char* community, const char* host, const char* oidText,
                       SNMP_AGENT_CALLBACK callback, void* user, int broadcast);
    // SNMP v1 to host from every local IPv6 address, each with its
    // interface's scope (a multicast host leaves by that interface).
    bool FindSnmpAgentV6_(const char* community, const char* host, const char* oidText,
                          SNMP_AGENT_CALLBACK callback, void* user, int broadcast);
    // SNMP v1 to an IPv6 host, trying the scope of every interface at once
    // (only scope_id once it is set); the first scope to bring an answer is
    // listened to further and the others stop. False when a socket cannot
    // be opened.
    bool FindSnmpAgentV6(const char* community, const char* host, const char* oidText,
                         SNMP_AGENT_CALLBACK callback, void* user, int broadcast);
    // SNMP v1 to 255.255.255.255 (the interface of the default route) and to
    // ff02::1, scanning the interfaces' scopes at once for the first that
    // answers (remembered in g_findScanIndex for later calls); both listen
    // side by side.
    bool FindSnmpAgent3Times(const char* community, const char* oidText, SNMP_AGENT_CALLBACK callback,
                             void* user);
    // SNMPv3 to host from every local IPv4 address: engine discovery, then
    // an authPriv GetRequest for sysObjectID.0, sysName.0 and the device-ID
    // object to each agent whose engine ID has the printers' prefix (at most
    // kDiscoveryMaxEngines waiting at once), from one request socket per
    // local address, only that engine's answer counting. community and
    // oidText are not used. An IPv6 host goes to FindSnmpV3AgentV6_.
    bool FindSnmpV3Agent(const char* community, const char* host, const char* oidText,
                         SNMP_AGENT_CALLBACK callback, void* user, int broadcast);
    // SNMP v1 to every host of the list at once (numeric texts or names; an
    // IPv6 link-local address with its zone leaves by that interface only),
    // from one socket per address family. Only the hosts asked may answer (a
    // broadcast or link multicast among them: any address of the link the
    // answer came in by). Ends once every unicast host has told our model, or by
    // the listening bounds. A host that does not resolve is skipped; at most
    // kDiscoveryMaxHosts are asked. False when oidText does not encode.
    bool FindSnmpAgentHosts(const char* community, const char* const* hosts, int count, const char* oidText,
                            SNMP_AGENT_CALLBACK callback, void* user, int broadcast);
    // The same over SNMPv3: the probe to every host, then the authPriv
    // request to each engine with the printers' prefix that reports from a
    // host asked; the answers only from the engine asked.
    bool FindSnmpV3AgentHosts(const char* const* hosts, int count, SNMP_AGENT_CALLBACK callback, void* user,
                              int broadcast);
    // The same from every local IPv6 address; false when a socket cannot be
    // opened.
    bool FindSnmpV3AgentV6_(const char* community, const char* host, const char* oidText,
                            SNMP_AGENT_CALLBACK callback, void* user, int broadcast);
};

// Status queries for the tool's entry: each builds a CNetIO on its stack and
// returns the member's result.
extern "C" bool NetworkReadStatus(const char* community, const char* host, PRINTER_STATUS* record);
extern "C" bool NetworkReadStatusV6(const char* community, const char* host, PRINTER_STATUS* record);
