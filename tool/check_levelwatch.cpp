// check_levelwatch: a Monitoring Plugins check (Nagios, Icinga, Naemon...)
// of the four toner levels of one printer, by its address (-H) or its CUPS
// queue (-Q). See usage() and the README.
//
// Exit status and first word of the line: 0 OK, 1 WARNING, 2 CRITICAL,
// 3 UNKNOWN (a printer that does not answer, a level it does not know, no
// answer within the timeout, a usage error).
#include "Chain.h"
#include "Check.h"
#include "LevelRead.h"
#include "Markers.h"
#include "snmp/Credentials.h"
#include "snmp/Usm.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <getopt.h>
#include <string>
#include <unistd.h>

namespace {

const char* kUsage =
    "Usage: check_levelwatch -H ADDRESS | -Q QUEUE [-w RANGE] [-c RANGE] [-t SECONDS]\n";

const char* kHelp =
    "\n"
    "Checks the four toner levels (black, cyan, magenta, yellow) of a colour laser\n"
    "printer of our model, asked over SNMP v1 and then SNMPv3 as levelwatch asks it.\n"
    "\n"
    "  -H, --hostname=ADDRESS  the printer's address (numeric, or a name)\n"
    "  -Q, --queue=QUEUE       the CUPS queue of the printer (network or USB)\n"
    "  -w, --warning=RANGE     WARNING when a level is outside RANGE (default 20:,\n"
    "                          below 20 %%)\n"
    "  -c, --critical=RANGE    CRITICAL when a level is outside RANGE (default 5:,\n"
    "                          below 5 %%)\n"
    "  -t, --timeout=SECONDS   UNKNOWN when there is no answer in this time\n"
    "                          (default %d; an SNMPv3 printer takes about 2 s)\n"
    "  -h, --help              this text\n"
    "  -V, --version           the version\n"
    "\n"
    "RANGE is [@][START:][END] in percent: \"20:\" alerts below 20, \"10\" outside\n"
    "0..10, \"~:90\" above 90, \"@10:20\" from 10 to 20; the ends belong to the range.\n"
    "\n"
    "One line on standard output, with performance data per toner:\n"
    "  TONER OK - black 55%%, cyan 100%%, magenta 40%%, yellow 80%% | 'black'=55%%;20:;5:;0;100 ...\n"
    "Exit status: 0 OK, 1 WARNING, 2 CRITICAL, 3 UNKNOWN (no answer, a level the\n"
    "printer does not know, the timeout, a usage error, a credentials file that is\n"
    "refused). A toner at its critical threshold makes the check CRITICAL even\n"
    "while another level is unknown. The SNMPv3 credentials come from\n"
    "/etc/levelwatch/snmp.conf (LEVELWATCH_CONFIG=FILE names another) when it exists.\n";

constexpr int kDefaultTimeout = 10;

int usageError(const std::string& message)
{
    std::printf("check_levelwatch: %s\n%s", message.c_str(), kUsage);
    return check::kUnknown;
}

// Written by the alarm's handler, which may do nothing else.
char g_timeoutLine[96];
size_t g_timeoutLength = 0;

void onTimeout(int)
{
    (void)!::write(STDOUT_FILENO, g_timeoutLine, g_timeoutLength);
    ::_exit(check::kUnknown);
}

// The levels of the printer at the address, as our filters take them.
levels::Reading readAddress(const std::string& host)
{
    levels::Reading reading;
    getAddressFromURL("socket", host);
    const int status = ReadStatusOverNetwork(reading.status);
    reading.ok = status == kExitReported;
    if (status == kExitNoAddress)
        reading.reason = "no address found for " + host;
    else if (!reading.ok && UsmPrivacyError() != nullptr)
        reading.reason = UsmPrivacyError();
    else if (!reading.ok)
        reading.reason = "no answer from " + host + " over SNMP v1 or SNMPv3";
    return reading;
}

} // namespace

int main(int argc, char** argv)
{
    std::string host, queue, warningText = "20:", criticalText = "5:";
    int timeout = kDefaultTimeout;
    const option options[] = {{"hostname", required_argument, nullptr, 'H'}, {"queue", required_argument, nullptr, 'Q'},
                              {"warning", required_argument, nullptr, 'w'},  {"critical", required_argument, nullptr, 'c'},
                              {"timeout", required_argument, nullptr, 't'},  {"help", no_argument, nullptr, 'h'},
                              {"version", no_argument, nullptr, 'V'},        {nullptr, 0, nullptr, 0}};
    opterr = 0;
    for (int c; (c = getopt_long(argc, argv, "H:Q:w:c:t:hV", options, nullptr)) != -1;) {
        switch (c) {
        case 'H': host = optarg; break;
        case 'Q': queue = optarg; break;
        case 'w': warningText = optarg; break;
        case 'c': criticalText = optarg; break;
        case 't': {
            char* end = nullptr;
            const long t = std::strtol(optarg, &end, 10);
            if (end == optarg || *end != '\0' || t < 1 || t > 3600)
                return usageError("the timeout is a number of seconds from 1 to 3600");
            timeout = static_cast<int>(t);
            break;
        }
        case 'h':
            std::printf("%s", kUsage);
            std::printf(kHelp, kDefaultTimeout);
            return check::kOk;
        case 'V':
            std::printf("check_levelwatch %s\n", LEVELWATCH_VERSION);
            return check::kOk;
        default:
            return usageError(optopt ? std::string("unknown option or missing value: -") + static_cast<char>(optopt)
                                     : std::string("unknown option ") + argv[optind - 1]);
        }
    }
    if (optind < argc)
        return usageError(std::string("unexpected argument \"") + argv[optind] + "\"");
    if (host.empty() == queue.empty())
        return usageError("give either -H ADDRESS or -Q QUEUE");
    const auto warning = check::ParseRange(warningText);
    const auto critical = check::ParseRange(criticalText);
    if (!warning || !critical)
        return usageError("not a range: \"" + (warning ? criticalText : warningText) + "\"");
    if (std::string why; !LoadSnmpV3Credentials(why))
        return usageError(why);

    // The library's trace lines only when asked for, as with levelwatch.
    const char* debug = std::getenv("LEVELWATCH_DEBUG");
    if (!(debug && std::strcmp(debug, "1") == 0))
        if (!std::freopen("/dev/null", "w", stderr))
            return check::kUnknown;

    const std::string late =
        check::UnknownLine("no answer within " + std::to_string(timeout) + " s") + "\n";
    g_timeoutLength = std::min(late.size(), sizeof g_timeoutLine);
    std::memcpy(g_timeoutLine, late.data(), g_timeoutLength);
    std::signal(SIGALRM, onTimeout);
    ::alarm(static_cast<unsigned>(timeout));

    const levels::Reading reading = host.empty() ? levels::ReadPrinterStatus(queue, "") : readAddress(host);
    ::alarm(0);
    if (!reading.ok) {
        std::printf("%s\n", check::UnknownLine(host.empty() ? queue + ": " + reading.reason : reading.reason).c_str());
        return check::kUnknown;
    }
    int percent[4];
    for (int i = 0; i < 4; ++i)
        percent[i] = levels::MarkerLevel(reading.status.bytes[i]);
    const check::Verdict verdict = check::TonerVerdict(percent, *warning, *critical);
    std::printf("%s\n", verdict.line.c_str());
    return std::fflush(stdout) == 0 ? verdict.state : check::kUnknown;
}
