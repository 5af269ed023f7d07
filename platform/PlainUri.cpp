#include "DeviceUri.h"

#include <strings.h>

namespace platform {

namespace {

bool alpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool digit(char c) { return c >= '0' && c <= '9'; }
bool hex(char c) { return digit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

} // namespace

std::optional<UriParts> separatePlainUri(const std::string& uri)
{
    // Fields no longer than libcups's buffers in separateUri.
    constexpr size_t kSchemeMax = 63, kHostMax = 1023;
    size_t i = 0;
    while (i < uri.size() && (alpha(uri[i]) || (i > 0 && (digit(uri[i]) || uri[i] == '+' || uri[i] == '-' || uri[i] == '.'))))
        ++i;
    if (i == 0 || i > kSchemeMax || uri.compare(i, 3, "://") != 0)
        return std::nullopt;
    UriParts parts{uri.substr(0, i), "", uri};
    // libcups reads a file: URI its own way.
    if (strcasecmp(parts.scheme.c_str(), "file") == 0)
        return std::nullopt;
    i += 3;
    size_t start = i;
    if (i < uri.size() && uri[i] == '[') {
        start = ++i;
        while (i < uri.size() && (hex(uri[i]) || uri[i] == ':' || uri[i] == '.'))
            ++i;
        if (i == uri.size() || uri[i] != ']')
            return std::nullopt;
        parts.host = uri.substr(start, i - start);
        ++i;
    } else {
        while (i < uri.size() && (alpha(uri[i]) || digit(uri[i]) || uri[i] == '.' || uri[i] == '-' || uri[i] == '_'
                                  || uri[i] == '~'))
            ++i;
        parts.host = uri.substr(start, i - start);
    }
    if (parts.host.empty() || parts.host.size() > kHostMax)
        return std::nullopt;
    if (i < uri.size() && uri[i] == ':') {
        const size_t port = ++i;
        long value = 0;
        while (i < uri.size() && digit(uri[i]) && i - port < 5)
            value = value * 10 + (uri[i++] - '0');
        if (i == port || value < 1 || value > 65535)
            return std::nullopt;
    }
    if (i < uri.size() && uri[i] != '/')
        return std::nullopt;
    return parts;
}

} // namespace platform
