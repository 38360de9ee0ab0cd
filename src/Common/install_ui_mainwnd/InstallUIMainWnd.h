#pragma once
// The installer's wizard window: built from InstallMainWnd.xml, it owns the
// run's configuration, pages and threads, answers clicks, links and list
// choices, starts the install flow and shows how it ends (finish page,
// failure page with "Try again", message boxes), starts the product, and
// reports how and where the user closed it.
//
// The static members are the flow's thread entries and helpers; they work
// on what a window hands them, so they run the same with the headless host.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "CConfigure.h"
#include "Common/EmbeddedLabels.h"
#include "Common/install_ui_mainwnd/BannerCarousel.h"
#include "Common/install_ui_mainwnd/BannerRecords.h"
#include "Common/install_ui_mainwnd/CloseReport.h"
#include "Common/install_ui_mainwnd/EnumMsgType.h"
#include "Common/install_ui_mainwnd/IContentWindowPort.h"
#include "Common/install_ui_mainwnd/IRunEndReactions.h"
#include "Common/install_ui_mainwnd/IWindowTimers.h"
#include "Common/install_ui_mainwnd/IWizardWindow.h"
#include "Common/install_ui_mainwnd/InstallProgressController.h"
#include "Common/install_ui_mainwnd/InstallRunState.h"
#include "Common/install_ui_mainwnd/InstallTargetChecks.h"
#include "Common/install_ui_mainwnd/InstallWizardPages.h"
#include "Common/install_ui_mainwnd/LoggerFlowAnalytics.h"
#include "Common/install_ui_mainwnd/WizardActions.h"
#include "Common/install_ui_mainwnd/WizardThreads.h"
#include "EnumLanguage.h"
#include "uitoolkit/window/WindowImplBase.h"

class InstallUIMainWnd : public ZembraUI::WindowImplBase,
                         public IContentWindowPort,
                         public IRunEndReactions,
                         public IWindowTimers,
                         public IWizardWindow {
public:
    // What the window does outside itself. The defaults are the program's;
    // tests replace what would leave the test (boxes, processes, links).
    struct Services {
        Services();
        // The install worker's thread body.
        std::function<void(IInstallWindowPort& window)> worker;
        // A skinned message box over the window; answers 1 (Yes/OK) or 2.
        std::function<int(InstallUIMainWnd& owner, EnumMsgType kind, const std::string& text)> messageBox;
        // The plain system box of a failed product start.
        std::function<void(const std::string& text)> plainBox;
        // Starts the product (quoted path); 0 or -1.
        std::function<int(const std::string& quotedPath, int adminFlag)> startProduct;
        // The launch splash, which starts the product itself; empty: the splash window.
        std::function<void(const std::string& quotedPath)> launchSplash;
        // Opens an address or a folder on the desktop.
        std::function<bool(const std::string& target)> openOnDesktop;
        // Starts this program again with these arguments, hidden.
        std::function<void(const std::vector<std::string>& arguments)> startSelf;
        // The window is gone: release the report library, start the resend process.
        std::function<void()> windowGone;
    };

    struct Options {
        Options();
        std::string windowClassName;  // "QK_UI_Frame_" + Downloader_id from start-up
        LabelList labels;             // the embedded configuration labels
        std::string installRoot;      // Program Files + "/Zembra"
        Services services;
    };

    explicit InstallUIMainWnd(Options options);
    ~InstallUIMainWnd() override;

    // --- the window ------------------------------------------------------------
    std::string WindowClassName() const override;
    std::string SkinFolder() const override { return "skin/"; }
    std::string SkinFile() const override { return "InstallMainWnd.xml"; }
    ZembraUI::SkinResourceKind ResourceKind() const override { return ZembraUI::SkinResourceKind::ZipResource; }
    std::string ResourceId() const override { return "138"; }
    void InitWindow() override;
    void Notify(ZembraUI::TNotifyUI& notification) override;
    void OnClick(ZembraUI::TNotifyUI& notification) override;
    virtual void OnItemSelect(ZembraUI::TNotifyUI& notification);
    virtual void OnBannerSelect(ZembraUI::TNotifyUI& notification);
    Result OnClose(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled) override;
    Result HandleCustomMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                               bool& handled) override;

    // --- the run ---------------------------------------------------------------
    // Checks the install target, shows the running page and starts the
    // worker: 0 started, -1 refused.
    int BeginInstallTask();
    // Answers 1 at once in background mode (remembering the kind), else the box's answer.
    int ShowMessageBox(EnumMsgType kind, const std::string& text);
    void RequestClose();
    void LaunchProduct();
    // The installed product's executable; "" when it is not found.
    std::string GetProductExePath() const;
    // Waits at most ten minutes for the window's threads.
    int WaitForAllThreadExit();
    // True when the wait at exit left a thread running: the window must then
    // stay until the process ends.
    bool LeftThreadsBehind() const { return threads_.LeftThreadsBehind(); }
    // Shows and raises the window; any thread (another instance asked).
    void ShowFromAnotherInstance();

    // What the window shows and has done, for its host and tests.
    EnumMsgType CloseMode() const { return closeMode_; }
    int LastBoxKind() const { return lastBoxKind_; }
    std::optional<CloseReport> LastClose() const { return lastClose_; }
    InstallWizardPages& Pages() { return pages_; }

    // --- IContentWindowPort -------------------------------------------------------
    bool PostWindowMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    int GetProgress() const override { return shownProgress_; }
    void SetProgress(int percent) override;
    InstallRunState& RunState() override { return state_; }
    CConfigure& Configuration() override { return configuration_; }
    const IConfigLabelSource& ConfigurationLabels() const override { return labels_; }
    EnumLanguage CurrentLanguage() const override { return currentLanguage_; }
    std::string GetInstallDir() const override;
    void DeliverStartAppClick() override;
    BannerRecords& Banners() override { return banners_; }
    bool IsClosing() const override { return closing_; }

    // --- IRunEndReactions ---------------------------------------------------------
    void ClearAppData() override;
    void DownloadFailed(int reason) override;
    void NothingToInstall() override;
    void SetupTimedOut() override;
    void InstallFinished() override;
    void SignatureInvalid() override;
    void InstallFolderGone() override;
    void BannersArrived() override;
    void NextBanner() override;
    void ClickControl(const std::string& controlName) override;

    // --- IWindowTimers, IWizardWindow ------------------------------------------------
    void SetTimer(int id, unsigned periodMs) override;
    void KillTimer(int id) override;
    void ResizeWindow(int width, int height) override;
    void ShowTaskbarProgress(int percent) override;

    // --- the flow's thread entries and helpers ------------------------------------
    // The install worker. window: the IInstallWindowPort of the window that
    // started it. −1 after a failure, 1 when nothing was to be installed,
    // 0 after an installation.
    static unsigned int InstallThreadFunc(void* window);
    // The content threads. window: the IContentWindowPort of the window that
    // started them. Each returns 0.
    // Remote banners: records into the window's banner records, then
    // installmsg::kBannersArrived once every picture arrived.
    static unsigned int GetCbsBanner(void* window);
    // Privacy and licence links into the configuration's link table.
    static unsigned int GetCbsPrivacy(void* window);
    // The download-information query ahead of the install worker.
    static unsigned int AsyncGetCbsInfoThreadFunc(void* window);
    // The local package file name (see packagefiles::PackageFileName).
    static std::string GetPackageFileName(const std::string& extraDownloadUrlLabel,
                                          const std::string& softwareVersion);
    // Deletes the package, its task file and its verification marker from
    // the work folder.
    static void ClearAPPData(const std::string& workDir, const std::string& packageFileName);
    // Logs the user's proxy settings; 3 bypass list, 2 proxy, 1
    // auto-configuration address, 0 none.
    static int GetIEProxyConfig();
    // The product's executable processName in installDir or, first found
    // depth first, in a folder below it; "" when there is none.
    static std::string FindProductExe(const std::string& installDir, const std::string& processName);
    // Hands the wizard's language to the installed product; true when the
    // value was written.
    static bool WriteProductLanguage(int downloaderId, EnumLanguage language, const std::string& softwareName);

