// The SNMPv3 user and pass phrases the tool presents to printers: the one
// place they live. A site sets them at build time with the CMake cache
// variables LEVELWATCH_SNMPV3_USER, LEVELWATCH_SNMPV3_AUTH_PASS and
// LEVELWATCH_SNMPV3_PRIV_PASS (checked when configuring: user 1 to 32,
// pass phrases 8 to 64 printable ASCII characters).
#pragma once

#if !defined(LEVELWATCH_SNMPV3_USER) || !defined(LEVELWATCH_SNMPV3_AUTH_PASS) \
    || !defined(LEVELWATCH_SNMPV3_PRIV_PASS)
#error "the SNMPv3 credentials come from the build (LEVELWATCH_SNMPV3_* definitions)"
#endif

inline constexpr char kSnmpV3User[] = LEVELWATCH_SNMPV3_USER;
inline constexpr char kSnmpV3AuthPass[] = LEVELWATCH_SNMPV3_AUTH_PASS;
inline constexpr char kSnmpV3PrivPass[] = LEVELWATCH_SNMPV3_PRIV_PASS;

static_assert(sizeof kSnmpV3User >= 2 && sizeof kSnmpV3User <= 33, "user name: 1 to 32 characters");
static_assert(sizeof kSnmpV3AuthPass >= 9 && sizeof kSnmpV3AuthPass <= 65,
              "authentication pass phrase: 8 to 64 characters");
static_assert(sizeof kSnmpV3PrivPass >= 9 && sizeof kSnmpV3PrivPass <= 65,
              "privacy pass phrase: 8 to 64 characters");
