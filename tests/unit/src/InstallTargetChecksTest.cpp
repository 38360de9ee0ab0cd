#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "CConfigure.h"
#include "Common/install_ui_mainwnd/InstallTargetChecks.h"
#include "InstallFlowDoubles.h"
#include "LogLines.h"
#include "platform/Process.h"
#include "platform/RegistryStore.h"
#include "support/PrivateMounts.h"
#include "support/TempDir.h"

using testsupport::InPrivateMounts;
using testsupport::MountTmpfs;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

constexpr const char* kProduct = "Zembra Morvanta";

// A configuration as the download-information reply leaves it.
struct ReplyConfiguration {
    explicit ReplyConfiguration(std::int64_t packageSize) {
        value.LoadState = CConfigure::LoadStateLoaded;
        value.LoadSource = CConfigure::LoadSourceReply;
        value.Filesize = packageSize;
        value.Software_name = kProduct;
        value.Process_name = "ZembraMorvanta.exe";
    }
    operator const CConfigure&() const { return value; }
    CConfigure value{499, 1033, 412};
};

// Local disks as the checks see them: a mount table of our own naming real
// folders, and a sysfs tree saying which disk spins and which hangs on USB.
class FakeDisks {
public:
    explicit FakeDisks(const std::string& root) : root_(root) {
        std::filesystem::create_directories(root_ + "/sys/dev/block");
        sources_.mountInfo = root_ + "/mountinfo";
        sources_.sysfsRoot = root_ + "/sys";
    }
    // Adds a mounted disk at mountPoint (a folder that exists); returns the
    // mount point as the checks name it.
    std::string Add(const std::string& mountPoint, bool rotational, bool usb = false) {
        const int minor = ++count_;
        const std::string name = "fake" + std::to_string(minor);
        const std::string device = root_ + "/sys/devices/pci0000:00/" + (usb ? "usb1/1-1/" : "") + "block/" + name;
        std::filesystem::create_directories(device + "/queue");
        std::ofstream(device + "/queue/rotational") << (rotational ? "1\n" : "0\n");
        std::filesystem::create_symlink(device, root_ + "/sys/dev/block/7:" + std::to_string(minor));
        std::ofstream(sources_.mountInfo, std::ios::app)
            << 100 + minor << " 1 7:" << minor << " / " << mountPoint << " rw,relatime - ext4 /dev/zembra-" << name
            << " rw\n";
        return mountPoint + "/";
    }
    const platform::DriveSources& Sources() const { return sources_; }

private:
    std::string root_;
    platform::DriveSources sources_;
    int count_ = 0;
};

}  // namespace

class InstallTargetChecksTest : public ::testing::Test {
protected:
    TempDir temp_;
    ScopedEnv registry_{"ZEMBRA_REGISTRY_DIR", temp_.str() + "/registry"};
    flowtest::RecordingAnalytics analytics_;
    LogLines log_;
};

TEST(InstallDirTest, ProductFolderIsAddedOnceWithSlashes) {
    using Checks = CInstallTargetChecks;
    EXPECT_EQ(Checks::GetInstallDir("/opt", kProduct), "/opt/Zembra Morvanta");
    EXPECT_EQ(Checks::GetInstallDir("/opt/", kProduct), "/opt/Zembra Morvanta");
    EXPECT_EQ(Checks::GetInstallDir("\\data\\apps", kProduct), "/data/apps/Zembra Morvanta");
    EXPECT_EQ(Checks::GetInstallDir("/data/Zembra Morvanta/bin", kProduct), "/data/Zembra Morvanta/bin");
    EXPECT_EQ(Checks::GetInstallDir("/data/zembra morvanta", kProduct), "/data/zembra morvanta/Zembra Morvanta");

    CConfigure configuration(499, 1033, 412);
    configuration.Software_name = "From Reply";
    EXPECT_EQ(Checks::GetProductFolderName(configuration, kProduct), kProduct) << "not loaded yet";
    configuration.LoadState = CConfigure::LoadStateLoaded;
    EXPECT_EQ(Checks::GetProductFolderName(configuration, kProduct), "From Reply");
}

