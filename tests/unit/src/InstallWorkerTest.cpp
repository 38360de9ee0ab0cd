#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <thread>

#include "Common/install_ui_mainwnd/CustomMessages.h"
#include "Common/install_ui_mainwnd/InstallWorker.h"
#include "InstallFlowDoubles.h"
#include "LogLines.h"
#include "SingleUserLog.h"
#include "platform/Process.h"
#include "platform/RegistryStore.h"
#include "support/DevServer.h"
#include "support/TempDir.h"

namespace {

using namespace installmsg;
using flowtest::RecordingAnalytics;
using flowtest::ScriptedTransfer;
using flowtest::TestWindow;
using testsupport::DevServer;
using testsupport::ReadFile;
using testsupport::ScopedEnv;
namespace fs = std::filesystem;

constexpr const char* kPackagePath = "/downloads/extra/zembramorvanta_zembram.exe";
constexpr const char* kPackageName = "zembramorvanta_zembram_1.0.0.0.exe";

// One worker against the devserver (download information, error reports)
// with the download rounds scripted and the real demo setup package.
class InstallWorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Started());
        WriteSettings("");
        packageSource_ = flowtest::DemoPackage();
        server_.AddFile(kPackagePath, ReadFile(packageSource_));
        CSingleUserLog::GetInstance().InitLogPaths("zembramorvanta_zembram");
        CSingleUserLog::GetInstance().backgroundMode = false;
        CSingleUserLog::GetInstance().toolsLangFrozen = false;
    }
    void TearDown() override { CSingleUserLog::GetInstance().backgroundMode = false; }

    void WriteSettings(const std::string& settings) {
        temp_.WriteFile("qk_downloader.cfg", "[Settings]\n" + settings + "\n" + server_.HostsSection(false) +
                                                 "CaFile=" + flowtest::DemoRoots() + "\n");
    }
    std::string PackageUrl() const { return server_.BaseUrl() + kPackagePath; }
    LabelList Labels() const {
        return {{"Downloader_id", "499"},       {"Site_id", "412"},
                {"Language_id", "1033"},        {"Software_name", "Zembra Morvanta"},
                {"Software_version", "1.0.0.0"}, {"Process_name", "ZembraMorvanta.exe"},
                {"Download_url", PackageUrl()}, {"Extra_download_url", PackageUrl()},
                {"NeedStart_flag", "1"},        {"InstallTimeout", "240"},
                {"product_url_english", "https://www.example.com/thanks?lang=en"}};
    }
    std::string WorkDir() const { return CSingleUserLog::GetInstance().GetWorkDir(); }
    std::string LocalPackage() const { return WorkDir() + "/" + kPackageName; }

    // Runs a worker over window with rounds scripted as results.
    int Run(TestWindow& window, std::vector<int> results) {
        transfer_ = std::make_unique<ScriptedTransfer>(packageSource_, std::move(results));
        InstallWorker worker(window, Services());
        return worker.Run();
    }
    InstallWorker::Services Services() {
        InstallWorker::Services services(analytics_, *transfer_);
        services.tickMs = [this] { return now_.load(); };
        services.sleepMs = [this](int ms) { slept_ += ms; };
        services.openUrl = [this](const std::string& url) {
            opened_.push_back(url);
            return true;
        };
        services.osVersion = [this] { return osVersion_; };
        services.relaunch = [this](const std::string& path) {
            relaunched_.push_back(path);
            return InstallWorker::Relaunch{4242, 0};
        };
        return services;
    }
    std::unique_ptr<TestWindow> Window() {
        auto window = std::make_unique<TestWindow>(Labels());
        window->installDir = temp_.str() + "/opt/Zembra/Zembra Morvanta";
        return window;
    }
    std::vector<testsupport::DevServerRecord> Reports() const { return server_.RecordsFor("/api/exception/send"); }

    DevServer server_;
    testsupport::TempDir temp_;
    ScopedEnv settings_{"ZEMBRA_SETTINGS_FILE", temp_.str() + "/qk_downloader.cfg"};
    ScopedEnv appData_{"APPDATA", temp_.str() + "/appdata"};
    ScopedEnv workRoot_{"ZEMBRA_WORK_ROOT", temp_.str() + "/work"};
    ScopedEnv registry_{"ZEMBRA_REGISTRY_DIR", temp_.str() + "/registry"};
    std::string packageSource_;
    RecordingAnalytics analytics_;
    std::unique_ptr<ScriptedTransfer> transfer_;
    std::atomic<std::int64_t> now_{100000};
    int slept_ = 0;
    float osVersion_ = 10.0f;
    std::vector<std::string> opened_;
    std::vector<std::string> relaunched_;
    LogLines log_;
};

