// The install flow end to end without a window: the real download engine,
// signature check, demo setup and logger against the devserver. One test
// runs the installer program as the README's run command does; the others
// run the same headless window in this process, with configuration labels
// of their own (a short setup time-out, say).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <list>
#include <regex>

#include <thread>

#include "Common/HeadlessInstallWindow.h"
#include "SingleUserLog.h"
#include "platform/Process.h"
#include "platform/RegistryStore.h"
#include "support/AnalyticsRecords.h"
#include "support/DemoPackage.h"
#include "support/DevServer.h"
#include "support/InstallerSandbox.h"
#include "support/TempDir.h"
#include "platform/EmbeddedResources.h"
#include "uitoolkit/markup/SkinArchive.h"

namespace fs = std::filesystem;
using testsupport::AnalyticsStream;
using testsupport::CountOf;
using testsupport::DevServer;
using testsupport::DevServerRecord;
using testsupport::InOrder;
using testsupport::InstallerSandbox;
using testsupport::ReadFile;
using testsupport::ScopedEnv;
using Outcome = HeadlessInstallWindow::Outcome;

namespace {

constexpr const char* kPackagePath = "/downloads/extra/zembramorvanta_zembram.exe";
constexpr const char* kRunName = "zembramorvanta_zembram";
constexpr const char* kLanguageKey =
    "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{Zembra Morvanta}_is1";
constexpr const char* kReportPath = "/api/exception/send";

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The percentages the headless window printed, in order.
std::vector<int> PrintedPercents(const std::vector<std::string>& lines) {
    static const std::regex percent(R"(^\[install\] (\d+)%$)");
    std::vector<int> percents;
    std::smatch match;
    for (const auto& line : lines)
        if (std::regex_match(line, match, percent)) percents.push_back(std::stoi(match[1]));
    return percents;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

void ExpectProgressThroughTheEstimate(const std::vector<int>& percents) {
    ASSERT_FALSE(percents.empty());
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    const auto at85 = std::find(percents.begin(), percents.end(), 85);
    const auto at90 = std::find(percents.begin(), percents.end(), 90);
    EXPECT_NE(at85, percents.end());
    EXPECT_NE(at90, percents.end());
    EXPECT_LT(at85, at90);
    EXPECT_GE(percents.back(), 98);
    EXPECT_LE(percents.back(), 99) << "nothing on the completion path sets 100";
}

void KillProcessesOf(const std::string& executable) {
    for (const auto& process : platform::ListProcesses())
        if (process.executable == executable) platform::TerminateProcess(process.pid);
}

class InstallFlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Started());
        // The in-process runs read the embedded configuration, as the program does.
        const auto archive = platform::EmbeddedSkinArchive();
        ASSERT_TRUE(ZembraUI::CSkinArchive::OpenFromMemory(archive.data(), archive.size()));
        ServePackage(ReadFile(testsupport::DemoPackagePath()));
        sandbox_.WriteSettings("[Settings]\n" + server_.HostsSection(false) + "CaFile=" + testsupport::DemoRoots() +
                               "\n\n[Headless]\nInstall=1\n");
    }

    void ServePackage(const std::string& bytes) { server_.AddFile(kPackagePath, bytes); }
    std::string PackageUrl() const { return server_.BaseUrl() + kPackagePath; }
    std::string InstallDir() const { return sandbox_.root().str() + "/programs/Zembra/Zembra Morvanta"; }
    std::string WorkDir() const { return sandbox_.workRoot() + "/QKDownloader/" + kRunName; }
    std::string LocalPackage() const { return WorkDir() + "/zembramorvanta_zembram_1.0.0.0.exe"; }

    // In this process, as the program would run, with the sandbox's folders.
    struct InProcessRun {
        Outcome outcome;
        int reason;
        std::vector<std::string> printed;
    };
    InProcessRun RunInProcess(const std::string& installTimeout = "240") {
        std::list<ScopedEnv> environment;
        for (const std::string& entry : sandbox_.Environment()) {
            const auto equals = entry.find('=');
            environment.emplace_back(entry.substr(0, equals), entry.substr(equals + 1));
        }
        CSingleUserLog::GetInstance().InitLogPaths(kRunName);

        HeadlessInstallWindow::Options options;
        for (auto& [name, text] : options.labels)
            if (name == "InstallTimeout") text = installTimeout;
        options.installRoot = sandbox_.root().str() + "/programs/Zembra";
        InProcessRun run{Outcome::Running, 0, {}};
        options.print = [&run](const std::string& line) { run.printed.push_back(line); };
        options.startProduct = false;
        HeadlessInstallWindow window(std::move(options));
        run.outcome = window.Run();
        window.WaitForAllThreadExit();
        run.reason = window.DownloadFailureReason();
        return run;
    }

    testsupport::InstallerRun RunProgram() {
        const auto run = sandbox_.Run({"debug"}, 240000);
        EXPECT_TRUE(run.exited) << run.standardOutput;
        EXPECT_EQ(run.exitCode, 0);
        return run;
    }
    // The first run's log (a resend process writes a log of its own).
    std::string RunLog() const {
        std::vector<std::string> logs;
        for (const auto& path : sandbox_.LogFiles())
            if (Contains(path, std::string("/logs/") + kRunName + "/" + kRunName + "_")) logs.push_back(path);
        std::sort(logs.begin(), logs.end());
        return logs.empty() ? "" : ReadFile(logs.front());
    }

    // Analytics a run did not deliver before it ended wait on disk for the
    // resend process, which the window starts when it goes (a headless run
    // leaves that to the next start): run it, then read what arrived.
    std::vector<std::string> DeliveredAnalytics() {
        const auto resend = sandbox_.Run({"-sendrestlogs"}, 180000);
        EXPECT_TRUE(resend.exited);
        const auto records = server_.Records();
        EXPECT_TRUE(testsupport::WellFormedAnalytics(records));
        return AnalyticsStream(records);
    }

    std::vector<DevServerRecord> Reports() const { return server_.RecordsFor(kReportPath); }
    std::vector<DevServerRecord> RangeRequests() const {
        std::vector<DevServerRecord> ranged;
        for (const auto& record : server_.RecordsFor(kPackagePath))
            if (!record.Header("Range").empty()) ranged.push_back(record);
        return ranged;
    }

    DevServer server_{DevServer::Options{false, ""}};
    InstallerSandbox sandbox_;
};

