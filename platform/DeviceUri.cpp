#include "DeviceUri.h"

#include "Loaded.h"

#include <cups/cups.h>

namespace platform {

namespace {

// The four functions of libcups this file needs.
struct Cups {
    decltype(&cupsGetNamedDest) getNamedDest = nullptr;
    decltype(&cupsGetOption) getOption = nullptr;
    decltype(&cupsFreeDests) freeDests = nullptr;
    decltype(&httpSeparateURI) separateUri = nullptr;
    bool ok = false;
};

const Cups& cups()
{
    static const Cups loaded = [] {
        static LoadedLibrary lib(LEVELWATCH_CUPS_SONAME);
        Cups c;
        lib.bind(c.getNamedDest, "cupsGetNamedDest");
        lib.bind(c.getOption, "cupsGetOption");
        lib.bind(c.freeDests, "cupsFreeDests");
        lib.bind(c.separateUri, "httpSeparateURI");
        c.ok = lib.ok();
        return c;
    }();
    return loaded;
}

} // namespace

std::optional<std::string> deviceUriForQueue(const std::string& queue)
{
    if (queue.find("://") != std::string::npos)
        return queue;
    if (queue.empty() || !cups().ok)
        return std::nullopt;
    cups_dest_t* dest = cups().getNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(), nullptr);
    if (!dest)
        return std::nullopt;
    std::optional<std::string> uri;
    if (const char* value = cups().getOption("device-uri", dest->num_options, dest->options); value && *value)
        uri = value;
    cups().freeDests(1, dest);
    return uri;
}

std::optional<UriParts> separateUri(const std::string& uri)
{
    if (std::optional<UriParts> plain = separatePlainUri(uri))
        return plain;
    if (!cups().ok)
        return std::nullopt;
    char scheme[64] = "", user[256] = "", host[1024] = "", resource[2048] = "";
    int port = 0;
    cups().separateUri(HTTP_URI_CODING_MOST, uri.c_str(), scheme, sizeof scheme, user, sizeof user, host,
                       sizeof host, &port, resource, sizeof resource);
    if (!*scheme)
        return std::nullopt;
    return UriParts {scheme, host, uri};
}

} // namespace platform
