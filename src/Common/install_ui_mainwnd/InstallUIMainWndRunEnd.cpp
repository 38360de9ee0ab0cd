// The wizard window at the end of a run: the worker's end messages, the
// failure and finish pages, "Try again", the product start, message boxes
// and closing.
#include <filesystem>

#include <easylogging++.h>

#include "Common/install_ui_mainwnd/AlientWnd.h"
#include "Common/install_ui_mainwnd/CustomMessages.h"
#include "Common/install_ui_mainwnd/InstallUIMainWnd.h"
#include "Common/install_ui_mainwnd/MessageBoxWnd.h"
#include "Common/install_ui_mainwnd/TimerQueue.h"
#include "DownLoadImpl.h"
#include "DownloadSource.h"
#include "EnumErrorCode.h"
#include "FuntionImpl.h"
#include "LanguageTexts.h"
#include "SingleUserLog.h"
#include "platform/LocalSettings.h"
#include "platform/Process.h"
#include "uitoolkit/controls/TabLayoutUI.h"
#include "uitoolkit/window/MessageLoop.h"

namespace fs = std::filesystem;

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The first file named name below dir, depth first in listing order.
std::string FindBelow(const fs::path& dir, const std::string& name, int depth = 0) {
    constexpr int kDeepest = 32;  // a link loop ends here
    std::error_code error;
    if (depth > kDeepest) return "";
    for (fs::directory_iterator entry(dir, error), end; !error && entry != end; entry.increment(error)) {
        if (!entry->is_directory(error) || entry->is_symlink(error)) continue;
        if (fs::is_regular_file(entry->path() / name, error)) return (entry->path() / name).string();
        if (std::string found = FindBelow(entry->path(), name, depth + 1); !found.empty()) return found;
    }
    return "";
}

// "?rnclid=<id>&package=<file>" from the installer's own file name
// "<name>_<id>.<ext>"; "" when the name has no "_".
std::string AdviceQuery(const std::string& ownFileName) {
    const auto underscore = ownFileName.rfind('_');
    if (underscore == std::string::npos) return "";
    const auto dot = ownFileName.rfind('.');
    const std::size_t idEnd = dot == std::string::npos || dot < underscore ? ownFileName.size() : dot;
    return "?rnclid=" + ownFileName.substr(underscore + 1, idEnd - underscore - 1) + "&package=" + ownFileName;
}

}  // namespace

// --- the worker's end messages --------------------------------------------------------

void InstallUIMainWnd::ClearAppData() { ClearAPPData(CSingleUserLog::GetInstance().GetWorkDir(), PackageFileName()); }

void InstallUIMainWnd::DownloadFailed(int reason) {
    EndOfRun(true);
    EnumMsgType kind = MsgUrlFail;
    if (reason == static_cast<int>(EnumErrorCode::NetworkNotAlive)) {
        kind = MsgInternetFail;
    } else if (reason == static_cast<int>(EnumErrorCode::NoSpeedTimeout)) {
        kind = MsgInternetTimeout;
    } else if (reason == static_cast<int>(EnumErrorCode::CdnFailed)) {
        AddDownloadRequestCount(configuration_.Software_name);
        kind = MsgInternetTimeout;
    }
    ShowMessageBox(kind, "");
    analytics_.Event("Download", "8.DownFail", state_.RunLabel());
    closeMode_ = MsgCloseNow;
    DownLoadFail();
}

void InstallUIMainWnd::NothingToInstall() {
    EndOfRun(true);
    ShowProgressNow(100);
    WriteProductLanguage(configuration_.Downloader_id, currentLanguage_, configuration_.Software_name);
    closeMode_ = MsgCloseNow;
    pages_.ShowEndPage(false);
}

void InstallUIMainWnd::SetupTimedOut() {
    EndOfRun(false);
    ShowMessageBox(MsgInstallRunTimeOut, "");
    closeMode_ = MsgCloseNow;
    DownLoadFail();
}

