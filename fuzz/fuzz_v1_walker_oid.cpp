// The v1 walker with the sysObjectID callback and the target match.
#include "FuzzEnvelope.h"
#include "snmp/NetIO.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> msg = fuzzMessage(data, size);
    CNetIO io;
    io.InitTargetOID("1.3.6.1.4.1.41873.886.1", "1.3.6.1.4.1.41873.886.2.5");
    (void)io.parseForOID(msg.data(), static_cast<int>(msg.size()), nullptr, 0);
    if (sysObjIdLen < 0 || sysObjIdLen > static_cast<int>(SYSOBJID_SIZE))
        __builtin_trap();
    return 0;
}
