// The SNMPv3 credentials file's parser on any bytes: it either refuses the
// text with a line named or gives sets whose every value is within its
// bounds, without a control character, never more than kCredentialsMaxSets.
#include "snmp/CredentialsFile.h"

#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<SnmpV3Credentials> sets;
    std::string error;
    const bool ok = ParseSnmpV3CredentialsText(text, sets, error);
    if (!ok && (!sets.empty() || error.rfind("line ", 0) != 0) && size <= kCredentialsFileMaxBytes)
        __builtin_trap();
    if (sets.size() > kCredentialsMaxSets)
        __builtin_trap();
    for (const SnmpV3Credentials& s : sets) {
        if (s.name.empty() || s.name.size() > kCredentialsNameMax || s.user.empty() || s.user.size() > 32
            || s.authPass.size() < 8 || s.authPass.size() > 64 || s.privPass.size() < 8 || s.privPass.size() > 64)
            __builtin_trap();
        for (const std::string* v : {&s.user, &s.authPass, &s.privPass})
            for (const char c : *v)
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
                    __builtin_trap();
    }
    return 0;
}
