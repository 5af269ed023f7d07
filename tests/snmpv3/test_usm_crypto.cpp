// Standard vectors and the byte-level rules of the digest wrapper, the USM key
// localisation, HMAC-MD5-96 and CBC-DES.
#include "snmp/Usm.h"
#include "snmp/cMD5.h"

#include <gtest/gtest.h>

#include <openssl/evp.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes hex(const std::string& text)
{
    Bytes out;
    std::string digits;
    for (char c : text)
        if (std::isxdigit(static_cast<unsigned char>(c)))
            digits += c;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        out.push_back(static_cast<unsigned char>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return out;
}

Bytes bytes(const unsigned char* p, size_t n) { return Bytes(p, p + n); }

Bytes md5(const void* data, size_t n)
{
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_Digest(data, n, out, &len, EVP_md5(), nullptr);
    return Bytes(out, out + len);
}

Bytes hmac96(const Bytes& key, const Bytes& data)
{
    unsigned char k[16] = {};
    std::memcpy(k, key.data(), key.size());
    unsigned char k1[64], k2[64], out[12];
    AuthKey2K1K2(k, k1, k2);
    CalcuateAuthParams(data.data(), static_cast<uint32_t>(data.size()), k1, k2, out);
    return bytes(out, 12);
}

} // namespace

TEST(Md5Wrapper, DigestOfEmptyMessageAsUpperCaseText)
{
    MD5Init();
    EXPECT_STREQ(MD5FinalToString(), "D41D8CD98F00B204E9800998ECF8427E");
    md5FreeBuffer();
    // The context is wiped by the final step; a new digest starts clean.
    MD5Init();
    MD5Update(reinterpret_cast<const unsigned char*>("abc"), 3);
    EXPECT_STREQ(MD5FinalToString(), "900150983CD24FB0D6963F7D28E17F72");
    md5FreeBuffer();
}

TEST(UsmKeys, LocalisesTheRfc3414Md5Vector)
{
    const std::string pass = "maplesyrup";
    const Bytes engine = hex("00 00 00 00 00 00 00 00 00 00 00 02");
    unsigned char key[16];
    ASSERT_EQ(Password_to_Key_md5(reinterpret_cast<const unsigned char*>(pass.data()),
                                  static_cast<uint32_t>(pass.size()), engine.data(),
                                  static_cast<uint32_t>(engine.size()), key), 1);
    EXPECT_EQ(bytes(key, 16), hex("52 6f 5e ed 9f cc e2 6f 89 64 c2 93 07 87 d8 2b"));
}

// The expansion must run the pass phrase position on across blocks, for any
// length (short, 20 characters, and longer than the ready-made window).
TEST(UsmKeys, MatchesAPlainExpansionForShortTwentyAndLongPassPhrases)
{
    const Bytes engine = hex("80 00 0C F1 03 00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF 00 11 22 33 44 55 66 77 88 99 AA");
    ASSERT_EQ(engine.size(), 32u); // fills the localisation buffer exactly
    for (const std::string& pass : {std::string("x"), std::string("Mw4-Tq8s-Lk2v-Rp6zXc"),
                                   std::string(250, 'q') + "tail"}) {
        std::string stream;
        while (stream.size() < 1048576)
            stream += pass;
        stream.resize(1048576);
        const Bytes ku = md5(stream.data(), stream.size());
        Bytes local = ku;
        for (unsigned char b : engine)
            local.push_back(b);
        for (unsigned char b : ku)
            local.push_back(b);
        const Bytes expected = md5(local.data(), local.size());

        unsigned char key[16];
        ASSERT_EQ(Password_to_Key_md5(reinterpret_cast<const unsigned char*>(pass.data()),
                                      static_cast<uint32_t>(pass.size()), engine.data(), 32, key), 1);
        EXPECT_EQ(bytes(key, 16), expected) << "pass phrase length " << pass.size();
    }
}

// The stretched key is kept per pass phrase: a pass phrase asked again, for
// another engine, after a longer one that begins with it and after enough
// others to push it out, still gives the keys of a plain derivation.
TEST(UsmKeys, KeptPassPhraseKeysLocaliseToEveryEngineAsAFreshDerivation)
{
    const Bytes rfcEngine = hex("00 00 00 00 00 00 00 00 00 00 00 02");
    const Bytes printerEngine = hex("80 00 0C F1 03 00 C0 00 02 0B");
    auto key = [](const std::string& pass, const Bytes& engine) {
        unsigned char out[16];
        EXPECT_EQ(Password_to_Key_md5(reinterpret_cast<const unsigned char*>(pass.data()),
                                      static_cast<uint32_t>(pass.size()), engine.data(),
                                      static_cast<uint32_t>(engine.size()), out), 1);
        return bytes(out, 16);
    };
    auto plain = [](const std::string& pass, const Bytes& engine) {
        std::string stream;
        while (stream.size() < 1048576)
            stream += pass;
        stream.resize(1048576);
        Bytes local = md5(stream.data(), stream.size());
        const Bytes ku = local;
        local.insert(local.end(), engine.begin(), engine.end());
        local.insert(local.end(), ku.begin(), ku.end());
        return md5(local.data(), local.size());
    };
    const Bytes rfc = hex("52 6f 5e ed 9f cc e2 6f 89 64 c2 93 07 87 d8 2b");
    EXPECT_EQ(key("maplesyrup", rfcEngine), rfc);
    EXPECT_EQ(key("maplesyrup", printerEngine), plain("maplesyrup", printerEngine));
    EXPECT_EQ(key("maplesyrupX", rfcEngine), plain("maplesyrupX", rfcEngine));
    EXPECT_EQ(key("maple", rfcEngine), plain("maple", rfcEngine));
    for (const char* other : {"one-other", "two-other", "three-other", "four-other"})
        EXPECT_EQ(key(other, printerEngine), plain(other, printerEngine)) << other;
    EXPECT_EQ(key("maplesyrup", rfcEngine), rfc);
}

