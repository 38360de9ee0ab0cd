#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <regex>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/SingleInstance.h"
#include "support/InstallerSandbox.h"
#include "support/TempDir.h"

using testsupport::InstallerSandbox;
using testsupport::ReadFile;
using testsupport::ScopedEnv;

namespace {

constexpr const char* kRunName = "zembramorvanta_zembram";

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The installer's own run logs; the report library keeps its daily log under APPDATA too.
std::vector<std::string> RunLogs(const InstallerSandbox& sandbox) {
    std::vector<std::string> logs;
    for (const auto& log : sandbox.LogFiles())
        if (Contains(log, "/QKDownloader/logs/")) logs.push_back(log);
    return logs;
}

}  // namespace

TEST(StartupTest, DebugRunWritesItsLogAndShutsDownInOrder) {
    InstallerSandbox sandbox;
    const auto run = sandbox.Run({"debug"});
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0);

    const auto logs = RunLogs(sandbox);
    ASSERT_EQ(logs.size(), 1u);
    const std::filesystem::path log = logs[0];
    EXPECT_EQ(log.parent_path(), std::filesystem::path(sandbox.appData()) / "QKDownloader" / "logs" / kRunName);
    EXPECT_TRUE(std::regex_match(log.filename().string(), std::regex(std::string(kRunName) + "_\\d{17}\\.log")))
        << log.filename();
    EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(sandbox.workRoot()) / "QKDownloader" / kRunName));

    const std::string text = ReadFile(log);
    const auto exit1 = text.find(" Wait exit 1");
    const auto exit2 = text.find(" Wait exit 2");
    const auto waited = text.find("CSingleUserLog WaitThreadForExit");
    const auto exit3 = text.find(" Wait exit 3");
    ASSERT_NE(exit3, std::string::npos) << text;
    EXPECT_LT(exit1, exit2);
    EXPECT_LT(exit2, waited);
    EXPECT_LT(waited, exit3);
    // Every line: date time,millis--[Thread](id) message
    EXPECT_TRUE(std::regex_search(text, std::regex(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2},\d{3}--\[Thread\]\(\d+\)  Wait exit 1$)",
                                                   std::regex::multiline)))
        << text;
    EXPECT_TRUE(Contains(run.standardOutput, " Wait exit 3")) << "debug shows the log on standard output";
}

TEST(StartupTest, WithoutDebugStandardOutputStaysQuiet) {
    InstallerSandbox sandbox;
    const auto run = sandbox.Run({});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_FALSE(Contains(run.standardOutput, "Wait exit")) << run.standardOutput;
    ASSERT_EQ(RunLogs(sandbox).size(), 1u);
    EXPECT_TRUE(Contains(ReadFile(RunLogs(sandbox)[0]), " Wait exit 3"));
}

TEST(StartupTest, SecondInstanceEndsWhileTheLockIsHeldAndSaysWhy) {
    InstallerSandbox sandbox;
    ScopedEnv runtime("XDG_RUNTIME_DIR", sandbox.runtimeDir());
    platform::InstanceLock held;
    ASSERT_TRUE(held.Acquire("TVS_Downloader_499"));

    const auto refused = sandbox.Run({"debug"});
    EXPECT_EQ(refused.exitCode, 0);
    ASSERT_EQ(RunLogs(sandbox).size(), 1u);
    const std::string log = ReadFile(RunLogs(sandbox)[0]);
    EXPECT_FALSE(Contains(log, " Wait exit 1")) << "it must stop before the wizard";
    EXPECT_TRUE(Contains(log, " Another instance holds TVS_Downloader_499; this one ends")) << log;

    sandbox.WriteSettings("[Settings]\nAutoRun=1\n");
    const auto allowed = sandbox.Run({"debug"});
    EXPECT_EQ(allowed.exitCode, 0);
    EXPECT_TRUE(Contains(allowed.standardOutput, " Wait exit 3")) << "AutoRun lets a second instance run";
}

