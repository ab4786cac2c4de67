#include "platform/LocalInterfaces.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

QList<LocalInterface> UpIPv4Interfaces()
{
    QList<LocalInterface> out;
    ifaddrs *list = nullptr;
    if (::getifaddrs(&list) != 0)
        return out;
    for (const ifaddrs *i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_UP) ||
            (i->ifa_flags & IFF_LOOPBACK))
            continue;
        LocalInterface it;
        it.address = ntohl(reinterpret_cast<const sockaddr_in *>(i->ifa_addr)->sin_addr.s_addr);
        if (i->ifa_netmask)
            it.mask = ntohl(reinterpret_cast<const sockaddr_in *>(i->ifa_netmask)->sin_addr.s_addr);
        it.index = int(::if_nametoindex(i->ifa_name));
        it.broadcast = i->ifa_flags & IFF_BROADCAST;
        it.multicast = i->ifa_flags & IFF_MULTICAST;
        out.append(it);
    }
    ::freeifaddrs(list);
    return out;
}
