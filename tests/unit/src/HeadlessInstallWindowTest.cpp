#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "Common/HeadlessInstallWindow.h"
#include "Common/install_ui_mainwnd/InstallWorker.h"
#include "InstallFlowDoubles.h"
#include "SingleUserLog.h"
#include "support/DevServer.h"
#include "support/TempDir.h"

namespace {

using testsupport::ReadFile;
using testsupport::ScopedEnv;
namespace fs = std::filesystem;

constexpr const char* kPackagePath = "/downloads/extra/zembramorvanta_zembram.exe";

// The whole run with the window's real timers on the real clock: only the
// download rounds are scripted.
class HeadlessInstallWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Started());
        temp_.WriteFile("qk_downloader.cfg", "[Settings]\n" + server_.HostsSection(false) +
                                                 "CaFile=" + flowtest::DemoRoots() + "\n");
        server_.AddFile(kPackagePath, ReadFile(flowtest::DemoPackage()));
        CSingleUserLog::GetInstance().InitLogPaths("zembramorvanta_zembram");
    }

    HeadlessInstallWindow::Options Options(std::vector<int> results) {
        HeadlessInstallWindow::Options options;
        const std::string url = server_.BaseUrl() + kPackagePath;
        options.labels = {{"Downloader_id", "499"},       {"Site_id", "412"},
                          {"Language_id", "1033"},        {"Software_name", "Zembra Morvanta"},
                          {"Software_version", "1.0.0.0"}, {"Process_name", "ZembraMorvanta.exe"},
                          {"Download_url", url},          {"Extra_download_url", url},
                          {"NeedStart_flag", "1"},        {"InstallTimeout", "240"}};
        options.installRoot = temp_.str() + "/opt/Zembra";
        options.print = [this](const std::string& line) { printed_.push_back(line); };
        options.worker = [this, results](IInstallWindowPort& window) {
            flowtest::ScriptedTransfer transfer(flowtest::DemoPackage(), results);
            InstallWorker::Services services(analytics_, transfer);
            services.openUrl = [](const std::string&) { return true; };
            InstallWorker(window, services).Run();
        };
        return options;
    }
    std::vector<int> PrintedPercents() const {
        std::vector<int> percents;
        for (const auto& line : printed_)
            if (line.size() > 10 && line.back() == '%') percents.push_back(std::stoi(line.substr(10)));
        return percents;
    }

    testsupport::DevServer server_;
    testsupport::TempDir temp_;
    ScopedEnv settings_{"ZEMBRA_SETTINGS_FILE", temp_.str() + "/qk_downloader.cfg"};
    ScopedEnv appData_{"APPDATA", temp_.str() + "/appdata"};
    ScopedEnv workRoot_{"ZEMBRA_WORK_ROOT", temp_.str() + "/work"};
    ScopedEnv registry_{"ZEMBRA_REGISTRY_DIR", temp_.str() + "/registry"};
    flowtest::RecordingAnalytics analytics_;
    std::vector<std::string> printed_;
};

TEST_F(HeadlessInstallWindowTest, InstallsAndStartsTheProduct) {
    HeadlessInstallWindow window(Options({1}));
    EXPECT_EQ(window.GetInstallDir(), temp_.str() + "/opt/Zembra/Zembra Morvanta");
    EXPECT_EQ(window.Run(), HeadlessInstallWindow::Outcome::Installed);
    window.WaitForAllThreadExit();

    const std::string product = window.GetInstallDir() + "/ZembraMorvanta.exe";
    EXPECT_TRUE(fs::exists(product));
    const auto percents = PrintedPercents();
    ASSERT_FALSE(percents.empty());
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_NE(std::find(percents.begin(), percents.end(), 85), percents.end());
    EXPECT_NE(std::find(percents.begin(), percents.end(), 90), percents.end());
    EXPECT_GE(percents.back(), 98);
    EXPECT_LE(percents.back(), 99);
    EXPECT_NE(std::find(printed_.begin(), printed_.end(), "[install] installed into " + window.GetInstallDir()),
              printed_.end());
    EXPECT_EQ(printed_.back(), "[install] started " + product);
    // The product leaves a note beside itself when it runs.
    const std::string note = window.GetInstallDir() + "/ZembraMorvanta.started";
    for (int i = 0; i < 3000 && !fs::exists(note); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(fs::exists(note));
}

TEST_F(HeadlessInstallWindowTest, AFailedDownloadEndsTheRun) {
    HeadlessInstallWindow window(Options({10}));
    EXPECT_EQ(window.Run(), HeadlessInstallWindow::Outcome::DownloadFailed);
    EXPECT_EQ(window.DownloadFailureReason(), 10);
    EXPECT_EQ(printed_.back(), "[install] the download failed (reason 10)");
    EXPECT_FALSE(fs::exists(window.GetInstallDir()));
}

TEST_F(HeadlessInstallWindowTest, TheSettingsFileAsksForIt) {
    EXPECT_FALSE(HeadlessInstallRequested());
    temp_.WriteFile("qk_downloader.cfg", "[Headless]\nInstall=1\n");
    EXPECT_TRUE(HeadlessInstallRequested());
    temp_.WriteFile("qk_downloader.cfg", "[Settings]\nInstall=1\n[Headless]\nInstall=2\n");
    EXPECT_FALSE(HeadlessInstallRequested());
}

}  // namespace
