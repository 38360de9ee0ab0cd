// The wizard window against what goes wrong on a user's machine: the
// product already running, an install folder that cannot be written or
// whose disk goes away, a setup that fails, a close while the setup runs.
// Each ends on its box or page, and what was downloaded stays for the next
// try.
#include <gtest/gtest.h>

#include <sys/mount.h>

#include <filesystem>
#include <fstream>

#include "gui/EndToEndGuiFixture.h"
#include "platform/Process.h"
#include "support/PrivateMounts.h"

namespace fs = std::filesystem;
using testsupport::EndToEndGuiTest;
using testsupport::kFailurePage;
using testsupport::kPackagePath;
using testsupport::kRunMs;
using testsupport::kUploadPath;
using testsupport::Eventually;
using testsupport::InOrder;
using testsupport::ReadFile;
using testsupport::WizardProcess;

namespace {

// A process under the file name the product goes by. The name is the
// test's own, given to the wizard through the download information, so
// the other runs of the suite never take it for their product.
constexpr const char* kProbeProduct = "ZembraRunningProbe.exe";

class FakeProduct {
public:
    explicit FakeProduct(const std::string& folder) {
        const std::string path = folder + "/" + kProbeProduct;
        fs::create_directories(folder);
        fs::copy_file("/bin/sleep", path, fs::copy_options::overwrite_existing);
        platform::SpawnOptions options;
        options.hidden = true;
        pid_ = platform::SpawnProcess({path, "600"}, options);
    }
    ~FakeProduct() {
        if (pid_ <= 0) return;
        platform::TerminateProcess(pid_);
        platform::WaitForProcess(pid_, -1);
    }

private:
    pid_t pid_ = -1;
};

class EndToEndBadInputGuiTest : public EndToEndGuiTest {
protected:
    // False when the variant could not be made.
    bool ServePackage(const std::string& options) {
        const std::string variant = testsupport::MakeDemoPackage(sandbox_.root().str() + "/variant", options);
        if (!variant.empty()) server_.AddFile(kPackagePath, ReadFile(variant));
        return !variant.empty();
    }
};

TEST_F(EndToEndBadInputGuiTest, TheProductRunningStopsTheInstallWithABox) {
    ReplyWith(std::string(R"({"Process_name": ")") + kProbeProduct + R"("})");
    FakeProduct product(sandbox_.root().str() + "/running");
    auto wizard = OpenWizard();
    ASSERT_TRUE(wizard->Click("install_btn"));
    ASSERT_TRUE(wizard->DismissMessageBox()) << wizard->Log();
    EXPECT_TRUE(wizard->WaitForLog(" ShowMsgBox: 3")) << wizard->Log();
    EXPECT_NE(wizard->Log().find("app is running"), std::string::npos);
    EXPECT_TRUE(wizard->WindowVisible()) << "the setting page stays";
    EXPECT_TRUE(server_.RecordsFor(kPackagePath).empty());
}

TEST_F(EndToEndBadInputGuiTest, AnInstallFolderOnAReadOnlyMountIsRefusedWithABox) {
    // The wizard runs in a mount namespace of its own, where the program
    // folder is a read-only file system.
    const auto problem = testsupport::InPrivateMounts([&]() -> std::string {
        const std::string programs = sandbox_.root().str() + "/programs";
        if (!testsupport::MountTmpfs(programs, 64 << 20, true)) return "no read-only mount";
        WizardProcess wizard(sandbox_);
        if (wizard.WaitForWindow().empty() || !wizard.WaitForLog(" [Downloader config]: ")) return "no wizard";
        if (!wizard.Click("install_btn") || !wizard.DismissMessageBox()) return "no box: " + wizard.Log();
        if (!wizard.WaitForLog(" ShowMsgBox: 4", 10000)) return "not the invalid-path box: " + wizard.Log();
        if (wizard.Log().find(" Tasks info") != std::string::npos) return "the download started";
        if (!wizard.WindowVisible()) return "the wizard went away";
        return "";
    });
    if (!problem) GTEST_SKIP() << "no private mounts here";
    EXPECT_EQ(*problem, "");
    EXPECT_TRUE(server_.RecordsFor(kPackagePath).empty());
}

TEST_F(EndToEndBadInputGuiTest, AnInstallFolderWhoseMountVanishesMidDownloadEndsOnThePathBox) {
    ThrottlePackage(1 << 20);
    // The program folder is a file system of its own, unmounted while the
    // package comes in, as when a disk is unplugged.
    const auto problem = testsupport::InPrivateMounts([&]() -> std::string {
        const std::string programs = sandbox_.root().str() + "/programs";
        if (!testsupport::MountTmpfs(programs, 64 << 20)) return "no mount";
        WizardProcess wizard(sandbox_);
        if (wizard.WaitForWindow().empty() || !wizard.WaitForLog(" [Downloader config]: ")) return "no wizard";
        if (!wizard.Click("install_btn") || !wizard.WaitForLog(" Tasks info, download begin", kRunMs))
            return "no download: " + wizard.Log();
        if (umount2(programs.c_str(), MNT_DETACH) != 0) return "no unmount";
        if (!wizard.WaitForLog(" Install folder gone: ", kRunMs)) return "not noticed: " + wizard.Log();
        if (!wizard.DismissMessageBox() || !wizard.WaitForLog(" ShowMsgBox: 4")) return "no path box: " + wizard.Log();
        if (!wizard.WaitForLog(" Enter fail page ")) return "no failure page: " + wizard.Log();
        if (wizard.Log().find("[Start Install CmdLine]") != std::string::npos) return "the setup ran";
        if (!fs::exists(LocalPackage())) return "the package went";
        if (fs::exists(programs + "/Zembra")) return "a folder was made beneath the mount";
        return "";
    });
    if (!problem) GTEST_SKIP() << "no private mounts here";
    EXPECT_EQ(*problem, "");
}

TEST_F(EndToEndBadInputGuiTest, ADiskFillingUpMidDownloadCannotTakeThePackagesRoom) {
    ThrottlePackage(1 << 20);
    // The work folder is a small file system of its own, which another
    // program fills while the package comes in.
    const auto problem = testsupport::InPrivateMounts([&]() -> std::string {
        const std::string work = sandbox_.workRoot();
        if (!testsupport::MountTmpfs(work, 24 << 20)) return "no mount";
        WizardProcess wizard(sandbox_);
        if (wizard.WaitForWindow().empty() || !wizard.WaitForLog(" [Downloader config]: ")) return "no wizard";
        if (!wizard.Click("install_btn") || !wizard.WaitForLog(" Tasks info, download begin", kRunMs))
            return "no download: " + wizard.Log();
        std::ofstream filler(work + "/filler", std::ios::binary);
        const std::string block(1 << 20, 'x');
        while (filler.write(block.data(), block.size())) {}
        filler.close();
        if (fs::space(work).available >= (1 << 20)) return "the disk did not fill up";
        // The package's room was taken before its first byte came.
        if (wizard.WaitForExit(kRunMs) != 0) return "no end: " + wizard.Log();
        if (wizard.Log().find(" Enter fail page ") != std::string::npos) return "failed: " + wizard.Log();
        return "";
    });
    if (!problem) GTEST_SKIP() << "no private mounts here";
    EXPECT_EQ(*problem, "");
    EXPECT_TRUE(fs::exists(InstalledProduct()));
}

TEST_F(EndToEndBadInputGuiTest, AFailingSetupEndsOnTheFailurePageWithoutStartingAnything) {
    ASSERT_TRUE(ServePackage("--fail"));
    auto wizard = OpenWizard();
    StartInstall(*wizard);
    ASSERT_TRUE(wizard->DismissMessageBox(kRunMs)) << wizard->Log();
    ASSERT_TRUE(wizard->WaitForLog(" Enter fail page ")) << wizard->Log();
    EXPECT_NE(wizard->Log().find(" Setup exited with code 5"), std::string::npos);
    EXPECT_TRUE(wizard->WindowVisible()) << "the failure page stays for Try again";
    EXPECT_FALSE(fs::exists(InstalledProduct()));
    EXPECT_TRUE(wizard->Click("closebtn", kFailurePage));
    EXPECT_EQ(wizard->WaitForExit(kRunMs), 0) << wizard->Log();
}

TEST_F(EndToEndBadInputGuiTest, ClosingWhileTheSetupRunsLetsTheSetupFinish) {
    ASSERT_TRUE(ServePackage("--install-ms 8000"));
    ReplyWith(R"({"Downloader_config": "2"})");
    auto wizard = OpenWizard();
    StartInstall(*wizard);
    ASSERT_TRUE(wizard->WaitForLog(" [Start Install CmdLine]", kRunMs)) << wizard->Log();
    ASSERT_TRUE(wizard->WaitForLog(" Progress shown: 91")) << wizard->Log();
    ASSERT_TRUE(wizard->CloseFromDesktop());
    EXPECT_EQ(wizard->WaitForExit(kRunMs), 0) << wizard->Log();

    const auto uploads = server_.WaitForRecords(kUploadPath, 1, kRunMs);
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].json["form"]["catalogue"]["value"].asString(), "close03");
    // The program ended only after the setup it started: the product is in
    // place, and the package it no longer needs is gone.
    EXPECT_TRUE(fs::exists(InstalledProduct())) << wizard->Log();
    EXPECT_FALSE(fs::exists(LocalPackage()));
}

}  // namespace
