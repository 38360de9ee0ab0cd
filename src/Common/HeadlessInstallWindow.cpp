#include "Common/HeadlessInstallWindow.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include <easylogging++.h>

#include "Common/TextNumbers.h"
#include "Common/install_ui_mainwnd/CustomMessages.h"
#include "Common/install_ui_mainwnd/InstallUIMainWnd.h"
#include "FuntionImpl.h"
#include "SingleUserLog.h"
#include "platform/Folders.h"
#include "platform/LocalSettings.h"

namespace {

constexpr auto kThreadExitWait = std::chrono::minutes(10);

int LabelInt(const IConfigLabelSource& labels, const char* name) {
    return LeadingInt(labels.LabelText(name).value_or(""));
}

}  // namespace

bool HeadlessInstallRequested() {
    const auto settings = platform::IniFile::Load(platform::SettingsFilePath());
    return settings && settings->GetInt("Headless", "Install", 0) == 1;
}

HeadlessInstallWindow::Options::Options()
    : labels(ReadEmbeddedConfigureLabels()),
      installRoot(platform::ProgramFilesDir() + "/Zembra"),
      worker([](IInstallWindowPort& window) { InstallUIMainWnd::InstallThreadFunc(&window); }),
      print([](const std::string& line) {
          std::printf("%s\n", line.c_str());
          std::fflush(stdout);
      }) {}

HeadlessInstallWindow::HeadlessInstallWindow(Options options)
    : options_(std::move(options)),
      labels_(options_.labels),
      configuration_(LabelInt(labels_, "Downloader_id"), LabelInt(labels_, "Language_id"),
                     LabelInt(labels_, "Site_id")) {
    configuration_.LoadFromLayout(labels_, false);
}

HeadlessInstallWindow::~HeadlessInstallWindow() { closing_ = true; }

HeadlessInstallWindow::Outcome HeadlessInstallWindow::Run() {
    if (!options_.worker) {
        LOG(INFO) << " No install worker in this build, nothing to run";
        return outcome_;
    }
    Print("[install] installing " + configuration_.Software_name + " into " + GetInstallDir());
    // As the wizard does when it opens: the early query, and the links when
    // the configuration uses the service's licence and privacy pages.
    StartContentThread(&InstallUIMainWnd::AsyncGetCbsInfoThreadFunc);
    if (labels_.LabelText("NewLicenseFlag").value_or("") == "1") StartContentThread(&InstallUIMainWnd::GetCbsPrivacy);
    state_.installClickTick = SteadyTickMs();
    timers_.SetTimer(installtimer::kFirstPercent, installtimer::kFirstPercentMs);
    if (!bannersArrived_) StartContentThread(&InstallUIMainWnd::GetCbsBanner);
    StartWorker();
    std::deque<Message> messages;
    while (NextMessages(messages)) {
        for (const Message& message : messages) Dispatch(message);
        messages.clear();
        timers_.FireDue([this](int id) { controller_.OnTimer(id); });
    }
    closing_ = true;
    return outcome_;
}

void HeadlessInstallWindow::StartWorker() {
    threads_.Start([this] { options_.worker(*this); },
                   [this] {
                       {
                           std::lock_guard guard(lock_);
                           workerDone_ = true;
                       }
                       wake_.notify_all();
                   });
}

void HeadlessInstallWindow::StartContentThread(unsigned int (*entry)(void* window)) {
    threads_.Start([this, entry] { entry(static_cast<IContentWindowPort*>(this)); });
}

// Waits for messages or the next timer; false once the worker has ended and
// every message it posted has been taken.
bool HeadlessInstallWindow::NextMessages(std::deque<Message>& messages) {
    std::unique_lock guard(lock_);
    const auto next = timers_.NextDue();
    const auto wakeUp = [this] { return !queue_.empty() || workerDone_; };
    if (next) {
        const auto wait = std::chrono::milliseconds(std::max<std::int64_t>(0, *next - SteadyTickMs()));
        wake_.wait_for(guard, wait, wakeUp);
    } else {
        wake_.wait(guard, wakeUp);
    }
    if (queue_.empty() && workerDone_) return false;
    messages.swap(queue_);
    return true;
}

