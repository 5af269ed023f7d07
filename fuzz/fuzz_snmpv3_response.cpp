// The SNMPv3 response parser on arbitrary datagrams, in three roles:
//  0: a discovery answer (no keys held),
//  1: a record holding only a privacy key, so unauthenticated input reaches
//     the decryption and the decrypted scoped PDU,
//  2: both keys held, the input being the plaintext scoped PDU that the
//     harness encrypts and authenticates as an agent would, so arbitrary
//     decrypted contents pass authentication and reach the PDU walk.
// Every datagram lives in a buffer of exactly its size.
#include "snmp/NetIO.h"
#include "snmp/Usm.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

const unsigned char kAuthKey[16] = {0x52, 0x6f, 0x5e, 0xed, 0x9f, 0xcc, 0xe2, 0x6f,
                                    0x89, 0x64, 0xc2, 0x93, 0x07, 0x87, 0xd8, 0x2b};
const unsigned char kPrivKey[16] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,
                                    0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xF0, 0x01};
const unsigned char kEngine[11] = {0x80, 0x00, 0x0C, 0xF1, 0x03, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
const unsigned char kSalt[8] = {0, 0, 0, 1, 0, 0, 0, 9};

using Bytes = std::vector<unsigned char>;

Bytes tlv(unsigned char tag, const Bytes& content)
{
    Bytes out{tag};
    const size_t n = content.size();
    if (n < 128) {
        out.push_back(static_cast<unsigned char>(n));
    } else {
        out.push_back(0x82);
        out.push_back(static_cast<unsigned char>(n >> 8));
        out.push_back(static_cast<unsigned char>(n));
    }
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

Bytes join(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// An authPriv message around the given plaintext scoped PDU.
Bytes agentMessage(const uint8_t* scoped, size_t size)
{
    Bytes plain(scoped, scoped + size);
    plain.resize((size + 7) & ~size_t(7), 0);
    Bytes cipher(plain.size());
    unsigned char iv[8];
    for (int i = 0; i < 8; ++i)
        iv[i] = kPrivKey[8 + i] ^ kSalt[i];
    if (!plain.empty())
        DesEncryption(kPrivKey, iv, plain.data(), static_cast<uint32_t>(plain.size()), cipher.data(),
                      static_cast<uint32_t>(cipher.size()));
    const Bytes global = {0x30, 0x0D, 0x02, 0x01, 0x00, 0x02, 0x02, 0x08, 0x00,
                          0x04, 0x01, 0x03, 0x02, 0x01, 0x03};
    const Bytes security = tlv(0x04, tlv(0x30, join({tlv(0x04, Bytes(kEngine, kEngine + 11)),
                                                     {0x02, 0x01, 0x01, 0x02, 0x01, 0x01, 0x04, 0x00},
                                                     tlv(0x04, Bytes(12, 0)),
                                                     tlv(0x04, Bytes(kSalt, kSalt + 8))})));
    const Bytes head = join({{0x02, 0x01, 0x03}, global});
    Bytes msg = tlv(0x30, join({head, security, tlv(0x04, cipher)}));
    // The 12 zeros sit right after the engine ID, boots, time and empty user.
    const size_t headerLen = msg.size() - (head.size() + security.size() + tlv(0x04, cipher).size());
    const size_t securityStart = headerLen + head.size();
    const size_t authOffset = securityStart + 4 + 2 + 11 + 8 + 2; // 04 L 30 L, engine, ints/user, 04 0C
    unsigned char k1[64], k2[64];
    AuthKey2K1K2(kAuthKey, k1, k2);
    CalcuateAuthParams(msg.data(), static_cast<uint32_t>(msg.size()), k1, k2, msg.data() + authOffset);
    return msg;
}

} // namespace

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
