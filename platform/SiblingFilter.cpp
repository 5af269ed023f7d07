#include "SiblingFilter.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
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
    line.clear();
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::string a0 = program, a1 = arg1, a2 = arg2;
    char* argv[] = {a0.data(), a1.data(), a2.data(), nullptr};
    pid_t pid = -1;
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return false;
    }
    FILE* in = fdopen(fds[0], "r");
    if (!in) {
        close(fds[0]);
        return false;
    }
    char buffer[2049];
    if (std::fgets(buffer, sizeof buffer, in))
        line = buffer; // stops at the first NUL, as a C string would
    std::fclose(in);
    return true;
}

} // namespace platform