TEST(InstallDirTest, FreeSpaceNeedIsThreeTimesOnTheWorkDriveElseTwice) {
    EXPECT_EQ(RequiredFreeBytes(1000, true), 3000u);
    EXPECT_EQ(RequiredFreeBytes(1000, false), 2000u);
    EXPECT_EQ(RequiredFreeBytes(0, true), 0u);
    EXPECT_EQ(RequiredFreeBytes(-5, true), 0u);
    EXPECT_EQ(RequiredFreeBytes(INT64_MAX, true), UINT64_MAX) << "saturates instead of wrapping";
}

// Private tmpfs disks, fully free: the x3/x2 rule with its equality edge,
// the work disk's own check, a move to the roomiest disk that can take the
// folder, and a read-only mount.
TEST_F(InstallTargetChecksTest, SpaceRulesOnPrivateDisks) {
    const std::string root = temp_.str();
    const auto output = InPrivateMounts([&]() -> std::string {
        if (!MountTmpfs(root + "/a", 48 << 10) || !MountTmpfs(root + "/b", 48 << 10) ||
            !MountTmpfs(root + "/big", 96 << 10) || !MountTmpfs(root + "/ro", 192 << 10, true))
            return "no tmpfs";
        flowtest::RecordingAnalytics analytics;
        FakeDisks disks(root + "/fake");
        disks.Add(root + "/a", true);
        disks.Add(root + "/big", true);
        disks.Add(root + "/ro", true);  // the roomiest, but nothing can be made there
        CInstallTargetChecks checks(analytics, disks.Sources());
        const std::string work = root + "/a/QKDownloader/run";
        std::ostringstream out;
        auto space = [&](std::int64_t size, const std::string& dir) {
            const FreeSpaceCheck check = checks.EnoughFreeSpace(size, work, dir);
            out << check.result << ":" << (check.freeBytes ? std::to_string(*check.freeBytes) : "-") << " ";
        };
        space(16 << 10, root + "/a/Zembra");  // same disk: 48 KiB needed, 48 KiB free is not enough
        space(16 << 10, root + "/b/Zembra");  // other disk: 32 KiB needed
        space(48 << 10, root + "/b/Zembra");  // the work disk itself is too small
        space(0, root + "/a/Zembra");
        out << "| ";
        for (const auto& call : analytics.Calls()) out << call << " ";
        out << "| ";
        // The install disk is too small; the roomiest disk takes the folder.
        const InstallPathCheck moved =
            checks.IsCorrectInstallPath(ReplyConfiguration(16 << 10), {root + "/a/apps", kProduct, 0, work}, {});
        out << moved.passed << " " << moved.installPathText.substr(root.size()) << " | ";
        const InstallPathCheck readOnly =
            checks.IsCorrectInstallPath(ReplyConfiguration(0), {root + "/ro/apps", kProduct, 0, work}, {});
        out << readOnly.passed << " " << (readOnly.box ? *readOnly.box : -1) << " " << analytics.Calls().back();
        return out.str();
    });
    if (!output) GTEST_SKIP() << "no user namespace for private tmpfs mounts here";
    EXPECT_EQ(*output,
              "-2:49152 1:- -1:49152 1:- "
              "| E|Other|FlowError|DL008|0 E|Other|NoEnoughSpace|download_49152|0 "
              "| 1 /big/apps | "
              "0 4 E|Other|FlowError|DL009|0");
}

