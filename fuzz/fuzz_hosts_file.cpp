// levelwatch-discover's hosts file and its output texts: the parser on any
// bytes keeps only lines that are one host of at most 255 bytes, names every
// other line, and ValidUtf8 always gives valid UTF-8 (it leaves its own
// output as it is) without dropping a byte's worth of text.
#include "Discover.h"

#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<HostEntry> hosts;
    std::vector<std::string> rejected;
    ParseHostsText(text, hosts, rejected);
    for (const HostEntry& h : hosts)
        if (h.text.empty() || h.text.size() > 255 || h.text.find_first_of(" \t\n#") != std::string::npos
            || h.line < 1)
            __builtin_trap();

    const std::string valid = ValidUtf8(text);
    if (ValidUtf8(valid) != valid || valid.size() < size || valid.size() > 2 * size)
        __builtin_trap();
    for (const std::string& r : rejected)
        if (ValidUtf8(r) != r)
            __builtin_trap();
    (void)UriHost(text);
    return 0;
}
