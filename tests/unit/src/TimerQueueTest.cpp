#include <gtest/gtest.h>

#include <vector>

#include "Common/install_ui_mainwnd/TimerQueue.h"

namespace {

class TimerQueueTest : public ::testing::Test {
protected:
    std::vector<int> Fire() {
        std::vector<int> fired;
        queue_.FireDue([&](int id) { fired.push_back(id); });
        return fired;
    }
    std::int64_t now_ = 1000;
    TimerQueue queue_{[this] { return now_; }};
};

TEST_F(TimerQueueTest, FiresEachPeriodEarliestFirst) {
    queue_.SetTimer(1, 500);
    queue_.SetTimer(2, 300);
    EXPECT_EQ(queue_.NextDue(), 1300);
    EXPECT_TRUE(Fire().empty());
    now_ = 1300;
    EXPECT_EQ(Fire(), std::vector<int>{2});
    now_ = 1600;
    EXPECT_EQ(Fire(), (std::vector<int>{1, 2}));
}

TEST_F(TimerQueueTest, AnOverdueTimerFiresOnce) {
    queue_.SetTimer(7, 100);
    now_ += 1000;
    EXPECT_EQ(Fire(), std::vector<int>{7});
    EXPECT_TRUE(Fire().empty());
    EXPECT_EQ(queue_.NextDue(), now_ + 100);
}

TEST_F(TimerQueueTest, TicksMayStopAndRestartTimers) {
    queue_.SetTimer(1, 100);
    queue_.SetTimer(2, 100);
    now_ += 100;
    std::vector<int> fired;
    queue_.FireDue([&](int id) {
        fired.push_back(id);
        if (id == 1) queue_.KillTimer(2);
    });
    EXPECT_EQ(fired, std::vector<int>{1});
    EXPECT_FALSE(queue_.IsActive(2));

    // Restarting a due timer from a tick gives it a fresh period.
    queue_.SetTimer(2, 100);
    now_ += 100;
    fired.clear();
    queue_.FireDue([&](int id) {
        fired.push_back(id);
        if (id == 1) queue_.SetTimer(2, 1000);
    });
    EXPECT_EQ(fired, std::vector<int>{1});
    EXPECT_EQ(queue_.PeriodOf(2), 1000u);
}

TEST_F(TimerQueueTest, PeriodsHaveAFloor) {
    queue_.SetTimer(3, 0);
    EXPECT_EQ(queue_.PeriodOf(3), TimerQueue::kMinimumPeriodMs);
    queue_.KillTimer(3);
    EXPECT_FALSE(queue_.NextDue());
}

}  // namespace