TEST_F(InstallFlowTest, FirstInstallThroughTheRunCommand) {
    const auto run = RunProgram();

    ExpectProgressThroughTheEstimate(PrintedPercents(Lines(run.standardOutput)));
    EXPECT_TRUE(Contains(run.standardOutput, "[install] installed into " + InstallDir())) << run.standardOutput;
    EXPECT_TRUE(Contains(run.standardOutput, "[install] started " + InstallDir() + "/ZembraMorvanta.exe"));
    EXPECT_TRUE(fs::exists(InstallDir() + "/ZembraMorvanta.exe"));
    // The language went to where the installed product reads it.
    ScopedEnv registry("ZEMBRA_REGISTRY_DIR", sandbox_.registryDir());
    EXPECT_EQ(platform::RegistryStore::ReadString(platform::RegistryHive::LocalMachine, kLanguageKey,
                                                  "Inno Setup: Language")
                  .value_or(""),
              "en");

    EXPECT_EQ(server_.RecordsFor("/queryDownloaderV2").size(), 1u);
    EXPECT_FALSE(RangeRequests().empty()) << "the package came in ranges";
    EXPECT_TRUE(Reports().empty());
    EXPECT_FALSE(fs::exists(LocalPackage())) << "the package is cleared after the install";
    EXPECT_TRUE(fs::exists(WorkDir() + "/1.png")) << "the remote banners came with the run";

    const std::string log = RunLog();
    EXPECT_TRUE(Contains(log, " Tasks info, round end, current = 1, total = 12, result = 1")) << log;
    EXPECT_TRUE(Contains(log, " VerifyEmbeddedSignature result is 0"));
    EXPECT_TRUE(Contains(log, " [Start Install CmdLine]:  /VERYSILENT /SP- /NORESTART /DIR=\"" + InstallDir() + "/\""));
    EXPECT_TRUE(Contains(log, " install Finished, progress: "));
    EXPECT_TRUE(Contains(log, "InstallUIMainWnd WaitForAllThreadExit"));
    EXPECT_LT(log.find(" Install Totally Take "), log.find(" Wait exit 3"));
    // The setup wrote its own log beside the installer's.
    const auto logs = sandbox_.LogFiles();
    EXPECT_TRUE(std::any_of(logs.begin(), logs.end(), [](const std::string& path) {
        return Contains(path, "Zembra Morvanta_Setup_");
    }));

    // Analytics as the flow reports it, phase by phase.
    const auto stream = DeliveredAnalytics();
    EXPECT_TRUE(InOrder(stream, {
        "C|Download|DownloadConfigReady|default_config=0;",
        "E|Download|3.Downloading...|First",
        "C|Download|Downloading|core_func_name=Downloading;event_label=null;func_step=2;",
        "C|Download|Use download address|Use download address Type=Download_url-1;",
        "C|Download|SliceDownloadStart|",
        "E|Other|PackageSize|6.00MB",
        "C|Download|DownFinsh|core_func_name=Downloading;event_label=null;func_step=3;",
        "E|Other|MDownloadTime|",
        "C|Download|CoreFuncEnd|core_func_name=Downloading;",
        "E|Other|DownloadSpeed|",
        "E|Other|DownloadTime|",
        "C|RunningTime|DownloadDuration|DownloadCompleted=",
        "C|Download|DownloadSuccess|",
        "C|Download|MDownSuccess|AddressType=NO;Download address=Download_url;",
        "E|Download|Md5CheckStart|",
        "C|Download|CoreFuncStart|core_func_name=Md5Check;",
        "C|Download|Md5CheckStart|core_func_name=Md5Check;",
        "E|Other|MMD5CheckTime|",
        "C|Download|Md5CheckFinsh|core_func_name=Md5Check;",
        "E|Other|MD5CheckTime|",
        "C|Download|CoreFuncEnd|core_func_name=Md5Check;",
        "C|RunningTime|VerificationDuration|VerificationDurationPar=",
        "E|Download|Md5CheckFinsh|",
        "E|Download|4.DownFinsh|First",
        "E|Download|5.ProgramInstall|First",
        "C|Download|CoreFuncStart|core_func_name=Installing;",
        "C|Download|ProgramInstall|core_func_name=Installing;",
        "E|Other|MInstallTime|",
        "C|Download|CoreFuncEnd|core_func_name=Installing;",
        "E|Other|InstallTime|",
        "E|Other|ProductVersion|1.0.0.0",
        "C|RunningTime|ActualTime|InstCompletedClosed=",
    }));
    // These two wait for their delivery, so they may overtake queued ones.
    EXPECT_EQ(CountOf(stream, "C|Download|ProgramFinsh|core_func_name=Installing;event_label=null;func_step=2;"), 1u);
    EXPECT_EQ(CountOf(stream, "E|Download|6.ProgramFinsh|First"), 1u);
    // The product ran.
    const std::string note = InstallDir() + "/ZembraMorvanta.started";
    for (int i = 0; i < 1000 && !fs::exists(note); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(fs::exists(note));
}

TEST_F(InstallFlowTest, AnInterruptedInstallLeavesAVerifiedPackageTheNextRunReuses) {
    // The setup outlasts the first run's time limit (3 one-second waits).
    const std::string slow = testsupport::MakeDemoPackage(sandbox_.root().str() + "/slow", "--install-ms 6000");
    ASSERT_FALSE(slow.empty());
    ServePackage(ReadFile(slow));
    const auto first = RunInProcess("1");
    EXPECT_EQ(first.outcome, Outcome::SetupTimedOut);
    ASSERT_TRUE(fs::exists(LocalPackage()));
    ASSERT_TRUE(fs::exists(LocalPackage() + ".db"));
    const std::size_t rangesBefore = RangeRequests().size();
    ASSERT_GT(rangesBefore, 0u);

    const auto second = RunInProcess();
    EXPECT_EQ(second.outcome, Outcome::Installed);
    EXPECT_EQ(RangeRequests().size(), rangesBefore) << "the verified package was not downloaded again";
    EXPECT_TRUE(fs::exists(InstallDir() + "/ZembraMorvanta.exe"));
    KillProcessesOf(LocalPackage());
}

TEST_F(InstallFlowTest, ASetupThatNeverEndsTimesOut) {
    const std::string hang = testsupport::MakeDemoPackage(sandbox_.root().str() + "/hang", "--hang");
    ASSERT_FALSE(hang.empty());
    ServePackage(ReadFile(hang));
    const auto run = RunInProcess("1");
    EXPECT_EQ(run.outcome, Outcome::SetupTimedOut);
    ASSERT_FALSE(run.printed.empty());
    EXPECT_EQ(run.printed.back(), "[install] the setup did not end in time");
    bool running = false;
    for (const auto& process : platform::ListProcesses()) running |= process.executable == LocalPackage();
    EXPECT_TRUE(running) << "the setup is left running";
    KillProcessesOf(LocalPackage());
}

TEST_F(InstallFlowTest, ATamperedPackageIsReportedAndNeverRun) {
    std::string bytes = ReadFile(testsupport::DemoPackagePath());
    bytes[bytes.size() / 2] ^= 0x20;
    ServePackage(bytes);  // the reply's MD5 describes these bytes: only the signature fails
    const auto run = RunProgram();
    EXPECT_TRUE(Contains(run.standardOutput, "[install] the package signature is not valid; nothing was installed"))
        << run.standardOutput;
    EXPECT_FALSE(fs::exists(InstallDir())) << "no setup started";
    EXPECT_FALSE(Contains(RunLog(), "[Start Install CmdLine]"));

    const auto reports = Reports();
    ASSERT_EQ(reports.size(), 1u);
    const std::string query = server_.BaseUrl() + "/queryDownloaderV2?LanguageId=1033&SoftWareID=499&SiteID=412";
    EXPECT_EQ(reports[0].body, "pid=499&type=2&exception_code=Hash_Check_Fail_Cfg1&other=" + query + "," + PackageUrl());
    const auto stream = DeliveredAnalytics();
    EXPECT_TRUE(InOrder(stream, {"E|Download|Md5CheckFinsh|", "C|ErrorReporting|Error|MainErrorType=DL014;",
                                 "E|Other|FlowError|DL014"}));
    EXPECT_EQ(CountOf(stream, "E|Download|4.DownFinsh|First"), 0u);
    EXPECT_EQ(CountOf(stream, "E|Download|5.ProgramInstall|First"), 0u);
}

TEST_F(InstallFlowTest, AnMd5MismatchWithAValidSignatureStillInstalls) {
    server_.SetRule(R"({"path": "/queryDownloaderV2", "queryReply": {"fields": {"Md5": "0123456789abcdef0123456789abcdef"}}})");
    const auto run = RunProgram();
    EXPECT_TRUE(Contains(run.standardOutput, "[install] installed into " + InstallDir())) << run.standardOutput;
    EXPECT_TRUE(fs::exists(InstallDir() + "/ZembraMorvanta.exe"));
    const auto reports = Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(Contains(reports[0].body, "pid=499&type=2&exception_code=MD5_Check_Fail_Cfg1&other=")) << reports[0].body;
    EXPECT_TRUE(InOrder(DeliveredAnalytics(), {"E|Download|Md5CheckFinsh|", "E|Other|FlowError|DL013",
                                                   "E|Download|4.DownFinsh|First", "E|Download|5.ProgramInstall|First",
                                                   "E|Download|6.ProgramFinsh|First"}));
}

TEST_F(InstallFlowTest, NoUsableAddress) {
    server_.SetRule(R"({"path": "/queryDownloaderV2", "queryReply": {"fields": {
        "Download_url": "https://cdn.example.com/z.exe", "Extra_download_url": "https://dl.example.com/z.exe"}}})");
    const auto run = RunProgram();
    EXPECT_TRUE(Contains(run.standardOutput, "[install] the download failed (reason 14)")) << run.standardOutput;
    EXPECT_TRUE(server_.RecordsFor(kPackagePath).empty());
    EXPECT_TRUE(Contains(RunLog(), "url is empty"));
    const auto stream = DeliveredAnalytics();
    EXPECT_TRUE(InOrder(stream, {"C|Download|DownloadConfigReady|default_config=0;", "E|Other|FlowError|DL023"}));
    EXPECT_EQ(CountOf(stream, "E|Download|3.Downloading...|First"), 0u);
}

