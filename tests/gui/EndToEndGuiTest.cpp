// Whole runs of the installer program with its wizard window on a private X
// server against the devserver: clicked with xdotool, watched through
// screenshots and its log, and judged by what the services received.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <regex>

#include "gui/EndToEndGuiFixture.h"

namespace fs = std::filesystem;
using testsupport::EndToEndGuiTest;
using testsupport::kFailurePage;
using testsupport::kPackagePath;
using testsupport::kRunMs;
using testsupport::kUploadPath;
using testsupport::Eventually;
using testsupport::InOrder;
using testsupport::ReadFile;
using testsupport::WizardPage;
using testsupport::WizardProcess;

namespace {

// The percentages the window logged as it raised its bar, in order.
std::vector<int> LoggedPercents(const std::string& log) {
    static const std::regex shown(R"( Progress shown: (\d+))");
    std::vector<int> percents;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), shown); it != std::sregex_iterator(); ++it)
        percents.push_back(std::stoi((*it)[1]));
    return percents;
}

bool Has(const std::vector<int>& values, int value) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

TEST_F(EndToEndGuiTest, AWholeInstallMovesTheBarThroughEveryPhaseAndStartsTheProduct) {
    ThrottlePackage(1 << 20);
    auto wizard = OpenWizard();
    StartInstall(*wizard);

    // What the screen showed of the bar while the window was up.
    std::vector<int> onScreen;
    while (!wizard->WaitForExit(0) && wizard->WindowVisible()) {
        const auto origin = wizard->WindowOrigin();
        const auto shot = display_.Screenshot();
        if (origin && shot) onScreen.push_back(testsupport::ProgressShown(*shot, *origin));
    }
    EXPECT_EQ(wizard->WaitForExit(kRunMs), 0) << wizard->Log();
    ASSERT_FALSE(onScreen.empty());
    EXPECT_TRUE(std::any_of(onScreen.begin(), onScreen.end(), [](int p) { return p > 0 && p < 85; }))
        << "the bar moved while the package came in";

    const auto percents = LoggedPercents(wizard->Log());
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_TRUE(Has(percents, 85) && Has(percents, 90) && Has(percents, 99)) << wizard->Log();
    EXPECT_TRUE(fs::exists(InstalledProduct()));
    EXPECT_TRUE(Eventually([&] { return fs::exists(fs::path(InstalledProduct()).parent_path() / "ZembraMorvanta.started"); }, kRunMs))
        << "the product was started";
    // Finished, then started from the finish page's button.
    EXPECT_TRUE(InOrder(AnalyticsOnceDelivered("E|Download|9.StartWindow|3"),
                        {"E|Download|6.ProgramFinsh|First", "E|Download|7.ProgramLaunch|", "E|Download|9.StartWindow|3"}));
}

TEST_F(EndToEndGuiTest, AFailedDownloadShowsTheFailurePageAndTryAgainInstalls) {
    const int broken = server_.SetRule(R"({"path": ")" + std::string(kPackagePath) + R"(", "status": 503})");
    auto wizard = OpenWizard();
    StartInstall(*wizard);
    ASSERT_TRUE(wizard->DismissMessageBox(kRunMs)) << wizard->Log();
    ASSERT_TRUE(wizard->WaitForLog(" Enter fail page ")) << wizard->Log();

    server_.RemoveRule(broken);
    ASSERT_TRUE(wizard->Click("start_app", kFailurePage));
    ASSERT_TRUE(wizard->WaitForLog(" User click try again button to retry")) << wizard->Log();
    EXPECT_EQ(wizard->WaitForExit(kRunMs), 0) << wizard->Log();
    EXPECT_TRUE(fs::exists(InstalledProduct()));
    EXPECT_TRUE(InOrder(AnalyticsOnceDelivered("E|Download|6.ProgramFinsh|Retry"),
                        {"E|Download|8.DownFail|First", "E|Download|8-1.ClickTryAgain|First",
                         "E|Download|6.ProgramFinsh|Retry"}));
}

