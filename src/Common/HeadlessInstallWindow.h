#pragma once
// The wizard's install run without a window: it plays the window's part
// for the install flow (message queue, timers, progress bar, end-of-run
// reactions) on the thread that calls Run, prints the progress to standard
// output, and starts the product at the end. The flow itself is the same
// worker the wizard starts, with the same content threads beside it.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "CConfigure.h"
#include "Common/EmbeddedLabels.h"
#include "Common/install_ui_mainwnd/BannerRecords.h"
#include "Common/install_ui_mainwnd/IContentWindowPort.h"
#include "Common/install_ui_mainwnd/IRunEndReactions.h"
#include "Common/install_ui_mainwnd/InstallProgressController.h"
#include "Common/install_ui_mainwnd/InstallRunState.h"
#include "Common/install_ui_mainwnd/LoggerFlowAnalytics.h"
#include "Common/install_ui_mainwnd/TimerQueue.h"
#include "Common/install_ui_mainwnd/WizardThreads.h"

class HeadlessInstallWindow : public IContentWindowPort, public IRunEndReactions {
public:
    // How a run ended, as the window's reactions saw it.
    enum class Outcome { Running, Installed, NothingToInstall, DownloadFailed, SetupTimedOut, SignatureInvalid,
                         InstallFolderGone };

    // The thread body of the install worker; the default is the wizard's own.
    using WorkerEntry = std::function<void(IInstallWindowPort& window)>;
    using Printer = std::function<void(const std::string& line)>;

    struct Options {
        Options();
        LabelList labels;          // the embedded configuration labels
        std::string installRoot;   // the install path field: Program Files + "/Zembra"
        EnumLanguage language = English;
        WorkerEntry worker;
        Printer print;             // standard output
        // Start the installed product when the flow asks for it.
        bool startProduct = true;
    };

    explicit HeadlessInstallWindow(Options options);
    ~HeadlessInstallWindow() override;

    // Starts the flow as the install button does and runs the message loop
    // until the worker has ended and every message it posted is handled.
    Outcome Run();
    // Waits (at most ten minutes) for the worker and the content threads.
    void WaitForAllThreadExit();
    int DownloadFailureReason() const { return failureReason_; }

    // --- the window as the flow sees it ---------------------------------------
    bool PostWindowMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    int GetProgress() const override { return progress_; }
    void SetProgress(int percent) override;
    InstallRunState& RunState() override { return state_; }
    CConfigure& Configuration() override { return configuration_; }
    const IConfigLabelSource& ConfigurationLabels() const override { return labels_; }
    EnumLanguage CurrentLanguage() const override { return options_.language; }
    std::string GetInstallDir() const override;
    void DeliverStartAppClick() override;
    BannerRecords& Banners() override { return banners_; }
    bool IsClosing() const override { return closing_; }

    // --- the window's reactions -----------------------------------------------
    void ClearAppData() override;
    void DownloadFailed(int reason) override;
    void NothingToInstall() override;
    void SetupTimedOut() override;
    void InstallFinished() override;
    void SignatureInvalid() override;
    void InstallFolderGone() override;
    void BannersArrived() override;
    void NextBanner() override {}
    void ClickControl(const std::string& controlName) override;

private:
    struct Message {
        unsigned id;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };

    void StartWorker();
    // Starts a content thread (InstallUIMainWnd::GetCbsBanner, ...) with this window.
    void StartContentThread(unsigned int (*entry)(void* window));
    bool NextMessages(std::deque<Message>& messages);
    void Dispatch(const Message& message);
    void LaunchProduct();
    void Print(const std::string& line);

    Options options_;
    EmbeddedConfigLabels labels_;
    CConfigure configuration_;
    InstallRunState state_;
    LoggerFlowAnalytics analytics_;
    TimerQueue timers_{SteadyTickMs};
    InstallProgressController controller_{*this, timers_, *this, analytics_};
    std::atomic<int> progress_{0};
    Outcome outcome_ = Outcome::Running;
    int failureReason_ = 0;

    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<Message> queue_;
    bool workerDone_ = false;
    BannerRecords banners_;
    bool bannersArrived_ = false;  // the window thread's own flag
    std::atomic<bool> closing_{false};
    std::mutex printLock_;
    // Last: its threads use everything above and end before it goes.
    WizardThreads threads_;
};

// True when the settings file asks for an unattended run of the install flow
// without a window: section "Headless", key "Install" = 1.
bool HeadlessInstallRequested();
