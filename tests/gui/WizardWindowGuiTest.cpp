// The wizard window on a real display, driven by clicks: its start language,
// the consent box, the two panels, the close button, and whole runs of the
// install flow against the devserver (progress, failure page, "Try again").
#include <gtest/gtest.h>

#include <algorithm>
#include <list>
#include <memory>
#include <thread>

#include "Common/install_ui_mainwnd/InstallUIMainWnd.h"
#include "LanguageTexts.h"
#include "SingleUserLog.h"
#include "gui/GuiTest.h"
#include "platform/EmbeddedResources.h"
#include "platform/RegistryStore.h"
#include "support/DemoPackage.h"
#include "support/DevServer.h"
#include "support/InstallerSandbox.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"
#include "uitoolkit/controls/CheckBoxUI.h"
#include "uitoolkit/controls/TabLayoutUI.h"
#include "uitoolkit/markup/SkinArchive.h"

namespace {

using testsupport::ReadFile;
using testsupport::ScopedEnv;

constexpr const char* kPackagePath = "/downloads/extra/zembramorvanta_zembram.exe";

class WizardWindowGuiTest : public testsupport::GuiTest {
protected:
    bool NeedsWindowManager() const override { return false; }

    void SetUp() override {
        GuiTest::SetUp();
        ASSERT_TRUE(server_.Started());
        const auto archive = platform::EmbeddedSkinArchive();
        ASSERT_TRUE(ZembraUI::CSkinArchive::OpenFromMemory(archive.data(), archive.size()));
        sandbox_.WriteSettings("[Settings]\n" + server_.HostsSection(false) + "CaFile=" + testsupport::DemoRoots() + "\n");
        for (const std::string& entry : sandbox_.Environment()) {
            const auto equals = entry.find('=');
            environment_.emplace_back(entry.substr(0, equals), entry.substr(equals + 1));
        }
        CSingleUserLog::GetInstance().InitLogPaths("zembramorvanta_zembram");
    }
    void TearDown() override {
        CSingleUserLog::GetInstance().backgroundMode = false;
        CSingleUserLog::GetInstance().backRunning = 0;
        CSingleUserLog::GetInstance().downloaderConfig = 0;
        GuiTest::TearDown();
    }
    void ServeDemoPackage() {
        const std::string package = ReadFile(testsupport::DemoPackagePath());
        ASSERT_FALSE(package.empty()) << testsupport::DemoPackagePath();
        server_.AddFile(kPackagePath, package);
    }

    // The program's window with boxes, product start and links answered here.
    std::unique_ptr<InstallUIMainWnd> Open(const std::function<void(LabelList&)>& changeLabels = {},
                                           bool skinnedBoxes = false) {
        InstallUIMainWnd::Options options;
        if (changeLabels) changeLabels(options.labels);
        options.installRoot = sandbox_.root().str() + "/programs/Zembra";
        InstallUIMainWnd::Services& services = options.services;
        if (!skinnedBoxes) {
            services.messageBox = [this](InstallUIMainWnd&, EnumMsgType kind, const std::string&) {
                boxes_.push_back(kind);
                return answer_;
            };
        }
        services.plainBox = [](const std::string&) {};
        services.startProduct = [this](const std::string& path, int) {
            startedProduct_ = path;
            return 0;
        };
        services.launchSplash = [this](const std::string& path) { startedProduct_ = path; };
        services.openOnDesktop = [](const std::string&) { return true; };
        services.startSelf = [this](const std::vector<std::string>& arguments) { selfStarts_.push_back(arguments); };
        services.windowGone = [] {};
        auto window = std::make_unique<InstallUIMainWnd>(std::move(options));
        if (!window->CreateHostWindow(nullptr, "Zembra Morvanta", 0x800A0000, 0, 0, 0, 600, 400)) return nullptr;
        window->ShowHostWindow(true, true);
        if (!PumpUntil([&] { return window->IsVisible(); })) return nullptr;
        return window;
    }

