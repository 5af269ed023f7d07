// levelwatch-passthru: the last filter of our queue's PostScript path
// (application/vnd.cups-postscript in, the same bytes out, to the backend).
// It hands the job's data on at once, unchanged, while a thread reads the
// printer's toner levels through levelwatch's road; the levels reach CUPS as
// ATTR:/STATE: lines when the read ends. The read never holds the data back
// and never changes the exit status: a printer that does not answer gives one
// DEBUG: line saying why, and the job prints; so does a site's SNMPv3
// credentials file that is refused (an ERROR: line says why, no read runs).
//
// Command line as filter(7): job-id user title copies options [file]; the
// data comes from the file when given, else from standard input. Exit
// status: 0 when all the data was passed on; 1 for a bad command line, a
// print file that cannot be opened or read, or a next stage that stopped
// reading.
//
// After the last byte the output is closed, so the backend finishes, and the
// filter waits at most 10 seconds more for the levels (an SNMPv3-only printer
// takes about 2 s, a DNS-SD name up to 3 s more).
#include "LevelRead.h"
#include "snmp/Credentials.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kWaitAfterDataSeconds = 10.0;

enum CopyResult { kCopied, kReadFailed, kWriteFailed };

CopyResult copyAll(int in, int out, int& error)
{
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        ssize_t got = read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = errno;
            return kReadFailed;
        }
        if (got == 0)
            return kCopied;
        if (!levels::WriteAll(out, buffer.data(), static_cast<size_t>(got))) {
            error = errno;
            return kWriteFailed;
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 6 || argc > 7) {
        std::fputs("Usage: levelwatch-passthru job-id user title copies options [file]\n", stderr);
        return 1;
    }
    // A next stage that goes away shows as a failed write, not as a signal.
    std::signal(SIGPIPE, SIG_IGN);
    levels::FilterFds fds;
    if (!levels::TakeStandardDescriptors(fds)) {
        std::fputs("ERROR: Unable to set up the filter's descriptors\n", stderr);
        return 1;
    }
    int in = fds.in;
    if (argc == 7) {
        in = open(argv[6], O_RDONLY | O_CLOEXEC);
        if (in < 0) {
            levels::WriteAll(fds.status, std::string("ERROR: Unable to open the print file: ") +
                                             std::strerror(errno) + "\n");
            return 1;
        }
    }

    // A credentials file that is refused stops the read, never the job.
    std::string why;
    const bool credentials = LoadSnmpV3Credentials(why);
    if (!credentials)
        levels::WriteAll(fds.status, "ERROR: levelwatch-passthru: toner levels not read: " + why + "\n");
    std::unique_ptr<levels::BackgroundRead> reader;
    if (credentials)
        reader = std::make_unique<levels::BackgroundRead>(levels::JobFromEnvironment(argc, argv),
                                                          levels::MarkerNames(), fds.status, "DEBUG");
    int error = 0;
    CopyResult copied = copyAll(in, fds.out, error);
    close(fds.out); // the backend sees the end of the job now
    int status = 0;
    if (copied == kReadFailed) {
        levels::WriteAll(fds.status, std::string("ERROR: Unable to read the print data: ") + std::strerror(error) + "\n");
        status = 1;
    } else if (copied == kWriteFailed) {
        levels::WriteAll(fds.status, std::string("ERROR: Unable to pass the print data on: ") +
                                         std::strerror(error) + "\n");
        status = 1;
    }
    if (reader && !reader->wait(kWaitAfterDataSeconds)) {
        levels::WriteAll(fds.status, "DEBUG: Toner levels not read: no outcome 10 s after the job's data ended.\n");
        std::_Exit(status); // the read's thread is still running
    }
    return status;
}
