#include "Common/install_ui_mainwnd/InstallWorker.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <unistd.h>

#include <easylogging++.h>

#include "CConfigure.h"
#include "CLibcurlTool.h"
#include "Common/EmbeddedLabels.h"
#include "Common/TextNumbers.h"
#include "Common/install_ui_mainwnd/CustomMessages.h"
#include "Common/install_ui_mainwnd/IFlowAnalytics.h"
#include "Common/install_ui_mainwnd/IInstallWindowPort.h"
#include "Common/install_ui_mainwnd/IPackageTransfer.h"
#include "Common/install_ui_mainwnd/InstallRunState.h"
#include "Common/install_ui_mainwnd/InstallUIMainWnd.h"
#include "Common/install_ui_mainwnd/PackageFiles.h"
#include "Common/install_ui_mainwnd/TimerQueue.h"
#include "Common/wWndMain.h"
#include "DownloadSource.h"
#include "EnumErrorCode.h"
#include "FlowErrorCodes.h"
#include "FuntionImpl.h"
#include "SingleUserLog.h"
#include "platform/DesktopOpen.h"
#include "platform/Folders.h"
#include "platform/LocalSettings.h"
#include "platform/PrivateFolder.h"
#include "platform/Process.h"
#include "platform/SingleInstance.h"

