#include "DeviceUri.h"

#include <cups/cups.h>

namespace platform {

std::optional<std::string> deviceUriForQueue(const std::string& queue)
{
    if (queue.find("://") != std::string::npos)
        return queue;
    if (queue.empty())
        return std::nullopt;
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(), nullptr);
    if (!dest)
        return std::nullopt;
    std::optional<std::string> uri;
    if (const char* value = cupsGetOption("device-uri", dest->num_options, dest->options); value && *value)
        uri = value;
    cupsFreeDests(1, dest);
    return uri;
}

std::optional<UriParts> separateUri(const std::string& uri)
{
    char scheme[64] = "", user[256] = "", host[1024] = "", resource[2048] = "";
    int port = 0;
    httpSeparateURI(HTTP_URI_CODING_MOST, uri.c_str(), scheme, sizeof scheme, user, sizeof user, host,
                    sizeof host, &port, resource, sizeof resource);
    if (!*scheme)
        return std::nullopt;
    return UriParts {scheme, host, uri};
}

} // namespace platform