TEST_F(EndToEndGuiTest, ClosingWhileDownloadingUploadsTheLogAsClose02) {
    ReplyWith(R"({"Downloader_config": "2"})");
    ThrottlePackage(256 << 10);
    auto wizard = OpenWizard();
    StartInstall(*wizard);
    ASSERT_TRUE(wizard->CloseFromDesktop());
    EXPECT_EQ(wizard->WaitForExit(kRunMs), 0) << wizard->Log();

    const auto uploads = server_.WaitForRecords(kUploadPath, 1, kRunMs);
    ASSERT_EQ(uploads.size(), 1u) << server_.Output();
    EXPECT_EQ(uploads[0].json["form"]["catalogue"]["value"].asString(), "close02");
    // What came in stays, with the task file that lets the next run resume it.
    EXPECT_TRUE(fs::exists(LocalPackage() + ".xml")) << wizard->Log();
    EXPECT_TRUE(InOrder(AnalyticsOnceDelivered("E|CrashRate|Close|close02"),
                        {"C|CloseDownloader|Close|ClosePosition=", "E|CrashRate|Close|close02"}));
}

TEST_F(EndToEndGuiTest, ClosedWithBackgroundRunningTheInstallFinishesHidden) {
    ReplyWith(R"({"Back_running": "1"})");
    ThrottlePackage(1 << 20);
    auto wizard = OpenWizard();
    StartInstall(*wizard);
    ASSERT_TRUE(wizard->CloseFromDesktop());
    ASSERT_TRUE(wizard->WaitForLog(" Close and run background at: ")) << wizard->Log();
    EXPECT_TRUE(Eventually([&] { return !wizard->WindowVisible(); }, 10000));

    EXPECT_EQ(wizard->WaitForExit(kRunMs), 0) << wizard->Log();
    EXPECT_TRUE(fs::exists(InstalledProduct()));
    EXPECT_NE(wizard->Log().find(" BgMode will auto exit when success"), std::string::npos) << wizard->Log();
    EXPECT_TRUE(InOrder(AnalyticsOnceDelivered("E|Download|6.ProgramFinsh|First"),
                        {"E|CrashRate|Close|close02", "E|Download|6.ProgramFinsh|First"}));
}

TEST_F(EndToEndGuiTest, ASecondStartRaisesTheFirstWindow) {
    auto first = OpenWizard();
    ASSERT_TRUE(display_.Xdotool({"windowminimize", "--sync", first->WaitForWindow()}));
    ASSERT_FALSE(first->WindowVisible());

    WizardProcess second(sandbox_);
    EXPECT_EQ(second.WaitForExit(kRunMs), 0);
    EXPECT_TRUE(Eventually([&] { return first->WindowVisible(); }, 10000)) << first->Log();
    EXPECT_FALSE(first->WaitForExit(0)) << "the first wizard goes on";
}

TEST_F(EndToEndGuiTest, ACrashOnTheInstallClickLeavesADumpThatTheRelaunchUploads) {
    WriteSettings("CrashTest=1");
    ReplyWith(R"({"Downloader_config": "1"})");
    auto wizard = OpenWizard();
    ASSERT_TRUE(wizard->WaitForLog(" [Downloader config]: 1")) << wizard->Log();
    ASSERT_TRUE(wizard->Click("install_btn"));
    EXPECT_EQ(wizard->WaitForExit(kRunMs), 128 + SIGSEGV);

    const auto uploads = server_.WaitForRecords(kUploadPath, 1, kRunMs);
    ASSERT_EQ(uploads.size(), 1u) << server_.Output();
    EXPECT_EQ(uploads[0].json["form"]["catalogue"]["value"].asString(), "CrashDmp");
    // The dump stays beside the crashed run's log.
    std::string dump;
    for (const auto& entry : fs::recursive_directory_iterator(sandbox_.appData()))
        if (entry.path().extension() == ".dmp") dump = ReadFile(entry.path());
    EXPECT_EQ(dump.substr(0, 4), "MDMP");
    EXPECT_TRUE(testsupport::WellFormedAnalytics(server_.Records()));
}

}  // namespace
