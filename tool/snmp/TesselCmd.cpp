// Device-ID status decoding and the base64 codec.
#include "snmp/TesselCmd.h"

#include <cstring>

const char* BASE64_CHARS = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

namespace {

constexpr char kPad = '=';
constexpr const char kMarker[] = "STS:";

bool isGroupChar(char c)
{
    return c == kPad || _base64_char_value(c) >= 0;
}

// Classifies a group from its last character backwards and forms its bytes.
// Returns the byte count (0..3), or -1 for a malformed group.
int decodeGroup(const char q[4], unsigned char bytes[3])
{
    int count = 3;
    bool padRun = false;
    if (q[3] == kPad) {
        count = 2;
        padRun = true;
    }
    for (int i = 2; i >= 0; --i) {
        if (q[i] == kPad) {
            if (!padRun)
                return -1;
            --count;
        } else {
            padRun = false;
        }
    }
    if (count < 0)
        count = 0;
    unsigned long value = 0;
    for (int i = 0; i < 4; ++i) {
        int v = q[i] == kPad ? 0 : _base64_char_value(q[i]);
        value = (value << 6) | static_cast<unsigned long>(v);
    }
    bytes[0] = static_cast<unsigned char>(value >> 16);
    bytes[1] = static_cast<unsigned char>(value >> 8);
    bytes[2] = static_cast<unsigned char>(value);
    return count;
}

bool hostIsLittleEndian()
{
    const int one = 1;
    unsigned char first;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

} // namespace

int _base64_char_value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

void _base64_encode_triple(const unsigned char triple[3], char result[4])
{
    unsigned long value = (static_cast<unsigned long>(triple[0]) << 16) |
                          (static_cast<unsigned long>(triple[1]) << 8) | triple[2];
    for (int i = 3; i >= 0; --i) {
        result[i] = BASE64_CHARS[value & 0x3F];
        value >>= 6;
    }
}

int _base64_decode_triple(const char quadruple[4], unsigned char* result)
{
    unsigned char bytes[3];
    int n = decodeGroup(quadruple, bytes);
    if (n <= 0)
        return 0;
    std::memcpy(result, bytes, static_cast<size_t>(n));
    return n;
}

int base64_decode(const char* text, unsigned char* out, unsigned long capacity)
{
    if (text == nullptr || out == nullptr)
        return -1;
    // The text is read as if four pads followed it, so the last group can
    // always be completed; the pads are never written anywhere.
    const char* p = text;
    int padsLeft = 4;
    int total = 0;
    unsigned long remaining = capacity;
    for (;;) {
        char q[4];
        int have = 0;
        while (have < 4) {
            char c;
            if (*p != '\0') {
                c = *p++;
                if (!isGroupChar(c))
                    continue;
            } else if (padsLeft > 0) {
                --padsLeft;
                c = kPad;
            } else {
                return total; // cannot happen: a group with a pad ends the decode
            }
            q[have++] = c;
        }
        unsigned char bytes[3];
        int n = decodeGroup(q, bytes);
        if (n < 0)
            return total;
        if (remaining < static_cast<unsigned long>(n))
            return -1;
        std::memcpy(out + total, bytes, static_cast<size_t>(n));
        total += n;
        if (n != 3)
            return total;
        remaining -= 3;
    }
}

int base64_encode(const unsigned char* in, unsigned long length, char* out, unsigned long capacity)
{
    if ((in == nullptr && length > 0) || out == nullptr || capacity == 0)
        return 0;
    unsigned long groups = length / 3 + (length % 3 ? 1 : 0);
    if (groups > (capacity - 1) / 4)
        return 0;
    char* w = out;
    unsigned long i = 0;
    for (; i + 3 <= length; i += 3, w += 4)
        _base64_encode_triple(in + i, w);
    if (i < length) {
        unsigned char last[3] = {in[i], 0, 0};
        if (i + 1 < length)
            last[1] = in[i + 1];
        _base64_encode_triple(last, w);
        w[3] = kPad;
        if (i + 1 == length)
            w[2] = kPad;
        w += 4;
    }
    *w = '\0';
    return 1;
}

int DecodStatusFromDeviceID(const char* text, PRINTER_STATUS* record)
{
    if (text == nullptr || record == nullptr)
        return -1;
    for (const char* p = text; *p != '\0'; ++p) {
        if (std::strncmp(p, kMarker, 4) == 0) {
            int n = base64_decode(p + 4, record->bytes, PRINTER_STATUS_SIZE);
            return n == static_cast<int>(PRINTER_STATUS_SIZE) ? 0 : -1;
        }
    }
    return -1;
}

int CTesselCmd::DecodStatusFromDeviceID(const char* text, PRINTER_STATUS* record)
{
    return ::DecodStatusFromDeviceID(text, record);
}

void Big2LittleEndian(char* p)
{
    if (p == nullptr || !hostIsLittleEndian())
        return;
    char t = p[0];
    p[0] = p[3];
    p[3] = t;
    t = p[1];
    p[1] = p[2];
    p[2] = t;
}