namespace {

constexpr int kSuccess = static_cast<int>(EnumErrorCode::Success);
constexpr int kTooManyRedirects = static_cast<int>(EnumErrorCode::TooManyRedirects);

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string Formatted(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

float CurrentOsVersion() {
    float version = 0;
    FuntionImpl::GetOsNameAndVersion(version);
    return version;
}

InstallWorker::Relaunch RelaunchInstaller(const std::string& path) {
    platform::SpawnOptions options;
    options.detached = true;
    const pid_t pid = platform::SpawnProcess({path}, options);
    return {pid, pid > 0 ? 0 : errno};
}

// The work folder the logger fixed for this run; a run without one (no
// usable address at start-up) still keeps its files inside the work root.
std::string RunWorkDir() {
    const std::string dir = CSingleUserLog::GetInstance().GetWorkDir();
    return dir.empty() ? platform::ChooseWorkFolder("QKDownloader").path : dir;
}

}  // namespace

InstallWorker::Services::Services(IFlowAnalytics& analyticsSink, IPackageTransfer& packageTransfer)
    : analytics(analyticsSink),
      transfer(packageTransfer),
      tickMs(SteadyTickMs),
      sleepMs([](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }),
      waitForSetup(platform::WaitForProcess),
      openUrl(platform::OpenWithDesktop),
      osVersion(CurrentOsVersion),
      relaunch(RelaunchInstaller) {}

InstallWorker::InstallWorker(IInstallWindowPort& window, Services services)
    : window_(window), services_(std::move(services)) {}

InstallWorker::~InstallWorker() { services_.transfer.SetProgressTarget({}); }

std::string DownloadSpeedText(std::int64_t packageBytes, int seconds) {
    const double bytesPerSecond = static_cast<double>(packageBytes) / std::max(seconds, 1);
    return Formatted("%.2fMB/s", bytesPerSecond / 1024 / 1024);
}

std::string InstallMinutesText(std::int64_t milliseconds) {
    const double minutes = std::floor(static_cast<double>(milliseconds) / 60000.0 * 100) / 100;
    return Formatted("%.1f", minutes);
}

std::string PackageSizeText(std::int64_t bytes) {
    return Formatted("%.2fMB", static_cast<double>(bytes) / 1048576);
}

int DownloadPercent(std::int64_t downloaded, std::int64_t total) {
    if (total <= 0) return 0;
    const double share = static_cast<double>(downloaded) / static_cast<double>(total) * 85;
    return static_cast<int>(std::clamp(share, 0.0, 85.0));
}

bool NeedsOldWindowsProbe(float osVersion, const std::string& address) {
    return osVersion < 10.0f && address.find("_zbwin.exe") != std::string::npos;
}

int InstallWorker::Run() {
    SettleConfiguration();
    if (!ChooseAddress()) return -1;
    PrepareLocalFiles();
    const int result = DownloadRounds();
    if (window_.IsClosing()) return Abandoned();
    if (!ReportDownload(result)) return -1;
    switch (Verify()) {
        case Verification::NothingToInstall: return 1;
        case Verification::Refused: return -1;
        case Verification::Install: break;
    }
    if (window_.IsClosing()) return Abandoned();
    if (!InstallFolderStillThere()) return -1;
    SetupRunner runner(window_, services_.analytics, services_.tickMs, services_.waitForSetup);
    const SetupRunResult setup = runner.Run(packagePath_, package_);
    if (!setup.completed) return -1;
    return Finish(setup);
}

void InstallWorker::OnDownloadProgress(std::int64_t downloaded, std::int64_t total) {
    InstallRunState& state = window_.RunState();
    if (state.packageSize == 0 && total > 0) {
        state.packageSize = total;
        services_.analytics.Event("Other", "PackageSize", PackageSizeText(total));
    }
    // The engine reports many times a second; the window hears only a new percent.
    const int percent = DownloadPercent(downloaded, total);
    if (percent <= reportedPercent_) return;
    reportedPercent_ = percent;
    window_.SetProgress(percent);
}

// --- A: configuration ---------------------------------------------------------

void InstallWorker::SettleConfiguration() {
    startTick_ = services_.tickMs();
    window_.RunState().workerStarted = true;
    CConfigure& configuration = window_.Configuration();
    if (configuration.LoadState != CConfigure::LoadStateLoaded) {
        if (configuration.getDownloadInfoXml(true, false) != 1) configuration.getDownloadInfoXml(true, true);
        configuration.ParseDownloadInfoXml();
        services_.analytics.SetLanguageInfo(window_.CurrentLanguage(), configuration.Software_version);
        if (configuration.LoadState != CConfigure::LoadStateLoaded)
            configuration.LoadFromLayout(window_.ConfigurationLabels(), true);
    }
    if (configuration.LoadState == CConfigure::LoadStateLoaded) configuration.printContent();
    services_.analytics.FunnelParam("Download", "DownloadConfigReady", "default_config",
                                    configuration.LoadSource == CConfigure::LoadSourceFile ? "1" : "0");
}

// --- B: address ---------------------------------------------------------------

bool InstallWorker::ChooseAddress() {
    CConfigure& configuration = window_.Configuration();
    workDir_ = RunWorkDir();
    address_ = CheckRemotePath(configuration.CandidateUrls, configuration.Software_name);
    if (NeedsOldWindowsProbe(services_.osVersion(), address_)) address_ = ProbedAddress(address_);
    window_.RunState().SetUsedDownloadAddress(address_);
    if (address_.size() >= 5) return true;

    LOG(INFO) << "url is empty";
    services_.analytics.FlowError(FlowError::kNoPackageAddress);
    configuration.LoadState = CConfigure::LoadStateEmpty;
    window_.PostWindowMessage(installmsg::kDownloadFailed, installmsg::kNoUsableAddress, 0);
    return false;
}

// Packages for old systems may be missing on the server; then the embedded
// addresses stand in.
std::string InstallWorker::ProbedAddress(const std::string& address) const {
    std::string headers;
    long status = 0;
    const CURLcode result = CLibcurlTool().httpGet(address, 0, 0, 0, headers, status);
    LOG(INFO) << " Curl check win78 link, http code is " << status << ", curl code is " << result;
    if (status != 404) return address;
    std::string replacement;
    if (const std::string primary = Label("Download_url"); !IsCdnUrl(primary))
        replacement = primary;
    else if (const std::string extra = Label("Extra_download_url"); !IsCdnUrl(extra))
        replacement = extra;
    if (replacement.empty()) return address;
    LOG(INFO) << " UrlUsed change to: " << replacement;
    return replacement;
}

// --- C: local files -----------------------------------------------------------

void InstallWorker::PrepareLocalFiles() {
    CSingleUserLog::GetInstance().toolsLangFrozen = true;
    downloadStartTick_ = services_.tickMs();
    LOG(INFO) << " Speed-Test Totally Take " << downloadStartTick_ - startTick_ << " ms";
    InstallUIMainWnd::GetIEProxyConfig();

    const CConfigure& configuration = window_.Configuration();
    packageName_ = InstallUIMainWnd::GetPackageFileName(Label("Extra_download_url"), configuration.Software_version);
    packagePath_ = workDir_ + "/" + packageName_;
    taskFilePath_ = packagePath_ + ".xml";
    markerPath_ = packagePath_ + ".db";
    ReusePackageOrDeleteIt();

    services_.transfer.SetProgressTarget(
        [this](std::int64_t downloaded, std::int64_t total) { OnDownloadProgress(downloaded, total); });
    if (configuration.LoadSource == CConfigure::LoadSourceFile) {
        LOG(INFO) << " Configure Load From File, clearAppData Before Download! ";
        InstallUIMainWnd::ClearAPPData(workDir_, packageName_);
    }
    addressType_ = GetHostType(address_) == 12 ? "Extra_download_url" : "Download_url";
    services_.analytics.Event("Download", "3.Downloading...", window_.RunState().RunLabel());
    services_.analytics.Funnel(2, "CoreFuncEvent", "Downloading", "Download", "Downloading", "null");
}

// A package verified by an earlier run for this very version is kept with
// its task file; anything else is deleted so the download starts afresh.
void InstallWorker::ReusePackageOrDeleteIt() {
    const auto line = packagefiles::ReadMarkerLine(markerPath_);
    if (!line) return;
    const CConfigure& configuration = window_.Configuration();
    const auto marker = packagefiles::ParseMarker(*line);
    const bool keep = marker && packagefiles::MarkerKeepsPackage(*marker, configuration.Software_version,
                                                                 configuration.Md5, configuration.Md5_extra);
    if (!keep) {
        RemoveIfPresent(packagePath_);
        RemoveIfPresent(taskFilePath_);
    }
    RemoveIfPresent(markerPath_);
}

// --- D: download rounds -------------------------------------------------------

// The user closed the wizard: nothing more is fetched, checked or installed,
// and what was downloaded stays (with its task file) for the next run.
int InstallWorker::Abandoned() {
    LOG(INFO) << " Install worker stops: the wizard was closed";
    return -1;
}

int InstallWorker::DownloadRounds() {
    IFlowAnalytics& analytics = services_.analytics;
    int result = 0;
    for (int round = 1; round <= kRounds; ++round) {
        char addressType[512];
        std::snprintf(addressType, sizeof addressType, "%s-%d", addressType_.c_str(), round);
        analytics.FunnelParam("Download", "Use download address", "Use download address Type", addressType);
        analytics.FunnelParam("Download", "SliceDownloadStart", "", "");
        LOG(INFO) << " Tasks info, round begin, current = " << round << ", total = " << kRounds;
        std::string cdnReport;
        result = services_.transfer.SuperDownloadFile(address_, packagePath_, cdnReport, true);
        LOG(INFO) << " Tasks info, round end, current = " << round << ", total = " << kRounds
                  << ", result = " << result;
        if (!cdnReport.empty()) analytics.Event("Other", "CDNInfor", cdnReport);
        if (result == kSuccess) {
            if (round > 1) LOG(INFO) << "Success\xEF\xBC\x8CThe Retry Frequency is: " << round - 1;
            break;
        }
        if (window_.IsClosing()) break;
        ReportDownloadFailure(result);
        LOG(INFO) << " The Retry Frequency is: " << (round == kRounds ? kRounds - 1 : round - 1);
    }
    return result;
}

void InstallWorker::ReportDownloadFailure(int result) {
    services_.analytics.FlowError(FlowError::CodeForDownloadResult(result));
    if (result != kTooManyRedirects) return;
    const CConfigure& configuration = window_.Configuration();
    SendErrorReport(configuration.Downloader_id, kRedirectReportCode, configuration.GetQueryUrl(),
                    window_.RunState().UsedDownloadAddress());
}

// --- E: download metrics ------------------------------------------------------

bool InstallWorker::ReportDownload(int result) {
    IFlowAnalytics& analytics = services_.analytics;
    InstallRunState& state = window_.RunState();
    const int seconds = SecondsSince(downloadStartTick_);
    analytics.Funnel(3, "CoreFuncEvent", "Downloading", "Download", "DownFinsh", "null");
    analytics.Event("Other", "MDownloadTime", std::to_string(seconds));
    analytics.Funnel(0, "CoreFuncEvent", "Downloading", "Download", "CoreFuncEnd", "null");
    analytics.Event("Other", "DownloadSpeed", DownloadSpeedText(state.packageSize, seconds));
    analytics.Event("Other", "DownloadTime", std::to_string(seconds));
    LOG(INFO) << " DownloadTime total use " << seconds;
    state.downloadEndTick = services_.tickMs();
    analytics.FunnelParam("RunningTime", "DownloadDuration", "DownloadCompleted",
                          std::to_string(SecondsSince(state.installClickTick)));
    if (result == kSuccess) return true;

    analytics.Event("Other", "DownErrorCode", "error_" + std::to_string(result));
    window_.PostWindowMessage(installmsg::kDownloadFailed, static_cast<std::uintptr_t>(result), 0);
    return false;
}

// --- F: verification ----------------------------------------------------------

InstallWorker::Verification InstallWorker::Verify() {
    IFlowAnalytics& analytics = services_.analytics;
    InstallRunState& state = window_.RunState();
    const CConfigure& configuration = window_.Configuration();
    analytics.FunnelParam("Download", "DownloadSuccess", "", "");
    analytics.FunnelMap("Download", "MDownSuccess", {{"Download address", addressType_}, {"AddressType", "NO"}});
    const std::string& extra = configuration.Extra_download_url;
    if (extra.size() > 3 && !EndsWith(extra, ".exe")) {
        window_.PostWindowMessage(installmsg::kNothingToInstall, 0, 0);
        LOG(INFO) << "APP DownloaderSucceed";
        return Verification::NothingToInstall;
    }

    state.md5StartTick = services_.tickMs();
    state.verificationDone = 0;
    window_.PostWindowMessage(installmsg::kVerifyStarted, 0, 0);
    analytics.Event("Download", "Md5CheckStart", "");
    analytics.Funnel(0, "CoreFuncEvent", "Md5Check", "Download", "CoreFuncStart", "null");
    analytics.Funnel(1, "CoreFuncEvent", "Md5Check", "Download", "Md5CheckStart", "null");

    // Both checks and the setup read the same opened file, so nobody can
    // put other bytes in its place between them. A package that cannot be
    // pinned fails both checks.
    if (const std::string problem = package_.Open(packagePath_); !problem.empty())
        LOG(INFO) << " Package " << packagePath_ << " cannot be checked: " << problem;
    const std::string content = package_.ContentPath();
    // A configuration from the embedded file knows no checksum.
    const bool md5Correct =
        configuration.LoadSource == CConfigure::LoadSourceFile ||
        services_.transfer.checkMD5(packagePath_, content, configuration.Md5, configuration.Md5_extra,
                                    configuration.Software_version) == 1;
    LOG(INFO) << " after md5 ";
    const bool signatureValid = FuntionImpl::VerifyEmbeddedSignature(packagePath_, content);

    const std::string seconds = std::to_string(SecondsSince(state.md5StartTick));
    analytics.Event("Other", "MMD5CheckTime", seconds);
    analytics.Funnel(2, "CoreFuncEvent", "Md5Check", "Download", "Md5CheckFinsh", "null");
    analytics.Event("Other", "MD5CheckTime", seconds);
    analytics.Funnel(0, "CoreFuncEvent", "Md5Check", "Download", "CoreFuncEnd", "null");
    analytics.FunnelParam("RunningTime", "VerificationDuration", "VerificationDurationPar", seconds);
    analytics.Event("Download", "Md5CheckFinsh", "");

    if (!md5Correct || !signatureValid) ReportVerificationFailure(md5Correct, signatureValid);
    state.verificationDone = 1;
    if (!signatureValid) {
        window_.PostWindowMessage(installmsg::kSignatureInvalid, 0, 0);
        return Verification::Refused;
    }
    analytics.Event("Download", "4.DownFinsh", state.RunLabel());
    return Verification::Install;
}

void InstallWorker::ReportVerificationFailure(bool md5Correct, bool signatureValid) {
    const CConfigure& configuration = window_.Configuration();
    const int source = configuration.LoadSource;
    std::string code;
    std::string exception;
    if (!md5Correct && !signatureValid) {
        code = FlowError::kMd5AndSignatureFailed;
        exception = Md5AndHashFailCode(source);
    } else if (!md5Correct) {
        code = FlowError::kMd5Mismatch;
        exception = Md5FailCode(source);
    } else {
        code = FlowError::kSignatureInvalid;
        exception = HashFailCode(source);
    }
    services_.analytics.FlowError(code);
    SendErrorReport(LeadingInt(Label("Downloader_id")), exception, configuration.GetQueryUrl(),
                    window_.RunState().UsedDownloadAddress());
}

// --- H: finish ----------------------------------------------------------------

// The checks made the install folder before the download. When its disk or
// share went away since, the folder is gone or another file system shows
// through its path: a setup would quietly make the folder again there, so
// the user is asked for a folder instead, and the checked package stays.
bool InstallWorker::InstallFolderStillThere() {
    const std::uint64_t checkedDevice = window_.RunState().installFolderDevice;
    if (checkedDevice == 0) return true;
    const std::string dir = window_.GetInstallDir();
    const std::uint64_t device = platform::FolderDevice(dir);
    if (device == checkedDevice) return true;
    LOG(INFO) << " Install folder gone: " << dir
              << (device == 0 ? ", no such folder" : ", now on another file system");
    services_.analytics.FlowError(FlowError::kInstallFolderFailed);
    window_.PostWindowMessage(installmsg::kInstallFolderGone, 0, 0);
    return false;
}

int InstallWorker::Finish(const SetupRunResult& setup) {
    IFlowAnalytics& analytics = services_.analytics;
    InstallRunState& state = window_.RunState();
    const CConfigure& configuration = window_.Configuration();
    const std::string installSeconds = std::to_string(SecondsSince(state.setupStartTick));
    analytics.Event("Other", "MInstallTime", installSeconds);
    analytics.Funnel(2, "CoreFuncEvent", "Installing", "Download", "ProgramFinsh", "null", true);
    LOG(INFO) << " install Finished, nWaitSeconds: " << setup.secondsWaited;

    state.setupFinished = true;
    const int progress = window_.GetProgress();
    LOG(INFO) << " install Finished, progress: " << progress;
    if (progress >= 99) state.progressFinished.Set();

    analytics.Event("Download", "6.ProgramFinsh", state.RunLabel(), true);
    analytics.Funnel(0, "CoreFuncEvent", "Installing", "Download", "CoreFuncEnd", "null");
    if (CSingleUserLog::GetInstance().backgroundMode)
        analytics.FunnelParam("InstallationSuccessful", "ProgramInstallSuccess", "PSuccessbackend", "");
    analytics.Event("Other", "InstallTime", installSeconds);
    if (!configuration.Software_version.empty())
        analytics.Event("Other", "ProductVersion", configuration.Software_version);
    analytics.FunnelParam("RunningTime", "ActualTime", "InstCompletedClosed", installSeconds);

    OpenProductPage();
    InstallUIMainWnd::WriteProductLanguage(configuration.Downloader_id, window_.CurrentLanguage(),
                                           configuration.Software_name);
    state.progressFinished.Wait();
    window_.PostWindowMessage(installmsg::kInstallComplete, 0, 0);
    LOG(INFO) << " Install Totally Take " << InstallMinutesText(services_.tickMs() - state.downloadEndTick)
              << " minutes And Send To Server";
    InstallUIMainWnd::ClearAPPData(workDir_, packageName_);

    if (platform::IsAutoRun()) {
        RestartUnattended();
        return 0;
    }
    if (LeadingInt(Label("NeedStart_flag")) == 1) window_.DeliverStartAppClick();
    return 0;
}

void InstallWorker::OpenProductPage() {
    const std::string labelName = ProductUrlLabel(window_.CurrentLanguage());
    const auto address = window_.ConfigurationLabels().LabelText(labelName);
    if (labelName.empty() || !address || address->empty()) return;
    LOG(INFO) << " Open Url: " << *address;
    services_.openUrl(*address);
}

// Unattended mode installs again and again: a fresh instance of the
// installer starts over from nothing.
void InstallWorker::RestartUnattended() {
    services_.sleepMs(2000);
    LOG(INFO) << " Force Exit 1";
    RemoveIfPresent(packagePath_);
    LOG(INFO) << " Force Exit 2";
    RemoveIfPresent(taskFilePath_);
    LOG(INFO) << " Force Exit 3";
    RemoveIfPresent(markerPath_);
    LOG(INFO) << " Force Exit 4";
    startup::SingleInstanceLock().Release();
    LOG(INFO) << " Force Exit 5";
    const std::string ownPath = platform::CurrentExecutablePath();
    LOG(INFO) << " Force Exit 6";
    const Relaunch relaunch = services_.relaunch(ownPath);
    LOG(INFO) << " Force Exit 7 error code = " << relaunch.pid << ", " << relaunch.error;
    window_.PostWindowMessage(installmsg::kClose, 0, 0);
    LOG(INFO) << " Force Exit 8";
}

// --- helpers ------------------------------------------------------------------

std::string InstallWorker::Label(const std::string& name) const {
    return window_.ConfigurationLabels().LabelText(name).value_or("");
}

int InstallWorker::SecondsSince(std::int64_t tick) const {
    return static_cast<int>((services_.tickMs() - tick) / 1000);
}

void InstallWorker::RemoveIfPresent(const std::string& path) const {
    if (access(path.c_str(), F_OK) == 0) std::remove(path.c_str());
}
