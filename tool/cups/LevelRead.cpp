#include "LevelRead.h"

#include "Chain.h"
#include "DeviceUri.h"
#include "Markers.h"
#include "Report.h"
#include "snmp/Usm.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <strings.h>
#include <thread>
#include <unistd.h>

namespace levels {

Reading ReadPrinterStatus(const std::string& queue, const std::string& deviceUri)
{
    Reading reading;
    std::string uri = deviceUri;
    if (uri.empty() && !queue.empty())
        uri = platform::deviceUriForQueue(queue).value_or("");
    if (uri.empty()) {
        reading.reason = "the queue has no device URI";
        return reading;
    }
    std::optional<platform::UriParts> parts = platform::separateUri(uri);
    if (!parts) {
        reading.reason = "the device URI has no scheme";
        return reading;
    }
    int status;
    if (strcasecmp(parts->scheme.c_str(), "usb") == 0) {
        status = ReadStatusOverUsb(queue, parts->absolute, reading.status);
        if (status != kExitReported)
            reading.reason = "no status from the USB printer's status filter";
    } else {
        getAddressFromURL(parts->scheme, parts->host);
        status = ReadStatusOverNetwork(reading.status);
        if (status == kExitNoAddress)
            reading.reason = "no network address found for the printer";
        else if (status != kExitReported && UsmPrivacyError() != nullptr)
            reading.reason = "SNMPv3 privacy needs FFmpeg's libavutil, which cannot be loaded";
        else if (status != kExitReported)
            reading.reason = "no status from the printer over SNMP v1 or SNMPv3";
    }
    reading.ok = status == kExitReported;
    return reading;
}

FilterJob JobFromEnvironment(int argc, char** argv)
{
    FilterJob job;
    const char* printer = std::getenv("PRINTER");
    if (printer && *printer)
        job.queue = printer;
    else if (argc > 0 && argv[0])
        job.queue = argv[0];
    if (const char* uri = std::getenv("DEVICE_URI"))
        job.deviceUri = uri;
    return job;
}

std::array<std::string, 4> MarkerNames()
{
    std::string descriptions[4];
    SupplyDescriptions(descriptions);
    return {descriptions[0], descriptions[1], descriptions[2], descriptions[3]};
}

bool TakeStandardDescriptors(FilterFds& fds)
{
    const char* debug = std::getenv("LEVELWATCH_DEBUG");
    const bool keepStderr = debug && std::strcmp(debug, "1") == 0;
    FilterFds taken;
    taken.in = fcntl(0, F_DUPFD_CLOEXEC, 3);
    taken.out = fcntl(1, F_DUPFD_CLOEXEC, 3);
    taken.status = fcntl(2, F_DUPFD_CLOEXEC, 3);
    int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (taken.in < 0 || taken.out < 0 || taken.status < 0 || null < 0) {
        for (int fd : {taken.in, taken.out, taken.status, null})
            if (fd >= 0)
                close(fd);
        return false;
    }
    dup2(null, 0);
    dup2(null, 1);
    if (!keepStderr)
        dup2(null, 2);
    close(null);
    fds = taken;
    return true;
}

bool WriteAll(int fd, const char* data, size_t size)
{
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

struct BackgroundRead::Shared {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::thread thread;
};

BackgroundRead::BackgroundRead(FilterJob job, std::array<std::string, 4> names, int statusFd,
                               const char* failureLevel)
    : shared_(std::make_shared<Shared>())
{
    // The thread holds the shared state too: it may outlive this object when
    // the process ends without waiting for it.
    shared_->thread = std::thread([shared = shared_, job = std::move(job), names = std::move(names), statusFd,
                                   failureLevel] {
        Reading reading = ReadPrinterStatus(job.queue, job.deviceUri);
        std::string lines;
        if (reading.ok) {
            std::string markerNames[4] = {names[0], names[1], names[2], names[3]};
            lines = MarkerLines(reading.status, markerNames);
        } else {
            lines = std::string(failureLevel) + ": Toner levels not read: " + reading.reason + ".\n";
        }
        WriteAll(statusFd, lines);
        std::lock_guard<std::mutex> lock(shared->mutex);
        shared->done = true;
        shared->ended.notify_all();
    });
}

BackgroundRead::~BackgroundRead()
{
    bool done;
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        done = shared_->done;
    }
    if (done)
        shared_->thread.join();
    else
        shared_->thread.detach();
}

bool BackgroundRead::wait(double seconds)
{
    std::unique_lock<std::mutex> lock(shared_->mutex);
    return shared_->ended.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return shared_->done; });
}

} // namespace levels
