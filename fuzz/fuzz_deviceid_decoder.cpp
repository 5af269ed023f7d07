// The device-ID status decoder on arbitrary text.
#include "snmp/TesselCmd.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size); // NUL-terminated copy
    PRINTER_STATUS record;
    CTesselCmd cmd;
    int r = cmd.DecodStatusFromDeviceID(text.c_str(), &record);
    if (r != 0 && r != -1)
        __builtin_trap();
    return 0;
}
