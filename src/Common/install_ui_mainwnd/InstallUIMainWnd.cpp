#include "Common/install_ui_mainwnd/InstallUIMainWnd.h"

#include <SDL2/SDL.h>
#include <unistd.h>

#include <easylogging++.h>

#include "Common/TextNumbers.h"
#include "Common/install_ui_mainwnd/CustomMessages.h"
#include "Common/install_ui_mainwnd/TimerQueue.h"
#include "DownLoadImpl.h"
#include "FuntionImpl.h"
#include "LanguageTexts.h"
#include "SingleUserLog.h"
#include "platform/DesktopOpen.h"
#include "platform/Folders.h"
#include "platform/LocalSettings.h"
#include "platform/Process.h"
#include "reportsdk/WebLog.h"
#include "uitoolkit/controls/CheckBoxUI.h"
#include "uitoolkit/controls/ControlUI.h"
#include "uitoolkit/controls/TabLayoutUI.h"
#include "uitoolkit/render/DrawEngine.h"
#include "uitoolkit/window/PlainMessageBox.h"
#include "uitoolkit/window/WindowMessages.h"

namespace {

constexpr const char* kFirstRunKey = "SOFTWARE\\Quenrick\\Downloader2.5.0";
constexpr const char* kFirstRunValue = "GA_PC";
constexpr const char* kDefaultClassName = "QK_UI_Frame";

int LabelInt(const IConfigLabelSource& labels, const char* name) {
    return LeadingInt(labels.LabelText(name).value_or(""));
}

// The write to address zero the crash test asks for; volatile so that the
// compiler keeps it as it stands.
[[noreturn]] void RaiseAccessViolation() {
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
    std::abort();
}

// The window's icon: the skin's logo, with straight alpha as the desktop expects it.
void SetWindowIcon(SDL_Window* window) {
    auto logo = ZembraUI::CDrawEngine::LoadImage("skin/logo.png");
    if (window == nullptr || !logo) return;
    for (std::uint32_t& pixel : logo->pixels) {
        const std::uint32_t alpha = pixel >> 24;
        if (alpha == 0 || alpha == 255) continue;
        const auto straight = [alpha](std::uint32_t channel) { return std::min(255u, channel * 255 / alpha); };
        pixel = (alpha << 24) | (straight((pixel >> 16) & 0xFF) << 16) | (straight((pixel >> 8) & 0xFF) << 8) |
                straight(pixel & 0xFF);
    }
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(logo->pixels.data(), logo->width, logo->height, 32,
                                                           logo->width * 4, SDL_PIXELFORMAT_ARGB8888);
    if (icon == nullptr) return;
    SDL_SetWindowIcon(window, icon);
    SDL_FreeSurface(icon);
}

// The screen's size and scale; the size from the display the window is on
// when the desktop's settings do not name it.
FuntionImpl::ScreenScale ScreenFacts() {
    FuntionImpl::ScreenScale screen = FuntionImpl::GetScreenScale();
    SDL_DisplayMode mode;
    if (screen.width == 0 && SDL_GetDesktopDisplayMode(0, &mode) == 0) {
        screen.width = mode.w;
        screen.height = mode.h;
    }
    return screen;
}

}  // namespace

InstallUIMainWnd::Services::Services()
    : worker([](IInstallWindowPort& window) { InstallThreadFunc(&window); }),
      plainBox([](const std::string& text) { ZembraUI::ShowPlainMessageBox("", text); }),
      startProduct([](const std::string& quotedPath, int adminFlag) {
          return FuntionImpl::StartTargetMainExe(quotedPath, adminFlag != 0);
      }),
      openOnDesktop([](const std::string& target) { return platform::OpenWithDesktop(target); }),
      startSelf([](const std::vector<std::string>& arguments) {
          std::vector<std::string> argv{platform::CurrentExecutablePath()};
          argv.insert(argv.end(), arguments.begin(), arguments.end());
          platform::SpawnOptions options;
          options.detached = true;
          if (platform::SpawnProcess(argv, options) < 0) LOG(INFO) << " Cannot start " << argv.front();
      }),
      windowGone([] { DestroyReportObj(); }) {}

