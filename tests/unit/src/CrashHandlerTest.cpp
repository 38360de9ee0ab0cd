#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include <easylogging++.h>

#include "Common/CrashHandler.h"
#include "Common/wWndMain.h"
#include "SingleUserLog.h"
#include "platform/Process.h"
#include "platform/SingleInstance.h"
#include "support/DescendantRun.h"
#include "support/MinidumpReader.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using testsupport::ReadFile;

namespace {

// The crashing side: a fresh copy of this test program started with
// ZEMBRA_CRASHFILTER_CHILD, which sets up the installer's crash filter, log,
// lock and service value the way start-up does, then crashes.
extern "C" __attribute__((noinline, no_sanitize("undefined"))) void CrashFilterTestNullWrite() {
    volatile int* volatile target = nullptr;
    *target = 1;
}

const char* EnvOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value ? value : fallback;
}

[[noreturn]] void RunCrashChild(const std::string& scenario) {
    InstallUnhandledExceptionHandler();
    if (std::getenv("ZEMBRA_CRASHFILTER_LOG")) {
        CSingleUserLog& logger = CSingleUserLog::GetInstance();
        logger.InitLogPaths("crashrun");
        startup::ConfigureRunLog(logger.GetLogFilePath());
        RefreshCrashHandlerPaths();
        LOG(INFO) << " Child ready";
    }
    startup::g_downloaderId = 499;
    startup::SingleInstanceLock().Acquire("TVS_Downloader_499");
    CSingleUserLog::GetInstance().downloaderConfig = std::atoi(EnvOr("ZEMBRA_CRASHFILTER_CONFIG", "0"));
    if (const char* relaunch = std::getenv("ZEMBRA_CRASHFILTER_RELAUNCH")) SetCrashRelaunchExecutable(relaunch);

    if (scenario == "null") CrashFilterTestNullWrite();
    if (scenario == "abort") std::abort();
    _exit(3);
}

// Runs after every static object (the logger's storage included) exists.
class CrashFilterChild : public testing::Environment {
public:
    void SetUp() override {
        if (const char* scenario = std::getenv("ZEMBRA_CRASHFILTER_CHILD")) RunCrashChild(scenario);
    }
};
[[maybe_unused]] testing::Environment* const g_crashFilterChild =
    testing::AddGlobalTestEnvironment(new CrashFilterChild);

const std::regex kLogLine(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2},\d{3}--\[Thread\]\((\d+)\) (.*)$)");

struct LogLine {
    std::string thread;
    std::string message;
};

std::vector<LogLine> ParseLog(const std::string& text) {
    std::vector<LogLine> lines;
    std::istringstream in(text);
    std::string line;
    std::smatch match;
    while (std::getline(in, line)) {
        if (std::regex_match(line, match, kLogLine))
            lines.push_back({match[1], match[2]});
        else
            lines.push_back({"", "UNFORMATTED: " + line});
    }
    return lines;
}

class CrashHandlerTest : public testing::Test {
protected:
    struct Crash {
        testsupport::DescendantRun run;
        std::string logFile;  // "" when the run had none
    };

