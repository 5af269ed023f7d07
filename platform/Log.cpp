#include "Log.h"

#include <clocale>
#include <cstdarg>
#include <cstdlib>
#include <libintl.h>
#include <syslog.h>

#ifndef LEVELWATCH_LOCALEDIR
#define LEVELWATCH_LOCALEDIR "/usr/share/locale"
#endif

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

const char* localizedString(const char* english)
{
    static bool bound = false;
    if (!bound) {
        std::setlocale(LC_MESSAGES, "");
        // LEVELWATCH_LOCALEDIR runs a build tree's catalogues; installed, the
        // system's locale directory holds them.
        const char* dir = std::getenv("LEVELWATCH_LOCALEDIR");
        bindtextdomain("levelwatch", dir && *dir ? dir : LEVELWATCH_LOCALEDIR);
        bind_textdomain_codeset("levelwatch", "UTF-8");
        bound = true;
    }
    return dgettext("levelwatch", english);
}

} // namespace platform
