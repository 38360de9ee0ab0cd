#include "Common/WindowWizardHost.h"

#include <cstdlib>

#include <easylogging++.h>

#include "Common/HeadlessInstallWindow.h"
#include "Common/install_ui_mainwnd/InstallUIMainWnd.h"
#include "Common/install_ui_mainwnd/MessageBoxWnd.h"
#include "LanguageTexts.h"
#include "platform/Process.h"
#include "reportsdk/WebLog.h"
#include "uitoolkit/window/MessageLoop.h"

namespace {

// How start-up makes the window: a popup with a system menu and a minimise
// box at 0,0, 600 x 400 until the layout gives its size.
constexpr std::uint32_t kWizardStyle = 0x800A0000;
constexpr int kCreateWidth = 600;
constexpr int kCreateHeight = 400;

bool Named(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

}  // namespace

WindowWizardHost::WindowWizardHost() = default;

WindowWizardHost::~WindowWizardHost() {
    // Threads left running still use the window: it stays to the end of the process.
    if (window_ && window_->LeftThreadsBehind()) static_cast<void>(window_.release());
}

bool WindowWizardHost::WindowWanted() {
    return (Named("DISPLAY") || Named("WAYLAND_DISPLAY")) && !HeadlessInstallRequested();
}

bool WindowWizardHost::StartLoop() {
    if (loop_) return true;
    loop_ = std::make_unique<ZembraUI::CMessageLoop>();
    if (loop_->Start()) return true;
    loop_.reset();
    return false;
}

bool WindowWizardHost::RunWizard(const std::string& windowClassName) {
    LOG(INFO) << " Wizard host: window, class " << windowClassName;
    if (!StartLoop()) return false;
    InstallUIMainWnd::Options options;
    options.windowClassName = windowClassName;
    // The resend process starts once this one has let go of its window
    // beacon and instance lock (WaitForAllThreadExit); started earlier it
    // would take this run for a wizard still open and end at once.
    options.services.windowGone = [this] {
        ReleaseReportObj();
        resendDue_ = true;
    };
    window_ = std::make_unique<InstallUIMainWnd>(std::move(options));
    if (!window_->CreateHostWindow(nullptr, "Zembra Morvanta", kWizardStyle, 0, 0, 0, kCreateWidth, kCreateHeight)) {
        window_.reset();
        return false;
    }
    window_->CenterWindowOnOwner();
    window_->ShowHostWindow(true, true);
    shown_ = window_.get();
    ZembraUI::RunMessageLoop();
    shown_ = nullptr;
    return true;
}

void WindowWizardHost::ShowExistingWizard() {
    if (InstallUIMainWnd* window = shown_) window->ShowFromAnotherInstance();
}

void WindowWizardHost::WaitForAllThreadExit() {
    if (resendDue_ && !ResendProcess::Launch(platform::CurrentExecutablePath()))
        LOG(INFO) << " The resend process cannot be started";
    if (window_) window_->WaitForAllThreadExit();
}

void WindowWizardHost::ShowNotSupportSystemBox() {
    if (!StartLoop()) return;
    ::ShowNotSupportSystemBox(FuntionImpl::GetLanguageByLocalSystem());
}
