// CUPS command files (application/vnd.cups-command): a first line
// "#CUPS-COMMAND", then one command per line, its name first, optionally
// followed by arguments; empty lines and lines starting with "#" are skipped.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace levels {

struct CommandFile {
    bool valid = false;                 // the first line is "#CUPS-COMMAND"
    std::vector<std::string> commands;  // command names, in file order
};

inline constexpr size_t kMaxCommands = 64;     // further commands are dropped
inline constexpr size_t kMaxCommandName = 63;  // longer names are cut here

// Parses the `size` bytes at `data` (no terminating NUL needed; NUL bytes are
// ordinary characters). Leading spaces and tabs of a line are skipped, a
// carriage return before the line end is dropped, and a name ends at the
// first space or tab. Never reads past `size`; at most kMaxCommands names of
// at most kMaxCommandName bytes each.
CommandFile ParseCommandFile(const char* data, size_t size);

// A command name fit for a log line: printable ASCII kept, every other byte
// written as "?".
std::string PrintableCommand(const std::string& name);

} // namespace levels
