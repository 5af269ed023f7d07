// The v1 walker with the text-value callback, into a default-sized and a
// small caller buffer.
#include "FuzzEnvelope.h"
#include "snmp/NetIO.h"

#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> msg = fuzzMessage(data, size);
    CNetIO io;
    auto out = std::make_unique<char[]>(RECVBUF_SIZE);
    if (io.parseForRecvBuf(msg.data(), static_cast<int>(msg.size()), out.get()) &&
        std::strlen(out.get()) >= RECVBUF_SIZE)
        __builtin_trap();
    size_t small = size > 0 ? data[size - 1] % 16 + 1 : 1;
    auto tight = std::make_unique<char[]>(small);
    (void)io.parseForRecvBuf(msg.data(), static_cast<int>(msg.size()), tight.get(), small);
    return 0;
}
