// Our CUPS filters' text handling: the command-file parser on arbitrary bytes
// (given as an exactly sized copy, so a read past the end is caught), and the
// marker names and logged command names made from arbitrary text.
#include "CommandFile.h"
#include "Markers.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto copy = std::make_unique<char[]>(size ? size : 1);
    std::memcpy(copy.get(), data, size);
    levels::CommandFile file = levels::ParseCommandFile(copy.get(), size);
    if (file.commands.size() > levels::kMaxCommands || (!file.valid && !file.commands.empty()))
        __builtin_trap();
    for (const std::string& command : file.commands) {
        if (command.empty() || command.size() > levels::kMaxCommandName)
            __builtin_trap();
        for (unsigned char c : levels::PrintableCommand(command))
            if (c < 0x20 || c >= 0x7f)
                __builtin_trap();
    }

    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string name = levels::MarkerName(text, "fallback");
    if (name.empty() || name.size() > 127 || name.front() == ' ' || name.back() == ' ')
        __builtin_trap();
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7f || c == ',' || c == '"' || c == '\'' || c == '\\')
            __builtin_trap();
    return 0;
}