void InstallUIMainWnd::InstallFinished() {
    // With a direct product start the running page stays until the start.
    const bool runningPageStays = needStart_ == 1 && gifDuration_ == 0;
    EndOfRun(!runningPageStays);
    if (!runningPageStays) {
        closeMode_ = MsgCloseNow;
        pages_.ShowEndPage(false);
    }
    if (CSingleUserLog::GetInstance().backgroundMode) {
        LOG(INFO) << " BgMode will auto exit when success";
        SetTimer(installtimer::kBackgroundExit, installtimer::kBackgroundExitMs);
    }
}

void InstallUIMainWnd::SignatureInvalid() {
    EndOfRun(true);
    ShowMessageBox(MsgMD5Fail, "");
    closeMode_ = MsgCloseNow;
    DownLoadFail();
}

// The folder's disk or share went away during the download: the path box
// asks for another folder, and the checked package stays for the next try.
void InstallUIMainWnd::InstallFolderGone() {
    EndOfRun(true);
    ShowMessageBox(MsgPathError, "");
    closeMode_ = MsgCloseNow;
    DownLoadFail();
}

void InstallUIMainWnd::BannersArrived() {
    bannersArrived_ = true;
    carousel_.RemoteBannersArrived(banners_, CSingleUserLog::GetInstance().GetWorkDir());
}

// The carousel takes its timer itself (OnTimer) before the flow's timers.
void InstallUIMainWnd::NextBanner() {}

void InstallUIMainWnd::EndOfRun(bool enableClose) {
    carousel_.Stop();
    if (!enableClose) return;
    if (auto* close = Find<ZembraUI::CControlUI>("closebtn")) close->PutEnabled(true);
}

void InstallUIMainWnd::DownLoadFail() {
    LOG(INFO) << " Enter fail page ";
    if (auto* finish = Find<ZembraUI::CControlUI>("finish_label")) finish->PutText("Install failed, please install again!");
    pages_.ShowEndPage(true);
    if (platform::IsAutoRun()) SetTimer(installtimer::kAutoRetry, installtimer::kAutoRetryMs);
    if (CSingleUserLog::GetInstance().backgroundMode) {
        analytics_.FunnelParam("DownFail", "DownFailReason", "DownFailError", "error_page_" + std::to_string(lastBoxKind_));
        LOG(INFO) << " BgMode will auto exit when fail";
        PostClose();
    }
}

// --- start_app: try again, or start the product ---------------------------------------

void InstallUIMainWnd::StartOrRetry() {
    bool failureShown = true;
    for (const char* failureText : {"text_fail_retry", "text_fail_advice", "img_warning"}) {
        const auto* control = Find<ZembraUI::CControlUI>(failureText);
        failureShown = failureShown && control != nullptr && control->Visible();
    }
    if (failureShown) {
        TryAgain();
        return;
    }
    const std::string& package = configuration_.Extra_download_url;
    if (EndsWith(package, ".exe") || package.size() < 4) {
        StartInstalledProduct();
        return;
    }
    // The package is the product itself: show it in its folder.
    options_.services.openOnDesktop(CSingleUserLog::GetInstance().GetWorkDir());
}

void InstallUIMainWnd::TryAgain() {
    LOG(INFO) << " User click try again button to retry";
    analytics_.Event("Download", "8-1.ClickTryAgain", state_.RunLabel());
    analytics_.Funnel(0, "CoreFuncEvent", "Downloading", "Download", "CoreFuncStart", "null");
    state_.retried = true;
    pages_.ResetProgress();
    shownProgress_ = 0;
    BeginInstallTask();
}

