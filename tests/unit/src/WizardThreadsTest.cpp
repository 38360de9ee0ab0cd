#include <gtest/gtest.h>

#include <memory>
#include <chrono>

#include "Common/install_ui_mainwnd/ManualResetEvent.h"
#include "Common/install_ui_mainwnd/WizardThreads.h"

namespace {

TEST(WizardThreadsTest, WaitsForEndedThreadsAndLeavesAStuckOneBehind) {
    auto release = std::make_shared<ManualResetEvent>();
    auto ended = std::make_shared<ManualResetEvent>();
    {
        WizardThreads threads;
        threads.Start([] {}, [ended] { ended->Set(); });
        threads.Start([release] { release->Wait(); });
        EXPECT_FALSE(threads.WaitForAll(std::chrono::milliseconds(50)));
        EXPECT_TRUE(threads.LeftThreadsBehind());
    }
    // Both threads end after their owner went, without touching it.
    release->Set();
    EXPECT_TRUE(ended->WaitFor(std::chrono::minutes(1)));
}

TEST(WizardThreadsTest, AllEndedOnceEveryBodyReturned) {
    WizardThreads threads;
    ManualResetEvent go;
    threads.Start([&go] { go.Wait(); });
    EXPECT_FALSE(threads.AllEnded());
    go.Set();
    EXPECT_TRUE(threads.WaitForAll(std::chrono::minutes(1)));
    EXPECT_TRUE(threads.AllEnded());
    EXPECT_FALSE(threads.LeftThreadsBehind());
}

}  // namespace
