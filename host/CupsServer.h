// The CUPS server as libcups names it on the thread that makes this object.
// libcups keeps the server (and its connection) per thread: work on another
// thread connects to this one instead of asking its own thread's libcups.
#pragma once

#include "PpdApi.h"

#include <QByteArray>

namespace printpanels::host {

struct CupsServer {
    QByteArray host = cupsServer();
    int port = ippPort();
    http_encryption_t encryption = cupsEncryption();

    // A connection of its own (the caller closes it with httpClose), or null
    // with cupsLastErrorString() saying why.
    http_t* connect() const
    {
        return httpConnect2(host.constData(), port, nullptr, AF_UNSPEC, encryption, 1, 30000, nullptr);
    }
};

} // namespace printpanels::host
