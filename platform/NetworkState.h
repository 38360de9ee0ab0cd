#pragma once
// Whether the machine has a network connection at all: some interface other
// than loopback is up and holds an address.
#include <string>
#include <vector>

namespace platform {

// What the connection test needs to know about one interface address.
struct InterfaceAddress {
    std::string name;
    bool up = false;
    bool loopback = false;
    bool hasInternetAddress = false;  // an IPv4 or IPv6 address
};

// The interface addresses the system reports (getifaddrs); empty when it cannot tell.
std::vector<InterfaceAddress> ListInterfaceAddresses();
// True when one entry is up, not loopback and has an address.
bool AnyConnectedInterface(const std::vector<InterfaceAddress>& addresses);
// AnyConnectedInterface over ListInterfaceAddresses().
bool IsNetworkAlive();

}  // namespace platform
