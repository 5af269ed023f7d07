// The SNMPv3 response parser on arbitrary datagrams, in three roles:
//  0: a discovery answer (no keys held),
//  1: a record holding only a privacy key, so unauthenticated input reaches
//     the decryption and the decrypted scoped PDU,
//  2: both keys held, the input being the plaintext scoped PDU that the
//     harness encrypts and authenticates as an agent would, so arbitrary
//     decrypted contents pass authentication and reach the PDU walk.
// Every datagram lives in a buffer of exactly its size.
#include "FuzzV3Envelope.h"
#include "snmp/NetIO.h"
#include "snmp/Usm.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

using namespace fuzzv3;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > 2100)
        return 0;
    const int role = data[0] % 3;
    Bytes input;
    if (role == 2) {
        if (size - 1 > 1900)
            return 0;
        input = agentMessage(data + 1, size - 1);
    } else {
        input.assign(data + 1, data + size);
    }
    auto msg = std::make_unique<unsigned char[]>(input.size() + 1);
    if (!input.empty())
        std::memcpy(msg.get(), input.data(), input.size());

    _SNMP_PARAM_V3 param{};
    if (role >= 1)
        std::memcpy(param.privKey, kPrivKey, 16);
    if (role == 2)
        std::memcpy(param.authKey, kAuthKey, 16);
    param.varbindCallback = CNetIO::outputDeviceIdValue;
    int version = 0;
    unsigned char requestId = 0, errorStatus = 0, errorIndex = 0;
    const int r = CNetIO::parseSnmpV3Response(msg.get(), static_cast<int>(input.size()), &version, &requestId,
                                              &errorStatus, &errorIndex, &param);
    if (r != 0 && r != 1)
        __builtin_trap();
    if (param.engineIDLen < 0 || param.engineIDLen > SNMPV3_ENGINEID_MAX)
        __builtin_trap();
    return 0;
}
