#include "Common/install_ui_mainwnd/AlientWnd.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>

#include <easylogging++.h>

#include "FlowErrorCodes.h"
#include "FuntionImpl.h"
#include "LanguageTexts.h"
#include "platform/ProcessWindows.h"
#include "uitoolkit/controls/ControlUI.h"
#include "uitoolkit/window/PlainMessageBox.h"
#include "uitoolkit/window/WindowMessages.h"

namespace {

// A configured wait beyond this is a typing error; the user would stare at
// the splash instead of the product.
constexpr int kMaxWaitSeconds = 60;
constexpr auto kWindowPollInterval = std::chrono::milliseconds(100);

// Counts the waiting frames of every splash of the process.
std::atomic<unsigned> waitingFrameCounter{0};

void ShowPlainNotice(const std::string& text) { ZembraUI::ShowPlainMessageBox({}, text); }

CAlientWnd::FailureNotice& Notice() {
    static CAlientWnd::FailureNotice notice = &ShowPlainNotice;
    return notice;
}

std::string Unquoted(const std::string& path) {
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') return path.substr(1, path.size() - 2);
    return path;
}

}  // namespace

void CAlientWnd::SetFailureNotice(FailureNotice notice) { Notice() = notice != nullptr ? notice : &ShowPlainNotice; }

CAlientWnd::CAlientWnd(int adminFlag, std::string exePath, std::string version, std::string productName,
                       int gifDuration, EnumLanguage language)
    : adminFlag_(adminFlag),
      exePath_(std::move(exePath)),
      version_(std::move(version)),
      productName_(std::move(productName)),
      gifDuration_(std::clamp(gifDuration, 0, kMaxWaitSeconds)),
      language_(NormalizedLanguage(language)) {}

CAlientWnd::~CAlientWnd() { StopStartThread(); }

std::string CAlientWnd::ShortVersion(const std::string& version) {
    std::size_t end = std::string::npos;
    std::size_t from = 0;
    for (int part = 0; part < 3; ++part) {
        end = version.find('.', from);
        if (end == std::string::npos) return version;
        from = end + 1;
    }
    return version.substr(0, end);
}

std::string CAlientWnd::WaitingFrameName(unsigned counter) {
    char name[32];
    std::snprintf(name, sizeof name, "skin/gif/bg%.2u.png", counter % kWaitingFrames);
    return name;
}

int CAlientWnd::ShowModal() {
    if (!CreateHostWindow(nullptr, productName_, 0, 0, 0, 0, 600, 400)) {
        // Without its splash the product is still started, only without the wait.
        LOG(INFO) << " Splash not shown, the product starts without it";
        return StartOrReport() ? kProductStarted : kProductNotStarted;
    }
    CenterWindowOnOwner();
    return RunModal();
}

void CAlientWnd::InitWindow() {
    ZembraUI::CUIManager& manager = PaintManager();
    foreImage_ = manager.ControlByName("foreImage");
    // The label keeps its layout text; the short version is kept for it.
    if (ZembraUI::CControlUI* version = manager.ControlByName("version")) {
        versionText_ = version->Text() + " " + ShortVersion(version_);
    }
    SetTimer(kFrameTimer, kFrameIntervalMs);
    startThread_ = std::thread([this] { StartProduct(); });
}

void CAlientWnd::OnClick(ZembraUI::TNotifyUI& notification) {
    const std::string& name = notification.sender != nullptr ? notification.sender->Name() : std::string();
    if (name == "closebtn") {
        PostClose(kClosedByUser);
    } else if (name == "minbtn") {
        Minimize();
    } else {
        WindowImplBase::OnClick(notification);
    }
}

CAlientWnd::Result CAlientWnd::HandleCustomMessage(unsigned message, std::uintptr_t wParam, std::intptr_t,
                                                   bool& handled) {
    if (message == ZembraUI::WindowMessage::kTimer && wParam == kFrameTimer) {
        ShowNextWaitingFrame();
        handled = true;
    }
    return 0;
}

void CAlientWnd::ShowNextWaitingFrame() {
    shownFrame_ = WaitingFrameName(waitingFrameCounter++);
    ++framesShown_;
    if (foreImage_ != nullptr) foreImage_->ApplyAttr("bkimage", shownFrame_);
}

// The start thread: it touches no control and ends the splash by posting its close.
void CAlientWnd::StartProduct() {
    if (!StartOrReport()) {
        PostToWindow(ZembraUI::WindowMessage::kClose, kProductNotStarted);
        return;
    }
    endedByWindow_ = WaitForProductWindow();
    LOG(INFO) << " Splash ends: " << (endedByWindow_ ? "product window shown" : "time up");
    PostToWindow(ZembraUI::WindowMessage::kClose, kProductStarted);
}

// A failed start is counted and the user is asked to use the shortcut.
bool CAlientWnd::StartOrReport() {
    if (FuntionImpl::StartTargetMainExe(exePath_, adminFlag_ != 0) == 0) return true;
    FlowError::ReportFlowError(FlowError::kProductStartFailed);
    Notice()(FuntionImpl::GetLanguageText("message_page", "ClickShortcutToLaunchText", language_));
    return false;
}

bool CAlientWnd::WaitForProductWindow() {
    const std::string path = Unquoted(exePath_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(gifDuration_);
    std::unique_lock<std::mutex> lock(lock_);
    while (!closing_ && std::chrono::steady_clock::now() < deadline) {
        lock.unlock();
        const bool shown = platform::ExecutableShowsWindow(path);
        lock.lock();
        if (shown) return true;
        wake_.wait_until(lock, std::min(deadline, std::chrono::steady_clock::now() + kWindowPollInterval),
                         [this] { return closing_; });
    }
    return false;
}

void CAlientWnd::StopStartThread() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        closing_ = true;
    }
    wake_.notify_all();
    if (startThread_.joinable()) startThread_.join();
}
