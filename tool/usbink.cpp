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
// "levelwatch --help" prints the usage on standard output and exits 0; without
// an argument the usage goes to standard error and the exit status is 255.
#include "Chain.h"
#include "DeviceUri.h"
#include "Log.h"
#include "Report.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {

const char kUsage[] =
    "Usage: levelwatch QUEUE\n"
    "       levelwatch DEVICE-URI\n"
    "Prints the toner levels (black, cyan, magenta, yellow) of the CUPS queue's\n"
    "printer as an XML property list on standard output. An argument holding\n"
    "\"://\" is taken as the printer's device URI (socket://, ipp://, lpd://,\n"
    "dnssd://, mdns:// or usb://).\n"
    "\n"
    "Exit status: 0 report printed; 1 no address found for a network printer;\n"
    "255 any other failure (no such queue, no answer, no status).\n"
    "LEVELWATCH_DEBUG=1 keeps the trace lines on standard error.\n";

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
    const char* debug = std::getenv("LEVELWATCH_DEBUG");
    if (!(debug && std::strcmp(debug, "1") == 0)) {
        if (!std::freopen("/dev/null", "w", stderr))
            return kExitFailed & 0xff;
    }
    const std::string queue = argv[1];

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
    }
    if (status != kExitReported)
        return status & 0xff;
    return PrintSupplyReport(record) ? kExitReported : (kExitFailed & 0xff);
}
