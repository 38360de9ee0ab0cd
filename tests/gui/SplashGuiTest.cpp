// The launch splash: it plays its waiting frames while its thread starts
// the product, and closes when the time is up, when the product's window
// shows, or at once (after telling the user) when the product cannot start.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "Common/install_ui_mainwnd/AlientWnd.h"
#include "gui/GuiTest.h"
#include "platform/EmbeddedResources.h"
#include "uitoolkit/markup/SkinArchive.h"

namespace {

using namespace ZembraUI;
namespace fs = std::filesystem;

std::string noticeShown;
void RecordNotice(const std::string& text) { noticeShown = text; }

class SplashGuiTest : public testsupport::GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        const auto archive = platform::EmbeddedSkinArchive();
        ASSERT_TRUE(CSkinArchive::OpenFromMemory(archive.data(), archive.size()));
        CAlientWnd::SetFailureNotice(&RecordNotice);
        noticeShown.clear();
        folder_ = fs::temp_directory_path() / ("zembra-splash-" + std::to_string(::getpid()));
        fs::create_directories(folder_);
    }
    void TearDown() override {
        CAlientWnd::SetFailureNotice(nullptr);
        CSkinArchive::Close();
        GuiTest::TearDown();
        fs::remove_all(folder_);
    }
    // A product that starts and ends without a window.
    std::string QuietProduct() {
        const fs::path path = folder_ / "ZembraMorvanta";
        std::ofstream(path) << "#!/bin/sh\nexit 0\n";
        fs::permissions(path, fs::perms::owner_all);
        return "\"" + path.string() + "\"";
    }

    fs::path folder_;
};

TEST_F(SplashGuiTest, CyclesTheWaitingFramesUntilTheTimeIsUp) {
    CAlientWnd splash(0, QuietProduct(), "1.2.3.4", "Zembra Morvanta", 1, English);
    EXPECT_EQ(splash.ShowModal(), CAlientWnd::kProductStarted);
    EXPECT_FALSE(splash.EndedByProductWindow());
    // One second at 50 ms a frame: far more than two frames, each named after the counter.
    EXPECT_GE(splash.FramesShown(), 2);
    EXPECT_EQ(splash.ShownFrame().rfind("skin/gif/bg", 0), 0u);
    EXPECT_EQ(CAlientWnd::WaitingFrameName(20), "skin/gif/bg20.png");
    EXPECT_EQ(CAlientWnd::WaitingFrameName(21), "skin/gif/bg00.png");
    EXPECT_EQ(CAlientWnd::ShortVersion("1.2.3.4"), "1.2.3");
    EXPECT_EQ(CAlientWnd::ShortVersion("7.1"), "7.1");
}

TEST_F(SplashGuiTest, ClosesAsSoonAsTheProductShowsItsWindow) {
    // A whole minute allowed: only the product's window ends the splash this test waits for.
    CAlientWnd splash(0, "\"" ZEMBRA_SPLASH_PRODUCT "\"", "1.0.0.1", "Zembra Morvanta", 60, English);
    EXPECT_EQ(splash.ShowModal(), CAlientWnd::kProductStarted);
    EXPECT_TRUE(splash.EndedByProductWindow());
}

TEST_F(SplashGuiTest, AProductThatCannotStartIsReportedAndEndsTheSplashAtOnce) {
    CAlientWnd splash(0, "\"" + (folder_ / "missing").string() + "\"", "1.0", "Zembra Morvanta", 60, English);
    EXPECT_EQ(splash.ShowModal(), CAlientWnd::kProductNotStarted);
    EXPECT_NE(noticeShown.find("shortcut"), std::string::npos) << noticeShown;
    EXPECT_FALSE(splash.EndedByProductWindow());
}

}  // namespace

namespace {

// Without a message loop no splash can be made: the product still starts.
TEST(SplashWithoutWindowTest, StartsTheProductAnyway) {
    const fs::path folder = fs::temp_directory_path() / ("zembra-nosplash-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path product = folder / "ZembraMorvanta";
    const fs::path marker = folder / "started";
    std::ofstream(product) << "#!/bin/sh\ntouch '" << marker.string() << "'\n";
    fs::permissions(product, fs::perms::owner_all);

    CAlientWnd splash(0, "\"" + product.string() + "\"", "1.0", "Zembra Morvanta", 3, English);
    EXPECT_EQ(splash.ShowModal(), CAlientWnd::kProductStarted);
    // The product runs on its own; give it a while to leave its mark.
    for (int i = 0; i < 200 && !fs::exists(marker); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(fs::exists(marker));
    fs::remove_all(folder);
}

}  // namespace
