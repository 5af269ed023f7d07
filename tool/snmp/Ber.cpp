// BER and OID primitives of CNetIO, the byte-order helpers, and the internal
// bounded reader and backward writer (Ber.h).
#include "snmp/Ber.h"

#include "snmp/NetIO.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <utility>

namespace {

bool hostIsLittleEndian()
{
    const int one = 1;
    unsigned char first;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

} // namespace

int readIntValue(const unsigned char* p, int n)
{
    if (p == nullptr || n <= 0)
        return 0;
    uint32_t v = 0;
    for (int i = 0; i < n; ++i)
        v = (v << 8) | p[i];
    return static_cast<int>(v);
}

int max(int a, int b)
{
    return a > b ? a : b;
}

unsigned short FLIPWORD(unsigned short w)
{
    if (!hostIsLittleEndian())
        return w;
    return static_cast<unsigned short>(((w & 0xFF) << 8) | (w >> 8));
}

void Big2LittleEndian_(char* p)
{
    if (p == nullptr || !hostIsLittleEndian())
        return;
    std::swap(p[0], p[3]);
    std::swap(p[1], p[2]);
}

// ---------------------------------------------------------------- BER / OID

int CNetIO::oidEncode(const char* text, unsigned char* out, size_t capacity)
{
    if (text == nullptr || out == nullptr)
        return -1;
    size_t textLen = ::strnlen(text, OID_TEXT_MAX + 1);
    if (textLen == 0 || textLen > OID_TEXT_MAX)
        return 0;

    uint32_t arcs[OID_TEXT_MAX / 2 + 1];
    size_t arcCount = 0;
    uint64_t value = 0;
    bool arcHasDigit = false;
    for (size_t i = 0; i <= textLen; ++i) {
        char c = i < textLen ? text[i] : '.';
        if (c >= '0' && c <= '9') {
            value = value * 10 + static_cast<unsigned>(c - '0');
            if (value > UINT32_MAX)
                return 0;
            arcHasDigit = true;
        } else if (c == '.') {
            if (!arcHasDigit)
                return 0; // empty arc
            arcs[arcCount++] = static_cast<uint32_t>(value);
            value = 0;
            arcHasDigit = false;
        } else {
            return 0;
        }
    }
    if (arcCount < 2)
        return 0;

    unsigned char work[OID_TEXT_MAX * 5];
    size_t n = 0;
    work[n++] = static_cast<unsigned char>((40u * arcs[0] + arcs[1]) & 0xFF);
    for (size_t a = 2; a < arcCount; ++a) {
        uint32_t arc = arcs[a];
        unsigned char groups[5];
        int g = 0;
        do {
            groups[g++] = static_cast<unsigned char>(arc & 0x7F);
            arc >>= 7;
        } while (arc != 0);
        while (g > 1)
            work[n++] = static_cast<unsigned char>(groups[--g] | 0x80);
        work[n++] = groups[0];
    }
    if (n > capacity)
        return 0;
    std::memcpy(out, work, n);
    return static_cast<int>(n);
}

unsigned char* CNetIO::berEncodeLength(unsigned char* end, unsigned long length)
{
    unsigned char* p = end;
    unsigned long v = length & 0xFFFFFFFFul;
    int count = 0;
    do {
        *--p = static_cast<unsigned char>(v & 0xFF);
        v >>= 8;
        ++count;
    } while (v != 0);
    if (count > 1 || (*p & 0x80))
        *--p = static_cast<unsigned char>(0x80 + count);
    return p;
}

const unsigned char* CNetIO::parseLength(const unsigned char* p, int* length)
{
    unsigned char first = *p;
    if (first < 0x80) {
        *length = first;
        return p + 1;
    }
    int k = first & 0x7F;
    uint32_t v = 0;
    for (int i = 1; i <= k; ++i)
        v = (v << 8) | p[i];
    *length = static_cast<int>(v);
    return p + 1 + k;
}

const unsigned char* CNetIO::parseLength(const unsigned char* p, const unsigned char* end, int* length)
{
    if (p == nullptr || end == nullptr || length == nullptr || p >= end)
        return nullptr;
    unsigned char first = *p;
    if (first < 0x80) {
        *length = first;
        return p + 1;
    }
    int k = first & 0x7F;
    if (k > end - p - 1)
        return nullptr;
    uint32_t v = 0;
    for (int i = 1; i <= k; ++i)
        v = (v << 8) | p[i];
    if (v > static_cast<uint32_t>(INT_MAX))
        return nullptr;
    *length = static_cast<int>(v);
    return p + 1 + k;
}

// ------------------------------------------------------------ ber::Reader

namespace ber {

bool Reader::header(int wantTag, int* length, unsigned char* tag)
{
    if (p >= end || (wantTag != ANY_TAG && *p != wantTag))
        return false;
    int n;
    const unsigned char* content = CNetIO::parseLength(p + 1, end, &n);
    if (content == nullptr || n > end - content)
        return false;
    if (tag != nullptr)
        *tag = *p;
    *length = n;
    p = content;
    return true;
}

bool Reader::element(int wantTag, const unsigned char** content, int* length, unsigned char* tag)
{
    if (!header(wantTag, length, tag))
        return false;
    *content = p;
    p += *length;
    return true;
}

// -------------------------------------------------------- ber::BackWriter

void BackWriter::bytes(const void* src, size_t n)
{
    if (!ok_ || n > static_cast<size_t>(p_ - start_)) {
        ok_ = false;
        return;
    }
    p_ -= n;
    if (n != 0)
        std::memcpy(p_, src, n);
}

void BackWriter::berLength(size_t n)
{
    if (n > 0xFFFFFFFFu) {
        ok_ = false;
        return;
    }
    unsigned char tmp[5];
    const unsigned char* first = CNetIO::berEncodeLength(tmp + sizeof tmp, n);
    bytes(first, static_cast<size_t>(tmp + sizeof tmp - first));
}

void BackWriter::wrap(unsigned char tag, const unsigned char* mark)
{
    berLength(static_cast<size_t>(mark - p_));
    byte(tag);
}

void BackWriter::wrapShort(unsigned char tag, const unsigned char* mark)
{
    const size_t n = static_cast<size_t>(mark - p_);
    if (n > 127) {
        ok_ = false;
        return;
    }
    byte(static_cast<unsigned char>(n));
    byte(tag);
}

void BackWriter::integer(unsigned int value)
{
    const unsigned char* mark = p_;
    unsigned int v = value;
    do {
        byte(static_cast<unsigned char>(v & 0xFF));
        v >>= 8;
    } while (v != 0);
    if ((*p_ & 0x80) != 0)
        byte(0x00);
    wrapShort(TAG_INTEGER, mark);
}

int BackWriter::copyTo(unsigned char* out) const
{
    if (!ok_ || out == nullptr)
        return -1;
    std::memmove(out, p_, static_cast<size_t>(end_ - p_));
    return size();
}

} // namespace ber
