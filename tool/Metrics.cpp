#include "Metrics.h"

#include "cups/Markers.h"

#include <arpa/inet.h>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <netdb.h>
#include <set>
#include <sys/socket.h>

namespace metrics {

namespace {

const char* const kColors[4] = {"black", "cyan", "magenta", "yellow"};

std::string number(double value)
{
    char buf[32];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? std::string(buf, end) : std::string("NaN");
}

// One family: its HELP and TYPE lines and its samples.
struct Family {
    const char* name;
    const char* help;
    std::string samples;

    void add(const std::string& labels, const std::string& value)
    {
        samples += name;
        if (!labels.empty())
            samples += "{" + labels + "}";
        samples += " " + value + "\n";
    }
    std::string text() const
    {
        return std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " gauge\n" + samples;
    }
};

std::string label(const char* name, const std::string& value)
{
    return std::string(name) + "=\"" + LabelValue(value) + "\"";
}

// The numeric addresses a host text stands for (itself when numeric).
std::vector<std::string> addressesOf(const std::string& host)
{
    std::vector<std::string> out;
    addrinfo hints{};
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* list = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0)
        return out;
    for (const addrinfo* a = list; a != nullptr; a = a->ai_next) {
        char text[INET6_ADDRSTRLEN] = "";
        const void* bytes = a->ai_family == AF_INET6
                                ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(a->ai_addr)->sin6_addr)
                                : static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr);
        if ((a->ai_family == AF_INET || a->ai_family == AF_INET6)
            && ::inet_ntop(a->ai_family, bytes, text, sizeof text) != nullptr)
            out.emplace_back(text);
    }
    ::freeaddrinfo(list);
    return out;
}

} // namespace

std::string LabelValue(const std::string& bytes)
{
    std::string out;
    for (const char ch : ValidUtf8(bytes)) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += ch;
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c < 0x20 || c == 0x7F ? ' ' : ch;
        }
    }
    return out;
}

std::string PrometheusText(const std::vector<FoundPrinter>& printers,
                           const std::vector<std::string>& silentAddresses, double scanSeconds,
                           const std::vector<DiscoverNote>& leftOut)
{
    Family up{"levelwatch_printer_up",
              "Whether a printer of the model answered at the address (1) or the address was asked and none did (0).", {}};
    Family info{"levelwatch_printer_info",
                "The printer's name, firmware and MCU firmware versions, and the SNMP version it answered (always 1).",
                {}};
    Family level{"levelwatch_toner_level_ratio",
                 "Toner level from 0 (empty) to 1 (full); no sample while the printer does not know it.", {}};
    Family low{"levelwatch_toner_low", "Whether the toner is low (1: at or below 10 percent).", {}};
    Family empty{"levelwatch_toner_empty", "Whether the toner is empty (1: at 0 percent).", {}};
    Family duration{"levelwatch_scan_duration_seconds", "How long asking the printers took.", {}};

    std::set<std::string> written;
    for (const FoundPrinter& p : printers) {
        if (!written.insert(p.address).second)
            continue;
        const std::string address = label("address", p.address);
        up.add(address, "1");
        info.add(address + "," + label("name", p.name) + "," + label("firmware", p.firmware) + ","
                     + label("mcu_firmware", p.mcuFirmware) + "," + label("snmp", p.snmp),
                 "1");
        if (!p.haveLevels)
            continue;
        for (int i = 0; i < 4; ++i) {
            const int percent = p.levels[i];
            if (percent < 0 || percent > 100)
                continue;
            const std::string toner = address + "," + label("name", p.name) + "," + label("color", kColors[i]);
            level.add(toner, number(percent / 100.0));
            low.add(toner, percent <= levels::kLowLevel ? "1" : "0");
            empty.add(toner, percent == 0 ? "1" : "0");
        }
    }
    for (const std::string& address : silentAddresses)
        if (written.insert(address).second)
            up.add(label("address", address), "0");
    duration.add("", number(scanSeconds > 0 ? std::round(scanSeconds * 1000) / 1000 : 0));

    Family ignored{"levelwatch_scan_left_out",
                   "What the scan ignored or a bound of it left out, by reason (bound 1: a bound was reached).", {}};
    for (const DiscoverNote& n : leftOut)
        if (!n.reason.empty())
            ignored.add(label("reason", n.reason) + "," + label("bound", n.bound ? "1" : "0"), std::to_string(n.count));

    return up.text() + info.text() + level.text() + low.text() + empty.text() + duration.text()
           + (ignored.samples.empty() ? std::string() : ignored.text());
}

std::vector<std::string> SilentHosts(const std::vector<std::string>& asked,
                                     const std::vector<FoundPrinter>& printers)
{
    std::set<std::string> answered;
    for (const FoundPrinter& p : printers) {
        answered.insert(p.address);
        answered.insert(p.address.substr(0, p.address.find('%'))); // without a zone
    }
    std::vector<std::string> silent;
    std::set<std::string> seen;
    for (const std::string& host : asked) {
        if (!seen.insert(host).second || answered.count(host) != 0)
            continue;
        bool found = false;
        for (const std::string& address : addressesOf(host))
            found = found || answered.count(address) != 0;
        if (!found)
            silent.push_back(host);
    }
    return silent;
}

std::string ProbeText(const std::vector<FoundPrinter>& printers, const std::vector<std::string>& silentAddresses,
                      double probeSeconds)
{
    std::string text = PrometheusText(printers, silentAddresses, probeSeconds);
    const auto replace = [&text](const std::string& from, const std::string& to) {
        for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
            text.replace(at, from.size(), to);
    };
    // Each at the start of a line, where no label value can be (a line feed
    // in one is escaped).
    replace("\n# HELP levelwatch_scan_duration_seconds How long asking the printers took.\n",
            "\n# HELP levelwatch_probe_duration_seconds How long asking the printer took.\n");
    replace("\n# TYPE levelwatch_scan_duration_seconds gauge\n", "\n# TYPE levelwatch_probe_duration_seconds gauge\n");
    replace("\nlevelwatch_scan_duration_seconds ", "\nlevelwatch_probe_duration_seconds ");
    return text;
}

} // namespace metrics