TEST_F(InstallWorkerTest, FirstInstallFromDownloadToStartClick) {
    auto window = Window();
    window->RunState().installClickTick = 90000;
    EXPECT_EQ(Run(*window, {1}), 0);

    const std::vector<unsigned> messages = {kVerifyStarted, kSetupStarted, kInstallComplete};
    EXPECT_EQ(window->MessageIds(), messages);
    EXPECT_TRUE(fs::exists(window->installDir + "/ZembraMorvanta.exe"));
    EXPECT_EQ(window->startAppClicks, 1);
    EXPECT_TRUE(window->RunState().workerStarted);
    EXPECT_TRUE(window->RunState().setupFinished);
    EXPECT_EQ(window->RunState().verificationDone, 1);
    EXPECT_EQ(window->RunState().UsedDownloadAddress(), PackageUrl());
    EXPECT_EQ(window->RunState().packageSize, static_cast<std::int64_t>(fs::file_size(packageSource_)));
    // The download hook fills the bar up to 85; the rest is the window's.
    EXPECT_EQ(window->ProgressSeen(), (std::vector<int>{42, 85, 99}));
    EXPECT_EQ(transfer_->urls, std::vector<std::string>{PackageUrl()});
    EXPECT_EQ(transfer_->mains, std::vector<bool>{true});
    EXPECT_EQ(transfer_->md5Checks, 1);
    EXPECT_EQ(opened_, std::vector<std::string>{"https://www.example.com/thanks?lang=en"});
    EXPECT_TRUE(CSingleUserLog::GetInstance().toolsLangFrozen);
    // Package, task file and marker are gone once the product is installed.
    EXPECT_FALSE(fs::exists(LocalPackage()));
    EXPECT_FALSE(fs::exists(LocalPackage() + ".db"));
    EXPECT_TRUE(Reports().empty());
    EXPECT_EQ(platform::RegistryStore::ReadString(
                  platform::RegistryHive::LocalMachine,
                  "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{Zembra Morvanta}_is1",
                  "Inno Setup: Language")
                  .value_or(""),
              "en");

    const std::vector<std::string> expected = {
        "L|0|1.0.0.0",
        "P|Download|DownloadConfigReady|default_config|0",
        "E|Download|3.Downloading...|First|0",
        "F|2|CoreFuncEvent|Downloading|Download|Downloading|null|0",
        "P|Download|Use download address|Use download address Type|Download_url-1",
        "P|Download|SliceDownloadStart||",
        analytics_.Calls().at(6),  // PackageSize, checked below
        "F|3|CoreFuncEvent|Downloading|Download|DownFinsh|null|0",
        "E|Other|MDownloadTime|0|0",
        "F|0|CoreFuncEvent|Downloading|Download|CoreFuncEnd|null|0",
        analytics_.Calls().at(10),  // DownloadSpeed, checked below
        "E|Other|DownloadTime|0|0",
        "P|RunningTime|DownloadDuration|DownloadCompleted|10",
        "P|Download|DownloadSuccess||",
        "M|Download|MDownSuccess|AddressType=NO;Download address=Download_url;",
        "E|Download|Md5CheckStart||0",
        "F|0|CoreFuncEvent|Md5Check|Download|CoreFuncStart|null|0",
        "F|1|CoreFuncEvent|Md5Check|Download|Md5CheckStart|null|0",
        "E|Other|MMD5CheckTime|0|0",
        "F|2|CoreFuncEvent|Md5Check|Download|Md5CheckFinsh|null|0",
        "E|Other|MD5CheckTime|0|0",
        "F|0|CoreFuncEvent|Md5Check|Download|CoreFuncEnd|null|0",
        "P|RunningTime|VerificationDuration|VerificationDurationPar|0",
        "E|Download|Md5CheckFinsh||0",
        "E|Download|4.DownFinsh|First|0",
        "E|Download|5.ProgramInstall|First|0",
        "F|0|CoreFuncEvent|Installing|Download|CoreFuncStart|null|0",
        "F|1|CoreFuncEvent|Installing|Download|ProgramInstall|null|0",
        "E|Other|MInstallTime|0|0",
        "F|2|CoreFuncEvent|Installing|Download|ProgramFinsh|null|1",
        "E|Download|6.ProgramFinsh|First|1",
        "F|0|CoreFuncEvent|Installing|Download|CoreFuncEnd|null|0",
        "E|Other|InstallTime|0|0",
        "E|Other|ProductVersion|1.0.0.0|0",
        "P|RunningTime|ActualTime|InstCompletedClosed|0",
    };
    EXPECT_EQ(analytics_.Calls(), expected);
    char sizeText[32];
    std::snprintf(sizeText, sizeof sizeText, "%.2fMB", static_cast<double>(fs::file_size(packageSource_)) / 1048576);
    EXPECT_EQ(analytics_.Calls().at(6), std::string("E|Other|PackageSize|") + sizeText + "|0");
    // The download took no measurable time: it counts as one second.
    std::snprintf(sizeText, sizeof sizeText, "%.2fMB/s", static_cast<double>(fs::file_size(packageSource_)) / 1048576);
    EXPECT_EQ(analytics_.Calls().at(10), std::string("E|Other|DownloadSpeed|") + sizeText + "|0");

    EXPECT_TRUE(log_.Has(" Tasks info, round begin, current = 1, total = 12"));
    EXPECT_TRUE(log_.Has(" Tasks info, round end, current = 1, total = 12, result = 1"));
    EXPECT_FALSE(log_.HasPart("The Retry Frequency is: "));
    EXPECT_TRUE(log_.Has(" Open Url: https://www.example.com/thanks?lang=en"));
    EXPECT_TRUE(log_.Has(" install Finished, progress: 99"));
    EXPECT_TRUE(log_.HasPart(" [Start Install CmdLine]:  /VERYSILENT /SP- /NORESTART /DIR=\""));
    EXPECT_TRUE(log_.Has(" Install Totally Take 0.0 minutes And Send To Server"));
    EXPECT_TRUE(log_.Has(" Clear cache: 1, 0"));
}

