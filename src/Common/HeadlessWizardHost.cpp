#include "Common/HeadlessWizardHost.h"

#include <easylogging++.h>

bool HeadlessWizardHost::RunWizard(const std::string& windowClassName) {
    LOG(INFO) << " No wizard window in this build (class " << windowClassName << "), nothing to show";
    return true;
}

void HeadlessWizardHost::ShowExistingWizard() { LOG(INFO) << " Show request received, no window to raise"; }

void HeadlessWizardHost::WaitForAllThreadExit() {}

void HeadlessWizardHost::ShowNotSupportSystemBox() {
    LOG(INFO) << " This system is not supported: a 64-bit operating system is required";
}
