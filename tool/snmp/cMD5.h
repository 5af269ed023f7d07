// The MD5 digest wrapper of the SNMP library: one digest context per thread
// over libcrypto's MD5 (RFC 1321). Every digest of a thread runs through its
// context, strictly one after the other: MD5Init, one or more MD5Update,
// MD5Final (or MD5FinalToString), then md5FreeBuffer.
#pragma once

#include <cstdint>

// Forgets the module's read buffer (sets the pointer to null).
void md5cMD5();
// Starts a digest: initial chaining values, bit count zero.
void MD5Init();
// Adds len bytes at data to the running digest.
void MD5Update(const unsigned char* data, uint32_t len);
// Completes the digest into the 16 bytes at digest, then wipes the context.
void MD5Final(unsigned char* digest);
// Completes the digest and returns it as 32 upper-case hexadecimal digits in
// the module's text buffer (valid until the next call).
const char* MD5FinalToString();
// Releases the module's read buffer when there is one.
void md5FreeBuffer();
