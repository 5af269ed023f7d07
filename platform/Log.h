// The system log and the program's string table.
#pragma once

namespace platform {

// One line to the system log (ident "levelwatch"), printf-style.
void logLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The translation of an English text in the "levelwatch" message catalogue
// for the user's locale; the text itself when there is none. The catalogues
// are looked for in LEVELWATCH_LOCALEDIR when set, else in the installed
// locale directory.
const char* localizedString(const char* english);

} // namespace platform
