// The built-in SNMPv3 credential set and the set each thread presents.
#include "snmp/Credentials.h"

#if !defined(LEVELWATCH_SNMPV3_USER) || !defined(LEVELWATCH_SNMPV3_AUTH_PASS) \
    || !defined(LEVELWATCH_SNMPV3_PRIV_PASS)
#error "the built-in SNMPv3 credentials come from the build (LEVELWATCH_SNMPV3_* definitions)"
#endif

static_assert(sizeof LEVELWATCH_SNMPV3_USER >= 2 && sizeof LEVELWATCH_SNMPV3_USER <= 33,
              "user name: 1 to 32 characters");
static_assert(sizeof LEVELWATCH_SNMPV3_AUTH_PASS >= 9 && sizeof LEVELWATCH_SNMPV3_AUTH_PASS <= 65,
              "authentication pass phrase: 8 to 64 characters");
static_assert(sizeof LEVELWATCH_SNMPV3_PRIV_PASS >= 9 && sizeof LEVELWATCH_SNMPV3_PRIV_PASS <= 65,
              "privacy pass phrase: 8 to 64 characters");

namespace {

const std::vector<SnmpV3Credentials>& builtInSets()
{
    static const std::vector<SnmpV3Credentials> sets = {
        {"", LEVELWATCH_SNMPV3_USER, LEVELWATCH_SNMPV3_AUTH_PASS, LEVELWATCH_SNMPV3_PRIV_PASS}};
    return sets;
}

thread_local const SnmpV3Credentials* t_current = nullptr;

} // namespace

const std::vector<SnmpV3Credentials>& SnmpV3CredentialSets()
{
    return builtInSets();
}

const SnmpV3Credentials* FindSnmpV3Credentials(const std::string& name)
{
    for (const SnmpV3Credentials& set : SnmpV3CredentialSets())
        if (set.name == name)
            return &set;
    return nullptr;
}

void SetThreadSnmpV3Credentials(const SnmpV3Credentials* set)
{
    t_current = set;
}

const SnmpV3Credentials& ThreadSnmpV3Credentials()
{
    return t_current ? *t_current : SnmpV3CredentialSets().front();
}