TEST_F(InstallWorkerTest, ReusesAVerifiedPackageThroughItsMarker) {
    fs::create_directories(WorkDir());
    fs::copy_file(packageSource_, LocalPackage());
    std::string md5 = flowtest::Md5Of(packageSource_);
    for (char& c : md5) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::ofstream(LocalPackage() + ".db") << "1.0.0.0###" << md5;
    std::ofstream(LocalPackage() + ".xml") << "<tasks/>";

    auto window = Window();
    EXPECT_EQ(Run(*window, {1}), 0);
    EXPECT_EQ(transfer_->packageExistedAtStart, std::vector<bool>{true}) << "the package was kept";
    EXPECT_TRUE(fs::exists(window->installDir + "/ZembraMorvanta.exe"));
}

TEST_F(InstallWorkerTest, AClosedWizardGetsNoFurtherRoundNorVerificationNorSetup) {
    auto failing = Window();
    failing->closing = true;
    EXPECT_EQ(Run(*failing, {10, 1}), -1);
    EXPECT_EQ(transfer_->packageExistedAtStart.size(), 1u) << "no second round after the close";
    EXPECT_EQ(analytics_.Count("E|Other|FlowError|DL011|0"), 0u) << "a stopped round is no failure";

    auto downloaded = Window();
    downloaded->closing = true;
    EXPECT_EQ(Run(*downloaded, {1}), -1);
    EXPECT_TRUE(log_.Has(" Install worker stops: the wizard was closed"));
    EXPECT_TRUE(fs::exists(LocalPackage())) << "the download stays for the next run";
    EXPECT_FALSE(fs::exists(downloaded->installDir + "/ZembraMorvanta.exe"));
    EXPECT_EQ(downloaded->MessageIds(), std::vector<unsigned>{}) << "neither verified nor installed";
}

