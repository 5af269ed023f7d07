// The SNMP library's working state, one per thread (SnmpThreadState, NetIO.h).
#include "snmp/NetIO.h"

namespace {
thread_local SnmpThreadState t_state;
} // namespace

SnmpThreadState& SnmpThread() { return t_state; }

SnmpListenCounts TakeListenCounts()
{
    const SnmpListenCounts counted = t_state.listenCounts;
    t_state.listenCounts = {};
    return counted;
}
