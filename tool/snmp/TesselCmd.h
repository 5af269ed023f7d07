// Printer status decoding: the 108-byte status block that the printer sends
// in base64 as the "STS:" field of its device-ID text, and the base64 codec.
#pragma once

#include <cstddef>

// The printer's status block, byte i as the printer sends it. Bytes 0 to 3
// hold the black, cyan, magenta and yellow toner levels in their low seven
// bits; bytes 4 to 107 are carried but not interpreted.
struct PRINTER_STATUS {
    unsigned char bytes[108];
};
static_assert(sizeof(PRINTER_STATUS) == 108, "the status block is exactly 108 bytes");

inline constexpr unsigned long PRINTER_STATUS_SIZE = sizeof(PRINTER_STATUS);

// The standard base64 alphabet (RFC 4648), used by the encoder.
extern const char* BASE64_CHARS;

// Stateless decoder; create one on the stack around each call.
class CTesselCmd {
public:
    // Finds the first "STS:" (case-sensitive) in the NUL-terminated text and
    // base64-decodes what follows the colon into the record, capacity 108.
    // The field is not cut at the semicolon: decoding runs on over the rest
    // of the text, skipping every character outside the alphabet, and stops
    // at the first group that holds a pad. Returns 0 when exactly 108 bytes
    // were decoded; -1 for a null argument, no marker, fewer bytes, or a
    // 37th full group (more than 108 bytes). On -1 the record may hold the
    // bytes of the groups decoded before the failure.
    int DecodStatusFromDeviceID(const char* text, PRINTER_STATUS* record);
};

// The same decode as CTesselCmd::DecodStatusFromDeviceID (used on the USB road).
int DecodStatusFromDeviceID(const char* text, PRINTER_STATUS* record);

// Decodes the NUL-terminated text into out, writing at most capacity bytes.
// Characters outside the alphabet and "=" are skipped; decoding stops at the
// first group holding a pad (the text is read as if four pads followed it)
// or at the first malformed group ("=" followed by an alphabet character in
// the group), returning the number of bytes written. Returns -1 when text or
// out is null, or when a group would not fit the remaining capacity (bytes
// of earlier groups stay written). Never reads past the text's NUL.
int base64_decode(const char* text, unsigned char* out, unsigned long capacity);

// Standard base64 with pads, NUL-terminated. Returns 1 on success, 0 when
// 4*ceil(length/3) + 1 bytes do not fit capacity (or an argument is null);
// nothing is written then.
int base64_encode(const unsigned char* in, unsigned long length, char* out, unsigned long capacity);

// Per-group steps of the codec.
void _base64_encode_triple(const unsigned char triple[3], char result[4]);
int _base64_char_value(char c);                                       // 0..63, or -1
int _base64_decode_triple(const char quadruple[4], unsigned char* result); // bytes written (0..3); 0 when malformed

// Reverses the four bytes at p on a little-endian host (big-endian field to
// host order); changes nothing on a big-endian host.
void Big2LittleEndian(char* p);
