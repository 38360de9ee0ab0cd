#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <thread>
#include <vector>

#include "gui/GuiTest.h"
#include "support/LogCapture.h"
#include "uitoolkit/window/HostWindow.h"

#include <X11/Xlib.h>

namespace {

using ZembraUI::CHostWindow;
using ZembraUI::CMessageLoop;
using ZembraUI::HostWindowId;

constexpr unsigned kProgress = 0xB7F;
constexpr unsigned kCountQuery = 0xB80;

class MessageWindow : public CHostWindow {
public:
    std::vector<std::uintptr_t> progress;
    std::vector<unsigned> timers;
    std::vector<std::thread::id> threads;

protected:
    std::intptr_t OnMessage(unsigned message, std::uintptr_t wParam, std::intptr_t) override {
        threads.push_back(std::this_thread::get_id());
        if (message == kProgress) progress.push_back(wParam);
        return message == kCountQuery ? std::intptr_t(progress.size()) : 0;
    }
    void OnTimer(unsigned id) override {
        threads.push_back(std::this_thread::get_id());
        timers.push_back(id);
    }
};

class MessageLoopGuiTest : public testsupport::GuiTest {
protected:
    void CreateWindow(MessageWindow& window) {
        ZembraUI::HostWindowOptions options;
        options.title = "messages";
        options.width = 120;
        options.height = 60;
        ASSERT_TRUE(window.Create(options));
        window.Show(true);
    }
};

TEST_F(MessageLoopGuiTest, PostsAndSendsArriveInOrderOnTheUiThread) {
    MessageWindow window;
    CreateWindow(window);
    // On the UI thread a send runs at once, ahead of what is queued.
    ASSERT_TRUE(window.PostToWindow(kProgress, 0));
    EXPECT_EQ(window.SendToWindow(kCountQuery), 0);

    std::atomic<std::intptr_t> countSeenBySend{-1};
    std::thread worker([&] {
        for (std::uintptr_t i = 1; i <= 500; ++i) window.PostToWindow(kProgress, i);
        // A worker's send waits until the UI thread has handled it, after every earlier post.
        countSeenBySend = window.SendToWindow(kCountQuery);
    });
    ASSERT_TRUE(PumpUntil([&] { return countSeenBySend >= 0; }));
    worker.join();

    EXPECT_EQ(countSeenBySend, 501);
    std::vector<std::uintptr_t> expected(501);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(window.progress, expected);
    EXPECT_THAT(window.threads, testing::Each(std::this_thread::get_id()));
}

TEST_F(MessageLoopGuiTest, MessagesForAClosedWindowAreDroppedAndQuitEndsTheLoop) {
    testsupport::LogCapture log;
    MessageWindow window;
    CreateWindow(window);
    const HostWindowId id = window.Id();
    window.Destroy();

    std::atomic<std::intptr_t> answer{-1};
    std::thread worker([&] {
        ZembraUI::PostToWindow(id, kProgress, 1);
        answer = ZembraUI::SendToWindow(id, kCountQuery);
        CMessageLoop::PostQuit(7);
    });
    ASSERT_TRUE(PumpUntil([&] { return quitCode_.has_value(); }));
    worker.join();
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(quitCode_, 7);
    EXPECT_TRUE(window.progress.empty());
    EXPECT_TRUE(log.Contains("for closed window")) << testing::PrintToString(log.Lines());

    // Once the loop is gone, posts are refused and sends answer at once.
    loop_.reset();
    EXPECT_FALSE(ZembraUI::PostToWindow(id, kProgress, 2));
    std::thread late([&] { answer = ZembraUI::SendToWindow(id, kCountQuery); });
    late.join();
    EXPECT_EQ(answer, 0);
}

TEST_F(MessageLoopGuiTest, TimersFollowTheLoopsClockOnTheUiThread) {
    fakeNow_ = 0;
    MessageWindow window;
    CreateWindow(window);
    window.SetTimer(1, 100);
    window.SetTimer(2, 250);
    loop_->PumpOnce(0);
    EXPECT_TRUE(window.timers.empty());

    *fakeNow_ = 100;
    loop_->PumpOnce(0);
    EXPECT_EQ(window.timers, (std::vector<unsigned>{1}));

    // Late timers fire once each, earliest due first.
    *fakeNow_ = 260;
    loop_->PumpOnce(0);
    EXPECT_EQ(window.timers, (std::vector<unsigned>{1, 1, 2}));

    window.KillTimer(1);
    *fakeNow_ = 2000;
    loop_->PumpOnce(0);
    EXPECT_EQ(window.timers, (std::vector<unsigned>{1, 1, 2, 2}));

    // Setting a running timer again restarts its period.
    window.SetTimer(2, 100);
    *fakeNow_ = 2099;
    loop_->PumpOnce(0);
    EXPECT_EQ(window.timers.size(), 4u);
    *fakeNow_ = 2100;
    loop_->PumpOnce(0);
    EXPECT_EQ(window.timers.size(), 5u);
    EXPECT_THAT(window.threads, testing::Each(std::this_thread::get_id()));

    // A destroyed window's timers are gone with it.
    window.Destroy();
    *fakeNow_ = 5000;
    loop_->PumpOnce(0);
    EXPECT_EQ(window.timers.size(), 5u);
}

TEST_F(MessageLoopGuiTest, ATimerWakesTheWaitingLoop) {
    MessageWindow window;
    CreateWindow(window);
    window.SetTimer(3, 20);
    // Run waits in SDL without a time-out of its own: only the timer can end it.
    const auto quit = loop_->RunUntil([&] { return window.timers.size() >= 3; });
    EXPECT_FALSE(quit.has_value());
    EXPECT_EQ(window.timers, (std::vector<unsigned>{3, 3, 3}));
}

}  // namespace

// Another client may destroy a window between our request about it and the
// server's answer; the error that comes back must not end the process.
TEST_F(MessageLoopGuiTest, AProtocolErrorAboutAGoneWindowIsLoggedNotFatal) {
    testsupport::LogCapture log;
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const Window gone = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(display, gone);
    XMapWindow(display, gone);
    XSync(display, False);
    XCloseDisplay(display);
    EXPECT_TRUE(log.Contains("X protocol error ignored: BadWindow"));
}
