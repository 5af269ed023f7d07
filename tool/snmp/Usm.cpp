// SNMPv3 USM keys, HMAC-MD5-96 and CBC-DES (see Usm.h).
#include "snmp/Usm.h"

#include "snmp/cMD5.h"

#include <openssl/crypto.h>

extern "C" {
#include <libavutil/des.h>
#include <libavutil/macros.h>
#include <libavutil/version.h>
}

#include <atomic>
#include <cstdio>
#include <cstring>
#include <deque>
#include <dlfcn.h>
#include <mutex>
#include <string>
#include <vector>

namespace {
constexpr uint32_t kExpandedLen = 1048576; // 1 MiB of repeated pass phrase
constexpr uint32_t kFastPassMax = 192;     // pass phrases up to this length use a ready window

// DES comes from the shared libavutil, loaded on first use only: the library
// pulls some twenty others (graphics, VA-API, X11) into every process that
// links it, and only SNMPv3 privacy needs its two functions. The name is the
// SONAME of the libavutil whose header we were built against.
constexpr const char* kAvutilSoname = "libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR);

struct Des {
    decltype(&av_des_init) init = nullptr;
    decltype(&av_des_crypt) crypt = nullptr;
    std::string error; // why they are missing
};

std::atomic<bool> g_desTried{false};

const Des& des()
{
    static const Des loaded = [] {
        Des d;
        void* lib = dlopen(kAvutilSoname, RTLD_NOW | RTLD_LOCAL);
        if (lib != nullptr) {
            d.init = reinterpret_cast<decltype(&av_des_init)>(dlsym(lib, "av_des_init"));
            d.crypt = reinterpret_cast<decltype(&av_des_crypt)>(dlsym(lib, "av_des_crypt"));
        }
        if (d.init == nullptr || d.crypt == nullptr) {
            const char* why = dlerror();
            d.init = nullptr;
            d.crypt = nullptr;
            d.error = std::string("SNMPv3 privacy (DES) needs ") + kAvutilSoname + " (FFmpeg's libavutil), which cannot be loaded"
                      + (why ? std::string(": ") + why : std::string());
            // Not a trace line: the one thing that tells an administrator
            // why every SNMPv3 printer is silent.
            std::fprintf(stderr, "%s\n", d.error.c_str());
        }
        g_desTried = true;
        return d;
    }();
    return loaded;
}
} // namespace

const char* UsmPrivacyError()
{
    if (!g_desTried)
        return nullptr;
    const Des& d = des();
    return d.error.empty() ? nullptr : d.error.c_str();
}

namespace {

// Ku, the digest of 1 MiB of the repeated pass phrase (RFC 3414 A.2.1).
void passphraseKey(const unsigned char* password, uint32_t passwordlen, unsigned char* ku)
{
    // MD5 over 16,384 blocks of 64 bytes; block byte j is the pass phrase
    // byte at (n + j) mod length, the position running on across blocks.
    MD5Init();
    if (passwordlen <= kFastPassMax) {
        // window[i] = password[i mod length] for i < length + 64: the block at
        // stream position n is window + (n mod length), ready to digest.
        unsigned char window[kFastPassMax + 64];
        for (uint32_t i = 0; i < passwordlen + 64; ++i)
            window[i] = password[i % passwordlen];
        uint32_t offset = 0;
        for (uint32_t n = 0; n < kExpandedLen; n += 64) {
            MD5Update(window + offset, 64);
            offset += 64;
            while (offset >= passwordlen)
                offset -= passwordlen;
        }
        OPENSSL_cleanse(window, sizeof window);
    } else {
        unsigned char block[64];
        uint32_t index = 0;
        for (uint32_t n = 0; n < kExpandedLen; n += 64) {
            for (int j = 0; j < 64; ++j) {
                block[j] = password[index++];
                if (index == passwordlen)
                    index = 0;
            }
            MD5Update(block, 64);
        }
        OPENSSL_cleanse(block, sizeof block);
    }
    MD5Final(ku);
    md5FreeBuffer();
}

// Ku depends on the pass phrase alone, not on the engine: each pass phrase
// is stretched once per process and only localized per engine. A few pass
// phrases are kept (a process uses two); the oldest gives way.
struct KeptKey {
    std::vector<unsigned char> password;
    unsigned char ku[16];
};
std::mutex g_keptKeysLock;
std::deque<KeptKey> g_keptKeys;
constexpr size_t kKeptKeysMax = 4;

void cachedPassphraseKey(const unsigned char* password, uint32_t passwordlen, unsigned char* ku)
{
    std::lock_guard<std::mutex> hold(g_keptKeysLock);
    for (const KeptKey& kept : g_keptKeys)
        if (kept.password.size() == passwordlen
            && CRYPTO_memcmp(kept.password.data(), password, passwordlen) == 0) {
            std::memcpy(ku, kept.ku, sizeof kept.ku);
            return;
        }
    KeptKey kept;
    kept.password.assign(password, password + passwordlen);
    passphraseKey(password, passwordlen, kept.ku);
    std::memcpy(ku, kept.ku, sizeof kept.ku);
    if (g_keptKeys.size() == kKeptKeysMax) {
        OPENSSL_cleanse(g_keptKeys.front().password.data(), g_keptKeys.front().password.size());
        OPENSSL_cleanse(g_keptKeys.front().ku, sizeof g_keptKeys.front().ku);
        g_keptKeys.pop_front();
    }
    g_keptKeys.push_back(std::move(kept));
}

} // namespace