    ZembraUI::CControlUI* Control(InstallUIMainWnd& window, const char* name) {
        return window.PaintManager().ControlByName(name);
    }
    int Page(InstallUIMainWnd& window, const char* tabs) {
        auto* layout = dynamic_cast<ZembraUI::CTabLayoutUI*>(Control(window, tabs));
        return layout != nullptr ? layout->CurrentSelection() : -1;
    }

    // Starts a click in the middle of a control with the pointer, as a user
    // would; the loop must run for it to arrive.
    bool StartClick(InstallUIMainWnd& window, const char* name) {
        PumpUntil([] { return false; }, 100);  // the layout of the last change is painted
        const ZembraUI::CControlUI* control = Control(window, name);
        if (control == nullptr) return false;
        const ZembraUI::UIRect screen = window.ScreenRect();
        const ZembraUI::UIRect pos = control->Pos();
        const int x = screen.left + (pos.left + pos.right) / 2;
        const int y = screen.top + (pos.top + pos.bottom) / 2;
        // Away first: a move with --sync to where the pointer already is waits in vain.
        return display_.XdotoolInBackground(
            {"mousemove", "1", "1", "mousemove", "--sync", std::to_string(x), std::to_string(y), "click", "1"});
    }
    bool Click(InstallUIMainWnd& window, const char* name) {
        if (!StartClick(window, name)) return false;
        PumpUntil([] { return false; }, 300);
        return display_.FinishBackground();
    }

    // Pumps until the run ends and the window closes, noting every bar value seen.
    bool RunUntilClosed(InstallUIMainWnd& window, std::vector<int>& progress, int deadlineMs = 120000) {
        return PumpUntil(
            [&] {
                if (progress.empty() || progress.back() != window.GetProgress()) progress.push_back(window.GetProgress());
                return !window.IsAlive();
            },
            deadlineMs);
    }

    testsupport::DevServer server_{testsupport::DevServer::Options{false, ""}};
    testsupport::InstallerSandbox sandbox_;
    std::list<ScopedEnv> environment_;
    std::vector<EnumMsgType> boxes_;
    int answer_ = 1;
    std::string startedProduct_;
    std::vector<std::vector<std::string>> selfStarts_;
};

TEST_F(WizardWindowGuiTest, StartsInTheLocalesLanguage) {
    ScopedEnv language("LANGUAGE", "");
    ScopedEnv all("LC_ALL", "");
    ScopedEnv messages("LC_MESSAGES", "");
    ScopedEnv lang("LANG", "fr_CH.UTF-8");
    auto window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->CurrentLanguage(), French);
    const std::string french = FuntionImpl::GetLanguageText("install_page", "install_btn", French);
    ASSERT_FALSE(french.empty());
    EXPECT_NE(french, FuntionImpl::GetLanguageText("install_page", "install_btn", English));
    EXPECT_EQ(Control(*window, "install_btn")->Text(), french);
    EXPECT_EQ(window->ClientSize(), (ZembraUI::UISize{650, 360}));
    // The first start on this machine leaves its marker.
    EXPECT_EQ(platform::RegistryStore::ReadString(platform::RegistryHive::LocalMachine,
                                                  "SOFTWARE\\Quenrick\\Downloader2.5.0", "GA_PC"),
              "1");
}

