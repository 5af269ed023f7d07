#include "Log.h"

#include <clocale>
#include <cstdlib>
#include <libintl.h>

#ifndef LEVELWATCH_LOCALEDIR
#define LEVELWATCH_LOCALEDIR "/usr/share/locale"
#endif

namespace platform {

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