InstallUIMainWnd::Options::Options()
    : labels(ReadEmbeddedConfigureLabels()), installRoot(platform::ProgramFilesDir() + "/Zembra") {}

InstallUIMainWnd::InstallUIMainWnd(Options options)
    : options_(std::move(options)),
      labels_(options_.labels),
      configuration_(LabelInt(labels_, "Downloader_id"), LabelInt(labels_, "Language_id"),
                     LabelInt(labels_, "Site_id")),
      checks_(analytics_),
      pages_(PaintManager(), *this, analytics_),
      controller_(*this, *this, *this, analytics_),
      carousel_(PaintManager(), *this) {}

InstallUIMainWnd::~InstallUIMainWnd() {
    closing_ = true;
    CSingleUserLog::GetInstance().SetMainWindowSource({}, {});
}

std::string InstallUIMainWnd::WindowClassName() const {
    return options_.windowClassName.empty() ? kDefaultClassName : options_.windowClassName;
}

// --- InitWindow -----------------------------------------------------------------

void InstallUIMainWnd::InitWindow() {
    uiThread_ = std::this_thread::get_id();
    startTick_ = SteadyTickMs();
    lastBoxKind_ = -1;
    CDownLoadImpl::AllowDownloads();
    carousel_.CountBuiltInBanners();
    state_.SetUsedDownloadAddress("");
    ReadConfigurationLabels();

    InstallWizardPages::StartSettings start;
    start.siteId = siteId_;
    start.newLicenceScheme = newLicenseFlag_ == "1";
    start.consentPreset = platform::IsAutoRun() || chooseLicense_ == 1;
    defaultInstallRoot_ = options_.installRoot;
    start.installRoot = defaultInstallRoot_;
    start.softwareVersion = labels_.LabelText("Software_version").value_or("");
    pages_.PrepareStartPage(start);

    configuration_.LoadFromLayout(labels_, false);
    // Analytics name the product version and the wizard's language from here
    // on. The logger keeps the first version it reads, which is this one; it
    // is copied because the configuration's lock is held while a query
    // sends its own analytics.
    CSingleUserLog::GetInstance().SetMainWindowSource(
        [version = configuration_.Software_version] { return version; },
        [this] { return FuntionImpl::GetWebLanguageCode(currentLanguage_); });
    if (start.newLicenceScheme) {
        configuration_.SetDefaultLinks(labels_.LabelText("DefaultLicense").value_or(""),
                                       labels_.LabelText("DefaultPrivacy").value_or(""));
    }
    StartContentThread(&InstallUIMainWnd::AsyncGetCbsInfoThreadFunc);
    if (start.newLicenceScheme) StartContentThread(&InstallUIMainWnd::GetCbsPrivacy);
    state_.progressFinished.Reset();
    LOG(INFO) << " CreateEvent successfully ";

    LogStartFacts();
    SendLaunchEvents();
    SetWindowIcon(NativeWindow());
    pages_.InitLanguage(FuntionImpl::StartLanguageForShippedList());
    currentLanguage_ = pages_.CurrentLanguage();
    carousel_.Prepare(currentLanguage_, configuration_.Software_id);
    analytics_.Event("Other", "ClickToShowTime", std::to_string(SteadyTickMs() - startTick_));
    if (platform::IsAutoRun()) SetTimer(installtimer::kAutoInstall, installtimer::kAutoInstallMs);
}

void InstallUIMainWnd::ReadConfigurationLabels() {
    downloaderId_ = LabelInt(labels_, "Downloader_id");
    siteId_ = LabelInt(labels_, "Site_id");
    languageId_ = LabelInt(labels_, "Language_id");
    gifDuration_ = LabelInt(labels_, "Gif_duration");
    needStart_ = LabelInt(labels_, "NeedStart_flag");
    chooseLicense_ = LabelInt(labels_, "ChooseLicense");
    suggestSsd_ = LabelInt(labels_, "SuggestSSD");
    adminFlag_ = LabelInt(labels_, "admin_flag");
    softwareName_ = labels_.LabelText("Software_name").value_or("");
    newLicenseFlag_ = labels_.LabelText("NewLicenseFlag").value_or("");
}

