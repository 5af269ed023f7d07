// SNMPv3 User-based Security Model (RFC 3414) with HMAC-MD5-96 authentication
// and CBC-DES privacy: key localisation, the HMAC pads and code, and the DES
// encryption and decryption of a scoped PDU. All digests go through the
// calling thread's context of cMD5.h, so none of these may run while another
// digest of the same thread is open.
#pragma once

#include <cstddef>
#include <cstdint>

// Largest engine ID any operation accepts: 16 + 32 + 16 bytes fill the
// 64-byte localisation buffer.
inline constexpr uint32_t kUsmMaxEngineIdLen = 32;
inline constexpr uint32_t kUsmKeyLen = 16;
inline constexpr uint32_t kUsmAuthCodeLen = 12;
inline constexpr uint32_t kUsmSaltLen = 8;

// RFC 3414 A.2.1 with MD5: expands the pass phrase to 1 MiB, digests it (Ku)
// and localises Ku to the engine ID: key = MD5(Ku || engineID || Ku).
// Ku does not depend on the engine: it is computed once per pass phrase in
// a process and kept in memory, and only the localisation is done per engine.
// Returns 1; -1 (and a zeroed key) when the pass phrase is empty, the engine
// ID is longer than 32 bytes or a pointer is null.
int Password_to_Key_md5(const unsigned char* password, uint32_t passwordlen,
                        const unsigned char* engineID, uint32_t engineLength,
                        unsigned char* key);

// K1 = (key || 48 zero bytes) XOR 0x36, K2 = the same XOR 0x5C (64 bytes each).
void AuthKey2K1K2(const unsigned char* authKey, unsigned char* K1, unsigned char* K2);

// HMAC-MD5-96 of the whole message: the first 12 bytes of
// MD5(K2 || MD5(K1 || message)) go to out.
void CalcuateAuthParams(const unsigned char* msg, uint32_t len, const unsigned char* K1,
                        const unsigned char* K2, unsigned char* out);

// DES is libavutil's, loaded at its first use (never on the SNMP v1 road).
// Once a load has failed, the reason (naming the library) is returned here
// and was written once to standard error, and DesEncryption and
// DecryptMsgData fail; null while DES works or was never needed.
const char* UsmPrivacyError();

// CBC-DES encryption of len bytes raised to the next multiple of 8 (the source
// must be readable that far, and that many bytes are written). iv is replaced
// by the last ciphertext block. Returns len, or 0 when key, iv, source or
// destination is null, len is 0, the destination capacity is below the
// raised length, or DES cannot be loaded (nothing written then).
int DesEncryption(const unsigned char* key, unsigned char* iv, const unsigned char* src,
                  uint32_t len, unsigned char* dst, uint32_t dstCapacity);

// CBC-DES decryption in place with key = privKey[0..7] and
// IV = privKey[8..15] XOR salt. Returns 1, or 0 (data untouched) when len is
// not a multiple of 8, a pointer is null or DES cannot be loaded.
int DecryptMsgData(unsigned char* data, uint32_t len, const unsigned char* privKey,
                   const unsigned char* salt);
