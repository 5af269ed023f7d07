// Shared by the walker fuzz targets. The first input byte selects how the
// rest reaches the walker, so that every depth of the message is exercised:
//   0: the rest is the whole datagram;
//   1: the rest is the binding list (header included), wrapped into a
//      well-formed GetResponse envelope with correct outer lengths;
//   2: one well-formed binding is built: the OID is picked by the next byte
//      (device-ID object, sysObjectID.0 or sysName.0), the value's tag is the
//      byte after it, and the value is the rest; so every callback sees
//      arbitrary values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline void fuzzPushLength(std::vector<uint8_t>& out, size_t n)
{
    if (n < 128) {
        out.push_back(static_cast<uint8_t>(n));
    } else if (n < 256) {
        out.push_back(0x81);
        out.push_back(static_cast<uint8_t>(n));
    } else {
        out.push_back(0x82);
        out.push_back(static_cast<uint8_t>(n >> 8));
        out.push_back(static_cast<uint8_t>(n));
    }
}

inline std::vector<uint8_t> fuzzTlv(uint8_t tag, const std::vector<uint8_t>& content)
{
    std::vector<uint8_t> out{tag};
    fuzzPushLength(out, content.size());
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

inline std::vector<uint8_t> fuzzEnvelope(const std::vector<uint8_t>& list)
{
    std::vector<uint8_t> pdu = {0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00};
    pdu.insert(pdu.end(), list.begin(), list.end());
    std::vector<uint8_t> body = {0x02, 0x01, 0x00, 0x04, 0x06, 't', 'u', 'n', 'd', 'r', 'a'};
    std::vector<uint8_t> p = fuzzTlv(0xA2, pdu);
    body.insert(body.end(), p.begin(), p.end());
    return fuzzTlv(0x30, body);
}

inline std::vector<uint8_t> fuzzMessage(const uint8_t* data, size_t size)
{
    if (size == 0)
        return {};
    switch (data[0] % 3) {
    case 0:
        return std::vector<uint8_t>(data + 1, data + size);
    case 1:
        return fuzzEnvelope(std::vector<uint8_t>(data + 1, data + size));
    default: {
        static const std::vector<uint8_t> oids[3] = {
            {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0xC7, 0x11, 0x86, 0x76, 0x82, 0x2C, 0x82, 0x71, 0xC2, 0x53,
             0x01, 0x01, 0x00},                                 // the device-ID object
            {0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x02, 0x00},   // sysObjectID.0
            {0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x05, 0x00}};  // sysName.0
        uint8_t pick = size > 1 ? data[1] % 3 : 0;
        uint8_t tag = size > 2 ? data[2] : 0x04;
        std::vector<uint8_t> value(data + (size > 3 ? 3 : size), data + size);
        std::vector<uint8_t> binding = fuzzTlv(0x06, oids[pick]);
        std::vector<uint8_t> v = fuzzTlv(tag, value);
        binding.insert(binding.end(), v.begin(), v.end());
        return fuzzEnvelope(fuzzTlv(0x30, fuzzTlv(0x30, binding)));
    }
    }
}