TEST(StartupTest, SecondInstanceAsksTheFirstWindowToShowItself) {
    InstallerSandbox sandbox;
    ScopedEnv session("XDG_RUNTIME_DIR", sandbox.runtimeDir());
    std::atomic<int> showRequests{0};
    platform::InstanceBeacon firstWindow;
    ASSERT_TRUE(firstWindow.Listen("QK_UI_Frame_499", [&] { ++showRequests; }));

    const auto run = sandbox.Run({"debug"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_FALSE(Contains(run.standardOutput, " Wait exit 1"));
    for (int i = 0; i < 500 && showRequests == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(showRequests, 1);

    sandbox.WriteSettings("[Settings]\nAutoRun=1\n");
    const auto autoRun = sandbox.Run({"debug"});
    EXPECT_TRUE(Contains(autoRun.standardOutput, " Wait exit 3"));
    EXPECT_EQ(showRequests, 1) << "with AutoRun the first window is left alone";
}

TEST(StartupTest, DiagnosticsModesTakeNoLockAndReachNoWizard) {
    InstallerSandbox sandbox;
    ScopedEnv runtime("XDG_RUNTIME_DIR", sandbox.runtimeDir());
    platform::InstanceLock held;
    ASSERT_TRUE(held.Acquire("TVS_Downloader_499"));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-dmp", "missing_20260101000000000.log"},
          std::vector<std::string>{"-close02", "missing_20260101000000000.log"}}) {
        const auto run = sandbox.Run(args);
        EXPECT_TRUE(run.exited);
        EXPECT_EQ(run.exitCode, 0);
    }
    for (const auto& log : sandbox.LogFiles()) EXPECT_FALSE(Contains(ReadFile(log), " Wait exit 1")) << log;
}

TEST(StartupTest, UnusableRuntimeFolderFallsBackToAPrivateOneAndSaysSo) {
    InstallerSandbox sandbox;
    const std::string temporary = sandbox.root().str() + "/tmp";
    std::filesystem::create_directories(temporary);
    sandbox.SetEnvironment("TMPDIR", temporary);
    const std::string privateFolder = temporary + "/zembra-" + std::to_string(geteuid());
    const std::string openToAll = sandbox.root().str() + "/open";
    std::filesystem::create_directories(openToAll);
    std::filesystem::permissions(openToAll, std::filesystem::perms::all);
    std::vector<std::string> runtimeFolders = {sandbox.root().str() + "/missing", openToAll,
                                               sandbox.root().WriteFile("a-file", "")};
    if (geteuid() == 0) {
        runtimeFolders.push_back(sandbox.root().str() + "/foreign");
        std::filesystem::create_directories(runtimeFolders.back());
        ASSERT_EQ(chown(runtimeFolders.back().c_str(), 65534, 65534), 0);
    }
    for (const std::string& runtime : runtimeFolders) {
        sandbox.SetEnvironment("XDG_RUNTIME_DIR", runtime);
        const auto run = sandbox.Run({"debug"});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(Contains(run.standardOutput, " Runtime folder " + runtime + " is not usable (")) << run.standardOutput;
        EXPECT_TRUE(Contains(run.standardOutput, "), using " + privateFolder + "\n")) << run.standardOutput;
        EXPECT_TRUE(Contains(run.standardOutput, " Wait exit 3")) << "the run must reach its end with " << runtime;
    }
    EXPECT_EQ(std::filesystem::status(privateFolder).permissions(), std::filesystem::perms::owner_all);
}


TEST(StartupTest, ARootRunLeavesTheDesktopUsersFoldersToThem) {
    if (geteuid() != 0) GTEST_SKIP() << "only a root run writes for another user";
    constexpr uid_t kNobody = 65534;
    InstallerSandbox sandbox;
    const std::string home = sandbox.root().str() + "/home";
    std::filesystem::create_directories(home);
    ASSERT_EQ(chown(home.c_str(), kNobody, kNobody), 0);
    sandbox.SetEnvironment("SUDO_UID", std::to_string(kNobody));
    sandbox.SetEnvironment("APPDATA", home + "/appdata");
    sandbox.SetEnvironment("XDG_CONFIG_HOME", home + "/config");
    const auto run = sandbox.Run({"debug"});
    EXPECT_TRUE(Contains(run.standardOutput, " Wait exit 3")) << run.standardOutput;

    std::size_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(home)) {
        struct stat info {};
        ASSERT_EQ(lstat(entry.path().c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, kNobody) << entry.path();
        files += entry.is_regular_file();
    }
    EXPECT_GE(files, 3u) << "the run log, the analytics log and galog.json at least";
}
