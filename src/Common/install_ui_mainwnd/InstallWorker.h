#pragma once
// One installation from the product configuration to the installed
// product: settle the configuration (A), choose the package address (B),
// prepare the local files (C), download in up to 12 rounds (D) and report
// the download (E), verify the package (F), run the setup (G) and finish
// (H). It reaches the window only through its port, and everything the
// user sees happens through messages posted to it.
#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>

#include "Common/install_ui_mainwnd/SetupRunner.h"
#include "platform/PinnedFile.h"

class IFlowAnalytics;
class IInstallWindowPort;
class IPackageTransfer;

class InstallWorker {
public:
    static constexpr int kRounds = 12;

    struct Relaunch {
        pid_t pid = -1;  // the new instance, or -1
        int error = 0;   // errno when it could not be started
    };

    // What the worker uses besides the window. Defaults are the real ones.
    struct Services {
        Services(IFlowAnalytics& analytics, IPackageTransfer& transfer);
        IFlowAnalytics& analytics;
        IPackageTransfer& transfer;
        std::function<std::int64_t()> tickMs;
        std::function<void(int milliseconds)> sleepMs;
        SetupRunner::WaitFunction waitForSetup;
        std::function<bool(const std::string& target)> openUrl;
        // The OS version number; the rules for versions below 10 take it as input.
        std::function<float()> osVersion;
        // Starts the installer at path again (unattended mode).
        std::function<Relaunch(const std::string& path)> relaunch;
    };

    InstallWorker(IInstallWindowPort& window, Services services);
    // Withdraws the download-progress target this worker published.
    ~InstallWorker();
    InstallWorker(const InstallWorker&) = delete;
    InstallWorker& operator=(const InstallWorker&) = delete;

    // −1 after a failure, 1 when the package is not to be installed, 0
    // after an installation.
    int Run();

    // The download-progress hook: the engine calls it with the bytes so far
    // and the package length while the package downloads.
    void OnDownloadProgress(std::int64_t downloaded, std::int64_t total);

private:
    enum class Verification { Install, NothingToInstall, Refused };

    void SettleConfiguration();
    bool ChooseAddress();
    std::string ProbedAddress(const std::string& address) const;
    void PrepareLocalFiles();
    void ReusePackageOrDeleteIt();
    int DownloadRounds();
    int Abandoned();
    void ReportDownloadFailure(int result);
    bool ReportDownload(int result);
    Verification Verify();
    void ReportVerificationFailure(bool md5Correct, bool signatureValid);
    bool InstallFolderStillThere();
    int Finish(const SetupRunResult& setup);
    void OpenProductPage();
    void RestartUnattended();

    std::string Label(const std::string& name) const;
    int SecondsSince(std::int64_t tick) const;
    void RemoveIfPresent(const std::string& path) const;

    IInstallWindowPort& window_;
    Services services_;
    std::int64_t startTick_ = 0;
    std::int64_t downloadStartTick_ = 0;
    int reportedPercent_ = -1;  // the last download percent handed to the window
    std::string address_;
    std::string addressType_;
    std::string workDir_;
    std::string packageName_;
    std::string packagePath_;
    std::string taskFilePath_;
    std::string markerPath_;
    // The package as checked: opened once, verified and run from here.
    platform::PinnedFile package_;
};

// The "DownloadSpeed" label: bytes ÷ seconds in MB/s, "%.2fMB/s". A download
// quicker than a second counts as one second.
std::string DownloadSpeedText(std::int64_t packageBytes, int seconds);
// " Install Totally Take " figure: minutes truncated to two decimals, "%.1f".
std::string InstallMinutesText(std::int64_t milliseconds);
// The "PackageSize" label: bytes in MB, "%.2fMB".
std::string PackageSizeText(std::int64_t bytes);
// The bar during the download: the whole part of downloaded ÷ total × 85,
// between 0 and 85.
int DownloadPercent(std::int64_t downloaded, std::int64_t total);
// True when the "_zbwin.exe" address has to be probed on this OS version.
bool NeedsOldWindowsProbe(float osVersion, const std::string& address);
