// The v1 walker with the device-ID callback, then the status decoder.
#include "FuzzEnvelope.h"
#include "snmp/NetIO.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> msg = fuzzMessage(data, size);
    // An exactly sized heap copy: any read past the datagram is reported.
    std::vector<uint8_t> exact(msg);
    CNetIO io;
    PRINTER_STATUS record;
    std::memset(g_deviceid, 0, DEVICEID_BUF_SIZE);
    (void)io.parseForDeviceId(exact.data(), static_cast<int>(exact.size()), &record);
    if (std::memchr(g_deviceid, 0, DEVICEID_BUF_SIZE) == nullptr)
        __builtin_trap(); // g_deviceid must stay NUL-terminated
    char community[8];
    int version;
    unsigned char rid, es, ei;
    (void)CNetIO::parseGetResponse(exact.data(), static_cast<int>(exact.size()), &version, community, &rid, &es,
                                   &ei, CNetIO::outputDeviceIdValue, sizeof community);
    return 0;
}
