// What our CUPS filters share: the printer's status read through levelwatch's
// road for the job's device URI, on a thread of its own, and the descriptors
// of a filter kept apart from everything that road prints or starts.
#pragma once

#include "snmp/TesselCmd.h"

#include <array>
#include <cstddef>
#include <memory>
#include <string>

namespace levels {

// The outcome of one read.
struct Reading {
    bool ok = false;
    PRINTER_STATUS status {};
    std::string reason; // when !ok, why: a fixed text that never holds the URI
};

// The printer's status block through levelwatch's road: usb: through the
// sibling filter (given the queue), every other scheme over the network (SNMP
// v1, then SNMPv3, address by address). An empty URI is looked up from the
// queue on the scheduler.
Reading ReadPrinterStatus(const std::string& queue, const std::string& deviceUri);

// The job as CUPS describes it to a filter: the queue from PRINTER (else
// argv[0]), the device URI from DEVICE_URI.
struct FilterJob {
    std::string queue;
    std::string deviceUri;
};
FilterJob JobFromEnvironment(int argc, char** argv);

// The four marker names: levelwatch's cartridge descriptions in the job's
// language.
std::array<std::string, 4> MarkerNames();

// The filter's standard descriptors, moved to close-on-exec descriptors: 0,
// 1 and 2 then hold /dev/null (2 is kept when LEVELWATCH_DEBUG=1, for the
// trace lines of the road), so no trace line can slip into the job's data and
// no child of the road holds the job's pipes open. False (nothing changed)
// when a descriptor cannot be duplicated.
struct FilterFds {
    int in = -1;     // the job's data
    int out = -1;    // the next stage
    int status = -1; // CUPS's status channel: ATTR:, STATE:, INFO:, DEBUG: lines
};
bool TakeStandardDescriptors(FilterFds& fds);

// Writes all bytes, retrying after signals and partial writes.
bool WriteAll(int fd, const char* data, size_t size);
inline bool WriteAll(int fd, const std::string& text) { return WriteAll(fd, text.data(), text.size()); }

// A read of the levels on a thread of its own. When it ends, the thread
// writes the marker lines to the status descriptor in one write, or a line
// "<failureLevel>: Toner levels not read: <reason>." when it failed.
class BackgroundRead {
public:
    BackgroundRead(FilterJob job, std::array<std::string, 4> names, int statusFd, const char* failureLevel);
    ~BackgroundRead();
    BackgroundRead(const BackgroundRead&) = delete;
    BackgroundRead& operator=(const BackgroundRead&) = delete;

    // Waits at most `seconds` for the read to end and its lines to be
    // written. True when they were; false leaves the thread running, and the
    // process must then end with std::_Exit.
    bool wait(double seconds);

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

} // namespace levels
