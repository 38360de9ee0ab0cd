#pragma once
// Base of the GUI tests: a private X server and a started message loop per
// test. Waiting is done by pumping the loop until a condition holds; the
// deadline only keeps a broken test from hanging.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "gui/GuiDisplay.h"
#include "uitoolkit/window/MessageLoop.h"

namespace testsupport {

class GuiTest : public ::testing::Test {
protected:
    virtual bool NeedsWindowManager() const { return false; }
    virtual bool NeedsCompositor() const { return false; }

    void SetUp() override {
        ASSERT_TRUE(display_.Start(NeedsWindowManager(), NeedsCompositor())) << "no X server for the test";
        loop_ = std::make_unique<ZembraUI::CMessageLoop>(
            [this] { return fakeNow_ ? *fakeNow_ : ZembraUI::CMessageLoop::SteadyMilliseconds(); });
        ASSERT_TRUE(loop_->Start());
    }
    void TearDown() override { loop_.reset(); }

    // Pumps until done() holds; false when the safety deadline passed.
    bool PumpUntil(const std::function<bool()>& done, int deadlineMs = 30000) {
        const std::int64_t deadline = ZembraUI::CMessageLoop::SteadyMilliseconds() + deadlineMs;
        while (!done()) {
            if (ZembraUI::CMessageLoop::SteadyMilliseconds() > deadline) return false;
            if (const auto code = loop_->PumpOnce(50)) quitCode_ = code;
        }
        return true;
    }

    // Photographs the screen until looksRight holds for a shot, pumping in
    // between (the server shows what windows drew only after their events,
    // such as an expose, were handled). Returns the last shot.
    std::optional<ZembraUI::LoadedImage> ScreenshotWhen(
        const std::function<bool(const ZembraUI::LoadedImage&)>& looksRight, int deadlineMs = 30000) {
        const std::int64_t deadline = ZembraUI::CMessageLoop::SteadyMilliseconds() + deadlineMs;
        for (;;) {
            for (int turn = 0; turn < 5; ++turn) loop_->PumpOnce(10);
            auto shot = display_.Screenshot();
            if ((shot && looksRight(*shot)) || ZembraUI::CMessageLoop::SteadyMilliseconds() > deadline) return shot;
        }
    }

    GuiDisplay display_;
    std::unique_ptr<ZembraUI::CMessageLoop> loop_;
    std::optional<std::int64_t> fakeNow_;  // set before the first timer: the loop's clock
    std::optional<int> quitCode_;
};

}  // namespace testsupport
