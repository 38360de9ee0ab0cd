#pragma once
// The wizard host used without a display. It says so in the log and lets
// start-up shut down normally, unless the settings file asks for an
// unattended install: then it runs the install flow itself
// (HeadlessInstallWindow) and prints its progress.
#include <memory>

#include "Common/wWndMain.h"

class HeadlessInstallWindow;

class HeadlessWizardHost : public startup::IWizardHost {
public:
    HeadlessWizardHost();
    ~HeadlessWizardHost() override;

    bool RunWizard(const std::string& windowClassName) override;
    void ShowExistingWizard() override;
    void WaitForAllThreadExit() override;
    void ShowNotSupportSystemBox() override;

private:
    std::unique_ptr<HeadlessInstallWindow> install_;
};
