#include "Log.h"

#include <cstdarg>
#include <syslog.h>

namespace platform {

void logLine(const char* format, ...)
{
    static bool opened = false;
    if (!opened) {
        openlog("levelwatch", LOG_PID, LOG_LPR);
        opened = true;
    }
    va_list args;
    va_start(args, format);
    vsyslog(LOG_NOTICE, format, args);
    va_end(args);
}

} // namespace platform
