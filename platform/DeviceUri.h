// Where a print queue's printer is: the queue's device URI from CUPS, and the
// parts of a URI as libcups separates them. libcups (with the twenty-odd
// libraries it pulls in) is loaded when one of these first needs it, so a
// printer given by a plain device URI is asked without it.
#pragma once

#include <optional>
#include <string>

namespace platform {

// The device URI of the CUPS queue `queue` (cupsGetNamedDest on the server
// that CUPS_SERVER or the client configuration names; its "device-uri"
// option). An identifier holding "://" cannot be a queue name (queue names
// never contain "/"): it is taken as the device URI itself. No such queue, or
// a queue without a device URI: nullopt.
std::optional<std::string> deviceUriForQueue(const std::string& queue);

struct UriParts {
    std::string scheme;   // as written (case kept)
    std::string host;     // percent-decoded; an IPv6 literal without its brackets
    std::string absolute; // the whole URI, as given
};

// Separates `uri` as libcups does (httpSeparateURI). nullopt when the URI
// has no scheme.
std::optional<UriParts> separateUri(const std::string& uri);

// The URIs of network printers as they are mostly written, whose parts need
// neither decoding nor libcups: "scheme://host[:port][/...]", the host made
// of letters, digits, ".", "-", "_" and "~", or an IPv6 literal of hex
// digits, ":" and "." in brackets, any scheme but file:; the parts are those
// libcups gives.
// nullopt for any other text (separateUri then asks libcups).
std::optional<UriParts> separatePlainUri(const std::string& uri);

} // namespace platform
