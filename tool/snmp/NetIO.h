// The SNMP engine: BER/OID primitives, SNMP v1 GetRequest building and
// GetResponse walking, the v1 status queries over UDP, and TCP operations on
// the CSocket base part. SNMPv3 members live in the marked regions.
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

// Value callback of the response walkers, called once per variable binding
// with the OID content bytes and their count, the value's tag byte and the
// value's content bytes and their count. Both ranges lie inside the message
// handed to the walker. A callback that stores the value refuses (returns
// false, stores nothing) a value that does not fit its buffer.
typedef bool (*SNMP_VALUE_CALLBACK)(const unsigned char* oid, int oidLen, unsigned char tag,
                                    const unsigned char* value, int valueLen);

// Process-wide buffers, all zero at start.
extern char g_deviceid[DEVICEID_BUF_SIZE];     // last device-ID text, NUL-terminated
extern char g_RecvBuf[RECVBUF_SIZE];           // last text value, NUL-terminated
extern unsigned char sysObjId[SYSOBJID_SIZE];  // last sysObjectID value (OID content bytes)
extern int sysObjIdLen;                        // its length
extern int scope_id;                           // IPv6 scope identifier; 0 until discovery sets it
extern char g_ifsName[256];                    // interface suffix, "%en0" at start

// Big-endian value of the n bytes at p, accumulated as unsigned (FF gives
// 255); 0 when n <= 0 or p is null. Reads exactly n bytes.
int readIntValue(const unsigned char* p, int n);
int max(int a, int b);
// Host <-> network byte order for 16-bit values.
unsigned short FLIPWORD(unsigned short w);
// Same four-byte reversal as Big2LittleEndian.
void Big2LittleEndian_(char* p);

// ---- SNMPv3 (USM) plain declarations: begin ----
// ---- SNMPv3 (USM) plain declarations: end ----

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

    // ---- SNMP v1 status query (UDP port 161) ----
    bool NetworkReadStatus(const char* community, const char* host, PRINTER_STATUS* record);
    bool NetworkReadStatusV6(const char* community, const char* host, PRINTER_STATUS* record);

    // ---- TCP operations on the CSocket part ----
    int NetworkConnect(const char* host, int port);
    int NetworkConnectV6(const char* host, int port);
    int NetworkRead(int unused, void* buffer, int size);        // bytes read (0 when not open)
    int NetworkWrite(int unused, const void* data, int size);   // bytes written (0 when not open)
    void NetworkClose(int unused);

    // The two target OIDs (encoded content bytes), written by InitTargetOID.
    unsigned char targetOID1[OID_FIELD_SIZE] = {};
    unsigned char targetOID2[OID_FIELD_SIZE] = {};

    // ---- SNMPv3 (USM) members: begin ----
    // ---- SNMPv3 (USM) members: end ----
};

// Status queries for the tool's entry: each builds a CNetIO on its stack and
// returns the member's result.
extern "C" bool NetworkReadStatus(const char* community, const char* host, PRINTER_STATUS* record);
extern "C" bool NetworkReadStatusV6(const char* community, const char* host, PRINTER_STATUS* record);
