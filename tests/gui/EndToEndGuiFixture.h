#pragma once
// The base of the end-to-end GUI tests: a private X server with a window
// manager, a devserver hosting the demo package, and a sandbox for the
// installer program, with the steps every run shares.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "gui/EndToEndWizard.h"
#include "gui/GuiDisplay.h"
#include "support/AnalyticsRecords.h"
#include "support/DemoPackage.h"
#include "support/DevServer.h"
#include "support/InstallerSandbox.h"

namespace testsupport {

constexpr const char* kPackagePath = "/downloads/extra/zembramorvanta_zembram.exe";
constexpr const char* kUploadPath = "/v1/productLogUpload";
constexpr int kRunMs = 120000;
constexpr WizardPage kFailurePage{0, 1, true};

class EndToEndGuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(display_.Start(true)) << "no X server for the test";
        ASSERT_TRUE(server_.Started());
        server_.AddFile(kPackagePath, ReadFile(DemoPackagePath()));
        WriteSettings("");
    }

    void WriteSettings(const std::string& switches) {
        sandbox_.WriteSettings("[Settings]\n" + switches + "\n" + server_.HostsSection(false) +
                               "CaFile=" + DemoRoots() + "\n");
    }
    // Fields of the download-information reply.
    void ReplyWith(const std::string& fieldsJson) {
        server_.SetRule(R"({"path": "/queryDownloaderV2", "queryReply": {"fields": )" + fieldsJson + "}}");
    }
    // Every package range is sent at this pace, so a page stays up long enough to act on it.
    int ThrottlePackage(int bytesPerSecond) {
        return server_.SetRule(R"({"path": ")" + std::string(kPackagePath) +
                               R"(", "rateBytesPerSecond": )" + std::to_string(bytesPerSecond) + "}");
    }
    // The downloaded package in the work folder.
    std::string LocalPackage() const {
        return sandbox_.workRoot() + "/QKDownloader/zembramorvanta_zembram/zembramorvanta_zembram_1.0.0.0.exe";
    }
    std::string InstalledProduct() const {
        return sandbox_.root().str() + "/programs/Zembra/Zembra Morvanta/ZembraMorvanta.exe";
    }

    // Starts the wizard and waits for its window and for the download
    // information it asks for at start.
    std::unique_ptr<WizardProcess> OpenWizard(const std::vector<std::string>& args = {}) {
        auto wizard = std::make_unique<WizardProcess>(sandbox_, args);
        EXPECT_TRUE(wizard->Started());
        EXPECT_FALSE(wizard->WaitForWindow().empty()) << wizard->Output();
        EXPECT_TRUE(wizard->WaitForLog(" [Downloader config]: ")) << wizard->Log();
        return wizard;
    }
    // Clicks install and waits for the running page's first download progress.
    void StartInstall(WizardProcess& wizard) {
        ASSERT_TRUE(wizard.Click("install_btn"));
        ASSERT_TRUE(wizard.WaitForLog(" Click install button")) << wizard.Log();
        ASSERT_TRUE(wizard.WaitForLog(" Tasks info, round begin, current = 1")) << wizard.Log();
    }

    // Analytics left over by a run arrive through the resend process the
    // window starts when it goes; every request must be one the services take.
    std::vector<std::string> AnalyticsOnceDelivered(const std::string& lastEntry) {
        Eventually([&] { return CountOf(AnalyticsStream(server_.Records()), lastEntry) > 0; },
                   kRunMs);
        const auto records = server_.Records();
        EXPECT_TRUE(WellFormedAnalytics(records));
        return AnalyticsStream(records);
    }

    GuiDisplay display_;
    DevServer server_{DevServer::Options{false, ""}};
    InstallerSandbox sandbox_;
};

}  // namespace testsupport