void InstallUIMainWnd::StartInstalledProduct() {
    if (FuntionImpl::WillShowNetFrameCheck(GetInstallDir())) gifDuration_ = 0;
    analytics_.Event("Download", "7.ProgramLaunch", "", gifDuration_ == 0);
    analytics_.Funnel(0, "CoreFuncEvent", "Starting", "Download", "CoreFuncStart", "null");
    analytics_.Funnel(1, "CoreFuncEvent", "Starting", "Download", "ProgramLaunch", "null");
    LaunchProduct();
}

void InstallUIMainWnd::LaunchProduct() {
    productStarted_ = true;
    const std::string path = "\"" + GetProductExePath() + "\"";
    ShowHostWindow(false, false);
    analytics_.Event("Download", "9.StartWindow", std::to_string(gifDuration_), true);
    analytics_.Funnel(2, "CoreFuncEvent", "Starting", "Download", "StartWindow", "null", true);
    analytics_.Funnel(0, "CoreFuncEvent", "Starting", "Download", "CoreFuncEnd", "null");
    if (gifDuration_ != 0) {
        ShowLaunchSplash(path);
    } else if (options_.services.startProduct(path, adminFlag_) == -1) {
        analytics_.FlowError("DL019");
        if (options_.services.plainBox) {
            options_.services.plainBox(
                FuntionImpl::GetLanguageText("message_page", "ClickShortcutToLaunchText", currentLanguage_));
        }
    }
    PostClose();
}

void InstallUIMainWnd::ShowLaunchSplash(const std::string& quotedPath) {
    if (options_.services.launchSplash) {
        options_.services.launchSplash(quotedPath);
        return;
    }
    CAlientWnd splash(adminFlag_, quotedPath, configuration_.Software_version, configuration_.Software_name,
                      gifDuration_, currentLanguage_);
    splash.ShowModal();
}

std::string InstallUIMainWnd::GetProductExePath() const {
    if (const_cast<CConfigure&>(configuration_).GetLoadState() != CConfigure::LoadStateLoaded) return "";
    return FindProductExe(GetInstallDir(), configuration_.Process_name);
}

std::string InstallUIMainWnd::FindProductExe(const std::string& installDir, const std::string& processName) {
    const std::string dir = Trimmed(installDir) + "/";
    if (processName.empty()) return "";
    std::error_code error;
    if (fs::is_regular_file(dir + processName, error)) return dir + processName;
    return FindBelow(dir, processName);
}

// --- the failure advice link ---------------------------------------------------------------

void InstallUIMainWnd::OpenPackageDownload() {
    analytics_.Event("Download", "8-2.ClickInstallLink", state_.RunLabel());
    std::string url = PackageDownloadUrl();
    if (url.empty()) return;
    url += AdviceQuery(fs::path(platform::CurrentExecutablePath()).filename().string());
    LOG(INFO) << " Open Advice Url: " << url;
    options_.services.openOnDesktop(url);
}

std::string InstallUIMainWnd::PackageDownloadUrl() const {
    if (std::string used = state_.UsedDownloadAddress(); !used.empty()) return used;
    const int type = configuration_.Downloader_type;
    if (type != 1 && type != 2 && type != 3) return "";
    const bool wantCdn = type == 2;
    for (const std::string* address : {&configuration_.Download_url, &configuration_.Extra_download_url}) {
        if (!address->empty() && IsCdnUrl(*address) == wantCdn) return *address;
    }
    return "";
}

// --- message boxes ---------------------------------------------------------------------------

int InstallUIMainWnd::ShowMessageBox(EnumMsgType kind, const std::string& text) {
    LOG(INFO) << " ShowMsgBox: " << kind;
    if (CSingleUserLog::GetInstance().backgroundMode) {
        lastBoxKind_ = kind;
        return 1;
    }
    if (options_.services.messageBox) return options_.services.messageBox(*this, kind, text);
    return ShowSkinnedBox(kind, text);
}

int InstallUIMainWnd::ShowSkinnedBox(EnumMsgType kind, const std::string& text) {
    return MessageBoxWnd::ShowModal(this, kind, currentLanguage_, text);
}

