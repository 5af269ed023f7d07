// Shared by the walker fuzz targets: either hands the input to the walker as
// it is, or (first byte odd) wraps the rest into a well-formed GetResponse
// envelope with correct outer lengths, so that the fuzzer works on the
// binding list itself.
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

inline std::vector<uint8_t> fuzzMessage(const uint8_t* data, size_t size)
{
    if (size == 0)
        return {};
    if ((data[0] & 1) == 0)
        return std::vector<uint8_t>(data + 1, data + size);
    const uint8_t* list = data + 1;
    size_t listLen = size - 1;
    std::vector<uint8_t> pdu = {0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00};
    pdu.insert(pdu.end(), list, list + listLen); // the binding list, header included
    std::vector<uint8_t> body = {0x02, 0x01, 0x00, 0x04, 0x06, 't', 'u', 'n', 'd', 'r', 'a', 0xA2};
    fuzzPushLength(body, pdu.size());
    body.insert(body.end(), pdu.begin(), pdu.end());
    std::vector<uint8_t> msg = {0x30};
    fuzzPushLength(msg, body.size());
    msg.insert(msg.end(), body.begin(), body.end());
    return msg;
}