void HeadlessInstallWindow::Dispatch(const Message& message) {
    if (message.id == installmsg::kStartAppClick) {
        ClickControl("start_app");
        return;
    }
    bool handled = false;
    controller_.HandleCustomMessage(message.id, message.wParam, message.lParam, handled);
}

void HeadlessInstallWindow::WaitForAllThreadExit() {
    LOG(INFO) << "InstallUIMainWnd WaitForAllThreadExit";
    closing_ = true;
    threads_.WaitForAll(kThreadExitWait);
}

bool HeadlessInstallWindow::PostWindowMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    {
        std::lock_guard guard(lock_);
        queue_.push_back({message, wParam, lParam});
    }
    wake_.notify_all();
    return true;
}

void HeadlessInstallWindow::SetProgress(int percent) {
    int current = progress_;
    while (percent > current) {
        if (progress_.compare_exchange_weak(current, percent)) {
            Print("[install] " + std::to_string(percent) + "%");
            return;
        }
    }
}

std::string HeadlessInstallWindow::GetInstallDir() const {
    const std::string& name = configuration_.Software_name;
    if (options_.installRoot.find(name) != std::string::npos) return options_.installRoot;
    return options_.installRoot + "/" + name;
}

void HeadlessInstallWindow::DeliverStartAppClick() { PostWindowMessage(installmsg::kStartAppClick, 0, 0); }

void HeadlessInstallWindow::ClearAppData() {
    InstallUIMainWnd::ClearAPPData(
        CSingleUserLog::GetInstance().GetWorkDir(),
        InstallUIMainWnd::GetPackageFileName(labels_.LabelText("Extra_download_url").value_or(""),
                                             configuration_.Software_version));
}

void HeadlessInstallWindow::DownloadFailed(int reason) {
    outcome_ = Outcome::DownloadFailed;
    failureReason_ = reason;
    Print("[install] the download failed (reason " + std::to_string(reason) + ")");
}

void HeadlessInstallWindow::NothingToInstall() {
    outcome_ = Outcome::NothingToInstall;
    SetProgress(100);
    InstallUIMainWnd::WriteProductLanguage(configuration_.Downloader_id, options_.language,
                                           configuration_.Software_name);
    Print("[install] the package is downloaded; it is not a setup to run");
}

void HeadlessInstallWindow::SetupTimedOut() {
    outcome_ = Outcome::SetupTimedOut;
    Print("[install] the setup did not end in time");
}

void HeadlessInstallWindow::InstallFinished() {
    outcome_ = Outcome::Installed;
    Print("[install] installed into " + GetInstallDir());
}

void HeadlessInstallWindow::SignatureInvalid() {
    outcome_ = Outcome::SignatureInvalid;
    Print("[install] the package signature is not valid; nothing was installed");
}

void HeadlessInstallWindow::InstallFolderGone() {
    outcome_ = Outcome::InstallFolderGone;
    Print("[install] the install folder " + GetInstallDir() + " is gone; nothing was installed");
}

void HeadlessInstallWindow::BannersArrived() {
    bannersArrived_ = true;
    Print("[install] " + std::to_string(banners_.Count()) + " remote banners arrived in " +
          CSingleUserLog::GetInstance().GetWorkDir());
}

void HeadlessInstallWindow::ClickControl(const std::string& controlName) {
    if (controlName == "start_app" && outcome_ == Outcome::Installed && options_.startProduct) LaunchProduct();
}

// Without a window there is no splash: the product starts directly.
void HeadlessInstallWindow::LaunchProduct() {
    const std::string product = InstallUIMainWnd::FindProductExe(GetInstallDir(), configuration_.Process_name);
    if (product.empty())
        Print("[install] " + configuration_.Process_name + " is not in " + GetInstallDir());
    else if (FuntionImpl::StartTargetMainExe("\"" + product + "\"", true) == 0)
        Print("[install] started " + product);
    else
        Print("[install] could not start " + product);
}

void HeadlessInstallWindow::Print(const std::string& line) {
    std::lock_guard guard(printLock_);
    if (options_.print) options_.print(line);
}