    Crash CrashChild(const std::string& scenario, int downloaderConfig, bool withLog = true,
                     const std::string& relaunch = "", const std::vector<std::string>& extraEnvironment = {}) const {
        std::vector<std::string> environment = {
            "ZEMBRA_CRASHFILTER_CHILD=" + scenario,
            "ZEMBRA_CRASHFILTER_CONFIG=" + std::to_string(downloaderConfig),
            "APPDATA=" + dir_.str() + "/appdata",
            "ZEMBRA_WORK_ROOT=" + dir_.str() + "/work",
            "XDG_RUNTIME_DIR=" + dir_.str() + "/run",
            "TMPDIR=" + dir_.str() + "/tmp",
            "ZEMBRA_SETTINGS_FILE=" + dir_.str() + "/none.cfg",
        };
        if (withLog) environment.push_back("ZEMBRA_CRASHFILTER_LOG=1");
        if (!relaunch.empty()) environment.push_back("ZEMBRA_CRASHFILTER_RELAUNCH=" + relaunch);
        environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
        for (const char* folder : {"/appdata", "/work", "/run", "/tmp"}) fs::create_directories(dir_.str() + folder);

        Crash crash;
        crash.run = testsupport::RunReapingDescendants(
            {platform::CurrentExecutablePath(), "--gtest_filter=CrashFilterTextTest.*"}, environment, 120000);
        const fs::path logDir = fs::path(dir_.str()) / "appdata/QKDownloader/logs/crashrun";
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(logDir, error))
            if (entry.path().extension() == ".log") crash.logFile = entry.path().string();
        return crash;
    }

    // A stand-in for the installer that records how it was started.
    std::string RelaunchRecorder() const {
        const std::string path = dir_.WriteFile(
            "relaunch.sh", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/relaunch-args.txt\"\n");
        fs::permissions(path, fs::perms::owner_all);
        return path;
    }
    std::string RelaunchArguments() const { return ReadFile(dir_.str() + "/relaunch-args.txt"); }

    testsupport::TempDir dir_;
};

}  // namespace

TEST(CrashFilterTextTest, DumpPathFollowsTheLogOrFallsBackToTheTemporaryFolder) {
    const platform::CivilTime time{2026, 3, 4, 5, 6, 7, 8};
    char buffer[256];
    platform::SignalSafeText path(buffer, sizeof buffer);
    crashfilter::BuildDumpPath(path, "/logs/run/run_20260101000000000.log", "/tmp", 499, "2.9.0.0", time);
    EXPECT_STREQ(path.c_str(), "/logs/run/run_20260101000000000.log.dmp");

    for (const char* tempDir : {"/var/tmp", "/var/tmp/"}) {
        path.Clear();
        crashfilter::BuildDumpPath(path, "", tempDir, 499, "2.9.0.0", time);
        EXPECT_STREQ(path.c_str(), "/var/tmp/499_2.9.0.0_20260304050607008.dmp");
    }
    path.Clear();
    crashfilter::BuildDumpPath(path, nullptr, "/t", 0, "", time);
    EXPECT_STREQ(path.c_str(), "/t/0__20260304050607008.dmp") << "no version note: an empty version";
}

TEST(CrashFilterTextTest, LogLinesLookLikeTheLoggersAndNamesComeFromPaths) {
    char buffer[256];
    platform::SignalSafeText line(buffer, sizeof buffer);
    crashfilter::BuildLogLine(line, platform::CivilTime{2026, 12, 31, 23, 59, 58, 7}, 140122670798656ULL,
                              " Exception handler entered.");
    EXPECT_STREQ(line.c_str(), "2026-12-31 23:59:58,007--[Thread](140122670798656)  Exception handler entered.\n");

    EXPECT_STREQ(crashfilter::FileNameOf("/a/b/run_1.log"), "run_1.log");
    EXPECT_STREQ(crashfilter::FileNameOf("run_1.log"), "run_1.log");
    EXPECT_STREQ(crashfilter::FileNameOf("/a/b/"), "");
}

