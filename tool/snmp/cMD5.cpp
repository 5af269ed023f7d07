// MD5 digest wrapper over libcrypto's low-level MD5 (see cMD5.h).
//
// The low-level MD5_CTX is exactly the state this wrapper keeps (four
// chaining words, the 64-bit bit count as two words, a 64-byte block), and it
// hashes whole 64-byte blocks straight from the caller's bytes, which keeps
// the 1 MiB key derivation at the speed of the MD5 compression itself.
#define OPENSSL_API_COMPAT 0x10101000L
#include "snmp/cMD5.h"

#include <openssl/md5.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
// One digest context per thread: digests on different threads never meet.
thread_local MD5_CTX ctx;                              // the thread's digest context
thread_local char ms8_MD5[64];                         // its last digest as text
thread_local unsigned char* mp_s8ReadBuffer = nullptr; // module-owned read buffer (never allocated by the tool)
} // namespace

void md5cMD5()
{
    mp_s8ReadBuffer = nullptr;
}

void MD5Init()
{
    mp_s8ReadBuffer = nullptr;
    MD5_Init(&ctx);
}

void MD5Update(const unsigned char* data, uint32_t len)
{
    if (data == nullptr || len == 0)
        return;
    MD5_Update(&ctx, data, len);
}

void MD5Final(unsigned char* digest)
{
    MD5_Final(digest, &ctx);
    std::memset(&ctx, 0, sizeof ctx);
}

const char* MD5FinalToString()
{
    unsigned char digest[16];
    MD5Final(digest);
    ms8_MD5[0] = '\0';
    for (int i = 0; i < 16; ++i)
        std::snprintf(ms8_MD5 + 2 * i, sizeof ms8_MD5 - 2 * i, "%02X", digest[i]);
    return ms8_MD5;
}

void md5FreeBuffer()
{
    if (mp_s8ReadBuffer != nullptr) {
        std::free(mp_s8ReadBuffer);
        mp_s8ReadBuffer = nullptr; // never released twice
    }
}
