#include "Chain.h"

#include "DeviceUri.h"
#include "Log.h"
#include "Resolve.h"
#include "ServiceResolver.h"
#include "SiblingFilter.h"
#include "snmp/Credentials.h"
#include "snmp/NetIO.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <sys/socket.h>

std::vector<std::string> mDNSIP;
std::vector<std::string> mDNSType;

namespace {

bool schemeIs(const std::string& scheme, const char* name) { return strcasecmp(scheme.c_str(), name) == 0; }

const char* familyLabel(int family) { return family == AF_INET6 ? "IPv6" : "IPv4"; }

} // namespace

void getAddressFromURL(const std::string& scheme, const std::string& host)
{
    mDNSIP.clear();
    mDNSType.clear();
    mDNSIP.reserve(255);
    mDNSType.reserve(255);

    if (schemeIs(scheme, "socket") || schemeIs(scheme, "ipp") || schemeIs(scheme, "lpd")) {
        // A bracketed IPv6 literal becomes a bare one.
        std::string name = host;
        for (char c : {']', '[', ' '})
            name.erase(std::remove(name.begin(), name.end(), c), name.end());
        for (int family : {AF_INET6, AF_INET}) {
            std::string address = platform::firstAddress(name, family);
            if (!address.empty()) {
                mDNSType.push_back(familyLabel(family));
                mDNSIP.push_back(address);
                return;
            }
        }
    } else if (schemeIs(scheme, "mdns") || schemeIs(scheme, "dnssd")) {
        std::string instance = host.substr(0, host.find('.'));
        for (const auto& found : platform::resolvePrinterService(instance, 3.0)) {
            mDNSType.push_back(familyLabel(found.family));
            mDNSIP.push_back(found.address);
        }
    }
}

bool UsbLineLongEnough(const std::string& line) { return line.size() >= 127; }

int ReadStatusOverUsb(const std::string& queue, const std::string& uri, PRINTER_STATUS& record)
{
    platform::logLine("%s,%s", queue.c_str(), uri.c_str());
    std::string line;
    if (!platform::readFirstLine(platform::siblingFilterPath(), queue, uri, line)) {
        std::fputs("Could not open pipe for toner level agents.\n", stderr);
        return kExitFailed;
    }
    platform::logLine("data len=%i [%s]", static_cast<int>(line.size()), line.c_str());
    if (!UsbLineLongEnough(line))
        return kExitFailed;
    if (DecodStatusFromDeviceID(line.c_str(), &record) != 0)
        return kExitFailed;
    return kExitReported;
}

int ReadStatusOverNetwork(PRINTER_STATUS& record, NetworkAnswer* answer, const SnmpV3Credentials* only)
{
    if (mDNSIP.empty())
        return kExitNoAddress;
    // The SNMPv3 query presents each credential set in turn (only the one
    // given, when given); the set that answered stays the thread's, so that
    // what is asked next of the printer presents it too.
    std::vector<const SnmpV3Credentials*> sets;
    if (only)
        sets.push_back(only);
    else
        for (const SnmpV3Credentials& set : SnmpV3CredentialSets())
            sets.push_back(&set);
    for (size_t i = 0; i < mDNSIP.size(); ++i) {
        const char* address = mDNSIP[i].c_str();
        const bool v4 = mDNSType[i] == "IPv4";
        if (!v4 && mDNSType[i] != "IPv6")
            continue;
        bool v1 = v4 ? NetworkReadStatus(kReadCommunity, address, &record)
                     : NetworkReadStatusV6(kReadCommunity, address, &record);
        bool ok = v1;
        const SnmpV3Credentials* answered = nullptr;
        for (size_t k = 0; !ok && k < sets.size(); ++k) {
            SetThreadSnmpV3Credentials(sets[k]);
            ok = v4 ? NetworkReadStatusSNMPv3(kReadCommunity, address, &record)
                    : NetworkReadStatusV6SNMPv3(kReadCommunity, address, &record);
            if (ok)
                answered = sets[k];
        }
        if (ok) {
            SetThreadSnmpV3Credentials(answered ? answered : sets.front());
            if (answer)
                *answer = {i, v1, answered};
            return kExitReported;
        }
    }
    SetThreadSnmpV3Credentials(sets.front());
    return kExitFailed;
}
