// base64: the decoder on arbitrary text and capacities, and the round trip.
#include "snmp/TesselCmd.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    size_t capacity = data[0];
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    auto out = std::make_unique<unsigned char[]>(capacity + 1); // exactly sized (0 gives 1 byte)
    int n = base64_decode(text.c_str(), out.get(), capacity);
    if (n > static_cast<int>(capacity) || n < -1)
        __builtin_trap();

    // Round trip of the raw bytes, with an exactly sized output.
    size_t need = 4 * ((size + 2) / 3) + 1;
    auto enc = std::make_unique<char[]>(need);
    if (base64_encode(data, size, enc.get(), need) != 1 || base64_encode(data, size, enc.get(), need - 1) != 0)
        __builtin_trap();
    auto dec = std::make_unique<unsigned char[]>(size);
    if (base64_decode(enc.get(), dec.get(), size) != static_cast<int>(size) ||
        std::memcmp(dec.get(), data, size) != 0)
        __builtin_trap();
    return 0;
}