int Password_to_Key_md5(const unsigned char* password, uint32_t passwordlen,
                        const unsigned char* engineID, uint32_t engineLength,
                        unsigned char* key)
{
    if (key == nullptr)
        return -1;
    if (password == nullptr || passwordlen == 0 || engineLength > kUsmMaxEngineIdLen
        || (engineID == nullptr && engineLength != 0)) {
        std::memset(key, 0, kUsmKeyLen);
        return -1;
    }
    unsigned char ku[16];
    cachedPassphraseKey(password, passwordlen, ku);

    // Localise: MD5(Ku || engine ID || Ku).
    unsigned char buf[64];
    std::memcpy(buf, ku, 16);
    if (engineLength != 0)
        std::memcpy(buf + 16, engineID, engineLength);
    std::memcpy(buf + 16 + engineLength, ku, 16);
    MD5Init();
    MD5Update(buf, engineLength + 32);
    MD5Final(key);
    md5FreeBuffer();
    OPENSSL_cleanse(ku, sizeof ku);
    OPENSSL_cleanse(buf, sizeof buf);
    return 1;
}

void AuthKey2K1K2(const unsigned char* authKey, unsigned char* K1, unsigned char* K2)
{
    for (int i = 0; i < 64; ++i) {
        const unsigned char b = i < 16 ? authKey[i] : 0;
        K1[i] = b ^ 0x36;
        K2[i] = b ^ 0x5C;
    }
}

void CalcuateAuthParams(const unsigned char* msg, uint32_t len, const unsigned char* K1,
                        const unsigned char* K2, unsigned char* out)
{
    unsigned char inner[16], outer[16];
    MD5Init();
    MD5Update(K1, 64);
    MD5Update(msg, len);
    MD5Final(inner);
    md5FreeBuffer();
    MD5Init();
    MD5Update(K2, 64);
    MD5Update(inner, 16);
    MD5Final(outer);
    md5FreeBuffer();
    std::memcpy(out, outer, kUsmAuthCodeLen);
}

int DesEncryption(const unsigned char* key, unsigned char* iv, const unsigned char* src,
                  uint32_t len, unsigned char* dst, uint32_t dstCapacity)
{
    if (key == nullptr || iv == nullptr || src == nullptr || dst == nullptr || len == 0)
        return 0;
    if (len > 0x7FFFFFF0u)
        return 0;
    const uint32_t raised = (len + 7) & ~7u;
    if (dstCapacity < raised)
        return 0;
    const Des& lib = des();
    if (lib.crypt == nullptr)
        return 0;
    AVDES ctx;
    lib.init(&ctx, key, 64, 0);
    lib.crypt(&ctx, dst, src, static_cast<int>(raised / 8), iv, 0);
    OPENSSL_cleanse(&ctx, sizeof ctx);
    return static_cast<int>(len);
}

int DecryptMsgData(unsigned char* data, uint32_t len, const unsigned char* privKey,
                   const unsigned char* salt)
{
    if (data == nullptr || privKey == nullptr || salt == nullptr || len % 8 != 0
        || len > 0x7FFFFFF0u)
        return 0;
    if (len == 0)
        return 1;
    const Des& lib = des();
    if (lib.crypt == nullptr)
        return 0;
    unsigned char iv[8];
    for (int i = 0; i < 8; ++i)
        iv[i] = salt[i] ^ privKey[8 + i];
    AVDES ctx;
    lib.init(&ctx, privKey, 64, 0);
    lib.crypt(&ctx, data, data, static_cast<int>(len / 8), iv, 1);
    OPENSSL_cleanse(&ctx, sizeof ctx);
    return 1;
}
