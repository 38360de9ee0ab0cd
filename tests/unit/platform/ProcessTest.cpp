#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

#include "platform/Process.h"
#include "support/TempDir.h"

using testsupport::ReadFile;
using testsupport::TempDir;

TEST(ProcessTest, ExitCodesAndSignalsAreReported) {
    const pid_t ok = platform::SpawnProcess({"/bin/sh", "-c", "exit 3"});
    ASSERT_GT(ok, 0);
    const auto result = platform::WaitForProcess(ok, -1);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, 3);

    const pid_t sleeper = platform::SpawnProcess({"/bin/sleep", "30"});
    ASSERT_GT(sleeper, 0);
    EXPECT_FALSE(platform::WaitForProcess(sleeper, 50).exited) << "still running when the time-out passes";
    EXPECT_TRUE(platform::TerminateProcess(sleeper));
    const auto killed = platform::WaitForProcess(sleeper, 10000);
    EXPECT_TRUE(killed.exited);
    EXPECT_EQ(killed.exitCode, 128 + SIGKILL);
}

TEST(ProcessTest, ArgumentsReachTheProgramUntouchedWithoutAShell) {
    TempDir dir;
    const std::string out = dir.str() + "/args";
    // The blank, the quotes and the dollar sign must arrive as they are.
    const pid_t child = platform::SpawnProcess(
        {"/bin/sh", "-c", "printf '%s|' \"$@\" > \"$0\"", out, "/DIR=\"a b\\\"", "$HOME", "x;y"});
    ASSERT_GT(child, 0);
    platform::WaitForProcess(child, -1);
    EXPECT_EQ(ReadFile(out), "/DIR=\"a b\\\"|$HOME|x;y|");
}

TEST(ProcessTest, WorkingDirectoryAndEnvironmentAreApplied) {
    TempDir dir;
    platform::SpawnOptions options;
    options.workingDirectory = dir.str();
    options.extraEnvironment = {"ZEMBRA_PROBE=42"};
    const pid_t child = platform::SpawnProcess({"/bin/sh", "-c", "pwd > where; echo $ZEMBRA_PROBE > env"}, options);
    ASSERT_GT(child, 0);
    platform::WaitForProcess(child, -1);
    EXPECT_EQ(ReadFile(dir.str() + "/where"), dir.str() + "\n");
    EXPECT_EQ(ReadFile(dir.str() + "/env"), "42\n");
}

TEST(ProcessTest, MissingProgramFailsAtSpawn) {
    errno = 0;
    EXPECT_EQ(platform::SpawnProcess({"/no/such/program"}), -1);
    EXPECT_EQ(errno, ENOENT);
    platform::SpawnOptions options;
    options.detached = true;
    for (int attempt = 0; attempt < 20; ++attempt) {
        errno = 0;
        EXPECT_EQ(platform::SpawnProcess({"/no/such/program"}, options), -1);
        EXPECT_EQ(errno, ENOENT) << "a detached start reports the exec error, never a pid";
    }
}

TEST(ProcessTest, DetachedProcessRunsAndIsNotOurChild) {
    TempDir dir;
    platform::SpawnOptions options;
    options.detached = true;
    const pid_t started = platform::SpawnProcess({"/bin/sh", "-c", "echo $$ > \"$0\"", dir.str() + "/pid"}, options);
    ASSERT_GT(started, 0);
    for (int i = 0; i < 500 && ReadFile(dir.str() + "/pid").empty(); ++i) usleep(10000);
    EXPECT_EQ(ReadFile(dir.str() + "/pid"), std::to_string(started) + "\n");
}

TEST(ProcessTest, ProcessListHoldsUsWithOurExecutable) {
    const std::string self = platform::CurrentExecutablePath();
    ASSERT_FALSE(self.empty());
    EXPECT_EQ(platform::CurrentExecutableDir(), self.substr(0, self.find_last_of('/') + 1));
    bool found = false;
    for (const auto& process : platform::ListProcesses()) {
        if (process.pid == getpid()) {
            found = true;
            EXPECT_EQ(process.executable, self);
            EXPECT_FALSE(process.name.empty());
        }
    }
    EXPECT_TRUE(found);
}

TEST(ProcessTest, ExtraEnvironmentOverridesInheritedValues) {
    TempDir dir;
    setenv("ZEMBRA_OVERRIDE_PROBE", "inherited", 1);
    platform::SpawnOptions options;
    options.extraEnvironment = {"ZEMBRA_OVERRIDE_PROBE=mine"};
    const pid_t child = platform::SpawnProcess(
        {"/bin/sh", "-c", "env | grep -c ZEMBRA_OVERRIDE_PROBE= > \"$0\"; echo $ZEMBRA_OVERRIDE_PROBE >> \"$0\"",
         dir.str() + "/out"},
        options);
    unsetenv("ZEMBRA_OVERRIDE_PROBE");
    ASSERT_GT(child, 0);
    platform::WaitForProcess(child, -1);
    EXPECT_EQ(ReadFile(dir.str() + "/out"), "1\nmine\n");
}

TEST(ProcessTest, RunForOutputCollectsStandardOutputAndKillsAtTheTimeOut) {
    const auto printed = platform::RunForOutput({"/bin/sh", "-c", "printf 'a b\\n'; echo err >&2; exit 4"}, -1);
    EXPECT_TRUE(printed.started && printed.exited);
    EXPECT_EQ(printed.exitCode, 4);
    EXPECT_EQ(printed.output, "a b\n") << "standard error is not collected";

    const auto stuck = platform::RunForOutput({"/bin/sleep", "60"}, 50);
    EXPECT_TRUE(stuck.started);
    EXPECT_FALSE(stuck.exited);

    EXPECT_FALSE(platform::RunForOutput({"/no/such/program"}, -1).started);
}
