#include "CommandFile.h"

#include <algorithm>
#include <cstring>

namespace levels {

namespace {

constexpr char kHeader[] = "#CUPS-COMMAND";

bool blank(char c) { return c == ' ' || c == '\t'; }

} // namespace

CommandFile ParseCommandFile(const char* data, size_t size)
{
    CommandFile file;
    if (!data)
        return file;
    size_t pos = 0;
    bool first = true;
    while (pos < size) {
        const char* start = data + pos;
        const void* nl = std::memchr(start, '\n', size - pos);
        size_t length = nl ? static_cast<size_t>(static_cast<const char*>(nl) - start) : size - pos;
        pos += length + (nl ? 1 : 0);
        if (length > 0 && start[length - 1] == '\r')
            --length;

        if (first) {
            first = false;
            size_t headerLength = sizeof kHeader - 1;
            if (length < headerLength || std::memcmp(start, kHeader, headerLength) != 0)
                return file;
            for (size_t i = headerLength; i < length; ++i)
                if (!blank(start[i]))
                    return file;
            file.valid = true;
            continue;
        }
        size_t i = 0;
        while (i < length && blank(start[i]))
            ++i;
        if (i == length || start[i] == '#')
            continue;
        size_t end = i;
        while (end < length && !blank(start[end]))
            ++end;
        if (file.commands.size() == kMaxCommands)
            break;
        file.commands.emplace_back(start + i, std::min(end - i, kMaxCommandName));
    }
    return file;
}

std::string PrintableCommand(const std::string& name)
{
    std::string out;
    for (unsigned char c : name)
        out += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '?';
    return out;
}

} // namespace levels
