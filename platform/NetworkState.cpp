#include "NetworkState.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>

namespace platform {

std::vector<InterfaceAddress> ListInterfaceAddresses() {
    std::vector<InterfaceAddress> result;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return result;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        InterfaceAddress address;
        address.name = entry->ifa_name != nullptr ? entry->ifa_name : "";
        address.up = (entry->ifa_flags & IFF_UP) != 0;
        address.loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
        const int family = entry->ifa_addr != nullptr ? entry->ifa_addr->sa_family : AF_UNSPEC;
        address.hasInternetAddress = family == AF_INET || family == AF_INET6;
        result.push_back(std::move(address));
    }
    freeifaddrs(list);
    return result;
}

bool AnyConnectedInterface(const std::vector<InterfaceAddress>& addresses) {
    for (const auto& address : addresses) {
        if (address.up && !address.loopback && address.hasInternetAddress) return true;
    }
    return false;
}

bool IsNetworkAlive() { return AnyConnectedInterface(ListInterfaceAddresses()); }

}  // namespace platform
