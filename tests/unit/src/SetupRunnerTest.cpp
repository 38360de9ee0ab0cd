#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "Common/install_ui_mainwnd/SetupRunner.h"
#include "InstallFlowDoubles.h"
#include "LogLines.h"
#include "SingleUserLog.h"
#include "platform/Process.h"
#include "support/TempDir.h"

namespace {

using testsupport::ReadFile;
using testsupport::ScopedEnv;
namespace fs = std::filesystem;

LabelList Labels(const std::string& timeout) {
    return {{"Downloader_id", "499"}, {"Software_name", "Zembra Morvanta"}, {"InstallTimeout", timeout}};
}

// The package opened as the install worker opens it before its checks.
std::unique_ptr<platform::PinnedFile> Pinned(const std::string& path) {
    auto pinned = std::make_unique<platform::PinnedFile>();
    pinned->Open(path);
    return pinned;
}

// Ends, at the end of a test, the setups a time-out left running.
void KillProcessesOf(const std::string& executable) {
    for (const auto& process : platform::ListProcesses())
        if (process.executable == executable) platform::TerminateProcess(process.pid);
}

class SetupRunnerTest : public ::testing::Test {
protected:
    void SetUp() override { CSingleUserLog::GetInstance().InitLogPaths("setup_runner_test"); }

    std::string LogDir() const { return CSingleUserLog::GetInstance().GetLogDir(); }

