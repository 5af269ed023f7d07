#include "snmp/Trace.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool tracing()
{
    const char* debug = std::getenv("LEVELWATCH_DEBUG");
    return debug != nullptr && std::strcmp(debug, "1") == 0;
}

} // namespace

void lwTrace(const char* format, ...)
{
    if (!tracing())
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
}

void lwTraceErrno(const char* prefix)
{
    const int saved = errno;
    if (tracing())
        std::fprintf(stderr, "%s: %s\n", prefix, std::strerror(saved));
    errno = saved;
}
