#include "Common/HeadlessWizardHost.h"

#include <easylogging++.h>

#include "Common/HeadlessInstallWindow.h"

HeadlessWizardHost::HeadlessWizardHost() = default;
HeadlessWizardHost::~HeadlessWizardHost() = default;

bool HeadlessWizardHost::RunWizard(const std::string& windowClassName) {
    if (!HeadlessInstallRequested()) {
        LOG(INFO) << " Wizard host: headless (no display), class " << windowClassName << ", nothing to show";
        return true;
    }
    LOG(INFO) << " Wizard host: headless, class " << windowClassName << ", installing unattended";
    install_ = std::make_unique<HeadlessInstallWindow>(HeadlessInstallWindow::Options());
    install_->Run();
    return true;
}

void HeadlessWizardHost::ShowExistingWizard() { LOG(INFO) << " Show request received, no window to raise"; }

void HeadlessWizardHost::WaitForAllThreadExit() {
    if (install_) install_->WaitForAllThreadExit();
}

void HeadlessWizardHost::ShowNotSupportSystemBox() {
    LOG(INFO) << " This system is not supported: a 64-bit operating system is required";
}