TEST_F(InstallWorkerTest, AMarkerOfAnotherVersionDeletesThePackageFirst) {
    fs::create_directories(WorkDir());
    std::ofstream(LocalPackage()) << "old package";
    std::ofstream(LocalPackage() + ".xml") << "<tasks/>";
    std::ofstream(LocalPackage() + ".db") << "0.9.0.0###" << flowtest::Md5Of(packageSource_);
    auto window = Window();
    transfer_ = std::make_unique<ScriptedTransfer>(packageSource_, std::vector<int>{10});
    InstallWorker worker(*window, Services());
    EXPECT_EQ(worker.Run(), -1);
    EXPECT_EQ(transfer_->packageExistedAtStart.front(), false);
    EXPECT_FALSE(fs::exists(LocalPackage() + ".xml"));
    EXPECT_FALSE(fs::exists(LocalPackage() + ".db"));
}

TEST_F(InstallWorkerTest, TamperedPackageIsReportedAndNeverRun) {
    // The server describes the tampered file, so only the signature fails.
    const std::string tampered = temp_.str() + "/tampered.exe";
    std::string bytes = ReadFile(packageSource_);
    bytes[bytes.size() / 3] ^= 0x5A;
    std::ofstream(tampered, std::ios::binary) << bytes;
    server_.AddFile(kPackagePath, bytes);
    packageSource_ = tampered;

    auto window = Window();
    EXPECT_EQ(Run(*window, {1}), -1);
    const std::vector<unsigned> messages = {kVerifyStarted, kSignatureInvalid};
    EXPECT_EQ(window->MessageIds(), messages);
    EXPECT_EQ(window->RunState().verificationDone, 1);
    EXPECT_FALSE(fs::exists(window->installDir)) << "no setup started";
    EXPECT_TRUE(analytics_.InOrder({"E|Download|Md5CheckFinsh||0", "E|Other|FlowError|DL014|0"}));
    EXPECT_EQ(analytics_.Find("E|Download|4.DownFinsh|First|0"), std::string::npos);
    const auto reports = Reports();
    ASSERT_EQ(reports.size(), 1u);
    const std::string queryUrl = window->Configuration().GetQueryUrl();
    EXPECT_EQ(reports[0].body,
              "pid=499&type=2&exception_code=Hash_Check_Fail_Cfg1&other=" + queryUrl + "," + PackageUrl());
    EXPECT_TRUE(log_.Has(" Send error report2, response is {\"code\":0,\"msg\":\"ok\"}, return 0"));
}

TEST_F(InstallWorkerTest, APackageSwappedRightAfterItsChecksIsNeverWhatRuns) {
    const std::string swappedIn = temp_.str() + "/swapped-in.exe";
    const std::string ranMarker = temp_.str() + "/swapped-bytes-ran";
    std::ofstream(swappedIn) << "#!/bin/sh\necho ran > '" << ranMarker << "'\n";
    fs::permissions(swappedIn, fs::perms::owner_all);
    bool swapped = false;
    analytics_.onCall = [&](const std::string& call) {
        if (call != "E|Download|4.DownFinsh|First|0") return;
        // Another process puts its file in the package's place once both checks passed.
        const pid_t mover = platform::SpawnProcess({"/bin/mv", "-f", swappedIn, LocalPackage()});
        swapped = platform::WaitForProcess(mover, -1).exitCode == 0 && ReadFile(LocalPackage()).rfind("#!", 0) == 0;
    };
    auto window = Window();
    EXPECT_EQ(Run(*window, {1}), 0);
    ASSERT_TRUE(swapped);
    EXPECT_FALSE(fs::exists(ranMarker)) << "the swapped-in file ran";
    EXPECT_TRUE(fs::exists(window->installDir + "/ZembraMorvanta.exe")) << "the checked package ran";
}