TEST_F(InstallTargetChecksTest, FolderThatCannotBeMadeIsRefusedWithAPathBox) {
    CInstallTargetChecks checks(analytics_);
    const std::string work = temp_.str() + "/work";
    const CConfigure fromFile(499, 1033, 412);
    for (const std::string& bad : {temp_.str() + "/" + std::string(5000, 'x'), temp_.str() + "/bad\xC3(name",
                                   std::string("relative/folder")}) {
        const InstallPathCheck check = checks.IsCorrectInstallPath(fromFile, {bad, kProduct, 0, work}, {});
        EXPECT_FALSE(check.passed);
        EXPECT_EQ(check.box, MsgPathError);
    }
    EXPECT_EQ(analytics_.Count("E|Other|FlowError|DL009|0"), 3u);
    EXPECT_TRUE(log_.HasPart(" Install dir not usable: cannot create: File name too long"));
    EXPECT_TRUE(log_.HasPart(" Install dir not usable: not valid UTF-8"));
    EXPECT_FALSE(std::filesystem::exists("relative"));

    const InstallPathCheck good =
        checks.IsCorrectInstallPath(fromFile, {temp_.str() + "/apps", kProduct, 0, work}, {});
    EXPECT_TRUE(good.passed);
    EXPECT_TRUE(std::filesystem::is_directory(temp_.str() + "/apps/Zembra Morvanta"));
    EXPECT_TRUE(analytics_.InOrder({"P|Download|DownloadEnvReady||"}));
    EXPECT_EQ(analytics_.Count("E|Other|ProcessNeedRestartSign||0"), 0u);
}

TEST_F(InstallTargetChecksTest, SolidStateDiskIsSuggestedFromTheSysfsFlag) {
    FakeDisks disks(temp_.str() + "/fake");
    std::filesystem::create_directories(temp_.str() + "/hdd/apps");
    std::filesystem::create_directories(temp_.str() + "/usbssd");
    std::filesystem::create_directories(temp_.str() + "/ssd");
    const std::string hdd = disks.Add(temp_.str() + "/hdd", true);
    const std::string usb = disks.Add(temp_.str() + "/usbssd", false, true);
    const std::string ssd = disks.Add(temp_.str() + "/ssd", false);
    CInstallTargetChecks checks(analytics_, disks.Sources());

    const auto drives = platform::ListDrives(disks.Sources());
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_FALSE(drives[0].isSolidState);
    EXPECT_TRUE(drives[1].isSolidState && drives[1].isUsb);
    EXPECT_TRUE(drives[2].isSolidState && !drives[2].isUsb);
    EXPECT_EQ(checks.GetSsdDriveLetters(), std::vector<std::string>{ssd}) << "a USB disk never takes part";

    const std::string work = temp_.str() + "/work";
    const InstallTargetInputs onHdd{hdd + "apps", kProduct, 1, work};
    EXPECT_EQ(checks.NeedSuggestSSD(1 << 20, onHdd), ssd);
    EXPECT_TRUE(log_.Has(" Judge space ok, can use ssd: " + ssd));
    EXPECT_EQ(checks.NeedSuggestSSD(INT64_MAX / 4, onHdd), "") << "no room on the solid-state disk";
    EXPECT_EQ(checks.NeedSuggestSSD(1 << 20, {hdd + "apps", kProduct, 0, work}), "") << "suggestion off";
    EXPECT_EQ(checks.NeedSuggestSSD(1 << 20, {ssd + "apps", kProduct, 1, work}), "");
    EXPECT_TRUE(log_.Has(" CurInstallPath is ssd"));

    // Accepting moves only the disk part of the path; declining keeps it.
    std::vector<std::string> asked;
    auto answer = [&asked](int reply) {
        return [&asked, reply](EnumMsgType kind, const std::string& text) {
            asked.push_back(std::to_string(kind) + ":" + text);
            return reply;
        };
    };
    const ReplyConfiguration reply(1 << 20);
    const InstallPathCheck accepted = checks.IsCorrectInstallPath(reply, onHdd, answer(1));
    EXPECT_TRUE(accepted.passed);
    EXPECT_EQ(accepted.installPathText, ssd + "apps");
    EXPECT_EQ(accepted.installDir, ssd + "apps/Zembra Morvanta");
    EXPECT_TRUE(log_.Has(" user choose ok to switch ssd: " + ssd));
    const InstallPathCheck declined = checks.IsCorrectInstallPath(reply, onHdd, answer(2));
    EXPECT_EQ(declined.installPathText, hdd + "apps");
    EXPECT_EQ(asked, (std::vector<std::string>{"15:" + ssd, "15:" + ssd}));
}

