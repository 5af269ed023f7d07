// Shared by the SNMPv3 fuzz targets: an agent's authPriv message around a
// plaintext scoped PDU, encrypted and authenticated with fixed keys as an
// agent would, so that arbitrary scoped PDUs pass authentication and reach
// the PDU walk of a record holding the same keys.
#pragma once

#include "snmp/Usm.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace fuzzv3 {

inline const unsigned char kAuthKey[16] = {0x52, 0x6f, 0x5e, 0xed, 0x9f, 0xcc, 0xe2, 0x6f,
                                           0x89, 0x64, 0xc2, 0x93, 0x07, 0x87, 0xd8, 0x2b};
inline const unsigned char kPrivKey[16] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,
                                           0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xF0, 0x01};
inline const unsigned char kEngine[11] = {0x80, 0x00, 0x0C, 0xF1, 0x03, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
inline const unsigned char kSalt[8] = {0, 0, 0, 1, 0, 0, 0, 9};

using Bytes = std::vector<unsigned char>;

inline Bytes tlv(unsigned char tag, const Bytes& content)
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

inline Bytes join(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// An authPriv message around the given plaintext scoped PDU.
inline Bytes agentMessage(const uint8_t* scoped, size_t size)
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

} // namespace fuzzv3
