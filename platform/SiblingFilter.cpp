// The sibling filter of a USB printer: started, its first line read, reaped within a bound.
#include "SiblingFilter.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

#ifndef LEVELWATCH_CUPS_SERVERBIN
#define LEVELWATCH_CUPS_SERVERBIN "/usr/lib/cups"
#endif

namespace platform {

std::string siblingFilterPath()
{
    const char* serverBin = std::getenv("CUPS_SERVERBIN");
    std::string base = serverBin && *serverBin ? serverBin : LEVELWATCH_CUPS_SERVERBIN;
    return base + "/filter/cablegauge";
}

bool readFirstLine(const std::string& program, const std::string& arg1, const std::string& arg2,
                   std::string& line)
{
    using Clock = std::chrono::steady_clock;
    line.clear();
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    // Everything the child needs is ready before the fork: between fork and
    // exec it calls only what is safe in a child of a threaded process.
    std::string a0 = program, a1 = arg1, a2 = arg2;
    char* argv[] = {a0.data(), a1.data(), a2.data(), nullptr};
    int started[2]; // the child reports a failed exec on it
    if (pipe2(started, O_CLOEXEC) != 0) {
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        // The filter ends with us, even when we are killed.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        if (dup2(fds[1], STDOUT_FILENO) >= 0)
            execve(program.c_str(), argv, environ);
        const int error = errno;
        (void)!write(started[1], &error, sizeof error);
        _exit(127);
    }
    close(fds[1]);
    close(started[1]);
    int execError = 0;
    const bool execFailed = pid > 0 && read(started[0], &execError, sizeof execError) == sizeof execError;
    close(started[0]);
    if (pid < 0 || execFailed) {
        close(fds[0]);
        if (pid > 0)
            waitpid(pid, nullptr, 0);
        return false;
    }

    // The first line, as fgets reads it into a buffer of 2,049 bytes.
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kSiblingFilterLimitMs);
    std::string got;
    bool done = false;
    while (!done && got.size() < 2048) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{fds[0], POLLIN, 0};
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) == 0)
            break;
        char c[2048];
        const ssize_t n = read(fds[0], c, std::min(sizeof c, 2048 - got.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        const char* nl = static_cast<const char*>(std::memchr(c, '\n', static_cast<size_t>(n)));
        got.append(c, nl ? static_cast<size_t>(nl - c + 1) : static_cast<size_t>(n));
        done = nl != nullptr;
    }
    close(fds[0]);
    line.assign(got.c_str()); // stops at the first NUL, as a C string would

    // The filter has until the deadline to end; then it is killed. Either
    // way it is reaped.
    for (;;) {
        const pid_t r = waitpid(pid, nullptr, WNOHANG);
        if (r == pid || (r < 0 && errno != EINTR))
            break;
        if (Clock::now() >= deadline) {
            kill(pid, SIGKILL);
            while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        usleep(kSiblingFilterPollUs);
    }
    return true;
}

} // namespace platform