void InstallUIMainWnd::LogStartFacts() {
    const auto own = FuntionImpl::GetFileProductInfo(platform::CurrentExecutablePath());
    LOG(INFO) << " Downloader info: " << own.productVersion << "(" << own.productName
              << "), 64Bit: " << (FuntionImpl::IsWow64() ? "True" : "False") << ", proc_id=" << ::getpid();
    const FuntionImpl::ScreenScale screen = ScreenFacts();
    LOG(INFO) << " Screen: " << screen.width << "*" << screen.height << ", " << screen.scale;
    FuntionImpl::GetSystemRegion();
    LOG(INFO) << " Request For Product Config -- [Downloader Id]: " << downloaderId_ << " [Site Id]: " << siteId_
              << " [Language Id]: " << languageId_;
}

void InstallUIMainWnd::SendLaunchEvents() {
    analytics_.Event("CrashRate", "Start", "");
    analytics_.Funnel(0, "Keypoint", "null", "CorePublicModule", "Start", "null");
    if (FuntionImpl::ReadHklmString(kFirstRunKey, kFirstRunValue).empty()) {
        float version = 0;
        const FuntionImpl::ScreenScale screen = ScreenFacts();
        analytics_.Event("PC", "SysOS", FuntionImpl::GetOsNameAndVersion(version));
        analytics_.Event("PC", "SysLanguage", FuntionImpl::GetUiLanguageName());
        analytics_.Event("PC", "SysScreenResolution",
                         std::to_string(screen.width) + "*" + std::to_string(screen.height));
        FuntionImpl::WriteHklmString(kFirstRunKey, kFirstRunValue, "1");
    }
    analytics_.Event("Download", "1.Launch", "");
    analytics_.Funnel(0, "CoreFuncEvent", "BeforeDownload", "Download", "CoreFuncStart", "null");
    analytics_.Funnel(1, "CoreFuncEvent", "BeforeDownload", "Download", "Launch", "null");
    analytics_.Funnel(0, "CoreFuncEvent", "BeforeDownload", "Download", "CoreFuncEnd", "null");
}

// --- notifications ----------------------------------------------------------------

void InstallUIMainWnd::Notify(ZembraUI::TNotifyUI& notification) {
    if (notification.type == "link") OnLink(notification);
    if (notification.type == "itemselect") OnItemSelect(notification);
    if (notification.type == "selectchanged") OnBannerSelect(notification);
    // Clicks reach OnClick through the base's dispatch.
    WindowImplBase::Notify(notification);
}

void InstallUIMainWnd::OnLink(ZembraUI::TNotifyUI& notification) { RunAction(pages_.Notify(notification)); }

void InstallUIMainWnd::OnItemSelect(ZembraUI::TNotifyUI& notification) {
    if (pages_.Notify(notification) == WizardAction::ChangeLanguage) currentLanguage_ = pages_.CurrentLanguage();
}

void InstallUIMainWnd::OnBannerSelect(ZembraUI::TNotifyUI& notification) { carousel_.OnBannerSelect(notification); }

void InstallUIMainWnd::OnClick(ZembraUI::TNotifyUI& notification) { RunAction(pages_.Notify(notification)); }

void InstallUIMainWnd::RunAction(WizardAction action) {
    switch (action) {
        case WizardAction::RequestClose: RequestClose(); break;
        case WizardAction::Minimise:
            SendToWindow(ZembraUI::WindowMessage::kSysCommand, ZembraUI::SysCommand::kMinimize);
            break;
        case WizardAction::InstallClick: InstallClick(); break;
        case WizardAction::BrowseInstallFolder: {
            const BrowseResult browse = checks_.BrowseInstallFolder(pages_.InstallFolder());
            if (browse.result == 0) pages_.SetInstallFolder(browse.installPathText);
            if (browse.freeSpaceGb) pages_.SetFreeSpace(*browse.freeSpaceGb);
            break;
        }
        case WizardAction::StartOrRetry: StartOrRetry(); break;
        case WizardAction::OpenPrivacyPage:
        case WizardAction::OpenLicencePage: {
            const std::string url = pages_.ConsentLinkUrl(action, configuration_);
            if (!url.empty()) options_.services.openOnDesktop(url);
            break;
        }
        case WizardAction::OpenPackageDownload: OpenPackageDownload(); break;
        default: break;  // panels and the consent box: the pages did it
    }
}