TEST_F(InstallWorkerTest, Md5MismatchWithAValidSignatureStillInstalls) {
    server_.SetRule(R"({"path": "/queryDownloaderV2", "queryReply": {"fields": {"Md5": "00000000000000000000000000000000"}}})");
    auto window = Window();
    EXPECT_EQ(Run(*window, {1}), 0);
    EXPECT_EQ(analytics_.Count("E|Other|FlowError|DL013|0"), 1u);
    const auto reports = Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].body.rfind("pid=499&type=2&exception_code=MD5_Check_Fail_Cfg1&other=", 0), 0u);
    EXPECT_TRUE(fs::exists(window->installDir + "/ZembraMorvanta.exe"));
    EXPECT_EQ(window->MessageIds().back(), kInstallComplete);
}

TEST_F(InstallWorkerTest, Md5AndSignatureBothFailing) {
    server_.SetRule(R"({"path": "/queryDownloaderV2", "queryReply": {"fields": {"Md5": "00000000000000000000000000000000"}}})");
    const std::string unsignedPackage = flowtest::MakeDemoPackage(temp_.str() + "/unsigned", "--unsigned");
    ASSERT_FALSE(unsignedPackage.empty());
    packageSource_ = unsignedPackage;
    auto window = Window();
    EXPECT_EQ(Run(*window, {1}), -1);
    EXPECT_EQ(analytics_.Count("E|Other|FlowError|DL015|0"), 1u);
    ASSERT_EQ(Reports().size(), 1u);
    EXPECT_EQ(Reports()[0].body.rfind("pid=499&type=2&exception_code=MD5_Hash_Check_Fail_Cfg1&other=", 0), 0u);
    EXPECT_EQ(window->MessageIds().back(), kSignatureInvalid);
}

TEST_F(InstallWorkerTest, NoUsableAddress) {
    server_.SetRule(R"({"path": "/queryDownloaderV2", "queryReply": {"fields": {
        "Download_url": "https://cdn.example.com/a.exe", "Extra_download_url": "https://dl.example.com/a.exe"}}})");
    auto window = Window();
    EXPECT_EQ(Run(*window, {1}), -1);
    ASSERT_EQ(window->Messages().size(), 1u);
    EXPECT_EQ(window->Messages()[0].message, kDownloadFailed);
    EXPECT_EQ(window->Messages()[0].wParam, 14u);
    EXPECT_EQ(window->Configuration().LoadState, CConfigure::LoadStateEmpty);
    EXPECT_TRUE(transfer_->urls.empty());
    EXPECT_EQ(analytics_.Calls().back(), "E|Other|FlowError|DL023|0");
    EXPECT_TRUE(log_.Has("url is empty"));
}

TEST_F(InstallWorkerTest, TwelveFailedRounds) {
    auto window = Window();
    EXPECT_EQ(Run(*window, {10}), -1);
    EXPECT_EQ(transfer_->urls.size(), 12u);
    EXPECT_EQ(analytics_.Count("E|Other|FlowError|DL011|0"), 12u);
    EXPECT_EQ(analytics_.Count("P|Download|Use download address|Use download address Type|Download_url-12"), 1u);
    for (int count = 0; count <= 11; ++count)
        EXPECT_TRUE(log_.Has(" The Retry Frequency is: " + std::to_string(count))) << count;
    EXPECT_TRUE(analytics_.InOrder({"E|Other|FlowError|DL011|0", "F|3|CoreFuncEvent|Downloading|Download|DownFinsh|null|0",
                                    "E|Other|DownloadSpeed|0.00MB/s|0", "E|Other|DownErrorCode|error_10|0"}));
    ASSERT_EQ(window->Messages().size(), 1u);
    EXPECT_EQ(window->Messages()[0].message, kDownloadFailed);
    EXPECT_EQ(window->Messages()[0].wParam, 10u);
}

