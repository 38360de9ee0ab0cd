// The connection test over interface tables, and the system's own table.
#include <gtest/gtest.h>

#include "platform/NetworkState.h"

using platform::AnyConnectedInterface;
using platform::InterfaceAddress;

namespace {

InterfaceAddress Entry(const char* name, bool up, bool loopback, bool hasAddress) {
    InterfaceAddress entry;
    entry.name = name;
    entry.up = up;
    entry.loopback = loopback;
    entry.hasInternetAddress = hasAddress;
    return entry;
}

TEST(NetworkStateTest, OnlyAnUpNonLoopbackInterfaceWithAnAddressCounts) {
    EXPECT_FALSE(AnyConnectedInterface({}));
    EXPECT_FALSE(AnyConnectedInterface({Entry("lo", true, true, true)}));
    EXPECT_FALSE(AnyConnectedInterface({Entry("eth0", false, false, true)})) << "down";
    EXPECT_FALSE(AnyConnectedInterface({Entry("eth0", true, false, false)})) << "link-layer entry only";
    EXPECT_TRUE(AnyConnectedInterface({Entry("lo", true, true, true), Entry("eth0", true, false, true)}));
}

TEST(NetworkStateTest, SystemTableAlwaysHoldsTheLoopbackInterface) {
    const auto addresses = platform::ListInterfaceAddresses();
    bool loopbackSeen = false;
    for (const auto& address : addresses) loopbackSeen = loopbackSeen || (address.loopback && address.up);
    EXPECT_TRUE(loopbackSeen);
    EXPECT_EQ(platform::IsNetworkAlive(), AnyConnectedInterface(addresses));
}

}  // namespace
