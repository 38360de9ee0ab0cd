#include <gtest/gtest.h>

#include "Common/install_ui_mainwnd/CustomMessages.h"
#include "Common/install_ui_mainwnd/IRunEndReactions.h"
#include "Common/install_ui_mainwnd/InstallProgressController.h"
#include "Common/install_ui_mainwnd/TimerQueue.h"
#include "InstallFlowDoubles.h"
#include "LogLines.h"
#include "SingleUserLog.h"
#include "support/TempDir.h"

namespace {

using namespace installmsg;
using namespace installtimer;

class RecordingReactions : public IRunEndReactions {
public:
    void ClearAppData() override { calls.push_back("clear"); }
    void DownloadFailed(int reason) override { calls.push_back("failed " + std::to_string(reason)); }
    void NothingToInstall() override { calls.push_back("nothing"); }
    void SetupTimedOut() override { calls.push_back("timeout"); }
    void InstallFinished() override { calls.push_back("finished"); }
    void SignatureInvalid() override { calls.push_back("signature"); }
    void InstallFolderGone() override { calls.push_back("folder gone"); }
    void BannersArrived() override { calls.push_back("banners"); }
    void NextBanner() override { calls.push_back("banner tick"); }
    void ClickControl(const std::string& name) override { calls.push_back("click " + name); }
    std::vector<std::string> calls;
};

// The progress display driven by a clock the test moves by hand.
class InstallProgressControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        CSingleUserLog::GetInstance().additionalTime = 0;
        window_.RunState().packageSize = 0;
    }
    void TearDown() override { CSingleUserLog::GetInstance().additionalTime = 0; }

    void Post(unsigned message, std::uintptr_t wParam = 0) {
        bool handled = true;
        EXPECT_EQ(controller_.HandleCustomMessage(message, wParam, 0, handled), 0);
        EXPECT_FALSE(handled);
    }
    // Moves the clock in 10 ms steps, firing what is due on the way.
    void Advance(std::int64_t milliseconds) {
        for (std::int64_t step = 0; step < milliseconds; step += 10) {
            now_ += 10;
            timers_.FireDue([this](int id) { controller_.OnTimer(id); });
        }
    }
    bool Finished() { return window_.RunState().progressFinished.IsSet(); }

    std::int64_t now_ = 0;
    flowtest::TestWindow window_{{}};
    TimerQueue timers_{[this] { return now_; }};
    RecordingReactions reactions_;
    flowtest::RecordingAnalytics analytics_;
    InstallProgressController controller_{window_, timers_, reactions_, analytics_};
    LogLines log_;
};

TEST_F(InstallProgressControllerTest, FirstPercentAfterOneSecond) {
    timers_.SetTimer(kFirstPercent, kFirstPercentMs);
    Advance(990);
    EXPECT_EQ(window_.GetProgress(), 0);
    Advance(10);
    EXPECT_EQ(window_.GetProgress(), 1);
    EXPECT_FALSE(timers_.IsActive(kFirstPercent)) << "one-shot";
}

TEST_F(InstallProgressControllerTest, VerificationCreepsFrom85To90) {
    window_.SetProgress(40);
    Post(kVerifyStarted);
    EXPECT_EQ(window_.GetProgress(), 85);
    Advance(2000);
    EXPECT_EQ(window_.GetProgress(), 86);
    Advance(8000);
    EXPECT_EQ(window_.GetProgress(), 90);
    Advance(2000);
    EXPECT_EQ(window_.GetProgress(), 90);
    EXPECT_FALSE(timers_.IsActive(kVerifyCreep));
}

TEST_F(InstallProgressControllerTest, VerificationCreepStopsWhenVerificationIsDone) {
    Post(kVerifyStarted);
    Advance(2000);
    window_.RunState().verificationDone = 1;
    Advance(2000);
    EXPECT_EQ(window_.GetProgress(), 86);
    EXPECT_FALSE(timers_.IsActive(kVerifyCreep));
}

TEST_F(InstallProgressControllerTest, SetupStartUsesTheEstimateAndExtraTime) {
    window_.RunState().packageSize = 300ll << 20;  // 17 seconds
    CSingleUserLog::GetInstance().additionalTime = 3;
    Post(kVerifyStarted);
    Post(kSetupStarted);
    EXPECT_FALSE(timers_.IsActive(kVerifyCreep));
    EXPECT_EQ(window_.GetProgress(), 90);
    EXPECT_EQ(timers_.PeriodOf(kInstallCreep), 2000u);
    EXPECT_TRUE(log_.Has(" Estimate install time is 17, extra install time is 3, timer elapse is 2000"));
    EXPECT_EQ(analytics_.Calls(), std::vector<std::string>{"P|RunningTime|Estimated Duration|EstimatedDurationPar|17"});
}