TEST_F(CrashHandlerTest, ACrashWritesTheDumpBesideTheLogAndLogsEachStep) {
    const Crash crash = CrashChild("null", 0);
    ASSERT_TRUE(crash.run.finished);
    EXPECT_EQ(crash.run.exitCode, 128 + SIGSEGV) << "the process dies of its own signal";
    EXPECT_TRUE(crash.run.descendantExitCodes.empty()) << "Downloader_config 0 starts nothing";
    ASSERT_FALSE(crash.logFile.empty());

    const auto dump = testsupport::MinidumpReader::Load(crash.logFile + ".dmp");
    ASSERT_TRUE(dump);
    ASSERT_TRUE(dump->ExceptionRecord());
    EXPECT_EQ(dump->ExceptionRecord()->code, static_cast<std::uint32_t>(SIGSEGV));
    EXPECT_EQ(fs::status(crash.logFile + ".dmp").permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);

    const auto lines = ParseLog(ReadFile(crash.logFile));
    ASSERT_EQ(lines.size(), 5u) << ReadFile(crash.logFile);
    EXPECT_EQ(lines[0].message, " Child ready");
    EXPECT_EQ(lines[1].message, " Exception handler entered.");
    EXPECT_EQ(lines[2].message, " Release mutex: 1, 0, 1, 0");
    EXPECT_EQ(lines[3].message, " Create dmp file: 1, 0");
    EXPECT_EQ(lines[4].message, " Write dmp file: 1, 0");
    for (const auto& line : lines) EXPECT_EQ(line.thread, lines[0].thread) << "same thread, same id as the logger's";
}

TEST_F(CrashHandlerTest, OnlyConfigOneOrTwoRelaunchesAndWithTheLogFileName) {
    for (const int config : {0, 1, 2, 3, -1}) {
        SCOPED_TRACE(config);
        const Crash crash = CrashChild("abort", config, true, RelaunchRecorder());
        ASSERT_TRUE(crash.run.finished);
        EXPECT_EQ(crash.run.exitCode, 128 + SIGABRT);
        EXPECT_TRUE(fs::exists(crash.logFile + ".dmp"));
        if (config == 1 || config == 2) {
            ASSERT_EQ(crash.run.descendantExitCodes, std::vector<int>{0});
            EXPECT_EQ(RelaunchArguments(), "-dmp\n" + fs::path(crash.logFile).filename().string() + "\n");
        } else {
            EXPECT_TRUE(crash.run.descendantExitCodes.empty());
            EXPECT_EQ(RelaunchArguments(), "");
        }
        fs::remove(dir_.str() + "/relaunch-args.txt");
        fs::remove_all(dir_.str() + "/appdata");
    }
}

TEST_F(CrashHandlerTest, WithoutALogTheDumpGoesToAPrivateTemporaryFolderAndNothingIsStarted) {
    const Crash crash = CrashChild("null", 2, false, RelaunchRecorder());
    ASSERT_TRUE(crash.run.finished);
    EXPECT_EQ(crash.run.exitCode, 128 + SIGSEGV);
    EXPECT_TRUE(crash.run.descendantExitCodes.empty()) << "no log name to hand over";
    // Not straight into the shared folder, where a planted link would choose the file written.
    const std::string folder = dir_.str() + "/tmp/zembra-" + std::to_string(geteuid());
    EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
    std::vector<std::string> dumps;
    for (const auto& entry : fs::directory_iterator(folder)) dumps.push_back(entry.path().filename());
    ASSERT_EQ(dumps.size(), 1u);
    EXPECT_TRUE(std::regex_match(dumps[0], std::regex(R"(499_(\d+\.\d+\.\d+\.\d+)?_\d{17}\.dmp)"))) << dumps[0];
    EXPECT_TRUE(testsupport::MinidumpReader::Load(folder + "/" + dumps[0]));
}

TEST_F(CrashHandlerTest, ARootRunHandsTheDumpBesideTheUsersLogToThem) {
    if (geteuid() != 0) GTEST_SKIP() << "only a root run writes for another user";
    constexpr uid_t kNobody = 65534;
    fs::create_directories(dir_.str() + "/appdata");
    ASSERT_EQ(chown((dir_.str() + "/appdata").c_str(), kNobody, kNobody), 0);
    const Crash crash = CrashChild("null", 0, true, "", {"SUDO_UID=" + std::to_string(kNobody), "PKEXEC_UID="});
    ASSERT_FALSE(crash.logFile.empty());
    struct stat info {};
    ASSERT_EQ(stat((crash.logFile + ".dmp").c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, kNobody);
}