// --- closing -------------------------------------------------------------------------------------

void InstallUIMainWnd::RequestClose() {
    if (closeMode_ == MsgCloseNow) {
        ShowHostWindow(false, false);
        PostClose();
        return;
    }
    if (ShowMessageBox(closeMode_, "") == 1 && (closeMode_ == MsgCloseNow || closeMode_ == MsgCancel)) {
        ShowHostWindow(false, false);
        PostClose();
    }
}

WizardPageState InstallUIMainWnd::PageState() const {
    auto& self = const_cast<InstallUIMainWnd&>(*this);
    const auto* pages = self.Find<ZembraUI::CTabLayoutUI>("main_tablayout");
    const auto* subPages = self.Find<ZembraUI::CTabLayoutUI>("page_layout");
    const auto* headline = self.Find<ZembraUI::CControlUI>("text_fail_retry");
    WizardPageState state;
    state.runningPage = pages != nullptr && pages->CurrentSelection() == 1;
    state.endSubPage = !state.runningPage && subPages != nullptr && subPages->CurrentSelection() == 1;
    state.failureShown = headline != nullptr && headline->Visible();
    state.productStarted = productStarted_;
    state.progress = self.pages_.GetProgress();
    return state;
}

InstallUIMainWnd::Result InstallUIMainWnd::OnClose(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                                                   bool& handled) {
    WindowImplBase::OnClose(message, wParam, lParam, handled);
    handled = false;
    const WizardPageState page = PageState();
    const CloseReport report = CloseReportFor(page);
    lastClose_ = report;
    CSingleUserLog& logger = CSingleUserLog::GetInstance();
    // A run already going on hidden closes for good when it ends.
    const bool toBackground = page.runningPage && logger.backRunning != 0 && !logger.backgroundMode;
    if (page.runningPage) {
        if (toBackground) {
            logger.backgroundMode = true;
            LOG(INFO) << " Close and run background at: " << page.progress;
        }
        analytics_.FunnelParam("CloseDownloader", "Close", "ClosePosition", std::to_string(page.progress) + "%");
    }
    if (toBackground) {
        ShowHostWindow(false, false);
        ReportClose(report);
        handled = true;
        return 1;
    }
    if (logger.downloaderConfig == 2) {
        options_.services.startSelf({"-" + report.code, fs::path(logger.GetLogFilePath()).filename().string()});
    }
    ReportClose(report);
    closing_ = true;
    // A download still running ends with its finished ranges saved.
    CDownLoadImpl::RequestStop();
    carousel_.Stop();
    // A worker waiting for the bar to finish goes on to its end instead.
    state_.progressFinished.Set();
    ZembraUI::CMessageLoop::PostQuit(0);
    return 0;
}

void InstallUIMainWnd::ReportClose(const CloseReport& report) {
    std::int64_t since = 0;
    switch (report.since) {
        case CloseReport::Since::WindowOpened: since = startTick_; break;
        case CloseReport::Since::InstallClicked: since = clickTick_; break;
        case CloseReport::Since::DownloadFinished: since = state_.downloadEndTick; break;
        case CloseReport::Since::None: break;
    }
    if (!report.action.empty()) {
        analytics_.FunnelParam("RunningTime", report.action, report.key,
                               std::to_string(since > 0 ? SecondsSince(since) : 0));
    }
    analytics_.Event("CrashRate", "Close", report.code);
    analytics_.Funnel(0, "Keypoint", report.flowName, "CorePublicModule", "Close", "null");
}

void InstallUIMainWnd::WindowGone(ZembraUI::HostWindowId oldWindow) {
    WindowImplBase::WindowGone(oldWindow);
    closing_ = true;
    if (options_.services.windowGone) options_.services.windowGone();
}

std::string InstallUIMainWnd::PackageFileName() const {
    return GetPackageFileName(labels_.LabelText("Extra_download_url").value_or(""), configuration_.Software_version);
}