protected:
    void WindowGone(ZembraUI::HostWindowId oldWindow) override;

private:
    // InitWindow's parts.
    void ReadConfigurationLabels();
    void LogStartFacts();
    void SendLaunchEvents();
    // The window's reactions to what a control asked for.
    void RunAction(WizardAction action);
    void OnLink(ZembraUI::TNotifyUI& notification);
    void InstallClick();
    bool ConsentGiven();
    void StartOrRetry();
    void TryAgain();
    void StartInstalledProduct();
    void OpenPackageDownload();
    std::string PackageDownloadUrl() const;
    void OnTimer(int timerId);
    // The end of a run: banner timer off and, with enableClose, the close button usable.
    void EndOfRun(bool enableClose);
    void DownLoadFail();
    void ShowProgressNow(int percent);
    void ResetRunForStart();
    void StartWorker();
    void StartContentThread(unsigned int (*entry)(void* window));
    int ShowSkinnedBox(EnumMsgType kind, const std::string& text);
    // The launch splash, modal, while it starts the product.
    void ShowLaunchSplash(const std::string& quotedPath);
    WizardPageState PageState() const;
    void ReportClose(const CloseReport& report);
    std::int64_t SecondsSince(std::int64_t tick) const;
    std::string PackageFileName() const;
    bool OnUiThread() const { return std::this_thread::get_id() == uiThread_; }
    template <typename T>
    T* Find(const char* name) {
        return dynamic_cast<T*>(PaintManager().ControlByName(name));
    }

    Options options_;
    EmbeddedConfigLabels labels_;
    CConfigure configuration_;
    InstallRunState state_;
    LoggerFlowAnalytics loggerAnalytics_;
    IFlowAnalytics& analytics_{loggerAnalytics_};
    CInstallTargetChecks checks_;
    InstallWizardPages pages_;
    InstallProgressController controller_;
    BannerCarousel carousel_;
    BannerRecords banners_;

    std::thread::id uiThread_ = std::this_thread::get_id();
    std::atomic<EnumLanguage> currentLanguage_{English};
    std::atomic<int> shownProgress_{0};
    std::atomic<bool> closing_{false};
    mutable std::mutex installDirLock_;
    std::string installDir_;

    EnumMsgType closeMode_ = MsgCancel;
    int lastBoxKind_ = -1;
    bool productStarted_ = false;
    bool bannersArrived_ = false;
    std::optional<CloseReport> lastClose_;
    std::int64_t startTick_ = 0;
    std::int64_t clickTick_ = 0;
    std::string defaultInstallRoot_;
    std::string softwareName_;
    int gifDuration_ = 0;
    int needStart_ = 0;
    int adminFlag_ = 0;
    int chooseLicense_ = 0;
    int suggestSsd_ = 0;
    int downloaderId_ = 0;
    int siteId_ = 0;
    int languageId_ = 0;
    std::string newLicenseFlag_;
    // Last: its threads use everything above.
    WizardThreads threads_;
};
