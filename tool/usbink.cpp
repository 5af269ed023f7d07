// levelwatch QUEUE: prints the toner levels of the queue's printer as a
// property list on standard output.
//
// Exit status: 0 when the report was printed; 1 when the printer is on the
// network but no address was found for it; 255 for every other failure (no
// such queue or no device URI, URI without a scheme, no answer from any
// address, filter line too short or status field not decodable, missing
// argument). Nothing is printed on standard output unless the report is
// printed whole.
//
// Standard error is discarded so that nothing but the report reaches the
// caller; with LEVELWATCH_DEBUG=1 in the environment it is kept and carries
// the trace lines of the queries.
//
// The SNMPv3 credential sets come from the site's credentials file when there
// is one (snmp/Credentials.h); a file that is refused ends the run with 255
// and its reason on standard error, before standard error is discarded.
//
// "levelwatch --help" prints the usage on standard output and exits 0; without
// an argument the usage goes to standard error and the exit status is 255.
//
// "levelwatch --format prometheus QUEUE" writes the same levels in
// Prometheus's text format (Metrics.h) instead, with the printer's name and
// firmware versions; it is written whatever the outcome (a printer that does
// not answer is a 0 in levelwatch_printer_up), and the exit status is the
// same as for the property list.
#include "Chain.h"
#include "DeviceUri.h"
#include "Log.h"
#include "Metrics.h"
#include "Report.h"
#include "snmp/Credentials.h"
#include "snmp/NetIO.h"
#include "snmp/Usm.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {

const char kUsage[] =
    "Usage: levelwatch QUEUE\n"
    "       levelwatch DEVICE-URI\n"
    "       levelwatch --format prometheus QUEUE|DEVICE-URI\n"
    "Prints the toner levels (black, cyan, magenta, yellow) of the CUPS queue's\n"
    "printer as an XML property list on standard output. An argument holding\n"
    "\"://\" is taken as the printer's device URI (socket://, ipp://, lpd://,\n"
    "dnssd://, mdns:// or usb://). --format prometheus writes them in Prometheus's\n"
    "text format instead, with the printer's name and firmware, whatever the\n"
    "outcome (levelwatch_printer_up 0 for a printer that does not answer).\n"
    "\n"
    "Exit status: 0 report printed; 1 no address found for a network printer;\n"
    "255 any other failure (no such queue, no answer, no status).\n"
    "LEVELWATCH_DEBUG=1 keeps the trace lines on standard error. The SNMPv3\n"
    "credentials come from /etc/levelwatch/snmp.conf (LEVELWATCH_CONFIG=FILE\n"
    "names another) when it exists; a file that is refused is named on standard\n"
    "error with the reason and the exit status is 255.\n";

// levelwatch --format prometheus QUEUE: the same road as the property list,
// then the exposition of what it found.
int PrintMetrics(const std::string& queue)
{
    const auto started = std::chrono::steady_clock::now();
    std::optional<std::string> uri = platform::deviceUriForQueue(queue);
    if (!uri)
        return kExitFailed & 0xff;
    std::optional<platform::UriParts> parts = platform::separateUri(*uri);
    if (!parts)
        return kExitFailed & 0xff;

    PRINTER_STATUS record;
    std::memset(&record, 0, sizeof record);
    std::vector<FoundPrinter> printers;
    std::vector<std::string> silent;
    FoundPrinter printer;
    int status;
    if (strcasecmp(parts->scheme.c_str(), "usb") == 0) {
        printer.address = parts->absolute;
        status = ReadStatusOverUsb(queue, parts->absolute, record);
        if (status != kExitReported)
            silent.push_back(printer.address);
    } else {
        getAddressFromURL(parts->scheme, parts->host);
        NetworkAnswer answer;
        status = ReadStatusOverNetwork(record, &answer);
        const size_t asked = status == kExitReported ? answer.index : mDNSIP.size();
        silent.assign(mDNSIP.begin(), mDNSIP.begin() + static_cast<long>(asked));
        if (mDNSIP.empty())
            silent.push_back(parts->host);
        if (status == kExitReported) {
            printer.address = mDNSIP[answer.index];
            printer.snmp = answer.v1 ? "v1" : "v3";
            ReadPrinterInfo(printer.address.c_str(), answer.v1, printer); // the version that gave its status
        } else if (const char* why = UsmPrivacyError()) {
            platform::logLine("%s", why);
        }
    }
    if (status == kExitReported) {
        printer.haveLevels = true;
        for (int i = 0; i < 4; ++i)
            printer.levels[i] = record.bytes[i] & 0x7f; // above 100: unknown, no sample
        printers.push_back(printer);
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    const std::string text = metrics::PrometheusText(printers, silent, took.count());
    if (std::fputs(text.c_str(), stdout) == EOF || std::fflush(stdout) != 0)
        return kExitFailed & 0xff;
    return status & 0xff;
}

} // namespace

int main(int argc, char** argv)
{
    // Before standard error is discarded, so that a missing argument is told.
    if (argc < 2 || !argv[1]) {
        std::fputs(platform::localizedString(kUsage), stderr);
        return kExitFailed & 0xff;
    }
    if (std::strcmp(argv[1], "--help") == 0) {
        std::fputs(platform::localizedString(kUsage), stdout);
        return std::fflush(stdout) == 0 ? kExitReported : (kExitFailed & 0xff);
    }
    // --format prometheus (or --format=prometheus) before the queue.
    bool prometheus = false;
    int arg = 1;
    if (std::strcmp(argv[1], "--format") == 0 || std::strncmp(argv[1], "--format=", 9) == 0) {
        const char* format = argv[1][8] == '=' ? argv[1] + 9 : (argc > 2 ? argv[2] : "");
        arg = argv[1][8] == '=' ? 2 : 3;
        prometheus = std::strcmp(format, "prometheus") == 0;
        if ((!prometheus && std::strcmp(format, "plist") != 0) || arg >= argc) {
            std::fputs(platform::localizedString(kUsage), stderr);
            return kExitFailed & 0xff;
        }
    }
    // The site's SNMPv3 credentials; a file that is refused is told before
    // standard error is discarded.
    if (std::string why; !LoadSnmpV3Credentials(why)) {
        std::fprintf(stderr, "levelwatch: %s\n", why.c_str());
        return kExitFailed & 0xff;
    }
    const char* debug = std::getenv("LEVELWATCH_DEBUG");
    if (!(debug && std::strcmp(debug, "1") == 0)) {
        if (!std::freopen("/dev/null", "w", stderr))
            return kExitFailed & 0xff;
    }
    const std::string queue = argv[arg];
    if (prometheus)
        return PrintMetrics(queue);

    std::optional<std::string> uri = platform::deviceUriForQueue(queue);
    if (!uri)
        return kExitFailed & 0xff;
    std::optional<platform::UriParts> parts = platform::separateUri(*uri);
    PRINTER_STATUS record;
    std::memset(&record, 0, sizeof record);
    if (!parts)
        return kExitFailed & 0xff;

    int status;
    if (strcasecmp(parts->scheme.c_str(), "usb") == 0) {
        status = ReadStatusOverUsb(queue, parts->absolute, record);
    } else {
        getAddressFromURL(parts->scheme, parts->host);
        status = ReadStatusOverNetwork(record);
        if (status == kExitFailed)
            if (const char* why = UsmPrivacyError())
                platform::logLine("%s", why);
    }
    if (status != kExitReported)
        return status & 0xff;
    return PrintSupplyReport(record) ? kExitReported : (kExitFailed & 0xff);
}
