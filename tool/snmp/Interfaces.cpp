// The interface list of discovery: every interface of the machine with its
// index, which is the scope identifier of its IPv6 link-local addresses.
#include "snmp/NetIO.h"

#include "snmp/Trace.h"

#include <cstring>
#include <net/if.h>
#include <new>

ifs_info* get_ifs_info(int, int)
{
    struct if_nameindex* all = ::if_nameindex();
    if (all == nullptr) {
        lwTraceErrno("if_nameindex error");
        return nullptr;
    }
    ifs_info* head = nullptr;
    ifs_info** tail = &head;
    for (const struct if_nameindex* i = all; i->if_index != 0 && i->if_name != nullptr; ++i) {
        auto* node = new (std::nothrow) ifs_info{};
        if (node == nullptr)
            break;
        std::strncpy(node->name, i->if_name, sizeof node->name - 1);
        node->index = static_cast<int>(i->if_index);
        lwTrace("ifr_name: %s, scope id: %d\n", node->name, node->index);
        *tail = node;
        tail = &node->next;
    }
    ::if_freenameindex(all);
    return head;
}

ifs_info* find_ifname(ifs_info* list, int index)
{
    for (ifs_info* n = list; n != nullptr; n = n->next)
        if (n->index == index)
            return n;
    return nullptr;
}

int find_ifscope_id(ifs_info* list, const char* name)
{
    if (name != nullptr)
        for (const ifs_info* n = list; n != nullptr; n = n->next)
            if (std::strncmp(n->name, name, sizeof n->name) == 0)
                return n->index;
    return 4;
}

ifs_info* free_ifs_info(ifs_info* list)
{
    while (list != nullptr) {
        ifs_info* next = list->next;
        delete list;
        list = next;
    }
    return nullptr;
}
