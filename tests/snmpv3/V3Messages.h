// Independent SNMPv3 message writer and reader for the tests: builds agent
// answers (Reports and Responses, authenticated and encrypted with the
// USM primitives) byte by byte, and picks requests apart, without the
// library's builders or parser.
#pragma once

#include "SnmpTestData.h"
#include "snmp/Usm.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <cstring>
#include <string>
#include <vector>

namespace v3test {

using lwtest::Bytes;
using lwtest::berLength;
using lwtest::cat;
using lwtest::tlv;

inline Bytes integer(uint32_t v)
{
    Bytes c;
    do {
        c.insert(c.begin(), static_cast<unsigned char>(v & 0xFF));
        v >>= 8;
    } while (v != 0);
    if (c[0] & 0x80)
        c.insert(c.begin(), 0);
    return tlv(0x02, c);
}

inline Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Runs through the library's one digest context: main thread only, before
// any responder thread starts.
inline Bytes localKey(const std::string& pass, const Bytes& engine)
{
    unsigned char key[16];
    Password_to_Key_md5(reinterpret_cast<const unsigned char*>(pass.data()),
                        static_cast<uint32_t>(pass.size()), engine.data(),
                        static_cast<uint32_t>(engine.size()), key);
    return Bytes(key, key + 16);
}

// The device-ID OID as the printer sends it back.
inline Bytes deviceIdOid()
{
    return {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0xC7, 0x11, 0x86, 0x76, 0x82, 0x2C,
            0x82, 0x71, 0xC2, 0x53, 0x01, 0x01, 0x00};
}

struct Binding {
    Bytes oid;
    unsigned char tag = 0x04;
    Bytes value;
};

// Everything an agent's answer carries; the defaults make a plaintext,
// unauthenticated Report.
struct Answer {
    uint32_t msgId = 0;
    unsigned char flags = 0x00;
    Bytes engineId = {0x80, 0x00, 0x0C, 0xF1, 0x03, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    uint32_t boots = 7, time = 1234;
    std::string user;
    Bytes authKey;          // empty: no code (the field holds authField as given)
    Bytes authField;        // used as is when authKey is empty
    Bytes privKey;          // empty: plaintext scoped PDU
    Bytes salt = {0, 0, 0, 7, 0xAB, 0xCD, 0xEF, 0x01};
    Bytes contextEngineId;  // empty: same as engineId
    bool contextSameAsEngine = true;
    std::string contextName;
    unsigned char pduTag = 0xA8;
    uint32_t requestId = 0;
    uint32_t errorStatus = 0, errorIndex = 0;
    std::vector<Binding> bindings;
};

inline Bytes scopedPdu(const Answer& a)
{
    Bytes list;
    for (const Binding& b : a.bindings)
        list = cat({list, tlv(0x30, cat({tlv(0x06, b.oid), tlv(b.tag, b.value)}))});
    const Bytes pdu = tlv(a.pduTag, cat({integer(a.requestId), integer(a.errorStatus),
                                          integer(a.errorIndex), tlv(0x30, list)}));
    const Bytes& context = a.contextSameAsEngine ? a.engineId : a.contextEngineId;
    return tlv(0x30, cat({tlv(0x04, context), tlv(0x04, text(a.contextName)), pdu}));
}

// Encrypts a plaintext scoped PDU (padded with zeros to whole blocks).
inline Bytes encrypt(const Bytes& plain, const Bytes& privKey, const Bytes& salt)
{
    Bytes padded = plain;
    padded.resize((plain.size() + 7) & ~size_t(7), 0);
    Bytes out(padded.size());
    unsigned char iv[8];
    for (int i = 0; i < 8; ++i)
        iv[i] = privKey[8 + i] ^ salt[i];
    DesEncryption(privKey.data(), iv, padded.data(), static_cast<uint32_t>(padded.size()), out.data(),
                  static_cast<uint32_t>(out.size()));
    return out;
}

// Builds the whole message around msgData (a scoped PDU or encryptedPDU).
inline Bytes wrapMessage(const Answer& a, const Bytes& msgData)
{
    const bool authenticate = !a.authKey.empty();
    const Bytes authField = authenticate ? Bytes(12, 0) : a.authField;
    const Bytes global = tlv(0x30, cat({integer(a.msgId), integer(2048), tlv(0x04, {a.flags}), integer(3)}));
    const Bytes security = tlv(0x04, tlv(0x30, cat({tlv(0x04, a.engineId), integer(a.boots), integer(a.time),
                                                   tlv(0x04, text(a.user)), tlv(0x04, authField),
                                                   tlv(0x04, a.privKey.empty() ? Bytes{} : a.salt)})));
    Bytes msg = tlv(0x30, cat({integer(3), global, security, msgData}));
    if (authenticate) {
        // The 12 zero bytes are the only 12-zero run right after "04 0C".
        const Bytes marker = cat({Bytes{0x04, 0x0C}, Bytes(12, 0)});
        auto at = std::search(msg.begin(), msg.end(), marker.begin(), marker.end());
        const size_t offset = static_cast<size_t>(at - msg.begin()) + 2;
        // OpenSSL's own HMAC: independent of the library and of its one
        // process-wide digest context (responders run on their own thread).
        unsigned char code[EVP_MAX_MD_SIZE];
        unsigned int codeLen = 0;
        HMAC(EVP_md5(), a.authKey.data(), 16, msg.data(), msg.size(), code, &codeLen);
        std::memcpy(msg.data() + offset, code, 12);
    }
    return msg;
}

inline Bytes build(const Answer& a)
{
    const Bytes scoped = scopedPdu(a);
    const Bytes msgData = a.privKey.empty() ? scoped : tlv(0x04, encrypt(scoped, a.privKey, a.salt));
    return wrapMessage(a, msgData);
}

// ---- Reading requests ----

struct Element {
    unsigned char tag = 0;
    size_t start = 0;  // of the content
    size_t length = 0;
    size_t next = 0;   // after the element
};

inline bool read(const Bytes& b, size_t at, Element& e)
{
    if (at + 2 > b.size())
        return false;
    e.tag = b[at];
    size_t p = at + 1, n = b[p++];
    if (n & 0x80) {
        const size_t k = n & 0x7F;
        n = 0;
        for (size_t i = 0; i < k; ++i) {
            if (p >= b.size())
                return false;
            n = (n << 8) | b[p++];
        }
    }
    if (p + n > b.size())
        return false;
    e.start = p;
    e.length = n;
    e.next = p + n;
    return true;
}

inline uint32_t intValue(const Bytes& b, const Element& e)
{
    uint32_t v = 0;
    for (size_t i = 0; i < e.length; ++i)
        v = (v << 8) | b[e.start + i];
    return v;
}

// The fields of one of our requests (and its decrypted scoped PDU when the
// privacy key is given).
struct Request {
    bool ok = false;
    uint32_t msgId = 0;
    unsigned char flags = 0;
    Bytes engineId;
    uint32_t boots = 0, time = 0;
    std::string user;
    Bytes authParams, privParams;
    size_t authOffset = 0;
    Bytes msgData;     // content of the OCTET STRING, or the whole plaintext scoped PDU
    bool encrypted = false;
    Bytes scoped;      // plaintext scoped PDU (decrypted when a key was given)
    unsigned char pduTag = 0;
    uint32_t requestId = 0;
    std::vector<Bytes> oids;
};

inline Request parseRequest(const Bytes& b, const Bytes& privKey = {})
{
    Request r;
    Element msg, version, global, f, sp, seq, x;
    if (!read(b, 0, msg) || !read(b, msg.start, version) || !read(b, version.next, global))
        return r;
    if (!read(b, global.start, x))
        return r;
    r.msgId = intValue(b, x);
    if (!read(b, x.next, x) || !read(b, x.next, f))
        return r;
    r.flags = b[f.start];
    if (!read(b, global.next, sp) || !read(b, sp.start, seq) || !read(b, seq.start, x))
        return r;
    r.engineId.assign(b.begin() + x.start, b.begin() + x.next);
    if (!read(b, x.next, x))
        return r;
    r.boots = intValue(b, x);
    if (!read(b, x.next, x))
        return r;
    r.time = intValue(b, x);
    if (!read(b, x.next, x))
        return r;
    r.user.assign(b.begin() + x.start, b.begin() + x.next);
    if (!read(b, x.next, x))
        return r;
    r.authParams.assign(b.begin() + x.start, b.begin() + x.next);
    r.authOffset = x.start;
    if (!read(b, x.next, x))
        return r;
    r.privParams.assign(b.begin() + x.start, b.begin() + x.next);
    Element data;
    if (!read(b, sp.next, data))
        return r;
    r.encrypted = data.tag == 0x04;
    if (r.encrypted) {
        r.msgData.assign(b.begin() + data.start, b.begin() + data.next);
        if (privKey.empty() || r.msgData.size() % 8 != 0 || r.privParams.size() != 8)
            return r;
        Bytes plain = r.msgData;
        DecryptMsgData(plain.data(), static_cast<uint32_t>(plain.size()), privKey.data(), r.privParams.data());
        r.scoped = plain;
    } else {
        r.msgData.assign(b.begin() + static_cast<long>(sp.next), b.begin() + static_cast<long>(data.next));
        r.scoped = r.msgData;
    }
    Element scoped, pdu, list;
    const Bytes& s = r.scoped;
    if (!read(s, 0, scoped) || !read(s, scoped.start, x) || !read(s, x.next, x) || !read(s, x.next, pdu))
        return r;
    r.pduTag = pdu.tag;
    if (!read(s, pdu.start, x))
        return r;
    r.requestId = intValue(s, x);
    if (!read(s, x.next, x) || !read(s, x.next, x) || !read(s, x.next, list))
        return r;
    for (size_t p = list.start; p < list.next;) {
        Element binding, oid;
        if (!read(s, p, binding) || !read(s, binding.start, oid))
            return r;
        r.oids.emplace_back(s.begin() + oid.start, s.begin() + oid.next);
        p = binding.next;
    }
    r.ok = true;
    return r;
}

} // namespace v3test
