// levelwatch-command: our queue's filter for CUPS command files
// (application/vnd.cups-command). "ReportLevels" reads the printer's toner
// levels through levelwatch's road and reports them to CUPS as ATTR:/STATE:
// lines, so the desktop's "Refresh" and `lp -o document-format=
// application/vnd.cups-command FILE` update the levels without printing.
// Nothing is sent to the printer.
//
// Command line as filter(7): job-id user title copies options [file]. Exit
// status: 0 when the file was a command file (an unreachable printer gives
// an INFO: line with the reason, other commands a DEBUG: line each, and are
// ignored); 1 for a bad command line, an unreadable file or one that does not
// start with "#CUPS-COMMAND", or a site's SNMPv3 credentials file that is
// refused (an ERROR: line says why).
#include "CommandFile.h"
#include "LevelRead.h"
#include "snmp/Credentials.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <strings.h>
#include <unistd.h>

namespace {

constexpr size_t kMaxCommandFile = 64 * 1024;  // the rest of a longer file is read and dropped
constexpr double kMaxReadSeconds = 20.0;

// Reads the whole input, keeping its first kMaxCommandFile bytes.
bool readCommandFile(int in, std::string& text)
{
    char buffer[8192];
    for (;;) {
        ssize_t got = read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        size_t keep = std::min(static_cast<size_t>(got), kMaxCommandFile - text.size());
        text.append(buffer, keep);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 6 || argc > 7) {
        std::fputs("Usage: levelwatch-command job-id user title copies options [file]\n", stderr);
        return 1;
    }
    std::signal(SIGPIPE, SIG_IGN);
    levels::FilterFds fds;
    if (!levels::TakeStandardDescriptors(fds)) {
        std::fputs("ERROR: Unable to set up the filter's descriptors\n", stderr);
        return 1;
    }
    if (std::string why; !LoadSnmpV3Credentials(why)) {
        levels::WriteAll(fds.status, "ERROR: levelwatch-command: " + why + "\n");
        return 1;
    }
    int in = argc == 7 ? open(argv[6], O_RDONLY | O_CLOEXEC) : fds.in;
    std::string text;
    if (in < 0 || !readCommandFile(in, text)) {
        levels::WriteAll(fds.status, std::string("ERROR: Unable to read the command file: ") + std::strerror(errno) +
                                         "\n");
        return 1;
    }
    levels::CommandFile file = levels::ParseCommandFile(text.data(), text.size());
    if (!file.valid) {
        levels::WriteAll(fds.status, "ERROR: Not a CUPS command file (no \"#CUPS-COMMAND\" line first)\n");
        return 1;
    }
    close(fds.out); // nothing goes to the printer

    bool reported = false;
    for (const std::string& command : file.commands) {
        if (strcasecmp(command.c_str(), "ReportLevels") != 0) {
            levels::WriteAll(fds.status, "DEBUG: Printer command \"" + levels::PrintableCommand(command) +
                                             "\" is not supported; ignored.\n");
            continue;
        }
        if (reported)
            continue;
        reported = true;
        levels::BackgroundRead reader(levels::JobFromEnvironment(argc, argv), levels::MarkerNames(), fds.status,
                                      "INFO");
        if (!reader.wait(kMaxReadSeconds)) {
            levels::WriteAll(fds.status, "INFO: Toner levels not read: no outcome within 20 s.\n");
            std::_Exit(0); // the read's thread is still running
        }
    }
    return 0;
}