    testsupport::TempDir temp_;
    ScopedEnv appData_{"APPDATA", temp_.str() + "/appdata"};
    ScopedEnv workRoot_{"ZEMBRA_WORK_ROOT", temp_.str() + "/work"};
    flowtest::RecordingAnalytics analytics_;
    LogLines log_;
    std::int64_t now_ = 5000;
};

TEST_F(SetupRunnerTest, InstallsTheDemoProductIntoAHostileFolder) {
    flowtest::TestWindow window(Labels("240"));
    window.installDir = temp_.str() + "/opt/Zembra \"quoted\" $(x) \xE6\x97\xA5\xE6\x9C\xAC/Zembra Morvanta";
    window.language = German;
    // The package arrives without the execute permission, as downloads do.
    const std::string package = temp_.str() + "/pkg dir 'x'/zembramorvanta_zembram_1.0.0.0.exe";
    fs::create_directories(fs::path(package).parent_path());
    fs::copy_file(flowtest::DemoPackage(), package);
    fs::permissions(package, fs::perms::owner_read | fs::perms::owner_write);

    SetupRunner runner(window, analytics_, [this] { return now_; });
    const SetupRunResult result = runner.Run(package, *Pinned(package));

    EXPECT_TRUE(result.completed);
    EXPECT_LE(result.secondsWaited, 60u);
    EXPECT_TRUE(fs::exists(window.installDir + "/ZembraMorvanta.exe"));
    EXPECT_EQ(window.RunState().setupStartTick, 5000);
    EXPECT_FALSE(window.RunState().setupFinished) << "the worker sets it once it has seen the end";
    EXPECT_EQ(window.MessageIds(), std::vector<unsigned>{installmsg::kSetupStarted});
    const std::vector<std::string> expected = {
        "E|Download|5.ProgramInstall|First|0",
        "F|0|CoreFuncEvent|Installing|Download|CoreFuncStart|null|0",
        "F|1|CoreFuncEvent|Installing|Download|ProgramInstall|null|0"};
    EXPECT_EQ(analytics_.Calls(), expected);

    EXPECT_TRUE(log_.Has(" [Download File Path]: " + package));
    EXPECT_TRUE(log_.HasPart(" [Start Install CmdLine]:  /VERYSILENT /SP- /NORESTART /DIR=\"" + window.installDir +
                             "/\" /LANG=de /LOG=\"" + LogDir() + "/Zembra Morvanta_Setup_"));
    // The setup wrote its log beside the installer's and got every switch
    // (this test program's name carries "_", so it is the tracking name).
    std::string setupLog;
    for (const auto& entry : fs::directory_iterator(LogDir()))
        if (entry.path().filename().string().find("_Setup_") != std::string::npos) setupLog = ReadFile(entry.path());
    EXPECT_NE(setupLog.find("language de, track unit_src"), std::string::npos) << setupLog;
    EXPECT_NE(setupLog.find("Installation finished"), std::string::npos) << setupLog;
}

TEST_F(SetupRunnerTest, ASetupThatNeverEndsTimesOutAndKeepsRunning) {
    const std::string package = flowtest::MakeDemoPackage(temp_.str() + "/hang", "--hang --unsigned");
    ASSERT_FALSE(package.empty());
    flowtest::TestWindow window(Labels("1"));
    window.installDir = temp_.str() + "/opt";
    SetupRunner runner(window, analytics_, [this] { return now_; });
    const SetupRunResult result = runner.Run(package, *Pinned(package));

    EXPECT_FALSE(result.completed);
    EXPECT_TRUE(window.RunState().setupFinished);
    const std::vector<unsigned> expectedMessages = {installmsg::kSetupStarted, installmsg::kSetupTimedOut};
    EXPECT_EQ(window.MessageIds(), expectedMessages);
    EXPECT_EQ(analytics_.Count("E|Other|FlowError|DL016|0"), 1u);
    EXPECT_TRUE(analytics_.InOrder({"F|1|CoreFuncEvent|Installing|Download|ProgramInstall|null|0",
                                    "E|Other|FlowError|DL016|0",
                                    "F|0|CoreFuncEvent|Installing|Download|CoreFuncEnd|null|0"}));
    EXPECT_TRUE(log_.Has(" Cmd nWaitSeconds timed out: 1"));

    bool stillRunning = false;
    for (const auto& process : platform::ListProcesses()) stillRunning |= process.executable == package;
    EXPECT_TRUE(stillRunning) << "the setup is left running";
    KillProcessesOf(package);
}

TEST_F(SetupRunnerTest, ASetupThatFailsEndsTheRunWithTheTimeOutAdvice) {
    const std::string package = flowtest::MakeDemoPackage(temp_.str() + "/fail", "--fail --unsigned");
    ASSERT_FALSE(package.empty());
    flowtest::TestWindow window(Labels("240"));
    window.installDir = temp_.str() + "/opt";
    SetupRunner runner(window, analytics_, [this] { return now_; });
    const SetupRunResult result = runner.Run(package, *Pinned(package));

    EXPECT_FALSE(result.completed) << "nothing usable was installed";
    EXPECT_TRUE(window.RunState().setupFinished);
    const std::vector<unsigned> expectedMessages = {installmsg::kSetupStarted, installmsg::kSetupTimedOut};
    EXPECT_EQ(window.MessageIds(), expectedMessages);
    EXPECT_TRUE(log_.Has(" Setup exited with code 5"));
    EXPECT_EQ(analytics_.Count("E|Other|FlowError|DL016|0"), 0u) << "it did not time out";
    EXPECT_TRUE(analytics_.InOrder({"F|0|CoreFuncEvent|Installing|Download|CoreFuncEnd|null|0"}));
}

TEST_F(SetupRunnerTest, TimeOutComesAfterInstallTimeoutPlusTwoWaits) {
    const std::string package = flowtest::MakeDemoPackage(temp_.str() + "/hang", "--hang --unsigned");
    ASSERT_FALSE(package.empty());
    flowtest::TestWindow window(Labels("240"));
    window.installDir = temp_.str() + "/opt";
    int waits = 0;
    SetupRunner runner(window, analytics_, [this] { return now_; }, [&waits](pid_t, int timeoutMs) {
        EXPECT_EQ(timeoutMs, 1000);
        ++waits;
        return platform::WaitResult{};
    });
    const SetupRunResult result = runner.Run(package, *Pinned(package));
    EXPECT_FALSE(result.completed);
    EXPECT_EQ(waits, 242);
    EXPECT_TRUE(log_.Has(" Cmd nWaitSeconds timed out: 240"));
    KillProcessesOf(package);
}

TEST_F(SetupRunnerTest, WaitsAreCountedUntilTheSetupEnds) {
    flowtest::TestWindow window(Labels("240"));
    window.installDir = temp_.str() + "/opt";
    int waits = 0;
    SetupRunner runner(window, analytics_, [this] { return now_; }, [&waits](pid_t pid, int) {
        if (++waits <= 3) return platform::WaitResult{};
        return platform::WaitForProcess(pid, -1);
    });
    const SetupRunResult result = runner.Run(flowtest::DemoPackage(), *Pinned(flowtest::DemoPackage()));
    EXPECT_TRUE(result.completed);
    EXPECT_EQ(result.secondsWaited, 3u);
}

TEST_F(SetupRunnerTest, ARootRunHandsTheSetupLogToTheDesktopUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "only a root run writes for another user";
    constexpr uid_t kNobody = 65534;
    ASSERT_EQ(::chown(LogDir().c_str(), kNobody, kNobody), 0);
    ScopedEnv pkexec("PKEXEC_UID", "");
    ScopedEnv sudo("SUDO_UID", std::to_string(kNobody));
    flowtest::TestWindow window(Labels("240"));
    window.installDir = temp_.str() + "/opt";
    SetupRunner runner(window, analytics_, [this] { return now_; });
    ASSERT_TRUE(runner.Run(flowtest::DemoPackage(), *Pinned(flowtest::DemoPackage())).completed);
    std::vector<fs::path> setupLogs;
    for (const auto& entry : fs::directory_iterator(LogDir()))
        if (entry.path().filename().string().find("_Setup_") != std::string::npos) setupLogs.push_back(entry.path());
    ASSERT_EQ(setupLogs.size(), 1u);
    struct stat info {};
    ASSERT_EQ(::stat(setupLogs[0].c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, kNobody);
}

TEST_F(SetupRunnerTest, ASetupThatCannotStartTakesTheTimeOutPath) {
    flowtest::TestWindow window(Labels("240"));
    window.installDir = temp_.str() + "/opt";
    SetupRunner runner(window, analytics_, [this] { return now_; });
    const SetupRunResult result = runner.Run(temp_.str() + "/missing.exe", *Pinned(temp_.str() + "/missing.exe"));
    EXPECT_FALSE(result.completed);
    EXPECT_EQ(window.MessageIds(), std::vector<unsigned>{installmsg::kSetupTimedOut});
    EXPECT_EQ(analytics_.Count("E|Other|FlowError|DL016|0"), 1u);
    EXPECT_TRUE(log_.HasPart(" CreateProcess failed ("));
}

TEST(PinnedFileTest, AddsExecuteWhereReadIsAllowed) {
    testsupport::TempDir temp;
    const std::string file = temp.WriteFile("pkg.exe", "x");
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    platform::PinnedFile pinned;
    ASSERT_EQ(pinned.Open(file), "");
    EXPECT_TRUE(pinned.MarkExecutable());
    const auto permissions = fs::status(file).permissions();
    EXPECT_NE(permissions & fs::perms::owner_exec, fs::perms::none);
    EXPECT_NE(permissions & fs::perms::group_exec, fs::perms::none);
    EXPECT_EQ(permissions & fs::perms::others_exec, fs::perms::none);
    EXPECT_FALSE(Pinned(temp.str() + "/missing")->MarkExecutable());
}

}  // namespace
