#include "Client/service/QuickCheck.h"

#include <ifaddrs.h>
#include <net/if.h>

namespace qrnv {

// Connected as the system sees it: some interface other than loopback is up and has an
// address.
bool IsInternetConnected()
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return false;
    }
    bool connected = false;
    for (ifaddrs* i = list; i && !connected; i = i->ifa_next) {
        connected = i->ifa_addr && (i->ifa_flags & IFF_UP) && (i->ifa_flags & IFF_RUNNING) && !(i->ifa_flags & IFF_LOOPBACK) &&
                    (i->ifa_addr->sa_family == AF_INET || i->ifa_addr->sa_family == AF_INET6);
    }
    freeifaddrs(list);
    return connected;
}

} // namespace qrnv