TEST_F(InstallTargetChecksTest, PendingRenameOfTheFolderIsReportedAndTheInstallGoesOn) {
    const std::string dir = temp_.str() + "/apps/Zembra Morvanta";
    EXPECT_FALSE(CInstallTargetChecks::IsPendingRename(dir)) << "no value";
    const std::string pending = std::string("\\??\\") + dir + "/old.dll" + '\0' + '\0' + "/other/file" + '\0';
    ASSERT_TRUE(platform::RegistryStore::WriteString(platform::RegistryHive::LocalMachine,
                                                     "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                                                     "PendingFileRenameOperations", pending));
    EXPECT_TRUE(CInstallTargetChecks::IsPendingRename(dir));
    EXPECT_FALSE(CInstallTargetChecks::IsPendingRename(temp_.str() + "/apps/Zembra"));

    CInstallTargetChecks checks(analytics_);
    const InstallPathCheck check = checks.IsCorrectInstallPath(
        CConfigure(499, 1033, 412), {temp_.str() + "/apps", kProduct, 0, temp_.str()}, {});
    EXPECT_TRUE(check.passed && check.pendingRename);
    EXPECT_EQ(analytics_.Count("E|Other|ProcessNeedRestartSign||0"), 1u);
}

TEST_F(InstallTargetChecksTest, RunningProductStopsTheInstall) {
    // A process whose executable is named like the product, longer than
    // the kernel's 15-byte name.
    const std::string exe = temp_.str() + "/ZembraProbeRunning.exe";
    std::filesystem::copy_file("/bin/sleep", exe);
    const pid_t pid = platform::SpawnProcess({exe, "60"});
    ASSERT_GT(pid, 0);
    CInstallTargetChecks checks(analytics_);
    const ProductRunningCheck running = checks.AppIsRunning("ZembraProbeRunning.exe");
    EXPECT_FALSE(running.mayInstall);
    EXPECT_EQ(running.box, MsgAppExist);
    EXPECT_TRUE(log_.Has("ZembraProbeRunning.exe,ZembraProbeRunning.exeID:" + std::to_string(pid)));
    EXPECT_TRUE(checks.AppIsRunning("zembraproberunning.exe").mayInstall) << "names compare case-sensitively";

    ReplyConfiguration configuration(0);
    configuration.value.Process_name = "ZembraProbeRunning.exe";
    const InstallStartCheck start =
        checks.BeginInstallChecks(configuration, {temp_.str() + "/apps", kProduct, 0, temp_.str()}, {}, {});
    EXPECT_FALSE(start.started);
    EXPECT_EQ(start.box, MsgAppExist);
    EXPECT_EQ(analytics_.Calls(), std::vector<std::string>{"E|Other|FlowError|DL024|0"});
    EXPECT_FALSE(std::filesystem::exists(temp_.str() + "/apps")) << "nothing created for a refused install";

    platform::TerminateProcess(pid);
    platform::WaitForProcess(pid, -1);
    EXPECT_TRUE(checks.AppIsRunning("ZembraProbeRunning.exe").mayInstall);
}

// A stand-in systemctl: answers "show" from the file state.<scope> beside
// it (missing: the query fails), exits with the number in stop.<scope> for
// "stop", and appends every argument list to calls.
class ProductServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        managers_.systemctl = temp_.WriteFile("systemctl",
            "#!/bin/sh\n"
            "dir=$(dirname \"$0\"); scope=system; [ \"$1\" = --user ] && scope=user\n"
            "echo \"$@\" >> \"$dir/calls\"\n"
            "for verb in \"$@\"; do case $verb in\n"
            "  show) cat \"$dir/state.$scope\" || exit 1; exit 0;;\n"
            "  stop) exit $(cat \"$dir/stop.$scope\" 2>/dev/null || echo 0);;\n"
            "esac; done\n");
        std::filesystem::permissions(managers_.systemctl, std::filesystem::perms::owner_all);
        managers_.systemManager = true;
        managers_.userManager = true;
    }
    std::string Calls() const { return testsupport::ReadFile(temp_.str() + "/calls"); }

    TempDir temp_;
    ServiceManagers managers_;
};