TEST_F(WizardWindowGuiTest, DisagreeingToTheLicenceKeepsTheSettingPage) {
    auto window = Open(
        [](LabelList& labels) {
            for (auto& [name, text] : labels)
                if (name == "ChooseLicense") text = "0";
        },
        true);
    ASSERT_NE(window, nullptr);
    testsupport::LogCapture log;
    auto* consent = dynamic_cast<ZembraUI::CCheckBoxUI*>(Control(*window, "license_checkbox"));
    ASSERT_NE(consent, nullptr);
    ASSERT_FALSE(consent->Checked());
    // The consent box (500 x 190) opens centred on the wizard; its No
    // button is the right one of the button row.
    const ZembraUI::UIRect wizard = window->ScreenRect();
    const int noX = wizard.left + (wizard.Width() - 500) / 2 + 396;
    const int noY = wizard.top + (wizard.Height() - 190) / 2 + 158;
    ASSERT_TRUE(StartClick(*window, "install_btn"));
    ASSERT_TRUE(display_.FinishBackground());
    ASSERT_TRUE(display_.XdotoolInBackground(
        {"sleep", "1", "mousemove", "--sync", std::to_string(noX), std::to_string(noY), "click", "1"}));
    // The click on install_btn runs the box's own loop until it is answered.
    PumpUntil([] { return false; }, 2500);
    ASSERT_TRUE(display_.FinishBackground());
    ASSERT_TRUE(PumpUntil([&] { return log.Contains("not agree Privacy Policy and User License Agreement"); }));
    EXPECT_TRUE(log.Contains(" ShowMsgBox: 14"));
    EXPECT_TRUE(window->IsEnabled()) << "the box gave its owner back";
    EXPECT_FALSE(consent->Checked());
    EXPECT_EQ(Page(*window, "main_tablayout"), 0);
    EXPECT_EQ(Page(*window, "page_layout"), 0);
    window->WaitForAllThreadExit();
}

TEST_F(WizardWindowGuiTest, PanelsGrowTheWindowAndTheCloseButtonAsksFirst) {
    // The service asks for close diagnostics.
    server_.SetRule(R"({"path": "/queryDownloaderV2", "queryReply": {"fields": {"Downloader_config": "2"}}})");
    auto window = Open();
    ASSERT_NE(window, nullptr);
    const auto height = [&] { return window->ClientSize().cy; };
    ASSERT_TRUE(Click(*window, "install_setting"));
    ASSERT_TRUE(PumpUntil([&] { return height() == 560; }));
    EXPECT_EQ(Page(*window, "set_layout"), 1);
    ASSERT_TRUE(Click(*window, "install_setting"));
    ASSERT_TRUE(PumpUntil([&] { return height() == 360; }));

    // The one-link consent text opens the licence panel.
    window->PaintManager().SendNotification(Control(*window, "license_link"), "link", 0);
    ASSERT_TRUE(PumpUntil([&] { return height() == 560; }));
    EXPECT_EQ(Page(*window, "set_layout"), 0);

    // Before any run the close button asks (kind 2); yes closes as close01.
    ASSERT_TRUE(PumpUntil([] { return CSingleUserLog::GetInstance().downloaderConfig == 2; }));
    ASSERT_TRUE(Click(*window, "closebtn"));
    ASSERT_TRUE(PumpUntil([&] { return !window->IsAlive(); }));
    EXPECT_EQ(boxes_, std::vector<EnumMsgType>{MsgCancel});
    ASSERT_TRUE(window->LastClose().has_value());
    EXPECT_EQ(window->LastClose()->code, "close01");
    EXPECT_EQ(quitCode_, 0);
    ASSERT_EQ(selfStarts_.size(), 1u);
    ASSERT_EQ(selfStarts_[0].size(), 2u);
    EXPECT_EQ(selfStarts_[0][0], "-close01");
    EXPECT_EQ(selfStarts_[0][1].rfind("zembramorvanta_zembram_", 0), 0u) << selfStarts_[0][1];
    window->WaitForAllThreadExit();
}