TEST_F(InstallWorkerTest, SuccessInTheThirdRound) {
    auto window = Window();
    transfer_ = std::make_unique<ScriptedTransfer>(packageSource_, std::vector<int>{9, 13, 1});
    transfer_->cdnReportText = "cdn:none";
    InstallWorker worker(*window, Services());
    EXPECT_EQ(worker.Run(), 0);
    EXPECT_TRUE(analytics_.InOrder({"E|Other|CDNInfor|cdn:none|0", "E|Other|FlowError|DL010|0",
                                    "E|Other|CDNInfor|cdn:none|0", "E|Other|FlowError|DL022|0",
                                    "E|Other|CDNInfor|cdn:none|0", "P|Download|DownloadSuccess||"}));
    EXPECT_TRUE(log_.Has("Success\xEF\xBC\x8CThe Retry Frequency is: 2"));
    const auto reports = Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].body, "pid=499&type=2&exception_code=Url_Too_Many_Redirects&other=" +
                                   window->Configuration().GetQueryUrl() + "," + PackageUrl());
    EXPECT_TRUE(log_.Has(" Send error report1, response is {\"code\":0,\"msg\":\"ok\"}, return 0"));
}

TEST_F(InstallWorkerTest, EmbeddedConfigurationSkipsTheMd5ButNotTheSignature) {
    server_.SetRule(R"({"path": "/queryDownloaderV2", "status": 500, "body": "no"})");
    auto window = Window();
    EXPECT_EQ(Run(*window, {1}), 0);
    EXPECT_EQ(window->Configuration().LoadSource, CConfigure::LoadSourceFile);
    EXPECT_EQ(transfer_->md5Checks, 0);
    EXPECT_EQ(analytics_.Count("P|Download|DownloadConfigReady|default_config|1"), 1u);
    EXPECT_TRUE(log_.Has(" Configure Load From File, clearAppData Before Download! "));
    EXPECT_TRUE(log_.HasPart(" VerifyEmbeddedSignature result is "));
    EXPECT_EQ(server_.RecordsFor("/queryDownloaderV2").size(), 2u) << "global, then regional";
}

TEST_F(InstallWorkerTest, OldSystemsProbeTheirPackageAndFallBack) {
    const std::string oldPackage = server_.BaseUrl() + "/downloads/extra/zembramorvanta_zbwin.exe";
    server_.SetRule(R"({"path": "/queryDownloaderV2", "queryReply": {"fields": {"Download_url": ")" + oldPackage +
                    R"("}}})");
    osVersion_ = 7.0f;
    auto window = Window();
    EXPECT_EQ(Run(*window, {1}), 0);
    EXPECT_EQ(server_.RecordsFor("/downloads/extra/zembramorvanta_zbwin.exe").size(), 1u);
    EXPECT_TRUE(log_.HasPart(" Curl check win78 link, http code is 404, curl code is 0"));
    EXPECT_TRUE(log_.Has(" UrlUsed change to: " + PackageUrl()));
    EXPECT_EQ(transfer_->urls, std::vector<std::string>{PackageUrl()});
}

TEST_F(InstallWorkerTest, CurrentSystemsNeverProbe) {
    const std::string oldPackage = server_.BaseUrl() + "/downloads/extra/zembramorvanta_zbwin.exe";
    server_.SetRule(R"({"path": "/queryDownloaderV2", "queryReply": {"fields": {"Download_url": ")" + oldPackage +
                    R"("}}})");
    auto window = Window();
    transfer_ = std::make_unique<ScriptedTransfer>(packageSource_, std::vector<int>{10});
    InstallWorker worker(*window, Services());
    worker.Run();
    EXPECT_TRUE(server_.RecordsFor("/downloads/extra/zembramorvanta_zbwin.exe").empty());
    EXPECT_EQ(transfer_->urls.front(), oldPackage);
    EXPECT_TRUE(NeedsOldWindowsProbe(8.1f, oldPackage));
    EXPECT_FALSE(NeedsOldWindowsProbe(10.0f, oldPackage));
    EXPECT_FALSE(NeedsOldWindowsProbe(7.0f, PackageUrl()));
}