TEST_F(ProductServiceTest, RunningUnitIsStoppedInItsOwnScope) {
    temp_.WriteFile("state.system", "LoadState=not-found\nActiveState=inactive\n");
    temp_.WriteFile("state.user", "LoadState=loaded\nActiveState=active\n");
    EXPECT_EQ(StopProductService(6, managers_), ServiceStoppedOrNothingToDo);
    EXPECT_EQ(Calls(),
              "--no-ask-password show --property=LoadState,ActiveState QuenrickWinAdService.service\n"
              "--user --no-ask-password show --property=LoadState,ActiveState QuenrickWinAdService.service\n"
              "--user --no-ask-password stop QuenrickWinAdService.service\n");
    temp_.WriteFile("stop.user", "5");
    EXPECT_EQ(StopProductService(6, managers_), ServiceStopRefused);
    temp_.WriteFile("state.user", "LoadState=loaded\nActiveState=inactive\n");
    EXPECT_EQ(StopProductService(105, managers_), ServiceStoppedOrNothingToDo);
    EXPECT_EQ(Calls().find("stop QuenrickDataRecoveryService"), std::string::npos) << "a stopped unit is left alone";
}

TEST_F(ProductServiceTest, MissingUnitManagerOrAnswerEachHaveTheirResult) {
    EXPECT_EQ(StopProductService(0, managers_), ServiceStoppedOrNothingToDo);
    EXPECT_EQ(Calls(), "") << "a product without a service asks nothing";
    EXPECT_EQ(StopProductService(6, managers_), ServiceStatusQueryFailed);
    temp_.WriteFile("state.system", "LoadState=not-found\nActiveState=inactive\n");
    EXPECT_EQ(StopProductService(6, managers_), ServiceNotFound);
    ServiceManagers none = managers_;
    none.systemManager = none.userManager = false;
    EXPECT_EQ(StopProductService(6, none), ServiceManagerNotOpened);
    none = managers_;
    none.systemctl.clear();
    EXPECT_EQ(StopProductService(105, none), ServiceManagerNotOpened);
}

TEST_F(InstallTargetChecksTest, BrowsedFolderGetsTheProductFolder) {
    CInstallTargetChecks checks(analytics_);
    FolderChooserPrograms programs;
    programs.hasDisplay = true;
    EXPECT_FALSE(checks.BrowseInstallFolder("/opt/Zembra", programs).chooserAvailable) << "none installed";

    programs.zenity = temp_.WriteFile("zenity", "#!/bin/sh\ncat \"$(dirname \"$0\")/answer\" || exit 1\n");
    std::filesystem::permissions(programs.zenity, std::filesystem::perms::owner_all);
    const BrowseResult cancelled = checks.BrowseInstallFolder("/opt/Zembra", programs);
    EXPECT_TRUE(cancelled.chooserAvailable);
    EXPECT_EQ(cancelled.result, -1);
    EXPECT_EQ(cancelled.installPathText, "/opt/Zembra");

    temp_.WriteFile("answer", temp_.str() + "/chosen\n");
    const BrowseResult chosen = checks.BrowseInstallFolder("/opt/Zembra", programs);
    EXPECT_EQ(chosen.result, 0);
    EXPECT_EQ(chosen.installPathText, temp_.str() + "/chosen/Zembra");
    ASSERT_TRUE(chosen.freeSpaceGb.has_value());
    EXPECT_GT(*chosen.freeSpaceGb, 0.0f);
}
