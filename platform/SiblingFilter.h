// The sibling print filter that reads the device-ID of a USB printer.
#pragma once

#include <string>

namespace platform {

// How long the sibling filter has for its line and its end, and how often
// its end is looked for meanwhile.
inline constexpr int kSiblingFilterLimitMs = 10000;
inline constexpr int kSiblingFilterPollUs = 5000;

// $CUPS_SERVERBIN/filter/cablegauge when CUPS_SERVERBIN is set (CUPS sets it
// for the programs it starts), else the CUPS server-bin directory found when
// this program was configured, plus /filter/cablegauge.
std::string siblingFilterPath();

// Starts `program` with exactly the two arguments given, whatever characters
// they hold (no shell is involved), with its standard output on a pipe, and
// reads the first line as fgets does into a buffer of 2,049 bytes: at most
// 2,048 characters, the end-of-line character kept when one was read, and the
// text ending at the first NUL. The line and the filter's end are waited for
// at most kSiblingFilterLimitMs after the start; a filter still running then
// is killed, and it is always reaped. It dies with this process (a parent
// death signal). False when the program cannot be started.
bool readFirstLine(const std::string& program, const std::string& arg1, const std::string& arg2,
                   std::string& line);

} // namespace platform
