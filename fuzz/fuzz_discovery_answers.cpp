// What device information and discovery take from agents' answers, in
// three roles (first input byte):
//  0: an SNMPv3 answer (the rest is its plaintext scoped PDU, encrypted and
//     authenticated as an agent would) parsed with the value callback of the
//     SNMPv3 roads, then the discovery match on the sysObjectID it kept;
//  1: that value callback on one binding: OID picked by the next byte
//     (sysObjectID.0, sysName.0, the two firmware objects, or the rest as
//     OID), value tag the byte after, value the rest;
//  2: an SNMP v1 answer of at most 256 bytes, read as the device information
//     text (into an output of DEVICE_INFO_TEXT_SIZE) and as a sysObjectID.
#include "FuzzV3Envelope.h"
#include "snmp/Exchange.h"
#include "snmp/NetIO.h"

#include <cstring>
#include <memory>

using namespace fuzzv3;

namespace {

void encodeOids()
{
    encodeValueOid(_sysObjIdOid, &_sysObjIdOidLen, kSysObjectIdOidText);
    encodeValueOid(_sysNameOid, &_sysNameOidLen, kSysNameOidText);
    encodeValueOid(_pvtDevIdOid, &_pvtDevIdOidLen, kDeviceIdOidText);
    encodeValueOid(_pvtFwVerOid, &_pvtFwVerOidLen, kFwVersionOidText);
    encodeValueOid(_pvtMcuVerOid, &_pvtMcuVerOidLen, kMcuVersionOidText);
}

// The kept values stay inside their buffers, texts NUL-terminated.
void checkKeptValues()
{
    if (_sysObjIdLen < 0 || _sysObjIdLen > static_cast<int>(V3_VALUE_BUF_SIZE))
        __builtin_trap();
    for (const char* text : {_sysNameValue, _pvtFwVerValue, _pvtMcuVerValue})
        if (::strnlen(text, V3_VALUE_BUF_SIZE) == V3_VALUE_BUF_SIZE)
            __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > 2000)
        return 0;
    encodeOids();
    CNetIO io;
    io.InitTargetOID("1.3.6.1.4.1.41873.1.5170", "1.3.6.1.4.1.41873.886");
    switch (data[0] % 3) {
    case 0: {
        const Bytes msg = agentMessage(data + 1, size - 1);
        auto copy = std::make_unique<unsigned char[]>(msg.size());
        std::memcpy(copy.get(), msg.data(), msg.size());
        _SNMP_PARAM_V3 param{};
        std::memcpy(param.authKey, kAuthKey, 16);
        std::memcpy(param.privKey, kPrivKey, 16);
        param.varbindCallback = CNetIO::searchAgentProCallbackEx2;
        _sysObjIdLen = 0;
        (void)CNetIO::parseSnmpV3Response(copy.get(), static_cast<int>(msg.size()), nullptr, nullptr, nullptr,
                                          nullptr, &param);
        (void)io.MatchesTargetOID(_sysObjIdValue, _sysObjIdLen);
        break;
    }
    case 1: {
        if (size < 3)
            return 0;
        const unsigned char* oids[4] = {_sysObjIdOid, _sysNameOid, _pvtFwVerOid, _pvtMcuVerOid};
        const int lengths[4] = {_sysObjIdOidLen, _sysNameOidLen, _pvtFwVerOidLen, _pvtMcuVerOidLen};
        const int pick = data[1] % 5;
        const Bytes rest(data + 3, data + size);
        auto value = std::make_unique<unsigned char[]>(rest.size() + 1);
        if (!rest.empty())
            std::memcpy(value.get(), rest.data(), rest.size());
        if (pick < 4)
            (void)CNetIO::searchAgentProCallbackEx2(oids[pick], lengths[pick], data[2], value.get(),
                                                    static_cast<int>(rest.size()));
        else
            (void)CNetIO::searchAgentProCallbackEx2(value.get(), static_cast<int>(rest.size()), data[2], oids[0],
                                                    lengths[0]);
        break;
    }
    default: {
        const size_t n = size - 1 > 256 ? 256 : size - 1;
        auto msg = std::make_unique<unsigned char[]>(n + 1);
        std::memcpy(msg.get(), data + 1, n);
        char out[DEVICE_INFO_TEXT_SIZE];
        if (io.parseForRecvBuf(msg.get(), static_cast<int>(n), out, sizeof out)
            && ::strnlen(out, sizeof out) == sizeof out)
            __builtin_trap();
        (void)io.parseForOID(msg.get(), static_cast<int>(n));
        break;
    }
    }
    checkKeptValues();
    return 0;
}
