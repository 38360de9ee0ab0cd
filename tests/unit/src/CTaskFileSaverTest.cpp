// What the task-file saver does when the package bytes a save claims cannot
// be written out: no task file claims them, then or later.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "CTaskFileSaver.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

using testsupport::LogCapture;
using testsupport::ReadFile;
using testsupport::TempDir;

namespace {

TEST(CTaskFileSaverTest, PackageThatCannotBeWrittenOutGetsNoTaskFile) {
    TempDir dir;
    // A pipe cannot be written out to a disk: the flush fails with ESPIPE.
    const std::string package = dir.str() + "/package.exe";
    ASSERT_EQ(mkfifo(package.c_str(), 0600), 0);
    const int descriptor = open(package.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(descriptor, 0);
    const std::string taskFile = package + ".xml";
    CTaskFileSaver& saver = CTaskFileSaver::GetInstance();
    LogCapture log;

    saver.Save(taskFile, descriptor, package, "claims the first page", {{0, 4096}});
    saver.Wait(taskFile);
    EXPECT_FALSE(std::filesystem::exists(taskFile));
    EXPECT_TRUE(log.Contains(" not written out, errno " + std::to_string(ESPIPE))) << "the errno is logged";

    // The kernel reports a lost write once: no later save may claim anything.
    saver.Save(taskFile, -1, package, "claims nothing", {});
    saver.Wait(taskFile);
    EXPECT_FALSE(std::filesystem::exists(taskFile));

    saver.Forget(taskFile);
    saver.Save(taskFile, -1, package, "a new download", {});
    saver.Wait(taskFile);
    EXPECT_EQ(ReadFile(taskFile), "a new download");
    close(descriptor);
}

TEST(CTaskFileSaverTest, TaskFileThatCannotBeReplacedKeepsTheLastOne) {
    TempDir dir;
    const std::string taskFile = dir.str() + "/gone/package.exe.xml";
    CTaskFileSaver& saver = CTaskFileSaver::GetInstance();
    LogCapture log;
    saver.Save(taskFile, -1, dir.str() + "/gone/package.exe", "document", {});
    saver.Wait(taskFile);
    EXPECT_TRUE(log.Contains(" task file not saved: " + taskFile + ", open errno " + std::to_string(ENOENT)));
}

}  // namespace