TEST_F(InstallProgressControllerTest, UnknownSizeAndNoExtraTimeStillCreep) {
    Post(kSetupStarted);
    EXPECT_EQ(timers_.PeriodOf(kInstallCreep), 100u);
    Advance(100);
    EXPECT_EQ(window_.GetProgress(), 91);
}

TEST_F(InstallProgressControllerTest, SetupEndingEarlyHandsOverToTheFinalCreep) {
    window_.RunState().packageSize = 300ll << 20;
    Post(kSetupStarted);
    window_.RunState().setupFinished = true;  // the worker saw 90: not done yet
    Advance(1700);
    EXPECT_EQ(window_.GetProgress(), 90);
    EXPECT_TRUE(timers_.IsActive(kFinalCreep));
    EXPECT_FALSE(timers_.IsActive(kInstallCreep));
    EXPECT_TRUE(log_.Has(" TIMER_INSTALLPROGRESS_ID: 1, 91"));
    Advance(500 * 9);
    EXPECT_EQ(window_.GetProgress(), 99);
    EXPECT_FALSE(Finished());
    Advance(500);
    EXPECT_TRUE(Finished()) << "the tenth tick signals";
    EXPECT_EQ(window_.GetProgress(), 99) << "nothing sets 100";
    EXPECT_TRUE(log_.Has(" TIMER_ATLASTPROGRESS_ID: 1, 100"));
    EXPECT_FALSE(timers_.IsActive(kFinalCreep));
}

TEST_F(InstallProgressControllerTest, ALongSetupWaitsAt99) {
    Post(kSetupStarted);  // 100 ms ticks
    Advance(100 * 9);
    EXPECT_EQ(window_.GetProgress(), 99);
    Advance(100);
    EXPECT_FALSE(timers_.IsActive(kInstallCreep));
    EXPECT_TRUE(log_.Has(" TIMER_INSTALLPROGRESS_ID: 0, 100"));
    Advance(10000);
    EXPECT_EQ(window_.GetProgress(), 99);
    EXPECT_FALSE(Finished()) << "only the worker signals once the setup has ended";
}

TEST_F(InstallProgressControllerTest, BarAt98SignalsOnTheNextInstallTick) {
    Post(kSetupStarted);
    Advance(800);
    EXPECT_EQ(window_.GetProgress(), 98);
    window_.RunState().setupFinished = true;
    Advance(100);
    EXPECT_TRUE(Finished());
    EXPECT_FALSE(timers_.IsActive(kFinalCreep));
}

TEST_F(InstallProgressControllerTest, EndOfRunMessagesGoToTheWindowReactions) {
    Post(kClearAppData);
    Post(kDownloadFailed, 14);
    Post(kNothingToInstall);
    Post(kSetupTimedOut);
    Post(kInstallComplete);
    Post(kSignatureInvalid);
    Post(kInstallFolderGone);
    Post(kBannersArrived);
    Post(0x401);
    controller_.OnTimer(kBanner);
    const std::vector<std::string> expected = {"clear",   "failed 14", "nothing",   "timeout",
                                               "finished", "signature", "folder gone", "banners", "banner tick"};
    EXPECT_EQ(reactions_.calls, expected);
}

TEST_F(InstallProgressControllerTest, UnattendedClicksOnlyInAutoRun) {
    testsupport::TempDir temp;
    const std::string settings = temp.WriteFile("qk_downloader.cfg", "[Settings]\nAutoRun=0\n");
    testsupport::ScopedEnv file("ZEMBRA_SETTINGS_FILE", settings);
    timers_.SetTimer(kAutoInstall, kAutoInstallMs);
    Advance(2000);
    EXPECT_TRUE(reactions_.calls.empty());

    temp.WriteFile("qk_downloader.cfg", "[Settings]\nAutoRun=1\n");
    timers_.SetTimer(kAutoRetry, kAutoRetryMs);
    Advance(2000);
    const std::vector<std::string> expected = {"click start_app", "click install_btn"};
    EXPECT_EQ(reactions_.calls, expected);
    EXPECT_FALSE(timers_.IsActive(kAutoInstall));
    EXPECT_FALSE(timers_.IsActive(kAutoRetry));
}

}  // namespace
