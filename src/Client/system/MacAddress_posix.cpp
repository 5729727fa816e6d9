#include "Client/system/MacAddress.h"

#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>
#include <string>

namespace qrnv {
namespace {

struct OwnedInterfaces {
    ifaddrs* list = nullptr;
    ~OwnedInterfaces()
    {
        if (list) {
            freeifaddrs(list);
        }
    }
};

} // namespace

bool ListAdapters(std::vector<AdapterFacts>& adapters)
{
    OwnedInterfaces interfaces;
    if (getifaddrs(&interfaces.list) != 0) {
        return false;
    }
    // getifaddrs gives one entry per interface and address family; gather them per name,
    // in the order the names first appear (the kernel's interface order).
    std::vector<std::string> names;
    for (ifaddrs* i = interfaces.list; i; i = i->ifa_next) {
        if (!i->ifa_name) {
            continue;
        }
        std::size_t at = 0;
        while (at < names.size() && names[at] != i->ifa_name) {
            ++at;
        }
        if (at == names.size()) {
            names.emplace_back(i->ifa_name);
            adapters.emplace_back();
        }
        AdapterFacts& facts = adapters[at];
        facts.mUp = (i->ifa_flags & IFF_UP) && (i->ifa_flags & IFF_RUNNING);
        facts.mLoopback = (i->ifa_flags & IFF_LOOPBACK) != 0;
        if (!i->ifa_addr) {
            continue;
        }
        if (i->ifa_addr->sa_family == AF_INET) {
            facts.mHasIpv4 = true;
        } else if (i->ifa_addr->sa_family == AF_PACKET) {
            const auto* link = reinterpret_cast<const sockaddr_ll*>(i->ifa_addr);
            if (link->sll_halen == facts.mAddress.size()) {
                std::memcpy(facts.mAddress.data(), link->sll_addr, facts.mAddress.size());
                facts.mHasAddress = true;
            }
        }
    }
    return true;
}

} // namespace qrnv
