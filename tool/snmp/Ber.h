// Internal to the SNMP library: the BER tags it uses, the one bounded reader
// that the SNMP v1 walker and the SNMPv3 parser share, and the writer that
// the SNMPv3 builders assemble their elements with (from the end of a buffer
// towards its start). Lengths are read by CNetIO::parseLength (bounded form)
// and written by CNetIO::berEncodeLength, nowhere else.
#pragma once

#include <cstddef>

namespace ber {

inline constexpr unsigned char TAG_INTEGER = 0x02;
inline constexpr unsigned char TAG_OCTET_STRING = 0x04;
inline constexpr unsigned char TAG_NULL = 0x05;
inline constexpr unsigned char TAG_OID = 0x06;
inline constexpr unsigned char TAG_SEQUENCE = 0x30;
inline constexpr unsigned char TAG_GET_REQUEST = 0xA0;
inline constexpr unsigned char TAG_GET_RESPONSE = 0xA2;
inline constexpr unsigned char TAG_SET_REQUEST = 0xA3; // accepted like a GetResponse
inline constexpr unsigned char TAG_REPORT = 0xA8;

// Any tag will do (Reader::header, Reader::element).
inline constexpr int ANY_TAG = -1;

// A bounded view of received bytes: nothing at or past end is ever read, and
// every element it hands out lies wholly before end.
struct Reader {
    const unsigned char* p;
    const unsigned char* end;

    bool atEnd() const { return p >= end; }
    // Reads the tag (which must equal wantTag unless it is ANY_TAG) and the
    // length of the element at p; the content must lie before end. On success
    // p moves to the first content byte, *length receives the content size
    // and *tag (when given) the tag; on failure nothing moves.
    bool header(int wantTag, int* length, unsigned char* tag = nullptr);
    // The same, then p moves past the content; *content points at it.
    bool element(int wantTag, const unsigned char** content, int* length, unsigned char* tag = nullptr);
};

// Writes an element from the end of a buffer towards its start; a write that
// would not fit marks the writer failed and nothing more is written.
class BackWriter {
public:
    BackWriter(unsigned char* buf, size_t size) : start_(buf), end_(buf + size), p_(buf + size) {}

    void bytes(const void* src, size_t n);
    void byte(unsigned char b) { bytes(&b, 1); }
    // BER length in its shortest form (CNetIO::berEncodeLength).
    void berLength(size_t n);
    // Prefixes tag and BER length to everything written since mark.
    void wrap(unsigned char tag, const unsigned char* mark);
    // Prefixes tag and one length byte (content below 128 bytes).
    void wrapShort(unsigned char tag, const unsigned char* mark);
    // A non-negative INTEGER in its shortest two's-complement form.
    void integer(unsigned int value);

    const unsigned char* pos() const { return p_; }
    bool ok() const { return ok_; }
    int size() const { return static_cast<int>(end_ - p_); }
    // Copies what was written to out; -1 when a write failed or out is null.
    int copyTo(unsigned char* out) const;

private:
    unsigned char* start_;
    unsigned char* end_;
    unsigned char* p_;
    bool ok_ = true;
};

} // namespace ber