TEST_F(InstallFlowTest, TwelveFailedRounds) {
    // A package far too small for a setup fails every round at once.
    ServePackage(std::string(200, 'x'));
    const auto run = RunProgram();
    EXPECT_TRUE(Contains(run.standardOutput, "[install] the download failed (reason 15)")) << run.standardOutput;
    const std::string log = RunLog();
    for (int round = 1; round <= 12; ++round)
        EXPECT_TRUE(Contains(log, " Tasks info, round end, current = " + std::to_string(round) +
                                      ", total = 12, result = 15"))
            << round;
    EXPECT_TRUE(Contains(log, " The Retry Frequency is: 11"));
    const auto stream = DeliveredAnalytics();
    // Twelve equal events within a minute: the report library drops the twelfth.
    EXPECT_EQ(CountOf(stream, "E|Other|FlowError|DL031"), 11u);
    EXPECT_TRUE(InOrder(stream, {"C|Download|Use download address|Use download address Type=Download_url-11;",
                                 "E|Other|FlowError|DL031", "C|Download|DownFinsh|", "E|Other|DownErrorCode|error_15"}));
    EXPECT_EQ(CountOf(stream, "E|Download|Md5CheckStart|"), 0u);
    EXPECT_TRUE(Reports().empty());
}

}  // namespace