// --- install click --------------------------------------------------------------

void InstallUIMainWnd::InstallClick() {
    LOG(INFO) << " Click install button";
    clickTick_ = SteadyTickMs();
    analytics_.FunnelParam("RunningTime", "DurationFordownLoading", "LoadingStart",
                           std::to_string(SecondsSince(startTick_)));
    if (platform::IsCrashTest()) RaiseAccessViolation();
    analytics_.Event("Download", "2.DownStart", "");
    analytics_.Funnel(0, "CoreFuncEvent", "Downloading", "Download", "CoreFuncStart", "null");
    analytics_.Funnel(1, "CoreFuncEvent", "Downloading", "Download", "DownStart", "null");
    if (!ConsentGiven()) return;
    static bool startTimeSent = false;
    if (!startTimeSent) {
        startTimeSent = true;
        const std::string now = FuntionImpl::GetChinaStandardTime();  // "yyyy-mm-dd hh:mm:ss"
        analytics_.Event("Download", "StartTimeDate", now.substr(0, 10));
        analytics_.Event("Download", "StartTimeHour", now.size() >= 13 ? now.substr(11, 2) : "");
    }
    analytics_.Event("Other", "SetLanguage", EnglishNameOf(currentLanguage_));
    if (pages_.InstallFolder() != defaultInstallRoot_) analytics_.Event("Other", "SetPath", "");
    BeginInstallTask();
}

bool InstallUIMainWnd::ConsentGiven() {
    auto* consent = Find<ZembraUI::CCheckBoxUI>("license_checkbox");
    if (consent == nullptr || consent->Checked()) return true;
    if (ShowMessageBox(MsgAgree, "") != 1) {
        LOG(INFO) << "not agree Privacy Policy and User License Agreement";
        analytics_.FunnelParam("StartDownloader", "PrivacyAgreementPopup", "PrivacyAgreementPopupType", "Disagree");
        return false;
    }
    analytics_.FunnelParam("StartDownloader", "PrivacyAgreementPopup", "PrivacyAgreementPopupType",
                           "Agree and install");
    consent->PutCheck(true);
    return true;
}

int InstallUIMainWnd::BeginInstallTask() {
    const InstallTargetInputs inputs{pages_.InstallFolder(), softwareName_, suggestSsd_,
                                     CSingleUserLog::GetInstance().GetWorkDir()};
    const InstallStartCheck check = checks_.BeginInstallChecks(
        configuration_, inputs, [this](EnumMsgType kind, const std::string& text) { return ShowMessageBox(kind, text); });
    pages_.SetInstallFolder(check.installPathText);
    if (check.box) ShowMessageBox(*check.box, "");
    if (!check.started) return -1;
    {
        std::lock_guard guard(installDirLock_);
        installDir_ = check.installDir;
    }
    pages_.ShowRunningPage();
    Resize(InstallWizardPages::kWidth, InstallWizardPages::kCompactHeight);
    CenterWindowOnOwner();
    ResetRunForStart();
    state_.installFolderDevice = platform::FolderDevice(check.installDir);
    if (auto* background = Find<ZembraUI::CControlUI>("backgroudlayout")) {
        background->ApplyAttr("bkimage", "skin/backgroud_complete.png");
    }
    carousel_.Start(currentLanguage_, configuration_.Software_id);
    SetTimer(installtimer::kFirstPercent, installtimer::kFirstPercentMs);
    state_.installClickTick = clickTick_ != 0 ? clickTick_ : SteadyTickMs();
    if (!bannersArrived_) StartContentThread(&InstallUIMainWnd::GetCbsBanner);
    StartWorker();
    return 0;
}