TEST_F(WizardWindowGuiTest, AFailedDownloadOffersTryAgainWhichInstallsAndStartsTheProduct) {
    // The package host answers 503 until it is fixed.
    ServeDemoPackage();
    const int outage = server_.SetRule(std::string(R"({"path": ")") + kPackagePath + R"(", "status": 503})");
    auto window = Open();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(Click(*window, "install_btn"));
    ASSERT_TRUE(PumpUntil([&] { return !boxes_.empty(); }, 120000));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_TRUE(boxes_[0] == MsgUrlFail || boxes_[0] == MsgInternetTimeout) << boxes_[0];
    ASSERT_TRUE(PumpUntil([&] { return Control(*window, "text_fail_retry")->Visible(); }));
    EXPECT_EQ(Page(*window, "main_tablayout"), 0);
    EXPECT_EQ(Page(*window, "page_layout"), 1);
    EXPECT_EQ(Control(*window, "start_app")->Text(), FuntionImpl::GetLanguageText("install_page", "retry_btn", English));
    EXPECT_EQ(window->CloseMode(), MsgCloseNow);

    // The server is fixed (and slow enough to watch the bar move); "Try
    // again" runs the flow afresh to the product start.
    server_.RemoveRule(outage);
    server_.SetRule(std::string(R"({"path": ")") + kPackagePath + R"(", "rateBytesPerSecond": 3000000})");
    ASSERT_TRUE(StartClick(*window, "start_app"));
    ASSERT_TRUE(PumpUntil([&] { return Page(*window, "main_tablayout") == 1; }));
    ASSERT_TRUE(display_.FinishBackground());
    std::vector<int> progress;
    ASSERT_TRUE(RunUntilClosed(*window, progress));
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end())) << "the bar never goes back";
    EXPECT_LT(progress.front(), 85) << "the bar started again below the download's end";
    EXPECT_TRUE(std::any_of(progress.begin(), progress.end(), [](int p) { return p > 1 && p < 85; }))
        << "the download moves the bar";
    EXPECT_TRUE(std::any_of(progress.begin(), progress.end(), [](int p) { return p >= 90 && p < 98; }))
        << "the setup's estimate moves the bar";
    EXPECT_GE(progress.back(), 98);
    EXPECT_NE(startedProduct_.find("/ZembraMorvanta.exe\""), std::string::npos) << startedProduct_;
    EXPECT_EQ(window->LastClose()->code, "close07");
    EXPECT_EQ(boxes_.size(), 1u) << "no box after the first failure";
    window->WaitForAllThreadExit();
}

TEST_F(WizardWindowGuiTest, ClosedWhileRunningWithBackRunningItFinishesHiddenAndCloses) {
    server_.SetRule(R"({"path": "/queryDownloaderV2", "queryReply": {"fields": {"Back_running": "1"}}})");
    ServeDemoPackage();
    server_.SetRule(std::string(R"({"path": ")") + kPackagePath + R"(", "rateBytesPerSecond": 3000000})");
    auto window = Open();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(PumpUntil([] { return CSingleUserLog::GetInstance().backRunning == 1; }));
    ASSERT_TRUE(Click(*window, "install_btn"));
    ASSERT_TRUE(PumpUntil([&] { return Page(*window, "main_tablayout") == 1; }));

    // The window manager's close: no box, the window only hides.
    window->PostClose();
    ASSERT_TRUE(PumpUntil([&] { return !window->IsVisible(); }));
    EXPECT_TRUE(window->IsAlive());
    EXPECT_EQ(window->LastClose()->code, "close02");
    EXPECT_TRUE(CSingleUserLog::GetInstance().backgroundMode);
    EXPECT_FALSE(quitCode_.has_value());

    std::vector<int> progress;
    ASSERT_TRUE(RunUntilClosed(*window, progress));
    EXPECT_GE(progress.back(), 98) << "the run went on to its end";
    EXPECT_NE(window->LastClose()->code, "close02");
    EXPECT_EQ(quitCode_, 0);
    EXPECT_TRUE(boxes_.empty());
    window->WaitForAllThreadExit();
}

TEST_F(WizardWindowGuiTest, AnotherInstanceShowsTheHiddenWindow) {
    auto window = Open();
    ASSERT_NE(window, nullptr);
    window->ShowHostWindow(false, false);
    ASSERT_TRUE(PumpUntil([&] { return !window->IsVisible(); }));
    std::thread beacon([&] { window->ShowFromAnotherInstance(); });
    beacon.join();
    ASSERT_TRUE(PumpUntil([&] { return window->IsVisible(); }));
    window->WaitForAllThreadExit();
}

}  // namespace
