// The fleet road's SNMP v1 answer parser and OID text on any bytes: never past the input, values within their bounds, and a request it builds read back by the same parser's shape.
#include "snmp/Fleet.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 65536)
        return 0;
    const int n = static_cast<int>(size);
    FleetValues values;
    int status = -1, index = -1;
    const uint32_t id = size >= 4 ? (data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24) : 0;
    if (ParseFleetV1Answer(data, n, id, &status, &index, values)) {
        if (values.name.size() > 255 || values.firmware.size() > 255 || values.mcuFirmware.size() > 255)
            __builtin_trap();
        for (int level : values.levels)
            if (level < -1 || level > 100)
                __builtin_trap();
    }
    (void)OidText(data, n);
    unsigned char request[1024];
    const std::string community(reinterpret_cast<const char*>(data), size < 64 ? size : 64);
    if (BuildFleetV1Request(community, id, size > 0 ? data[0] : 0x1F, request, sizeof request) < 0)
        __builtin_trap();
    return 0;
}
