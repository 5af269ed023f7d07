// The device URIs that are separated without libcups: whatever the bytes,
// the splitter stays within them, and whenever it takes a URI its scheme and
// host are those libcups gives.
#include "DeviceUri.h"

#include <cups/cups.h>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string uri(reinterpret_cast<const char*>(data), size);
    const auto plain = platform::separatePlainUri(uri);
    if (!plain || uri.find('\0') != std::string::npos)
        return 0;
    char scheme[64] = "", user[256] = "", host[1024] = "", resource[2048] = "";
    int port = 0;
    httpSeparateURI(HTTP_URI_CODING_MOST, uri.c_str(), scheme, sizeof scheme, user, sizeof user, host, sizeof host,
                    &port, resource, sizeof resource);
    if (plain->scheme != scheme || plain->host != host || plain->absolute != uri)
        std::abort();
    return 0;
}