TEST(UsmKeys, RefusesEmptyPassPhraseAndOverlongEngineId)
{
    unsigned char key[16];
    const unsigned char engine[33] = {0x80};
    std::memset(key, 0xEE, sizeof key);
    EXPECT_EQ(Password_to_Key_md5(reinterpret_cast<const unsigned char*>("pw"), 0, engine, 4, key), -1);
    EXPECT_EQ(bytes(key, 16), Bytes(16, 0));
    std::memset(key, 0xEE, sizeof key);
    EXPECT_EQ(Password_to_Key_md5(reinterpret_cast<const unsigned char*>("password"), 8, engine, 33, key), -1);
    EXPECT_EQ(bytes(key, 16), Bytes(16, 0));
}

TEST(UsmAuth, ReproducesRfc2104CasesTruncatedToTwelveBytes)
{
    const std::string hiThere = "Hi There";
    EXPECT_EQ(hmac96(Bytes(16, 0x0b), Bytes(hiThere.begin(), hiThere.end())),
              hex("9294727a3638bb1c13f48ef8"));
    const std::string jefe = "Jefe", what = "what do ya want for nothing?";
    EXPECT_EQ(hmac96(Bytes(jefe.begin(), jefe.end()), Bytes(what.begin(), what.end())),
              hex("750c783e6ab0b503eaa86e31"));
    EXPECT_EQ(hmac96(Bytes(16, 0xaa), Bytes(50, 0xdd)), hex("56be34521d144c88dbb8c733"));
}

TEST(UsmAuth, PadsAreTheKeyExtendedWithZerosXoredWith36And5C)
{
    unsigned char key[16], k1[64], k2[64];
    for (int i = 0; i < 16; ++i)
        key[i] = static_cast<unsigned char>(i * 17);
    AuthKey2K1K2(key, k1, k2);
    for (int i = 0; i < 64; ++i) {
        const unsigned char b = i < 16 ? key[i] : 0;
        EXPECT_EQ(k1[i], b ^ 0x36) << i;
        EXPECT_EQ(k2[i], b ^ 0x5C) << i;
    }
}

TEST(UsmPrivacy, EncryptsWholeBlocksAndDecryptsWithSaltedIv)
{
    unsigned char privKey[16];
    for (int i = 0; i < 16; ++i)
        privKey[i] = static_cast<unsigned char>(0xA0 + i);
    const unsigned char salt[8] = {0, 0, 0, 200, 0, 0, 0, 7};
    unsigned char iv[8];
    for (int i = 0; i < 8; ++i)
        iv[i] = privKey[8 + i] ^ salt[i];

    // 57 bytes become 64: the 7 bytes added are the zeros after the plaintext.
    unsigned char plain[64] = {};
    for (int i = 0; i < 57; ++i)
        plain[i] = static_cast<unsigned char>(i + 1);
    unsigned char cipher[64];
    unsigned char ivCopy[8];
    std::memcpy(ivCopy, iv, 8);
    EXPECT_EQ(DesEncryption(privKey, ivCopy, plain, 57, cipher, 63), 0); // capacity below 64
    EXPECT_EQ(DesEncryption(privKey, ivCopy, plain, 57, cipher, 64), 57); // the byte count given; 64 written
    EXPECT_EQ(bytes(ivCopy, 8), bytes(cipher + 56, 8)); // IV becomes the last ciphertext block

    EXPECT_EQ(DecryptMsgData(cipher, 36, privKey, salt), 0); // not whole blocks: untouched
    EXPECT_EQ(DecryptMsgData(cipher, 40, privKey, salt), 1); // 5 blocks, CBC: prefix decrypts alone
    EXPECT_EQ(bytes(cipher, 40), bytes(plain, 40));
    EXPECT_NE(bytes(cipher + 40, 24), bytes(plain + 40, 24));

    // A 2048-byte scoped PDU fits exactly (256 blocks).
    std::vector<unsigned char> big(2048, 0x5A), out(2048);
    std::memcpy(ivCopy, iv, 8);
    EXPECT_EQ(DesEncryption(privKey, ivCopy, big.data(), 2048, out.data(), 2048), 2048);
    EXPECT_EQ(DecryptMsgData(out.data(), 2048, privKey, salt), 1);
    EXPECT_EQ(out, big);
}