// A start of the flow begins from an empty bar and a clear run state, so a
// retry never inherits the flags of the run that failed.
void InstallUIMainWnd::ResetRunForStart() {
    pages_.ResetProgress();
    shownProgress_ = 0;
    for (const char* failureText : {"text_fail_retry", "text_fail_advice", "img_warning"}) {
        if (auto* control = Find<ZembraUI::CControlUI>(failureText)) control->PutVisible(false);
    }
    if (auto* start = Find<ZembraUI::CControlUI>("start_app")) {
        start->PutText(FuntionImpl::GetLanguageText("install_page", "start_app", currentLanguage_));
    }
    state_.verificationDone = 0;
    state_.setupFinished = false;
    state_.downloadEndTick = 0;
    state_.progressFinished.Reset();
}

void InstallUIMainWnd::StartWorker() {
    threads_.Start([this] { options_.services.worker(*this); });
}

void InstallUIMainWnd::StartContentThread(unsigned int (*entry)(void* window)) {
    threads_.Start([this, entry] { entry(static_cast<IContentWindowPort*>(this)); });
}

int InstallUIMainWnd::WaitForAllThreadExit() {
    LOG(INFO) << "InstallUIMainWnd WaitForAllThreadExit";
    closing_ = true;
    threads_.WaitForAll(std::chrono::minutes(10));
    return 0;
}

// --- messages and timers ------------------------------------------------------------

InstallUIMainWnd::Result InstallUIMainWnd::HandleCustomMessage(unsigned message, std::uintptr_t wParam,
                                                               std::intptr_t lParam, bool& handled) {
    handled = false;
    switch (message) {
        case ZembraUI::WindowMessage::kTimer: OnTimer(static_cast<int>(wParam)); return 0;
        case installmsg::kShowProgress: ShowProgressNow(static_cast<int>(wParam)); return 0;
        case installmsg::kStartAppClick: StartOrRetry(); return 0;
        case installmsg::kShowWindow:
            if (IsMinimized()) Restore();
            ShowHostWindow(true, true);
            return 0;
        default: return controller_.HandleCustomMessage(message, wParam, lParam, handled);
    }
}

void InstallUIMainWnd::OnTimer(int timerId) {
    if (timerId == installtimer::kBackgroundExit) {
        KillTimer(timerId);
        PostClose();
        return;
    }
    if (carousel_.OnTimer(timerId)) return;
    controller_.OnTimer(timerId);
}

void InstallUIMainWnd::SetTimer(int id, unsigned periodMs) {
    CHostWindow::SetTimer(static_cast<unsigned>(id), std::max(periodMs, TimerQueue::kMinimumPeriodMs));
}

void InstallUIMainWnd::KillTimer(int id) { CHostWindow::KillTimer(static_cast<unsigned>(id)); }

bool InstallUIMainWnd::PostWindowMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    return PostToWindow(message, wParam, lParam);
}

// The worker raises the bar from its own thread while downloading; the
// controls belong to the UI thread, so the value travels there.
void InstallUIMainWnd::SetProgress(int percent) {
    if (OnUiThread())
        ShowProgressNow(percent);
    else
        PostToWindow(installmsg::kShowProgress, static_cast<std::uintptr_t>(std::max(percent, 0)), 0);
}

void InstallUIMainWnd::ShowProgressNow(int percent) {
    pages_.SetProgress(percent);
    shownProgress_ = pages_.GetProgress();
}

void InstallUIMainWnd::ResizeWindow(int width, int height) {
    Resize(width, height);
    Invalidate({0, 0, width, height});
}

// No taskbar progress on this desktop.
void InstallUIMainWnd::ShowTaskbarProgress(int) {}

std::string InstallUIMainWnd::GetInstallDir() const {
    std::lock_guard guard(installDirLock_);
    return installDir_;
}

void InstallUIMainWnd::DeliverStartAppClick() { PostToWindow(installmsg::kStartAppClick, 0, 0); }

void InstallUIMainWnd::ShowFromAnotherInstance() { PostToWindow(installmsg::kShowWindow, 0, 0); }

void InstallUIMainWnd::ClickControl(const std::string& controlName) {
    if (controlName == "install_btn") InstallClick();
    if (controlName == "start_app") StartOrRetry();
}

std::int64_t InstallUIMainWnd::SecondsSince(std::int64_t tick) const { return (SteadyTickMs() - tick) / 1000; }