TEST_F(InstallWorkerTest, APackageThatIsTheProductIsNotInstalled) {
    server_.SetRule(R"({"path": "/queryDownloaderV2", "queryReply": {"fields": {"Extra_download_url": ")" +
                    server_.BaseUrl() + R"(/downloads/extra/zembramorvanta.apk"}}})");
    auto window = Window();
    EXPECT_EQ(Run(*window, {1}), 1);
    EXPECT_EQ(window->MessageIds(), std::vector<unsigned>{kNothingToInstall});
    EXPECT_TRUE(log_.Has("APP DownloaderSucceed"));
    EXPECT_EQ(transfer_->md5Checks, 0);
}

TEST_F(InstallWorkerTest, UnattendedModeStartsOverInsteadOfStartingTheProduct) {
    WriteSettings("AutoRun=1");
    auto window = Window();
    EXPECT_EQ(Run(*window, {1}), 0);
    EXPECT_EQ(slept_, 2000);
    for (int step = 1; step <= 8; ++step)
        EXPECT_TRUE(log_.HasPart(" Force Exit " + std::to_string(step))) << step;
    EXPECT_TRUE(log_.Has(" Force Exit 7 error code = 4242, 0"));
    EXPECT_EQ(relaunched_, std::vector<std::string>{platform::CurrentExecutablePath()});
    EXPECT_EQ(window->MessageIds().back(), kClose);
    EXPECT_EQ(window->startAppClicks, 0);
}

TEST_F(InstallWorkerTest, CompletionWaitsForTheProgressDisplay) {
    auto window = Window();
    window->barAt99AfterSetupStart = false;
    transfer_ = std::make_unique<ScriptedTransfer>(packageSource_, std::vector<int>{1});
    CSingleUserLog::GetInstance().backgroundMode = true;
    InstallWorker worker(*window, Services());
    std::thread thread([&] { worker.Run(); });
    // The worker has seen the setup end with the bar below 99 ...
    for (int i = 0; i < 6000 && !log_.Has(" install Finished, progress: 85"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(log_.Has(" install Finished, progress: 85"));
    EXPECT_FALSE(window->WaitForMessage(kInstallComplete, std::chrono::milliseconds(300)));
    // ... and reports completion only once the display signals its end.
    window->RunState().progressFinished.Set();
    EXPECT_TRUE(window->WaitForMessage(kInstallComplete));
    thread.join();
    EXPECT_EQ(analytics_.Count("P|InstallationSuccessful|ProgramInstallSuccess|PSuccessbackend|"), 1u);
}

TEST(DownloadProgressTest, FiguresOfTheHook) {
    EXPECT_EQ(DownloadPercent(0, 100), 0);
    EXPECT_EQ(DownloadPercent(50, 100), 42);
    EXPECT_EQ(DownloadPercent(100, 100), 85);
    EXPECT_EQ(DownloadPercent(200, 100), 85);
    EXPECT_EQ(DownloadPercent(-5, 100), 0);
    EXPECT_EQ(DownloadPercent(5, 0), 0);
    EXPECT_EQ(PackageSizeText(3 * 1048576 / 2), "1.50MB");
    EXPECT_EQ(DownloadSpeedText(10 * 1048576, 4), "2.50MB/s");
    EXPECT_EQ(DownloadSpeedText(10 * 1048576, 0), "10.00MB/s");
    EXPECT_EQ(DownloadSpeedText(0, 0), "0.00MB/s");
    EXPECT_EQ(InstallMinutesText(0), "0.0");
    EXPECT_EQ(InstallMinutesText(119000), "2.0");  // 1.983 minutes: 1.98, then printed
    EXPECT_EQ(InstallMinutesText(90000), "1.5");
}

}  // namespace
