#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/SingleInstance.h"
#include "support/TempDir.h"

using platform::InstanceBeacon;
using platform::InstanceLock;
using testsupport::ScopedEnv;
using testsupport::TempDir;

class SingleInstanceTest : public ::testing::Test {
protected:
    TempDir dir;
    ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.str()};
};

TEST_F(SingleInstanceTest, SecondHolderIsRefusedUntilRelease) {
    InstanceLock first;
    InstanceLock second;
    ASSERT_TRUE(first.Acquire("TVS_Downloader_499"));
    EXPECT_FALSE(second.Acquire("TVS_Downloader_499"));
    EXPECT_TRUE(second.Acquire("TVS_Downloader_500")) << "another downloader id is another lock";
    first.Release();
    InstanceLock third;
    EXPECT_TRUE(third.Acquire("TVS_Downloader_499"));
}

TEST_F(SingleInstanceTest, LockIsVisibleToOtherProcessesAndDiesWithItsHolder) {
    InstanceLock lock;
    ASSERT_TRUE(lock.Acquire("TVS_Downloader_7"));
    const pid_t child = fork();
    if (child == 0) {
        InstanceLock mine;
        _exit(mine.Acquire("TVS_Downloader_7") ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the child must not get the lock while we hold it";

    // A holder that dies without releasing leaves the lock free.
    lock.Release();
    const pid_t holder = fork();
    if (holder == 0) {
        InstanceLock mine;
        mine.Acquire("TVS_Downloader_7");
        _exit(0);
    }
    waitpid(holder, &status, 0);
    InstanceLock after;
    EXPECT_TRUE(after.Acquire("TVS_Downloader_7"));
}

TEST_F(SingleInstanceTest, BeaconAnswersPresenceAndDeliversShowRequests) {
    const std::string windowClass = "QK_UI_Frame_test_" + std::to_string(getpid());
    EXPECT_FALSE(InstanceBeacon::FindInstance(windowClass, true));

    std::atomic<int> showRequests{0};
    InstanceBeacon beacon;
    ASSERT_TRUE(beacon.Listen(windowClass, [&] { ++showRequests; }));
    EXPECT_TRUE(InstanceBeacon::FindInstance(windowClass, false));
    EXPECT_TRUE(InstanceBeacon::FindInstance(windowClass, true));

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (showRequests == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(showRequests, 1) << "a presence probe must not raise the window";

    {
        TempDir otherSession;
        ScopedEnv elsewhere("XDG_RUNTIME_DIR", otherSession.str());
        EXPECT_FALSE(InstanceBeacon::FindInstance(windowClass, false)) << "another session has its own windows";
    }
    beacon.Stop();
    EXPECT_FALSE(InstanceBeacon::FindInstance(windowClass, false));
}
